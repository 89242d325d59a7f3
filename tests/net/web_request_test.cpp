// web_request's calls on the request object, recorded by a fake.
#include "net/web_request.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

class RecordingRequest : public RequestObject {
 public:
  std::vector<std::string> calls;
  std::string body = "BODY";
  std::string headers = "Set-Cookie: s=1; path=/\r\nServer: t";
  int status_value = 200;

  void set_timeouts(int a, int b, int c, int d) override {
    calls.push_back("timeouts " + std::to_string(a) + " " + std::to_string(b) + " " +
                    std::to_string(c) + " " + std::to_string(d));
  }
  void set_proxy(int s, const std::string& server) override {
    calls.push_back("proxy " + std::to_string(s) + " " + server);
  }
  void open(const std::string& m, const std::string& url, bool async) override {
    calls.push_back("open " + m + " " + url + (async ? " async" : " sync"));
  }
  void set_option(int i, long v) override {
    calls.push_back("option " + std::to_string(i) + " " + std::to_string(v));
  }
  void set_credentials(const std::string& u, const std::string& p, int f) override {
    calls.push_back("credentials " + u + " " + p + " " + std::to_string(f));
  }
  void set_request_header(const std::string& n, const std::string& v) override {
    calls.push_back("header [" + n + "] [" + v + "]");
  }
  void send_text(const std::string& b) override { calls.push_back("send text [" + b + "]"); }
  void send_bytes(const std::string& b) override { calls.push_back("send bytes [" + b + "]"); }
  std::string response_body() override { return body; }
  std::string all_response_headers() override { return headers; }
  int status() override { return status_value; }

  std::vector<std::string> headers_set() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.rfind("header ", 0) == 0) out.push_back(c.substr(7));
    return out;
  }
};

TEST(WebRequest, TheProbesCall) {
  RecordingRequest fake;
  std::string headers = "User-Agent: QQ";
  WebRequest r;
  r.url = "https://pan.baidu.com/s/1a";
  r.method = 0;
  r.extra_headers = &headers;
  r.request_object = &fake;
  EXPECT_EQ(web_request(r), "BODY");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{
                            "timeouts 15000 15000 15000 15000",
                            "open GET https://pan.baidu.com/s/1a sync",
                            "option 4 0",
                            "header [User-Agent] [QQ]",
                            "header [Accept] [*/*]",
                            "header [Referer] [https://pan.baidu.com/s/1a]",
                            "header [Accept-Language] [zh-cn]",
                            "send text []",
                        }));
  EXPECT_EQ(headers,
            "User-Agent: QQ\r\nAccept: */*\r\nReferer: "
            "https://pan.baidu.com/s/1a\r\nAccept-Language: zh-cn");
}

TEST(WebRequest, TimeoutsAndMethods) {
  auto calls_for = [](WebRequest r) {
    RecordingRequest fake;
    r.url = "u";
    r.request_object = &fake;
    r.complete_headers = false;
    web_request(r);
    return fake.calls;
  };
  WebRequest r;
  r.timeout_seconds = -1;
  EXPECT_EQ(calls_for(r).front(), "open GET u sync");
  r.timeout_seconds = -5;
  EXPECT_EQ(calls_for(r).front(), "timeouts 15000 15000 15000 15000");
  r.timeout_seconds = 30;
  EXPECT_EQ(calls_for(r).front(), "timeouts 30000 30000 30000 30000");
  WebRequest m;
  m.method = 8;
  EXPECT_EQ(calls_for(m)[1], "open GET u sync");
  m.method = -1;
  EXPECT_EQ(calls_for(m)[1], "open GET u sync");
  m.method = 5;
  EXPECT_EQ(calls_for(m)[1], "open DELETE u sync");
  WebRequest redirects;
  redirects.forbid_redirects = true;
  EXPECT_EQ(calls_for(redirects)[2], "option 6 0");
}

