// The share address of a row: the one rule by which the loader, the check run and the row's
// double-click turn a cell's text into the address they use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// "https://" followed by "pan": the start of every share address the program builds.
inline constexpr std::string_view share_link_prefix = "https://pan";

// What follows the "pan" that a piece's share address is rebuilt from, so that share_link_prefix
// and it make the address: the "pan" that begins the last "pan.baidu.com" of the piece, so that an
// ID holding "pan" stays whole; in a piece without that host, the service's other name
// "yun.baidu.com" stands for it (the same shares); otherwise the rest after the last "pan" that
// does not end the piece (text_after_last). Whatever stands before the host ("链接：", another
// scheme) is replaced.
std::string_view share_link_rest(std::string_view piece);

// The two parts a piece's share address is made of. A piece holding a share link of another
// service (service_link_span) gives that link as found, after "https://"; any other piece
// gives share_link_prefix and share_link_rest.
struct LinkParts {
  std::string_view prefix;
  std::string_view rest;
};
LinkParts share_link_parts(std::string_view piece);

// The address of share_link_parts of text.
std::string rebuild_share_url(std::string_view text);

// The address of a row: rebuilt from its link cell, or from its name cell when that is empty.
std::string share_url_of_row(std::string_view link_cell, std::string_view name_cell);
// The same into `out`, whose buffer is reused.
void share_url_of_row_into(std::string_view link_cell, std::string_view name_cell,
                           std::string& out);

// The share service's host; nothing else is ever requested.
inline constexpr std::string_view kShareHost = "pan.baidu.com";

// Whether url is "https://pan.baidu.com" followed by nothing or by "/", "?" or "#" and the rest:
// no other scheme, no user name or password, no port, no other host (letter case aside).
bool is_share_host_url(std::string_view url);
// Whether url is a share address: on the share host (as above) with a path under /s/ or /share/
// that goes on past the folder, or /wap/init with a surl; never a path with a "." or ".."
// segment (percent-encoded too), which would name another path once resolved. A share of
// another service (service_link_of_url) is a share address too; is_baidu_share_url tells them
// apart.
bool is_baidu_share_url(std::string_view url);
bool is_share_url(std::string_view url);
// The share an address names, so that the spellings of one share are known as one: "/s/1ID" for
// https://pan.baidu.com/s/1ID…, …/share/init?surl=ID… and …/wap/init?surl=ID…;
// "/share/link?shareid=N&uk=M" for …/share/link with both numbers, whatever else its query holds
// and in whichever order; "quark:ID" and the like for another service's share (its
// service_share_key, the same for all its spellings and mirrors); any other address stands for
// itself.
std::string share_identity(std::string_view url);
// The same into `out`, whose buffer is reused; false (and `out` left alone) when url is no share
// address.
bool share_identity_into(std::string_view url, std::string& out);
// The ID ("1…") of the share an address names, as the verdict store keys it; the identity
// above for an unusual share address or another service's share; "" for no share address.
std::string share_id(std::string_view url);
// The address a share address is fetched at: the mobile page's …/wap/init?surl=ID is the share
// https://pan.baidu.com/s/1ID; every other address is fetched as it stands.
std::string share_fetch_url(std::string_view url);
// The value of a query parameter of an address (up to "&" or "#"), as written; nullopt when the
// query has none.
std::optional<std::string_view> query_parameter(std::string_view url, std::string_view name);
// The path of an address (from the first "/" after the host up to "?" or "#"); "" when none.
std::string_view url_path(std::string_view url);

}  // namespace quorvex
