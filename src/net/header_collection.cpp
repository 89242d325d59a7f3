#include "net/header_collection.h"

#include "base/charset.h"
#include "base/text_ops.h"

namespace quorvex {

std::string url_encode(std::string_view text, bool keep_unreserved, bool utf8) {
  if (text.empty()) return {};
  const std::string converted = utf8 ? gbk_to_utf8(text) : std::string();
  const std::string_view bytes = utf8 ? std::string_view(converted) : text;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = keep_unreserved && (c == '-' || c == '.' || (c >= '0' && c <= '9') ||
                                          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    if (keep) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

void HeaderCollection::add(std::string_view name, std::string_view value, bool utf8) {
  if (utf8) {
    names_.push_back(gbk_to_utf8(name));
    values_.push_back(gbk_to_utf8(value));
  } else {
    names_.emplace_back(name);
    values_.emplace_back(value);
  }
}

void HeaderCollection::parse_form_text(std::string_view text, bool utf8) {
  for (const std::string_view piece : split_keep_empty(text, "&"))
    add(text_before(piece, "="), text_after_last(piece, "="), utf8);
}

std::optional<std::size_t> HeaderCollection::index_of(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == name) return i;
  return std::nullopt;
}

std::string HeaderCollection::get_value(std::string_view name) const {
  const auto i = index_of(name);
  return i ? values_[*i] : std::string();
}

void HeaderCollection::set_value(std::string_view name, std::string_view value) {
  if (const auto i = index_of(name)) {
    values_[*i] = std::string(value);
  } else {
    add(name, value);
  }
}

std::string HeaderCollection::to_form_text(bool encode) const {
  std::string out;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    out.append(encode ? url_encode(names_[i], true) : names_[i]);
    out.push_back('=');
    out.append(encode ? url_encode(values_[i], true) : values_[i]);
    out.push_back('&');
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::string HeaderCollection::to_header_text(bool encode) const {
  std::string out;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    out.append(names_[i]).append(": ");
    out.append(encode ? url_encode(values_[i], true) : values_[i]);
    out.append("\r\n");
  }
  if (!out.empty()) out.resize(out.size() - 2);
  return out;
}

std::vector<std::string>& HeaderCollection::copy_names(std::vector<std::string>& out) const {
  out = names_;
  return out;
}

std::vector<std::string>& HeaderCollection::copy_values(std::vector<std::string>& out) const {
  out = values_;
  return out;
}

void HeaderCollection::clear() {
  names_.clear();
  values_.clear();
}

void HeaderCollection::remove(std::string_view name) {
  if (const auto i = index_of(name)) {
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(*i));
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(*i));
  }
}

std::string HeaderCollection::to_json_text() const {
  std::string out = "{";
  for (std::size_t i = 0; i < names_.size(); ++i) {
    out.append("\"").append(names_[i]).append("\":\"");
    out.append(escape_json_value(values_[i])).append("\",");
  }
  strip_marker(out, ",");
  out.push_back('}');
  return out;
}

std::string HeaderCollection::escape_json_value(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    if (c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

std::string HeaderCollection::strip_marker(std::string& text, std::string_view marker) {
  if (!marker.empty()) {
    if (text.size() >= marker.size() &&
        text.compare(text.size() - marker.size(), marker.size(), marker) == 0)
      text.resize(text.size() - marker.size());
    if (text.compare(0, marker.size(), marker) == 0) text.erase(0, marker.size());
  }
  return text;
}

}  // namespace quorvex
