#include "text/extract.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>

#include "base/big_buffers.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_services.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

// The service's host names: "yun" is its older name, for the same shares.
constexpr std::string_view kHost = "pan.baidu.com/";
constexpr std::string_view kOtherHost = "yun.baidu.com/";
constexpr std::string_view kSharePath = "s/1";
constexpr std::array<std::string_view, 2> kSurlPaths = {"share/init?surl=", "wap/init?surl="};
constexpr std::string_view kLinkPath = "share/link?";
constexpr std::string_view kAddressStart = "https://pan.baidu.com/s/";
constexpr std::string_view kLinkAddressStart = "https://pan.baidu.com/share/link?";
constexpr std::size_t npos = std::string_view::npos;

// Words that name the link before it and are no part of a title; they may follow each other
// ("百度网盘链接", "夸克网盘链接") and end with a colon. Longer words before the words they begin
// with.
constexpr std::array<std::string_view, 13> kLinkLabelWords = {
    gbk::kXiaZaiLianJie,
    gbk::kWangPanLianJie,
    gbk::kBaiDuWangPan,
    gbk::kLianJie,
    "\xCD\xF8\xC5\xCC",                  // 网盘
    "\xBF\xE4\xBF\xCB",                  // 夸克
    "\xB0\xA2\xC0\xEF\xD4\xC6\xC5\xCC",  // 阿里云盘
    "\xCC\xEC\xD2\xED\xD4\xC6\xC5\xCC",  // 天翼云盘
    "\xCC\xEC\xD2\xED\xD4\xC6",          // 天翼云
    "\xC0\xB6\xD7\xE0\xD4\xC6\xC5\xCC",  // 蓝奏云盘
    "\xC0\xB6\xD7\xE0\xD4\xC6",          // 蓝奏云
    "\xD4\xC6\xC5\xCC",                  // 云盘
    "\xB7\xD6\xCF\xED\xC1\xB4\xBD\xD3",  // 分享链接
};

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
  return c == 0xA1 && i + 1 < s.size() && at(s, i + 1) == 0xA1 ? 2 : 0;  // the full-width blank
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
  // Most characters start no label word at all.
  const unsigned char c = at(s, i);
  if (std::none_of(kLinkLabelWords.begin(), kLinkLabelWords.end(),
                   [c](std::string_view word) { return at(word, 0) == c; }))
    return false;
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

// Appends the title as one cell: every run of blanks becomes one full-width blank.
void append_one_cell(std::string& out, std::string_view title) {
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
}

// Whether a line is the footer the share service appends to a share's text.
bool is_share_footer(std::string_view line) {
  std::size_t i = 0;
  while (const std::size_t b = blank_at(line, i)) i += b;
  return starts_with_at(line, i, gbk::kShareFooter) || starts_with_at(line, i, gbk::kCopyHint);
}

enum class LinkKind {
  short_id,  // /s/1ID: `id` is "1ID"
  surl,      // …/init?surl=ID: `id` is "ID", the short ID without its "1"
  link,      // /share/link?shareid=N&uk=M: `share_number` and `user` are N and M
};

struct LinkMatch {
  std::size_t begin = 0;  // where the link starts, its scheme included
  std::size_t end = 0;    // just past the address, its query included
  LinkKind kind = LinkKind::short_id;
  std::string_view id;
  std::string_view share_number;
  std::string_view user;
  std::string_view code;  // from a pwd parameter
};

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// The digits of a query parameter "name=" that starts at p (after its "?" or "&").
std::string_view number_parameter(std::string_view line, std::size_t p, std::string_view name) {
  if (!starts_with_at(line, p, name)) return {};
  std::size_t q = p + name.size();
  const std::size_t start = q;
  while (q < line.size() && is_digit(at(line, q))) ++q;
  return line.substr(start, q - start);
}

