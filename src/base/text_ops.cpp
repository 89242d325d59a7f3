#include "base/text_ops.h"

#include "base/big_buffers.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace quorvex {

namespace {

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool equals_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

std::size_t find_aligned(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
  const std::size_t last = text.size() - needle.size();
  const char first = needle[0];
  std::size_t i = from;
  while (i <= last) {
    const char c = text[i];
    if (c == first && std::memcmp(text.data() + i, needle.data(), needle.size()) == 0) return i;
    i += char_width(static_cast<unsigned char>(c));
  }
  return std::string_view::npos;
}

std::size_t find_aligned_nocase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
  const std::size_t last = text.size() - needle.size();
  const char first = ascii_lower(needle[0]);
  std::size_t i = from;
  while (i <= last) {
    const char c = text[i];
    if (ascii_lower(c) == first && equals_nocase(text.substr(i, needle.size()), needle)) return i;
    i += char_width(static_cast<unsigned char>(c));
  }
  return std::string_view::npos;
}

bool contains_bytes(std::string_view text, std::string_view needle) {
  if (text.empty() || needle.empty()) return false;
  return text.find(needle) != std::string_view::npos;
}

bool contains_nocase(std::string_view text, std::string_view needle) {
  if (needle.empty() || text.size() < needle.size()) return false;
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i)
    if (equals_nocase(text.substr(i, needle.size()), needle)) return true;
  return false;
}

std::vector<std::string_view> split_nonempty_views(std::string_view text, std::string_view delim) {
  std::vector<std::string_view> out;
  for_each_nonempty_piece(text, delim, [&](std::string_view p) { out.push_back(p); });
  return out;
}

std::vector<std::string> split_nonempty(std::string_view text, std::string_view delim) {
  std::vector<std::string> out;
  for_each_nonempty_piece(text, delim, [&](std::string_view p) { out.emplace_back(p); });
  return out;
}

std::string_view text_after_last(std::string_view text, std::string_view needle) {
  if (text.empty() || needle.empty()) return {};
  // The occurrence must lie within the text without its last byte.
  const std::string_view searched = text.substr(0, text.size() - 1);
  std::size_t found = std::string_view::npos;
  std::size_t pos = find_aligned(searched, needle, 0);
  while (pos != std::string_view::npos) {
    found = pos;
    pos = find_aligned(searched, needle, pos + needle.size());
  }
  if (found == std::string_view::npos) return {};
  return text.substr(found + needle.size());
}

std::string_view text_before(std::string_view text, std::string_view sep) {
  if (sep.empty()) return {};
  const std::size_t pos = text.find(sep);
  if (pos == std::string_view::npos) return {};
  return text.substr(0, pos);
}

std::string text_between(std::string_view text, std::string left, std::string right) {
  static constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";  // #引号
  replace_all_aligned(left, kQuoteWord, "\"");
  replace_all_aligned(right, kQuoteWord, "\"");
  if (left.empty() || right.empty()) return {};
  const std::size_t l = text.find(left);
  if (l == std::string_view::npos) return {};
  const std::size_t start = l + left.size();
  const std::size_t r = text.find(right, start);
  if (r == std::string_view::npos) return {};
  return std::string(text.substr(start, r - start));
}

std::string remove_all_nocase(std::string_view text, std::string_view needle) {
  std::string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = find_aligned_nocase(text, needle, start);
    if (pos == std::string_view::npos) break;
    out.append(text.substr(start, pos - start));
    start = pos + needle.size();
  }
  out.append(text.substr(start));
  return out;
}

std::string_view trim_spaces(std::string_view text) {
  // Walk character by character so that an 0xA1 0xA1 pair is only taken when it is a character.
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    if (text[i] == ' ') {
      ++i;
    } else if (i + 1 < n && text[i] == '\xA1' && text[i + 1] == '\xA1') {
      i += 2;
    } else {
      break;
    }
  }
  std::size_t end = i;  // end of the last character that is not a blank
  std::size_t j = i;
  while (j < n) {
    const std::size_t w = std::min(char_width(static_cast<unsigned char>(text[j])), n - j);
    const bool blank =
        (w == 1 && text[j] == ' ') || (w == 2 && text[j] == '\xA1' && text[j + 1] == '\xA1');
    j += w;
    if (!blank) end = j;
  }
  return text.substr(i, end - i);
}

