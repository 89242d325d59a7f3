#include "text/extract.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "base/big_buffers.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"

namespace quorvex {

namespace {

constexpr std::string_view kHost = "pan.baidu.com/";
constexpr std::string_view kSharePath = "s/1";
constexpr std::string_view kInitPath = "share/init?surl=";
constexpr std::string_view kAddressStart = "https://pan.baidu.com/s/";
constexpr std::size_t npos = std::string_view::npos;

// Words that name the link before it and are no part of a title; they may follow each other
// ("百度网盘链接") and end with a colon.
constexpr std::array<std::string_view, 5> kLinkLabelWords = {
    gbk::kXiaZaiLianJie, gbk::kWangPanLianJie, gbk::kBaiDuWangPan, gbk::kLianJie,
    "\xCD\xF8\xC5\xCC"};  // 网盘

unsigned char at(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool is_ascii_alnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_id_char(unsigned char c) { return is_ascii_alnum(c) || c == '_' || c == '-'; }
// Characters that would make "pan.baidu.com" part of a longer host name ("xpan.baidu.com").
bool is_host_char(unsigned char c) { return is_id_char(c) || c == '.'; }
// What may follow a share's ID inside its address: a query or a fragment.
bool is_query_char(unsigned char c) {
  return is_id_char(c) || (c != 0 && std::strchr(".~%?&=#/+", c) != nullptr);
}

bool starts_with_at(std::string_view s, std::size_t i, std::string_view prefix) {
  return i <= s.size() && s.substr(i).starts_with(prefix);
}

// Width of the blank at i (a blank, a tab or the full-width blank), 0 when there is none.
std::size_t blank_at(std::string_view s, std::size_t i) {
  if (i >= s.size()) return 0;
  const unsigned char c = at(s, i);
  if (c == ' ' || c == '\t') return 1;
  return starts_with_at(s, i, gbk::kFullWidthBlank) ? 2 : 0;
}

// Four letters or digits at i that no fifth one follows: a code. Empty otherwise.
std::string_view code_at(std::string_view s, std::size_t i) {
  if (i + 4 > s.size()) return {};
  for (std::size_t k = 0; k < 4; ++k)
    if (!is_ascii_alnum(at(s, i + k))) return {};
  if (i + 4 < s.size() && is_ascii_alnum(at(s, i + 4))) return {};
  return s.substr(i, 4);
}

// Whether the text from i to its end is a link label: label words, then a colon, blanks allowed
// between and after.
bool link_label_ends_text(std::string_view s, std::size_t i) {
  std::size_t words = 0;
  for (bool more = true; more;) {
    more = false;
    for (const std::string_view word : kLinkLabelWords) {
      if (starts_with_at(s, i, word)) {
        i += word.size();
        while (const std::size_t b = blank_at(s, i)) i += b;
        ++words;
        more = true;
        break;
      }
    }
  }
  if (words == 0) return false;
  if (starts_with_at(s, i, gbk::kFullColon)) {
    i += gbk::kFullColon.size();
  } else if (i < s.size() && s[i] == ':') {
    ++i;
  } else {
    return false;
  }
  while (const std::size_t b = blank_at(s, i)) i += b;
  return i == s.size();
}

// The title a piece of text gives: without blanks at its ends and without a link label at its
// end. Empty when nothing is left.
std::string_view title_part(std::string_view s) {
  std::size_t i = 0;
  std::size_t first = npos;
  std::size_t last_end = 0;
  while (i < s.size()) {
    if (const std::size_t b = blank_at(s, i)) {
      i += b;
      continue;
    }
    const unsigned char c = at(s, i);
    if (c >= 0x80 && link_label_ends_text(s, i)) break;
    if (first == npos) first = i;
    i = std::min(i + char_width(c), s.size());
    last_end = i;
  }
  return first == npos ? std::string_view() : s.substr(first, last_end - first);
}

// The title as one cell: every run of blanks becomes one full-width blank.
std::string one_cell(std::string_view title) {
  std::string out;
  out.reserve(title.size());
  std::size_t i = 0;
  while (i < title.size()) {
    if (blank_at(title, i)) {
      while (const std::size_t b = blank_at(title, i)) i += b;
      out.append(gbk::kFullWidthBlank);
      continue;
    }
    const std::size_t w = std::min(char_width(at(title, i)), title.size() - i);
    out.append(title.substr(i, w));
    i += w;
  }
  return out;
}

// Whether a line is the footer the share service appends to a share's text.
bool is_share_footer(std::string_view line) {
  std::size_t i = 0;
  while (const std::size_t b = blank_at(line, i)) i += b;
  return starts_with_at(line, i, gbk::kShareFooter) || starts_with_at(line, i, gbk::kCopyHint);
}

struct LinkMatch {
  std::size_t begin = 0;  // where the link starts, its scheme included
  std::size_t end = 0;    // just past the address, its query included
  std::string_view id;    // the ID after "/s/", or the surl value (the ID without its "1")
  bool surl = false;
  std::string_view code;  // from a pwd parameter
};

// Reads the link whose host name starts at `host`, a character start that no host-name character
// precedes.
bool link_at(std::string_view line, std::size_t host, LinkMatch& m) {
  const std::size_t n = line.size();
  std::size_t p = host + kHost.size();
  std::size_t id_start;
  if (starts_with_at(line, p, kSharePath)) {
    id_start = p + 2;
    p += kSharePath.size();
    m.surl = false;
  } else if (starts_with_at(line, p, kInitPath)) {
    p += kInitPath.size();
    id_start = p;
    m.surl = true;
  } else {
    return false;
  }
  const std::size_t id_chars = p;
  while (p < n && is_id_char(at(line, p))) ++p;
  if (p == id_chars) return false;
  m.id = line.substr(id_start, p - id_start);
  m.begin = host;
  if (host >= 8 && equals_nocase(line.substr(host - 8, 8), "https://")) {
    m.begin = host - 8;
  } else if (host >= 7 && equals_nocase(line.substr(host - 7, 7), "http://")) {
    m.begin = host - 7;
  }
  // The query and fragment belong to the link; a pwd parameter there is the code. A link glued
  // to the next one ends where that one starts.
  m.code = {};
  if (p < n && (line[p] == '?' || line[p] == '&' || line[p] == '#' || line[p] == '/')) {
    while (p < n && is_query_char(at(line, p))) {
      if (starts_with_at(line, p, kHost) || starts_with_at(line, p, "http://") ||
          starts_with_at(line, p, "https://"))
        break;
      if ((line[p] == '?' || line[p] == '&') && m.code.empty() &&
          starts_with_at(line, p + 1, "pwd="))
        m.code = code_at(line, p + 5);
      ++p;
    }
  }
  m.end = p;
  return true;
}

// The code of a code label whose "码" stands at i (a character start): 提取码, 提取密码, 密码 or
// 访问码, then a colon or blanks, then the four letters or digits. `end` receives where it ends.
// An unzip password (解压密码) is no share's code.
std::string_view labelled_code(std::string_view line, std::size_t i, std::size_t& end) {
  // Every byte of these labels is 0x80 or above, so a match that ends on a character start
  // starts on one too.
  const auto before = [&](std::size_t pos, std::string_view word) {
    return pos >= word.size() && line.substr(pos - word.size(), word.size()) == word;
  };
  bool label = before(i, gbk::kTiQu) || before(i, gbk::kFangWen);
  if (!label && before(i, gbk::kMi)) label = !before(i - gbk::kMi.size(), gbk::kJieYa);
  if (!label) return {};
  std::size_t p = i + gbk::kMa.size();
  const std::size_t after_label = p;
  for (;;) {
    if (const std::size_t b = blank_at(line, p)) {
      p += b;
    } else if (starts_with_at(line, p, gbk::kFullColon)) {
      p += gbk::kFullColon.size();
    } else if (p < line.size() && line[p] == ':') {
      ++p;
    } else {
      break;
    }
  }
  if (p == after_label) return {};
  const std::string_view code = code_at(line, p);
  if (!code.empty()) end = p + code.size();
  return code;
}

class Extractor {
 public:
  std::vector<ExtractedShare> run(std::string_view text) {
    const char* const begin = text.data();
    const char* const stop = begin + text.size();
    auto next = [stop](const char* from, char c) {
      const void* hit = std::memchr(from, c, static_cast<std::size_t>(stop - from));
      return hit ? static_cast<const char*>(hit) : stop;
    };
    const char* cr = next(begin, '\r');
    const char* lf = next(begin, '\n');
    for (const char* p = begin; p <= stop;) {
      if (cr < p) cr = next(p, '\r');
      if (lf < p) lf = next(p, '\n');
      const char* line_end = std::min(cr, lf);
      line(std::string_view(p, static_cast<std::size_t>(line_end - p)));
      if (line_end == stop) break;
      p = line_end + (line_end == cr && line_end + 1 == lf ? 2 : 1);
    }
    return std::move(shares_);
  }

 private:
  // A line above the current one, as a title may be taken from it.
  struct Above {
    std::string_view text;
    bool usable = false;  // neither a link nor a code line
  };

  void line(std::string_view line) {
    bool has_link = false;
    bool has_code = false;
    std::size_t title_from = 0;
    bool after_host_char = false;  // the character before i would lengthen a host name
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n) {
      // Runs of plain ASCII without a "p" hold neither a link's start nor a label.
      if (i + 8 <= n && ascii_run8(line.data() + i, 'p') == 8) {
        i += 8;
        after_host_char = is_host_char(at(line, i - 1));
        continue;
      }
      const unsigned char c = at(line, i);
      if (c == 'p' && !after_host_char && starts_with_at(line, i, kHost)) {
        LinkMatch m;
        if (link_at(line, i, m)) {
          m.begin = std::max(m.begin, title_from);
          add_link(m, line.substr(title_from, m.begin - title_from));
          has_link = true;
          i = title_from = m.end;
          after_host_char = is_host_char(at(line, i - 1));
          continue;
        }
      }
      if (c == 0xC2 && i + 1 < n && at(line, i + 1) == 0xEB) {
        std::size_t end = 0;
        const std::string_view code = labelled_code(line, i, end);
        if (!code.empty()) {
          has_code = true;
          take_code(code);
          i = title_from = end;
          after_host_char = true;
          continue;
        }
      }
      after_host_char = c < 0x80 && is_host_char(c);
      i += char_width(c);
    }
    above_[1] = above_[0];
    above_[0] = {line, !has_link && !has_code};
  }

  std::string title_above() const {
    for (const Above& a : above_) {
      if (!a.usable || is_share_footer(a.text)) continue;
      const std::string_view t = title_part(a.text);
      if (!t.empty()) return one_cell(t);
    }
    return std::string(gbk::kUnnamed);
  }

  void add_link(const LinkMatch& m, std::string_view before) {
    std::string id;
    id.reserve(m.id.size() + 1);
    if (m.surl) id.push_back('1');
    id.append(m.id);
    const auto [it, inserted] = index_.try_emplace(std::move(id), shares_.size());
    if (inserted) {
      const std::string_view own = title_part(before);
      shares_.push_back({own.empty() ? title_above() : one_cell(own), it->first, {}});
    }
    open_ = it->second;
    open_has_code_ = !m.code.empty();
    if (open_has_code_ && shares_[open_].code.empty()) shares_[open_].code = m.code;
  }

  // A labelled code belongs to the last link before it, unless that one has its code already.
  void take_code(std::string_view code) {
    if (open_ == npos || open_has_code_) return;
    open_has_code_ = true;
    if (shares_[open_].code.empty()) shares_[open_].code = code;
  }

  std::vector<ExtractedShare> shares_;
  std::unordered_map<std::string, std::size_t> index_;  // share ID -> its place in shares_
  std::size_t open_ = npos;                             // the share of the last link met
  bool open_has_code_ = false;  // whether that appearance of it has had its code
  std::array<Above, 2> above_;  // the line just above, and the one above that
};

}  // namespace

std::vector<ExtractedShare> find_shares(std::string_view text) { return Extractor().run(text); }

std::string share_lines(const std::vector<ExtractedShare>& shares) {
  std::size_t size = 0;
  for (const ExtractedShare& s : shares) size += s.title.size() + s.id.size() + s.code.size() + 48;
  std::string out;
  reserve_big(out, size);
  for (const ExtractedShare& s : shares) {
    out.append(s.title).append("  ").append(gbk::kExportLink).append(kAddressStart).append(s.id);
    if (!s.code.empty()) out.append("  ").append(gbk::kExportCode).append(s.code);
    out.append("\r\n");
  }
  return out;
}

std::string extract_share_text(std::string_view text, std::size_t* count) {
  const std::vector<ExtractedShare> shares = find_shares(text);
  if (count) *count = shares.size();
  return share_lines(shares);
}

}  // namespace quorvex
