// An ordered list of name/value pairs that renders itself as header lines, a form body or a flat
// JSON object. Names need not be unique; lookups act on the first pair with the exact name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

// Percent-encodes every byte, or with keep_unreserved every byte but "-", ".", digits and ASCII
// letters; with utf8 the GBK text is converted to UTF-8 first.
std::string url_encode(std::string_view text, bool keep_unreserved, bool utf8 = false);

class HeaderCollection {
 public:
  HeaderCollection clone() const { return *this; }
  void add(std::string_view name, std::string_view value, bool utf8 = false);
  void parse_form_text(std::string_view text, bool utf8 = false);
  std::string get_value(std::string_view name) const;
  void set_value(std::string_view name, std::string_view value);
  std::string to_form_text(bool encode = false) const;
  std::string to_header_text(bool encode = false) const;
  std::vector<std::string>& copy_names(std::vector<std::string>& out) const;
  std::vector<std::string>& copy_values(std::vector<std::string>& out) const;
  void clear();
  void remove(std::string_view name);
  std::string to_json_text() const;
  static std::string escape_json_value(std::string_view value);
  // Cuts the marker once off the end, then once off the start; the variable receives the result.
  static std::string strip_marker(std::string& text, std::string_view marker);

  std::size_t size() const { return names_.size(); }

 private:
  std::optional<std::size_t> index_of(std::string_view name) const;

  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

}  // namespace quorvex
