#include "check/verdict_rules.h"

#include <array>
#include <vector>

#include "base/charset.h"
#include "base/text_ops.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

// The groups of rules 2 to 5, in order. Sources are in docs/verdicts.md.
constexpr std::array<PageMarker, 16> kMarkers = {{
    // 2. The security check that stands in front of every page while the service throttles.
    {"百度安全验证", Verdict::unknown, Reason::verify, Outcome::throttled},
    {"安全验证", Verdict::unknown, Reason::verify, Outcome::throttled},
    {"验证码", Verdict::unknown, Reason::verify, Outcome::throttled},
    {"请求过于频繁", Verdict::unknown, Reason::verify, Outcome::throttled},
    // 3. Gone for good.
    {"分享的文件已经被删除", Verdict::invalid, Reason::deleted, Outcome::decided},
    {"分享的文件已经被取消", Verdict::invalid, Reason::cancelled, Outcome::decided},
    {"已过期", Verdict::invalid, Reason::expired, Outcome::decided},
    {"此链接分享内容可能因为涉及侵权", Verdict::invalid, Reason::blocked, Outcome::decided},
    {"链接已被冻结", Verdict::invalid, Reason::frozen, Outcome::decided},
    {"页面不存在", Verdict::invalid, Reason::not_found, Outcome::decided},
    {"由于访问次数过多，该分享链接已失效", Verdict::invalid, Reason::overused, Outcome::decided},
    // 4. Not now.
    {"此链接分享内容暂时不可访问", Verdict::unknown, Reason::temporary, Outcome::decided},
    // 5. Alive: the original's two phrases, then today's page of a public share.
    {"请输入提取码", Verdict::valid, Reason::need_code, Outcome::decided},
    {"失效时间", Verdict::valid, Reason::public_share, Outcome::decided},
    {"过期时间", Verdict::valid, Reason::public_share, Outcome::decided},
    {"永久有效", Verdict::valid, Reason::public_share, Outcome::decided},
}};

// The markers in the program's code page, made once.
const std::vector<std::string>& markers_gbk() {
  static const std::vector<std::string> kGbk = [] {
    std::vector<std::string> out;
    for (const PageMarker& m : kMarkers) out.push_back(utf8_to_gbk(m.text));
    return out;
  }();
  return kGbk;
}

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

// The first marker of one group (markers with this verdict and outcome) found in the page.
std::optional<Judgement> find_marker(std::string_view page, Verdict verdict, Outcome outcome) {
  const std::vector<std::string>& gbk = markers_gbk();
  for (std::size_t i = 0; i < kMarkers.size(); ++i) {
    const PageMarker& m = kMarkers[i];
    if (m.verdict != verdict || m.outcome != outcome) continue;
    if (find_aligned_nocase(page, gbk[i]) != std::string_view::npos)
      return Judgement{{m.verdict, m.reason}, m.outcome, m.outcome == Outcome::throttled};
  }
  return std::nullopt;
}

}  // namespace

std::span<const PageMarker> page_markers() { return kMarkers; }

Judgement judge_fetch(const FetchResult& result) {
  if (const std::optional<Judgement> failed = judge_failure(result)) return *failed;
  if (!result.transfer.refused_redirect.empty())
    return unknown(Reason::redirect, Outcome::throttled, true);
  const std::string page = page_text(result);
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

}  // namespace quorvex
