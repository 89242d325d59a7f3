#include "base/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace quorvex {

namespace {

// iconv names the program's character sets differently from the Windows names users know.
std::string iconv_name(std::string_view name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  if (upper == "GB2312" || upper == "CP936" || upper == "X-GBK" || upper == "936") return "CP936";
  if (upper == "GBK") return "CP936";
  if (upper == "UNICODE" || upper == "UTF-16") return "UTF-16LE";
  return upper;
}

// Opening a converter costs far more than converting a cell's text, so each thread keeps the
// converters it has opened until it ends.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& entry : entries_) iconv_close(entry.cd);
  }
  iconv_t get(const std::string& to, const std::string& from) {
    for (auto& entry : entries_) {
      if (entry.to == to && entry.from == from) {
        iconv(entry.cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return entry.cd;
      }
    }
    const iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    entries_.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Entry {
    std::string to, from;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

iconv_t converter(const std::string& to, const std::string& from) {
  thread_local ConverterCache cache;
  return cache.get(to, from);
}

iconv_t no_converter() { return reinterpret_cast<iconv_t>(-1); }

// Runs one iconv pass. Where iconv cannot go on, `on_bad` gets the output and the rest of the
// input, appends a replacement and says how many input bytes to skip (at least one).
template <class OnBad>
bool run_iconv(iconv_t cd, std::string_view in, std::string& out, OnBad&& on_bad) {
  char* inp = const_cast<char*>(in.data());
  std::size_t inleft = in.size();
  char buf[16384];
  while (inleft > 0) {
    char* outp = buf;
    std::size_t outleft = sizeof buf;
    const std::size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    out.append(buf, static_cast<std::size_t>(outp - buf));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (errno == EILSEQ || errno == EINVAL) {
        const std::size_t skip =
            std::min(std::max<std::size_t>(on_bad(out, std::string_view(inp, inleft)), 1), inleft);
        inp += skip;
        inleft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        continue;
      }
      return false;
    }
  }
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outp, &outleft);
  out.append(buf, static_cast<std::size_t>(outp - buf));
  return true;
}

// The target's bytes for one UTF-32LE character; empty when the target cannot hold it.
std::string encode_one(const std::string& to, std::string_view utf32_char) {
  const iconv_t cd = converter(to, "UTF-32LE");
  std::string out;
  if (cd == no_converter()) return out;
  char* inp = const_cast<char*>(utf32_char.data());
  std::size_t inleft = utf32_char.size();
  char buf[16];
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  if (iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<std::size_t>(-1))
    out.assign(buf, static_cast<std::size_t>(outp - buf));
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return out;
}

// Length of the one character at the start of in, as `from` decodes it; 0 when it is not a
// well-formed character.
std::size_t decodable_length(const std::string& from, std::string_view in) {
  const iconv_t cd = converter("UTF-32LE", from);
  if (cd == no_converter()) return 0;
  char* inp = const_cast<char*>(in.data());
  std::size_t inleft = in.size();
  char buf[4];
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  iconv(cd, &inp, &inleft, &outp, &outleft);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return outp == buf + 4 ? in.size() - inleft : 0;
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
  const iconv_t cd = converter(to, from);
  if (cd == no_converter()) return {};
  // A character the target cannot hold becomes "?"; a byte that is no character at all becomes
  // U+FFFD where the target has it, else "?" too.
  const std::string question = encode_one(to, std::string_view("?\0\0\0", 4));
  std::string invalid = encode_one(to, std::string_view("\xFD\xFF\0\0", 4));
  if (invalid.empty()) invalid = question;
  // A bad unit of a wide encoding (a lone UTF-16 surrogate) is skipped as a whole unit: skipping
  // a single byte would put every later character out of step.
  const std::size_t unit = from.rfind("UTF-16", 0) == 0 ? 2 : from.rfind("UTF-32", 0) == 0 ? 4 : 1;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  const bool ok = run_iconv(cd, bytes, out, [&](std::string& o, std::string_view rest) {
    const std::size_t length = decodable_length(from, rest);
    o.append(length > 0 ? question : invalid);
    return length > 0 ? length : unit;
  });
  return ok ? out : std::string();
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
      iconv_name(from_charset && !from_charset->empty() ? *from_charset : "UTF-8");
  const std::string to = iconv_name(to_charset && !to_charset->empty() ? *to_charset : "GBK");
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

bool is_valid_utf8(std::string_view s) {
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
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
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
      return false;
    }
    if (end - p < len) return false;
    for (int k = 1; k < len; ++k) {
      if ((p[k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[k] & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    p += len;
  }
  return true;
}

}  // namespace quorvex
