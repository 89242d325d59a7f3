#include "model/row_order.h"

#include <gtest/gtest.h>

#include "support/cells.h"

namespace quorvex {
namespace {

// Rows named as given, with the given verdicts.
void fill(LinkTable& table, const std::vector<std::pair<std::string, Verdict>>& rows) {
  std::string text;
  for (const auto& row : rows)
    text += test::row_line(row.first, "https://pan.baidu.com/s/1" + row.first);
  const std::uint64_t generation = table.replace_text(text);
  for (std::size_t r = 0; r < rows.size(); ++r)
    if (rows[r].second != Verdict::none)
      table.set_verdict_if(generation, static_cast<int>(r), {rows[r].second, Reason::none});
}

TEST(RowOrder, SortsByStatusOrTextKeepingListOrderForTies) {
  LinkTable table;
  fill(table, {{"d", Verdict::none},
               {"b", Verdict::invalid},
               {"a", Verdict::valid},
               {"c", Verdict::unknown},
               {"e", Verdict::valid},
               {"a", Verdict::invalid}});
  const RowOrder by_status = build_row_order(table, kColumnStatus, false, VerdictFilter::all);
  EXPECT_EQ(by_status.order, (std::vector<int>{2, 4, 1, 5, 3, 0}));
  const RowOrder by_status_down = build_row_order(table, kColumnStatus, true, VerdictFilter::all);
  EXPECT_EQ(by_status_down.order, (std::vector<int>{0, 3, 1, 5, 2, 4}));
  const RowOrder by_name = build_row_order(table, kColumnName, false, VerdictFilter::all);
  EXPECT_EQ(by_name.order, (std::vector<int>{2, 5, 1, 3, 0, 4}));
  const RowOrder by_name_down = build_row_order(table, kColumnName, true, VerdictFilter::all);
  EXPECT_EQ(by_name_down.order, (std::vector<int>{4, 0, 3, 1, 2, 5}));
  // Positions are the inverse, so a row is found where it is shown.
  for (std::size_t i = 0; i < by_name.order.size(); ++i)
    EXPECT_EQ(by_name.position[static_cast<std::size_t>(by_name.order[i])], static_cast<int>(i));
  EXPECT_EQ(by_name.generation, table.generation());
  EXPECT_EQ(by_name.rows, 6);
}

TEST(RowOrder, FiltersByVerdictAndHidesTheRest) {
  LinkTable table;
  fill(table, {{"d", Verdict::none},
               {"b", Verdict::invalid},
               {"a", Verdict::valid},
               {"c", Verdict::unknown},
               {"e", Verdict::valid}});
  const RowOrder valid = build_row_order(table, -1, false, VerdictFilter::valid);
  EXPECT_EQ(valid.order, (std::vector<int>{2, 4}));
  EXPECT_EQ(valid.position, (std::vector<int>{-1, -1, 0, -1, 1}));
  EXPECT_EQ(build_row_order(table, kColumnName, true, VerdictFilter::valid).order,
            (std::vector<int>{4, 2}));
  EXPECT_EQ(build_row_order(table, kColumnStatus, false, VerdictFilter::unchecked).order,
            (std::vector<int>{0}));
  EXPECT_EQ(build_row_order(table, -1, false, VerdictFilter::unknown).order, (std::vector<int>{3}));
  EXPECT_TRUE(
      build_row_order(LinkTable{}, kColumnName, false, VerdictFilter::invalid).order.empty());
}

}  // namespace
}  // namespace quorvex
