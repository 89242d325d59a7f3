// A small HTTPS server on 127.0.0.1 for tests: a certificate for pan.baidu.com made at start
// (signed by the test authority unless asked otherwise), every request recorded byte for byte
// (header order included), and answers scripted per request, slow, silent, reset or oversized
// ones included.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "loopback.h"
#include "recorded_request.h"
#include "test_ca.h"

namespace quorvex::test {

struct ScriptedResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int delay_ms = 0;             // wait before answering
  bool never_answer = false;    // keep the connection open and silent until the server stops
  std::size_t repeat_body = 1;  // send the body this many times (for huge bodies)
  bool reset = false;           // drop the connection with a reset instead of answering
  int trickle_ms = 0;           // send the body a byte at a time, this long apart
};

class TestHttpsServer {
 public:
  using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;
  explicit TestHttpsServer(Handler handler, ServerCert cert = ServerCert::trusted);
  ~TestHttpsServer();
  TestHttpsServer(const TestHttpsServer&) = delete;
  TestHttpsServer& operator=(const TestHttpsServer&) = delete;

  int port() const { return listener_.port(); }
  // "https://pan.localhost:PORT": a host name that starts with "pan" and reaches this server.
  std::string base_url() const;
  // "pan.baidu.com:443:127.0.0.1:PORT": sends a client's requests for the real share host here.
  std::string connect_to() const;
  std::vector<RecordedRequest> requests() const;
  // The largest number of requests that were being answered at the same moment.
  int peak_concurrency() const { return peak_.load(); }

 private:
  void serve(int fd);

  Handler handler_;
  void* ssl_ctx_ = nullptr;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<RecordedRequest> requests_;
  std::atomic<int> active_{0};
  std::atomic<int> peak_{0};
  LoopbackListener listener_;  // last: it serves with the members above
};

}  // namespace quorvex::test