// Reads the link whose host name starts at `host`, a character start that no host-name character
// precedes.
bool link_at(std::string_view line, std::size_t host, LinkMatch& m) {
  const std::size_t n = line.size();
  std::size_t p = host + kHost.size();
  m.share_number = m.user = {};
  if (starts_with_at(line, p, kLinkPath)) {
    // The query is read below; the share is its two numbers, in whichever order they stand.
    p += kLinkPath.size() - 1;
    m.kind = LinkKind::link;
  } else {
    std::size_t id_start = npos;
    if (starts_with_at(line, p, kSharePath)) {
      id_start = p + 2;
      p += kSharePath.size();
      m.kind = LinkKind::short_id;
    } else {
      for (const std::string_view path : kSurlPaths) {
        if (!starts_with_at(line, p, path)) continue;
        p += path.size();
        id_start = p;
        m.kind = LinkKind::surl;
        break;
      }
    }
    if (id_start == npos) return false;
    const std::size_t id_chars = p;
    while (p < n && is_id_char(at(line, p))) ++p;
    if (p == id_chars) return false;
    m.id = line.substr(id_start, p - id_start);
  }
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
      if (starts_with_at(line, p, kHost) || starts_with_at(line, p, kOtherHost) ||
          starts_with_at(line, p, "http://") || starts_with_at(line, p, "https://"))
        break;
      if ((line[p] == '?' || line[p] == '&') && m.code.empty() &&
          starts_with_at(line, p + 1, "pwd="))
        m.code = code_at(line, p + 5);
      if ((line[p] == '?' || line[p] == '&') && m.kind == LinkKind::link) {
        if (m.share_number.empty()) m.share_number = number_parameter(line, p + 1, "shareid=");
        if (m.user.empty()) m.user = number_parameter(line, p + 1, "uk=");
      }
      ++p;
    }
  }
  m.end = p;
  return m.kind != LinkKind::link || (!m.share_number.empty() && !m.user.empty());
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
  // A share found: its ID and code point into the text, its title into titles_, so that a text
  // of a million links costs no allocation per link.
  struct Found {
    std::string_view key;  // the ID without its leading "1"
    std::size_t hash = 0;
    std::size_t title_at = 0;
    std::size_t title_size = 0;
    std::string_view code;     // empty when none was found
    std::string_view address;  // another service's share address; empty for Baidu's
  };

  void run(std::string_view text) {
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
  }

  const std::vector<Found>& found() const { return found_; }
  std::string_view title(const Found& f) const {
    return std::string_view(titles_).substr(f.title_at, f.title_size);
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
    // The other services' links are found apart: their hosts need not hold a "p" or a "y". Each
    // has a "/" after its host.
    services_.clear();
    if (line.find('/') != npos) services_ = find_service_links(line);
    std::size_t next_service = 0;
    while (i < n) {
      if (next_service < services_.size() && i >= services_[next_service].begin) {
        const ServiceLink& s = services_[next_service++];
        // One inside a Baidu link's query or a code label that went past it is no link.
        if (s.begin < i) continue;
        const std::size_t begin = std::max(with_scheme(line, s.begin), title_from);
        add_service_link(s, line.substr(title_from, begin - title_from));
        has_link = true;
        i = title_from = s.end;
        after_host_char = is_host_char(at(line, i - 1));
        continue;
      }
      const std::size_t stop = next_service < services_.size() ? services_[next_service].begin : n;
      // Runs of plain ASCII without a "p" or a "y" hold neither a link's start nor a label.
      if (i + 8 <= stop && ascii_run8(line.data() + i, 'p', 'y') == 8) {
        i += 8;
        after_host_char = is_host_char(at(line, i - 1));
        continue;
      }
      const unsigned char c = at(line, i);
      if ((c == 'p' || c == 'y') && !after_host_char &&
          starts_with_at(line, i, c == 'p' ? kHost : kOtherHost)) {
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

  void append_title_above() {
    for (const Above& a : above_) {
      if (!a.usable || is_share_footer(a.text)) continue;
      const std::string_view t = title_part(a.text);
      if (!t.empty()) return append_one_cell(titles_, t);
    }
    titles_.append(gbk::kUnnamed);
  }

  // Where a link whose host starts at `host` begins, its scheme included.
  static std::size_t with_scheme(std::string_view line, std::size_t host) {
    if (host >= 8 && equals_nocase(line.substr(host - 8, 8), "https://")) return host - 8;
    if (host >= 7 && equals_nocase(line.substr(host - 7, 7), "http://")) return host - 7;
    return host;
  }

  void add_service_link(const ServiceLink& link, std::string_view before) {
    // The key names the service and the share, so no share of another service or of Baidu
    // (whose keys hold no ":") is taken for it; it, the address and the code are kept aside,
    // as they stand nowhere in the text as such.
    const std::string_view key = link_keys_.emplace_back(service_share_key(link));
    bool added = false;
    open_ = find_or_add(key, added);
    Found& f = found_[open_];
    if (added) {
      f.address = link_keys_.emplace_back(link.url);
      take_title(f, before);
    } else {
      link_keys_.pop_back();
    }
    open_has_code_ = !link.code.empty();
    if (open_has_code_ && f.code.empty()) f.code = link_keys_.emplace_back(link.code);
  }

  void add_link(const LinkMatch& m, std::string_view before) {
    // Every spelling of a share's address names its ID without the "1" the same way; a
    // /share/link share is named by its two numbers, which no short ID holds ("=").
    std::string_view key;
    switch (m.kind) {
      case LinkKind::short_id:
        key = m.id.substr(1);
        break;
      case LinkKind::surl:
        key = m.id;
        break;
      case LinkKind::link:
        key = link_keys_.emplace_back(
            std::string("shareid=").append(m.share_number).append("&uk=").append(m.user));
        break;
    }
    bool added = false;
    open_ = find_or_add(key, added);
    if (added) take_title(found_[open_], before);
    open_has_code_ = !m.code.empty();
    if (open_has_code_ && found_[open_].code.empty()) found_[open_].code = m.code;
  }

  // A share's title: the text before its first link, else a line above.
  void take_title(Found& f, std::string_view before) {
    f.title_at = titles_.size();
    const std::string_view own = title_part(before);
    if (own.empty()) {
      append_title_above();
    } else {
      append_one_cell(titles_, own);
    }
    f.title_size = titles_.size() - f.title_at;
  }

  // A labelled code belongs to the last link before it, unless that one has its code already.
  void take_code(std::string_view code) {
    if (open_ == npos || open_has_code_) return;
    open_has_code_ = true;
    if (found_[open_].code.empty()) found_[open_].code = code;
  }

  // The share of this key: found before, or added now. An open-addressing table of places in
  // found_ (0 for an empty slot), kept at most half full.
  std::size_t find_or_add(std::string_view key, bool& added) {
    if ((found_.size() + 1) * 2 > slots_.size()) grow();
    const std::size_t hash = std::hash<std::string_view>{}(key);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::size_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = found_.size() + 1;
        found_.push_back({key, hash, 0, 0, {}, {}});
        added = true;
        return found_.size() - 1;
      }
      const Found& f = found_[slot - 1];
      if (f.hash == hash && f.key == key) {
        added = false;
        return slot - 1;
      }
    }
  }
  void grow() {
    std::vector<std::size_t> slots(std::max<std::size_t>(1024, slots_.size() * 2), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t k = 0; k < found_.size(); ++k) {
      std::size_t i = found_[k].hash & mask;
      while (slots[i] != 0) i = (i + 1) & mask;
      slots[i] = k + 1;
    }
    slots_ = std::move(slots);
  }

  std::vector<Found> found_;
  std::string titles_;
  std::vector<std::size_t> slots_;
  std::size_t open_ = npos;     // the share of the last link met
  bool open_has_code_ = false;  // whether that appearance of it has had its code
  std::array<Above, 2> above_;  // the line just above, and the one above that
  // The keys of /share/link shares, which stand nowhere in the text as such; a deque keeps each
  // where it is as more come.
  std::deque<std::string> link_keys_;
  std::vector<ServiceLink> services_;  // the other services' links of the current line
};

