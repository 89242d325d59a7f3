// Runs the local HTTPS test server in a child process, so that the benchmark's own CPU time and
// memory are the client's alone.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_https_server.h"

namespace quorvex::bench {

class ServerProcess {
 public:
  ServerProcess(int latency_ms, std::string body) {
    // The authority is made here, before the fork, so that both sides know the same one.
    test::test_ca_file();
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      test::TestHttpsServer server([&](const test::RecordedRequest&) {
        test::ScriptedResponse r;
        r.body = body;
        r.delay_ms = latency_ms;
        return r;
      });
      const int port = server.port();
      if (::write(fds[1], &port, sizeof port) != sizeof port) _exit(1);
      for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    ::close(fds[1]);
    if (::read(fds[0], &port_, sizeof port_) != sizeof port_) port_ = 0;
    ::close(fds[0]);
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  std::string base_url() const { return "https://pan.localhost:" + std::to_string(port_); }
  // Sends requests for the share host to this server (see TransportPolicy::connect_to).
  std::string connect_to() const { return "pan.baidu.com:443:127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace quorvex::bench
