// The share services' modules: the requests they ask for and what every answer of the table in
// docs/services.md comes to.
#include "check/service_module.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvex {
namespace {

ServiceLink link_of(std::string_view text) {
  const auto links = find_service_links(text);
  EXPECT_EQ(links.size(), 1u) << text;
  return links.empty() ? ServiceLink{} : links.front();
}

std::string header(const ServiceRequest& request, std::string_view name) {
  for (const auto& [key, value] : request.headers)
    if (key == name) return value;
  return "(none)";
}

// verdict/reason, "+throttled" when it asks for a pause, "->URL" when it asks for more.
std::string outcome(const ServiceStep& step) {
  std::string out =
      std::string(verdict_code(step.verdict)) + "/" + std::string(reason_code(step.reason));
  if (step.throttled) out += "+throttled";
  for (const ServiceRequest& next : step.next) out += "->" + next.method + " " + next.url;
  return out;
}

// What the module makes of `body` with `status`, as the answer to the first request.
std::string judged(std::string_view link_text, int status, std::string_view body) {
  const ServiceLink link = link_of(link_text);
  const ServiceModule* module = service_module(link.service);
  if (!module) return "no module";
  return outcome(module->judge(link, module->first_request(link), {status, body}));
}

TEST(ServiceModules, EveryServiceButBaiduHasOne) {
  EXPECT_EQ(service_module(ShareService::baidu), nullptr);
  for (const ShareService service : all_services()) {
    if (service == ShareService::baidu) continue;
    const ServiceModule* module = service_module(service);
    ASSERT_NE(module, nullptr) << service_code(service);
    EXPECT_EQ(module->service(), service);
  }
}

TEST(ServiceModules, QuarkAsksForATokenThenTheFiles) {
  const ServiceLink link = link_of("https://pan.quark.cn/s/abc123?pwd=k9k9");
  const ServiceModule& quark = *service_module(ShareService::quark);
  const ServiceRequest token = quark.first_request(link);
  EXPECT_EQ(token.method, "POST");
  EXPECT_EQ(token.url,
            "https://drive-h.quark.cn/1/clouddrive/share/sharepage/token?pr=ucpro&fr=pc");
  EXPECT_EQ(token.body,
            R"({"pwd_id":"abc123","passcode":"k9k9","support_visit_limit_private_share":true})");
  EXPECT_EQ(header(token, "Origin"), "https://pan.quark.cn");
  EXPECT_EQ(header(token, "Referer"), "https://pan.quark.cn");
  EXPECT_EQ(header(token, "Accept"), "application/json");
  EXPECT_NE(header(token, "User-Agent").find("Mozilla/5.0"), std::string::npos);
  EXPECT_EQ(quark.first_request(link_of("pan.quark.cn/s/abc")).body,
            R"({"pwd_id":"abc","passcode":"","support_visit_limit_private_share":true})");

  const ServiceStep step =
      quark.judge(link, token, {200, R"({"status":200,"code":0,"data":{"stoken":"s+t/k="}})"});
  ASSERT_EQ(step.next.size(), 1u);
  const ServiceRequest& detail = step.next[0];
  EXPECT_EQ(detail.method, "GET");
  EXPECT_EQ(detail.url,
            "https://drive-h.quark.cn/1/clouddrive/share/sharepage/detail?pr=ucpro&fr=pc&"
            "pwd_id=abc123&stoken=s%2Bt%2Fk%3D&pdir_fid=0&_page=1&_size=50");
  EXPECT_EQ(outcome(quark.judge(link, detail, {200, R"({"code":0,"data":{"list":[{"fid":1}]}})"})),
            "valid/need_code");
  EXPECT_EQ(outcome(quark.judge(link_of("pan.quark.cn/s/x1"), detail,
                                {200, R"({"code":0,"data":{"list":[{"fid":1}]}})"})),
            "valid/public");
  EXPECT_EQ(outcome(quark.judge(link, detail, {200, R"({"code":0,"data":{"list":[]}})"})),
            "invalid/empty_share");

  EXPECT_EQ(judged("pan.quark.cn/s/a1", 200, R"({"code":41008,"message":"需要提取码"})"),
            "valid/need_code");
  EXPECT_EQ(judged("pan.quark.cn/s/a1?pwd=zz11", 200, R"({"code":41007,"message":"提取码错误"})"),
            "invalid/wrong_code");
  for (const int code : {41004, 41005, 41006, 41009, 41010, 41011, 41012, 41019})
    EXPECT_EQ(
        judged("pan.quark.cn/s/a1", 200, R"({"code":)" + std::to_string(code) + "}").substr(0, 8),
        "invalid/")
        << code;
  EXPECT_EQ(judged("pan.quark.cn/s/a1", 200, R"({"code":41011,"message":"分享者已删除"})"),
            "invalid/deleted");
  EXPECT_EQ(judged("pan.quark.cn/s/a1", 200, R"({"code":41021})"), "unknown/http_429+throttled");
  EXPECT_EQ(judged("pan.quark.cn/s/a1", 429, ""), "unknown/http_429+throttled");
  EXPECT_EQ(judged("pan.quark.cn/s/a1", 200, R"({"code":99999})"), "unknown/no_marker");
  EXPECT_EQ(judged("pan.quark.cn/s/a1", 502, "<html>bad gateway</html>"), "unknown/http_5xx");
}

TEST(ServiceModules, AliyunReadsTheSharesDescription) {
  const ServiceLink link = link_of("https://www.aliyundrive.com/s/Qx5Yw7ZkP2m");
  const ServiceRequest request = service_module(ShareService::aliyun)->first_request(link);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.url,
            "https://api.aliyundrive.com/adrive/v3/share_link/get_share_by_anonymous?share_id="
            "Qx5Yw7ZkP2m");
  EXPECT_EQ(request.body, R"({"share_id":"Qx5Yw7ZkP2m"})");
  EXPECT_EQ(header(request, "x-canary"), "client=web,app=share,version=v2.3.1");
  EXPECT_EQ(header(request, "Referer"), "https://www.alipan.com");
  const char* share = "alipan.com/s/Qx5";
  EXPECT_EQ(judged(share, 200, R"({"share_name":"a","file_count":3,"has_pwd":false})"),
            "valid/public");
  EXPECT_EQ(judged(share, 200, R"({"share_title":"a","file_count":1,"has_pwd":true})"),
            "valid/need_code");
  EXPECT_EQ(judged(share, 200, R"({"share_name":"a","file_count":0})"), "invalid/empty_share");
  EXPECT_EQ(judged(share, 404, R"({"code":"NotFound.ShareLink","message":"x"})"),
            "invalid/not_found");
  EXPECT_EQ(judged(share, 400, R"({"code":"ShareLink.Cancelled"})"), "invalid/cancelled");
  EXPECT_EQ(judged(share, 400, R"({"code":"ShareLink.Forbidden"})"), "invalid/blocked");
  EXPECT_EQ(judged(share, 400, R"({"code":"ShareLink.Expired"})"), "invalid/expired");
  EXPECT_EQ(judged(share, 429, ""), "unknown/http_429+throttled");
  EXPECT_EQ(judged(share, 200, R"({"code":"ParamFlowException"})"), "unknown/http_429+throttled");
  EXPECT_EQ(judged(share, 400, R"({"code":"InvalidParameter"})"), "unknown/no_marker");
  EXPECT_EQ(judged(share, 200, R"({"share_name":"a"})"), "unknown/no_marker");
}

