#include "check/verdict_rules.h"

#include <gtest/gtest.h>

#include "base/charset.h"
#include "support/share_service.h"

namespace quorvex {
namespace {

using test::ShareService;

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
  // A NUL byte ends the page's text: nothing after it is read.
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
  const Judgement check = judge_fetch(answer(ShareService::security_check_page()));
  EXPECT_EQ(check.outcome, Outcome::throttled);
  EXPECT_TRUE(check.throttle_sign);
  EXPECT_EQ(check.verdict, (RowVerdict{Verdict::unknown, Reason::verify}));
  // Even on a page that would otherwise be dead or alive.
  EXPECT_EQ(judge_fetch(answer("请求过于频繁 请输入提取码")).outcome, Outcome::throttled);
  EXPECT_EQ(judge_fetch(answer("访问过于频繁 分享的文件已经被删除")).outcome, Outcome::throttled);
  // A picture-code row or the words "安全验证" alone are no sign: the code page carries both.
  EXPECT_EQ(verdict_of(answer("输入验证码 分享的文件已经被删除")).reason, Reason::deleted);
  EXPECT_EQ(verdict_of(answer("<p>安全验证</p><p>请输入提取码</p>")).reason, Reason::need_code);
  // The title must be the security check's, not merely name it (a file may be called so).
  EXPECT_EQ(
      verdict_of(answer("<title>百度安全验证.txt_免费高速下载|百度网盘-分享无限制</title>")).reason,
      Reason::public_share);
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

TEST(VerdictRules, EveryMarkerIsReachableWhereItCountsAndNowhereElse) {
  // Each phrase alone gives its own reason: none hides behind an earlier one.
  for (const PageMarker& m : page_markers()) {
    const std::string text(m.text);
    const std::string page =
        m.place == MarkerPlace::seen ? "<p>" + text + "</p>" : "<title>" + text + "</title>";
    const Judgement j = judge_fetch(answer(page));
    EXPECT_EQ(j.verdict, (RowVerdict{m.verdict, m.reason})) << m.text;
    EXPECT_EQ(j.outcome, m.outcome) << m.text;
    EXPECT_EQ(j.source, VerdictSource::page);
    // Texts of other states inside scripts, styles and comments say nothing of this page.
    for (const std::string& hidden :
         {"<script>var m = '" + text + "';</script>", "<style>/* " + text + " */</style>",
          "<!-- " + text + " -->", "<noscript>" + text + "</noscript>",
          "<template><p>" + text + "</p></template>", "<img alt=\"" + text + "\">"})
      EXPECT_EQ(verdict_of(answer(hidden)).reason, Reason::no_marker) << hidden;
    if (m.place != MarkerPlace::seen) {
      EXPECT_EQ(verdict_of(answer(std::string("<p>") + text + "</p>")).reason, Reason::no_marker)
          << m.text;
    }
  }
}

TEST(VerdictRules, GonePhrasesOfTodaysPagesComeBeforeTheLiveOnes) {
  EXPECT_EQ(verdict_of(answer("<title>百度网盘-链接不存在</title><p>欢迎</p>")).reason,
            Reason::not_found);
  EXPECT_EQ(verdict_of(answer("啊哦，链接错误没找到文件，请打开正确的分享链接!")).reason,
            Reason::not_found);
  EXPECT_EQ(verdict_of(answer("该分享链接已失效")).verdict, Verdict::invalid);
  EXPECT_EQ(verdict_of(answer("<h2>啊哦，链接出错了</h2>")).verdict, Verdict::invalid);
  // The expired page shows when it expired, and that it is gone: gone wins.
  EXPECT_EQ(verdict_of(answer("分享已失效 失效时间：2020-01-01")).verdict, Verdict::invalid);
  EXPECT_EQ(verdict_of(answer("<title>x.zip_免费高速下载|百度网盘-分享无限制</title>")),
            (RowVerdict{Verdict::valid, Reason::public_share}));
  EXPECT_EQ(verdict_of(answer("请输入提取密码")), (RowVerdict{Verdict::valid, Reason::need_code}));
}

// What another checker's saved copy of the code page looks like: a captcha row that stays hidden
// until wrong codes were typed, and a script with every error text.
std::string code_page() {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>百度网盘 请输入提取码</title>"
         "<script>var errors = {'-9':'提取码错误','-62':'百度安全验证','expired':"
         "'该分享文件已过期','deleted':'分享的文件已经被删除了'};</script>"
         "<style>.verify-captcha{display:none}</style></head><body>"
         "<dl class=\"pickpw\"><dt>请输入提取码：</dt><dd><input id=\"accessCode\"></dd></dl>"
         "<dl class=\"verify-captcha\"><dt>验证码：</dt><dd><input><img alt=\"验证码\">"
         "<a>换一张</a></dd></dl><!-- 请求过于频繁 --></body></html>";
}

TEST(VerdictRules, TheCodePageIsAliveWhateverItsHiddenRowsAndScriptsSay) {
  const Judgement j =
      judge_fetch(answer(code_page(), 200, "https://pan.baidu.com/share/init?surl=abc"));
  EXPECT_EQ(j.verdict, (RowVerdict{Verdict::valid, Reason::need_code}));
  EXPECT_EQ(j.outcome, Outcome::decided);
  EXPECT_FALSE(j.throttle_sign);
  EXPECT_EQ(verdict_of(answer(code_page())).reason, Reason::need_code);
}

TEST(VerdictRules, APageIsReadInTheCharacterSetItDeclares) {
  const std::string gbk = utf8_to_gbk("<p>请输入提取码</p>");
  FetchResult by_header = answer(gbk);
  by_header.headers = "Content-Type: text/html; charset=GBK";
  EXPECT_EQ(verdict_of(by_header).reason, Reason::need_code);
  FetchResult by_meta = answer(utf8_to_gbk("<head><meta http-equiv=\"Content-Type\" "
                                           "content=\"text/html; charset=gb2312\"></head>") +
                               gbk);
  EXPECT_EQ(verdict_of(by_meta).reason, Reason::need_code);
  // Read as UTF-8 it says nothing; a set this program does not know is read as UTF-8.
  EXPECT_EQ(verdict_of(answer(gbk)).reason, Reason::no_marker);
  FetchResult unknown_set = answer("<p>失效时间</p>");
  unknown_set.headers = "content-type: text/html;charset=x-unheard-of";
  EXPECT_EQ(verdict_of(unknown_set).reason, Reason::public_share);
}

FetchResult list_answer(std::string body, int status = 200) {
  FetchResult r = answer(std::move(body), status, "https://pan.baidu.com/share/list?shorturl=x");
  r.headers = "Content-Type: application/json";
  return r;
}

TEST(VerdictRules, TheShareListApiDecidesByItsErrno) {
  const struct {
    const char* body;
    RowVerdict want;
    Outcome outcome;
  } cases[] = {
      {R"({"errno":0,"list":[{"fs_id":1,"server_filename":"a.txt"}],"request_id":5})",
       {Verdict::valid, Reason::public_share},
       Outcome::decided},
      {R"({"errno":0,"list":[]})", {Verdict::invalid, Reason::empty_share}, Outcome::decided},
      {R"( {"list" : [ ] , "errno" : 0} )",
       {Verdict::invalid, Reason::empty_share},
       Outcome::decided},
      {R"({"errno":-9,"request_id":1})", {Verdict::valid, Reason::need_code}, Outcome::decided},
      {R"({"errno":-12})", {Verdict::valid, Reason::need_code}, Outcome::decided},
      {R"({"errno":-3})", {Verdict::valid, Reason::need_code}, Outcome::decided},
      {R"({"errno":-7})", {Verdict::invalid, Reason::deleted}, Outcome::decided},
      {R"({"errno":-8})", {Verdict::invalid, Reason::expired}, Outcome::decided},
      {R"({"errno":105})", {Verdict::invalid, Reason::not_found}, Outcome::decided},
      {R"({"errno":115})", {Verdict::invalid, Reason::forbidden}, Outcome::decided},
      {R"({"errno":117})", {Verdict::invalid, Reason::expired}, Outcome::decided},
      {R"({"errno":140})", {Verdict::invalid, Reason::not_found}, Outcome::decided},
      {R"({"errno":145})", {Verdict::invalid, Reason::deleted}, Outcome::decided},
      {R"({"errno":-62})", {Verdict::unknown, Reason::verify}, Outcome::throttled},
      {R"({"errno":-64})", {Verdict::unknown, Reason::verify}, Outcome::throttled},
      {R"({"errno":-65})", {Verdict::unknown, Reason::verify}, Outcome::throttled},
      {R"({"errno":-19})", {Verdict::unknown, Reason::verify}, Outcome::throttled},
      {R"({"errno":-20})", {Verdict::unknown, Reason::verify}, Outcome::throttled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const Judgement j = judge_share_list(list_answer(c.body));
    EXPECT_EQ(j.verdict, c.want);
    EXPECT_EQ(j.outcome, c.outcome);
    EXPECT_EQ(j.throttle_sign, c.outcome == Outcome::throttled);
    EXPECT_EQ(j.source, VerdictSource::api);
  }
  EXPECT_EQ(judge_share_list(list_answer("", 429)).outcome, Outcome::throttled);
  EXPECT_EQ(judge_share_list(list_answer(ShareService::security_check_page())).outcome,
            Outcome::throttled);
}

TEST(VerdictRules, AnApiAnswerThatSaysNothingLeavesThePagesVerdict) {
  for (
      const char* body : {
          R"({"errno":2})",
          R"({"errno":0})",
          R"({"errno":0,"list":null})",
          R"({"errno":"-9"})",
          R"({"errno":-9.5})",
          R"({"errno":99999999999999999999})",
          R"({"list":[1]})",
          R"([{"errno":-9}])",
          R"({"errno":-9)",
          R"({"errno":-9}x)",
          R"({"errno":-9,})",
          R"({'errno':-9})",
          "<html><title>百度网盘</title></html>",
          "",
          R"({"a":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]],"errno":-9})",
          "{\"errno\":-9,\"t\":\"\x01\"}",
      }) {
    SCOPED_TRACE(body);
    const Judgement j = judge_share_list(list_answer(body));
    EXPECT_TRUE(page_said_nothing(j));
  }
  // A failed request says nothing either, and is not tried again for itself.
  FetchResult none;
  EXPECT_TRUE(page_said_nothing(judge_share_list(none)));
  FetchResult late = list_answer(R"({"errno":-9})", 503);
  EXPECT_EQ(judge_share_list(late).verdict.verdict, Verdict::valid);
  late.transfer.timed_out = true;
  EXPECT_TRUE(page_said_nothing(judge_share_list(late)));
  // Escapes and nesting are read, not mistaken for the keys.
  EXPECT_EQ(judge_share_list(list_answer(R"({"x":{"errno":-7},"s":"\"errno\":-7","errno":-9})"))
                .verdict.reason,
            Reason::need_code);
}

}  // namespace
}  // namespace quorvex
