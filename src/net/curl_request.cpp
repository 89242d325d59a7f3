// The request object on libcurl. It sends exactly the headers it is given, in order (curl adds
// only Host and, for a body, Content-Length), speaks HTTP/1.1, and hands the body back as raw
// bytes.
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/body_budget.h"
#include "net/request_object_base.h"

namespace quorvex {

namespace {

// TLS sessions and resolved addresses are shared between requests; neither changes what a
// request sends or receives, only how fast it connects. Requests that trust differently never
// share a TLS session: a resumed session skips the certificate check.
class SharedCaches {
 public:
  SharedCaches() : share_(curl_share_init()) {
    if (!share_) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  }
  CURLSH* get() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCaches*>(self)->mutexes_[index(data)].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedCaches*>(self)->mutexes_[index(data)].unlock();
  }
  static std::size_t index(curl_lock_data data) {
    return static_cast<std::size_t>(data) < kLocks ? static_cast<std::size_t>(data) : 0;
  }
  static constexpr std::size_t kLocks = CURL_LOCK_DATA_LAST;
  CURLSH* share_;
  std::mutex mutexes_[kLocks];
};

void init_once() {
  static const bool done = [] {
    // With CURLOPT_NOSIGNAL (needed with many threads) curl no longer shields the process from
    // SIGPIPE, and a server that closes early would kill it through a TLS write.
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

// The trust of one configuration: the system's authorities as curl would load them, plus an
// extra file. Built once and shared by every connection, instead of curl loading the system's
// bundle again for each request.
class TrustStore {
 public:
  explicit TrustStore(const std::string& extra_file) : store_(X509_STORE_new()) {
    if (!store_) return;
    CURL* probe = curl_easy_init();
    char* ca_file = nullptr;
    char* ca_path = nullptr;
    if (probe) {
      curl_easy_getinfo(probe, CURLINFO_CAINFO, &ca_file);
      curl_easy_getinfo(probe, CURLINFO_CAPATH, &ca_path);
    }
    // Curl's bundle file holds every authority of the system; the folder beside it only holds
    // the same ones again, looked up lazily, so it is read only when there is no file.
    if (ca_file) {
      X509_STORE_load_file(store_, ca_file);
    } else if (ca_path) {
      X509_STORE_load_path(store_, ca_path);
    } else {
      X509_STORE_set_default_paths(store_);
    }
    if (probe) curl_easy_cleanup(probe);
    if (!extra_file.empty()) extra_loaded_ = X509_STORE_load_file(store_, extra_file.c_str()) == 1;
    // OpenSSL fills a certificate's cached extensions the first time a check looks at them;
    // done here, before any connection shares the store, no two threads ever do it at once.
    STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(store_);
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i)
      if (X509* cert = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i)))
        X509_check_purpose(cert, -1, 0);
  }
  X509_STORE* get() const { return store_; }
  bool extra_loaded() const { return extra_loaded_; }

 private:
  X509_STORE* store_;
  bool extra_loaded_ = false;
};

// Per trust configuration ("" for requests that check nothing), never destroyed: requests of
// threads that outlive their owner may still use them while the program ends.
struct TrustContext {
  SharedCaches caches;
  std::unique_ptr<TrustStore> store;  // only where certificates are checked
};

TrustContext& trust_context(bool verify, const std::string& extra_file) {
  static std::mutex mutex;
  static auto* contexts = new std::map<std::string, TrustContext*>();
  const std::string key = verify ? "verify:" + extra_file : "";
  std::lock_guard lock(mutex);
  TrustContext*& context = (*contexts)[key];
  if (!context) {
    context = new TrustContext();
    if (verify) context->store = std::make_unique<TrustStore>(extra_file);
  }
  return *context;
}

CURLcode use_trust_store(CURL*, void* ssl_ctx, void* store) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(ssl_ctx), static_cast<X509_STORE*>(store));
  return CURLE_OK;
}

bool is_certificate_error(CURLcode rc) {
  return rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_ISSUER_ERROR ||
         rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH || rc == CURLE_SSL_INVALIDCERTSTATUS ||
         rc == CURLE_SSL_CACERT_BADFILE;
}

// The errors curl gives for an answer beyond its limits on headers.
bool is_answer_too_large(CURLcode rc) {
#if LIBCURL_VERSION_NUM >= 0x080600
  if (rc == CURLE_TOO_LARGE) return true;
#endif
  return rc == CURLE_OUT_OF_MEMORY || rc == CURLE_FILESIZE_EXCEEDED;
}

class CurlRequest final : public RequestObjectBase {
 public:
  explicit CurlRequest(const TransportPolicy& policy)
      : RequestObjectBase(policy), curl_(curl_easy_init()) {}
  ~CurlRequest() override {
    if (curl_) curl_easy_cleanup(curl_);
  }
  bool ok() const { return curl_ != nullptr; }

