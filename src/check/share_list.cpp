#include "check/share_list.h"

#include "model/share_url.h"

namespace quorvex {

namespace {

constexpr std::string_view kListAddress =
    "https://pan.baidu.com/share/list?web=5&app_id=250528&channel=chunlei&clienttype=0&desc=1"
    "&showempty=0&page=1&num=20&order=time&shorturl=";
constexpr std::string_view kListAddressEnd = "&root=1";

bool is_short_id_char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         c == '-';
}

// Answers nest a level or two; anything deeper is no answer of the API.
constexpr int kMaxDepth = 32;

// A strict reader of just enough JSON to find two keys at the top level of an object.
class AnswerReader {
 public:
  explicit AnswerReader(std::string_view text) : s_(text) {}

  std::optional<ShareListAnswer> read() {
    ShareListAnswer answer;
    blanks();
    if (!take('{')) return std::nullopt;
    blanks();
    if (!take('}')) {
      for (;;) {
        blanks();
        std::string_view key;
        if (!string(&key)) return std::nullopt;
        blanks();
        if (!take(':')) return std::nullopt;
        blanks();
        if (key == "errno") {
          const std::size_t at = i_;
          long long number = 0;
          if (integer(&number)) {
            answer.errno_value = number;
          } else {
            i_ = at;
            answer.errno_value.reset();
            if (!value(1)) return std::nullopt;
          }
        } else if (key == "list" && peek() == '[') {
          const std::size_t at = i_;
          ++i_;
          blanks();
          answer.list_empty = peek() == ']';
          i_ = at;
          if (!value(1)) return std::nullopt;
        } else if (!value(1)) {
          return std::nullopt;
        }
        blanks();
        if (take('}')) break;
        if (!take(',')) return std::nullopt;
      }
    }
    blanks();
    if (i_ != s_.size()) return std::nullopt;
    return answer;
  }

 private:
  char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  bool take(char c) {
    if (peek() != c || i_ >= s_.size()) return false;
    ++i_;
    return true;
  }
  void blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  // A string; `raw` receives its content as written, escapes and all.
  bool string(std::string_view* raw = nullptr) {
    if (!take('"')) return false;
    const std::size_t start = i_;
    while (i_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        if (raw) *raw = s_.substr(start, i_ - start);
        ++i_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        ++i_;
        if (i_ >= s_.size()) return false;
        const char e = s_[i_];
        if (e == 'u') {
          for (int k = 1; k <= 4; ++k) {
            const char h = i_ + k < s_.size() ? s_[i_ + k] : '\0';
            if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F')))
              return false;
          }
          i_ += 4;
        } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
          return false;
        }
      }
      ++i_;
    }
    return false;
  }
  bool digits() {
    const std::size_t start = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > start;
  }
  // A number of JSON's grammar; `integral` tells whether it has neither fraction nor exponent.
  bool number(bool* integral) {
    take('-');
    if (peek() == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    *integral = true;
    if (take('.')) {
      *integral = false;
      if (!digits()) return false;
    }
    if (peek() == 'e' || peek() == 'E') {
      *integral = false;
      ++i_;
      if (!take('+')) take('-');
      if (!digits()) return false;
    }
    return true;
  }
  bool integer(long long* out) {
    const std::size_t start = i_;
    bool integral = false;
    if (!number(&integral) || !integral) return false;
    const std::string_view text = s_.substr(start, i_ - start);
    const bool negative = text.front() == '-';
    const std::string_view magnitude = negative ? text.substr(1) : text;
    if (magnitude.size() > 18) return false;
    long long v = 0;
    for (const char c : magnitude) v = v * 10 + (c - '0');
    *out = negative ? -v : v;
    return true;
  }
  bool value(int depth) {
    if (depth > kMaxDepth) return false;
    switch (peek()) {
      case '"':
        return string();
      case '{': {
        ++i_;
        blanks();
        if (take('}')) return true;
        for (;;) {
          blanks();
          if (!string()) return false;
          blanks();
          if (!take(':')) return false;
          blanks();
          if (!value(depth + 1)) return false;
          blanks();
          if (take('}')) return true;
          if (!take(',')) return false;
        }
      }
      case '[': {
        ++i_;
        blanks();
        if (take(']')) return true;
        for (;;) {
          blanks();
          if (!value(depth + 1)) return false;
          blanks();
          if (take(']')) return true;
          if (!take(',')) return false;
        }
      }
      case 't':
        return word("true");
      case 'f':
        return word("false");
      case 'n':
        return word("null");
      default: {
        bool integral = false;
        return number(&integral);
      }
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace

std::string share_list_url(std::string_view share_url) {
  std::string identity;
  if (!share_identity_into(share_url, identity) || identity.rfind("/s/1", 0) != 0) return {};
  const std::string_view id = std::string_view(identity).substr(4);
  if (id.empty()) return {};
  for (const char c : id)
    if (!is_short_id_char(c)) return {};
  std::string url;
  url.reserve(kListAddress.size() + id.size() + kListAddressEnd.size());
  url.append(kListAddress).append(id).append(kListAddressEnd);
  return url;
}

std::optional<ShareListAnswer> read_share_list_answer(std::string_view body) {
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  return AnswerReader(body).read();
}

}  // namespace quorvex