TEST(ServiceModules, Pan115TakesTheAccessCodeAndReadsTheSnapshot) {
  const ServiceLink link = link_of("https://115cdn.com/s/swz1?password=k2m3#");
  const ServiceRequest request = service_module(ShareService::pan115)->first_request(link);
  EXPECT_EQ(request.url,
            "https://webapi.115.com/share/snap?share_code=swz1&receive_code=k2m3&offset=0&"
            "limit=20&cid=");
  EXPECT_EQ(header(request, "Referer"), "https://115.com/");
  EXPECT_EQ(judged("115.com/s/swz1", 200, R"({"state":true,"data":{"list":[]}})"), "valid/public");
  EXPECT_EQ(judged("115.com/s/swz1#k2m3", 200, R"({"state":true,"data":{"list":[]}})"),
            "valid/need_code");
  EXPECT_EQ(
      judged(
          "115.com/s/swz1", 200,
          R"({"state":true,"data":{"shareinfo":{"share_state":7,"forbid_reason":"链接已过期"}}})"),
      "invalid/expired");
  EXPECT_EQ(judged("115.com/s/swz1", 200, R"({"state":false,"error":"请输入访问码"})"),
            "valid/need_code");
  EXPECT_EQ(judged("115.com/s/swz1#k2m3", 200, R"({"state":false,"error":"访问码错误"})"),
            "invalid/wrong_code");
  EXPECT_EQ(judged("115.com/s/swz1", 200, R"({"state":false,"error":"分享已取消"})"),
            "invalid/cancelled");
  EXPECT_EQ(judged("115.com/s/swz1", 200, R"({"state":false,"error":"链接不存在"})"),
            "invalid/not_found");
  EXPECT_EQ(judged("115.com/s/swz1", 200, R"({"state":false,"error":"系统繁忙"})"),
            "unknown/no_marker");
}

