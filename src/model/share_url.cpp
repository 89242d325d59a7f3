#include "model/share_url.h"

#include <algorithm>
#include <optional>

#include "base/text_ops.h"

namespace quorvex {

std::string rebuild_share_url(std::string_view text) {
  const std::string_view rest = text_after_last(text, "pan");
  std::string url;
  url.reserve(share_link_prefix.size() + rest.size());
  url.append(share_link_prefix).append(rest);
  return url;
}

std::string share_url_of_row(std::string_view link_cell, std::string_view name_cell) {
  return rebuild_share_url(link_cell.empty() ? name_cell : link_cell);
}

void share_url_of_row_into(std::string_view link_cell, std::string_view name_cell,
                           std::string& out) {
  out.assign(share_link_prefix)
      .append(text_after_last(link_cell.empty() ? name_cell : link_cell, "pan"));
}

namespace {

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equals_nocase(text.substr(0, prefix.size()), prefix);
}

constexpr std::string_view kHttps = "https://";

// Where the part of an address that starts text ends: at the first "?" or "#", or also "/" when
// `at_slash` (the authority); npos when it runs to the end. A plain loop: find_first_of looks up
// every character in its set with a call of its own, which a million rows feel.
std::size_t end_of_part(std::string_view text, bool at_slash) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '?' || c == '#' || (at_slash && c == '/')) return i;
  }
  return std::string_view::npos;
}

// The authority of an https address (between "https://" and the first "/", "?" or "#"), or
// nullopt when the address is no https address.
std::optional<std::string_view> https_authority(std::string_view url) {
  if (!starts_with_nocase(url, kHttps)) return std::nullopt;
  const std::string_view rest = url.substr(kHttps.size());
  return rest.substr(0, end_of_part(rest, true));
}

}  // namespace

bool is_share_host_url(std::string_view url) {
  const std::optional<std::string_view> authority = https_authority(url);
  // An exact host: a user name ("pan@other"), a port, or a longer name ("pan.baidu.com.other")
  // all make another authority.
  return authority && equals_nocase(*authority, kShareHost);
}

std::string_view url_path(std::string_view url) {
  const std::optional<std::string_view> authority = https_authority(url);
  std::string_view rest;
  if (authority) {
    rest = url.substr(kHttps.size() + authority->size());
  } else {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    rest = url.substr(scheme + 3);
    const std::size_t slash = end_of_part(rest, true);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  if (rest.empty() || rest.front() != '/') return {};
  return rest.substr(0, end_of_part(rest, false));
}

namespace {

// The path of a share address, so that the address is taken apart once; nullopt when url is none.
std::optional<std::string_view> share_path(std::string_view url) {
  const std::optional<std::string_view> authority = https_authority(url);
  if (!authority || !equals_nocase(*authority, kShareHost)) return std::nullopt;
  std::string_view rest = url.substr(kHttps.size() + authority->size());
  if (rest.empty() || rest.front() != '/') return std::nullopt;
  rest = rest.substr(0, end_of_part(rest, false));
  // Something must follow the folder: "/s/" alone names no share.
  for (const std::string_view folder : {std::string_view("/s/"), std::string_view("/share/")})
    if (rest.rfind(folder, 0) == 0 &&
        rest.find_first_not_of('/', folder.size()) != std::string_view::npos)
      return rest;
  return std::nullopt;
}

}  // namespace

bool is_share_url(std::string_view url) { return share_path(url).has_value(); }

bool share_identity_into(std::string_view url, std::string& out) {
  const std::optional<std::string_view> share = share_path(url);
  if (!share) return false;
  const std::string_view path = *share;
  if (path.rfind("/s/", 0) == 0) {
    std::string_view id = path.substr(3);
    while (!id.empty() && id.back() == '/') id.remove_suffix(1);
    out.assign("/s/").append(id);
    return true;
  }
  if (path == "/share/init" || path == "/share/init/") {
    const std::size_t query = url.find('?');
    std::string_view rest = query == std::string_view::npos ? "" : url.substr(query + 1);
    rest = rest.substr(0, rest.find('#'));
    // The surl parameter, wherever it stands among the others.
    for (std::size_t from = 0; from <= rest.size();) {
      const std::size_t amp = std::min(rest.find('&', from), rest.size());
      const std::string_view param = rest.substr(from, amp - from);
      if (param.rfind("surl=", 0) == 0 && param.size() > 5) {
        out.assign("/s/1").append(param.substr(5));
        return true;
      }
      from = amp + 1;
    }
  }
  out.assign(url);
  return true;
}

std::string share_id(std::string_view url) {
  std::string id;
  if (!share_identity_into(url, id)) return {};
  if (id.rfind("/s/", 0) == 0) id.erase(0, 3);
  return id;
}

std::string share_identity(std::string_view url) {
  std::string out;
  if (!share_identity_into(url, out)) out.assign(url);
  return out;
}

}  // namespace quorvex
