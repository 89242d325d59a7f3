#include "test_https_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

#include "test_ca.h"

namespace quorvex::test {

namespace {

const char* reason_of(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

bool write_all(SSL* ssl, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const int n = SSL_write(ssl, data.data() + done,
                            static_cast<int>(std::min<std::size_t>(data.size() - done, 1 << 20)));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TestHttpsServer::TestHttpsServer(Handler handler, ServerCert cert)
    : handler_(std::move(handler)),
      ssl_ctx_(make_server_context(cert)),
      listener_([this](int fd) { serve(fd); }) {
  // A client that hangs up early must not take the whole test process down with it.
  std::signal(SIGPIPE, SIG_IGN);
}

TestHttpsServer::~TestHttpsServer() {
  stopping_ = true;
  stopped_.notify_all();  // wakes the answers that wait for the end
  listener_.stop();
  SSL_CTX_free(static_cast<SSL_CTX*>(ssl_ctx_));
}

std::string TestHttpsServer::base_url() const {
  return "https://pan.localhost:" + std::to_string(listener_.port());
}

std::string TestHttpsServer::connect_to() const {
  return "pan.baidu.com:443:127.0.0.1:" + std::to_string(listener_.port());
}

std::vector<RecordedRequest> TestHttpsServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TestHttpsServer::serve(int fd) {
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(ssl_ctx_));
  SSL_set_fd(ssl, fd);
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (SSL_accept(ssl) <= 0) {
    SSL_free(ssl);
    ::close(fd);
    return;
  }
  RecordedRequest req;
  char buf[16384];
  std::size_t header_end = std::string::npos;
  std::size_t content_length = 0;
  while (true) {
    if (header_end == std::string::npos) {
      header_end = req.raw.find("\r\n\r\n");
      if (header_end != std::string::npos) {
        const std::string head = req.raw.substr(0, header_end);
        std::size_t line_end = head.find("\r\n");
        const std::string request_line = head.substr(0, line_end);
        const auto sp1 = request_line.find(' ');
        const auto sp2 = request_line.rfind(' ');
        req.method = request_line.substr(0, sp1);
        req.target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
        std::size_t pos = line_end == std::string::npos ? head.size() : line_end + 2;
        while (pos < head.size()) {
          std::size_t next = head.find("\r\n", pos);
          if (next == std::string::npos) next = head.size();
          const std::string line = head.substr(pos, next - pos);
          const auto colon = line.find(':');
          std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
          if (!value.empty() && value[0] == ' ') value.erase(0, 1);
          const std::string name = line.substr(0, colon);
          if (strcasecmp(name.c_str(), "Content-Length") == 0) content_length = std::stoul(value);
          req.headers.emplace_back(name, value);
          pos = next + 2;
        }
      }
    }
    if (header_end != std::string::npos && req.raw.size() >= header_end + 4 + content_length) break;
    const int n = SSL_read(ssl, buf, sizeof buf);
    if (n <= 0) break;
    req.raw.append(buf, static_cast<std::size_t>(n));
  }
  if (header_end != std::string::npos) {
    req.at = std::chrono::steady_clock::now();
    req.body = req.raw.substr(header_end + 4);
    const int now = ++active_;
    int peak = peak_.load();
    while (now > peak && !peak_.compare_exchange_weak(peak, now)) {
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(req);
    }
    const ScriptedResponse resp = handler_(req);
    std::unique_lock lock(mutex_);
    if (resp.never_answer) {
      stopped_.wait(lock, [&] { return stopping_.load(); });
    } else if (resp.delay_ms > 0) {
      stopped_.wait_for(lock, std::chrono::milliseconds(resp.delay_ms),
                        [&] { return stopping_.load(); });
    }
    lock.unlock();
    --active_;
    if (resp.reset) {
      // Closing with a zero linger time sends a reset instead of an orderly end.
      const linger abort{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      SSL_free(ssl);
      ::close(fd);
      return;
    }
    if (!resp.never_answer) {
      std::string out =
          "HTTP/1.1 " + std::to_string(resp.status) + " " + reason_of(resp.status) + "\r\n";
      for (const auto& [k, v] : resp.headers) out += k + ": " + v + "\r\n";
      out += "Content-Length: " + std::to_string(resp.body.size() * resp.repeat_body) + "\r\n";
      out += "Connection: close\r\n\r\n";
      if (write_all(ssl, out)) {
        for (std::size_t i = 0; i < resp.repeat_body && !stopping_; ++i) {
          if (resp.trickle_ms <= 0) {
            if (!write_all(ssl, resp.body)) break;
            continue;
          }
          bool sent = true;
          for (std::size_t b = 0; b < resp.body.size() && sent && !stopping_; ++b) {
            sent = write_all(ssl, resp.body.substr(b, 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(resp.trickle_ms));
          }
          if (!sent) break;
        }
      }
    }
  }
  SSL_shutdown(ssl);
  SSL_free(ssl);
  ::close(fd);
}

}  // namespace quorvex::test
