#include "check/check_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "base/gbk_literals.h"
#include "base/worker_threads.h"
#include "support/gbk.h"
#include "support/test_https_server.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestHttpsServer;

// A share service: /live* asks for the code, /expiry* shows only an expiry time, /slow* answers
// a live page late, anything else is a dead page.
ScriptedResponse share_service(const RecordedRequest& req) {
  ScriptedResponse r;
  if (req.target.rfind("/live", 0) == 0)
    r.body = "<p>\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81</p>";
  else if (req.target.rfind("/expiry", 0) == 0)
    r.body = "\xE5\xA4\xB1\xE6\x95\x88\xE6\x97\xB6\xE9\x97\xB4: 7 days";
  else if (req.target.rfind("/slow", 0) == 0) {
    r.delay_ms = 300;
    r.body = "\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81";
  } else if (req.target.rfind("/empty", 0) == 0)
    r.body = "";
  else
    r.body = "<p>share gone</p>";
  return r;
}

// The window's side of a run: the thread-count box and the title.
struct FakeWindow : std::enable_shared_from_this<FakeWindow> {
  std::mutex mutex;
  std::string limit = "10";
  std::vector<std::string> titles;

  FrontEndHooks hooks() {
    // The hooks keep the fake alive, as the window's bridge outlives the window->
    auto self = shared_from_this();
    return {[self](const std::string& t) {
              std::lock_guard lock(self->mutex);
              self->titles.push_back(t);
            },
            [self] {
              std::lock_guard lock(self->mutex);
              return self->limit;
            }};
  }
  void set_limit(std::string l) {
    std::lock_guard lock(mutex);
    limit = std::move(l);
  }
};

std::shared_ptr<Session> loaded_session(const std::shared_ptr<FakeWindow>& window,
                                        const std::string& text) {
  auto session = std::make_shared<Session>(window->hooks());
  session->set_source_text(text);
  session->reset_run_state();
  session->wait_for_loads();
  return session;
}

bool wait_for_run(const std::shared_ptr<RunCounters>& c, std::chrono::milliseconds limit = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!c->scheduler_active && c->running_count == 0) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

std::string rows_for(const TestHttpsServer& server, std::initializer_list<std::string> paths) {
  std::string text;
  int i = 0;
  for (const auto& p : paths)
    text += "row" + std::to_string(i++) + " " + server.base_url() + p + "\r\n";
  return text;
}

TEST(CheckRun, VerdictsCountersAndMarks) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  const std::string text = rows_for(server, {"/live1", "/expiry1", "/dead1", "/empty1"}) +
                           "nolink here\r\n" +  // fetched at the bare prefix, not counted
                           "bare " + server.base_url() + "/LIVE\r\n";  // the path decides, not case
  auto session = loaded_session(window, text);
  start_check_run(session);
  ASSERT_TRUE(wait_for_run(session->counters()));
  const LinkTable& t = *session->table();
  const std::vector<std::string> expected = {G("√"), G("√"), "x", "x", "x", "x"};
  for (int r = 0; r < 6; ++r) {
    EXPECT_EQ(t.cell(r, 3), expected[r]) << r;
    EXPECT_EQ(t.cell(r, 4), G("完成")) << r;
  }
  EXPECT_EQ(session->counters()->checked_count, 5);
  EXPECT_EQ(session->counters()->valid_count, 2);
  EXPECT_EQ(server.requests().size(), 5u);
}

TEST(CheckRun, TitlesShowTheShareOfStartedRows) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  auto session = loaded_session(window, rows_for(server, {"/live1", "/live2", "/live3", "/live4"}));
  start_check_run(session);
  ASSERT_TRUE(wait_for_run(session->counters()));
  EXPECT_EQ(window->titles, (std::vector<std::string>{"Quorvex2.0  25%", "Quorvex2.0  50%",
                                                      "Quorvex2.0  75%", "Quorvex2.0  100%"}));
  // A second click after every row was started changes nothing.
  start_check_run(session);
  ASSERT_TRUE(wait_for_run(session->counters()));
  EXPECT_EQ(server.requests().size(), 4u);
  EXPECT_EQ(window->titles.size(), 4u);
}

TEST(CheckRun, LimitOneMeansOneRequestAtATime) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  window->set_limit(" 1");
  auto session = loaded_session(window, rows_for(server, {"/slow1", "/slow2", "/slow3"}));
  start_check_run(session);
  ASSERT_TRUE(wait_for_run(session->counters()));
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.peak_concurrency(), 1);
}

TEST(CheckRun, RaisingTheLimitMidRunTakesEffect) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  window->set_limit("2");
  auto session = loaded_session(
      window, rows_for(server, {"/slow1", "/slow2", "/slow3", "/slow4", "/slow5", "/slow6",
                                "/slow7", "/slow8", "/slow9", "/slow10", "/slow11", "/slow12"}));
  start_check_run(session);
  std::this_thread::sleep_for(250ms);
  EXPECT_LE(server.peak_concurrency(), 2);
  window->set_limit("5");
  ASSERT_TRUE(wait_for_run(session->counters()));
  EXPECT_EQ(server.requests().size(), 12u);
  EXPECT_GE(server.peak_concurrency(), 4);
  EXPECT_LE(server.peak_concurrency(), 5);
}

TEST(CheckRun, NoProbeWithoutAPositiveLimitUntilCorrected) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  window->set_limit("abc");
  auto session = loaded_session(window, rows_for(server, {"/live1", "/live2"}));
  start_check_run(session);
  std::this_thread::sleep_for(150ms);
  window->set_limit("0");
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(server.requests().size(), 0u);
  EXPECT_TRUE(session->counters()->scheduler_active);
  window->set_limit("3");
  ASSERT_TRUE(wait_for_run(session->counters()));
  EXPECT_EQ(session->counters()->valid_count, 2);
}

