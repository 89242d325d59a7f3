#include "shell/export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>

#include "support/cells.h"
#include "support/gbk.h"
#include "support/scratch_dir.h"
#include "support/utf8_path.h"

namespace quorvex {
namespace {

using test::G;

std::tm at(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

TEST(Summary, ThreeLinesAndOneForUndecidedRows) {
  EXPECT_EQ(summary_text(9, 3, 0), G("共计检测:12条网址\r\n有效网址:9\r\n失效网址:3"));
  EXPECT_EQ(summary_text(5, 0, 0), G("共计检测:5条网址\r\n有效网址:5\r\n失效网址:0"));
  EXPECT_EQ(summary_text(0, 0, 0), G("共计检测:0条网址\r\n有效网址:0\r\n失效网址:0"));
  // Rows that could not be decided get a line of their own and are part of the total.
  EXPECT_EQ(summary_text(9, 3, 2),
            G("共计检测:14条网址\r\n有效网址:9\r\n失效网址:3\r\n未确定网址:2"));
  // Rows that repeated an earlier share are among the total and are told apart after it.
  EXPECT_EQ(summary_text(9, 3, 0, 4),
            G("共计检测:12条网址\r\n有效网址:9\r\n失效网址:3\r\n重复网址:4"));
  // Rows that hold no share link are outside the total and said after the unknown ones.
  EXPECT_EQ(summary_text(9, 3, 2, 4, 5), G("共计检测:14条网址\r\n有效网址:9\r\n失效网址:3\r\n"
                                           "未确定网址:2\r\n不是分享链接:5\r\n重复网址:4"));
}

TEST(DateTimeText, ShortensAsTheClockAllows) {
  EXPECT_EQ(date_time_text(at(2020, 2, 7, 9, 5, 0)), G("2020年2月7日9时5分"));
  EXPECT_EQ(date_time_text(at(2020, 2, 7, 0, 0, 0)), G("2020年2月7日"));
  EXPECT_EQ(date_time_text(at(2020, 2, 7, 10, 0, 0)), G("2020年2月7日10时"));
  EXPECT_EQ(date_time_text(at(2026, 12, 31, 0, 0, 1)), G("2026年12月31日0时0分1秒"));
}

TEST(ExportText, ValidRowsOnlyInListOrder) {
  LinkTable table;
  const std::uint64_t g = table.replace_text(
      test::row_line("full", "https://pan.baidu.com/s/1a", "ab12") + test::row_line("nolink") +
      test::row_line("nocode", "https://pan.baidu.com/s/1c") +
      test::row_line("invalid", "https://pan.baidu.com/s/1d", "x") +
      test::row_line("unchecked", "https://pan.baidu.com/s/1e", "y"));
  for (int i : {0, 1, 2}) table.set_verdict_if(g, i, {Verdict::valid, Reason::public_share});
  table.set_verdict_if(g, 3, {Verdict::invalid, Reason::deleted});
  EXPECT_EQ(export_text(table, at(2020, 2, 7, 9, 5, 0)),
            G(" full   链接：https://pan.baidu.com/s/1a   密码：ab12   \r\n"
              " nolink   \r\n"
              " nocode   链接：https://pan.baidu.com/s/1c   \r\n"
              "\r\n\r\nQuorvexByOrvane   2020年2月7日9时5分"));
  LinkTable empty;
  EXPECT_EQ(export_text(empty, at(2020, 2, 7, 0, 0, 0)),
            G("\r\n\r\nQuorvexByOrvane   2020年2月7日"));
}

// Sources with a fixed time and a generator seeded with `seed`.
ExportSources fixed_sources(std::uint32_t seed, std::tm when = {}) {
  auto rng = std::make_shared<std::mt19937>(seed);
  return {[when] { return when; }, [rng] { return static_cast<std::uint32_t>((*rng)()); }};
}

TEST(ExportFile, NeverOverwritesAnEarlierExport) {
  const test::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  // The same seed draws the same names: the second and third exports must find free ones.
  std::set<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    const ExportResult r =
        write_export_file(dir.string(), "text" + std::to_string(i), fixed_sources(42));
    ASSERT_TRUE(r.ok) << r.error;
    paths.insert(r.path);
    std::ifstream in(r.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "text" + std::to_string(i));
    EXPECT_EQ(test::utf8_name(test::utf8_path(r.path).filename())
                  .rfind("\xE6\x9C\x89\xE6\x95\x88\xE9\x93\xBE\xE6\x8E\xA5", 0),
              0u);
  }
  EXPECT_EQ(paths.size(), 3u);
  const ExportResult missing = write_export_file((dir / "absent").string(), "t", fixed_sources(1));
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.empty());
  EXPECT_NE(missing.path.find("absent"), std::string::npos);
}

TEST(ExportFile, NamedAndStampedFromTheGivenSources) {
  const test::ScratchDir scratch;
  LinkTable table;
  table.set_verdict_if(table.replace_text(test::row_line("n", "https://pan.baidu.com/s/1a")), 0,
                       {Verdict::valid, Reason::public_share});
  const ExportSources sources = fixed_sources(7, at(2021, 3, 4, 5, 6, 7));
  const ExportResult first = export_valid_links(table, scratch.path().string(), sources);
  ASSERT_TRUE(first.ok) << first.error;
  std::ifstream in(first.path, std::ios::binary);
  const std::string content(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(content.substr(content.size() - G("2021年3月4日5时6分7秒").size()),
            G("2021年3月4日5时6分7秒"));
  // The same seed gives the same name, so a second export with it must draw a free one.
  const ExportResult again =
      export_valid_links(table, scratch.path().string(), fixed_sources(7, at(2021, 3, 4, 5, 6, 7)));
  ASSERT_TRUE(again.ok);
  EXPECT_NE(again.path, first.path);
}

}  // namespace
}  // namespace quorvex
