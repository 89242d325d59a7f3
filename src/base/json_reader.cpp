#include "base/json_reader.h"

#include <charconv>

namespace quorvex {

namespace {

constexpr int kMaxDepth = 64;

void append_utf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : s_(text) {}

  std::optional<JsonValue> document() {
    JsonValue value;
    blanks();
    if (!read(value, 0)) return std::nullopt;
    blanks();
    if (i_ != s_.size()) return std::nullopt;
    return value;
  }

 private:
  bool read(JsonValue& value, int depth) {
    if (depth > kMaxDepth || i_ >= s_.size()) return false;
    switch (s_[i_]) {
      case '{':
        return object(value, depth);
      case '[':
        return array(value, depth);
      case '"':
        value.kind_ = JsonValue::Kind::string;
        return string(value.text_);
      case 't':
        value.kind_ = JsonValue::Kind::boolean;
        value.boolean_ = true;
        return word("true");
      case 'f':
        value.kind_ = JsonValue::Kind::boolean;
        return word("false");
      case 'n':
        return word("null");
      default:
        value.kind_ = JsonValue::Kind::number;
        return number(value.number_);
    }
  }

  bool object(JsonValue& value, int depth) {
    value.kind_ = JsonValue::Kind::object;
    ++i_;
    blanks();
    if (take('}')) return true;
    for (;;) {
      blanks();
      std::string key;
      if (i_ >= s_.size() || s_[i_] != '"' || !string(key)) return false;
      blanks();
      if (!take(':')) return false;
      blanks();
      JsonValue member;
      if (!read(member, depth + 1)) return false;
      value.keys_.push_back(std::move(key));
      value.items_.push_back(std::move(member));
      blanks();
      if (take('}')) return true;
      if (!take(',')) return false;
    }
  }

  bool array(JsonValue& value, int depth) {
    value.kind_ = JsonValue::Kind::array;
    ++i_;
    blanks();
    if (take(']')) return true;
    for (;;) {
      blanks();
      JsonValue item;
      if (!read(item, depth + 1)) return false;
      value.items_.push_back(std::move(item));
      blanks();
      if (take(']')) return true;
      if (!take(',')) return false;
    }
  }

  bool string(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      switch (s_[i_++]) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          unsigned code = 0;
          if (!hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low = 0;
            if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low >= 0xE000)
              return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return false;
          }
          append_utf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool hex4(unsigned& code) {
    if (s_.size() - i_ < 4) return false;
    const auto [end, error] = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, code, 16);
    if (error != std::errc() || end != s_.data() + i_ + 4) return false;
    i_ += 4;
    return true;
  }

  bool number(double& out) {
    // JSON's own grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    const std::size_t start = i_;
    take('-');
    if (take('0')) {
    } else if (!digits()) {
      return false;
    }
    if (take('.') && !digits()) return false;
    if (take('e') || take('E')) {
      if (!take('+')) take('-');
      if (!digits()) return false;
    }
    const auto [end, error] = std::from_chars(s_.data() + start, s_.data() + i_, out);
    return error == std::errc() && end == s_.data() + i_;
  }

  bool digits() {
    const std::size_t start = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > start;
  }

  bool word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  bool take(char c) {
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }

  void blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

const JsonValue* JsonValue::find(std::string_view key) const {
  if (kind_ != Kind::object) return nullptr;
  for (std::size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return &items_[i];
  return nullptr;
}

const JsonValue* JsonValue::at(std::initializer_list<std::string_view> keys) const {
  const JsonValue* value = this;
  for (const std::string_view key : keys) {
    value = value->find(key);
    if (!value) return nullptr;
  }
  return value;
}

std::optional<bool> JsonValue::boolean() const {
  if (kind_ != Kind::boolean) return std::nullopt;
  return boolean_;
}

std::optional<double> JsonValue::number() const {
  if (kind_ != Kind::number) return std::nullopt;
  return number_;
}

std::optional<long long> JsonValue::integer() const {
  if (kind_ == Kind::number) {
    // Out of range the conversion itself would be undefined.
    if (!(number_ > -9.0e18 && number_ < 9.0e18) ||
        number_ != static_cast<double>(static_cast<long long>(number_)))
      return std::nullopt;
    return static_cast<long long>(number_);
  }
  if (kind_ == Kind::string && !text_.empty()) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (error == std::errc() && end == text_.data() + text_.size()) return value;
  }
  return std::nullopt;
}

std::optional<std::string_view> JsonValue::text() const {
  if (kind_ != Kind::string) return std::nullopt;
  return text_;
}

std::optional<JsonValue> parse_json(std::string_view text) { return JsonParser(text).document(); }

}  // namespace quorvex