TEST(CheckRun, AReloadMidRunKeepsOldProbesOutOfTheNewRows) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  auto session = loaded_session(window, rows_for(server, {"/slow1", "/slow2", "/slow3", "/slow4"}));
  const auto old_counters = session->counters();
  start_check_run(session);
  std::this_thread::sleep_for(100ms);  // probes are fetching now
  session->set_source_text(rows_for(server, {"/dead1", "/dead2", "/dead3", "/dead4", "/dead5"}));
  session->reset_run_state();
  session->wait_for_loads();
  ASSERT_TRUE(wait_for_run(old_counters));
  EXPECT_EQ(old_counters->running_count, 0);  // the old probes gave their count back
  const auto fresh = session->counters();
  EXPECT_EQ(fresh->checked_count, 0);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(session->table()->cell(r, 3), "") << r;
  // The new list gets its own run.
  start_check_run(session);
  ASSERT_TRUE(wait_for_run(fresh));
  EXPECT_EQ(fresh->checked_count, 5);
  EXPECT_EQ(fresh->valid_count, 0);
}

TEST(CheckRun, ARunStartedDuringALoadWaitsForTheWholeList) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  auto session = std::make_shared<Session>(window->hooks());
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "filler" + std::to_string(i) + "\r\n";
  text += "last " + server.base_url() + "/live\r\n";
  session->set_source_text(text);
  window->set_limit("0");  // only the last row's probe matters here
  session->reset_run_state();
  start_check_run(session);
  session->wait_for_loads();
  const auto counters = session->counters();
  EXPECT_TRUE(counters->scheduler_active);
  EXPECT_EQ(counters->started_count, 0);
  EXPECT_EQ(session->table()->row_count(), 200001);
  // A new load ends this run's scheduler.
  session->reset_run_state();
  ASSERT_TRUE(wait_for_run(counters));
}

TEST(CheckRun, AThreadThatCannotStartIsTriedAgain) {
  TestHttpsServer server(share_service);
  auto window = std::make_shared<FakeWindow>();
  auto session = loaded_session(window, rows_for(server, {"/live1", "/dead1", "/live2"}));
  auto options = default_check_run_options();
  std::atomic<int> refusals{0};
  options.start_thread = [&](std::function<void()> fn) {
    if (refusals.fetch_add(1) % 2 == 0) return false;  // every other start fails
    return start_worker(std::move(fn));
  };
  start_check_run(session, options);
  ASSERT_TRUE(wait_for_run(session->counters()));
  std::multiset<std::string> targets;
  for (const auto& r : server.requests()) targets.insert(r.target);
  EXPECT_EQ(targets, (std::multiset<std::string>{"/live1", "/dead1", "/live2"}));
  EXPECT_EQ(session->counters()->valid_count, 2);
}

TEST(CheckRun, ClosingTheWindowUnderRunningProbesIsSafe) {
  TestHttpsServer server(share_service);
  std::weak_ptr<Session> weak;
  std::shared_ptr<RunCounters> counters;
  {
    auto window = std::make_shared<FakeWindow>();
    auto session = loaded_session(window, rows_for(server, {"/slow1", "/slow2"}));
    counters = session->counters();
    start_check_run(session, {&start_worker, &fetch_share_page});
    std::this_thread::sleep_for(60ms);
    weak = session;
    // The front end goes away here; the workers keep what they use alive.
    session->hooks();
  }
  ASSERT_TRUE(wait_for_run(counters));
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(weak.expired());
}

TEST(Verdict, SearchIgnoresAsciiCaseAndKeepsCharactersWhole) {
  EXPECT_TRUE(page_is_live(G("x请输入提取码y")));
  EXPECT_TRUE(page_is_live(G("失效时间")));
  EXPECT_FALSE(page_is_live(""));
  EXPECT_FALSE(page_is_live(G("请输入密码")));
  // The phrase shifted by one byte inside other characters is no match.
  EXPECT_FALSE(page_is_live("\xB0" + G("失效时间").substr(0, 7)));
}

TEST(ShareUrl, RebuiltAfterTheLastPan) {
  EXPECT_EQ(share_url_of("https://pan.baidu.com/s/1a", "x"), "https://pan.baidu.com/s/1a");
  EXPECT_EQ(share_url_of("", "pan.baidu.com/s/1a"), "https://pan.baidu.com/s/1a");
  EXPECT_EQ(share_url_of("pan.baidu.com/s/1pandaX", ""), "https://pandaX");
  EXPECT_EQ(share_url_of("", "no link"), "https://pan");
}

}  // namespace
}  // namespace quorvex

#include "base/pumped_wait.h"

namespace quorvex {
namespace {

TEST(PumpedWait, LengthsByUnit) {
  EXPECT_EQ(pumped_wait_length_ms(20, std::nullopt), 20);
  EXPECT_EQ(pumped_wait_length_ms(2, 1), 2000);
  EXPECT_EQ(pumped_wait_length_ms(2, 2), 120000);
  EXPECT_EQ(pumped_wait_length_ms(2, 3), 7200000);
  EXPECT_EQ(pumped_wait_length_ms(2, 250), 500);  // any other unit is its own length in ms
  EXPECT_EQ(pumped_wait_length_ms(std::nullopt, std::nullopt), 18000000LL * 18000000LL);
  EXPECT_EQ(pumped_wait_length_ms(std::nullopt, 1), 0);
}

TEST(PumpedWait, KeepsPumpingWhileItWaits) {
  int pumps = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(pumped_wait(30, std::nullopt, [&] { ++pumps; }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_GE(pumps, 2);
}

}  // namespace
}  // namespace quorvex
