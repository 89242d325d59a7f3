// web_request over the real request object, against a local HTTPS server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "net/web_request.h"
#include "support/test_forward_proxy.h"
#include "support/test_https_server.h"

namespace quorvex {
namespace {

using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestHttpsServer;
using Clock = std::chrono::steady_clock;

// A browser identity like the probe's.
constexpr std::string_view kUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) QQBrowser/9.4.7658.400";

TEST(CurlRequest, SendsTheProbesRequestExactly) {
  TestHttpsServer server([](const RecordedRequest&) { return ScriptedResponse{200, {}, "page"}; });
  const std::string url = server.base_url() + "/s/1abc?x=1";
  std::string headers = "User-Agent: " + std::string(kUserAgent);
  WebRequest r;
  r.url = url;
  r.method = 0;
  r.extra_headers = &headers;
  EXPECT_EQ(web_request(r), "page");
  const auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 1u);
  const std::string host = "pan.localhost:" + std::to_string(server.port());
  EXPECT_EQ(reqs[0].raw,
            "GET /s/1abc?x=1 HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "User-Agent: " +
                std::string(kUserAgent) +
                "\r\n"
                "Accept: */*\r\n"
                "Referer: " +
                url +
                "\r\n"
                "Accept-Language: zh-cn\r\n"
                "\r\n");
}

TEST(CurlRequest, IgnoresProxiesNamedInTheEnvironment) {
  TestHttpsServer server([](const RecordedRequest&) {
    return ScriptedResponse{200, {}, "direct"};
  });
  ::setenv("https_proxy", "http://127.0.0.1:9", 1);
  ::setenv("HTTPS_PROXY", "http://127.0.0.1:9", 1);
  WebRequest r;
  r.url = server.base_url() + "/s/1";
  const std::string body = web_request(r);
  ::unsetenv("https_proxy");
  ::unsetenv("HTTPS_PROXY");
  EXPECT_EQ(body, "direct");
}

TEST(CurlRequest, GoesThroughAProxyWithBasicCredentials) {
  TestHttpsServer server([](const RecordedRequest&) {
    return ScriptedResponse{200, {}, "via proxy"};
  });
  test::TestForwardProxy proxy("Basic bWU6cHc=");  // me:pw
  WebRequest r;
  r.url = server.base_url() + "/s/1";
  r.proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
  r.proxy_user = "me";
  r.proxy_password = "pw";
  EXPECT_EQ(web_request(r), "via proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0].rfind(
                "CONNECT pan.localhost:" + std::to_string(server.port()) + " HTTP/1.1\r\n", 0),
            0u);
  // The credentials go to the proxy only, never to the share service.
  const auto sent = server.requests().at(0).headers;
  for (const auto& [name, value] : sent) EXPECT_NE(name, "Proxy-Authorization");
  // Wrong credentials: the proxy refuses and the request fails.
  r.proxy_password = "wrong";
  int status = -1;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "");
  EXPECT_EQ(status, 0);
}

TEST(CurlRequest, ReturnsHeadersStatusAndCookies) {
  TestHttpsServer server([](const RecordedRequest& req) {
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.body, std::string("\x01\x00\x02", 3));
    return ScriptedResponse{404, {{"Set-Cookie", "sid=9; path=/"}, {"X-T", "v"}}, "missing"};
  });
  std::string submit = "a=1", returned, headers_out;
  int status = -1;
  WebRequest r;
  r.url = server.base_url() + "/p";
  r.method = 1;
  r.post_bytes = std::string("\x01\x00\x02", 3);
  r.submit_cookies = &submit;
  r.returned_cookies = &returned;
  r.returned_headers = &headers_out;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "missing");
  EXPECT_EQ(status, 404);
  EXPECT_EQ(headers_out,
            "Set-Cookie: sid=9; path=/\r\nX-T: v\r\nContent-Length: 7\r\nConnection: close");
  EXPECT_EQ(returned, "sid=9; a=1");
  const auto sent = server.requests().at(0).headers;
  // The caller's headers, then the body's length; curl adds no Expect or Content-Type of its own.
  std::vector<std::string> names;
  for (const auto& [name, value] : sent) names.push_back(name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Host", "Cookie", "Accept", "Referer", "Accept-Language",
                                      "User-Agent", "Content-Type", "Content-Length"}));
}

TEST(CurlRequest, FollowsRedirectsUnlessForbidden) {
  TestHttpsServer server([](const RecordedRequest& req) {
    if (req.target == "/old") return ScriptedResponse{302, {{"Location", "/new"}}, "moved"};
    return ScriptedResponse{200, {}, "new page"};
  });
  WebRequest r;
  r.url = server.base_url() + "/old";
  int status = 0;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "new page");
  EXPECT_EQ(status, 200);
  r.forbid_redirects = true;
  EXPECT_EQ(web_request(r), "moved");
  EXPECT_EQ(status, 302);
}

TEST(CurlRequest, FailuresGiveAnEmptyAnswer) {
  // A closed port.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  std::string headers_out = "old";
  int status = -1;
  WebRequest r;
  r.url = "https://pan.localhost:" + std::to_string(ntohs(addr.sin_port)) + "/s/1";
  r.returned_headers = &headers_out;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "");
  EXPECT_EQ(headers_out, "");
  EXPECT_EQ(status, 0);
  // The bare prefix names a host that does not resolve.
  r.url = "https://pan";
  r.timeout_seconds = 2;
  EXPECT_EQ(web_request(r), "");
}

TEST(CurlRequest, AServerThatNeverAnswersEndsWithinTheTimeout) {
  TestHttpsServer server([](const RecordedRequest&) {
    ScriptedResponse s;
    s.never_answer = true;
    return s;
  });
  WebRequest r;
  r.url = server.base_url() + "/slow";
  r.timeout_seconds = 1;
  int status = -1;
  r.status_code = &status;
  const auto start = Clock::now();
  EXPECT_EQ(web_request(r), "");
  EXPECT_EQ(status, 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
}

TEST(CurlRequest, LargeBodiesUpToTheCapArriveWholeBeyondItFail) {
  const std::string chunk(1 << 20, 'z');
  TestHttpsServer server([&](const RecordedRequest& req) {
    ScriptedResponse s;
    s.body = chunk;
    s.repeat_body = req.target == "/big" ? 8 : 80;
    return s;
  });
  WebRequest r;
  r.url = server.base_url() + "/big";
  EXPECT_EQ(web_request(r).size(), 8u << 20);
  r.url = server.base_url() + "/endless";
  int status = -1;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "");
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace quorvex
