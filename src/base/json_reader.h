// A strict reader of JSON answers (RFC 8259) into a tree, for the share services' APIs: bounded in
// depth, so that no answer can exhaust the stack, and in every way a malformed text is refused
// rather than half read.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

class JsonValue {
 public:
  enum class Kind { null, boolean, number, string, array, object };

  Kind kind() const { return kind_; }
  // The member `key` of an object (the first of that name); null for no such member or no
  // object.
  const JsonValue* find(std::string_view key) const;
  // Members followed by name: at({"data", "list"}) is data.list; null where one is missing.
  const JsonValue* at(std::initializer_list<std::string_view> keys) const;
  // The elements of an array; none for any other value.
  const std::vector<JsonValue>& items() const { return items_; }
  std::optional<bool> boolean() const;
  std::optional<double> number() const;
  // A whole number, whether written as a number or as a string of digits (APIs give codes
  // either way); nullopt otherwise.
  std::optional<long long> integer() const;
  // A string's text (UTF-8, escapes decoded).
  std::optional<std::string_view> text() const;

 private:
  friend class JsonParser;
  Kind kind_ = Kind::null;
  bool boolean_ = false;
  double number_ = 0;
  std::string text_;
  std::vector<std::string> keys_;  // of an object, in order, beside items_
  std::vector<JsonValue> items_;   // an array's elements, or an object's member values
};

// The value of a JSON text; nullopt for anything that is not exactly one JSON value (blanks
// around it aside), for nesting deeper than 64 levels, and for a string with a lone surrogate.
std::optional<JsonValue> parse_json(std::string_view text);

}  // namespace quorvex
