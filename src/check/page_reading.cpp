#include "check/page_reading.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "base/charset.h"
#include "base/text_ops.h"
#include "check/probe.h"
#include "net/header_text.h"

namespace quorvex {

namespace {

constexpr std::size_t npos = std::string_view::npos;
// Browsers look for a page's own charset declaration this far into it.
constexpr std::size_t kCharsetPrescan = 2048;

unsigned char byte_at(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]);
}

bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_alnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// What may stand in a tag's name: custom elements have dashes, namespaced ones colons.
bool is_tag_name_char(unsigned char c) { return is_alnum(c) || c == '-' || c == ':' || c == '_'; }

bool starts_with_nocase(std::string_view s, std::size_t i, std::string_view word) {
  return i <= s.size() && s.size() - i >= word.size() &&
         equals_nocase(s.substr(i, word.size()), word);
}

// The first occurrence of an ASCII word at or after `from`, letter case aside, byte by byte: the
// text may be in any character set yet.
std::size_t find_nocase(std::string_view text, std::string_view word, std::size_t from) {
  for (std::size_t i = from; i + word.size() <= text.size(); ++i)
    if (starts_with_nocase(text, i, word)) return i;
  return npos;
}

// The value of "charset=" somewhere in text, as written, without quotes; "" when none.
std::string charset_parameter(std::string_view text) {
  for (std::size_t at = 0; (at = find_nocase(text, "charset", at)) != npos;) {
    std::size_t i = at + 7;
    while (i < text.size() && is_blank(byte_at(text, i))) ++i;
    if (i >= text.size() || text[i] != '=') {
      at = i;
      continue;
    }
    ++i;
    while (i < text.size() && (is_blank(byte_at(text, i)) || text[i] == '"' || text[i] == '\''))
      ++i;
    const std::size_t start = i;
    while (i < text.size() &&
           (is_alnum(byte_at(text, i)) || std::strchr("-_.:", text[i]) != nullptr))
      ++i;
    if (i > start) {
      std::string name(text.substr(start, i - start));
      for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      return name;
    }
    at = i;
  }
  return {};
}

// The name a converter of this program knows for a declared character set; "" for UTF-8 and for
// every set it does not read, which are then read as UTF-8.
std::string_view readable_charset(std::string_view declared) {
  static constexpr std::array<std::string_view, 9> kGbk = {"GBK",   "GB2312", "GB_2312-80",
                                                           "X-GBK", "CP936",  "WINDOWS-936",
                                                           "MS936", "EUC-CN", "CSGB2312"};
  for (const std::string_view name : kGbk)
    if (declared == name) return "GBK";
  if (declared == "GB18030") return "GB18030";
  if (declared == "BIG5" || declared == "BIG5-HKSCS" || declared == "X-X-BIG5") return "BIG5";
  return {};
}

// Appends text as a person reads it: every run of blanks one blank, none at the start or the end.
class TextSink {
 public:
  explicit TextSink(std::string& out) : out_(out) {}
  void blank() { pending_blank_ = !out_.empty(); }
  void put(std::string_view bytes) {
    if (bytes.empty()) return;
    if (pending_blank_) out_.push_back(' ');
    pending_blank_ = false;
    out_.append(bytes);
  }
  void put_code_point(std::uint32_t cp) {
    char buf[4];
    std::size_t n;
    if (cp < 0x80) {
      buf[0] = static_cast<char>(cp);
      n = 1;
    } else if (cp < 0x800) {
      buf[0] = static_cast<char>(0xC0 | (cp >> 6));
      buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
      n = 2;
    } else if (cp < 0x10000) {
      buf[0] = static_cast<char>(0xE0 | (cp >> 12));
      buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
      n = 3;
    } else {
      buf[0] = static_cast<char>(0xF0 | (cp >> 18));
      buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
      n = 4;
    }
    put(std::string_view(buf, n));
  }

 private:
  std::string& out_;
  bool pending_blank_ = false;
};

struct NamedEntity {
  std::string_view name;
  std::uint32_t code_point;
};

