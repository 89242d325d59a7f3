#include "services_stand_in.h"

#include <algorithm>
#include <chrono>
#include <string_view>

namespace quorvex::test {

namespace {

ScriptedResponse json(std::string body, int status = 200) {
  ScriptedResponse r;
  r.status = status;
  r.headers = {{"Content-Type", "application/json;charset=UTF-8"}};
  r.body = std::move(body);
  return r;
}

ScriptedResponse page(std::string body, int status = 200) {
  ScriptedResponse r;
  r.status = status;
  r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
  r.body =
      "<!DOCTYPE html><html><head><title>蓝奏云</title><script>var msg='输入密码';"
      "</script></head><body>" +
      std::move(body) + "</body></html>";
  return r;
}

std::string header(const RecordedRequest& request, std::string_view name) {
  for (const auto& [key, value] : request.headers) {
    if (key.size() != name.size()) continue;
    if (std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return value;
  }
  return {};
}

std::string parameter(const std::string& target, const std::string& name) {
  const std::size_t query = target.find('?');
  if (query == std::string::npos) return {};
  const std::string key = name + "=";
  for (std::size_t at = query + 1; at < target.size();) {
    const std::size_t end = std::min(target.find('&', at), target.size());
    if (target.compare(at, key.size(), key) == 0)
      return target.substr(at + key.size(), end - at - key.size());
    at = end + 1;
  }
  return {};
}

// The state a share ID names: the ID up to a "Q" and digits that end it, so that many shares can
// be in one state ("publicQ17").
std::string state_of(std::string id) {
  const std::size_t q = id.rfind('Q');
  if (q != std::string::npos && q + 1 < id.size() &&
      id.find_first_not_of("0123456789", q + 1) == std::string::npos)
    id.erase(q);
  return id;
}

// A string member of a JSON body such as {"pwd_id":"x",…}: enough for the bodies the modules send.
std::string member(const std::string& body, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = body.find(key);
  if (at == std::string::npos) return {};
  const std::size_t start = at + key.size();
  return body.substr(start, body.find('"', start) - start);
}

ScriptedResponse quark(const RecordedRequest& r) {
  const bool token = r.method == "POST";
  const std::string id = state_of(token ? member(r.body, "pwd_id") : parameter(r.target, "pwd_id"));
  if (id == "http429") return json("{}", 429);
  if (id == "nojson") return page("busy", 502);
  if (token) {
    const std::string code = member(r.body, "passcode");
    if (id == "throttle") return json(R"({"status":429,"code":41021,"message":"请求太频繁"})");
    if (id.rfind("gone", 0) == 0)
      return json(R"({"status":404,"code":)" + id.substr(4) + R"(,"message":"分享不存在"})");
    if (id == "needcode" && code.empty())
      return json(R"({"status":400,"code":41008,"message":"需要提取码"})");
    if (id == "needcode" && code != "good1")
      return json(R"({"status":400,"code":41007,"message":"提取码错误"})");
    return json(R"({"status":200,"code":0,"message":"ok","data":{"stoken":"st+)" + id +
                R"(/=","share_type":1}})");
  }
  if (parameter(r.target, "stoken") != "st%2B" + id + "%2F%3D")
    return json(R"({"status":400,"code":41001,"message":"stoken无效"})");
  if (id == "empty") return json(R"({"status":200,"code":0,"data":{"list":[]}})");
  return json(R"({"status":200,"code":0,"data":{"list":[{"fid":"f1","file_name":"a.mp4"}]}})");
}

