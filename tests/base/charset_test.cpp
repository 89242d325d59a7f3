#include "base/charset.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quorvex {
namespace {

const std::string kAskUtf8 =
    "\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81";
const std::string kAskGbk = "\xC7\xEB\xCA\xE4\xC8\xEB\xCC\xE1\xC8\xA1\xC2\xEB";

TEST(ConvertCharset, DefaultsAreUtf8ToGbk) {
  EXPECT_EQ(convert_charset(kAskUtf8), kAskGbk);
  EXPECT_EQ(convert_charset(kAskUtf8, "", ""), kAskGbk);
  EXPECT_EQ(convert_charset(kAskGbk, "GBK", "UTF-8"), kAskUtf8);
  EXPECT_EQ(convert_charset("plain ascii"), "plain ascii");
  EXPECT_EQ(convert_charset(""), "");
}

TEST(ConvertCharset, StartPositionAndFailures) {
  EXPECT_EQ(convert_charset(kAskUtf8, std::nullopt, std::nullopt, 3), kAskGbk.substr(3));
  EXPECT_EQ(convert_charset("abc", "no-such-charset"), "");
  // Undecodable bytes and characters GBK cannot hold are replaced, never an error.
  EXPECT_EQ(convert_charset("a\xFF"
                            "b"),
            "a?b");
  EXPECT_EQ(convert_charset("a\xF0\x9F\x98\x80"), "a?");
  EXPECT_EQ(convert_charset("a\xE8\xAF"), "a??");  // cut short at the end: one "?" a byte
}

TEST(CodePages, GbkToUtf8ThroughUtf16) {
  EXPECT_EQ(gbk_to_utf8("a"), "a");
  EXPECT_EQ(gbk_to_utf8("\xC1\xB4"), "\xE9\x93\xBE");  // 链
  EXPECT_EQ(gbk_to_utf8(""), "");
  EXPECT_EQ(code_page_to_wide(""), std::string(2, '\0'));
  EXPECT_EQ(code_page_to_wide("a", 936), std::string("a\0\0\0", 4));
  EXPECT_EQ(wide_to_code_page(std::string("\xFE\x94\0\0", 4), 936), "\xC1\xB4");
}

TEST(CodePages, TheDirectRouteEqualsTheRouteThroughUtf16) {
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) all += {static_cast<char>(lead), static_cast<char>(trail), 'a'};
  EXPECT_EQ(gbk_to_utf8(all), wide_to_code_page(code_page_to_wide(all, 936), 65001));
  EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(all)).size(), all.size());
}

TEST(ConvertCharset, IsSafeFromManyThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i)
        if (convert_charset(kAskUtf8) != kAskGbk || gbk_to_utf8(kAskGbk) != kAskUtf8) ++wrong;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

TEST(Utf8Validation, AcceptsWellFormedOnly) {
  EXPECT_TRUE(is_valid_utf8(kAskUtf8 + "abcdefghijklmnop"));
  EXPECT_FALSE(is_valid_utf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(is_valid_utf8(kAskGbk));
  EXPECT_FALSE(is_valid_utf8("abc\xE8\xAF"));
}

}  // namespace
}  // namespace quorvex
