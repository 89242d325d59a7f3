// Certificates for the test servers, made once per test process: a test authority, and server
// certificates for pan.baidu.com (and pan.localhost, localhost, 127.0.0.1) signed by it or by
// nobody. Clients that trust test_ca_file() verify the first kind as they would the real service.
#pragma once

#include <string>

namespace quorvex::test {

enum class ServerCert {
  trusted,      // signed by the test authority
  self_signed,  // signed by nobody: no client that verifies accepts it
};

// A PEM file holding the test authority's certificate.
const std::string& test_ca_file();

// An OpenSSL server context (SSL_CTX*) with a certificate of that kind; the caller frees it.
void* make_server_context(ServerCert cert);

}  // namespace quorvex::test
