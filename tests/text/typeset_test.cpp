#include "text/typeset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/text_ops.h"
#include "support/gbk.h"

namespace quorvex {
namespace {

using test::G;

const std::string kHighBytes = [] {
  std::string s;
  for (int c = 0x80; c <= 0xFF; ++c) s.push_back(static_cast<char>(c));
  return s;
}();

std::string typeset(const std::string& utf8_text) {
  return test::U(typeset_share_text(G(utf8_text)));
}

TEST(Typeset, WorkedExample) {
  const std::string in =
      "标题一\r\n"
      "链接：https://pan.baidu.com/s/1abc 提取码：ab12\r\n"
      "标题二\r\n"
      "链接：https://pan.baidu.com/s/1xyz\r\n"
      "提取码：cd34\r\n";
  EXPECT_EQ(typeset(in),
            "\r\n"
            "标题一  链接：https://pan.baidu.com/s/1abc  密码：ab12\r\n"
            "标题二  链接：https://pan.baidu.com/s/1xyz  密码：cd34\r\n");
}

TEST(Typeset, TitlesAndCodesAroundTheLink) {
  // Two title lines survive above a link; the code lines below it survive only while they hold a
  // code keyword and no link.
  EXPECT_EQ(typeset("大标题\r\n小标题\r\nhttps://pan.baidu.com/s/1a\r\n提取码：1\r\n激活码：2\r\n"),
            "\r\n大标题小标题https://pan.baidu.com/s/1a  密码：1  激活码：2\r\n");
  // A code line directly above the link is not its title, and takes the title above it along.
  EXPECT_EQ(typeset("标题\r\n提取码：9\r\nhttps://pan.baidu.com/s/1a\r\n"),
            "\r\nhttps://pan.baidu.com/s/1a\r\n");
  // A line below without a code keyword drops the second line below as well.
  EXPECT_EQ(typeset("https://pan.baidu.com/s/1a\r\n闲话\r\n提取码：1\r\n"),
            "\r\nhttps://pan.baidu.com/s/1a\r\n");
}

TEST(Typeset, NeighbouringLinksStayApart) {
  EXPECT_EQ(typeset("https://pan.baidu.com/s/1a\r\nhttps://pan.baidu.com/s/1b\r\n"),
            "\r\nhttps://pan.baidu.com/s/1a\r\nhttps://pan.baidu.com/s/1b\r\n");
  // Link, code, link: the code belongs to the first; the second keeps the code line out, as it
  // is a keyword line above it.
  EXPECT_EQ(typeset("t1\r\npan/1\r\n密码：1\r\npan/2\r\n"), "\r\nt1pan/1  密码：1\r\npan/2\r\n");
}

TEST(Typeset, KeywordsAndBlanks) {
  // "pan" is case-sensitive; "下载链接" becomes "链接"; only 0x20 blanks go.
  EXPECT_EQ(typeset("PAN only\r\n"), "");
  EXPECT_EQ(typeset("下载链接: pan/1 提取码 : x\r\n"), "\r\n  链接:pan/1  密码:x\r\n");
  EXPECT_EQ(typeset("a\tb　c pan\r\n"), "\r\na\tb　cpan\r\n");
  // A title holding "链接" is cut there later by the loader; typesetting only adds the blanks.
  EXPECT_EQ(typeset("好链接合集\r\npan/1\r\n"), "\r\n好  链接合集pan/1\r\n");
  // "pan" inside an ordinary word makes that line a link line of its own.
  EXPECT_EQ(typeset("Japanese title\r\npan/1\r\n"), "\r\nJapanesetitle\r\npan/1\r\n");
}

// Progress events as short texts: "r<percent>" while reading, then "joining", "done".
std::vector<std::string> progress_of(std::string_view text) {
  std::vector<std::string> seen;
  typeset_share_text(text, [&](const TypesetProgress& p) {
    switch (p.stage) {
      case TypesetProgress::Stage::reading:
        seen.push_back("r" + std::to_string(p.percent));
        break;
      case TypesetProgress::Stage::joining:
        seen.push_back("joining");
        break;
      case TypesetProgress::Stage::done:
        seen.push_back("done");
        break;
    }
  });
  return seen;
}

TEST(Typeset, EmptyAndLinklessTexts) {
  EXPECT_EQ(typeset_share_text("", {}), "");
  // No line: no reading progress, the other two as usual.
  EXPECT_EQ(progress_of(""), (std::vector<std::string>{"joining", "done"}));
  EXPECT_EQ(typeset("no link\r\nhere\r\n"), "");
  EXPECT_EQ(typeset("pan"), "\r\npan\r\n");
}

TEST(Typeset, ProgressIsToldOncePerPercent) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "line\r\n";
  const std::vector<std::string> seen = progress_of(text);
  ASSERT_EQ(seen.size(), 101u + 2u);  // 0..100 % once each, then the joining and the end
  EXPECT_EQ(seen.front(), "r0");
  EXPECT_EQ(seen[100], "r100");
  EXPECT_EQ(seen.back(), "done");

