// How a share of a netdisk other than Baidu is checked: one module per service, each saying which
// hosts it may talk to, the requests that check a share and what their answers mean. A module
// never fetches anything itself; the probe sends what it asks for (https only, to its hosts only,
// redirects only among them) and hands back what came.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/share_services.h"
#include "model/verdict.h"

namespace quorvex {

// One HTTP request a module asks for.
struct ServiceRequest {
  std::string method = "GET";  // GET or POST
  std::string url;             // https, on one of the module's hosts
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // a POST's JSON
  friend bool operator==(const ServiceRequest&, const ServiceRequest&) = default;
};

// What an answer says: a verdict with its reason, or the next request to send (the verdict
// then none). `throttled`: the service asks this client to slow down; the verdict is unknown
// and the pacer should back off before the share is tried again.
struct ServiceStep {
  Verdict verdict = Verdict::unknown;
  Reason reason = Reason::no_marker;
  bool throttled = false;
  std::vector<ServiceRequest> next;  // at most one
};

// The answer to a request: its HTTP status (0: none came) and body.
struct ServiceReply {
  int status = 0;
  std::string_view body;
};

class ServiceModule {
 public:
  virtual ~ServiceModule() = default;
  virtual ShareService service() const = 0;
  // Whether a request or a redirect of this service may reach `host` (lower case).
  virtual bool allows_host(std::string_view host) const = 0;
  // The first request that checks the share.
  virtual ServiceRequest first_request(const ServiceLink& link) const = 0;
  // What the reply to `request` says of the share.
  virtual ServiceStep judge(const ServiceLink& link, const ServiceRequest& request,
                            const ServiceReply& reply) const = 0;
};

// The module of a service; null for Baidu, which the page probe checks.
const ServiceModule* service_module(ShareService service);

// The User-Agent every module's requests send: a current desktop browser's, as the services'
// own pages send.
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36";

// Whether `url` is https on a host the module allows (no user name, no port, letter case aside).
bool is_service_url(const ServiceModule& module, std::string_view url);

}  // namespace quorvex
