// web_request over the real request object, against a local HTTPS server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/body_budget.h"
#include "net/web_request.h"
#include "support/test_forward_proxy.h"
#include "support/test_https_server.h"

namespace quorvex {
namespace {

using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestHttpsServer;
using Clock = std::chrono::steady_clock;

// web_request checks certificates; the local server's are signed by the test authority, which
// this object trusts besides the system's.
std::unique_ptr<RequestObject> trusting_object() {
  TransportPolicy policy;
  policy.extra_ca_file = test::test_ca_file();
  return create_request_object(policy);
}

// A browser identity like the probe's.
constexpr std::string_view kUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) QQBrowser/9.4.7658.400";

TEST(CurlRequest, SendsTheProbesRequestExactly) {
  TestHttpsServer server([](const RecordedRequest&) { return ScriptedResponse{200, {}, "page"}; });
  const std::string url = server.base_url() + "/s/1abc?x=1";
  std::string headers = "User-Agent: " + std::string(kUserAgent);
  WebRequest r;
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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

// What is checked is what is sent: a path is never resolved on the way.
TEST(CurlRequest, APathGoesOutAsWritten) {
  TestHttpsServer server([](const RecordedRequest&) { return ScriptedResponse{200, {}, "page"}; });
  WebRequest r;
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
  r.url = server.base_url() + "/s/1x/../../y/./%2e%2e/z";
  r.method = 0;
  web_request(r);
  const auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].target, "/s/1x/../../y/./%2e%2e/z");
}

TEST(CurlRequest, IgnoresProxiesNamedInTheEnvironment) {
  TestHttpsServer server([](const RecordedRequest&) {
    return ScriptedResponse{200, {}, "direct"};
  });
  ::setenv("https_proxy", "http://127.0.0.1:9", 1);
  ::setenv("HTTPS_PROXY", "http://127.0.0.1:9", 1);
  WebRequest r;
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
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
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
  r.url = server.base_url() + "/big";
  EXPECT_EQ(web_request(r).size(), 8u << 20);
  r.url = server.base_url() + "/endless";
  int status = -1;
  r.status_code = &status;
  EXPECT_EQ(web_request(r), "");
  EXPECT_EQ(status, 0);
}

// A request for the share host's address, sent to `server` instead.
struct PolicyRequest {
  TransportPolicy policy;
  std::string url = "https://pan.baidu.com/s/1abc";
  int status = -1;
  std::string body;
  RequestObject::TransferReport report;

  PolicyRequest& send() {
    const std::unique_ptr<RequestObject> object = create_request_object(policy);
    WebRequest r;
    r.url = url;
    r.request_object = object.get();
    r.status_code = &status;
    body = web_request(r);
    report = object->transfer_report();
    return *this;
  }
};

PolicyRequest to(const TestHttpsServer& server) {
  PolicyRequest p;
  p.policy.connect_to = {server.connect_to()};
  p.policy.verify_certificates = true;
  p.policy.extra_ca_file = test::test_ca_file();
  return p;
}

TEST(CurlRequest, ReachesAStandInUnderTheShareHostsNameWithVerifiedTls) {
  TestHttpsServer server([](const RecordedRequest&) { return ScriptedResponse{200, {}, "page"}; });
  PolicyRequest p = to(server);
  p.send();
  EXPECT_EQ(p.body, "page");
  EXPECT_EQ(p.status, 200);
  EXPECT_TRUE(p.report.connected);
  EXPECT_EQ(p.report.final_url, "https://pan.baidu.com/s/1abc");
  EXPECT_TRUE(p.report.error.empty());
  const auto sent = server.requests().at(0).headers;
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], (std::pair<std::string, std::string>{"Host", "pan.baidu.com"}));
}

