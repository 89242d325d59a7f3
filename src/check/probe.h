// What one probe does for one row: fetch the share page with the probe's browser identity, over
// verified TLS, following redirects only on the share host.
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

#include "check/service_module.h"
#include "net/request_object.h"

namespace quorvex {

inline constexpr std::string_view kProbeUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/47.0.2526.80 Safari/537.36 Core/1.47.277.400 QQBrowser/9.4.7658.400";

// How probes fetch and how often they try.
struct ProbeSettings {
  // Further tries after a passing failure (network, time-out, 5xx, 429, 403), and how often a row
  // that meets the service's security check is queued again before it stays unknown.
  int retries = 2;
  // The wait before the first retry; each later one waits three times the one before (1 s, 3 s).
  std::chrono::milliseconds retry_delay{1000};
  // The longest wait a Retry-After header is granted.
  std::chrono::milliseconds retry_after_cap{60000};
  // The end of one request, redirects included; absent: 15 s for each phase of it.
  std::optional<std::chrono::milliseconds> timeout;
  // Certificates are checked unless this is set (for people behind intercepting proxies).
  bool insecure = false;
  // A PEM file of authorities to trust besides the system's.
  std::string ca_file;
  // "HOST:PORT:ADDRESS:PORT" entries, for a stand-in of the service (see TransportPolicy).
  std::vector<std::string> connect_to;
  // Real share pages are well under 1 MiB; an answer beyond this is no share page.
  std::size_t max_page_bytes = std::size_t{2} << 20;
};

// Everything a fetch found out.
struct FetchResult {
  int status = 0;       // of the last answer; 0 when none arrived
  std::string body;     // as received (the service sends UTF-8)
  std::string headers;  // the last answer's header lines
  RequestObject::TransferReport transfer;
  // Holds the share of the body budget that the body took until the result is gone.
  std::shared_ptr<void> hold;
};

// Fetches a share page. `cancel` ends a fetch under way early.
using PageFetcher =
    std::function<FetchResult(const std::string& url, const std::atomic<bool>& cancel)>;

// The real fetch: a GET through web_request with the probe's User-Agent, the desktop browser the
// share pages are served to, with the certificate checks and redirect limits above.
FetchResult fetch_share_page(const std::string& url, const ProbeSettings& settings,
                             const std::atomic<bool>& cancel);

// A GET of the share-list API (share_list.h) at list_url, with the page request's headers and the
// share's page `share_url` as its Referer, under the same limits.
FetchResult fetch_share_list(const std::string& list_url, const std::string& share_url,
                             const ProbeSettings& settings, const std::atomic<bool>& cancel);

// One request a share service's module asks for (service_module.h), over verified TLS under the
// same limits, its headers sent as the module gives them and nothing added; a redirect is followed
// only to a host the module allows.
FetchResult fetch_service_request(const ServiceModule& module, const ServiceRequest& request,
                                  const ProbeSettings& settings, const std::atomic<bool>& cancel);

// The wait a Retry-After header asks for (seconds, or an HTTP date); nullopt when there is none.
std::optional<std::chrono::seconds> retry_after(const FetchResult& result);

}  // namespace quorvex
