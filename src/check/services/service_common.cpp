#include "check/services/service_common.h"

#include <cctype>
#include <cstdio>

namespace quorvex {

namespace services {

ServiceStep decided(Verdict verdict, Reason reason) {
  return ServiceStep{verdict, reason, false, {}};
}

ServiceStep throttled() { return ServiceStep{Verdict::unknown, Reason::http_429, true, {}}; }

ServiceStep undecided(int status) {
  Reason reason = Reason::no_marker;
  if (status == 0) reason = Reason::network;
  if (status == 403) reason = Reason::http_403;
  if (status == 503) reason = Reason::http_503;
  if (status >= 500 && status != 503) reason = Reason::http_5xx;
  return decided(Verdict::unknown, reason);
}

ServiceStep valid(bool needs_code) {
  return decided(Verdict::valid, needs_code ? Reason::need_code : Reason::public_share);
}

ServiceRequest api_request(std::string method, std::string url, std::string_view accept,
                           std::string_view site) {
  ServiceRequest request;
  request.method = std::move(method);
  request.url = std::move(url);
  request.headers.emplace_back("User-Agent", kBrowserUserAgent);
  request.headers.emplace_back("Accept", accept);
  if (!site.empty()) {
    request.headers.emplace_back("Origin", site);
    request.headers.emplace_back("Referer", site);
  }
  return request;
}

std::string json_escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out.append(buf);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string query_escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' ||
        c == '~') {
      out.push_back(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X",
                    static_cast<unsigned>(static_cast<unsigned char>(c)));
      out.append(buf);
    }
  }
  return out;
}

bool mentions(std::string_view text, std::initializer_list<std::string_view> words) {
  for (const std::string_view word : words)
    if (text.find(word) != std::string_view::npos) return true;
  return false;
}

std::string_view text_of(const JsonValue* value) {
  if (!value) return {};
  return value->text().value_or(std::string_view());
}

}  // namespace services

const ServiceModule* service_module(ShareService service) {
  switch (service) {
    case ShareService::quark:
      return &services::quark_module();
    case ShareService::aliyun:
      return &services::aliyun_module();
    case ShareService::pan115:
      return &services::pan115_module();
    case ShareService::pan123:
      return &services::pan123_module();
    case ShareService::tianyi:
      return &services::tianyi_module();
    case ShareService::lanzou:
      return &services::lanzou_module();
    case ShareService::baidu:
      break;
  }
  return nullptr;
}

bool is_service_url(const ServiceModule& module, std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  if (url.size() <= kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
  const std::string_view rest = url.substr(kScheme.size());
  const std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
  // A user name or a port would make the host another one than it reads.
  if (host.empty() || host.find_first_of("@:\\") != std::string_view::npos) return false;
  std::string lower(host);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return module.allows_host(lower);
}

}  // namespace quorvex
