// Character-set conversion. Undecodable input and characters the target cannot hold are replaced
// (U+FFFD while decoding, "?" while encoding); a conversion never fails loudly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// Converts bytes from one named character set to another. An absent or empty from_charset means
// "UTF-8", an absent or empty to_charset "GBK". start_position, when given, is the byte offset in
// the converted result at which the returned bytes start. Unknown character sets give "".
std::string convert_charset(std::string_view bytes,
                            std::optional<std::string_view> from_charset = std::nullopt,
                            std::optional<std::string_view> to_charset = std::nullopt,
                            std::optional<long long> start_position = std::nullopt);

// UTF-16LE buffer (terminating zero unit included) of text decoded from a Windows code page
// (65001 UTF-8, 936 GBK, 0 the system's ANSI code page, which is GBK here).
std::string code_page_to_wide(std::string_view text, int code_page = 65001);
// The text of a UTF-16LE buffer up to its zero unit, encoded in a Windows code page.
std::string wide_to_code_page(std::string_view wide, int code_page = 0);

std::string gbk_to_utf8(std::string_view text);
std::string utf8_to_gbk(std::string_view text);

// Whether bytes are well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);
// How much of some bytes reads as UTF-8: the well-formed characters beyond ASCII, and the bytes
// that start none.
struct Utf8Tally {
  std::size_t characters = 0;
  std::size_t bad_bytes = 0;
};
Utf8Tally tally_utf8(std::string_view bytes);

}  // namespace quorvex