TEST(ServiceModules, Pan123AndTianyiAndLanzou) {
  const ServiceRequest pan123 =
      service_module(ShareService::pan123)->first_request(link_of("123684.com/s/ab-C1"));
  EXPECT_EQ(pan123.url, "https://www.123pan.com/api/share/info?shareKey=ab-C1");
  const char* key = "123pan.com/s/ab-C1";
  EXPECT_EQ(judged(key, 200, R"({"code":0,"data":{"HasPwd":false}})"), "valid/public");
  EXPECT_EQ(judged(key, 200, R"({"code":0,"data":{"HasPwd":true}})"), "valid/need_code");
  EXPECT_EQ(judged(key, 200, R"({"code":5103,"message":"分享页面不存在"})"), "invalid/not_found");
  EXPECT_EQ(judged(key, 200, R"({"code":5104,"message":"分享已失效"})"), "invalid/expired");
  EXPECT_EQ(judged(key, 403, R"({"code":0})"), "unknown/http_403");  // peers disagree

  const ServiceRequest tianyi =
      service_module(ShareService::tianyi)->first_request(link_of("cloud.189.cn/t/Ab1"));
  EXPECT_EQ(tianyi.url.rfind(
                "https://cloud.189.cn/api/open/share/getShareInfoByCodeV2.action?noCache=0.", 0),
            0u);
  EXPECT_TRUE(tianyi.url.ends_with("&shareCode=Ab1")) << tianyi.url;
  EXPECT_EQ(header(tianyi, "Accept"), "application/json;charset=UTF-8");
  EXPECT_EQ(header(tianyi, "sign-type"), "1");
  const char* code = "cloud.189.cn/t/Ab1";
  EXPECT_EQ(judged(code, 200, R"({"res_code":0,"shareId":12,"needAccessCode":1})"),
            "valid/need_code");
  EXPECT_EQ(judged(code, 200, R"({"res_code":0,"shareId":12,"needAccessCode":0})"), "valid/public");
  EXPECT_EQ(judged(code, 200, R"({"res_code":"ShareNotFound"})"), "invalid/not_found");
  EXPECT_EQ(judged(code, 200, R"({"res_code":"ShareExpiredError"})"), "invalid/expired");
  EXPECT_EQ(judged(code, 200, R"({"res_code":"ShareAuditNotPass"})"), "invalid/blocked");
  EXPECT_EQ(judged(code, 200, R"({"res_code":"ShareAuditWaiting"})"), "unknown/temporary");
  EXPECT_EQ(judged(code, 200, R"({"res_code":0})"), "unknown/no_marker");

  const ServiceLink lanzou = link_of("https://wwi.lanzoux.com/iAb12");
  EXPECT_EQ(service_module(ShareService::lanzou)->first_request(lanzou).url,
            "https://wwi.lanzoux.com/iAb12");
  const char* page = "wwi.lanzoux.com/iAb12";
  EXPECT_EQ(judged(page, 200, "<div>请输入密码</div>"), "valid/need_code");
  EXPECT_EQ(judged(page, 200, "<div>来晚啦...文件取消分享了</div>"), "invalid/cancelled");
  EXPECT_EQ(judged(page, 200, "文件不存在，或已删除"), "invalid/not_found");
  EXPECT_EQ(judged(page, 200, "<span>文件大小：</span>12.3 M"), "valid/public");
  // The texts of other states in a page's script are no part of what it says.
  EXPECT_EQ(
      judged(page, 200,
             "<script>var a='输入密码', b='文件取消分享';</script><span>文件大小：</span>1 M"),
      "valid/public");
  EXPECT_EQ(judged(page, 200, "<html>something else</html>"), "unknown/no_marker");
  EXPECT_EQ(judged(page, 503, ""), "unknown/http_503");
}

TEST(ServiceModules, RequestsStayOnTheServicesOwnHosts) {
  for (const char* text : {"pan.quark.cn/s/a1", "alipan.com/s/a1", "115.com/s/a1", "123pan.cn/s/a1",
                           "cloud.189.cn/t/a1", "x.lanzouw.com/a1"}) {
    const ServiceLink link = link_of(text);
    const ServiceModule& module = *service_module(link.service);
    EXPECT_TRUE(is_service_url(module, module.first_request(link).url)) << text;
    EXPECT_FALSE(is_service_url(module, "https://example.com/")) << text;
    EXPECT_FALSE(is_service_url(module, "http://" + module.first_request(link).url.substr(8)))
        << text;
  }
  const ServiceModule& quark = *service_module(ShareService::quark);
  EXPECT_TRUE(is_service_url(quark, "HTTPS://Drive-H.Quark.cn/1/x"));
  EXPECT_FALSE(is_service_url(quark, "https://drive-h.quark.cn@evil.com/"));
  EXPECT_FALSE(is_service_url(quark, "https://drive-h.quark.cn:8443/"));
  EXPECT_FALSE(is_service_url(quark, "https://drive-h.quark.cn.evil.com/"));
  const ServiceModule& lanzou = *service_module(ShareService::lanzou);
  EXPECT_TRUE(is_service_url(lanzou, "https://developer.lanzoug.com/file"));
  EXPECT_FALSE(is_service_url(lanzou, "https://lanzou.evil.com/"));
}

}  // namespace
}  // namespace quorvex
