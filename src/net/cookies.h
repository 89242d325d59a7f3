// Cookie texts: items "name=value" joined by "; ". The web request keeps no cookie jar; cookies
// travel in the caller's texts, collected from responses and merged with these operations.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

// The first name=value pair of every "Set-Cookie" line of a response header text, in order.
std::string collect_set_cookies(std::string_view header_text);

// The new items first, then the old items whose names the new text does not set; "=deleted"
// items dropped, exact repeats kept once. `old_text` receives the result too.
std::string merge_cookie_texts(std::string& old_text, std::string_view new_text);

std::string cookie_name_of(std::string_view item);
bool cookie_list_has_name(const std::vector<std::string>& items, std::string_view name);
std::string remove_duplicate_items(std::string_view text, std::string_view sep);
// 1-based position of the first item equal to `item`, or -1.
int find_item(const std::vector<std::string>& items, std::string_view item);

}  // namespace quorvex
