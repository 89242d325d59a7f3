#include "session/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace quorvex {
namespace {

std::string numbered_lines(const std::string& tag, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += tag + std::to_string(i) + " x\r\n";
  return text;
}

TEST(Session, LoadResetsTheRunAndFillsTheList) {
  auto session = std::make_shared<Session>();
  const auto before = session->counters();
  before->checked_count = 5;
  session->set_source_text("a\r\nb\r\n");
  session->reset_run_state();
  session->wait_for_loads();
  EXPECT_NE(session->counters(), before);
  EXPECT_EQ(session->counters()->checked_count.load(), 0);
  EXPECT_EQ(session->title_prefix(), "Quorvex2.0  ");
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
      session->table()->for_each_row([&](int, const LinkRow& row) {
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

}  // namespace
}  // namespace quorvex
