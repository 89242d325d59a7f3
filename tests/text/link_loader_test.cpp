#include "text/link_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <random>

#include "base/gbk_literals.h"
#include "model/share_url.h"
#include "text/typeset.h"

#include "support/cells.h"
#include "support/gbk.h"

namespace quorvex {
namespace {

using test::cells;
using test::G;

TEST(LinkRowFromLine, TypesetLine) {
  const LinkRow row = link_row_from_line(G("标题  链接：https://pan.baidu.com/s/1abc  密码：x1y2"));
  EXPECT_EQ(cells(row),
            (std::vector<std::string>{G("标题"), "https://pan.baidu.com/s/1abc", "x1y2", "", ""}));
}

TEST(LinkRowFromLine, TypesetLineWithoutTitle) {
  // The link piece becomes the name; the address is built from the code piece, which holds no
  // "pan", so it is the bare prefix.
  const LinkRow row = link_row_from_line(G("  链接：https://pan.baidu.com/s/1abc  密码：x1y2"));
  EXPECT_EQ(row.cell(0), G("链接：https://pan.baidu.com/s/1abc"));
  EXPECT_EQ(row.cell(1), "https://pan");
  EXPECT_EQ(row.cell(2), "");
}

TEST(LinkRowFromLine, OddLines) {
  EXPECT_EQ(cells(link_row_from_line("https://pan.baidu.com/s/1abc")),
            (std::vector<std::string>{"https://pan.baidu.com/s/1abc", "", "", "", ""}));
  EXPECT_EQ(link_row_from_line("a b").cell(1), "https://pan");     // no "pan" in the second piece
  EXPECT_EQ(link_row_from_line("a  b").cell(1), "https://pan");    // two blanks cut once
  EXPECT_EQ(link_row_from_line("a xpan").cell(1), "https://pan");  // "pan" ending the piece
  EXPECT_EQ(link_row_from_line("a pan.x/1pandaX").cell(1), "https://pandaX");
  EXPECT_EQ(link_row_from_line(G("a b 提取码:12")).cell(2), "");  // ASCII colon
  EXPECT_EQ(link_row_from_line(G("a b 提取码：")).cell(2), "");
  EXPECT_EQ(link_row_from_line(G("a b c：1 d：2")).cell(2), "1");  // fourth piece ignored
  EXPECT_EQ(cells(link_row_from_line("   ")), (std::vector<std::string>(5)));
}

TEST(LinkRowFromLine, AShareIdHoldingPanStaysWhole) {
  EXPECT_EQ(link_row_from_line(G("标题 链接：https://pan.baidu.com/s/1xpanY")).cell(1),
            "https://pan.baidu.com/s/1xpanY");
  EXPECT_EQ(link_row_from_line("a http://pan.baidu.com/s/1panpan?pwd=pan1").cell(1),
            "https://pan.baidu.com/s/1panpan?pwd=pan1");
  EXPECT_EQ(link_row_from_line("a yun.baidu.com/s/1panda").cell(1),
            "https://pan.baidu.com/s/1panda");
  // Through typesetting, which is unchanged, too.
  const std::string typeset =
      typeset_share_text(G("资源名\r\n链接：https://pan.baidu.com/s/1public-xpanQ7rT\r\n"
                           "提取码：ab12\r\n"));
  const auto rows = build_link_rows(typeset);
  ASSERT_EQ(rows.size(), 1u) << typeset;
  EXPECT_EQ(rows[0].cell(1), "https://pan.baidu.com/s/1public-xpanQ7rT");
  EXPECT_EQ(rows[0].cell(2), "ab12");
}

TEST(BuildLinkRows, OneRowPerNonEmptyCrLfLine) {
  const auto rows = build_link_rows("\r\na b\r\n\r\n   \r\nc\r\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cell(0), "a");
  EXPECT_EQ(rows[1].cell(0), "");  // a line of blanks keeps its row, so rows stay in line order
  EXPECT_EQ(rows[2].cell(0), "c");
  // LF-only line ends make one line.
  EXPECT_EQ(build_link_rows("a\nb\nc").size(), 1u);
  EXPECT_TRUE(build_link_rows("").empty());
}

// A list kept as lines of its text reads exactly as the rows cut from it one by one: every
// cell, whatever the lines (long ones, blank ones, CR LF inside a double-byte character,
// a last line without an end).
TEST(LinesOfAText, ReadAsTheRowsCutFromIt) {
  std::mt19937 random(7);
  const std::vector<std::string> pieces = {" ",
                                           "  ",
                                           "\r\n",
                                           "\r\n\r\n",
                                           "a",
                                           "pan",
                                           "pan.baidu.com/s/1AbC",
                                           G("链接："),
                                           G("提取码："),
                                           "\x81\r\n",
                                           "\x81",
                                           std::string(300, 'x'),
                                           "https://pan@127.0.0.1/s/1a",
                                           "\r",
                                           "\n"};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 120);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    const std::vector<LinkRow> rows = build_link_rows(text);
    LinkTable table;
    auto shared = std::make_shared<const std::string>(text);
    table.replace_lines(shared, index_lines(*shared));
    ASSERT_EQ(table.row_count(), static_cast<int>(rows.size())) << round;
    std::string url;
    table.for_each_row([&](int r, const RowView& row) {
      const LinkRow& want = rows[static_cast<std::size_t>(r)];
      EXPECT_EQ(cells(row), cells(want)) << round << " row " << r;
      row.share_url_into(url);
      EXPECT_EQ(url, share_url_of_row(want.cell(kColumnLink), want.cell(kColumnName)));
    });
    // Sorting the lines sorts as the rows' cells do.
    for (const int column : {kColumnName, kColumnLink, kColumnCode}) {
      const bool descending = round % 2 == 0;
      std::vector<int> a(rows.size()), b(rows.size());
      for (std::size_t r = 0; r < rows.size(); ++r) a[r] = b[r] = static_cast<int>(r);
      table.sort_rows(a, column, descending);
      std::stable_sort(b.begin(), b.end(), [&](int x, int y) {
        const int c = rows[static_cast<std::size_t>(x)].cell(column).compare(
            rows[static_cast<std::size_t>(y)].cell(column));
        return descending ? c > 0 : c < 0;
      });
      EXPECT_EQ(a, b) << round << " column " << column;
    }
  }
}

// Verdicts and done marks stay with their rows when rows are taken out; comparisons read the
// cells as the rows have them.
TEST(LinesOfAText, VerdictsAndMarksStayWithTheirRows) {
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += "n" + std::to_string(39 - i) + " pan.baidu.com/s/1id" + std::to_string(i) + " " +
            G("码：") + "c" + std::to_string(i % 3) + "\r\n" + (i % 7 == 0 ? "\r\n" : "");
  const std::vector<LinkRow> rows = build_link_rows(text);
  LinkTable t;
  const std::uint64_t g = t.replace_text(text);
  t.set_verdict_if(g, 3, {Verdict::valid, Reason::public_share, true});
  t.set_cell_if(g, 3, kColumnDone, gbk::kDoneMark);
  t.set_verdict_if(g, 5, {Verdict::unknown, Reason::too_large, false});
  t.set_cell_if(g, 5, kColumnDone, gbk::kDoneMark);
  t.set_verdict_if(g, 5, {});  // no verdict: no done mark either
  t.set_verdict_if(g, 7, {Verdict::invalid, Reason::deleted, false});
  EXPECT_FALSE(t.set_verdict_if(g + 1, 8, {Verdict::valid, Reason::need_code, false}));
  std::vector<char> drop(40, 0);
  drop[0] = drop[4] = 1;
  t.keep_rows(drop);
  ASSERT_EQ(t.row_count(), 38);
  for (int r = 0; r < 38; ++r) {
    const LinkRow& want = rows[static_cast<std::size_t>(r < 3 ? r + 1 : r + 2)];
    for (int c = kColumnName; c <= kColumnCode; ++c)
      EXPECT_EQ(t.cell(r, c), want.cell(c)) << r << "," << c;
    for (int other : {0, 17, 37})
      EXPECT_EQ(t.compare_cells(r, other, kColumnName) < 0,
                want.cell(kColumnName) < t.cell(other, kColumnName));
  }
  EXPECT_EQ(t.cell(2, kColumnDone), G("完成"));
  EXPECT_EQ(t.verdict(2), (RowVerdict{Verdict::valid, Reason::public_share, true}));
  EXPECT_EQ(t.cell(2, kColumnStatus), G("√"));
  EXPECT_EQ(t.cell(3, kColumnDone), "");
  EXPECT_EQ(t.verdict(3), RowVerdict{});
  EXPECT_EQ(t.cell(5, kColumnStatus), "x");
  EXPECT_EQ(t.verdict(5), (RowVerdict{Verdict::invalid, Reason::deleted, false}));
}

}  // namespace
}  // namespace quorvex
