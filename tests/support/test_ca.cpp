#include "test_ca.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace quorvex::test {

namespace {

// Baidu's host, and the hosts the other services' modules ask, so that one stand-in server can
// play them all.
constexpr const char* kServerNames =
    "DNS:pan.baidu.com,DNS:pan.localhost,DNS:localhost,IP:127.0.0.1,DNS:drive-h.quark.cn,"
    "DNS:api.aliyundrive.com,DNS:webapi.115.com,DNS:www.123pan.com,DNS:cloud.189.cn,"
    "DNS:*.lanzoux.com,DNS:*.lanzn.com,DNS:*.lanzouw.com";

void add_extension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) throw std::runtime_error("test certificate: bad extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

X509* new_certificate(EVP_PKEY* key, const char* common_name, long serial) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 7 * 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  return cert;
}

// Signs cert, again until both halves of the ECDSA signature take their full 32 bytes: Wine's
// crypt32 rejects a signature whose r or s is shorter (about one in a hundred), which made the
// Windows tests fail now and then for a certificate that is sound.
void sign(X509* cert, EVP_PKEY* key) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    X509_sign(cert, key, EVP_sha256());
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char* der = signature->data;
    ECDSA_SIG* parsed = d2i_ECDSA_SIG(nullptr, &der, signature->length);
    if (!parsed) return;
    const bool full = BN_num_bytes(ECDSA_SIG_get0_r(parsed)) == 32 &&
                      BN_num_bytes(ECDSA_SIG_get0_s(parsed)) == 32;
    ECDSA_SIG_free(parsed);
    if (full) return;
  }
}

struct Authority {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = nullptr;
  std::string file;

  Authority() {
    cert = new_certificate(key, "Quorvex Test Authority", 1);
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    add_extension(cert, cert, NID_basic_constraints, "critical,CA:TRUE");
    add_extension(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign");
    add_extension(cert, cert, NID_subject_key_identifier, "hash");
    sign(cert, key);
    file = (std::filesystem::temp_directory_path() /
            ("quorvex-test-ca-" + std::to_string(::getpid()) + ".pem"))
               .string();
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) throw std::runtime_error("test certificate: cannot write " + file);
    PEM_write_X509(out, cert);
    std::fclose(out);
  }
  ~Authority() { std::remove(file.c_str()); }
};

Authority& authority() {
  static Authority ca;
  return ca;
}

}  // namespace

const std::string& test_ca_file() { return authority().file; }

void* make_server_context(ServerCert kind) {
  static std::mutex mutex;  // certificate making is not worth doing in parallel
  std::lock_guard lock(mutex);
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  EVP_PKEY* key = EVP_EC_gen("P-256");
  static long serial = 100;
  X509* cert = new_certificate(key, "pan.baidu.com", ++serial);
  add_extension(cert, cert, NID_subject_alt_name, kServerNames);
  add_extension(cert, cert, NID_basic_constraints, "critical,CA:FALSE");
  if (kind == ServerCert::trusted) {
    Authority& ca = authority();
    X509_set_issuer_name(cert, X509_get_subject_name(ca.cert));
    add_extension(cert, ca.cert, NID_authority_key_identifier, "keyid:always");
    sign(cert, ca.key);
  } else {
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    sign(cert, key);
  }
  SSL_CTX_use_certificate(ctx, cert);
  SSL_CTX_use_PrivateKey(ctx, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return ctx;
}

}  // namespace quorvex::test
