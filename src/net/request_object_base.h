// What the request objects of every system share: the caller's settings between open() and the
// send, the request's deadline, and the body budget's lease for the answer.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "net/request_object.h"

namespace quorvex {

class RequestObjectBase : public RequestObject {
 public:
  explicit RequestObjectBase(const TransportPolicy& policy) : policy_(policy) {}
  ~RequestObjectBase() override { give_back_lease(); }
  RequestObjectBase(const RequestObjectBase&) = delete;
  RequestObjectBase& operator=(const RequestObjectBase&) = delete;

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
  void set_proxy(int setting, const std::string& server) override;
  void open(const std::string& method, const std::string& url, bool async) override;
  void set_option(int index, long value) override;
  void set_credentials(const std::string& user, const std::string& password, int flags) override;

 protected:
  // Called by open(): the headers of the last request are gone.
  virtual void clear_headers() = 0;
  // Starts the clock of a request: the creator's overall limit, else every phase's limit added
  // up (per-phase limits alone let a server that trickles a byte now and then hold the thread
  // for ever).
  void start_deadline();
  // Waits for a lease of the body budget within the request's time, for a body about to grow
  // past the free part; false when it gave up, with `cancelled` or `out_of_time` set to say why.
  bool take_lease(std::string& body, bool& cancelled, bool& out_of_time);
  void give_back_lease();
  bool cancel_requested() const {
    return policy_.cancel && policy_.cancel->load(std::memory_order_acquire);
  }

  TransportPolicy policy_;
  std::size_t lease_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::string method_ = "GET";
  std::string url_;
  // Until set_timeouts says otherwise: the platform object's own limits (resolve without limit,
  // connect 60 s, send and receive 30 s).
  int resolve_ms_ = 0, connect_ms_ = 60000, send_ms_ = 30000, receive_ms_ = 30000;
  std::string proxy_, proxy_user_, proxy_password_, server_user_, server_password_;
  bool follow_redirects_ = true;
  long ignore_cert_flags_ = 0;
};

}  // namespace quorvex
