// The other services' modules through real HTTPS: each request as the module builds it, sent to
// the stand-in at the service's own host name, and the verdict its answer comes to.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "check/probe.h"
#include "check/service_module.h"
#include "support/services_stand_in.h"
#include "support/test_ca.h"

namespace quorvex {
namespace {

class ServiceFetch : public ::testing::Test {
 protected:
  ServiceFetch() {
    settings_.ca_file = test::test_ca_file();
    settings_.connect_to = stand_in_.connect_to();
    settings_.timeout = std::chrono::milliseconds(5000);
  }

  // verdict/reason of the share a link names, after every request the module asks for.
  std::string check(std::string_view text) {
    const auto links = find_service_links(text);
    if (links.size() != 1) return "no link";
    const ServiceLink& link = links.front();
    const ServiceModule& module = *service_module(link.service);
    ServiceRequest request = module.first_request(link);
    for (int step = 0; step < 4; ++step) {
      const FetchResult result = fetch_service_request(module, request, settings_, cancel_);
      ServiceStep judged = module.judge(link, request, {result.status, result.body});
      if (judged.next.empty()) {
        std::string out = std::string(verdict_code(judged.verdict)) + "/" +
                          std::string(reason_code(judged.reason));
        return judged.throttled ? out + "+throttled" : out;
      }
      request = judged.next.front();
    }
    return "no end";
  }

