// A local HTTPS share service for comparisons with other checkers: answers every request with a
// live share page after a fixed latency. Prints its port and the file of the authority that signed
// its certificate (for pan.baidu.com), then serves until killed.
//   share_server LATENCY_MS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/test_https_server.h"

int main(int argc, char** argv) {
  const int latency = argc > 1 ? std::atoi(argv[1]) : 100;
  quorvex::test::TestHttpsServer server([latency](const quorvex::test::RecordedRequest&) {
    quorvex::test::ScriptedResponse r;
    r.delay_ms = latency;
    r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    r.body =
        "<html><body>\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81</"
        "body></html>";
    return r;
  });
  std::printf("%d %s\n", server.port(), quorvex::test::test_ca_file().c_str());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
