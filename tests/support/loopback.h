// Listening sockets on 127.0.0.1 for the test servers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <stdexcept>

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

// Accepts connections until `stopping` is set, handing each to on_connection.
template <class OnConnection>
void accept_until(int listen_fd, const std::atomic<bool>& stopping, OnConnection&& on_connection) {
  while (!stopping) {
    pollfd p{listen_fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) on_connection(fd);
  }
}

}  // namespace quorvex::test