  test::ServicesStandIn stand_in_;
  ProbeSettings settings_;
  std::atomic<bool> cancel_{false};
};

TEST_F(ServiceFetch, EveryStateOfEveryServiceComesToItsVerdict) {
  const std::pair<const char*, const char*> cases[] = {
      {"https://pan.quark.cn/s/public", "valid/public"},
      {"https://pan.quark.cn/s/needcode", "valid/need_code"},
      {"https://pan.quark.cn/s/needcode?pwd=good1", "valid/need_code"},
      {"https://pan.quark.cn/s/needcode?pwd=bad22", "invalid/wrong_code"},
      {"https://pan.quark.cn/s/empty", "invalid/empty_share"},
      {"https://pan.quark.cn/s/gone41006", "invalid/cancelled"},
      {"https://pan.quark.cn/s/throttle", "unknown/http_429+throttled"},
      {"https://pan.quark.cn/s/http429", "unknown/http_429+throttled"},
      {"https://pan.quark.cn/s/nojson", "unknown/http_5xx"},
      {"https://www.alipan.com/s/public", "valid/public"},
      {"https://www.aliyundrive.com/s/needcode", "valid/need_code"},
      {"https://www.alipan.com/s/empty", "invalid/empty_share"},
      {"https://www.alipan.com/s/notfound", "invalid/not_found"},
      {"https://www.alipan.com/s/cancelled", "invalid/cancelled"},
      {"https://www.alipan.com/s/forbidden", "invalid/blocked"},
      {"https://www.alipan.com/s/expired", "invalid/expired"},
      {"https://www.alipan.com/s/paramflow", "unknown/http_429+throttled"},
      {"https://www.alipan.com/s/other", "unknown/no_marker"},
      {"https://115.com/s/public", "valid/public"},
      {"https://115.com/s/needcode", "valid/need_code"},
      {"https://115.com/s/needcode?password=good1", "valid/need_code"},
      {"https://115cdn.com/s/needcode#bad22", "invalid/wrong_code"},
      {"https://115.com/s/expired", "invalid/expired"},
      {"https://anxia.com/s/cancelled", "invalid/cancelled"},
      {"https://115.com/s/missing", "invalid/not_found"},
      {"https://115.com/s/busy", "unknown/no_marker"},
      {"https://www.123pan.com/s/public", "valid/public"},
      {"https://123684.com/s/needcode", "valid/need_code"},
      {"https://www.123pan.com/s/missing", "invalid/not_found"},
      {"https://www.123pan.com/s/expired", "invalid/expired"},
      {"https://www.123pan.com/s/http403", "unknown/http_403"},
      {"https://cloud.189.cn/t/public", "valid/public"},
      {"https://cloud.189.cn/web/share?code=needcode", "valid/need_code"},
      {"https://cloud.189.cn/t/notfound", "invalid/not_found"},
      {"https://cloud.189.cn/t/expiredshare", "invalid/expired"},
      {"https://cloud.189.cn/t/audit", "invalid/blocked"},
      {"https://cloud.189.cn/t/waiting", "unknown/temporary"},
      {"https://cloud.189.cn/t/bare", "unknown/no_marker"},
      {"https://wwi.lanzoux.com/public", "valid/public"},
      {"https://wwi.lanzoux.com/needcode", "valid/need_code"},
      {"https://wwi.lanzoux.com/cancelled", "invalid/cancelled"},
      {"https://wwi.lanzoux.com/missing", "invalid/not_found"},
      {"https://wwi.lanzoux.com/expired", "invalid/expired"},
      {"https://wwi.lanzoux.com/other", "unknown/no_marker"},
      // A redirect among the service's own hosts is followed; one elsewhere ends the fetch.
      {"https://wwi.lanzoux.com/mirror", "valid/public"},
      {"https://wwi.lanzoux.com/offsite", "unknown/no_marker"},
  };
  for (const auto& [link, expected] : cases) EXPECT_EQ(check(link), expected) << link;
  bool mirror_asked = false;
  for (const auto& request : stand_in_.requests()) {
    for (const auto& [name, value] : request.headers) {
      if (name != "Host") continue;
      EXPECT_NE(value, "example.com") << request.raw;
      mirror_asked = mirror_asked || value == "abc.lanzn.com";
    }
  }
  EXPECT_TRUE(mirror_asked);
}

TEST_F(ServiceFetch, TheRequestsAreTheModulesByteForByte) {
  ASSERT_EQ(check("https://pan.quark.cn/s/public?pwd=ab12"), "valid/need_code");
  const auto requests = stand_in_.requests();
  ASSERT_EQ(requests.size(), 2u);
  const auto& token = requests[0];
  EXPECT_EQ(token.method, "POST");
  EXPECT_EQ(token.target, "/1/clouddrive/share/sharepage/token?pr=ucpro&fr=pc");
  EXPECT_EQ(token.body,
            R"({"pwd_id":"public","passcode":"ab12","support_visit_limit_private_share":true})");
  const auto has = [](const test::RecordedRequest& r, const std::string& name,
                      const std::string& value) {
    for (const auto& [key, v] : r.headers)
      if (key == name && v == value) return true;
    return false;
  };
  EXPECT_TRUE(has(token, "Origin", "https://pan.quark.cn")) << token.raw;
  EXPECT_TRUE(has(token, "Referer", "https://pan.quark.cn")) << token.raw;
  EXPECT_TRUE(has(token, "Content-Type", "application/json")) << token.raw;
  EXPECT_TRUE(has(token, "Accept", "application/json")) << token.raw;
  // Nothing the module did not ask for: no Accept-Language, no cookie.
  EXPECT_EQ(token.raw.find("Accept-Language"), std::string::npos) << token.raw;
  EXPECT_EQ(token.raw.find("Cookie"), std::string::npos) << token.raw;
  EXPECT_EQ(requests[1].method, "GET");
  EXPECT_EQ(requests[1].target.rfind("/1/clouddrive/share/sharepage/detail?pr=ucpro&fr=pc&pwd_id="
                                     "public&stoken=",
                                     0),
            0u);
  // The header names go as the module writes them.
  ASSERT_EQ(check("https://www.alipan.com/s/public"), "valid/public");
  EXPECT_TRUE(has(stand_in_.requests().back(), "x-canary", "client=web,app=share,version=v2.3.1"))
      << stand_in_.requests().back().raw;
  // An address off the module's hosts is never sent.
  const ServiceModule& quark = *service_module(ShareService::quark);
  ServiceRequest stray = quark.first_request(find_service_links("pan.quark.cn/s/public")[0]);
  stray.url = "https://example.com/1/clouddrive/share/sharepage/token";
  const std::size_t before = stand_in_.requests().size();
  EXPECT_EQ(fetch_service_request(quark, stray, settings_, cancel_).status, 0);
  EXPECT_EQ(stand_in_.requests().size(), before);
}

}  // namespace
}  // namespace quorvex