TEST(CurlRequest, CertificatesAreCheckedWhenThePolicySaysSo) {
  TestHttpsServer trusted([](const RecordedRequest&) { return ScriptedResponse{200, {}, "ok"}; });
  TestHttpsServer forged(
      [](const RecordedRequest&) {
        return ScriptedResponse{200, {}, "ok"};
      },
      test::ServerCert::self_signed);
  // The test authority is no authority of the system's.
  PolicyRequest without_ca = to(trusted);
  without_ca.policy.extra_ca_file.clear();
  without_ca.send();
  EXPECT_EQ(without_ca.body, "");
  EXPECT_EQ(without_ca.status, 0);
  EXPECT_TRUE(without_ca.report.certificate_rejected);
  EXPECT_FALSE(without_ca.report.error.empty());
  // With it, the stand-in passes; a certificate signed by nobody still does not.
  EXPECT_EQ(to(trusted).send().body, "ok");
  PolicyRequest self_signed = to(forged);
  EXPECT_TRUE(self_signed.send().report.certificate_rejected);
  // Told not to check, the request goes through, whatever web_request's own option says.
  self_signed.policy.verify_certificates = false;
  EXPECT_EQ(self_signed.send().body, "ok");
  // And web_request on its own checks them too, for callers that give no policy of their own:
  // neither a certificate signed by nobody nor one of an authority it was not told of passes.
  WebRequest plain;
  plain.url = forged.base_url() + "/x";
  EXPECT_EQ(web_request(plain), "");
  plain.url = trusted.base_url() + "/x";
  EXPECT_EQ(web_request(plain), "");
}

TEST(CurlRequest, RedirectsAreFollowedOnlyWhereThePolicyAllows) {
  TestHttpsServer other([](const RecordedRequest&) { return ScriptedResponse{200, {}, "other"}; });
  TestHttpsServer server([](const RecordedRequest& req) {
    if (req.target == "/s/1abc")
      return ScriptedResponse{302, {{"Location", "/share/init?surl=abc"}}, ""};
    if (req.target == "/s/1away")
      return ScriptedResponse{302, {{"Location", "https://wappass.baidu.com/captcha"}}, "moved"};
    return ScriptedResponse{200, {}, "init page"};
  });
  PolicyRequest p = to(server);
  p.policy.connect_to.push_back("wappass.baidu.com:443:127.0.0.1:" + std::to_string(other.port()));
  p.policy.may_follow = [](std::string_view url) {
    return url.rfind("https://pan.baidu.com/", 0) == 0;
  };
  p.send();
  EXPECT_EQ(p.body, "init page");
  EXPECT_EQ(p.report.final_url, "https://pan.baidu.com/share/init?surl=abc");
  EXPECT_TRUE(p.report.refused_redirect.empty());
  // The same referrer and headers go with the hop on the same host.
  const auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 2u);
  EXPECT_EQ(reqs[0].raw.substr(reqs[0].raw.find("\r\n")),
            reqs[1].raw.substr(reqs[1].raw.find("\r\n")));
  // A redirect anywhere else ends the request there, with the redirect as its answer.
  p.url = "https://pan.baidu.com/s/1away";
  p.send();
  EXPECT_EQ(p.status, 302);
  EXPECT_EQ(p.body, "moved");
  EXPECT_EQ(p.report.refused_redirect, "https://wappass.baidu.com/captcha");
  EXPECT_EQ(p.report.final_url, "https://pan.baidu.com/s/1away");
  EXPECT_TRUE(other.requests().empty());
}

TEST(CurlRequest, PlainRequestsFollowRedirectsToWebAddressesOnly) {
  // A listener that notes any connection at all.
  std::atomic<int> connections{0};
  test::LoopbackListener ftp([&](int fd) {
    connections.fetch_add(1);
    ::close(fd);
  });
  TestHttpsServer server([&](const RecordedRequest&) {
    return ScriptedResponse{
        302, {{"Location", "ftp://127.0.0.1:" + std::to_string(ftp.port()) + "/x"}}, "moved"};
  });
  WebRequest r;
  const std::unique_ptr<RequestObject> trusted = trusting_object();
  r.request_object = trusted.get();
  r.url = server.base_url() + "/s/1";
  web_request(r);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(connections.load(), 0);
}

