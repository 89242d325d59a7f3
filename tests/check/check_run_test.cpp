#include "check/check_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "base/gbk_literals.h"
#include "support/gbk.h"
#include "support/test_https_server.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestHttpsServer;

const std::string kAskForCodeUtf8 =
    "\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81";

// A share service: /live* asks for the code, /expiry* shows only an expiry time, /slow* answers
// a live page late, /silent* never answers, anything else is a dead page.
ScriptedResponse share_service(const RecordedRequest& req) {
  ScriptedResponse r;
  if (req.target.rfind("/live", 0) == 0) {
    r.body = "<p>" + kAskForCodeUtf8 + "</p>";
  } else if (req.target.rfind("/expiry", 0) == 0) {
    r.body = "\xE5\xA4\xB1\xE6\x95\x88\xE6\x97\xB6\xE9\x97\xB4: 7 days";
  } else if (req.target.rfind("/slow", 0) == 0) {
    r.delay_ms = 300;
    r.body = kAskForCodeUtf8;
  } else if (req.target.rfind("/silent", 0) == 0) {
    r.never_answer = true;
  } else if (req.target.rfind("/empty", 0) == 0) {
    r.body = "";
  } else {
    r.body = "<p>share gone</p>";
  }
  return r;
}

// A list of one row per path, named row0, row1, …, with the server's address as link.
struct List {
  std::shared_ptr<LinkTable> table = std::make_shared<LinkTable>();
  std::uint64_t generation = 0;
};

List list_of(const std::vector<std::string>& links) {
  List list;
  std::vector<LinkRow> rows;
  for (std::size_t i = 0; i < links.size(); ++i)
    rows.emplace_back("row" + std::to_string(i), links[i], "");
  list.generation = list.table->replace_rows(std::move(rows));
  return list;
}

List list_for(const TestHttpsServer& server, const std::vector<std::string>& paths) {
  std::vector<std::string> links;
  for (const auto& p : paths) links.push_back(server.base_url() + p);
  return list_of(links);
}

// A thread limit a test can change while the run goes on.
struct Limit {
  std::shared_ptr<std::atomic<int>> value = std::make_shared<std::atomic<int>>(10);
  std::function<int()> source() const {
    return [v = value] { return v->load(); };
  }
};

bool finishes(CheckRun& run, std::chrono::milliseconds limit = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!run.snapshot().active()) return run.wait(deadline);
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

TEST(CheckRun, VerdictsCountsAndMarks) {
  TestHttpsServer server(share_service);
  const std::string base = server.base_url();
  List list = list_of({base + "/live1", base + "/expiry1", base + "/dead1", base + "/empty1",
                       "",                // no "pan" in the row: fetched at the bare prefix
                       base + "/LIVE"});  // the path decides, not the case of the words
  CheckRun run(list.table);
  run.list_ready(list.generation);
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(finishes(run));
  const LinkTable& t = *list.table;
  const std::vector<std::string> expected = {G("√"), G("√"), "x", "x", "x", "x"};
  for (int r = 0; r < 6; ++r) {
    EXPECT_EQ(t.cell(r, kColumnStatus), expected[r]) << r;
    EXPECT_EQ(t.cell(r, kColumnDone), G("完成")) << r;
  }
  const RunSnapshot s = run.snapshot();
  EXPECT_EQ(s.state, RunState::finished);
  EXPECT_EQ(s.total, 6);
  EXPECT_EQ(s.started, 6);
  EXPECT_EQ(s.finished, 6);
  EXPECT_EQ(s.checked, 5);
  EXPECT_EQ(s.valid, 2);
  EXPECT_EQ(s.invalid, 3);
  EXPECT_EQ(server.requests().size(), 5u);
}

TEST(CheckRun, ProgressIsReportedAtEveryStartAndASecondStartChangesNothing) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/live1", "/live2", "/live3", "/live4"});
  std::mutex mutex;
  std::vector<int> started;
  CheckRunConfig config;
  config.on_progress = [&](const RunSnapshot& s) {
    std::lock_guard lock(mutex);
    if (started.empty() || started.back() != s.started) started.push_back(s.started);
  };
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(started, (std::vector<int>{1, 2, 3, 4}));
  // A second start after every row was started ends at once and fetches nothing.
  run.start();
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(server.requests().size(), 4u);
  EXPECT_EQ(run.snapshot().started, 4);
}

TEST(CheckRun, StartsArePacedOnePerPass) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/live1", "/live2", "/live3", "/live4", "/live5", "/live6"});
  CheckRun run(list.table);
  run.list_ready(list.generation);
  const auto begin = std::chrono::steady_clock::now();
  run.start();
  ASSERT_TRUE(finishes(run));
  // Six starts need at least five pauses of 20 ms between them.
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 100ms);
}

TEST(CheckRun, LimitOneMeansOneRequestAtATime) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/slow1", "/slow2", "/slow3"});
  Limit limit;
  limit.value->store(1);
  CheckRunConfig config;
  config.thread_limit = limit.source();
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.peak_concurrency(), 1);
}

TEST(CheckRun, RaisingTheLimitMidRunTakesEffect) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/slow1", "/slow2", "/slow3", "/slow4", "/slow5", "/slow6",
                                "/slow7", "/slow8", "/slow9", "/slow10", "/slow11", "/slow12"});
  Limit limit;
  limit.value->store(2);
  CheckRunConfig config;
  config.thread_limit = limit.source();
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  std::this_thread::sleep_for(250ms);
  EXPECT_LE(server.peak_concurrency(), 2);
  limit.value->store(5);
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(server.requests().size(), 12u);
  EXPECT_GE(server.peak_concurrency(), 4);
  EXPECT_LE(server.peak_concurrency(), 5);
}

