// The request object on libcurl. It sends exactly the headers it is given, in order (curl adds
// only Host and, for a body, Content-Length), speaks HTTP/1.1, and hands the body back as raw
// bytes.
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "net/request_object.h"
#include "net/web_request.h"

namespace quorvex {

namespace {

// A body beyond this is no share page: the request counts as failed rather than filling memory.
constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;

// TLS sessions and resolved addresses are shared between requests; neither changes what a
// request sends or receives, only how fast it connects.
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

SharedCaches& shared_caches() {
  // Never destroyed: detached probe threads may still use it while the program exits.
  static SharedCaches* caches = [] {
    // With CURLOPT_NOSIGNAL (needed with many threads) curl no longer shields the process from
    // SIGPIPE, and a server that closes early would kill it through a TLS write.
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return new SharedCaches();
  }();
  return *caches;
}

class CurlRequest final : public RequestObject {
 public:
  explicit CurlRequest(const TransportPolicy& policy) : curl_(curl_easy_init()), policy_(policy) {}
  ~CurlRequest() override {
    if (curl_) curl_easy_cleanup(curl_);
  }
  CurlRequest(const CurlRequest&) = delete;
  CurlRequest& operator=(const CurlRequest&) = delete;

  bool ok() const { return curl_ != nullptr; }

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    resolve_ms_ = resolve_ms;
    connect_ms_ = connect_ms;
    send_ms_ = send_ms;
    receive_ms_ = receive_ms;
  }
  void set_proxy(int setting, const std::string& server) override {
    proxy_ = setting == kProxyNamed ? server : std::string();
  }
  void open(const std::string& method, const std::string& url, bool) override {
    method_ = method;
    url_ = url;
    headers_.clear();
    proxy_headers_.clear();
  }
  void set_option(int index, long value) override {
    if (index == kOptionFollowRedirects) follow_redirects_ = value != 0;
    if (index == kOptionIgnoreCertErrors) ignore_cert_flags_ = value;
  }
  void set_credentials(const std::string& user, const std::string& password, int flags) override {
    if (flags == kCredentialsForProxy) {
      proxy_user_ = user;
      proxy_password_ = password;
    } else {
      server_user_ = user;
      server_password_ = password;
    }
  }
  void set_request_header(const std::string& name, const std::string& value) override {
    // curl drops a header given as "Name:"; "Name;" is its way to send one with an empty value.
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    const bool for_proxy = name.size() > 6 && strncasecmp(name.c_str(), "Proxy-", 6) == 0;
    (for_proxy ? proxy_headers_ : headers_).push_back(std::move(line));
  }
  void send_text(const std::string& body) override { perform(body); }
  void send_bytes(const std::string& body) override { perform(body); }
  std::string response_body() override { return body_; }
  std::string all_response_headers() override {
    std::string out;
    for (const std::string& line : response_headers_) {
      if (!out.empty()) out.append("\r\n");
      out.append(line);
    }
    return out;
  }
  int status() override { return status_; }

 private:
  bool has_header(const char* name) const {
    const std::size_t n = std::strlen(name);
    for (const std::string& h : headers_)
      if (h.size() > n && strncasecmp(h.c_str(), name, n) == 0 && (h[n] == ':' || h[n] == ';'))
        return true;
    return false;
  }

  void perform(const std::string& body) {
    body_.clear();
    response_headers_.clear();
    status_ = 0;
    too_large_ = false;
    if (!curl_) return;
    curl_easy_reset(curl_);
    CURL* c = curl_;
    curl_easy_setopt(c, CURLOPT_SHARE, shared_caches().get());
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, follow_redirects_ ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, (ignore_cert_flags_ & 0x2100) ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, (ignore_cert_flags_ & 0x1000) ? 0L : 2L);

