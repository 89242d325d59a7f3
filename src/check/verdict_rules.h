// How a fetched share page becomes a verdict. The rules, first match wins:
//   1. no answer, a connection error, a time-out, a rejected certificate, HTTP 5xx, 429 or 403:
//      unknown, tried again where the failure may pass;
//   2. the service's security check, known by its structure: a redirect off the share host, the
//      title "百度安全验证", or a notice that requests come too often. The service throttles this
//      client, so the row is queued again (unknown only if that persists);
//   3. a page that says the share is gone, or a final address under /error/404: invalid
//      (checked before the live phrases, since an expired page also shows "失效时间");
//   4. "此链接分享内容暂时不可访问": unknown for now;
//   5. a page that asks for the code or shows an expiry time, or a final address under
//      /share/init: valid;
//   6. anything else, an empty page included: unknown (`no_marker`); the probe then asks the
//      share-list API for a second opinion (judge_share_list).
// Phrases are looked for only in what a person sees of the page (page_reading.h): its title and
// its visible text, never inside scripts, styles or comments. They are in one table,
// page_markers(); docs/verdicts.md lists them with their sources.
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
  VerdictSource source = VerdictSource::page;
};

// Where a phrase counts.
enum class MarkerPlace {
  seen,      // in the title or the visible text
  title,     // in the title only
  title_is,  // the whole title (user file names stand in titles too, so nothing less)
};

// One phrase of the share pages and what it means.
struct PageMarker {
  std::string_view text;  // UTF-8, as the page shows it
  Verdict verdict;
  Reason reason;
  Outcome outcome;
  MarkerPlace place = MarkerPlace::seen;
};

// In the order they are looked for.
std::span<const PageMarker> page_markers();

Judgement judge_fetch(const FetchResult& result);

// Whether a judgement of the page is the page saying nothing known (rule 6), so that the
// share-list API is worth asking.
bool page_said_nothing(const Judgement& judgement);

// What the answer to a request of another service's module comes to: the module's verdict when
// it decides (a verdict other than unknown) or sees throttling (an HTTP 429 too); else a failure
// that may pass (no answer, a time-out, HTTP 5xx or 403, a redirect off its hosts) is tried
// again as a page's is; else unknown with the module's reason. When the module asks for another
// request it goes to `next` and the verdict is none.
Judgement judge_service_answer(const ServiceModule& module, const ServiceLink& link,
                               const ServiceRequest& request, const FetchResult& result,
                               std::vector<ServiceRequest>& next);

// One errno of the share-list API and what it means.
struct ListErrno {
  long long number;
  Verdict verdict;
  Reason reason;
  Outcome outcome;
};
// Every errno the share-list API answers with that means something; others mean nothing.
std::span<const ListErrno> list_errnos();

// The share-list API's answer (share_list.h): its errno decides, 0 by whether the list holds
// files. A failed request, an answer that is no JSON object or an errno not in list_errnos() says
// nothing (unknown, `no_marker`); the security check and an HTTP 429 are throttling.
Judgement judge_share_list(const FetchResult& result);

}  // namespace quorvex