  void set_request_header(const std::string& name, const std::string& value) override {
    // curl drops a header given as "Name:"; "Name;" is its way to send one with an empty value.
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    const bool for_proxy = name.size() > 6 && strncasecmp(name.c_str(), "Proxy-", 6) == 0;
    (for_proxy ? proxy_headers_ : headers_).push_back(std::move(line));
  }

 private:
  void clear_headers() override {
    headers_.clear();
    proxy_headers_.clear();
  }
  bool ready() override {
    // The trust store is made here, before the request's clock starts: loading the system's
    // authorities the first time is no part of any one request's time.
    if (curl_) {
      trust_context(verify_peer() || verify_host(), policy_.extra_ca_file);
      return true;
    }
    report_.refused_locally = true;
    report_.error = "curl could not be started";
    return false;
  }
  bool has_header(const char* name) const {
    const std::size_t n = std::strlen(name);
    for (const std::string& h : headers_)
      if (h.size() > n && strncasecmp(h.c_str(), name, n) == 0 && (h[n] == ':' || h[n] == ';'))
        return true;
    return false;
  }

  // Whether certificates are checked: the creator's policy, else kOptionIgnoreCertErrors.
  bool verify_peer() const {
    return policy_.verify_certificates.value_or((ignore_cert_flags_ & 0x2100) == 0);
  }
  bool verify_host() const {
    return policy_.verify_certificates.value_or((ignore_cert_flags_ & 0x1000) == 0);
  }

  void set_method(CURL* c, const std::string& method, const std::string& body) {
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, nullptr);
    if (method == "GET" && body.empty()) {
      curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
      curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    } else {
      if (method == "POST" || !body.empty()) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
      }
      if (method != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
  }

