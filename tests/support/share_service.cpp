#include "share_service.h"

#include "share_pages.h"

#include <algorithm>

#include "base/charset.h"

namespace quorvex::test {

namespace {

using Clock = std::chrono::steady_clock;

// What today's pages say, by state.
const std::map<std::string, std::string, std::less<>>& pages() {
  static const std::map<std::string, std::string, std::less<>> kPages = {
      {"needcode", code_page()},
      {"askpassword", share_page("百度网盘", "<dt>请输入提取密码：</dt><dd><input></dd>")},
      {"publictitle", share_page("课件合集.zip_免费高速下载|百度网盘-分享无限制",
                                 "<div class=\"file-name\">课件合集.zip</div><a>保存到网盘</a>")},
      {"notexist", share_page("百度网盘-链接不存在", "<div class=\"error-img\"></div>")},
      {"linkerror", share_page("百度网盘", "啊哦，链接错误没找到文件，请打开正确的分享链接!")},
      {"invalidated", share_page("百度网盘", "<p>该分享链接已失效</p>")},
      {"linkbroken", share_page("百度网盘", "<h2>啊哦，链接出错了</h2>")},
      {"toofrequent", share_page("百度网盘", "访问过于频繁，请稍后再试")},
      {"redesigned", share_page("百度网盘", "<div id=\"app\"></div>")},
      {"public", share_page("百度网盘 - 分享文件",
                            "<div class=\"share-valid-check\">过期时间：永久有效</div>")},
      {"old", share_page("百度网盘 - 分享文件", "<div>失效时间：2030-01-01</div>")},
      {"deleted",
       share_page("百度网盘-链接不存在", "啊哦，你来晚了，分享的文件已经被删除了，下次要早点哟。")},
      {"cancelled",
       share_page("百度网盘-链接不存在", "啊哦，你来晚了，分享的文件已经被取消了，下次要早点哟。")},
      // An expired share still shows when it expired.
      {"expired",
       share_page("百度网盘-链接不存在", "啊哦，来晚了，该分享文件已过期<br>失效时间：2020-01-01")},
      {"blocked", share_page("百度网盘-链接不存在",
                             "此链接分享内容可能因为涉及侵权、色情、反动、低俗等信息，无法访问！")},
      {"frozen", share_page("百度网盘", "该链接已被冻结，无法访问")},
      {"gone", share_page("百度网盘", "很抱歉，您要访问的页面不存在！")},
      {"overused", share_page("百度网盘", "由于访问次数过多，该分享链接已失效")},
      {"temporary", share_page("百度网盘", "此链接分享内容暂时不可访问")},
      {"nomarker", share_page("百度网盘", "<div>欢迎使用百度网盘</div>")},
  };
  return kPages;
}

ScriptedResponse ok(std::string body, std::string type = "text/html; charset=utf-8") {
  ScriptedResponse r;
  r.headers = {{"Content-Type", std::move(type)}};
  r.body = std::move(body);
  return r;
}

ScriptedResponse json(std::string body) { return ok(std::move(body), "application/json"); }

// The value of a query parameter of a request target.
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

ScriptedResponse redirect(std::string location) {
  ScriptedResponse r;
  r.status = 302;
  r.headers = {{"Location", std::move(location)}};
  return r;
}

ScriptedResponse status(int code, std::vector<std::pair<std::string, std::string>> headers = {}) {
  ScriptedResponse r;
  r.status = code;
  r.headers = std::move(headers);
  r.body = share_page("error", "error " + std::to_string(code));
  return r;
}

std::string path_of(const std::string& target) { return target.substr(0, target.find('?')); }

}  // namespace

ShareService::ShareService(Throttle throttle, ServerCert cert)
    : throttle_(throttle),
      server_([this](const RecordedRequest& request) { return answer(request); }, cert) {}

std::string ShareService::connect_to() const { return server_.connect_to(); }
std::vector<RecordedRequest> ShareService::requests() const { return server_.requests(); }
int ShareService::peak_concurrency() const { return server_.peak_concurrency(); }

int ShareService::requests_for(std::string_view id) const {
  int count = 0;
  for (const RecordedRequest& r : server_.requests())
    if (path_of(r.target) == "/s/1" + std::string(id)) ++count;
  return count;
}

int ShareService::throttled_answers() const {
  std::lock_guard lock(mutex_);
  return throttled_answers_;
}

bool ShareService::throttled_now() {
  if (throttle_.per_second <= 0) return false;
  const auto now = Clock::now();
  recent_.push_back(now);
  std::erase_if(recent_, [&](Clock::time_point t) { return now - t > std::chrono::seconds(1); });
  if (static_cast<int>(recent_.size()) > throttle_.per_second)
    penalty_until_ = std::max(penalty_until_, now + throttle_.penalty);
  return now < penalty_until_;
}

ScriptedResponse ShareService::answer_list(const RecordedRequest& request, bool throttled) {
  if (throttled) return json(R"({"errno":-62,"request_id":1})");
  const std::string id = parameter(request.target, "shorturl");
  const std::string state = id.substr(0, id.find('-'));
  if (state == "redesigned") {
    std::string code = id.substr(std::min(id.size(), state.size() + 1));
    code = code.substr(0, code.find('-'));
    if (code == "0") {
      return json(R"({"errno":0,"request_id":1,"list":[{"fs_id":7,"isdir":0,)"
                  R"("server_filename":"课件.zip","size":1024}]})");
    }
    if (code == "0empty") return json(R"({"errno":0,"request_id":1,"list":[]})");
    if (code == "nojson") return ok(share_page("百度网盘", "<p>系统繁忙</p>"));
    if (code == "fail") return status(503);
    if (code == "429") return status(429);
    if (!code.empty() && code[0] == 'm') code[0] = '-';
    return json(R"({"errno":)" + code + R"(,"request_id":1})");
  }
  if (state == "need") return json(R"({"errno":-9,"request_id":1})");
  if (state == "deleted") return json(R"({"errno":-7,"request_id":1})");
  if (state == "public")
    return json(R"({"errno":0,"request_id":1,"list":[{"fs_id":1,"server_filename":"a"}]})");
  return json(R"({"errno":2,"request_id":1})");
}

ScriptedResponse ShareService::answer(const RecordedRequest& request) {
  const std::string path = path_of(request.target);
  int seen;
  bool throttled;
  {
    std::lock_guard lock(mutex_);
    throttled = throttled_now();
    if (throttled) ++throttled_answers_;
    seen = throttled ? 0 : ++seen_[path];
  }
  if (path == "/share/list") return answer_list(request, throttled);
  if (throttled) return ok(security_check_page());
  if (path == "/share/init") return ok(code_page());
  if (path.rfind("/error/404", 0) == 0) return status(404);
  // A share of the older kind, by its number: 1 is public, any other gone.
  if (path == "/share/link") {
    return ok(parameter(request.target, "shareid") == "1" ? pages().at("public")
                                                          : pages().at("notexist"));
  }
  if (path.rfind("/s/1", 0) != 0) return status(404);
  const std::string id = path.substr(4);
  const std::string state = id.substr(0, id.find('-'));

  // A share that needs its code sends the browser on to the page that asks for it.
  if (state == "need") return redirect("/share/init?surl=" + id);
  if (const auto it = pages().find(state); it != pages().end()) return ok(it->second);
  if (state == "empty") return ok("");
  // Pages in GBK, which say so in their header or only in a <meta> of their own.
  if (state == "gbk") {
    return ok(utf8_to_gbk(share_page("百度网盘-链接不存在",
                                     "啊哦，你来晚了，分享的文件已经被删除了，下次要早点哟。")),
              "text/html; charset=GBK");
  }
  if (state == "gbkmeta") {
    std::string page = code_page();
    page.replace(page.find("charset=\"utf-8\""), 15, "charset=\"gb2312\"");
    return ok(utf8_to_gbk(page), "text/html");
  }
  if (state == "passport") return redirect("https://passport.baidu.com/v2/?login&u=" + path);
  // The request as it arrived, for clients in other processes that check what they send.
  if (state == "echo") return ok(request.raw);
  if (state == "notfound") return redirect("https://pan.baidu.com/error/404.html");
  if (state == "flaky") return seen == 1 ? status(503) : ok(pages().at("public"));
  if (state == "down") return status(503);
  if (state == "broken") return status(500);
  if (state == "forbidden") return status(403);
  if (state == "busy")
    return seen == 1 ? status(429, {{"Retry-After", "1"}}) : ok(pages().at("public"));
  if (state == "captcha") return ok(security_check_page());
  if (state == "offsite") return redirect("https://wappass.baidu.com/static/captcha/tuxing.html");
  if (state == "plainhttp") return redirect("http://pan.baidu.com/s/1public");
  if (state == "loop") return redirect(path);
  if (state == "slow" || state == "lag") {
    ScriptedResponse r = ok(pages().at("public"));
    r.delay_ms = state == "slow" ? 1500 : 300;
    return r;
  }
  if (state == "silent") {
    ScriptedResponse r;
    r.never_answer = true;
    return r;
  }
  if (state == "reset") {
    ScriptedResponse r;
    r.reset = true;
    return r;
  }
  if (state == "hugeheader" || state == "manyheaders") {
    // One header line of 1 MiB, or 40 of 10 KiB: beyond what any client takes.
    ScriptedResponse r = ok(pages().at("public"));
    if (state == "hugeheader") {
      r.headers.emplace_back("X-Padding", std::string(1 << 20, 'h'));
    } else {
      for (int i = 0; i < 40; ++i)
        r.headers.emplace_back("X-Padding-" + std::to_string(i), std::string(10 << 10, 'h'));
    }
    return r;
  }
  if (state == "huge") {
    ScriptedResponse r = ok(std::string(1 << 20, 'x'));
    r.repeat_body = 40;
    return r;
  }
  return status(404);
}

}  // namespace quorvex::test
