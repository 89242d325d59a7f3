#include "shell/verdict_memory.h"

#include <gtest/gtest.h>

#include "support/scratch_dir.h"
#include "support/utf8_path.h"

namespace quorvex {
namespace {

TEST(VerdictMemory, ThePaceOneRunLearnedIsWhereTheNextStarts) {
  test::ScratchDir dir;
  auto store = std::shared_ptr<VerdictStore>(
      VerdictStore::open(test::utf8_name(dir / "verdicts.sqlite")).store);
  ASSERT_TRUE(store);
  std::int64_t now = 1000;
  CheckRunConfig first;
  // Kept even by a run that fetches everything: it is about the service, not the verdicts.
  attach_store(first, store, VerdictLifetimes{}, true, [&] { return now; });
  ASSERT_TRUE(first.recall_pace);
  EXPECT_FALSE(first.recall_pace(ShareService::baidu));
  first.remember_pace(ShareService::baidu, LearnedPace{11, 9.5, 0});
  first.remember_pace(ShareService::quark, LearnedPace{4, 3, 0});
  store->flush();
  now = 1000 + 3600;
  CheckRunConfig second;
  attach_store(second, store, VerdictLifetimes{}, false, [&] { return now; });
  const auto learned = second.recall_pace(ShareService::baidu);
  ASSERT_TRUE(learned);
  EXPECT_DOUBLE_EQ(learned->first.ceiling, 11);
  EXPECT_DOUBLE_EQ(learned->first.held, 9.5);
  EXPECT_EQ(learned->second, 3600);  // an hour old
  // A run that learned nothing leaves what was learned before.
  second.remember_pace(ShareService::baidu, LearnedPace{});
  store->flush();
  EXPECT_DOUBLE_EQ(store->pace("pan.baidu.com")->held, 9.5);
  // Each service's pace is its own.
  const auto quark = second.recall_pace(ShareService::quark);
  ASSERT_TRUE(quark);
  EXPECT_DOUBLE_EQ(quark->first.held, 3);
  EXPECT_FALSE(second.recall_pace(ShareService::lanzou));
}

}  // namespace
}  // namespace quorvex
