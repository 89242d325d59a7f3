#include "model/share_services.h"

#include <array>
#include <cctype>

namespace quorvex {

namespace {

constexpr std::array kServices = {ShareService::baidu,  ShareService::quark,  ShareService::aliyun,
                                  ShareService::pan115, ShareService::pan123, ShareService::tianyi,
                                  ShareService::lanzou};
constexpr std::array<std::string_view, kServices.size()> kCodes = {
    "baidu", "quark", "aliyun", "115", "123pan", "tianyi", "lanzou"};

bool is_host_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}
bool is_id_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
// What an address may hold once past its host; a blank, a quote, a bracket or a Chinese
// character ends it.
bool is_url_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("-._~:/?#@!$&*+,;=%").find(c) != std::string_view::npos;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// `host` without a leading "www.".
std::string_view bare(std::string_view host) {
  return host.starts_with("www.") ? host.substr(4) : host;
}

// The last two labels of a host: "lanzoux.com" of "wwi.lanzoux.com".
std::string_view registrable(std::string_view host) {
  const std::size_t last = host.rfind('.');
  if (last == std::string_view::npos || last == 0) return host;
  const std::size_t before = host.rfind('.', last - 1);
  return before == std::string_view::npos ? host : host.substr(before + 1);
}

// A Lanzou host: a name under lanzou?.com (one letter after "lanzou": the service's many
// mirrors), lanzn.com, lanpw.com or lanzv.com.
bool is_lanzou_host(std::string_view host) {
  const std::string_view domain = registrable(host);
  if (domain == "lanzn.com" || domain == "lanpw.com" || domain == "lanzv.com") return true;
  return domain.size() == 11 && domain.starts_with("lanzou") && domain.ends_with(".com") &&
         std::isalpha(static_cast<unsigned char>(domain[6]));
}

}  // namespace

std::optional<ShareService> service_of_host(std::string_view host) {
  const std::string_view name = bare(host);
  if (host == "pan.quark.cn") return ShareService::quark;
  if (name == "alipan.com" || name == "aliyundrive.com") return ShareService::aliyun;
  if (name == "115.com" || name == "115cdn.com" || name == "anxia.com") return ShareService::pan115;
  for (const std::string_view mirror : {"123pan.com", "123pan.cn", "123684.com", "123685.com",
                                        "123865.com", "123912.com", "123592.com", "123652.com"})
    if (name == mirror) return ShareService::pan123;
  if (host == "cloud.189.cn" || host == "h5.cloud.189.cn") return ShareService::tianyi;
  if (is_lanzou_host(host)) return ShareService::lanzou;
  return std::nullopt;
}

