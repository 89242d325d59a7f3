#include "text/link_loader.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvex
