// A stand-in for the share service at https://pan.baidu.com: one share for each state today's
// pages show, failures of every kind, a throttling mode, and the share-list API. Clients reach it
// through connect_to() and trust test_ca_file(), so they talk to "pan.baidu.com" over verified
// TLS. Every page carries, as the real ones do, a script, a style and a comment holding the texts
// of every other state.
//
// A share's address is https://pan.baidu.com/s/1<state>[-<anything>]; the state decides the
// answer. Live: need (sent on to /share/init, the code page with its hidden picture-code row),
// needcode (that page at once), askpassword ("请输入提取密码"), public, old ("失效时间"),
// publictitle (a public share known only by its title, "…|百度网盘-分享无限制"), gbkmeta (a code
// page in GBK that says so in a <meta> only). Gone: deleted, cancelled, expired (which also shows
// "失效时间"), blocked, frozen, gone ("页面不存在"), notexist (the title "百度网盘-链接不存在"
// alone), linkerror ("链接错误没找到文件"), invalidated ("该分享链接已失效"), linkbroken
// ("啊哦，链接出错了"), notfound (sent on to /error/404.html), overused, gbk (a deleted share's
// page in GBK, Content-Type saying so). Neither: temporary, nomarker, empty. Redesigned pages that
// say nothing known: redesigned-<errno>[-…], whose share-list answer carries that errno ("m9" is
// −9; "0" with files, "0empty" without; "nojson", "fail" (503) and "429" answer so). Failures:
// flaky (503 once, then public), down (503), broken (500), forbidden (403), busy (429 with
// Retry-After: 1 once, then public), captcha (the security-check page), toofrequent ("访问过于
// 频繁"), offsite (sent to another host), passport (sent to passport.baidu.com), plainhttp (sent
// to http://), loop (sent to itself), lag (public after 300 ms), slow (public after 1.5 s), silent
// (never answers), reset (connection reset), huge (40 MiB), hugeheader (a header line of 1 MiB),
// manyheaders (400 KiB of header lines), echo (the request as it arrived, as the body). Counters
// such as "flaky" count per whole address, so "flaky-1" and "flaky-2" each fail once.
//
// The share-list API, /share/list?…&shorturl=ID…, answers for the share 1ID by its state:
// redesigned ones as above, need −9, public 0 with files, deleted −7; every other state errno 2,
// which says nothing; while throttling, errno −62. /share/link?shareid=1&… is a public share,
// any other shareid a gone one.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "recorded_request.h"
#include "test_ca.h"
#ifdef _WIN32
#include "remote_stand_in.h"
#else
#include "test_https_server.h"
#endif

namespace quorvex::test {

// Above `per_second` requests within one second, every answer is the security-check page for
// `penalty`; per_second 0 means no throttling.
struct ShareThrottle {
  int per_second = 0;
  std::chrono::milliseconds penalty{0};
};

class ShareService {
 public:
  using Throttle = ShareThrottle;

  explicit ShareService(Throttle throttle = {}, ServerCert cert = ServerCert::trusted);

  // "https://pan.baidu.com/s/1" + id.
  static std::string link(std::string_view id);
  std::string connect_to() const;
  std::vector<RecordedRequest> requests() const;
  // Requests for /s/1<id> exactly (query ignored).
  int requests_for(std::string_view id) const;
  // Requests of the share-list API for the share 1<id>.
  int list_requests_for(std::string_view id) const;
  int peak_concurrency() const;
  // Answers that were the security-check page because of throttling.
  int throttled_answers() const;

  // The pages, for tests that judge them directly (UTF-8).
  static const std::string& security_check_page();

 private:
#ifdef _WIN32
  // The Windows build's tests run under Wine, the service natively beside them: each instance is
  // one of the native stand-in's.
  RemoteStandIn remote_;
#else
  ScriptedResponse answer(const RecordedRequest& request);
  ScriptedResponse answer_list(const RecordedRequest& request, bool throttled);
  bool throttled_now();

  Throttle throttle_;
  mutable std::mutex mutex_;
  std::map<std::string, int> seen_;  // requests per target
  std::vector<std::chrono::steady_clock::time_point> recent_;
  std::chrono::steady_clock::time_point penalty_until_{};
  int throttled_answers_ = 0;
  TestHttpsServer server_;  // last: it answers with the members above
#endif
};

}  // namespace quorvex::test
