// Listening sockets on 127.0.0.1 for the test servers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quorvex::test {

// A socket listening on 127.0.0.1 at a port the system picks; *port receives it.
inline int listen_on_loopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 512) != 0)
    throw std::runtime_error("test server cannot listen on 127.0.0.1");
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  *port = ntohs(addr.sin_port);
  return fd;
}

// Accepts connections on 127.0.0.1 from construction until stop(), serving each on a thread of
// its own; stop() waits for those threads. The test servers differ only in how they serve.
class LoopbackListener {
 public:
  explicit LoopbackListener(std::function<void(int fd)> serve) : serve_(std::move(serve)) {
    listen_fd_ = listen_on_loopback(&port_);
    acceptor_ = std::thread([this] { accept_loop(); });
  }
  ~LoopbackListener() { stop(); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  int port() const { return port_; }
  bool stopping() const { return stopping_.load(); }

  void stop() {
    if (stopping_.exchange(true)) return;
    acceptor_.join();
    std::vector<std::thread> workers;
    {
      std::lock_guard lock(mutex_);
      workers.swap(workers_);
    }
    for (auto& t : workers) t.join();
    ::close(listen_fd_);
  }

 private:
  void accept_loop() {
    while (!stopping_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard lock(mutex_);
      workers_.emplace_back([this, fd] { serve_(fd); });
    }
  }

  std::function<void(int fd)> serve_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
};

}  // namespace quorvex::test
