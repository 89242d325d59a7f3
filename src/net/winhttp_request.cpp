// The request object on WinHTTP (the plain functions, asynchronous). It sends the caller's headers
// in order, keeps no cookies, follows redirects itself one hop at a time (so that the creator's
// policy and the connect-to entries apply to each), and bounds the whole request by the overall
// deadline in its own wait: WinHTTP's timeouts alone do not end a server that never finishes the
// TLS handshake.
// winsock2.h before windows.h, which would bring the old winsock.h; windows.h before the rest.
#include <winsock2.h>
//
#include <windows.h>
//
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/platform.h"
#include "net/body_budget.h"
#include "net/request_object_base.h"

namespace quorvex {

namespace {

constexpr DWORD kReadChunk = 64 * 1024;

// Header text as the bytes it came in: WinHTTP widens each byte on its own.
std::string narrow_header(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    if (c < 0x100) {
      out.push_back(static_cast<char>(c));
    } else {
      char bytes[8];
      const int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
      out.append(bytes, static_cast<std::size_t>(n > 0 ? n : 0));
    }
  }
  return out;
}

bool same_nocase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

// The authorities of an extra PEM file, loaded once per file and kept for the program's life.
HCERTSTORE extra_authorities(const std::string& file) {
  static std::mutex mutex;
  static auto* stores = new std::map<std::string, HCERTSTORE>();
  std::lock_guard lock(mutex);
  HCERTSTORE& store = (*stores)[file];
  if (store) return store;
  store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  std::FILE* in = _wfopen(utf8_to_wide(file).c_str(), L"rb");
  if (!in || !store) {
    if (in) std::fclose(in);
    return store;
  }
  std::string pem;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) pem.append(buf, n);
  std::fclose(in);
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  for (std::size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at + 1)) {
    const std::size_t end = pem.find(kEnd, at);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(at, end + kEnd.size() - at);
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
      continue;
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                             CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
      CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                       CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  }
  return store;
}

// Whether the server's certificate is good for `host`: it leads to an authority the system
// trusts, or to one of the extra ones.
bool certificate_accepted(PCCERT_CONTEXT cert, const std::wstring& host, HCERTSTORE extra) {
  // One check at a time: Wine's chain engine, set up by the first checks of many threads at
  // once, has failed them all. Only requests with an extra authority or a connect-to entry get
  // here.
  static std::mutex one_at_a_time;
  std::lock_guard lock(one_at_a_time);
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof chain_para;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, extra ? extra : cert->hCertStore,
                               &chain_para, 0, nullptr, &chain))
    return false;
  bool ours = false;
  if (extra && chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    PCCERT_CONTEXT candidate = nullptr;
    while ((candidate = CertEnumCertificatesInStore(extra, candidate)) != nullptr) {
      if (CertCompareCertificate(X509_ASN_ENCODING, root->pCertInfo, candidate->pCertInfo)) {
        ours = true;
        CertFreeCertificateContext(candidate);
        break;
      }
    }
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = ours ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
  ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  // The policy check alone lets a chain that ends short of any authority through (Wine's does):
  // the chain itself must be whole and trusted, by the system or as one of the extra authorities.
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  const bool trusted =
      errors == 0 || (ours && (errors & ~DWORD{CERT_TRUST_IS_UNTRUSTED_ROOT}) == 0);
  const bool ok =
      trusted && CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
      status.dwError == 0;
  CertFreeCertificateChain(chain);
  return ok;
}

bool is_certificate_error(DWORD error) {
  return error == ERROR_WINHTTP_SECURE_FAILURE || error == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID ||
         error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID ||
         error == ERROR_WINHTTP_SECURE_INVALID_CA || error == ERROR_WINHTTP_SECURE_INVALID_CERT ||
         error == ERROR_WINHTTP_SECURE_CERT_REVOKED ||
         error == ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE ||
         error == ERROR_WINHTTP_SECURE_CERT_REV_FAILED;
}

std::string error_text(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:
      return "the operation timed out";
    case WSAECONNREFUSED:
      return "the server refused the connection";
    case WSAECONNRESET:
      return "the connection was reset";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "could not connect to the server";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection was reset or closed";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "the server name could not be resolved";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "the server's answer could not be read";
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "the address is not a web address";
    default:
      break;
  }
  if (is_certificate_error(error)) return "the server's certificate was not accepted";
  return "WinHTTP error " + std::to_string(error);
}

// What the status callback reports about one request handle. Shared by the caller and the
// callback: a request the caller gave up on may still be reported on until its handle closes.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  int events = 0;  // completions so far
  bool failed = false;
  DWORD error = 0;
  DWORD available = 0;
  DWORD read = 0;
  bool connected = false;
  std::string body;  // what is sent: it must live as long as the handle
  std::vector<char> buffer = std::vector<char>(kReadChunk);  // where reads land
  std::atomic<int> refs{2};                                  // the caller's and the handle's
  void release() {
    if (refs.fetch_sub(1) == 1) delete this;
  }
};