TEST(CheckRun, NoProbeWithoutAPositiveLimitUntilCorrected) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/live1", "/live2"});
  Limit limit;
  limit.value->store(0);
  CheckRunConfig config;
  config.thread_limit = limit.source();
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  std::this_thread::sleep_for(150ms);
  limit.value->store(-3);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(server.requests().size(), 0u);
  EXPECT_TRUE(run.snapshot().active());
  limit.value->store(3);
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(run.snapshot().valid, 2);
}

TEST(CheckRun, AHugeLimitStartsNoMoreThreadsThanThereAreRows) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/slow1", "/slow2", "/slow3"});
  Limit limit;
  limit.value->store(100000);
  std::atomic<int> threads{0};
  CheckRunConfig config;
  config.thread_limit = limit.source();
  config.spawn = [&](std::function<void()> body) {
    threads.fetch_add(1);
    return WorkerGroup::spawn_thread(std::move(body));
  };
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(threads.load(), 3);
  EXPECT_EQ(run.snapshot().valid, 3);
}

TEST(CheckRun, AThreadThatCannotStartIsTriedAgain) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/live1", "/dead1", "/live2"});
  std::atomic<int> attempts{0};
  CheckRunConfig config;
  config.spawn = [&](std::function<void()> body) -> std::optional<std::thread> {
    if (attempts.fetch_add(1) % 2 == 0) return std::nullopt;  // every other start fails
    return WorkerGroup::spawn_thread(std::move(body));
  };
  CheckRun run(list.table, config);
  run.list_ready(list.generation);
  run.start();
  ASSERT_TRUE(finishes(run));
  std::multiset<std::string> targets;
  for (const auto& r : server.requests()) targets.insert(r.target);
  EXPECT_EQ(targets, (std::multiset<std::string>{"/live1", "/dead1", "/live2"}));
  const RunSnapshot s = run.snapshot();
  EXPECT_EQ(s.valid, 2);
  EXPECT_EQ(s.started, 3);
}

TEST(CheckRun, ARunStartedBeforeItsListIsCompleteWaitsForIt) {
  TestHttpsServer server(share_service);
  auto table = std::make_shared<LinkTable>();
  CheckRun run(table);
  run.start();
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(run.snapshot().state, RunState::waiting_for_list);
  EXPECT_EQ(run.snapshot().started, 0);
  const std::uint64_t generation =
      table->replace_rows({LinkRow("a", server.base_url() + "/live1", "")});
  run.list_ready(generation);
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(run.snapshot().valid, 1);
}

TEST(CheckRun, ProbesOfAReplacedListWriteNothing) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/slow1", "/slow2"});
  CheckRun run(list.table);
  run.list_ready(list.generation);
  run.start();
  std::this_thread::sleep_for(100ms);  // both probes are fetching now
  list.table->replace_rows({LinkRow("new", "", ""), LinkRow("new2", "", "")});
  ASSERT_TRUE(finishes(run));
  EXPECT_EQ(list.table->cell(0, kColumnStatus), "");
  EXPECT_EQ(list.table->cell(1, kColumnDone), "");
  EXPECT_EQ(run.snapshot().finished, 0);
}

TEST(CheckRun, CancellingEndsFetchesUnderWayAndJoinsEveryThread) {
  TestHttpsServer server(share_service);
  List list = list_for(server, {"/silent1", "/silent2", "/silent3", "/live4"});
  const int threads_before = WorkerGroup::live_in_process();
  auto run = std::make_unique<CheckRun>(list.table);
  run->list_ready(list.generation);
  run->start();
  std::this_thread::sleep_for(150ms);  // three probes wait on a server that never answers
  EXPECT_EQ(run->snapshot().running, 3);
  const auto begin = std::chrono::steady_clock::now();
  run->cancel();
  EXPECT_TRUE(run->wait(begin + 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
  EXPECT_EQ(WorkerGroup::live_in_process(), threads_before);
  EXPECT_EQ(run->snapshot().state, RunState::cancelled);
  // Rows whose fetch was cut short have no verdict; nothing was judged from a cancelled fetch.
  for (int r = 0; r < 3; ++r) EXPECT_EQ(list.table->cell(r, kColumnStatus), "") << r;
  // A run that goes away under running probes waits for them itself.
  List again = list_for(server, {"/silent5"});
  run = std::make_unique<CheckRun>(again.table);
  run->list_ready(again.generation);
  run->start();
  std::this_thread::sleep_for(80ms);
  run.reset();
  EXPECT_EQ(WorkerGroup::live_in_process(), threads_before);
}

TEST(Verdict, SearchIgnoresAsciiCaseAndKeepsCharactersWhole) {
  EXPECT_TRUE(page_is_live(G("x请输入提取码y")));
  EXPECT_TRUE(page_is_live(G("失效时间")));
  EXPECT_FALSE(page_is_live(""));
  EXPECT_FALSE(page_is_live(G("请输入密码")));
  // The phrase shifted by one byte inside other characters is no match.
  EXPECT_FALSE(page_is_live("\xB0" + G("失效时间").substr(0, 7)));
}

}  // namespace
}  // namespace quorvex
