#include "model/share_url.h"

#include <algorithm>
#include <optional>

#include "base/text_ops.h"
#include "model/share_services.h"

namespace quorvex {

namespace {

// Where the last character-aligned occurrence of needle starts; npos when there is none.
std::size_t find_last_aligned(std::string_view text, std::string_view needle) {
  std::size_t found = std::string_view::npos;
  for (std::size_t pos = find_aligned(text, needle, 0); pos != std::string_view::npos;
       pos = find_aligned(text, needle, pos + needle.size()))
    found = pos;
  return found;
}

}  // namespace

std::string_view share_link_rest(std::string_view piece) {
  // "pan" and "yun" are three bytes each: what follows either is what follows share_link_prefix.
  constexpr std::size_t kLabel = 3;
  std::size_t host = find_last_aligned(piece, "pan.baidu.com");
  if (host == std::string_view::npos) host = find_last_aligned(piece, "yun.baidu.com");
  if (host != std::string_view::npos) return piece.substr(host + kLabel);
  return text_after_last(piece, "pan");
}

LinkParts share_link_parts(std::string_view piece) {
  if (const std::optional<TextSpan> span = service_link_span(piece))
    return {"https://", piece.substr(span->begin, span->end - span->begin)};
  const std::string_view rest = share_link_rest(piece);
  // "https://pan" and the rest may read as another service's link where the piece did not (its
  // "pan" ended a longer word there): the address is then that link, so that an address read
  // again is the address it was made from.
  const char* const begin = piece.data();
  if (!rest.empty() && rest.data() >= begin + 3 && rest.data() <= begin + piece.size()) {
    const std::string_view from_label(rest.data() - 3, rest.size() + 3);
    if (const std::optional<TextSpan> span = service_link_span(from_label))
      return {"https://", from_label.substr(span->begin, span->end - span->begin)};
  }
  return {share_link_prefix, rest};
}

std::string rebuild_share_url(std::string_view text) {
  const LinkParts parts = share_link_parts(text);
  std::string url;
  url.reserve(parts.prefix.size() + parts.rest.size());
  url.append(parts.prefix).append(parts.rest);
  return url;
}

std::string share_url_of_row(std::string_view link_cell, std::string_view name_cell) {
  return rebuild_share_url(link_cell.empty() ? name_cell : link_cell);
}

void share_url_of_row_into(std::string_view link_cell, std::string_view name_cell,
                           std::string& out) {
  const LinkParts parts = share_link_parts(link_cell.empty() ? name_cell : link_cell);
  out.assign(parts.prefix).append(parts.rest);
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

// Whether a path holds a "." or ".." segment, written plainly or percent-encoded ("%2e"): a
// client or a server that resolves it asks for another path than the one that was checked.
bool has_dot_segment(std::string_view path) {
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start, end - start);
    std::size_t dots = 0;
    bool only_dots = true;
    for (std::size_t i = 0; i < segment.size() && only_dots; ++i) {
      if (segment[i] == '.') {
        ++dots;
      } else if (segment[i] == '%' && i + 2 < segment.size() && segment[i + 1] == '2' &&
                 (segment[i + 2] == 'e' || segment[i + 2] == 'E')) {
        ++dots;
        i += 2;
      } else {
        only_dots = false;
      }
    }
    if (only_dots && (dots == 1 || dots == 2)) return true;
    start = end + 1;
  }
  return false;
}

// The path of a share address, so that the address is taken apart once; nullopt when url is none.
std::optional<std::string_view> share_path(std::string_view url) {
  const std::optional<std::string_view> authority = https_authority(url);
  if (!authority || !equals_nocase(*authority, kShareHost)) return std::nullopt;
  std::string_view rest = url.substr(kHttps.size() + authority->size());
  if (rest.empty() || rest.front() != '/') return std::nullopt;
  rest = rest.substr(0, end_of_part(rest, false));
  if (has_dot_segment(rest)) return std::nullopt;
  // Something must follow the folder: "/s/" alone names no share.
  for (const std::string_view folder : {std::string_view("/s/"), std::string_view("/share/")})
    if (rest.rfind(folder, 0) == 0 &&
        rest.find_first_not_of('/', folder.size()) != std::string_view::npos)
      return rest;
  // The mobile page of a share names it by its surl.
  if (rest == "/wap/init" || rest == "/wap/init/") {
    const std::optional<std::string_view> surl = query_parameter(url, "surl");
    if (surl && !surl->empty()) return rest;
  }
  return std::nullopt;
}

bool all_digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool is_baidu_share_url(std::string_view url) { return share_path(url).has_value(); }

bool is_share_url(std::string_view url) {
  return share_path(url).has_value() || service_link_of_url(url).has_value();
}

bool share_identity_into(std::string_view url, std::string& out) {
  const std::optional<std::string_view> share = share_path(url);
  if (!share) {
    const std::optional<ServiceLink> link = service_link_of_url(url);
    if (!link) return false;
    out = service_share_key(*link);
    return true;
  }
  const std::string_view path = *share;
  if (path.rfind("/s/", 0) == 0) {
    std::string_view id = path.substr(3);
    while (!id.empty() && id.back() == '/') id.remove_suffix(1);
    out.assign("/s/").append(id);
    return true;
  }
  if (path == "/share/init" || path == "/share/init/" || path == "/wap/init" ||
      path == "/wap/init/") {
    const std::optional<std::string_view> surl = query_parameter(url, "surl");
    if (surl && !surl->empty()) {
      out.assign("/s/1").append(*surl);
      return true;
    }
  }
  if (path == "/share/link" || path == "/share/link/") {
    const std::optional<std::string_view> id = query_parameter(url, "shareid");
    const std::optional<std::string_view> uk = query_parameter(url, "uk");
    if (id && uk && all_digits(*id) && all_digits(*uk)) {
      out.assign("/share/link?shareid=").append(*id).append("&uk=").append(*uk);
      return true;
    }
  }
  out.assign(url);
  return true;
}

std::optional<std::string_view> query_parameter(std::string_view url, std::string_view name) {
  const std::size_t query = url.find('?');
  if (query == std::string_view::npos) return std::nullopt;
  std::string_view rest = url.substr(query + 1);
  rest = rest.substr(0, rest.find('#'));
  // The first parameter of that name, wherever it stands among the others.
  for (std::size_t from = 0; from <= rest.size();) {
    const std::size_t amp = std::min(rest.find('&', from), rest.size());
    const std::string_view param = rest.substr(from, amp - from);
    if (param.size() > name.size() && param.substr(0, name.size()) == name &&
        param[name.size()] == '=')
      return param.substr(name.size() + 1);
    from = amp + 1;
  }
  return std::nullopt;
}

std::string share_fetch_url(std::string_view url) {
  const std::string_view path = url_path(url);
  if (is_baidu_share_url(url) && (path == "/wap/init" || path == "/wap/init/")) {
    std::string identity;
    share_identity_into(url, identity);
    return "https://pan.baidu.com" + identity;
  }
  return std::string(url);
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
