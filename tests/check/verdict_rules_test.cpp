#include "check/verdict_rules.h"

#include <gtest/gtest.h>

#include "support/share_service.h"

namespace quorvex {
namespace {

// An answer of the share service: status 200 unless given, a page, and where it came from.
FetchResult answer(std::string body, int status = 200,
                   std::string final_url = "https://pan.baidu.com/s/1abc") {
  FetchResult r;
  r.status = status;
  r.body = std::move(body);
  r.transfer.connected = true;
  r.transfer.final_url = std::move(final_url);
  return r;
}

RowVerdict verdict_of(const FetchResult& r) { return judge_fetch(r).verdict; }

TEST(VerdictRules, TheOriginalPhrasesStillMeanALiveShare) {
  EXPECT_EQ(verdict_of(answer("<p>请输入提取码</p>")),
            (RowVerdict{Verdict::valid, Reason::need_code}));
  EXPECT_EQ(verdict_of(answer("失效时间：2030-01-01")),
            (RowVerdict{Verdict::valid, Reason::public_share}));
  // Today's page of a public share.
  EXPECT_EQ(verdict_of(answer("过期时间：永久有效")),
            (RowVerdict{Verdict::valid, Reason::public_share}));
  EXPECT_EQ(verdict_of(answer("永久有效")).verdict, Verdict::valid);
  // The page that asks for the code is also known by its address.
  EXPECT_EQ(verdict_of(answer("", 200, "https://pan.baidu.com/share/init?surl=abc")),
            (RowVerdict{Verdict::valid, Reason::need_code}));
}

TEST(VerdictRules, DeadPhrasesWinOverLiveOnes) {
  // An expired share still shows when it expired.
  EXPECT_EQ(verdict_of(answer("该分享文件已过期，失效时间：2020-01-01")),
            (RowVerdict{Verdict::invalid, Reason::expired}));
  EXPECT_EQ(verdict_of(answer("分享的文件已经被删除了")).reason, Reason::deleted);
  EXPECT_EQ(verdict_of(answer("分享的文件已经被取消了")).reason, Reason::cancelled);
  EXPECT_EQ(verdict_of(answer("此链接分享内容可能因为涉及侵权、色情")).reason, Reason::blocked);
  EXPECT_EQ(verdict_of(answer("该链接已被冻结")).reason, Reason::frozen);
  EXPECT_EQ(verdict_of(answer("您要访问的页面不存在")).reason, Reason::not_found);
  EXPECT_EQ(verdict_of(answer("由于访问次数过多，该分享链接已失效")).reason, Reason::overused);
  EXPECT_EQ(verdict_of(answer("请输入提取码", 404, "https://pan.baidu.com/error/404.html")),
            (RowVerdict{Verdict::invalid, Reason::not_found}));
  for (const FetchResult& r : {answer("分享的文件已经被删除"), answer("已过期")})
    EXPECT_EQ(judge_fetch(r).outcome, Outcome::decided);
}

TEST(VerdictRules, PagesThatSayNothingKnownAreUnknown) {
  EXPECT_EQ(verdict_of(answer("此链接分享内容暂时不可访问")),
            (RowVerdict{Verdict::unknown, Reason::temporary}));
  EXPECT_EQ(verdict_of(answer("<html>hello</html>")),
            (RowVerdict{Verdict::unknown, Reason::no_marker}));
  EXPECT_EQ(verdict_of(answer("")), (RowVerdict{Verdict::unknown, Reason::no_marker}));
  // The page is text up to its first NUL byte, as the original read it.
  EXPECT_EQ(verdict_of(answer(std::string("abc\0请输入提取码", 21))).reason, Reason::no_marker);
  // An HTTP error status other than those below is judged by its page.
  EXPECT_EQ(verdict_of(answer("gone", 404)).reason, Reason::no_marker);
}

TEST(VerdictRules, FailuresAreUnknownAndMostAreTriedAgain) {
  FetchResult none;  // no answer at all
  EXPECT_EQ(judge_fetch(none).verdict, (RowVerdict{Verdict::unknown, Reason::network}));
  EXPECT_EQ(judge_fetch(none).outcome, Outcome::retry);
  FetchResult timed_out;
  timed_out.transfer.timed_out = true;
  EXPECT_EQ(judge_fetch(timed_out).verdict.reason, Reason::timeout);
  EXPECT_EQ(judge_fetch(timed_out).outcome, Outcome::retry);
  FetchResult rejected;
  rejected.transfer.certificate_rejected = true;
  EXPECT_EQ(judge_fetch(rejected).verdict.reason, Reason::tls);
  EXPECT_EQ(judge_fetch(rejected).outcome, Outcome::decided);  // a certificate does not get better
  FetchResult huge;
  huge.transfer.too_large = true;
  EXPECT_EQ(judge_fetch(huge).verdict, (RowVerdict{Verdict::unknown, Reason::too_large}));
  // Server errors are judged by their status, whatever the page says.
  EXPECT_EQ(verdict_of(answer("请输入提取码", 503)).reason, Reason::http_503);
  EXPECT_EQ(verdict_of(answer("", 502)).reason, Reason::http_5xx);
  EXPECT_EQ(verdict_of(answer("", 403)).reason, Reason::http_403);
  const Judgement busy = judge_fetch(answer("", 429));
  EXPECT_EQ(busy.verdict.reason, Reason::http_429);
  EXPECT_EQ(busy.outcome, Outcome::retry);
  EXPECT_TRUE(busy.throttle_sign);
  EXPECT_FALSE(judge_fetch(answer("", 503)).throttle_sign);
}

TEST(VerdictRules, ThrottlingIsNoVerdict) {
  const Judgement check = judge_fetch(answer(test::ShareService::security_check_page()));
  EXPECT_EQ(check.outcome, Outcome::throttled);
  EXPECT_TRUE(check.throttle_sign);
  EXPECT_EQ(check.verdict, (RowVerdict{Verdict::unknown, Reason::verify}));
  // Even on a page that would otherwise be dead or alive.
  EXPECT_EQ(judge_fetch(answer("请求过于频繁 请输入提取码")).outcome, Outcome::throttled);
  EXPECT_EQ(judge_fetch(answer("输入验证码 分享的文件已经被删除")).outcome, Outcome::throttled);
  FetchResult offsite = answer("", 302);
  offsite.transfer.refused_redirect = "https://wappass.baidu.com/captcha";
  EXPECT_EQ(judge_fetch(offsite).verdict.reason, Reason::redirect);
  EXPECT_EQ(judge_fetch(offsite).outcome, Outcome::throttled);
}

TEST(VerdictRules, RetryAfterInSecondsOrAsADate) {
  FetchResult r = answer("", 429);
  r.headers = "Content-Type: text/html\r\nRetry-After: 7";
  EXPECT_EQ(retry_after(r), std::chrono::seconds(7));
  r.headers = "retry-after: Wed, 21 Oct 2015 07:28:00 GMT";  // long past: no wait
  EXPECT_EQ(retry_after(r), std::chrono::seconds(0));
  r.headers = "Retry-After: soon";
  EXPECT_EQ(retry_after(r), std::nullopt);
  r.headers = "";
  EXPECT_EQ(retry_after(r), std::nullopt);
}

TEST(VerdictRules, EveryMarkerIsReachable) {
  // Each phrase alone gives its own reason: none hides behind an earlier one.
  for (const PageMarker& m : page_markers()) {
    const Judgement j = judge_fetch(answer("<p>" + std::string(m.text) + "</p>"));
    EXPECT_EQ(j.verdict, (RowVerdict{m.verdict, m.reason})) << m.text;
    EXPECT_EQ(j.outcome, m.outcome) << m.text;
  }
}

}  // namespace
}  // namespace quorvex
