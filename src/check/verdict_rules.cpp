#include "check/verdict_rules.h"

#include <array>
#include <optional>

#include "check/page_reading.h"
#include "check/share_list.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

using Place = MarkerPlace;

// The groups of rules 2 to 5, in order. Sources are in docs/verdicts.md.
constexpr std::array<PageMarker, 21> kMarkers = {{
    // 2. The security check that stands in front of every page while the service throttles.
    // The code page itself carries a hidden picture-code row ("验证码"), so neither that word
    // nor "安全验证" alone is any sign.
    {"百度安全验证", Verdict::unknown, Reason::verify, Outcome::throttled, Place::title_is},
    {"请求过于频繁", Verdict::unknown, Reason::verify, Outcome::throttled},
    {"访问过于频繁", Verdict::unknown, Reason::verify, Outcome::throttled},
    // 3. Gone for good; the specific texts before the general ones that share their pages.
    {"分享的文件已经被删除", Verdict::invalid, Reason::deleted, Outcome::decided},
    {"分享的文件已经被取消", Verdict::invalid, Reason::cancelled, Outcome::decided},
    {"已过期", Verdict::invalid, Reason::expired, Outcome::decided},
    {"此链接分享内容可能因为涉及侵权", Verdict::invalid, Reason::blocked, Outcome::decided},
    {"链接已被冻结", Verdict::invalid, Reason::frozen, Outcome::decided},
    {"页面不存在", Verdict::invalid, Reason::not_found, Outcome::decided},
    {"由于访问次数过多，该分享链接已失效", Verdict::invalid, Reason::overused, Outcome::decided},
    {"链接错误没找到文件", Verdict::invalid, Reason::not_found, Outcome::decided},
    {"啊哦，链接出错了", Verdict::invalid, Reason::not_found, Outcome::decided},
    {"已失效", Verdict::invalid, Reason::not_found, Outcome::decided},
    {"链接不存在", Verdict::invalid, Reason::not_found, Outcome::decided},
    // 4. Not now.
    {"此链接分享内容暂时不可访问", Verdict::unknown, Reason::temporary, Outcome::decided},
    // 5. Alive: the page that asks for the code and the one that shows when a share expires, then
    // the other wordings of today's pages.
    {"请输入提取码", Verdict::valid, Reason::need_code, Outcome::decided},
    {"输入提取", Verdict::valid, Reason::need_code, Outcome::decided},
    {"失效时间", Verdict::valid, Reason::public_share, Outcome::decided},
    {"过期时间", Verdict::valid, Reason::public_share, Outcome::decided},
    {"永久有效", Verdict::valid, Reason::public_share, Outcome::decided},
    {"分享无限制", Verdict::valid, Reason::public_share, Outcome::decided, Place::title},
}};

// The API's errnos. Sources are in docs/verdicts.md.
constexpr std::array<ListErrno, 15> kErrnos = {{
    // The share exists and asks for its code.
    {-9, Verdict::valid, Reason::need_code, Outcome::decided},
    {-12, Verdict::valid, Reason::need_code, Outcome::decided},
    {-3, Verdict::valid, Reason::need_code, Outcome::decided},
    // Gone.
    {-7, Verdict::invalid, Reason::deleted, Outcome::decided},
    {-8, Verdict::invalid, Reason::expired, Outcome::decided},
    {105, Verdict::invalid, Reason::not_found, Outcome::decided},
    {115, Verdict::invalid, Reason::forbidden, Outcome::decided},
    {117, Verdict::invalid, Reason::expired, Outcome::decided},
    {140, Verdict::invalid, Reason::not_found, Outcome::decided},
    {145, Verdict::invalid, Reason::deleted, Outcome::decided},
    // The service wants a picture code or finds the requests too frequent.
    {-62, Verdict::unknown, Reason::verify, Outcome::throttled},
    {-64, Verdict::unknown, Reason::verify, Outcome::throttled},
    {-65, Verdict::unknown, Reason::verify, Outcome::throttled},
    {-19, Verdict::unknown, Reason::verify, Outcome::throttled},
    {-20, Verdict::unknown, Reason::verify, Outcome::throttled},
}};

Judgement unknown(Reason reason, Outcome outcome, bool throttle_sign = false) {
  return {{Verdict::unknown, reason}, outcome, throttle_sign};
}

// Rule 1: the fetch failed or the service failed to answer.
std::optional<Judgement> judge_failure(const FetchResult& r) {
  const auto& t = r.transfer;
  if (t.too_large) return unknown(Reason::too_large, Outcome::decided);
  if (t.certificate_rejected) return unknown(Reason::tls, Outcome::decided);
  if (t.timed_out) return unknown(Reason::timeout, Outcome::retry);
  if (r.status == 0) return unknown(Reason::network, Outcome::retry);
  if (r.status == 429) return unknown(Reason::http_429, Outcome::retry, true);
  if (r.status == 403) return unknown(Reason::http_403, Outcome::retry);
  if (r.status == 503) return unknown(Reason::http_503, Outcome::retry);
  if (r.status >= 500 && r.status <= 599) return unknown(Reason::http_5xx, Outcome::retry);
  return std::nullopt;
}

bool path_under(std::string_view url, std::string_view prefix) {
  return url_path(url).rfind(prefix, 0) == 0;
}

