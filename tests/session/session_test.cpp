#include "session/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/share_service.h"

namespace quorvex {
namespace {

std::string numbered_lines(const std::string& tag, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += tag + std::to_string(i) + " x\r\n";
  return text;
}

using namespace std::chrono_literals;
using test::ShareService;

// Runs that reach the stand-in share service as pan.baidu.com.
CheckRunConfig runs_for(const ShareService& service) {
  CheckRunConfig config;
  config.probe.ca_file = test::test_ca_file();
  config.probe.connect_to = {service.connect_to()};
  return config;
}

// One line per share id: "rowN https://pan.baidu.com/s/1<id>".
std::string rows_for(std::initializer_list<std::string> ids) {
  std::string text;
  int i = 0;
  for (const auto& id : ids)
    text += "row" + std::to_string(i++) + " " + ShareService::link(id) + "\r\n";
  return text;
}

bool run_ends(const std::shared_ptr<CheckRun>& run) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (run->snapshot().active() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  return run->wait(deadline);
}

TEST(Session, LoadGivesTheListAFreshRunAndFillsIt) {
  auto session = std::make_shared<Session>();
  const std::shared_ptr<CheckRun> before = session->run();
  session->set_source_text("a\r\nb\r\n");
  session->reset_run_state();
  session->wait_for_loads();
  EXPECT_NE(session->run(), before);
  EXPECT_EQ(before->snapshot().state, RunState::cancelled);
  EXPECT_EQ(session->run()->snapshot().state, RunState::idle);
  EXPECT_EQ(session->table()->row_count(), 2);
  EXPECT_EQ(session->table()->cell(1, 0), "b");
  EXPECT_EQ(session->table()->cell(9, 0), "");  // missing rows read as empty
}

TEST(Session, ConcurrentLoadsNeverMix) {
  auto session = std::make_shared<Session>();
  std::atomic<bool> mixed{false};
  std::atomic<bool> stop{false};
  // A reader looks at the list all the time: it must only ever see one load's rows, whole.
  std::thread reader([&] {
    while (!stop) {
      std::string first_tag;
      int rows = 0;
      session->table()->for_each_row([&](int, const RowView& row) {
        const std::string tag(row.cell(0).substr(0, 1));
        if (first_tag.empty()) first_tag = tag;
        if (tag != first_tag) mixed = true;
        ++rows;
      });
      if (rows != 0 && rows != 20000 && rows != 30000) mixed = true;
    }
  });
  for (int round = 0; round < 20; ++round) {
    session->set_source_text(numbered_lines(round % 2 ? "A" : "B", round % 2 ? 20000 : 30000));
    session->reset_run_state();
  }
  session->wait_for_loads();
  stop = true;
  reader.join();
  EXPECT_FALSE(mixed);
  // The last load asked for is the one that stays.
  EXPECT_EQ(session->table()->row_count(), 20000);
  EXPECT_EQ(session->table()->cell(0, 0), "A0");
}

TEST(Session, ReplacingTheSourceTextDoesNotDisturbARunningLoad) {
  auto session = std::make_shared<Session>();
  session->set_source_text(numbered_lines("A", 200000));
  session->reset_run_state();
  session->set_source_text("other\r\n");
  session->wait_for_loads();
  EXPECT_EQ(session->table()->row_count(), 200000);
  EXPECT_EQ(*session->source_text(), "other\r\n");
}

TEST(Session, AReloadMidRunKeepsOldProbesOutOfTheNewRows) {
  ShareService service;
  Session session(runs_for(service));
  session.set_source_text(rows_for({"lag-1", "lag-2", "lag-3", "lag-4"}));
  session.reset_run_state();
  session.wait_for_loads();
  const std::shared_ptr<CheckRun> old_run = session.run();
  session.start_check_run();
  std::this_thread::sleep_for(100ms);  // probes are fetching now
  session.set_source_text(
      rows_for({"deleted-1", "deleted-2", "deleted-3", "deleted-4", "deleted-5"}));
  session.reset_run_state();
  session.wait_for_loads();
  ASSERT_TRUE(run_ends(old_run));
  EXPECT_EQ(old_run->snapshot().running, 0);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(session.table()->cell(r, kColumnStatus), "") << r;
  // The new list gets its own run.
  const std::shared_ptr<CheckRun> fresh = session.run();
  EXPECT_EQ(fresh->snapshot().checked, 0);
  session.start_check_run();
  ASSERT_TRUE(run_ends(fresh));
  EXPECT_EQ(fresh->snapshot().checked, 5);
  EXPECT_EQ(fresh->snapshot().valid, 0);
}

TEST(Session, ARunStartedDuringALoadWaitsForTheWholeList) {
  Session session;
  std::string text;
  for (int i = 0; i < 200000; ++i)
    text += "https://pan.baidu.com/s/1filler" + std::to_string(i) + "\r\n";
  session.set_source_text(text);
  session.set_thread_limit(0);  // only the waiting matters here
  session.reset_run_state();
  session.start_check_run();
  const std::shared_ptr<CheckRun> run = session.run();
  session.wait_for_loads();
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(run->snapshot().active());
  EXPECT_EQ(run->snapshot().started, 0);
  EXPECT_EQ(run->snapshot().total, 200000);
  // A new load ends this run.
  session.reset_run_state();
  ASSERT_TRUE(run_ends(run));
  EXPECT_EQ(run->snapshot().state, RunState::cancelled);
}

TEST(Session, GoingAwayWithProbesUnderWayWaitsForThemWithoutHanging) {
  ShareService service;
  const int threads_before = WorkerGroup::live_in_process();
  auto session = std::make_unique<Session>(runs_for(service));
  session->set_source_text(rows_for({"silent-1", "silent-2", "silent-3"}));
  session->reset_run_state();
  session->wait_for_loads();
  session->start_check_run();
  std::this_thread::sleep_for(120ms);
  EXPECT_GT(WorkerGroup::live_in_process(), threads_before);
  const auto begin = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
  EXPECT_EQ(WorkerGroup::live_in_process(), threads_before);
}

TEST(Session, RowsTakenOutKeepTheOthersVerdictsAndCounts) {
  ShareService service;
  auto session = std::make_shared<Session>(runs_for(service));
  session->set_source_text(rows_for({"need", "deleted", "need", "public", "deleted-2"}));
  session->reset_run_state();
  session->wait_for_loads();
  ASSERT_EQ(session->repeat_rows(), (std::vector<int>{2}));
  ASSERT_TRUE(session->start_check_run());
  ASSERT_TRUE(run_ends(session->run()));
  ASSERT_EQ(session->run()->snapshot().valid, 3);

  // The repeat and one invalid row go; what is left keeps its verdicts, and the new run counts
  // them as checked without fetching again.
  const std::size_t requests_before = service.requests().size();
  EXPECT_EQ(session->remove_rows({2, 1, 1, 99, -1}), 2);
  const auto& table = *session->table();
  ASSERT_EQ(table.row_count(), 3);
  EXPECT_EQ(table.cell(0, 0), "row0");
  EXPECT_EQ(table.cell(1, 0), "row3");
  EXPECT_EQ(table.cell(2, 0), "row4");
  EXPECT_EQ(table.verdict(1).verdict, Verdict::valid);
  EXPECT_EQ(table.verdict(2).verdict, Verdict::invalid);
  const RunSnapshot after = session->run()->snapshot();
  EXPECT_EQ(after.checked, 3);
  EXPECT_EQ(after.valid, 2);
  EXPECT_EQ(after.invalid, 1);
  EXPECT_EQ(after.finished, 3);
  EXPECT_TRUE(session->repeat_rows().empty());
  ASSERT_TRUE(session->start_check_run());
  ASSERT_TRUE(run_ends(session->run()));
  EXPECT_EQ(service.requests().size(), requests_before);  // nothing left to fetch
  EXPECT_EQ(session->remove_rows({}), 0);
}

TEST(Session, RowsAreNotTakenOutUnderARunningCheck) {
  ShareService service;
  auto session = std::make_shared<Session>(runs_for(service));
  session->set_source_text(rows_for({"slow", "public"}));
  session->reset_run_state();
  session->wait_for_loads();
  ASSERT_TRUE(session->start_check_run());
  EXPECT_EQ(session->remove_rows({0}), -1);
  EXPECT_EQ(session->table()->row_count(), 2);
  ASSERT_TRUE(run_ends(session->run()));
  EXPECT_EQ(session->remove_rows({0}), 1);
}

TEST(Session, ARunCancelledByTheUserIsGoneOnWithKeepingWhatItDecided) {
  ShareService service;
  auto session = std::make_shared<Session>(runs_for(service));
  session->set_thread_limit(1);
  session->set_source_text(rows_for({"public", "slow", "deleted", "need"}));
  session->reset_run_state();
  session->wait_for_loads();
  ASSERT_TRUE(session->start_check_run());
  const std::shared_ptr<CheckRun> first = session->run();
  while (first->snapshot().finished < 1 || first->snapshot().running == 0)
    std::this_thread::sleep_for(2ms);
  first->cancel();
  ASSERT_TRUE(run_ends(first));
  ASSERT_EQ(first->snapshot().state, RunState::cancelled);
  ASSERT_LT(first->snapshot().finished, 4);
  // Started again: a new run over the same rows, the first row's verdict kept, the rest checked.
  ASSERT_TRUE(session->start_check_run());
  EXPECT_NE(session->run(), first);
  ASSERT_TRUE(run_ends(session->run()));
  const RunSnapshot s = session->run()->snapshot();
  EXPECT_EQ(s.finished, 4);
  EXPECT_EQ(s.valid, 3);
  EXPECT_EQ(s.invalid, 1);
  EXPECT_EQ(service.requests_for("public"), 1);
}

}  // namespace
}  // namespace quorvex
