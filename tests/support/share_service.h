// A stand-in for the share service at https://pan.baidu.com: one share for each state today's
// pages show, failures of every kind, and a throttling mode. Clients reach it through
// connect_to() and trust test_ca_file(), so they talk to "pan.baidu.com" over verified TLS.
//
// A share's address is https://pan.baidu.com/s/1<state>[-<anything>]; the state decides the
// answer. Live: need (sent on to /share/init, which asks for the code), needcode, public, old
// ("失效时间"). Gone: deleted, cancelled, expired (which also shows "失效时间"), blocked, frozen,
// gone ("页面不存在"), notfound (sent on to /error/404.html), overused. Neither: temporary,
// nomarker, empty. Failures: flaky (503 once, then public), down (503), broken (500), forbidden
// (403), busy (429 with Retry-After: 1 once, then public), captcha (the security-check page),
// offsite (sent to another host), plainhttp (sent to http://), loop (sent to itself), lag
// (public after 300 ms), slow (public after 1.5 s), silent (never answers), reset (connection
// reset), huge (40 MiB), echo (the request as it arrived, as the body). Counters such as "flaky"
// count per whole address, so "flaky-1" and "flaky-2" each fail once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "recorded_request.h"
#include "test_ca.h"
#ifndef _WIN32
#include "test_https_server.h"
#endif

namespace quorvex::test {

// Above `per_second` requests within one second, every answer is the security-check page for
// `penalty`; per_second 0 means no throttling.
struct ShareThrottle {
  int per_second = 0;
  std::chrono::milliseconds penalty{0};
};

class ShareService {
 public:
  using Throttle = ShareThrottle;

  explicit ShareService(Throttle throttle = {}, ServerCert cert = ServerCert::trusted);

  // "https://pan.baidu.com/s/1" + id.
  static std::string link(std::string_view id);
  std::string connect_to() const;
  std::vector<RecordedRequest> requests() const;
  // Requests for /s/1<id> exactly (query ignored).
  int requests_for(std::string_view id) const;
  int peak_concurrency() const;
  // Answers that were the security-check page because of throttling.
  int throttled_answers() const;

  // The pages, for tests that judge them directly (UTF-8).
  static const std::string& security_check_page();

 private:
#ifdef _WIN32
  // The Windows build's tests run under Wine, the service natively beside them: each instance is
  // one of the native stand-in's, made and asked through a control connection.
  std::string ask(const std::string& line) const;
  std::string read_line() const;
  std::string read_bytes(std::size_t n) const;
  void receive_more() const;
  std::uintptr_t control_ = ~std::uintptr_t{0};
  std::string connect_to_;
  mutable std::string pending_;

 public:
  ~ShareService();
  ShareService(const ShareService&) = delete;
  ShareService& operator=(const ShareService&) = delete;
#else
  ScriptedResponse answer(const RecordedRequest& request);
  bool throttled_now();

  Throttle throttle_;
  mutable std::mutex mutex_;
  std::map<std::string, int> seen_;  // requests per target
  std::vector<std::chrono::steady_clock::time_point> recent_;
  std::chrono::steady_clock::time_point penalty_until_{};
  int throttled_answers_ = 0;
  TestHttpsServer server_;  // last: it answers with the members above
#endif
};

}  // namespace quorvex::test
