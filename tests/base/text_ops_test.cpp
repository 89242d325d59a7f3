#include "base/text_ops.h"

#include <gtest/gtest.h>

#include "support/gbk.h"

namespace quorvex {
namespace {

using test::G;

TEST(SplitNonempty, DropsEmptyPiecesAndKeepsOrder) {
  EXPECT_EQ(split_nonempty("\r\na\r\n\r\nb c\r\n", "\r\n"), (std::vector<std::string>{"a", "b c"}));
  EXPECT_EQ(split_nonempty("a,,b", ""), (std::vector<std::string>{"a", "b"}));  // empty means ","
  EXPECT_TRUE(split_nonempty("", "\r\n").empty());
  // A piece of blanks only is a piece; lone CR and LF stay inside lines.
  EXPECT_EQ(split_nonempty("  \r\na\nb\rc", "\r\n"), (std::vector<std::string>{"  ", "a\nb\rc"}));
}

TEST(SplitNonempty, StepsOverDoubleByteCharacters) {
  // 0x81 0x20 is one double-byte unit: its second byte is no blank to cut at.
  EXPECT_EQ(split_nonempty("a\x81 b c", " "), (std::vector<std::string>{"a\x81 b", "c"}));
  // A lead byte at the very end does not read past the text.
  EXPECT_EQ(split_nonempty("a b\x81", " "), (std::vector<std::string>{"a", "b\x81"}));
}

TEST(TextAfterLast, TakesTheLastOccurrenceThatDoesNotEndTheText) {
  EXPECT_EQ(text_after_last("https://pan.baidu.com/s/1x", "pan"), ".baidu.com/s/1x");
  EXPECT_EQ(text_after_last("pan.baidu.com/s/1pandaX", "pan"), "daX");
  // An occurrence ending on the last byte does not count: the one before it does.
  EXPECT_EQ(text_after_last("https://pan.baidu.com/s/1xpan", "pan"), ".baidu.com/s/1xpan");
  EXPECT_EQ(text_after_last("abcpan", "pan"), "");
  EXPECT_EQ(text_after_last("no link here", "pan"), "");
  EXPECT_EQ(text_after_last("", "pan"), "");
  EXPECT_EQ(text_after_last(G("提取码：ab12"), G("：")), "ab12");
  EXPECT_EQ(text_after_last(G("提取码："), G("：")), "");
  EXPECT_EQ(text_after_last(G("提取码:ab12"), G("：")), "");
}

TEST(TextAfterLast, NeverMatchesInsideADoubleByteCharacter) {
  // "\xB0\x70" is one character whose trail byte is "p": "pan" there does not count.
  EXPECT_EQ(text_after_last("\xB0pan1", "pan"), "");
  EXPECT_EQ(text_after_last("a\xB0pan1", "pan"), "");
  EXPECT_EQ(text_after_last("ab\xB0\xB0pan1", "pan"), "1");
}

TEST(ContainsBytes, IsNotAlignedToCharacters) {
  EXPECT_TRUE(contains_bytes("\xB0pan", "pan"));
  EXPECT_FALSE(contains_bytes("PAN", "pan"));
  EXPECT_FALSE(contains_bytes("", "pan"));
  EXPECT_FALSE(contains_bytes("pan", ""));
}

TEST(Trimming, BlanksAndFullWidthBlanks) {
  EXPECT_EQ(trim_spaces(G("　 a b　 ")), "a b");
  EXPECT_EQ(trim_spaces("\ta \t"), "\ta \t");
  // The pair 0xA1 0xA1 at the end must be a character of its own to count as a blank.
  EXPECT_EQ(trim_spaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(trim_blanks(G("  a　 ")), G("a　"));
  EXPECT_EQ(trim_blanks("\r\n  x  "), "\r\n  x");
  EXPECT_EQ(trim_blanks("    "), "");
}

TEST(ReplaceInOrder, PairByPairAlignedAndNonOverlapping) {
  EXPECT_EQ(replace_in_order("aaa", {{"aa", "b"}}), "ba");
  EXPECT_EQ(replace_in_order("a b", {{" ", ""}, {"ab", "X"}}), "X");
  EXPECT_EQ(replace_in_order("abc", {{"", "X"}}), "abc");
  // No match starts on a trail byte.
  EXPECT_EQ(replace_in_order("\xB0 x", {{" ", ""}}), "\xB0 x");
  EXPECT_EQ(replace_in_order(G("提取码1"), {{G("提取码"), G("密码")}, {G("密码"), G("  密码")}}),
            G("  密码1"));
}

TEST(FindAlignedNocase, IgnoresAsciiCaseOnly) {
  EXPECT_EQ(find_aligned_nocase("xxCOOKIE:a", "Cookie:"), 2u);
  EXPECT_EQ(find_aligned_nocase("\xB0Pan", "pan"), std::string_view::npos);
  EXPECT_TRUE(equals_nocase("Retry-After", "retry-after"));
  EXPECT_FALSE(equals_nocase("Retry-After", "Retry-After2"));
  EXPECT_FALSE(equals_nocase("\xC1\xB4", "\xE1\xB4"));  // only ASCII letters fold
}

TEST(ParseLeadingInt, LikeTheThreadCountBox) {
  EXPECT_EQ(parse_leading_int("10"), 10);
  EXPECT_EQ(parse_leading_int("  +7abc"), 7);
  EXPECT_EQ(parse_leading_int("-3"), -3);
  EXPECT_EQ(parse_leading_int("abc"), 0);
  EXPECT_EQ(parse_leading_int(""), 0);
  EXPECT_EQ(parse_leading_int("99999999999999"), 2147483647);
}

TEST(NormalizeLineEnds, EveryEndBecomesCrLf) {
  EXPECT_EQ(normalize_line_ends("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(normalize_line_ends("\r\r\n\n\r"), "\r\n\r\n\r\n\r\n");
  EXPECT_EQ(normalize_line_ends("\n"), "\r\n");
  EXPECT_EQ(normalize_line_ends("a\r"), "a\r\n");  // a CR at the very end
  EXPECT_EQ(normalize_line_ends(""), "");
  // Double-byte characters hold no CR or LF, so they pass untouched.
  EXPECT_EQ(normalize_line_ends("\xC1\xB4\n\xBD\xD3"), "\xC1\xB4\r\n\xBD\xD3");
  // A text with CR LF ends only comes back as it was, in its own buffer.
  std::string crlf = "a line long enough to live on the heap\r\nand another\r\n";
  const std::string copy = crlf;
  const char* buffer = crlf.data();
  const std::string same = normalize_line_ends(std::move(crlf));
  EXPECT_EQ(same, copy);
  EXPECT_EQ(same.data(), buffer);
}

TEST(SplitKeepEmpty, KeepsInnerEmptyPiecesButNoTrailingOne) {
  EXPECT_EQ(split_keep_empty("a&&b&", "&"), (std::vector<std::string_view>{"a", "", "b"}));
  EXPECT_TRUE(split_keep_empty("", "&").empty());
}

}  // namespace
}  // namespace quorvex
