// How a fetched share page becomes a verdict. The rules, first match wins:
//   1. no answer, a connection error, a time-out, a rejected certificate, HTTP 5xx, 429 or 403:
//      unknown, tried again where the failure may pass;
//   2. a redirect off the share host, or the service's security-check page: the service
//      throttles this client, so the row is queued again (unknown only if that persists);
//   3. a page that says the share is gone, or a final address under /error/404: invalid
//      (checked before the live phrases, since an expired page also shows "失效时间");
//   4. "此链接分享内容暂时不可访问": unknown for now;
//   5. a page that asks for the code or shows an expiry time, or a final address under
//      /share/init: valid;
//   6. anything else, an empty page included: unknown.
// The phrases are in one table, page_markers(); docs/verdicts.md lists them with their sources.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "check/probe.h"
#include "model/verdict.h"

namespace quorvex {

// What the run does with a row after a fetch.
enum class Outcome {
  decided,    // the verdict stands
  retry,      // a failure that may pass: fetch again after a while
  throttled,  // the service throttles this client: queue the row again after a cool-down
};

struct Judgement {
  RowVerdict verdict;  // what the row gets if it is not tried again
  Outcome outcome = Outcome::decided;
  // The answer is a sign of throttling (also an HTTP 429, which is retried).
  bool throttle_sign = false;
};

// One phrase of the share pages and what it means.
struct PageMarker {
  std::string_view text;  // UTF-8, as the page shows it
  Verdict verdict;
  Reason reason;
  Outcome outcome;
};

// In the order they are looked for.
std::span<const PageMarker> page_markers();

Judgement judge_fetch(const FetchResult& result);

}  // namespace quorvex