ScriptedResponse aliyun(const RecordedRequest& r) {
  const std::string id = state_of(parameter(r.target, "share_id"));
  if (id == "http429") return json("", 429);
  const auto error = [](const char* code) {
    return json(std::string(R"({"code":")") + code + R"(","message":"x"})", 400);
  };
  if (id == "notfound") return error("NotFound.ShareLink");
  if (id == "cancelled") return error("ShareLink.Cancelled");
  if (id == "forbidden") return error("ShareLink.Forbidden");
  if (id == "expired") return error("ShareLink.Expired");
  if (id == "paramflow") return error("ParamFlowException");
  if (id == "other") return error("InternalError");
  const std::string files = id == "empty" ? "0" : "2";
  const std::string pwd = id == "needcode" ? "true" : "false";
  return json(R"({"share_name":"合集","file_count":)" + files + R"(,"has_pwd":)" + pwd +
              R"(,"creator_name":"x"})");
}

ScriptedResponse pan115(const RecordedRequest& r) {
  const std::string id = state_of(parameter(r.target, "share_code"));
  const std::string code = parameter(r.target, "receive_code");
  if (id == "busy") return json(R"({"state":false,"error":"系统繁忙","errno":990})");
  if (id == "cancelled") return json(R"({"state":false,"error":"分享已取消","errno":4100010})");
  if (id == "missing") return json(R"({"state":false,"error":"链接不存在","errno":4100009})");
  if (id == "needcode" && code != "good1")
    return json(R"({"state":false,"error":"请输入访问码","errno":4100012})");
  if (id == "expired")
    return json(
        R"({"state":true,"data":{"shareinfo":{"share_state":"7","forbid_reason":"链接已过期"},"list":[]}})");
  return json(R"({"state":true,"data":{"shareinfo":{"share_state":"1"},"list":[{"n":"a"}]}})");
}

ScriptedResponse pan123(const RecordedRequest& r) {
  const std::string id = state_of(parameter(r.target, "shareKey"));
  if (id == "http403") return json(R"({"code":403,"message":"forbidden"})", 403);
  if (id == "missing") return json(R"({"code":5103,"message":"分享页面不存在","data":null})");
  if (id == "expired") return json(R"({"code":5104,"message":"分享已失效","data":null})");
  return json(std::string(R"({"code":0,"message":"ok","data":{"HasPwd":)") +
              (id == "needcode" ? "true" : "false") + "}}");
}

ScriptedResponse tianyi(const RecordedRequest& r) {
  const std::string id = state_of(parameter(r.target, "shareCode"));
  const auto state = [](const char* code) {
    return json(std::string(R"({"res_code":")") + code + R"(","res_message":"x"})");
  };
  if (id == "notfound") return state("ShareNotFound");
  if (id == "expiredshare") return state("ShareExpiredError");
  if (id == "audit") return state("ShareAuditNotPass");
  if (id == "waiting") return state("ShareAuditWaiting");
  if (id == "bare") return json(R"({"res_code":0,"res_message":"成功"})");
  return json(
      std::string(R"({"res_code":0,"res_message":"成功","shareId":9001,"needAccessCode":)") +
      (id == "needcode" ? "1" : "0") + "}");
}

ScriptedResponse lanzou(const RecordedRequest& r) {
  const std::string id = state_of(r.target.substr(1, r.target.find('?') - 1));
  if (id == "offsite") {
    ScriptedResponse moved;
    moved.status = 302;
    moved.headers = {{"Location", "https://example.com/ipublic"}};
    return moved;
  }
  if (id == "mirror") {
    ScriptedResponse moved;
    moved.status = 302;
    moved.headers = {{"Location", "https://abc.lanzn.com/ipublic"}};
    return moved;
  }
  if (id == "needcode") return page("<div class=\"passwddiv\">请输入密码</div>");
  if (id == "cancelled") return page("<div class=\"off\">来晚啦...文件取消分享了</div>");
  if (id == "missing") return page("<div class=\"off\">文件不存在，或已删除</div>");
  if (id == "expired") return page("<div class=\"off\">文件链接失效</div>");
  if (id == "other") return page("<div>维护中</div>");
  return page("<div class=\"n_filesize\">文件大小：12.3 M</div><div id=\"downajax\"></div>");
}

}  // namespace

ServicesStandIn::ServicesStandIn(std::optional<ServicesThrottle> throttle)
    : throttle_(std::make_shared<Throttle>()),
      server_([throttle, seen = throttle_](const RecordedRequest& r) {
        const std::string host = header(r, "Host");
        if (throttle && host == throttle->host) {
          // Requests of the second before this one, this one included, beyond the limit: 429.
          std::lock_guard lock(seen->mutex);
          const auto now = std::chrono::steady_clock::now();
          seen->times.push_back(now);
          while (!seen->times.empty() && now - seen->times.front() >= std::chrono::seconds(1))
            seen->times.pop_front();
          if (static_cast<int>(seen->times.size()) > throttle->per_second) {
            ++seen->throttled;
            return json("{}", 429);
          }
        }
        if (host == "drive-h.quark.cn") return quark(r);
        if (host == "api.aliyundrive.com") return aliyun(r);
        if (host == "webapi.115.com") return pan115(r);
        if (host == "www.123pan.com") return pan123(r);
        if (host == "cloud.189.cn") return tianyi(r);
        return lanzou(r);
      }) {}

std::vector<RecordedRequest> ServicesStandIn::requests() const { return server_.requests(); }

int ServicesStandIn::throttled() const {
  std::lock_guard lock(throttle_->mutex);
  return throttle_->throttled;
}

std::vector<std::string> ServicesStandIn::connect_to() const {
  const std::string to = ":443:127.0.0.1:" + std::to_string(server_.port());
  std::vector<std::string> entries;
  for (const char* host :
       {"drive-h.quark.cn", "api.aliyundrive.com", "webapi.115.com", "www.123pan.com",
        "cloud.189.cn", "wwi.lanzoux.com", "abc.lanzn.com", "example.com"})
    entries.push_back(std::string(host) + to);
  return entries;
}

}  // namespace quorvex::test