  // With 100 lines the double-precision quotient shows 28 at line 29, 56 at 57 and 57 at 58.
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += "x\r\n";
  const std::vector<std::string> percents = progress_of(hundred);
  EXPECT_EQ(percents[27], "r28");  // line 28 shows 28, and line 29 shows 28 too
  EXPECT_EQ(std::count(percents.begin(), percents.end(), "r29"), 0);
  EXPECT_EQ(std::count(percents.begin(), percents.end(), "r57"), 1);
  EXPECT_EQ(std::count(percents.begin(), percents.end(), "r56"), 1);
}

// Forum posts of the usual shapes, put together at random.
std::string generated_forum_text(std::mt19937& rng, int posts) {
  const std::vector<std::string> titles = {"电影合集",  "【资源】教程 第二部", "Some English title",
                                           "游戏 补丁", "　全角　标题",        "\t制表符标题"};
  const std::vector<std::string> link_forms = {
      "链接：https://pan.baidu.com/s/1%s", "下载链接：https://pan.baidu.com/s/1%s",
      "https://pan.baidu.com/s/1%s", "链接: pan.baidu.com/s/1%s"};
  const std::vector<std::string> code_forms = {"提取码：%s", "密码：%s", "激活码：%s",
                                               "提取码: %s"};
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  auto fill = [&](std::string form) {
    const std::string id = std::to_string(rng() % 100000);
    form.replace(form.find("%s"), 2, id);
    return form;
  };
  std::string text;
  for (int i = 0; i < posts; ++i) {
    if (rng() % 3) text += pick(titles) + "\r\n";
    if (rng() % 4 == 0) text += "\r\n";
    if (rng() % 6 == 0) text += fill(pick(code_forms)) + "\r\n";  // code above the link
    std::string link = fill(pick(link_forms));
    if (rng() % 3 == 0) link += " " + fill(pick(code_forms));
    text += link + "\r\n";
    if (rng() % 2) text += fill(pick(code_forms)) + "\r\n";
    if (rng() % 4 == 0) text += fill(pick(code_forms)) + "\r\n";
    if (rng() % 5 == 0) text += "\r\n\r\n";
  }
  if (rng() % 2) text.erase(text.size() - 2);  // sometimes no final line end
  return G(text);
}

TEST(TypesetProperties, HoldOnGeneratedForumTexts) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 200; ++round) {
    const std::string text = generated_forum_text(rng, 1 + static_cast<int>(rng() % 30));
    const std::string out = typeset_share_text(text);

    // Typesetting a typeset text gives it back.
    EXPECT_EQ(typeset_share_text(out), out) << test::U(text);

    // One output line per input line holding "pan", in input order.
    std::vector<std::string_view> link_lines;
    for (auto line : split_nonempty_views(text, "\r\n"))
      if (contains_bytes(line, "pan")) link_lines.push_back(line);
    const auto out_lines = split_nonempty_views(out, "\r\n");
    ASSERT_EQ(out_lines.size(), link_lines.size()) << test::U(text);
    for (std::size_t i = 0; i < out_lines.size(); ++i) {
      // The address, from "pan" to the first blank or Chinese character, reappears in its line.
      std::string_view address = link_lines[i].substr(link_lines[i].find("pan"));
      address = address.substr(0, std::min(address.find(' '), address.find_first_of(kHighBytes)));
      EXPECT_NE(out_lines[i].find(address), std::string_view::npos) << test::U(out);
    }

    // The only blanks left are the two before each keyword.
    std::string blanks_removed = out;
    for (auto kw : {G("  链接"), G("  密码"), G("  激活码")})
      replace_all_aligned(blanks_removed, kw, "#");
    EXPECT_EQ(blanks_removed.find(' '), std::string::npos) << test::U(out);
  }
}

TEST(TypesetRobustness, OddInputs) {
  // A text of nothing but "pan", lone CR/LF and stray high bytes: no crash, one record per line.
  EXPECT_EQ(typeset_share_text("panpanpan\r\npan"), "\r\npanpanpan\r\npan\r\n");
  EXPECT_EQ(typeset_share_text("a\rpan\nb\r\n\xFF"), "\r\na\rpan\nb\r\n");
  EXPECT_EQ(typeset_share_text(std::string(100000, '\r')), "");
}

}  // namespace
}  // namespace quorvex

namespace quorvex {
namespace {

TEST(TypesetReplacements, TwoScansEqualThePairByPairDefinition) {
  // Texts made of the keywords' own characters, blanks and stray bytes, where a scan that took a
  // shortcut would show.
  const std::vector<std::string> pieces = {
      " ",           " ",         G("下"),     G("载"),   G("链"), G("接"), G("提"),
      G("取"),       G("码"),     G("激"),     G("活"),   G("密"), "a",     "\x81",
      G("下载链接"), G("提取码"), G("激活码"), G("密码"), "\r\n"};
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < length; ++i) text += pieces[rng() % pieces.size()];
    const std::string reference =
        replace_in_order(replace_in_order(text, {{" ", ""},
                                                 {G("下载链接"), G("链接")},
                                                 {G("提取码"), G("密码")},
                                                 {G("激活码"), G("  激活码")}}),
                         {{G("链接"), G("  链接")}, {G("密码"), G("  密码")}});
    std::string fast = text;
    replace_aligned_together(fast, {{" ", ""}});
    const std::string a = G("下载链接"), b = G("链接"), c = G("提取码"), d = G("密码");
    const std::string e = G("激活码"), f = G("  激活码"), g = G("  链接"), h = G("  密码");
    replace_aligned_together(fast, {{a, g}, {c, h}, {e, f}, {b, g}, {d, h}});
    ASSERT_EQ(fast, reference) << test::U(text);
  }
}

}  // namespace
}  // namespace quorvex
