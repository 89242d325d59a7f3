// The stand-in share service as a program, for checks of an installed quorvex-cli and for the
// Windows build's tests under Wine: prints the QUORVEX_CONNECT_TO value, the CA file to trust and
// the port of a listener that accepts connections and never says a word (a server that never
// finishes the TLS handshake) on one line, then serves until standard input ends.
//   stand_in_share_service
#include <cstdio>

#include "support/loopback.h"
#include "support/share_service.h"
#include "support/test_ca.h"

int main() {
  const quorvex::test::ShareService service;
  const quorvex::test::LoopbackListener mute([](int fd) {
    // Holds the connection open, silent, until the program ends.
    char byte;
    while (::read(fd, &byte, 1) > 0) {
    }
    ::close(fd);
  });
  std::printf("%s %s %d\n", service.connect_to().c_str(), quorvex::test::test_ca_file().c_str(),
              mute.port());
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  std::_Exit(0);
}
