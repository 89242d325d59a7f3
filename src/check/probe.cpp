#include "check/probe.h"

#include <ctime>

#include "base/charset.h"
#include "base/text_ops.h"
#include "model/share_url.h"
#include "net/body_budget.h"
#include "net/header_collection.h"
#include "net/header_text.h"
#include "net/web_request.h"

namespace quorvex {

FetchResult fetch_share_page(const std::string& url, const ProbeSettings& settings,
                             const std::atomic<bool>& cancel) {
  FetchResult result;
  HeaderCollection headers;
  headers.add("User-Agent", kProbeUserAgent);
  std::string header_text = headers.to_header_text();

  TransportPolicy policy;
  policy.cancel = &cancel;
  policy.verify_certificates = !settings.insecure;
  policy.extra_ca_file = settings.ca_file;
  // Only the share host is ever asked; a redirect anywhere else ends the fetch there.
  policy.may_follow = [](std::string_view to) { return is_share_host_url(to); };
  policy.connect_to = settings.connect_to;
  policy.overall_timeout = settings.timeout;
  policy.max_body_bytes = settings.max_page_bytes;
  policy.body_budget = &shared_body_budget();
  std::shared_ptr<RequestObject> object = create_request_object(policy);
  if (!object) {
    result.transfer.error = "no request object could be made";
    result.transfer.refused_locally = true;
    return result;
  }

  WebRequest request;
  request.url = url;
  request.method = kMethodGet;
  request.extra_headers = &header_text;
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

std::string page_text(const FetchResult& result) {
  std::string page = convert_charset(result.body);
  const auto nul = page.find('\0');
  if (nul != std::string::npos) page.resize(nul);
  return page;
}

std::optional<std::chrono::seconds> retry_after(const FetchResult& result) {
  for (const std::string_view line : split_keep_empty(result.headers, "\r\n")) {
    if (!equals_nocase(header_name_of(line), "Retry-After")) continue;
    const std::string value = header_value_of(line);
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos)
      return std::chrono::seconds(value.size() > 9 ? 999999999 : std::stol(value));
    // An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
    std::tm when{};
    if (strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &when)) {
      const std::time_t at = timegm(&when);
      const std::time_t now = std::time(nullptr);
      return std::chrono::seconds(at > now ? at - now : 0);
    }
  }
  return std::nullopt;
}

}  // namespace quorvex
