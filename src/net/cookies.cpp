#include "net/cookies.h"

#include "base/text_ops.h"

namespace quorvex {

namespace {

std::vector<std::string> split_items(std::string_view text, std::string_view sep) {
  std::vector<std::string> items;
  for (const std::string_view piece : split_keep_empty(text, sep)) items.emplace_back(piece);
  return items;
}

bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string tidy(std::string_view text) {
  std::string out(trim_spaces(text));
  if (ends_with(out, ";")) out.push_back(' ');
  return out;
}

}  // namespace

std::string collect_set_cookies(std::string_view header_text) {
  std::string result;
  for (const std::string_view line : split_keep_empty(header_text, "\r\n")) {
    if (text_before(line, ": ") != "Set-Cookie") continue;
    std::string item;
    if (line.find(';') != std::string_view::npos) {
      item = std::string(trim_spaces(text_between(line, "Set-Cookie:", ";")));
    } else {
      item = std::string(trim_spaces(remove_all_nocase(line, "Set-Cookie:")));
    }
    result.append(item).append("; ");
  }
  if (ends_with(result, "; ")) result.resize(result.size() - 2);
  return result;
}

std::string cookie_name_of(std::string_view item) {
  const std::size_t eq = item.find('=');
  return std::string(trim_spaces(eq == std::string_view::npos ? item : item.substr(0, eq)));
}

bool cookie_list_has_name(const std::vector<std::string>& items, std::string_view name) {
  for (const std::string& item : items)
    if (cookie_name_of(item) == name) return true;
  return false;
}

int find_item(const std::vector<std::string>& items, std::string_view item) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i] == item) return static_cast<int>(i) + 1;
  return -1;
}

std::string remove_duplicate_items(std::string_view text, std::string_view sep) {
  std::vector<std::string> seen;
  std::string result;
  for (const std::string_view piece : split_keep_empty(text, sep)) {
    if (find_item(seen, piece) != -1) continue;
    seen.emplace_back(piece);
    result.append(piece).append(sep);
  }
  if (result.size() >= sep.size()) result.resize(result.size() - sep.size());
  return result;
}

std::string merge_cookie_texts(std::string& old_text, std::string_view new_text) {
  const std::string old_tidy = tidy(old_text);
  const std::string new_tidy = tidy(new_text);
  const std::vector<std::string> old_items = split_items(old_tidy, "; ");
  std::vector<std::string> items = split_items(new_tidy, "; ");
  for (const std::string& item : old_items)
    if (!cookie_list_has_name(items, cookie_name_of(item))) items.push_back(item);
  std::string merged;
  for (const std::string& item : items) {
    if (item.size() >= 8 && ends_with(item, "=deleted")) continue;
    merged.append(item).append("; ");
  }
  if (merged.size() >= 2) merged.resize(merged.size() - 2);
  old_text = remove_duplicate_items(merged, "; ");
  return old_text;
}

}  // namespace quorvex
