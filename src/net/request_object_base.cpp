#include "net/request_object_base.h"

#include "net/body_budget.h"

namespace quorvex {

void RequestObjectBase::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  resolve_ms_ = resolve_ms;
  connect_ms_ = connect_ms;
  send_ms_ = send_ms;
  receive_ms_ = receive_ms;
}

void RequestObjectBase::set_proxy(int setting, const std::string& server) {
  proxy_ = setting == kProxyNamed ? server : std::string();
}

void RequestObjectBase::open(const std::string& method, const std::string& url, bool) {
  method_ = method;
  url_ = url;
  clear_headers();
}

void RequestObjectBase::set_option(int index, long value) {
  if (index == kOptionFollowRedirects) follow_redirects_ = value != 0;
  if (index == kOptionIgnoreCertErrors) ignore_cert_flags_ = value;
}

void RequestObjectBase::set_credentials(const std::string& user, const std::string& password,
                                        int flags) {
  if (flags == kCredentialsForProxy) {
    proxy_user_ = user;
    proxy_password_ = password;
  } else {
    server_user_ = user;
    server_password_ = password;
  }
}

void RequestObjectBase::start_deadline() {
  const long long phases =
      static_cast<long long>(resolve_ms_) + connect_ms_ + send_ms_ + receive_ms_;
  const long long overall = policy_.overall_timeout ? policy_.overall_timeout->count() : phases;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(overall);
}

bool RequestObjectBase::must_stop() {
  if (cancel_requested()) {
    cancelled_ = true;
    return true;
  }
  if (std::chrono::steady_clock::now() >= deadline_) {
    timed_out_ = true;
    return true;
  }
  return false;
}

bool RequestObjectBase::take_lease() {
  lease_ = policy_.body_budget->take(2 * policy_.max_body_bytes, [&] { return must_stop(); });
  if (lease_ == 0) return false;
  // Room for the whole body at once: growing it step by step would hold up to twice as much.
  body_.reserve(policy_.max_body_bytes);
  return true;
}

bool RequestObjectBase::add_body_bytes(const char* data, std::size_t n) {
  if (body_.size() + n > policy_.max_body_bytes) {
    too_large_ = true;
    return false;
  }
  if (!lease_ && policy_.body_budget && body_.size() + n > policy_.free_body_bytes && !take_lease())
    return false;
  body_.append(data, n);
  return true;
}

std::string RequestObjectBase::too_large_text() const {
  return "the answer is larger than " + std::to_string(policy_.max_body_bytes >> 20) + " MiB";
}

void RequestObjectBase::perform(const std::string& body) {
  body_.clear();
  body_.shrink_to_fit();
  give_back_lease();
  response_headers_.clear();
  status_ = 0;
  report_ = {};
  too_large_ = timed_out_ = cancelled_ = false;
  if (!ready()) return;
  start_deadline();
  std::string url = url_;
  std::string method = method_;
  bool ok = false;
  for (int hop = 0;; ++hop) {
    std::string location;
    report_.final_url = url;
    body_.clear();
    response_headers_.clear();
    ++report_.requests;
    ok = exchange(url, method, method == method_ ? body : std::string(), location);
    if (!ok || !follow_redirects_ || status_ < 300 || status_ > 399 || location.empty()) break;
    if (policy_.may_follow && !policy_.may_follow(location)) {
      report_.refused_redirect = location;
      break;
    }
    if (location.rfind("http://", 0) != 0 && location.rfind("https://", 0) != 0) break;
    if (hop + 1 >= kMaxRedirects) break;
    url = location;
    // As browsers do: a form sent to a moved address is not sent again.
    if (status_ == 301 || status_ == 302 || status_ == 303)
      method = method == "HEAD" ? "HEAD" : "GET";
  }
  report_.too_large = report_.too_large || too_large_;
  report_.cancelled = cancelled_;
  report_.timed_out = report_.timed_out || timed_out_;
  if (!ok) {
    body_.clear();
    response_headers_.clear();
    status_ = 0;
    if (report_.error.empty()) report_.error = too_large_ ? too_large_text() : "failed";
  }
}

void RequestObjectBase::give_back_lease() {
  if (lease_ && policy_.body_budget) policy_.body_budget->give_back(lease_);
  lease_ = 0;
}

}  // namespace quorvex
