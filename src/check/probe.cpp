#include "check/probe.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/text_ops.h"
#include "model/share_url.h"
#include "net/body_budget.h"
#include "net/header_collection.h"
#include "net/header_text.h"
#include "net/web_request.h"

namespace quorvex {

namespace {

// The request object every probe fetches with: verified TLS, the run's limits, and redirects
// followed only to addresses `may_follow` accepts (any other ends the fetch there).
std::shared_ptr<RequestObject> probe_object(const ProbeSettings& settings,
                                            const std::atomic<bool>& cancel,
                                            std::function<bool(std::string_view)> may_follow) {
  TransportPolicy policy;
  policy.cancel = &cancel;
  policy.verify_certificates = !settings.insecure;
  policy.extra_ca_file = settings.ca_file;
  policy.may_follow = std::move(may_follow);
  policy.connect_to = settings.connect_to;
  policy.overall_timeout = settings.timeout;
  policy.max_body_bytes = settings.max_page_bytes;
  policy.body_budget = &shared_body_budget();
  return create_request_object(policy);
}

// Sends `request` through `object` into a result that holds the object (and so its share of the
// body budget) as long as the result lives.
FetchResult fetch_with(std::shared_ptr<RequestObject> object, WebRequest& request,
                       const ProbeSettings& settings) {
  FetchResult result;
  if (!object) {
    result.transfer.error = "no request object could be made";
    result.transfer.refused_locally = true;
    return result;
  }
  request.request_object = object.get();
  request.status_code = &result.status;
  request.returned_headers = &result.headers;
  if (settings.timeout) {
    // Whole seconds for each phase, as web_request counts them; the overall end is exact.
    const auto ms = settings.timeout->count();
    request.timeout_seconds = static_cast<int>(std::max<long long>(1, (ms + 999) / 1000));
  }
  result.body = web_request(request);
  result.transfer = object->transfer_report();
  result.hold = std::move(object);
  return result;
}

// One GET on the share host with these header lines, over verified TLS, following redirects only
// on the share host.
FetchResult fetch_on_share_host(const std::string& url, std::string header_text,
                                const ProbeSettings& settings, const std::atomic<bool>& cancel) {
  // Only the share host is ever asked; a redirect anywhere else ends the fetch there.
  std::shared_ptr<RequestObject> object =
      probe_object(settings, cancel, [](std::string_view to) { return is_share_host_url(to); });
  WebRequest request;
  request.url = url;
  request.method = kMethodGet;
  request.extra_headers = &header_text;
  return fetch_with(std::move(object), request, settings);
}

}  // namespace

FetchResult fetch_share_page(const std::string& url, const ProbeSettings& settings,
                             const std::atomic<bool>& cancel) {
  HeaderCollection headers;
  headers.add("User-Agent", kProbeUserAgent);
  // web_request completes the rest: Accept, Referer (the page itself) and Accept-Language.
  return fetch_on_share_host(url, headers.to_header_text(), settings, cancel);
}

FetchResult fetch_share_list(const std::string& list_url, const std::string& share_url,
                             const ProbeSettings& settings, const std::atomic<bool>& cancel) {
  // The page request's headers in the page request's order, the share's page as the Referer, as
  // a browser on that page asks.
  HeaderCollection headers;
  headers.add("User-Agent", kProbeUserAgent);
  headers.add("Accept", "*/*");
  headers.add("Referer", share_url);
  headers.add("Accept-Language", "zh-cn");
  return fetch_on_share_host(list_url, headers.to_header_text(), settings, cancel);
}

FetchResult fetch_service_request(const ServiceModule& module, const ServiceRequest& request,
                                  const ProbeSettings& settings, const std::atomic<bool>& cancel) {
  // Nothing outside the service's hosts is ever asked, whatever a module might build.
  if (!is_service_url(module, request.url)) {
    FetchResult refused;
    refused.transfer.error = "not an address of the service";
    return refused;
  }
  std::shared_ptr<RequestObject> object = probe_object(
      settings, cancel, [&module](std::string_view to) { return is_service_url(module, to); });
  HeaderCollection headers;
  for (const auto& [name, value] : request.headers) headers.add(name, value);
  std::string header_text = headers.to_header_text();
  WebRequest web;
  web.url = request.url;
  web.method = request.method == "POST" ? kMethodPost : kMethodGet;
  web.extra_headers = &header_text;
  // The module's headers as it wrote them: the services' own pages send these and no others.
  web.complete_headers = false;
  web.normalize_header_names = false;
  if (!request.body.empty()) web.post_bytes = request.body;
  return fetch_with(std::move(object), web, settings);
}

namespace {

// An HTTP date, "Sun, 06 Nov 1994 08:49:37 GMT", read the same on every system (strptime and
// timegm are not everywhere).
std::optional<std::chrono::system_clock::time_point> http_date(const std::string& value) {
  static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const auto comma = value.find(", ");
  if (comma == std::string::npos) return std::nullopt;
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  char month[4] = {};
  char zone[4] = {};
  if (std::sscanf(value.c_str() + comma + 2, "%2d %3s %4d %2d:%2d:%2d %3s", &day, month, &year,
                  &hour, &minute, &second, zone) != 7 ||
      std::string_view(zone) != "GMT")
    return std::nullopt;
  const auto index = kMonths.find(month);
  if (std::strlen(month) != 3 || index == std::string_view::npos || index % 3 != 0)
    return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(index / 3 + 1)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
         std::chrono::seconds(second);
}

}  // namespace

std::optional<std::chrono::seconds> retry_after(const FetchResult& result) {
  for (const std::string_view line : split_keep_empty(result.headers, "\r\n")) {
    if (!equals_nocase(header_name_of(line), "Retry-After")) continue;
    const std::string value = header_value_of(line);
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos)
      return std::chrono::seconds(value.size() > 9 ? 999999999 : std::stol(value));
    if (const auto at = http_date(value)) {
      const auto now = std::chrono::system_clock::now();
      return std::chrono::duration_cast<std::chrono::seconds>(
          *at > now ? *at - now : std::chrono::system_clock::duration::zero());
    }
  }
  return std::nullopt;
}

}  // namespace quorvex
