// Character-set conversion on the Windows code-page functions, through UTF-16. Windows fails a
// whole call on the first bad byte where iconv reports where it stopped, so a call that fails is
// done again a character at a time, with the same replacements the iconv build makes.
//
// One known difference from the iconv build: the user-defined areas of code page 936 (lead bytes
// AA-AF and F8-FE with trail bytes A1-FE, and A1-A7 with trail bytes 40-A0), and the few other
// double-byte codes GBK leaves empty (in rows A2, A4-A9, D7 and FE), are characters to Windows,
// mapped to the private use area (U+E000-U+E864) and back; iconv knows no characters there and
// gives U+FFFD for them, and "?" for private-use characters on the way back. Every character GBK
// defines converts the same both ways (tests/base/gbk_table_test.cpp).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/charset_backend.h"

namespace quorvex {

namespace {

enum class Wide { none, utf16le, utf16be, utf32le, utf32be };

struct Charset {
  Wide wide = Wide::none;
  UINT code_page = 0;  // for Wide::none
  bool known = false;
};

Charset charset_of(const std::string& name) {
  if (name == "UTF-16LE") return {Wide::utf16le, 0, true};
  if (name == "UTF-16BE") return {Wide::utf16be, 0, true};
  if (name == "UTF-32LE" || name == "UTF-32") return {Wide::utf32le, 0, true};
  if (name == "UTF-32BE") return {Wide::utf32be, 0, true};
  UINT code_page = 0;
  if (name == "UTF-8") code_page = CP_UTF8;
  if (name == "CP936") code_page = 936;
  if (name == "GB18030") code_page = 54936;
  if (name == "ASCII" || name == "US-ASCII") code_page = 20127;
  if (name == "ISO-8859-1" || name == "LATIN1") code_page = 28591;
  if (name == "BIG5") code_page = 950;
  if (name == "SHIFT_JIS" || name == "SJIS") code_page = 932;
  if (name.size() > 2 && name.compare(0, 2, "CP") == 0 &&
      name.find_first_not_of("0123456789", 2) == std::string::npos && name.size() < 8)
    code_page = static_cast<UINT>(std::stoul(name.substr(2)));
  if (code_page == 0 || !IsValidCodePage(code_page)) return {};
  return {Wide::none, code_page, true};
}

constexpr char32_t kReplacement = 0xFFFD;

void push_code_point(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

std::uint32_t unit_at(std::string_view bytes, std::size_t i, int size, bool big_endian) {
  std::uint32_t unit = 0;
  for (int k = 0; k < size; ++k) {
    const auto byte = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
    unit |= static_cast<std::uint32_t>(byte) << (8 * (big_endian ? size - 1 - k : k));
  }
  return unit;
}

// Wide encodings by hand: a lone surrogate or a cut-off unit is one U+FFFD.
std::u16string decode_wide(std::string_view bytes, Wide wide) {
  const int size = wide == Wide::utf16le || wide == Wide::utf16be ? 2 : 4;
  const bool big = wide == Wide::utf16be || wide == Wide::utf32be;
  std::u16string out;
  out.reserve(bytes.size() / static_cast<std::size_t>(size) + 1);
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes.size() - i < static_cast<std::size_t>(size)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      break;
    }
    const std::uint32_t unit = unit_at(bytes, i, size, big);
    i += static_cast<std::size_t>(size);
    if (size == 4) {
      const bool ok = unit < 0x110000 && (unit < 0xD800 || unit > 0xDFFF);
      push_code_point(out, ok ? unit : kReplacement);
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF && bytes.size() - i >= 2) {
      const std::uint32_t low = unit_at(bytes, i, 2, big);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.push_back(static_cast<char16_t>(unit));
        out.push_back(static_cast<char16_t>(low));
        i += 2;
        continue;
      }
    }
    const bool lone = unit >= 0xD800 && unit <= 0xDFFF;
    out.push_back(static_cast<char16_t>(lone ? kReplacement : unit));
  }
  return out;
}

