// What one probe does for one row: fetch the share page with the probe's browser identity and
// decide from its text whether the share is alive.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace quorvex {

inline constexpr std::string_view kProbeUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/47.0.2526.80 Safari/537.36 Core/1.47.277.400 QQBrowser/9.4.7658.400";

// Fetches a share page: the page text in GBK, empty when nothing arrived. `cancel` ends a fetch
// under way early.
using PageFetcher =
    std::function<std::string(const std::string& url, const std::atomic<bool>& cancel)>;

// The real fetch: a GET with the probe's User-Agent through web_request, the body converted from
// UTF-8 to GBK and cut at its first NUL byte.
std::string fetch_share_page(const std::string& url, const std::atomic<bool>& cancel);

// Whether a page's text belongs to a live share: it asks for the extraction code
// ("请输入提取码") or shows an expiry time ("失效时间"), ASCII letters compared without case.
bool page_is_live(std::string_view page);

}  // namespace quorvex
