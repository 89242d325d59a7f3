// The share-list API of the service: asked for a second opinion when a share's page says nothing
// known (a redesigned page, an empty answer). Its errno has stayed the same for years where the
// pages have not.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// The API's address for the share at share_url: the share's short ID (the ID without its leading
// "1"; for surl= addresses the surl) as `shorturl`. "" for an address that has no short ID made
// of letters, digits, "_" and "-" (a /share/link?shareid=… address, say), which the API is not
// asked about.
std::string share_list_url(std::string_view share_url);

// What an answer of the API says.
struct ShareListAnswer {
  std::optional<long long> errno_value;  // absent when the answer has none or not as an integer
  std::optional<bool> list_empty;        // absent when the answer has no "list" array
};

// Reads an answer: a JSON object, `errno` and `list` at its top level. nullopt when the text is
// no well-formed JSON object (a page, a truncated answer), or nests deeper than any answer does.
std::optional<ShareListAnswer> read_share_list_answer(std::string_view body);

}  // namespace quorvex
