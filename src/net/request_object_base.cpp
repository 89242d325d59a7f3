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

bool RequestObjectBase::take_lease(std::string& body, bool& cancelled, bool& out_of_time) {
  lease_ = policy_.body_budget->take(2 * policy_.max_body_bytes, [&] {
    if (cancel_requested()) {
      cancelled = true;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline_) {
      out_of_time = true;
      return true;
    }
    return false;
  });
  if (lease_ == 0) return false;
  // Room for the whole body at once: growing it step by step would hold up to twice as much.
  body.reserve(policy_.max_body_bytes);
  return true;
}

void RequestObjectBase::give_back_lease() {
  if (lease_ && policy_.body_budget) policy_.body_budget->give_back(lease_);
  lease_ = 0;
}

}  // namespace quorvex
