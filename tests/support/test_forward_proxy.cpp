#include "test_forward_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace quorvex::test {

namespace {

bool send_all(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string header_value(const std::string& head, const std::string& name) {
  std::size_t pos = 0;
  while ((pos = head.find("\r\n", pos)) != std::string::npos) {
    pos += 2;
    if (strncasecmp(head.c_str() + pos, (name + ":").c_str(), name.size() + 1) == 0) {
      std::size_t start = pos + name.size() + 1;
      while (start < head.size() && head[start] == ' ') ++start;
      return head.substr(start, head.find("\r\n", start) - start);
    }
  }
  return {};
}

}  // namespace

TestForwardProxy::TestForwardProxy(std::string required_authorization)
    : required_(std::move(required_authorization)), listener_([this](int fd) { serve(fd); }) {
  std::signal(SIGPIPE, SIG_IGN);
}

TestForwardProxy::~TestForwardProxy() { listener_.stop(); }

std::vector<std::string> TestForwardProxy::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TestForwardProxy::serve(int fd) {
  std::string head;
  char buf[16384];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (listener_.stopping() || ::poll(&p, 1, 50) < 0) break;
    if (!(p.revents & POLLIN)) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(head);
  }
  const std::string target = head.substr(0, head.find("\r\n"));
  const bool is_connect = target.rfind("CONNECT ", 0) == 0;
  if (!is_connect ||
      (!required_.empty() && header_value(head, "Proxy-Authorization") != required_)) {
    send_all(fd, is_connect
                     ? "HTTP/1.1 407 Proxy Authentication Required\r\n"
                       "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n"
                     : "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n");
    ::close(fd);
    return;
  }
  // "CONNECT host:port HTTP/1.1": every host of the tests lives on this machine.
  const std::string authority = target.substr(8, target.find(' ', 8) - 8);
  const int port = std::stoi(authority.substr(authority.rfind(':') + 1));
  const int up = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(up, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    send_all(fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    ::close(up);
    ::close(fd);
    return;
  }
  send_all(fd, "HTTP/1.1 200 Connection established\r\n\r\n");
  pollfd fds[2] = {{fd, POLLIN, 0}, {up, POLLIN, 0}};
  while (!listener_.stopping()) {
    if (::poll(fds, 2, 50) < 0) break;
    bool closed = false;
    for (int k = 0; k < 2; ++k) {
      if (!(fds[k].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = ::recv(fds[k].fd, buf, sizeof buf, 0);
      if (n <= 0 || !send_all(fds[1 - k].fd, std::string(buf, static_cast<std::size_t>(n))))
        closed = true;
    }
    if (closed) break;
  }
  ::close(up);
  ::close(fd);
}

}  // namespace quorvex::test