bool marker_on(const VisiblePage& page, const PageMarker& m) {
  switch (m.place) {
    case Place::title_is:
      return page.title == m.text;
    case Place::title:
      return page.title.find(m.text) != std::string::npos;
    case Place::seen:
      break;
  }
  // UTF-8 needs no care for character starts: no character's bytes begin inside another's.
  return page.title.find(m.text) != std::string::npos ||
         page.text.find(m.text) != std::string::npos;
}

// The first marker of one group (markers with this verdict and outcome) found in the page.
std::optional<Judgement> find_marker(const VisiblePage& page, Verdict verdict, Outcome outcome) {
  for (const PageMarker& m : kMarkers) {
    if (m.verdict != verdict || m.outcome != outcome) continue;
    if (marker_on(page, m))
      return Judgement{{m.verdict, m.reason}, m.outcome, m.outcome == Outcome::throttled};
  }
  return std::nullopt;
}

}  // namespace

std::span<const PageMarker> page_markers() { return kMarkers; }
std::span<const ListErrno> list_errnos() { return kErrnos; }

Judgement judge_fetch(const FetchResult& result) {
  if (const std::optional<Judgement> failed = judge_failure(result)) return *failed;
  if (!result.transfer.refused_redirect.empty())
    return unknown(Reason::redirect, Outcome::throttled, true);
  const VisiblePage page = read_page(result);
  if (auto j = find_marker(page, Verdict::unknown, Outcome::throttled)) return *j;
  if (auto j = find_marker(page, Verdict::invalid, Outcome::decided)) return *j;
  const std::string& final_url = result.transfer.final_url;
  if (path_under(final_url, "/error/404"))
    return {{Verdict::invalid, Reason::not_found}, Outcome::decided, false};
  if (auto j = find_marker(page, Verdict::unknown, Outcome::decided)) return *j;
  // Where the service sends the browser to type the code in.
  if (path_under(final_url, "/share/init"))
    return {{Verdict::valid, Reason::need_code}, Outcome::decided, false};
  if (auto j = find_marker(page, Verdict::valid, Outcome::decided)) return *j;
  return unknown(Reason::no_marker, Outcome::decided);
}

bool page_said_nothing(const Judgement& judgement) {
  return judgement.outcome == Outcome::decided && judgement.verdict.reason == Reason::no_marker;
}

Judgement judge_service_answer(const ServiceModule& module, const ServiceLink& link,
                               const ServiceRequest& request, const FetchResult& result,
                               std::vector<ServiceRequest>& next) {
  next.clear();
  Judgement j;
  j.source = VerdictSource::api;
  if (!result.transfer.refused_redirect.empty()) {
    j.verdict = {Verdict::unknown, Reason::redirect};
    j.outcome = Outcome::retry;
    return j;
  }
  ServiceStep step = module.judge(link, request, {result.status, result.body});
  if (!step.next.empty()) {
    next = std::move(step.next);
    j.verdict = {Verdict::none, Reason::none};
    return j;
  }
  if (step.throttled || result.status == 429) {
    j.verdict = {Verdict::unknown, result.status == 429 ? Reason::http_429 : Reason::verify};
    j.outcome = Outcome::throttled;
    j.throttle_sign = true;
    return j;
  }
  if (step.verdict != Verdict::unknown) {
    j.verdict = {step.verdict, step.reason};
    return j;
  }
  if (const std::optional<Judgement> failed = judge_failure(result)) {
    j = *failed;
    j.source = VerdictSource::api;
    return j;
  }
  j.verdict = {Verdict::unknown, step.reason};
  return j;
}

Judgement judge_share_list(const FetchResult& result) {
  Judgement j = unknown(Reason::no_marker, Outcome::decided);
  const auto& t = result.transfer;
  // A redirect off the share host and an HTTP 429 are throttling wherever they come from.
  if (!t.refused_redirect.empty()) {
    j = unknown(Reason::redirect, Outcome::throttled, true);
  } else if (result.status == 429) {
    j = unknown(Reason::http_429, Outcome::throttled, true);
  } else if (t.too_large || t.certificate_rejected || t.timed_out || result.status == 0) {
    return j;
  } else if (const std::optional<ShareListAnswer> answer = read_share_list_answer(result.body)) {
    if (!answer->errno_value) return j;
    const long long number = *answer->errno_value;
    if (number == 0) {
      // A share whose list is not there at all says nothing of its files.
      if (!answer->list_empty) return j;
      j = *answer->list_empty
              ? Judgement{{Verdict::invalid, Reason::empty_share}, Outcome::decided, false}
              : Judgement{{Verdict::valid, Reason::public_share}, Outcome::decided, false};
    } else {
      const ListErrno* known = nullptr;
      for (const ListErrno& e : kErrnos)
        if (e.number == number) known = &e;
      if (!known) return j;
      j = {{known->verdict, known->reason}, known->outcome, known->outcome == Outcome::throttled};
    }
  } else {
    // No JSON: the security check in front of the API too, or nothing at all.
    const std::optional<Judgement> check =
        find_marker(read_page(result), Verdict::unknown, Outcome::throttled);
    if (!check) return j;
    j = *check;
  }
  j.source = VerdictSource::api;
  return j;
}

}  // namespace quorvex