void CALLBACK on_status(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  auto* exchange = reinterpret_cast<Exchange*>(context);
  if (!exchange) return;
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    exchange->release();
    return;
  }
  std::lock_guard lock(exchange->mutex);
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      exchange->connected = true;
      return;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      exchange->available = info ? *static_cast<DWORD*>(info) : 0;
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      exchange->read = length;
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      exchange->failed = true;
      exchange->error = info ? static_cast<DWORD>(static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError)
                             : ERROR_WINHTTP_INTERNAL_ERROR;
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      break;
    default:
      return;
  }
  ++exchange->events;
  exchange->changed.notify_all();
}

struct Target {
  bool secure = false;
  std::wstring host;  // as the address names it
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query
};

bool crack(const std::string& url, Target& target) {
  const std::wstring w = utf8_to_wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(w.c_str(), static_cast<DWORD>(w.size()), 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.path.empty()) target.path = L"/";
  return !target.host.empty();
}

// A Location value made absolute against the address it came from.
std::string resolve_location(const std::string& base, const std::string& location) {
  if (location.find("://") != std::string::npos) return location;
  const std::size_t scheme_end = base.find("://");
  if (scheme_end == std::string::npos) return location;
  if (location.rfind("//", 0) == 0) return base.substr(0, scheme_end + 1) + location;
  const std::size_t path_start = base.find('/', scheme_end + 3);
  const std::string origin = path_start == std::string::npos ? base : base.substr(0, path_start);
  if (!location.empty() && location.front() == '/') return origin + location;
  std::string dir = path_start == std::string::npos ? "/" : base.substr(path_start);
  dir = dir.substr(0, dir.find_first_of("?#"));
  dir = dir.substr(0, dir.rfind('/') + 1);
  return origin + dir + location;
}