std::string_view trim_blanks(std::string_view text) {
  const std::size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const std::size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

void replace_all_aligned(std::string& text, std::string_view find, std::string_view repl) {
  if (find.empty()) return;
  std::size_t pos = find_aligned(text, find, 0);
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(repl.size() > find.size() ? text.size() + text.size() / 8 : text.size());
  std::size_t copied = 0;
  while (pos != std::string::npos) {
    out.append(text, copied, pos - copied);
    out.append(repl);
    copied = pos + find.size();
    pos = find_aligned(text, find, copied);
  }
  out.append(text, copied, std::string::npos);
  text = std::move(out);
}

std::string replace_in_order(
    std::string text, const std::vector<std::pair<std::string_view, std::string_view>>& pairs) {
  for (const auto& [find, repl] : pairs) replace_all_aligned(text, find, repl);
  return text;
}

void replace_aligned_together(
    std::string& text, const std::vector<std::pair<std::string_view, std::string_view>>& pairs) {
  bool grows = false;
  bool any = false;
  std::array<bool, 256> starts{};  // first bytes of the finds: other characters are just copied
  for (const auto& [find, repl] : pairs) {
    if (find.empty()) continue;
    any = true;
    grows = grows || repl.size() > find.size();
    starts[static_cast<unsigned char>(find[0])] = true;
  }
  if (!any) return;
  // In place when the text cannot grow; into a new buffer when it can.
  std::string grown;
  if (grows) reserve_big(grown, text.size() + text.size() / 8);
  const std::size_t n = text.size();
  std::size_t read = 0, write = 0, run = 0;  // [run, read) is copied unchanged when next flushed
  auto put = [&](const char* data, std::size_t len) {
    if (grows) {
      grown.append(data, len);
    } else {
      // In place the output never overtakes the input: no replacement is longer than its find.
      if (text.data() + write != data) std::memmove(text.data() + write, data, len);
      write += len;
    }
  };
  // An ASCII byte that starts a find stops the eight-byte skip; high start bytes never occur in an
  // all-ASCII run anyway.
  unsigned char ascii_start = 0x80;  // no ASCII byte
  for (int b = 0; b < 0x80; ++b)
    if (starts[static_cast<std::size_t>(b)])
      ascii_start = ascii_start == 0x80 ? static_cast<unsigned char>(b) : 0xFF;
  while (read < n) {
    if (ascii_start != 0xFF && read + 8 <= n && ascii_run8(text.data() + read, ascii_start) == 8) {
      read += 8;
      continue;
    }
    const char c = text[read];
    if (starts[static_cast<unsigned char>(c)]) {
      bool replaced = false;
      for (const auto& [find, repl] : pairs) {
        if (!find.empty() && text.compare(read, find.size(), find) == 0) {
          put(text.data() + run, read - run);
          put(repl.data(), repl.size());
          read += find.size();
          run = read;
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    read += char_width(static_cast<unsigned char>(c));
  }
  put(text.data() + run, std::min(read, n) - run);
  if (grows) {
    text = std::move(grown);
  } else {
    text.resize(write);
  }
}

std::vector<std::string_view> split_keep_empty(std::string_view text, std::string_view sep) {
  std::vector<std::string_view> out;
  if (text.empty()) return out;
  if (sep.empty()) {
    out.push_back(text);
    return out;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = find_aligned(text, sep, start);
    if (pos == std::string_view::npos) break;
    out.push_back(text.substr(start, pos - start));
    start = pos + sep.size();
  }
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

int parse_leading_int(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    ++i;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

namespace {

// The next CR and the next LF at or after a position of a text; each is looked for again only once
// the position has passed it, so a text with only one kind of end is not searched to its end for
// every line.
class LineEndFinder {
 public:
  LineEndFinder(const char* begin, const char* end)
      : end_(end), cr_(find(begin, '\r')), lf_(find(begin, '\n')) {}
  // The first CR or LF at or after p, or the end.
  const char* next(const char* p) {
    if (cr_ < p) cr_ = find(p, '\r');
    if (lf_ < p) lf_ = find(p, '\n');
    return std::min(cr_, lf_);
  }

 private:
  const char* find(const char* from, char c) const {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end_ - from));
    return hit ? static_cast<const char*>(hit) : end_;
  }
  const char* end_;
  const char* cr_;
  const char* lf_;
};

}  // namespace

std::string normalize_line_ends(std::string text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // First pass: count the lone ends. Most texts have none, and then nothing is copied.
  std::size_t lone = 0;
  LineEndFinder count(begin, end);
  for (const char* p = begin;;) {
    const char* e = count.next(p);
    if (e == end) break;
    const bool pair = *e == '\r' && e + 1 < end && e[1] == '\n';
    if (!pair) ++lone;
    p = e + (pair ? 2 : 1);
  }
  if (lone == 0) return text;
  // Second pass: the text between the ends is copied a line at a time.
  std::string out;
  reserve_big(out, text.size() + lone);
  LineEndFinder copy(begin, end);
  for (const char* p = begin;;) {
    const char* e = copy.next(p);
    out.append(p, static_cast<std::size_t>(e - p));
    if (e == end) break;
    out.append("\r\n", 2);
    p = e + (*e == '\r' && e + 1 < end && e[1] == '\n' ? 2 : 1);
  }
  return out;
}

}  // namespace quorvex
