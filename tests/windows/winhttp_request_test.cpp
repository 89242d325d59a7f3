// The WinHTTP request object and the probe on it, against the stand-in share service running
// natively on loopback (tests/windows/with_stand_in.sh starts it and says where it is).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "check/probe.h"
#include "check/verdict_rules.h"
#include "net/request_object.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    connect_to_ = env("QUORVEX_TEST_CONNECT_TO");
    ca_file_ = env("QUORVEX_TEST_CA_FILE");
    mute_port_ = env("QUORVEX_TEST_MUTE_PORT");
    ASSERT_FALSE(connect_to_.empty()) << "run under with_stand_in.sh";
  }
  TransportPolicy policy() const {
    TransportPolicy p;
    p.connect_to = {connect_to_};
    p.extra_ca_file = ca_file_;
    return p;
  }
  ProbeSettings probe() const {
    ProbeSettings s;
    s.connect_to = {connect_to_};
    s.ca_file = ca_file_;
    s.retries = 0;
    return s;
  }
  std::string connect_to_, ca_file_, mute_port_;
};

std::vector<std::string> header_names(const std::string& raw) {
  std::vector<std::string> names;
  std::size_t at = raw.find("\r\n");
  while (at != std::string::npos) {
    const std::size_t next = raw.find("\r\n", at + 2);
    if (next == at + 2 || next == std::string::npos) break;
    const std::string line = raw.substr(at + 2, next - at - 2);
    names.push_back(line.substr(0, line.find(':')));
    at = next;
  }
  return names;
}

