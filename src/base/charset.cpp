#include "base/charset.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/charset_backend.h"

namespace quorvex {

namespace {

// The names the converters below know for the character sets users name.
std::string canonical_name(std::string_view name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  if (upper == "GB2312" || upper == "CP936" || upper == "X-GBK" || upper == "936") return "CP936";
  if (upper == "GBK") return "CP936";
  if (upper == "UNICODE" || upper == "UTF-16") return "UTF-16LE";
  return upper;
}

bool ascii_compatible(const std::string& name) {
  return name == "UTF-8" || name == "CP936" || name == "GB18030" || name == "ASCII";
}

bool all_ascii(std::string_view bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string convert(std::string_view bytes, const std::string& from, const std::string& to) {
  // Most texts of the program are plain ASCII, which these character sets share.
  if (ascii_compatible(from) && ascii_compatible(to) && all_ascii(bytes)) return std::string(bytes);
  // A UTF-8 byte-order mark belongs to the encoding, not to the text.
  if (from == "UTF-8" && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return convert_bytes(bytes, from, to);
}

std::string code_page_name(int code_page) {
  switch (code_page) {
    case 65001:
      return "UTF-8";
    case 1200:
      return "UTF-16LE";
    case 0:
    case 936:
      return "CP936";
    default:
      return "CP" + std::to_string(code_page);
  }
}

}  // namespace

std::string convert_charset(std::string_view bytes, std::optional<std::string_view> from_charset,
                            std::optional<std::string_view> to_charset,
                            std::optional<long long> start_position) {
  const std::string from =
      canonical_name(from_charset && !from_charset->empty() ? *from_charset : "UTF-8");
  const std::string to = canonical_name(to_charset && !to_charset->empty() ? *to_charset : "GBK");
  if (bytes.empty()) return {};
  std::string out = convert(bytes, from, to);
  if (start_position) {
    if (*start_position < 0 || static_cast<unsigned long long>(*start_position) >= out.size())
      return {};
    out.erase(0, static_cast<std::size_t>(*start_position));
  }
  return out;
}

std::string code_page_to_wide(std::string_view text, int code_page) {
  const auto nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::string wide =
      text.empty() ? std::string() : convert(text, code_page_name(code_page), "UTF-16LE");
  wide.append(2, '\0');
  return wide;
}

std::string wide_to_code_page(std::string_view wide, int code_page) {
  std::size_t units = 0;
  while (units * 2 + 1 < wide.size() && (wide[units * 2] != '\0' || wide[units * 2 + 1] != '\0'))
    ++units;
  if (units == 0) return {};
  return convert(wide.substr(0, units * 2), "UTF-16LE", code_page_name(code_page));
}

std::string gbk_to_utf8(std::string_view text) {
  // The same as code_page_to_wide(936) then wide_to_code_page(65001), in one pass: every GBK
  // character lies in the Basic Multilingual Plane, so nothing is lost by skipping UTF-16.
  const auto nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return text.empty() ? std::string() : convert(text, "CP936", "UTF-8");
}

std::string utf8_to_gbk(std::string_view text) {
  if (text.empty()) return {};
  return convert(text, "UTF-8", "CP936");
}

namespace {

// The length of the well-formed UTF-8 character that starts at p (1 for ASCII), or 0 when none
// does: a stray continuation byte, an overlong form, a surrogate, a code point beyond U+10FFFF
// or a character cut short.
int utf8_length_at(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = *p;
  if (c < 0x80) return 1;
  int len;
  std::uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (end - p < len) return 0;
  for (int k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return len;
}

// Counts the characters beyond ASCII into *characters and calls on_bad for each byte that starts
// no well-formed character, stopping when on_bad says false.
template <class OnBad>
void scan_utf8(std::string_view s, std::size_t* characters, OnBad&& on_bad) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    // Skip ASCII eight bytes at a time; most text is mostly ASCII.
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if (w & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p >= end) break;
    const int len = utf8_length_at(p, end);
    if (len == 0) {
      if (!on_bad()) return;
      ++p;
      continue;
    }
    if (len > 1) ++*characters;
    p += len;
  }
}

}  // namespace

bool is_valid_utf8(std::string_view s) {
  bool valid = true;
  std::size_t characters = 0;
  scan_utf8(s, &characters, [&] { return valid = false; });
  return valid;
}

Utf8Tally tally_utf8(std::string_view s) {
  Utf8Tally tally;
  scan_utf8(s, &tally.characters, [&] {
    ++tally.bad_bytes;
    return true;
  });
  return tally;
}

}  // namespace quorvex