    if (resolve_ms_ + connect_ms_ > 0)
      curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(resolve_ms_) + connect_ms_);
    // Per-phase limits alone let a server that trickles a byte now and then hold the thread for
    // ever; the whole request also ends once every phase's limit has been used up.
    const long long total =
        static_cast<long long>(resolve_ms_) + connect_ms_ + send_ms_ + receive_ms_;
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::min<long long>(total, 0x7fffffff)));
    // Without a proxy of the caller's, none: curl would otherwise take one from the environment.
    curl_easy_setopt(c, CURLOPT_PROXY, proxy_.c_str());
    if (!proxy_.empty()) {
      if (!proxy_user_.empty()) {
        curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxy_user_.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxy_password_.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
      }
    }
    if (!server_user_.empty()) {
      curl_easy_setopt(c, CURLOPT_USERNAME, server_user_.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, server_password_.c_str());
    }

    // The headers go out exactly as given; curl's own Accept, Expect and POST Content-Type would
    // add lines nobody asked for, so they are switched off unless given.
    std::vector<std::string> lines = headers_;
    if (!has_header("Accept")) lines.emplace_back("Accept:");
    if (!has_header("Expect")) lines.emplace_back("Expect:");
    if (!has_header("Content-Type")) lines.emplace_back("Content-Type:");
    curl_slist* list = nullptr;
    for (const std::string& line : lines) list = curl_slist_append(list, line.c_str());
    curl_slist* proxy_list = nullptr;
    for (const std::string& line : proxy_headers_)
      proxy_list = curl_slist_append(proxy_list, line.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(c, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, proxy_list);

    if (method_ == "GET" && body.empty()) {
      curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else if (method_ == "HEAD") {
      curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    } else {
      if (method_ == "POST" || !body.empty()) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
      }
      if (method_ != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method_.c_str());
    }

    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CurlRequest::on_body);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CurlRequest::on_header);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    last_progress_ = std::chrono::steady_clock::now();
    last_bytes_ = 0;
    connected_ = false;
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CurlRequest::on_progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);

    const CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_OK && !too_large_) {
      long code = 0;
      curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
      status_ = static_cast<int>(code);
    } else {
      body_.clear();
      response_headers_.clear();
      status_ = 0;
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, nullptr);
    curl_slist_free_all(list);
    curl_slist_free_all(proxy_list);
  }

  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self_ptr) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    const std::size_t n = size * count;
    if (self->body_.size() + n > kMaxBodyBytes) {
      self->too_large_ = true;
      return 0;  // makes curl stop with a write error
    }
    self->body_.append(data, n);
    return n;
  }

  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self_ptr) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    const std::size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // A status line starts the headers of a new response (after a redirect or an interim
    // answer); only the last response's headers are reported.
    if (line.rfind("HTTP/", 0) == 0) {
      self->response_headers_.clear();
      self->body_.clear();
    } else if (!line.empty()) {
      self->response_headers_.push_back(std::move(line));
    }
    return n;
  }

  static int on_progress(void* self_ptr, curl_off_t, curl_off_t now_down, curl_off_t,
                         curl_off_t now_up) {
    auto* self = static_cast<CurlRequest*>(self_ptr);
    if (self->policy_.cancel && self->policy_.cancel->load(std::memory_order_acquire)) return 1;
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
    return idle_limit > 0 && now - self->last_progress_ > std::chrono::milliseconds(idle_limit) ? 1
                                                                                                : 0;
  }

  CURL* curl_;
  TransportPolicy policy_;
  std::string method_ = "GET";
  std::string url_;
  // Until set_timeouts says otherwise: the platform object's own limits (resolve without limit,
  // connect 60 s, send and receive 30 s).
  int resolve_ms_ = 0, connect_ms_ = 60000, send_ms_ = 30000, receive_ms_ = 30000;
  std::string proxy_, proxy_user_, proxy_password_, server_user_, server_password_;
  bool follow_redirects_ = true;
  long ignore_cert_flags_ = 0;
  std::vector<std::string> headers_;
  std::vector<std::string> proxy_headers_;
  std::string body_;
  std::vector<std::string> response_headers_;
  int status_ = 0;
  bool too_large_ = false;
  std::chrono::steady_clock::time_point last_progress_;
  curl_off_t last_bytes_ = 0;
  bool connected_ = false;
};

}  // namespace

std::unique_ptr<RequestObject> create_request_object(const TransportPolicy& policy) {
  shared_caches();
  auto request = std::make_unique<CurlRequest>(policy);
  if (!request->ok()) return nullptr;
  return request;
}

}  // namespace quorvex
