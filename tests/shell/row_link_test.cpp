#include "shell/row_link.h"

#include <gtest/gtest.h>

#include "support/gbk.h"

namespace quorvex {
namespace {

using test::G;

struct Recorded {
  std::vector<std::string> clipboard;
  std::vector<std::string> opened;
};

Recorded act(const std::vector<LinkRow>& rows, int selected) {
  LinkTable table;
  table.replace_rows(rows);
  Recorded r;
  open_row_link(table, selected,
                {[&](const std::string& t) { r.clipboard.push_back(t); },
                 [&](const std::string& u) { r.opened.push_back(u); }});
  return r;
}

TEST(OpenRowLink, TypesetRowCopiesItsCodeAndOpensItsAddress) {
  const Recorded r = act({LinkRow("t", "https://pan.baidu.com/s/1a", "ab12")}, 0);
  EXPECT_EQ(r.clipboard, (std::vector<std::string>{"ab12"}));
  EXPECT_EQ(r.opened, (std::vector<std::string>{"https://pan.baidu.com/s/1a"}));
}

TEST(OpenRowLink, CodeFromTheNextRowOfAnUntypesetList) {
  const LinkRow link("https://pan.baidu.com/s/1a", "", "");
  EXPECT_EQ(act({link, LinkRow(G("提取码：k7"), "", "")}, 0).clipboard.back(), "k7");
  EXPECT_EQ(act({link, LinkRow(G("提取码:k7"), "", "")}, 0).clipboard.back(), "");
  EXPECT_EQ(act({link, LinkRow(G("提取码："), "https://pan", "")}, 0).clipboard.back(), "");
  EXPECT_EQ(act({link}, 0).clipboard, (std::vector<std::string>{"", ""}));
  // A bare link in column 0 opens from there.
  EXPECT_EQ(act({link}, 0).opened, (std::vector<std::string>{"https://pan.baidu.com/s/1a"}));
}

TEST(OpenRowLink, PrefixOnlyRowsAndNoSelection) {
  EXPECT_EQ(act({LinkRow(G("链接：https://pan.baidu.com/s/1a"), "https://pan", "")}, 0).opened,
            (std::vector<std::string>{"https://pan"}));
  const Recorded none = act({LinkRow("t", "https://pan.baidu.com/s/1a", "c")}, -1);
  EXPECT_TRUE(none.clipboard.empty());
  EXPECT_TRUE(none.opened.empty());
}

}  // namespace
}  // namespace quorvex
