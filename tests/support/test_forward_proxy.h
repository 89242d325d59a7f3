// A forward proxy on 127.0.0.1 for tests: takes CONNECT requests (optionally only with the right
// Basic credentials), records them, and tunnels to the named port on 127.0.0.1.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"

namespace quorvex::test {

class TestForwardProxy {
 public:
  // required_authorization: the exact Proxy-Authorization value to demand, or "" for none.
  explicit TestForwardProxy(std::string required_authorization = "");
  ~TestForwardProxy();
  TestForwardProxy(const TestForwardProxy&) = delete;
  TestForwardProxy& operator=(const TestForwardProxy&) = delete;

  int port() const { return listener_.port(); }
  // The request heads received, as sent.
  std::vector<std::string> requests() const;

 private:
  void serve(int fd);

  std::string required_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  LoopbackListener listener_;  // last: it serves with the members above
};

}  // namespace quorvex::test