TEST_F(StandIn, TheCallersHeadersArriveInTheirOrderAndNothingElseButHost) {
  auto request = create_request_object(policy());
  ASSERT_TRUE(request);
  request->set_timeouts(5000, 5000, 5000, 5000);
  request->open("GET", "https://pan.baidu.com/s/1echo?x=1", false);
  request->set_request_header("User-Agent", "agent/1");
  request->set_request_header("Referer", "https://pan.baidu.com/");
  request->set_request_header("Accept", "*/*");
  request->set_request_header("X-Last", "z");
  request->send_text("");
  ASSERT_EQ(request->status(), 200) << request->transfer_report().error;
  const std::string raw = request->response_body();
  EXPECT_EQ(raw.rfind("GET /s/1echo?x=1 HTTP/1.1\r\n", 0), 0u) << raw;
  std::vector<std::string> names = header_names(raw);
  std::vector<std::string> ours;
  for (const std::string& name : names)
    if (name != "Host" && name != "Connection") ours.push_back(name);
  EXPECT_EQ(ours, (std::vector<std::string>{"User-Agent", "Referer", "Accept", "X-Last"})) << raw;
  EXPECT_NE(raw.find("\r\nHost: pan.baidu.com\r\n"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("Cookie"), std::string::npos) << raw;
  const RequestObject::TransferReport report = request->transfer_report();
  EXPECT_TRUE(report.connected);
  EXPECT_EQ(report.final_url, "https://pan.baidu.com/s/1echo?x=1");
  EXPECT_NE(request->all_response_headers().find("Content-Length"), std::string::npos);
}

TEST_F(StandIn, TheProbeJudgesEachStateAsOnLinux) {
  const std::atomic<bool> cancel{false};
  struct Case {
    const char* state;
    Verdict verdict;
  };
  for (const Case c : {Case{"public", Verdict::valid}, Case{"needcode", Verdict::valid},
                       Case{"need", Verdict::valid}, Case{"deleted", Verdict::invalid},
                       Case{"gone", Verdict::invalid}, Case{"notfound", Verdict::invalid},
                       Case{"down", Verdict::unknown}, Case{"offsite", Verdict::unknown}}) {
    const FetchResult r =
        fetch_share_page(std::string("https://pan.baidu.com/s/1") + c.state, probe(), cancel);
    EXPECT_EQ(judge_fetch(r).verdict.verdict, c.verdict)
        << c.state << " status " << r.status << " " << r.transfer.error;
  }
  const FetchResult moved = fetch_share_page("https://pan.baidu.com/s/1need", probe(), cancel);
  EXPECT_NE(moved.transfer.final_url.find("/share/init?surl=need"), std::string::npos)
      << moved.transfer.final_url;
  const FetchResult offsite = fetch_share_page("https://pan.baidu.com/s/1offsite", probe(), cancel);
  EXPECT_EQ(offsite.transfer.refused_redirect,
            "https://wappass.baidu.com/static/captcha/tuxing.html");
}

TEST_F(StandIn, CertificatesAreCheckedAgainstTheHostsName) {
  // Without the test authority the service's certificate is nobody's.
  TransportPolicy untrusted = policy();
  untrusted.extra_ca_file.clear();
  auto request = create_request_object(untrusted);
  request->set_timeouts(5000, 5000, 5000, 5000);
  request->open("GET", "https://pan.baidu.com/s/1public", false);
  request->send_text("");
  EXPECT_EQ(request->status(), 0);
  EXPECT_TRUE(request->transfer_report().certificate_rejected) << request->transfer_report().error;
  // A trusted certificate for another name is no better.
  TransportPolicy elsewhere = policy();
  elsewhere.connect_to = {"other.example:443:" +
                          connect_to_.substr(connect_to_.find(':', connect_to_.find(':') + 1) + 1)};
  request = create_request_object(elsewhere);
  request->set_timeouts(5000, 5000, 5000, 5000);
  request->open("GET", "https://other.example/s/1public", false);
  request->send_text("");
  EXPECT_EQ(request->status(), 0);
  EXPECT_TRUE(request->transfer_report().certificate_rejected) << request->transfer_report().error;
  // Told to look away, it takes the answer.
  request = create_request_object(untrusted);
  request->set_timeouts(5000, 5000, 5000, 5000);
  request->open("GET", "https://pan.baidu.com/s/1public", false);
  request->set_option(kOptionIgnoreCertErrors, kIgnoreAllCertErrors);
  request->send_text("");
  EXPECT_EQ(request->status(), 200) << request->transfer_report().error;
}

TEST_F(StandIn, ASilentServerEndsAtTheReceiveTimeout) {
  auto request = create_request_object(policy());
  request->set_timeouts(2000, 2000, 1000, 1000);
  request->open("GET", "https://pan.baidu.com/s/1silent", false);
  const auto start = std::chrono::steady_clock::now();
  request->send_text("");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(request->status(), 0);
  EXPECT_TRUE(request->transfer_report().timed_out) << request->transfer_report().error;
  EXPECT_LT(took, 5s);
}

TEST_F(StandIn, AHandshakeThatNeverEndsEndsAtTheDeadline) {
  ASSERT_FALSE(mute_port_.empty());
  TransportPolicy p = policy();
  p.connect_to = {"pan.baidu.com:443:127.0.0.1:" + mute_port_};
  p.overall_timeout = 1500ms;
  auto request = create_request_object(p);
  request->set_timeouts(30000, 30000, 30000, 30000);
  request->open("GET", "https://pan.baidu.com/s/1public", false);
  const auto start = std::chrono::steady_clock::now();
  request->send_text("");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(request->status(), 0);
  EXPECT_TRUE(request->transfer_report().timed_out) << request->transfer_report().error;
  EXPECT_GE(took, 1400ms);
  EXPECT_LT(took, 4s);
}

TEST_F(StandIn, ACancelEndsARequestUnderWay) {
  std::atomic<bool> cancel{false};
  TransportPolicy p = policy();
  p.cancel = &cancel;
  auto request = create_request_object(p);
  request->set_timeouts(30000, 30000, 30000, 30000);
  request->open("GET", "https://pan.baidu.com/s/1silent", false);
  std::thread stopper([&] {
    std::this_thread::sleep_for(300ms);
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  request->send_text("");
  stopper.join();
  EXPECT_TRUE(request->transfer_report().cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(StandIn, ABodyOverTheCapIsRefused) {
  TransportPolicy p = policy();
  p.max_body_bytes = 2u << 20;
  auto request = create_request_object(p);
  request->set_timeouts(5000, 5000, 10000, 10000);
  request->open("GET", "https://pan.baidu.com/s/1huge", false);
  request->send_text("");
  EXPECT_EQ(request->status(), 0);
  EXPECT_TRUE(request->transfer_report().too_large) << request->transfer_report().error;
  EXPECT_TRUE(request->response_body().empty());
}

}  // namespace
}  // namespace quorvex
