#include "check/probe.h"

#include "base/charset.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "net/header_collection.h"
#include "net/web_request.h"

namespace quorvex {

bool page_is_live(std::string_view page) {
  return find_aligned_nocase(page, gbk::kAskForCode) != std::string_view::npos ||
         find_aligned_nocase(page, gbk::kExpiryTime) != std::string_view::npos;
}

std::string fetch_share_page(const std::string& url, const std::atomic<bool>& cancel) {
  HeaderCollection headers;
  headers.add("User-Agent", kProbeUserAgent);
  std::string header_text = headers.to_header_text();
  TransportPolicy policy;
  policy.cancel = &cancel;
  const std::unique_ptr<RequestObject> object = create_request_object(policy);
  if (!object) return {};
  WebRequest request;
  request.url = url;
  request.method = kMethodGet;
  request.extra_headers = &header_text;
  request.request_object = object.get();
  const std::string body = web_request(request);
  std::string page = convert_charset(body);
  const auto nul = page.find('\0');
  if (nul != std::string::npos) page.resize(nul);
  return page;
}

}  // namespace quorvex
