// What the request objects of every system share: the caller's settings between open() and the
// send, the request's deadline, the redirects (followed one hop at a time, each address shown to
// the creator's policy first), the body's cap and the body budget's lease for it, and the answer
// as the caller reads it. Each system's object makes one exchange at a time (exchange()).
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
  void send_text(const std::string& body) override { perform(body); }
  void send_bytes(const std::string& body) override { perform(body); }
  std::string response_body() override { return body_; }
  std::string take_response_body() override { return std::move(body_); }
  std::string all_response_headers() override { return response_headers_; }
  int status() override { return status_; }
  TransferReport transfer_report() const override { return report_; }

  // Redirects followed at the most for one request.
  static constexpr int kMaxRedirects = 10;

 protected:
  // Called by open(): the headers of the last request are gone.
  virtual void clear_headers() = 0;
  // Whether a request can be made at all; when not, report_ says why.
  virtual bool ready() = 0;
  // Sends one request to `url` and takes its answer in: status_, response_headers_ (one
  // "name: value" a line, CR LF between), the body through add_body_bytes(), and in `location`
  // the absolute address a redirect names ("" for none). Never follows a redirect itself. False
  // when it failed, with report_ (and too_large_, timed_out_, cancelled_) saying why.
  virtual bool exchange(const std::string& url, const std::string& method, const std::string& body,
                        std::string& location) = 0;
  // Takes the next bytes of the body; false when they would pass the cap, or when no lease of
  // the body budget came in time (the flags then say which).
  bool add_body_bytes(const char* data, std::size_t n);
  // What a body over the cap is said as.
  std::string too_large_text() const;
  // Starts the clock of a request: the creator's overall limit, else every phase's limit added
  // up (per-phase limits alone let a server that trickles a byte now and then hold the thread
  // for ever).
  void start_deadline();
  // Whether the request is to end now: the creator cancelled it (cancelled_) or its time is up
  // (timed_out_).
  bool must_stop();
  // Waits for a lease of the body budget within the request's time, for a body about to grow
  // past the free part; false when it gave up (must_stop said so).
  bool take_lease();
  void give_back_lease();
  bool cancel_requested() const {
    return policy_.cancel && policy_.cancel->load(std::memory_order_acquire);
  }

 private:
  // One request from open(), its redirects followed.
  void perform(const std::string& body);

 protected:
  TransportPolicy policy_;
  // The answer, and what the request learned on the way.
  std::string body_;
  std::string response_headers_;
  int status_ = 0;
  TransferReport report_;
  bool too_large_ = false;
  bool timed_out_ = false;
  bool cancelled_ = false;

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