class WinHttpRequest final : public RequestObjectBase {
 public:
  explicit WinHttpRequest(const TransportPolicy& policy) : RequestObjectBase(policy) {
    // No agent: the caller's User-Agent header, or none, goes out.
    session_ = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (session_)
      WinHttpSetStatusCallback(session_, &on_status, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
  }
  ~WinHttpRequest() override {
    if (session_) WinHttpCloseHandle(session_);
  }
  bool ok() const { return session_ != nullptr; }

  void set_request_header(const std::string& name, const std::string& value) override {
    // Proxy credentials travel in the tunnel's request, which WinHTTP makes from set_credentials.
    if (name.size() > 6 && same_nocase(name.substr(0, 6), "Proxy-")) return;
    headers_.push_back(name + ": " + value);
  }

 private:
  void clear_headers() override { headers_.clear(); }
  bool ready() override {
    if (session_) return true;
    report_.refused_locally = true;
    report_.error = "WinHTTP is not available";
    return false;
  }
  bool exchange(const std::string& url, const std::string& method, const std::string& body,
                std::string& location) override {
    location_.clear();
    const bool ok = exchange_once(url, method, body);
    if (ok && !location_.empty()) location = resolve_location(url, location_);
    return ok;
  }
  // The certificate errors WinHTTP is to pass over: the creator's policy, else the option.
  DWORD ignored_cert_errors() const {
    if (policy_.verify_certificates) return *policy_.verify_certificates ? 0 : kIgnoreAllCertErrors;
    return static_cast<DWORD>(ignore_cert_flags_ & kIgnoreAllCertErrors);
  }

  // The address to connect to for a host and port, after the connect-to entries.
  std::pair<std::wstring, INTERNET_PORT> connection_for(const Target& target) const {
    for (const std::string& entry : policy_.connect_to) {
      // HOST:PORT:ADDRESS:PORT, an empty HOST or PORT matching any.
      const std::size_t a = entry.find(':');
      const std::size_t b = a == std::string::npos ? a : entry.find(':', a + 1);
      const std::size_t c = b == std::string::npos ? b : entry.rfind(':');
      if (c == std::string::npos || c <= b) continue;
      const std::string host = entry.substr(0, a);
      const std::string port = entry.substr(a + 1, b - a - 1);
      if (!host.empty()) {
        std::wstring h = utf8_to_wide(host);
        if (h.size() != target.host.size() ||
            !std::equal(h.begin(), h.end(), target.host.begin(),
                        [](wchar_t x, wchar_t y) { return towlower(x) == towlower(y); }))
          continue;
      }
      if (!port.empty() && port != std::to_string(target.port)) continue;
      std::string address = entry.substr(b + 1, c - b - 1);
      if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
      const std::string to_port = entry.substr(c + 1);
      const INTERNET_PORT p =
          to_port.empty() ? target.port : static_cast<INTERNET_PORT>(std::stoi(to_port));
      return {address.empty() ? target.host : utf8_to_wide(address), p};
    }
    return {target.host, target.port};
  }

  // Waits for the next completion; false when the deadline passed or the creator cancelled.
  bool wait_for_event(Exchange& exchange, int seen) {
    std::unique_lock lock(exchange.mutex);
    for (;;) {
      if (exchange.events > seen) return !exchange.failed;
      if (must_stop()) return false;
      exchange.changed.wait_for(lock, std::chrono::milliseconds(50));
    }
  }

  // One request and its answer; false when it failed (report_ says why).
  bool exchange_once(const std::string& url, const std::string& method, const std::string& body) {
    Target target;
    if (!crack(url, target)) {
      report_.error = "the address is not a web address";
      return false;
    }
    const auto [connect_host, connect_port] = connection_for(target);
    const bool redirected_connection = connect_host != target.host;
    HINTERNET connection = WinHttpConnect(session_, connect_host.c_str(), connect_port, 0);
    if (!connection) {
      fail_with(GetLastError());
      return false;
    }
    const std::wstring verb = utf8_to_wide(method);
    HINTERNET request = WinHttpOpenRequest(connection, verb.c_str(), target.path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           target.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request) {
      fail_with(GetLastError());
      WinHttpCloseHandle(connection);
      return false;
    }
    auto* exchange = new Exchange();
    exchange->body = body;
    const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange);
    WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, const_cast<DWORD_PTR*>(&context),
                     sizeof context);
    const bool ok = run(request, *exchange, target, redirected_connection);
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    exchange->release();
    return ok;
  }

  bool run(HINTERNET request, Exchange& exchange, const Target& target, bool redirected) {
    DWORD features =
        WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_AUTHENTICATION;
    if (!server_user_.empty()) features &= ~static_cast<DWORD>(WINHTTP_DISABLE_AUTHENTICATION);
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    WinHttpSetTimeouts(request, resolve_ms_, connect_ms_, send_ms_, receive_ms_);
    DWORD header_timeout = static_cast<DWORD>(receive_ms_);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &header_timeout,
                     sizeof header_timeout);
    // Checked here, after the answer's headers, where WinHTTP cannot: an extra authority, or a
    // connection made to another address than the host's name.
    const DWORD ignored = ignored_cert_errors();
    const bool verifying = ignored == 0 && target.secure;
    HCERTSTORE extra = verifying && !policy_.extra_ca_file.empty()
                           ? extra_authorities(policy_.extra_ca_file)
                           : nullptr;
    const bool check_here = verifying && (extra || redirected);
    DWORD security = ignored;
    if (check_here)
      security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    if (target.secure && security)
      WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof security);
    if (!proxy_.empty()) {
      std::wstring server = utf8_to_wide(proxy_);
      WINHTTP_PROXY_INFO info{};
      info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
      info.lpszProxy = server.data();
      WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
      if (!proxy_user_.empty())
        WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                              utf8_to_wide(proxy_user_).c_str(),
                              utf8_to_wide(proxy_password_).c_str(), nullptr);
    }
    if (!server_user_.empty())
      WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                            utf8_to_wide(server_user_).c_str(),
                            utf8_to_wide(server_password_).c_str(), nullptr);
    if (redirected) {
      std::wstring host = L"Host: " + target.host;
      const INTERNET_PORT standard = target.secure ? 443 : 80;
      if (target.port != standard) host += L":" + std::to_wstring(target.port);
      WinHttpAddRequestHeaders(request, host.c_str(), static_cast<DWORD>(-1),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    for (const std::string& line : headers_) {
      const std::wstring w = utf8_to_wide(line);
      WinHttpAddRequestHeaders(request, w.c_str(), static_cast<DWORD>(w.size()),
                               WINHTTP_ADDREQ_FLAG_ADD);
    }

    int seen = 0;
    const DWORD size = static_cast<DWORD>(exchange.body.size());
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            size ? exchange.body.data() : WINHTTP_NO_REQUEST_DATA, size, size,
                            reinterpret_cast<DWORD_PTR>(&exchange)))
      return fail_with(GetLastError(), exchange);
    if (!wait_for_event(exchange, seen++)) return fail_with(exchange);
    if (!WinHttpReceiveResponse(request, nullptr)) return fail_with(GetLastError(), exchange);
    if (!wait_for_event(exchange, seen++)) return fail_with(exchange);
    report_.connected = true;
    if (check_here && !server_certificate_accepted(request, target, extra)) {
      report_.certificate_rejected = true;
      report_.error = "the server's certificate was not accepted";
      return false;
    }
    DWORD code = 0;
    DWORD code_size = sizeof code;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &code, &code_size, WINHTTP_NO_HEADER_INDEX);
    status_ = static_cast<int>(code);
    response_headers_ = raw_headers(request);
    location_.clear();
    DWORD location_size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, nullptr,
                        &location_size, WINHTTP_NO_HEADER_INDEX);
    if (location_size > 0) {
      std::wstring location(location_size / sizeof(wchar_t), L'\0');
      if (WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                              location.data(), &location_size, WINHTTP_NO_HEADER_INDEX)) {
        location.resize(location_size / sizeof(wchar_t));
        location_ = narrow_header(location);
      }
    }
    body_.clear();
    for (;;) {
      if (!WinHttpQueryDataAvailable(request, nullptr)) return fail_with(GetLastError(), exchange);
      if (!wait_for_event(exchange, seen++)) return fail_with(exchange);
      DWORD available;
      {
        std::lock_guard lock(exchange.mutex);
        available = exchange.available;
      }
      if (available == 0) break;
      if (!WinHttpReadData(request, exchange.buffer.data(), std::min(available, kReadChunk),
                           nullptr))
        return fail_with(GetLastError(), exchange);
      if (!wait_for_event(exchange, seen++)) return fail_with(exchange);
      DWORD read;
      {
        std::lock_guard lock(exchange.mutex);
        read = exchange.read;
      }
      if (read == 0) break;
      if (!add_body_bytes(exchange.buffer.data(), read)) {
        if (!too_large_) return fail_with(exchange);
        report_.error = too_large_text();
        return false;
      }
    }
    return true;
  }

  bool server_certificate_accepted(HINTERNET request, const Target& target, HCERTSTORE extra) {
    PCCERT_CONTEXT cert = nullptr;
    DWORD size = sizeof cert;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || !cert)
      return false;
    const bool ok = certificate_accepted(cert, target.host, extra);
    CertFreeCertificateContext(cert);
    return ok;
  }

  static std::string raw_headers(HINTERNET request) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (size == 0) return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             text.data(), &size, WINHTTP_NO_HEADER_INDEX))
      return {};
    text.resize(size / sizeof(wchar_t));
    std::string raw = narrow_header(text);
    // Without the status line and the blank line that ends the headers.
    const std::size_t first = raw.find("\r\n");
    raw = first == std::string::npos ? std::string() : raw.substr(first + 2);
    while (raw.size() >= 2 && raw.compare(raw.size() - 2, 2, "\r\n") == 0)
      raw.resize(raw.size() - 2);
    return raw;
  }

  bool fail_with(DWORD error) {
    // Wine reports a socket's time-out as the socket error.
    report_.timed_out =
        report_.timed_out || error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT;
    report_.certificate_rejected = is_certificate_error(error);
    // Headers beyond what WinHTTP takes are the answer's fault, as a body beyond the cap is.
    if (error == ERROR_WINHTTP_HEADER_SIZE_OVERFLOW) too_large_ = true;
    // Only what fails before any connection tells of this system.
    report_.refused_locally =
        !report_.connected &&
        (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ||
         error == ERROR_WINHTTP_OUT_OF_HANDLES || error == ERROR_NO_SYSTEM_RESOURCES ||
         error == WSAEMFILE || error == WSAENOBUFS);
    report_.error = error_text(error);
    return false;
  }
  bool fail_with(DWORD error, Exchange& exchange) {
    {
      std::lock_guard lock(exchange.mutex);
      report_.connected = report_.connected || exchange.connected;
    }
    return fail_with(error);
  }
  // After a wait that did not end in a completion: the deadline, a cancel, or the failure the
  // callback reported.
  bool fail_with(Exchange& exchange) {
    DWORD error = 0;
    {
      std::lock_guard lock(exchange.mutex);
      report_.connected = report_.connected || exchange.connected;
      error = exchange.failed ? exchange.error : 0;
    }
    if (cancelled_) {
      report_.error = "cancelled";
      return false;
    }
    if (timed_out_ && error == 0) {
      report_.timed_out = true;
      report_.error = "the whole request took longer than its time-out";
      return false;
    }
    return fail_with(error ? error : ERROR_WINHTTP_INTERNAL_ERROR);
  }

  HINTERNET session_ = nullptr;
  std::vector<std::string> headers_;
  std::string location_;  // the last answer's Location, as sent
};

}  // namespace

std::unique_ptr<RequestObject> create_request_object(const TransportPolicy& policy) {
  auto request = std::make_unique<WinHttpRequest>(policy);
  if (!request->ok()) return nullptr;
  return request;
}

}  // namespace quorvex