namespace {

// The run of ID characters at `at`.
std::string_view id_at(std::string_view text, std::size_t at, bool dashes = false) {
  std::size_t end = at;
  while (end < text.size() &&
         (is_id_char(text[end]) || (dashes && (text[end] == '-' || text[end] == '_'))))
    ++end;
  return text.substr(at, end - at);
}

// The value of `name` in the query of `rest` (which starts after the ID), up to "&" or "#".
std::string_view query_value(std::string_view rest, std::string_view name) {
  const std::size_t query = rest.find('?');
  if (query == std::string_view::npos) return {};
  const std::size_t fragment = rest.find('#');
  for (std::size_t at = query + 1; at < rest.size() && at < fragment;) {
    const std::size_t end = std::min(rest.find('&', at), std::min(fragment, rest.size()));
    const std::string_view pair = rest.substr(at, end - at);
    if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
      return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return {};
}

// A code of four letters or digits, as every one of these services makes them.
std::string usable_code(std::string_view code) {
  if (code.size() < 4 || code.size() > 8) return {};
  for (const char c : code)
    if (!is_id_char(c)) return {};
  return std::string(code);
}

// The share a link names, once its host is known to be `service`'s: path and code, or false.
bool read_share(ShareService service, std::string_view host, std::string_view path,
                ServiceLink& link) {
  std::string_view id;
  std::string_view rest;  // what follows the ID
  const auto after = [&](std::string_view prefix, bool dashes = false) {
    if (!path.starts_with(prefix)) return false;
    id = id_at(path, prefix.size(), dashes);
    rest = path.substr(prefix.size() + id.size());
    return !id.empty();
  };
  switch (service) {
    case ShareService::quark:
      if (!after("/s/")) return false;
      link.url = "https://pan.quark.cn/s/" + std::string(id);
      link.code = usable_code(query_value(rest, "pwd"));
      break;
    case ShareService::aliyun:
      if (!after("/s/")) return false;
      link.url = "https://www.alipan.com/s/" + std::string(id);
      break;
    case ShareService::pan115: {
      if (!after("/s/")) return false;
      link.url = "https://115.com/s/" + std::string(id);
      link.code = usable_code(query_value(rest, "password"));
      // …/s/ID#CODE, the other way 115 writes the code into its links.
      if (link.code.empty() && rest.starts_with("#")) link.code = usable_code(id_at(rest, 1));
      break;
    }
    case ShareService::pan123: {
      if (!after("/s/", true)) return false;
      if (rest.starts_with(".html")) rest.remove_prefix(5);
      link.url = "https://www.123pan.com/s/" + std::string(id);
      link.code = usable_code(query_value(rest, "pwd"));
      break;
    }
    case ShareService::tianyi:
      if (host == "h5.cloud.189.cn") {
        if (!after("/share.html#/t/")) return false;
      } else if (!after("/t/")) {
        if (!path.starts_with("/web/share?")) return false;
        id = id_at(query_value(path.substr(10), "code"), 0);
        rest = {};
        if (id.empty()) return false;
      }
      link.url = "https://cloud.189.cn/t/" + std::string(id);
      break;
    case ShareService::lanzou:
      if (!after("/tp/") && !after("/s/") && !after("/")) return false;
      // A folder of the site (/u/NAME, /b/…) is no share.
      if (rest.starts_with("/")) return false;
      link.url = "https://" + std::string(host) + "/" + std::string(id);
      link.code = usable_code(query_value(rest, "pwd"));
      break;
    case ShareService::baidu:
      return false;
  }
  link.service = service;
  link.id = std::string(id);
  return true;
}

}  // namespace

std::span<const ShareService> all_services() { return kServices; }

std::string_view service_code(ShareService service) {
  return kCodes[static_cast<std::size_t>(service)];
}

std::optional<ShareService> service_of_code(std::string_view code) {
  for (std::size_t i = 0; i < kCodes.size(); ++i)
    if (kCodes[i] == code) return kServices[i];
  return std::nullopt;
}

std::vector<ServiceLink> find_service_links(std::string_view text) {
  std::vector<ServiceLink> links;
  bool boundary = true;  // whether the byte before `at` may precede a host
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c >= 0x81 && c != 0xFF) {
      // A GBK character: two bytes, the second of which may look like ASCII.
      at += at + 1 < text.size() ? 2 : 1;
      boundary = true;
      continue;
    }
    if (!boundary || !std::isalnum(c)) {
      boundary = !is_host_char(text[at]);
      ++at;
      continue;
    }
    std::size_t host_end = at;
    while (host_end < text.size() && is_host_char(text[host_end])) ++host_end;
    const std::string host = lowered(text.substr(at, host_end - at));
    const std::optional<ShareService> service = service_of_host(host);
    std::size_t end = host_end;
    while (end < text.size() && is_url_char(text[end])) ++end;
    ServiceLink link;
    if (service && read_share(*service, host, text.substr(host_end, end - host_end), link)) {
      link.begin = at;
      link.end = end;
      links.push_back(std::move(link));
      at = end;
    } else {
      at = host_end;
    }
    boundary = false;
  }
  return links;
}

std::optional<ServiceLink> service_link_of_url(std::string_view url) {
  constexpr std::string_view kHttps = "https://";
  if (url.size() <= kHttps.size() || lowered(url.substr(0, kHttps.size())) != kHttps)
    return std::nullopt;
  const std::string_view rest = url.substr(kHttps.size());
  std::vector<ServiceLink> links = find_service_links(rest);
  if (links.empty() || links.front().begin != 0 || links.front().end != rest.size())
    return std::nullopt;
  return std::move(links.front());
}

ShareService service_of_url(std::string_view url) {
  const std::optional<ServiceLink> link = service_link_of_url(url);
  return link ? link->service : ShareService::baidu;
}

std::optional<TextSpan> service_link_span(std::string_view piece) {
  // Every form has a "/" after its host, and most pieces of a list are Baidu's: both are found
  // without reading the piece as links.
  if (piece.find('/') == std::string_view::npos) return std::nullopt;
  if (piece.find("pan.baidu.com") != std::string_view::npos ||
      piece.find("yun.baidu.com") != std::string_view::npos)
    return std::nullopt;
  const std::vector<ServiceLink> links = find_service_links(piece);
  if (links.empty()) return std::nullopt;
  return TextSpan{links.front().begin, links.front().end};
}

std::string usable_share_code(std::string_view code) { return usable_code(code); }

std::string service_share_key(const ServiceLink& link) {
  return std::string(service_code(link.service)) + ":" + link.id;
}

}  // namespace quorvex
