#include "net/web_request.h"

#include <array>

#include "base/text_ops.h"
#include "net/cookies.h"
#include "net/header_text.h"

namespace quorvex {

namespace {

constexpr std::array<const char*, 8> kMethods = {"GET",     "POST",   "HEAD",  "PUT",
                                                 "OPTIONS", "DELETE", "TRACE", "CONNECT"};

void complete_header_text(std::string& headers, const std::string& url, int method) {
  struct Default {
    const char* key;
    std::string line;
    bool post_only;
  };
  const std::array<Default, 5> defaults = {{
      {"Accept:", "Accept: */*", false},
      {"Referer:", "Referer: " + url, false},
      {"Accept-Language:", "Accept-Language: zh-cn", false},
      {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)", false},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
  }};
  for (const Default& d : defaults) {
    if (d.post_only && method != kMethodPost) continue;
    if (!contains_nocase(headers, d.key)) headers.append("\r\n").append(d.line);
  }
}

void set_header_lines(RequestObject& object, const std::string& headers) {
  if (headers.find("\r\n") == std::string::npos) {
    const std::string name = header_name_of(headers);
    if (!name.empty()) object.set_request_header(name, header_value_of(headers));
    return;
  }
  for (const std::string_view piece : split_keep_empty(headers, "\r\n")) {
    if (piece.empty()) continue;
    const std::string name = header_name_of(piece);
    const std::string value = header_value_of(piece);
    if (name == "Connection" && value == "keep-alive") continue;
    // A piece without ":" names no header; the request object would refuse it anyway.
    if (name.empty()) continue;
    object.set_request_header(name, value);
  }
}

}  // namespace

std::string web_request(const WebRequest& r) {
  int method = r.method.value_or(kMethodGet);
  if (method < kMethodGet || method > kMethodConnect) method = kMethodGet;

  std::unique_ptr<RequestObject> owned;
  RequestObject* object = r.request_object;
  if (!object) {
    owned = create_request_object();
    object = owned.get();
    if (!object) return {};
  }

  const int timeout = r.timeout_seconds.value_or(0);
  if (timeout != -1) {
    const int ms = timeout < 1 ? 15000 : (timeout > 2147483 ? 2147483 * 1000 : timeout * 1000);
    object->set_timeouts(ms, ms, ms, ms);
  }
  const std::string proxy = r.proxy_address.value_or("");
  if (!proxy.empty()) object->set_proxy(kProxyNamed, proxy);
  object->open(kMethods[static_cast<std::size_t>(method)], r.url, false);
  if (r.forbid_redirects.value_or(false)) object->set_option(kOptionFollowRedirects, 0);
  // Every certificate is checked: a page from a server that cannot prove it is the service tells
  // nothing about a share. A caller that must do without (an intercepting proxy) says so through
  // its request object's policy.
  object->set_option(kOptionIgnoreCertErrors, 0);

  std::string local_headers;
  std::string& headers = r.extra_headers ? *r.extra_headers : local_headers;
  if (r.complete_headers.value_or(true)) complete_header_text(headers, r.url, method);
  if (r.normalize_header_names.value_or(true)) headers = normalize_header_text(headers);

  const std::string user = r.proxy_user.value_or("");
  if (!proxy.empty() && !user.empty()) {
    const std::string password = r.proxy_password.value_or("");
    const int flags = r.proxy_credential_flags.value_or(kCredentialsForProxy);
    object->set_credentials(user, password, flags);
    if (flags == kCredentialsForProxy)
      object->set_request_header("Proxy-Authorization",
                                 "Basic " + base64_encode(user + ":" + password));
  }

  if (r.submit_cookies) {
    std::string& cookies = *r.submit_cookies;
    if (!cookies.empty() && contains_nocase(cookies, "Cookie:"))
      cookies = remove_all_nocase(cookies, "Cookie:");
    object->set_request_header("Cookie", cookies);
  }

  set_header_lines(*object, headers);

  const std::string bytes = r.post_bytes.value_or("");
  if (!bytes.empty()) {
    object->send_bytes(bytes);
  } else {
    object->send_text(r.post_text.value_or(""));
  }

  std::string body = object->take_response_body();
  std::string response_headers = object->all_response_headers();
  const int status = object->status();
  std::string cookies = collect_set_cookies(response_headers);
  if (r.merge_cookies.value_or(true) && r.submit_cookies)
    cookies = merge_cookie_texts(*r.submit_cookies, cookies);
  if (r.returned_headers) *r.returned_headers = std::move(response_headers);
  if (r.status_code) *r.status_code = status;
  if (r.returned_cookies) *r.returned_cookies = std::move(cookies);
  return body;
}

}  // namespace quorvex
