// The stand-in share service as a program, for checks of an installed quorvex-cli and for the
// Windows build's tests under Wine. Prints, on one line: the QUORVEX_CONNECT_TO value, the CA file
// to trust, the port of a listener that accepts connections and never says a word (a server that
// never finishes the TLS handshake), and the port of a control listener; then serves until
// standard input ends.
//   stand_in_share_service
//
// Each control connection is one service of its own, for a test in another process: the first
// line "new PER_SECOND PENALTY_MS trusted|self_signed" makes a Baidu stand-in and is answered with
// its connect-to value; "services [HOST PER_SECOND]" makes one of the other services' (HOST
// throttled) and is answered with its connect-to entries, comma-separated. Then "requests_for
// ID", "peak" and "throttled" (Baidu's) or "throttled" (the others') are answered with a number,
// and "requests" with the count, then each request's size on a line of its own and its bytes.
// The service ends with the connection.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "support/loopback.h"
#include "support/services_stand_in.h"
#include "support/share_service.h"
#include "support/test_ca.h"

namespace {

using quorvex::test::ShareService;

bool send_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool read_line(int fd, std::string& line) {
  line.clear();
  char c;
  while (::read(fd, &c, 1) == 1) {
    if (c == '\n') return true;
    line.push_back(c);
  }
  return false;
}

// The count, then each request's size on a line of its own and its bytes.
std::string requests_answer(const std::vector<quorvex::test::RecordedRequest>& requests) {
  std::string answer = std::to_string(requests.size()) + "\n";
  for (const auto& r : requests) answer += std::to_string(r.raw.size()) + "\n" + r.raw;
  return answer;
}

void serve_control(int fd) {
  std::string line;
  std::unique_ptr<ShareService> service;
  std::unique_ptr<quorvex::test::ServicesStandIn> services;
  while (read_line(fd, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string answer;
    if (command == "services" && !service && !services) {
      std::optional<quorvex::test::ServicesThrottle> throttle;
      quorvex::test::ServicesThrottle wanted;
      if (words >> wanted.host >> wanted.per_second) throttle = wanted;
      services = std::make_unique<quorvex::test::ServicesStandIn>(throttle);
      for (const std::string& entry : services->connect_to())
        answer += (answer.empty() ? "" : ",") + entry;
      answer += "\n";
    } else if (services && command == "throttled") {
      answer = std::to_string(services->throttled()) + "\n";
    } else if (services && command == "requests") {
      answer = requests_answer(services->requests());
    } else if (command == "new" && !service && !services) {
      int per_second = 0;
      long penalty_ms = 0;
      std::string cert;
      words >> per_second >> penalty_ms >> cert;
      service = std::make_unique<ShareService>(
          quorvex::test::ShareThrottle{per_second, std::chrono::milliseconds(penalty_ms)},
          cert == "self_signed" ? quorvex::test::ServerCert::self_signed
                                : quorvex::test::ServerCert::trusted);
      answer = service->connect_to() + "\n";
    } else if (!service) {
      break;
    } else if (command == "requests_for") {
      std::string id;
      words >> id;
      answer = std::to_string(service->requests_for(id)) + "\n";
    } else if (command == "peak") {
      answer = std::to_string(service->peak_concurrency()) + "\n";
    } else if (command == "throttled") {
      answer = std::to_string(service->throttled_answers()) + "\n";
    } else if (command == "requests") {
      answer = requests_answer(service->requests());
    } else {
      break;
    }
    if (!send_all(fd, answer)) break;
  }
  service.reset();
  services.reset();
  ::close(fd);
}

}  // namespace

int main() {
  const ShareService service;
  const quorvex::test::LoopbackListener mute([](int fd) {
    // Holds the connection open, silent, until the other side gives up.
    char byte;
    while (::read(fd, &byte, 1) > 0) {
    }
    ::close(fd);
  });
  const quorvex::test::LoopbackListener control(&serve_control);
  std::printf("%s %s %d %d\n", service.connect_to().c_str(), quorvex::test::test_ca_file().c_str(),
              mute.port(), control.port());
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  // The listeners' threads may be serving connections that never end; nothing here needs them.
  std::_Exit(0);
}
