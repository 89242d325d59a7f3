// The stand-ins for the Windows build's tests: each ShareService and each ServicesStandIn is one
// of the native stand-in's (tests/support/stand_in_main.cpp), made and asked over a control
// connection to QUORVEX_TEST_CONTROL_PORT; tests/windows/with_stand_in.sh starts the stand-in and
// says where.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "services_stand_in.h"
#include "share_service.h"

namespace quorvex::test {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value)
    throw std::runtime_error(std::string(name) + " is not set: run under with_stand_in.sh");
  return value;
}

SOCKET connect_to_control() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("no Winsock");
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(std::stoi(environment("QUORVEX_TEST_CONTROL_PORT"))));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET || ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    throw std::runtime_error("the stand-in service's control port does not answer");
  return s;
}

// The parts of a request, from its bytes.
RecordedRequest parsed(std::string raw) {
  RecordedRequest r;
  const std::size_t head_end = raw.find("\r\n\r\n");
  const std::string head = raw.substr(0, head_end);
  if (head_end != std::string::npos) r.body = raw.substr(head_end + 4);
  std::size_t line_end = head.find("\r\n");
  const std::string request_line = head.substr(0, line_end);
  const std::size_t space = request_line.find(' ');
  r.method = request_line.substr(0, space);
  r.target = request_line.substr(space + 1, request_line.rfind(' ') - space - 1);
  while (line_end != std::string::npos) {
    const std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string line = head.substr(start, line_end - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    r.headers.emplace_back(line.substr(0, colon), value);
  }
  r.raw = std::move(raw);
  return r;
}

}  // namespace

RemoteStandIn::RemoteStandIn(const std::string& first)
    : control_(static_cast<std::uintptr_t>(connect_to_control())) {
  made_ = ask(first);
}

RemoteStandIn::~RemoteStandIn() { ::closesocket(static_cast<SOCKET>(control_)); }

void RemoteStandIn::receive_more() const {
  char buf[65536];
  const int got = ::recv(static_cast<SOCKET>(control_), buf, sizeof buf, 0);
  if (got <= 0) throw std::runtime_error("the stand-in service went away");
  pending_.append(buf, static_cast<std::size_t>(got));
}

std::string RemoteStandIn::read_bytes(std::size_t n) const {
  while (pending_.size() < n) receive_more();
  std::string out = pending_.substr(0, n);
  pending_.erase(0, n);
  return out;
}

std::string RemoteStandIn::read_line() const {
  std::size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) receive_more();
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

std::string RemoteStandIn::ask(const std::string& line) const {
  const std::string text = line + "\n";
  if (::send(static_cast<SOCKET>(control_), text.data(), static_cast<int>(text.size()), 0) !=
      static_cast<int>(text.size()))
    throw std::runtime_error("the stand-in service went away");
  return read_line();
}

std::vector<RecordedRequest> RemoteStandIn::requests() const {
  const int count = std::stoi(ask("requests"));
  std::vector<RecordedRequest> out;
  for (int i = 0; i < count; ++i) {
    const std::size_t size = std::stoul(read_line());
    out.push_back(parsed(read_bytes(size)));
  }
  return out;
}

ShareService::ShareService(Throttle throttle, ServerCert cert)
    : remote_("new " + std::to_string(throttle.per_second) + " " +
              std::to_string(throttle.penalty.count()) + " " +
              (cert == ServerCert::self_signed ? "self_signed" : "trusted")) {}

std::string ShareService::connect_to() const { return remote_.made(); }

int ShareService::requests_for(std::string_view id) const {
  return std::stoi(remote_.ask("requests_for " + std::string(id)));
}

int ShareService::peak_concurrency() const { return std::stoi(remote_.ask("peak")); }

int ShareService::throttled_answers() const { return std::stoi(remote_.ask("throttled")); }

std::vector<RecordedRequest> ShareService::requests() const { return remote_.requests(); }

ServicesStandIn::ServicesStandIn(std::optional<ServicesThrottle> throttle)
    : remote_(throttle ? "services " + throttle->host + " " + std::to_string(throttle->per_second)
                       : std::string("services")) {}

std::vector<std::string> ServicesStandIn::connect_to() const {
  std::vector<std::string> entries;
  const std::string& all = remote_.made();
  for (std::size_t from = 0; from < all.size();) {
    const std::size_t comma = std::min(all.find(',', from), all.size());
    entries.push_back(all.substr(from, comma - from));
    from = comma + 1;
  }
  return entries;
}

std::vector<RecordedRequest> ServicesStandIn::requests() const { return remote_.requests(); }

int ServicesStandIn::throttled() const { return std::stoi(remote_.ask("throttled")); }

const std::string& test_ca_file() {
  static const std::string file = environment("QUORVEX_TEST_CA_FILE");
  return file;
}

}  // namespace quorvex::test
