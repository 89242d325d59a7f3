// One synchronous HTTP request through a request object, with header completion and
// normalisation, cookies, an optional proxy with credentials, and every parameter optional but
// the URL. An absent parameter is told apart from one given as 0, false or empty.
#pragma once

#include <optional>
#include <string>

#include "net/request_object.h"

namespace quorvex {

struct WebRequest {
  std::string url;            // also the default Referer
  std::optional<int> method;  // a RequestMethod
  std::optional<std::string> post_text;
  std::string* submit_cookies = nullptr;    // in/out; absent: no Cookie header
  std::string* returned_cookies = nullptr;  // out
  std::string* extra_headers = nullptr;     // in/out: receives the completed header text
  std::string* returned_headers = nullptr;  // out
  int* status_code = nullptr;               // out
  std::optional<bool> forbid_redirects;
  std::optional<std::string> post_bytes;  // sent instead of post_text when not empty
  std::optional<std::string> proxy_address;
  std::optional<int> timeout_seconds;  // -1 keeps the request object's own timeouts
  std::optional<std::string> proxy_user;
  std::optional<std::string> proxy_password;
  std::optional<int> proxy_credential_flags;  // kCredentialsForProxy: credentials for the proxy
  RequestObject* request_object = nullptr;    // the caller's, used instead of a new one
  std::optional<bool> merge_cookies;
  std::optional<bool> complete_headers;
  std::optional<bool> normalize_header_names;
};

// Performs the request and returns the response body (empty when nothing was received).
std::string web_request(const WebRequest& request);

}  // namespace quorvex