int decode_call(UINT code_page, const char* bytes, std::size_t n, wchar_t* out, int room) {
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(n), out,
                             room);
}

std::u16string decode_code_page(std::string_view bytes, UINT code_page) {
  std::u16string out;
  if (bytes.empty()) return out;
  // Most texts are well formed: one call for all of it.
  const int whole = decode_call(code_page, bytes.data(), bytes.size(), nullptr, 0);
  if (whole > 0) {
    out.resize(static_cast<std::size_t>(whole));
    decode_call(code_page, bytes.data(), bytes.size(), reinterpret_cast<wchar_t*>(out.data()),
                whole);
    return out;
  }
  // A character at a time: the shortest run of bytes that is a character, else U+FFFD for the
  // first byte alone and on from the next one, as iconv goes on after a bad byte.
  out.reserve(bytes.size());
  std::size_t i = 0;
  wchar_t one[4];
  while (i < bytes.size()) {
    int got = 0;
    std::size_t length = 1;
    for (; length <= 4 && i + length <= bytes.size(); ++length) {
      got = decode_call(code_page, bytes.data() + i, length, one, 4);
      if (got > 0) break;
    }
    if (got > 0) {
      out.append(reinterpret_cast<const char16_t*>(one), static_cast<std::size_t>(got));
      i += length;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
    }
  }
  return out;
}

void append_unit(std::string& out, std::uint32_t unit, int size, bool big_endian) {
  for (int k = 0; k < size; ++k) {
    const int shift = 8 * (big_endian ? size - 1 - k : k);
    out.push_back(static_cast<char>((unit >> shift) & 0xFF));
  }
}

std::string encode_wide(const std::u16string& text, Wide wide) {
  std::string out;
  const bool big = wide == Wide::utf16be || wide == Wide::utf32be;
  if (wide == Wide::utf16le || wide == Wide::utf16be) {
    out.reserve(text.size() * 2);
    for (const char16_t unit : text) append_unit(out, unit, 2, big);
    return out;
  }
  out.reserve(text.size() * 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    append_unit(out, c, 4, big);
  }
  return out;
}

// Encodes wide text; *lost says whether a character had no bytes in the code page.
std::string encode_call(UINT code_page, const char16_t* text, std::size_t n, bool* lost) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  // UTF-8 takes no default character, and its conversion of well-formed text loses nothing.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used = FALSE;
  BOOL* used_ptr = utf8 ? nullptr : &used;
  const char* question = utf8 ? nullptr : "?";
  const int size = WideCharToMultiByte(code_page, flags, wide, static_cast<int>(n), nullptr, 0,
                                       question, used_ptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(code_page, flags, wide, static_cast<int>(n), out.data(), size, question,
                        used_ptr);
  *lost = used != FALSE || (size <= 0 && n > 0);
  return out;
}

std::string encode_code_page(const std::u16string& text, UINT code_page) {
  bool lost = false;
  std::string out = encode_call(code_page, text.data(), text.size(), &lost);
  if (!lost) return out;
  // Again a character at a time, so that each one the code page lacks is a single "?".
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    const std::size_t n = pair ? 2 : 1;
    std::string bytes = encode_call(code_page, text.data() + i, n, &lost);
    out.append(lost ? std::string("?") : bytes);
    i += n;
  }
  return out;
}

}  // namespace

std::string convert_bytes(std::string_view bytes, const std::string& from, const std::string& to) {
  const Charset source = charset_of(from);
  const Charset target = charset_of(to);
  if (!source.known || !target.known) return {};
  const std::u16string text = source.wide != Wide::none ? decode_wide(bytes, source.wide)
                                                        : decode_code_page(bytes, source.code_page);
  return target.wide != Wide::none ? encode_wide(text, target.wide)
                                   : encode_code_page(text, target.code_page);
}

}  // namespace quorvex
