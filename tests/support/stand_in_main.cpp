// The stand-in share service as a program, for checks of an installed quorvex-cli: prints the
// QUORVEX_CONNECT_TO value and the CA file to trust on one line, then serves until standard input
// ends.
//   stand_in_share_service
#include <cstdio>

#include "support/share_service.h"

int main() {
  const quorvex::test::ShareService service;
  std::printf("%s %s\n", service.connect_to().c_str(), quorvex::test::test_ca_file().c_str());
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  return 0;
}