TEST(CurlRequest, TheReportTellsTimeOutsCancelsAndOversizedAnswers) {
  TestHttpsServer server([](const RecordedRequest& req) {
    ScriptedResponse r;
    if (req.target == "/s/1silent") r.never_answer = true;
    if (req.target == "/s/1trickle") {
      r.body = std::string(100000, 't');
      r.trickle_ms = 20;
    }
    if (req.target == "/s/1big") {
      r.body = std::string(1 << 20, 'b');
      r.repeat_body = 3;
    }
    return r;
  });
  PolicyRequest silent = to(server);
  silent.url = "https://pan.baidu.com/s/1silent";
  silent.policy.overall_timeout = std::chrono::milliseconds(300);
  const auto start = Clock::now();
  silent.send();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(silent.report.timed_out);
  EXPECT_TRUE(silent.report.connected);
  EXPECT_EQ(silent.status, 0);

  std::atomic<bool> cancel{false};
  PolicyRequest cancelled = to(server);
  cancelled.url = "https://pan.baidu.com/s/1silent";
  cancelled.policy.cancel = &cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  const auto begin = Clock::now();
  cancelled.send();
  canceller.join();
  EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
  EXPECT_TRUE(cancelled.report.cancelled);
  EXPECT_FALSE(cancelled.report.timed_out);

  // A server that keeps sending a byte now and then never outlasts the request's end.
  PolicyRequest trickle = to(server);
  trickle.url = "https://pan.baidu.com/s/1trickle";
  trickle.policy.overall_timeout = std::chrono::milliseconds(500);
  const auto trickle_start = Clock::now();
  trickle.send();
  EXPECT_LT(Clock::now() - trickle_start, std::chrono::seconds(3));
  EXPECT_TRUE(trickle.report.timed_out);
  EXPECT_EQ(trickle.body, "");

  PolicyRequest big = to(server);
  big.url = "https://pan.baidu.com/s/1big";
  big.policy.max_body_bytes = std::size_t{2} << 20;
  big.send();
  EXPECT_TRUE(big.report.too_large);
  EXPECT_EQ(big.body, "");

  PolicyRequest nowhere;
  nowhere.policy.connect_to = {"pan.baidu.com:443:127.0.0.1:1"};
  nowhere.send();
  EXPECT_FALSE(nowhere.report.connected);
  EXPECT_FALSE(nowhere.report.timed_out);
  EXPECT_FALSE(nowhere.report.error.empty());
}

// Bodies beyond the free allowance need a lease of the shared budget: a request waits while others
// hold it, gets the whole body once it has one, and gives the lease back with its object. A
// wait that outlasts the request's time ends it as a time-out, never as an answer.
TEST(CurlRequest, LargeBodiesShareOneBudget) {
  TestHttpsServer server([](const RecordedRequest&) {
    ScriptedResponse r;
    r.body = std::string(300 << 10, 'b');
    return r;
  });
  BodyBudget budget(std::size_t{1} << 20);
  auto lease_of_one = to(server);
  lease_of_one.policy.max_body_bytes = 512 << 10;
  lease_of_one.policy.free_body_bytes = 64 << 10;
  lease_of_one.policy.body_budget = &budget;

  std::unique_ptr<RequestObject> first = create_request_object(lease_of_one.policy);
  WebRequest r;
  r.url = lease_of_one.url;
  r.request_object = first.get();
  EXPECT_EQ(web_request(r).size(), 300u << 10);
  EXPECT_EQ(budget.in_use(), 1u << 20);  // twice the cap, held by `first`

  PolicyRequest waiting = lease_of_one;
  waiting.policy.overall_timeout = std::chrono::milliseconds(400);
  const auto start = Clock::now();
  waiting.send();
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(350));
  EXPECT_TRUE(waiting.report.timed_out);
  EXPECT_EQ(waiting.body, "");

  // Given back with its object, the next request goes through and gives its own back.
  first.reset();
  EXPECT_EQ(budget.in_use(), 0u);
  lease_of_one.send();
  EXPECT_EQ(lease_of_one.body.size(), 300u << 10);
  EXPECT_EQ(budget.in_use(), 0u);
}

TEST(BodyBudget, TakesWholeLeasesWaitsAndGivesUp) {
  BodyBudget budget(100);
  EXPECT_EQ(budget.take(60, {}), 60u);
  EXPECT_EQ(budget.take(500, [] { return true; }), 0u);  // never more than there is, clamped
  std::atomic<bool> got{false};
  std::thread waiter([&] { got = budget.take(50, {}) == 50u; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got.load());
  budget.give_back(60);
  waiter.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(budget.in_use(), 50u);
}

}  // namespace
}  // namespace quorvex