// The address of a share by its key: the ID without its leading "1", or the query of a
// /share/link share.
void append_address(std::string& out, std::string_view key) {
  if (key.find('=') != std::string_view::npos) {
    out.append(kLinkAddressStart).append(key);
    return;
  }
  out.append(kAddressStart);
  out.push_back('1');
  out.append(key);
}

// The line of one share.
void append_share_line(std::string& out, std::string_view title, std::string_view key,
                       std::string_view code, std::string_view address) {
  out.append(title).append("  ").append(gbk::kExportLink);
  if (address.empty()) {
    append_address(out, key);
  } else {
    out.append(address);
  }
  if (!code.empty()) out.append("  ").append(gbk::kExportCode).append(code);
  out.append("\r\n");
}

}  // namespace

std::vector<ExtractedShare> find_shares(std::string_view text) {
  Extractor extractor;
  extractor.run(text);
  std::vector<ExtractedShare> shares;
  shares.reserve(extractor.found().size());
  for (const Extractor::Found& f : extractor.found()) {
    std::string link;
    if (f.address.empty()) {
      append_address(link, f.key);
    } else {
      link = f.address;
    }
    std::string id = share_id(link);
    const ShareService service = service_of_url(link);
    shares.push_back({std::string(extractor.title(f)), std::move(id), std::string(f.code),
                      std::move(link), service});
  }
  return shares;
}

std::string extract_share_text(std::string_view text, std::size_t* count) {
  Extractor extractor;
  extractor.run(text);
  const auto& found = extractor.found();
  std::size_t size = 0;
  for (const Extractor::Found& f : found)
    size += f.title_size + f.key.size() + f.address.size() + 66;
  std::string out;
  reserve_big(out, size);
  for (const Extractor::Found& f : found)
    append_share_line(out, extractor.title(f), f.key, f.code, f.address);
  if (count) *count = found.size();
  return out;
}

}  // namespace quorvex