TEST(WebRequest, HeaderCompletion) {
  auto headers_for = [](int method, std::string extra, std::optional<bool> normalize = {}) {
    RecordingRequest fake;
    WebRequest r;
    r.url = "u";
    r.method = method;
    r.extra_headers = &extra;
    r.normalize_header_names = normalize;
    r.request_object = &fake;
    web_request(r);
    return fake.headers_set();
  };
  // POST adds the form content type; an accept line in lower case counts as present.
  EXPECT_EQ(headers_for(1, "accept: text/html"),
            (std::vector<std::string>{
                "[Accept] [text/html]", "[Referer] [u]", "[Accept-Language] [zh-cn]",
                "[User-Agent] [Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)]",
                "[Content-Type] [application/x-www-form-urlencoded]"}));
  // Normalisation decides the spelling of a name; off, a line keeps its own.
  EXPECT_EQ(headers_for(0, "content-type: a\r\nx: 1", true)[0], "[Content-Type] [a]");
  EXPECT_EQ(headers_for(0, "content-type: a\r\nx: 1", false)[0], "[content-type] [a]");
  // keep-alive Connection lines are left to the request object in a multi-line text only.
  auto multi = headers_for(0, "Connection: keep-alive\r\nConnection: close");
  EXPECT_EQ(multi[0], "[Connection] [close]");
  RecordingRequest single_fake;
  std::string single = "Connection: keep-alive";
  WebRequest s;
  s.url = "u";
  s.extra_headers = &single;
  s.complete_headers = false;
  s.request_object = &single_fake;
  web_request(s);
  EXPECT_EQ(single_fake.headers_set(), (std::vector<std::string>{"[Connection] [keep-alive]"}));

  RecordingRequest none_fake;
  WebRequest none;
  none.url = "u";
  none.complete_headers = false;
  none.request_object = &none_fake;
  web_request(none);
  EXPECT_TRUE(none_fake.headers_set().empty());
}

TEST(WebRequest, CookiesAreSentCollectedAndMerged) {
  RecordingRequest fake;
  std::string submit = "COOKIE: a=1; s=0";
  std::string returned, headers_out;
  int status = 0;
  WebRequest r;
  r.url = "u";
  r.submit_cookies = &submit;
  r.returned_cookies = &returned;
  r.returned_headers = &headers_out;
  r.status_code = &status;
  r.complete_headers = false;
  r.request_object = &fake;
  web_request(r);
  EXPECT_EQ(fake.headers_set(), (std::vector<std::string>{"[Cookie] [ a=1; s=0]"}));
  EXPECT_EQ(returned, "s=1; a=1");
  EXPECT_EQ(submit, returned);
  EXPECT_EQ(headers_out, fake.headers);
  EXPECT_EQ(status, 200);

  // Given as empty text, the Cookie header is still set; without merging, only the response's.
  RecordingRequest fake2;
  std::string empty;
  std::string returned2;
  WebRequest e;
  e.url = "u";
  e.submit_cookies = &empty;
  e.returned_cookies = &returned2;
  e.merge_cookies = false;
  e.complete_headers = false;
  e.request_object = &fake2;
  web_request(e);
  EXPECT_EQ(fake2.headers_set(), (std::vector<std::string>{"[Cookie] []"}));
  EXPECT_EQ(returned2, "s=1");
}

TEST(WebRequest, ProxyCredentialsAndBodies) {
  auto calls_for = [](std::optional<int> flags, std::string user) {
    RecordingRequest fake;
    WebRequest r;
    r.url = "u";
    r.proxy_address = "127.0.0.1:3128";
    r.proxy_user = user;
    r.proxy_password = "pw";
    r.proxy_credential_flags = flags;
    r.complete_headers = false;
    r.post_text = "text";
    r.post_bytes = "bytes";
    r.request_object = &fake;
    web_request(r);
    return fake.calls;
  };
  const auto with = calls_for(std::nullopt, "me");
  EXPECT_EQ(with[1], "proxy 2 127.0.0.1:3128");
  EXPECT_NE(std::find(with.begin(), with.end(), "credentials me pw 1"), with.end());
  EXPECT_NE(std::find(with.begin(), with.end(), "header [Proxy-Authorization] [Basic bWU6cHc=]"),
            with.end());
  EXPECT_EQ(with.back(), "send bytes [bytes]");
  const auto flags0 = calls_for(0, "me");
  EXPECT_NE(std::find(flags0.begin(), flags0.end(), "credentials me pw 0"), flags0.end());
  for (const auto& c : flags0) EXPECT_EQ(c.find("Proxy-Authorization"), std::string::npos);
  const auto nobody = calls_for(std::nullopt, "");
  for (const auto& c : nobody) EXPECT_EQ(c.find("credentials"), std::string::npos);
}

}  // namespace
}  // namespace quorvex