// The entities pages of the service and of forums use; any other stays as written.
constexpr std::array<NamedEntity, 20> kEntities = {{
    {"nbsp", 0xA0},     {"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"ensp", 0x2002},  {"emsp", 0x2003},  {"thinsp", 0x2009}, {"middot", 0xB7},
    {"hellip", 0x2026}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"mdash", 0x2014},  {"ndash", 0x2013}, {"copy", 0xA9},    {"reg", 0xAE},      {"times", 0xD7},
}};

bool is_space_code_point(std::uint32_t cp) {
  return cp == 0xA0 || cp == 0x2002 || cp == 0x2003 || cp == 0x2009 || cp == 0x3000 ||
         (cp < 0x80 && is_blank(static_cast<unsigned char>(cp)));
}

void put_decoded(TextSink& sink, std::uint32_t cp) {
  if (is_space_code_point(cp)) return sink.blank();
  // No character, a surrogate or beyond Unicode: what a browser shows for it.
  if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  sink.put_code_point(cp);
}

// Decodes the entity whose "&" is at i; returns where the text goes on. An "&" that starts no
// entity is itself.
std::size_t put_entity(std::string_view s, std::size_t i, TextSink& sink) {
  std::size_t p = i + 1;
  if (p < s.size() && s[p] == '#') {
    ++p;
    const bool hex = p < s.size() && (s[p] == 'x' || s[p] == 'X');
    if (hex) ++p;
    const std::size_t digits = p;
    std::uint32_t cp = 0;
    while (p < s.size()) {
      const unsigned char c = byte_at(s, p);
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (hex && c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else if (hex && c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else {
        break;
      }
      // Past Unicode it stays past Unicode, without overflowing.
      if (cp <= 0x10FFFF) cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      ++p;
    }
    if (p == digits) {
      sink.put("&");
      return i + 1;
    }
    if (p < s.size() && s[p] == ';') ++p;
    put_decoded(sink, cp);
    return p;
  }
  while (p < s.size() && p - i <= 8 && is_alnum(byte_at(s, p))) ++p;
  if (p < s.size() && s[p] == ';') {
    const std::string_view name = s.substr(i + 1, p - i - 1);
    for (const NamedEntity& e : kEntities) {
      if (e.name == name) {
        put_decoded(sink, e.code_point);
        return p + 1;
      }
    }
  }
  sink.put("&");
  return i + 1;
}

// Which bytes end a run of plain text: markup, entities and blanks.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> t{};
  for (const unsigned char c : {'<', '&', ' ', '\t', '\n', '\r', '\f', '\v'}) t[c] = true;
  return t;
}();

// Text without markup: entities decoded, blanks folded.
void put_text(std::string_view s, TextSink& sink) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t run = i;
    while (i < s.size() && !kSpecial[byte_at(s, i)]) ++i;
    sink.put(s.substr(run, i - run));
    if (i >= s.size()) break;
    if (s[i] == '&') {
      i = put_entity(s, i, sink);
    } else if (s[i] == '<') {
      sink.put("<");
      ++i;
    } else {
      sink.blank();
      ++i;
    }
  }
}

// Where the tag whose "<" is at i ends (just past its ">"), quoted attribute values stepped over;
// the end of the text when it never ends.
std::size_t end_of_tag(std::string_view s, std::size_t i) {
  char last = 0;  // the last byte that was no blank
  for (std::size_t p = i + 1; p < s.size(); ++p) {
    const char c = s[p];
    if (c == '>') return p + 1;
    if ((c == '"' || c == '\'') && last == '=') {
      const std::size_t close = s.find(c, p + 1);
      if (close == npos) return s.size();
      p = close;
      last = c;
      continue;
    }
    if (!is_blank(static_cast<unsigned char>(c))) last = c;
  }
  return s.size();
}