  // How the connection is made and checked, and who may see the request.
  void set_transport(CURL* c) {
    const bool check_peer = verify_peer();
    const bool check_host = verify_host();
    TrustContext& trust = trust_context(check_peer || check_host, policy_.extra_ca_file);
    curl_easy_setopt(c, CURLOPT_SHARE, trust.caches.get());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    // The path goes out as written: curl would otherwise resolve "/s/1x/../../y" into "/y", a
    // request for an address nobody checked.
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, check_peer ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, check_host ? 2L : 0L);
    if (trust.store && trust.store->get()) {
      curl_easy_setopt(c, CURLOPT_CAINFO, nullptr);
      curl_easy_setopt(c, CURLOPT_CAPATH, nullptr);
      curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, &use_trust_store);
      curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, trust.store->get());
    }
    if (resolve_ms_ + connect_ms_ > 0)
      curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(resolve_ms_) + connect_ms_);
    // Without a proxy of the caller's, none: curl would otherwise take one from the environment.
    curl_easy_setopt(c, CURLOPT_PROXY, proxy_.c_str());
    if (!proxy_.empty() && !proxy_user_.empty()) {
      curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxy_user_.c_str());
      curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxy_password_.c_str());
      curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
    }
    if (!server_user_.empty()) {
      curl_easy_setopt(c, CURLOPT_USERNAME, server_user_.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, server_password_.c_str());
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CurlRequest::on_body);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CurlRequest::on_header);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CurlRequest::on_progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
  }

  // curl's lists for one exchange, freed with it.
  struct Lists {
    curl_slist* headers = nullptr;
    curl_slist* proxy_headers = nullptr;
    curl_slist* connect_to = nullptr;
    ~Lists() {
      curl_slist_free_all(headers);
      curl_slist_free_all(proxy_headers);
      curl_slist_free_all(connect_to);
    }
  };

  bool exchange(const std::string& url, const std::string& method, const std::string& body,
                std::string& location) override {
    CURL* c = curl_;
    curl_easy_reset(c);
    set_transport(c);
    Lists lists;
    for (const std::string& entry : policy_.connect_to)
      lists.connect_to = curl_slist_append(lists.connect_to, entry.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECT_TO, lists.connect_to);
    // The headers go out exactly as given; curl's own Accept, Expect and POST Content-Type would
    // add lines nobody asked for, so they are switched off unless given.
    std::vector<std::string> lines = headers_;
    if (!has_header("Accept")) lines.emplace_back("Accept:");
    if (!has_header("Expect")) lines.emplace_back("Expect:");
    if (!has_header("Content-Type")) lines.emplace_back("Content-Type:");
    for (const std::string& line : lines)
      lists.headers = curl_slist_append(lists.headers, line.c_str());
    for (const std::string& line : proxy_headers_)
      lists.proxy_headers = curl_slist_append(lists.proxy_headers, line.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, lists.headers);
    curl_easy_setopt(c, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, lists.proxy_headers);
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    set_method(c, method, body);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline_ - std::chrono::steady_clock::now())
                          .count();
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::clamp<long long>(left, 1, 0x7fffffff)));
    last_progress_ = std::chrono::steady_clock::now();
    last_bytes_ = 0;
    connected_ = idle_timed_out_ = false;
    header_lines_.clear();
    const CURLcode rc = curl_easy_perform(c);
    const bool ok = rc == CURLE_OK && !too_large_;
    report(rc, error);
    if (ok) {
      long code = 0;
      char* redirect = nullptr;
      curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
      curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &redirect);
      status_ = static_cast<int>(code);
      if (redirect) location = redirect;
      for (const std::string& line : header_lines_)
        response_headers_.append(response_headers_.empty() ? "" : "\r\n").append(line);
    }
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_CONNECT_TO, nullptr);
    return ok;
  }

  // What the exchange that ended with `rc` learned.
  void report(CURLcode rc, const char* error) {
    CURL* c = curl_;
    curl_off_t connect_time = 0;
    curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connect_time);
    char* effective = nullptr;
    curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective);
    report_.connected = connect_time > 0 || connected_;
    if (effective) report_.final_url = effective;
    // Once a server has answered, curl's "out of memory" means an answer beyond its limits (a
    // header line over 100 KiB, headers over 300 KiB): the answer's fault, not this system's.
    const bool answer_too_large =
        report_.connected && (is_answer_too_large(rc) ||
                              (rc == CURLE_RECV_ERROR &&
                               std::string_view(error).starts_with("Too large response headers")));
    report_.too_large = too_large_ || answer_too_large;
    report_.timed_out = rc == CURLE_OPERATION_TIMEDOUT || idle_timed_out_;
    report_.certificate_rejected = is_certificate_error(rc);
    long os_errno = 0;
    curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &os_errno);
    // Only what fails before any connection tells of this system: a descriptor, a buffer or
    // memory it would not give.
    report_.refused_locally =
        !report_.connected &&
        (rc == CURLE_OUT_OF_MEMORY || rc == CURLE_FAILED_INIT ||
         (rc != CURLE_OK && (os_errno == EMFILE || os_errno == ENFILE || os_errno == ENOBUFS ||
                             os_errno == ENOMEM || os_errno == EAGAIN)));
    if (rc == CURLE_OK && !too_large_) return;
    report_.error = too_large_         ? too_large_text()
                    : answer_too_large ? "the answer's headers are larger than they may be"
                    : cancelled_       ? "cancelled"
                    : idle_timed_out_ || timed_out_ ? "no data within the receive time-out"
                    : error[0]                      ? error
                                                    : curl_easy_strerror(rc);
  }

  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self_ptr) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    const std::size_t n = size * count;
    // Anything short of n makes curl stop with a write error.
    return self->add_body_bytes(data, n) ? n : 0;
  }

  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self_ptr) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    const std::size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // A status line starts the headers of a new response (after an interim answer); only the
    // last response's headers are reported.
    if (line.rfind("HTTP/", 0) == 0) {
      self->header_lines_.clear();
      self->body_.clear();
    } else if (!line.empty()) {
      self->header_lines_.push_back(std::move(line));
    }
    return n;
  }

  static int on_progress(void* self_ptr, curl_off_t, curl_off_t now_down, curl_off_t,
                         curl_off_t now_up) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    if (self->cancel_requested()) {
      self->cancelled_ = true;
      return 1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!self->connected_) {
      // Resolving and connecting have their own limit; the idle clock starts once connected.
      curl_off_t connect_time = 0;
      curl_easy_getinfo(self->curl_, CURLINFO_CONNECT_TIME_T, &connect_time);
      if (connect_time <= 0) return 0;
      self->connected_ = true;
      self->last_progress_ = now;
    }
    const curl_off_t moved = now_down + now_up;
    if (moved != self->last_bytes_) {
      self->last_bytes_ = moved;
      self->last_progress_ = now;
      return 0;
    }
    // A server that sends nothing for the receive timeout has given up on the request.
    const int idle_limit = std::max(self->send_ms_, self->receive_ms_);
    if (idle_limit > 0 && now - self->last_progress_ > std::chrono::milliseconds(idle_limit)) {
      self->idle_timed_out_ = true;
      return 1;
    }
    return 0;
  }

  CURL* curl_;
  std::vector<std::string> headers_;
  std::vector<std::string> proxy_headers_;
  std::vector<std::string> header_lines_;
  bool idle_timed_out_ = false;
  std::chrono::steady_clock::time_point last_progress_;
  curl_off_t last_bytes_ = 0;
  bool connected_ = false;
};

}  // namespace

std::unique_ptr<RequestObject> create_request_object(const TransportPolicy& policy) {
  init_once();
  auto request = std::make_unique<CurlRequest>(policy);
  if (!request->ok()) return nullptr;
  return request;
}

}  // namespace quorvex
