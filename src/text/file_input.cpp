#include "text/file_input.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "base/big_buffers.h"
#include "base/charset.h"
#include "base/platform.h"
#include "base/text_ops.h"

namespace quorvex {

namespace {

bool starts_with(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::memcmp(s.data(), prefix.data(), prefix.size()) == 0;
}

bool has_high_byte(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return true;
  return false;
}

// Takes every NUL out: an editor or a copy that put them there leaves the rest of the text as
// it was, and cutting the text at the first one would lose every line after it.
std::size_t drop_nuls(std::string& s) {
  const std::size_t before = s.size();
  std::erase(s, '\0');
  return before - s.size();
}

// Whether bytes with a few stray ones among many UTF-8 characters are UTF-8: a UTF-8 file that
// something else touched. A GBK text is never taken for one: only about one in twelve of its
// double-byte characters happens to form UTF-8, far below the nineteen in twenty asked here.
bool mostly_utf8(const Utf8Tally& tally) {
  return tally.characters > 0 &&
         tally.characters * 100 >= (tally.characters + tally.bad_bytes) * 95;
}

}  // namespace

std::string decode_input_bytes(std::string bytes, DecodeNotes* notes) {
  return normalize_line_ends(decode_charset(std::move(bytes), notes));
}

std::string decode_charset(std::string bytes, DecodeNotes* notes) {
  DecodeNotes local;
  DecodeNotes& told = notes ? *notes : local;
  told = {};
  if (starts_with(bytes, "\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
    told.nul_bytes = drop_nuls(bytes);
    told.bad_bytes = tally_utf8(bytes).bad_bytes;
    return convert_charset(bytes, "UTF-8", "GBK");
  }
  if (starts_with(bytes, "\xFF\xFE") || starts_with(bytes, "\xFE\xFF")) {
    const bool little = bytes[0] == '\xFF';
    std::string text =
        convert_charset(std::string_view(bytes).substr(2), little ? "UTF-16LE" : "UTF-16BE", "GBK");
    told.nul_bytes = drop_nuls(text);
    return text;
  }
  told.nul_bytes = drop_nuls(bytes);
  if (!has_high_byte(bytes)) return bytes;
  const Utf8Tally tally = tally_utf8(bytes);
  if (tally.bad_bytes == 0 || mostly_utf8(tally)) {
    told.bad_bytes = tally.bad_bytes;
    return convert_charset(bytes, "UTF-8", "GBK");
  }
  return bytes;
}

namespace {

// Reads the stream to its end after the bytes already read, within the limit, and decodes it all.
InputFile read_rest(std::FILE* stream, std::size_t limit, std::string bytes) {
  InputFile result;
  char buf[1 << 16];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, stream)) > 0) {
    if (bytes.size() + got > limit) {
      result.status = InputFile::Status::too_large;
      return result;
    }
    bytes.append(buf, got);
  }
  if (std::ferror(stream)) {
    result.status = InputFile::Status::unreadable;
    result.reason = std::strerror(errno);
    return result;
  }
  result.text = decode_input_bytes(std::move(bytes), &result.notes);
  return result;
}

}  // namespace

InputFile read_input_stream(std::FILE* stream, std::size_t limit) {
  return read_rest(stream, limit, {});
}

InputFile read_input_file(const std::string& path, std::size_t limit) {
  if (path == "-") return read_input_stream(stdin, limit);
  InputFile result;
  const PathInfo info = path_info(path);
  if (!info.exists) {
    result.status =
        info.error == ENOENT ? InputFile::Status::missing : InputFile::Status::unreadable;
    result.reason = std::strerror(info.error);
    return result;
  }
  if (info.folder) {
    result.status = InputFile::Status::not_a_file;
    result.reason = std::strerror(EISDIR);
    return result;
  }
  if (info.regular && info.size > limit) {
    result.status = InputFile::Status::too_large;
    return result;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_file(path, "rb"), &std::fclose);
  if (!file) {
    result.status = InputFile::Status::unreadable;
    result.reason = std::strerror(errno);
    return result;
  }
  if (info.regular) {
    // One read of the known size avoids growing the buffer step by step on large files; the
    // reads go on to the end, as some files (/proc, a file still being written) hold more than
    // their size says.
    std::string bytes;
    reserve_big(bytes, static_cast<std::size_t>(info.size));
    bytes.resize(static_cast<std::size_t>(info.size));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (got != bytes.size() && std::ferror(file.get())) {
      result.status = InputFile::Status::unreadable;
      result.reason = std::strerror(errno);
      return result;
    }
    bytes.resize(got);
    return read_rest(file.get(), limit, std::move(bytes));
  }
  return read_input_stream(file.get(), limit);
}

}  // namespace quorvex