// Where the end tag "</name" at or after `from` starts; the end of the text when there is none.
std::size_t find_end_tag(std::string_view s, std::size_t from, std::string_view name) {
  for (std::size_t p = from; (p = s.find("</", p)) != npos; p += 2) {
    const std::size_t after = p + 2 + name.size();
    if (starts_with_nocase(s, p + 2, name) &&
        (after >= s.size() || !is_tag_name_char(byte_at(s, after))))
      return p;
  }
  return s.size();
}

// Just past the end tag that starts at `at` (the end of the text stays there).
std::size_t past_tag(std::string_view s, std::size_t at) {
  return at >= s.size() ? s.size() : end_of_tag(s, at);
}

// Elements whose content no person sees as text.
constexpr std::array<std::string_view, 4> kHiddenElements = {"script", "style", "noscript",
                                                             "template"};

}  // namespace

std::string declared_charset(std::string_view headers, std::string_view body) {
  for (const std::string_view line : split_keep_empty(headers, "\r\n")) {
    if (!equals_nocase(header_name_of(line), "Content-Type")) continue;
    std::string name = charset_parameter(header_value_of(line));
    if (!name.empty()) return name;
  }
  const std::string_view head = body.substr(0, std::min(body.size(), kCharsetPrescan));
  for (std::size_t at = 0; (at = find_nocase(head, "<meta", at)) != npos;) {
    const std::size_t end = std::min(end_of_tag(head, at), head.size());
    std::string name = charset_parameter(head.substr(at, end - at));
    if (!name.empty()) return name;
    at = end;
  }
  return {};
}

VisiblePage visible_page(std::string_view s) {
  VisiblePage page;
  page.text.reserve(s.size() / 4);
  TextSink text(page.text);
  bool have_title = false;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t lt = s.find('<', i);
    const std::size_t stop = lt == npos ? s.size() : lt;
    put_text(s.substr(i, stop - i), text);
    if (lt == npos) break;
    i = lt;
    if (s.compare(i, 4, "<!--") == 0) {
      const std::size_t close = s.find("-->", i + 4);
      i = close == npos ? s.size() : close + 3;
      text.blank();
      continue;
    }
    const bool closing = i + 1 < s.size() && s[i + 1] == '/';
    const std::size_t name_at = i + (closing ? 2 : 1);
    const bool declaration =
        !closing && name_at < s.size() && (s[name_at] == '!' || s[name_at] == '?');
    if (!declaration && (name_at >= s.size() || !is_alpha(byte_at(s, name_at)))) {
      // A "<" that opens no tag is shown as it is.
      text.put("<");
      ++i;
      continue;
    }
    std::size_t name_end = name_at;
    while (name_end < s.size() && is_tag_name_char(byte_at(s, name_end))) ++name_end;
    const std::string_view name = s.substr(name_at, name_end - name_at);
    const std::size_t after = end_of_tag(s, i);
    text.blank();
    i = after;
    if (closing || declaration) continue;
    if (equals_nocase(name, "title")) {
      // Its content is text, tags and all; only the first title names the page.
      const std::size_t close = find_end_tag(s, after, "title");
      if (!have_title) {
        TextSink title(page.title);
        put_text(s.substr(after, close - after), title);
        have_title = true;
      }
      i = past_tag(s, close);
      continue;
    }
    for (const std::string_view hidden : kHiddenElements) {
      if (equals_nocase(name, hidden)) {
        i = past_tag(s, find_end_tag(s, after, hidden));
        break;
      }
    }
  }
  return page;
}

VisiblePage read_page(const FetchResult& result) {
  std::string_view body = result.body;
  // The page's text ends at its first NUL byte, as every text of this program does (they are
  // NUL-terminated in its code page), so the verdicts of a page do not depend on where it was read.
  const std::size_t nul = body.find('\0');
  if (nul != npos) body = body.substr(0, nul);
  const std::string_view charset = readable_charset(declared_charset(result.headers, body));
  if (!charset.empty()) {
    const std::string decoded = convert_charset(body, charset, "UTF-8");
    if (!decoded.empty()) return visible_page(decoded);
  }
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  return visible_page(body);
}

}  // namespace quorvex
