// Reading a dropped or named text file into the program's GBK source text.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorvex {

// Files above this size are refused: the list of a larger file would not fit the memory a desktop
// tool may take, and no real collection of share links comes near it.
inline constexpr std::size_t kMaxInputBytes = std::size_t{512} << 20;

// What decoding had to change in a text, for the user to be told.
struct DecodeNotes {
  std::size_t nul_bytes = 0;  // NUL bytes (or UTF-16 NUL characters) taken out
  std::size_t bad_bytes = 0;  // bytes of a UTF-8 text that form no character, read as "?"
  bool any() const { return nul_bytes > 0 || bad_bytes > 0; }
};

// Turns file bytes into GBK text: a UTF-8 or UTF-16 byte-order mark, or UTF-8 holding non-ASCII
// characters (well-formed, or at least 95 % of its multi-byte sequences, the bad bytes becoming
// "?"), is converted (characters GBK cannot hold become "?" too); anything else is taken as GBK as
// it stands. NUL bytes are taken out. `notes`, when given, says what was changed.
std::string decode_charset(std::string bytes, DecodeNotes* notes = nullptr);

// What every text that comes in goes through, whether read, pasted or dropped: decode_charset,
// then every line end made CR LF, so that a file written with LF or CR ends loads and typesets as
// its CR LF twin does.
std::string decode_input_bytes(std::string bytes, DecodeNotes* notes = nullptr);

struct InputFile {
  enum class Status { ok, missing, not_a_file, unreadable, too_large };
  Status status = Status::ok;
  std::string text;    // decoded GBK text when ok
  std::string reason;  // the system's words for the failure, for messages
  DecodeNotes notes;   // what decoding changed, when ok
};

// Reads and decodes a whole file; "-" reads standard input.
InputFile read_input_file(const std::string& path, std::size_t limit = kMaxInputBytes);
InputFile read_input_stream(std::FILE* stream, std::size_t limit = kMaxInputBytes);

}  // namespace quorvex
