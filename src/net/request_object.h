// The HTTP request object that web_request drives: one call per step of a request, in the order
// web_request makes them. The real one is built on libcurl; tests pass a recording fake.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

class BodyBudget;

// Request methods by the index web_request takes.
enum RequestMethod : int {
  kMethodGet = 0,
  kMethodPost = 1,
  kMethodHead = 2,
  kMethodPut = 3,
  kMethodOptions = 4,
  kMethodDelete = 5,
  kMethodTrace = 6,
  kMethodConnect = 7,
};

// Options of the request object, by their index.
enum RequestOption : int {
  kOptionIgnoreCertErrors = 4,  // value: which certificate errors to ignore
  kOptionFollowRedirects = 6,   // value: 0 switches following off
};
// Every certificate error: unknown authority, wrong usage, wrong name, expired.
inline constexpr long kIgnoreAllCertErrors = 0x3300;

// set_proxy's setting that names a proxy server.
inline constexpr int kProxyNamed = 2;
// set_credentials' flag for credentials that go to the proxy.
inline constexpr int kCredentialsForProxy = 1;

class RequestObject {
 public:
  virtual ~RequestObject() = default;
  // Resolve, connect, send and receive timeouts in milliseconds.
  virtual void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
  // kProxyNamed: use the named proxy server.
  virtual void set_proxy(int setting, const std::string& server) = 0;
  virtual void open(const std::string& method, const std::string& url, bool async) = 0;
  // A RequestOption and its value.
  virtual void set_option(int index, long value) = 0;
  // flags kCredentialsForProxy: the credentials are for the proxy.
  virtual void set_credentials(const std::string& user, const std::string& password, int flags) = 0;
  virtual void set_request_header(const std::string& name, const std::string& value) = 0;
  // Sends the request with a text body or a binary body; returns when the whole response has
  // arrived or the request has failed.
  virtual void send_text(const std::string& body) = 0;
  virtual void send_bytes(const std::string& body) = 0;
  virtual std::string response_body() = 0;
  // The body, handed over: the object keeps no copy of it.
  virtual std::string take_response_body() { return response_body(); }
  // One "name: value" a line, CR LF between lines; empty when nothing was received.
  virtual std::string all_response_headers() = 0;
  virtual int status() = 0;

  // What the last request learned beyond its body, headers and status.
  struct TransferReport {
    bool connected = false;             // a connection to the server was made
    bool timed_out = false;             // a time limit ended the request
    bool certificate_rejected = false;  // the server's certificate was not accepted
    bool too_large = false;             // the body went over the cap
    bool cancelled = false;             // the creator's cancel flag ended it
    // This system, not the network, refused what the request needed (a descriptor, a thread,
    // memory): nothing was learned about the server.
    bool refused_locally = false;
    int requests = 0;              // requests sent, redirects followed included
    std::string final_url;         // the address of the last answer
    std::string refused_redirect;  // a redirect that was not followed, as the server sent it
    std::string error;             // the transport's words for a failure; empty when none
  };
  virtual TransferReport transfer_report() const { return {}; }
};

// What the creator of a request object decides for all its requests, beyond what web_request sets
// per request.
struct TransportPolicy {
  // When it becomes true, a request under way stops soon and fails.
  const std::atomic<bool>* cancel = nullptr;
  // When set, certificates are checked (true) or not (false) whatever kOptionIgnoreCertErrors
  // says.
  std::optional<bool> verify_certificates;
  // A PEM file of authorities to trust besides the system's.
  std::string extra_ca_file;
  // When set, a redirect is followed only to an address it accepts; any other ends the request
  // there, with the redirect as its answer.
  std::function<bool(std::string_view url)> may_follow;
  // "HOST:PORT:ADDRESS:PORT" entries: connections for HOST:PORT are made to ADDRESS:PORT instead,
  // while the request, its Host and the certificate check stay those of HOST.
  std::vector<std::string> connect_to;
  // An end for the whole request, redirects included; absent: the sum of the phase time-outs.
  std::optional<std::chrono::milliseconds> overall_timeout;
  // A body beyond this fails the request.
  std::size_t max_body_bytes = std::size_t{64} << 20;
  // When set, a body beyond `free_body_bytes` is held only with a lease of this budget (twice
  // max_body_bytes: the body and one copy of it made while reading it); the wait for a lease
  // counts against the request's time. The lease is held until the object makes its next
  // request or is destroyed.
  BodyBudget* body_budget = nullptr;
  std::size_t free_body_bytes = std::size_t{512} << 10;
};

// Creates the real request object; nullptr when one cannot be had.
std::unique_ptr<RequestObject> create_request_object(const TransportPolicy& policy = {});

}  // namespace quorvex
