#include "text/file_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/cells.h"
#include "support/gbk.h"
#include "support/scratch_dir.h"
#include "text/link_loader.h"

namespace quorvex {
namespace {

using test::G;

TEST(DecodeInput, GbkBytesStayAsTheyAre) {
  const std::string gbk = G("链接：https://pan.baidu.com/s/1a 提取码：ab12");
  EXPECT_EQ(decode_input_bytes(gbk), gbk);
  // Invalid GBK and stray bytes are kept too; nothing is lost by guessing.
  EXPECT_EQ(decode_input_bytes("\xFF\x81\r\n\x80"), "\xFF\x81\r\n\x80");
}

TEST(DecodeInput, Utf8AndUtf16AreConvertedToGbk) {
  EXPECT_EQ(decode_input_bytes("\xE9\x93\xBE\xE6\x8E\xA5 pan"), G("链接 pan"));      // plain UTF-8
  EXPECT_EQ(decode_input_bytes("\xEF\xBB\xBF\xE9\x93\xBE\xE6\x8E\xA5"), G("链接"));  // with BOM
  EXPECT_EQ(decode_input_bytes(std::string("\xFF\xFE\xFE\x94\xA5\x63", 6)), G("链接"));  // UTF-16LE
  EXPECT_EQ(decode_input_bytes(std::string("\xFE\xFF\x94\xFE\x63\xA5", 6)), G("链接"));  // UTF-16BE
  // A character GBK cannot hold becomes "?".
  EXPECT_EQ(decode_input_bytes("a\xF0\x9F\x98\x80"
                               "b"),
            "a?b");
  EXPECT_EQ(decode_input_bytes("plain ascii"), "plain ascii");
}

// A lone surrogate is one bad character: the text after it stays in step.
TEST(DecodeInput, ABadUtf16UnitCostsOneCharacter) {
  const std::string le = std::string(
                             "\xFF\xFE"
                             "a\0",
                             4) +
                         std::string("\x00\xD8", 2) +  // a high surrogate with no low one after
                         std::string("b\0\r\0\n\0c\0", 8);
  EXPECT_EQ(decode_input_bytes(le), "a?b\r\nc");
  const std::string be = std::string("\xFE\xFF\0a", 4) + std::string("\xDC\x00", 2) +  // lone low
                         std::string("\0b", 2);
  EXPECT_EQ(decode_input_bytes(be), "a?b");
  // An odd last byte is one bad character too.
  EXPECT_EQ(decode_input_bytes(std::string("\xFF\xFE"
                                           "a\0b",
                                           5)),
            "a?");
}

// A NUL byte is taken out, not taken for the end: every line after it stays, and the load says how
// many went.
TEST(DecodeInput, NulBytesAreDroppedAndCounted) {
  DecodeNotes notes;
  EXPECT_EQ(decode_input_bytes(std::string("ab\0cd\r\n\0ef", 10), &notes), "abcd\r\nef");
  EXPECT_EQ(notes.nul_bytes, 2u);
  EXPECT_EQ(notes.bad_bytes, 0u);
  EXPECT_EQ(decode_input_bytes(std::string("\xFF\xFE"
                                           "a\0\0\0b\0",
                                           8),
                               &notes),
            "ab");
  EXPECT_EQ(notes.nul_bytes, 1u);
  // A NUL in the middle of a UTF-8 file does not hide that it is UTF-8.
  EXPECT_EQ(decode_input_bytes(std::string("\xE9\x93\xBE\0\xE6\x8E\xA5", 7), &notes), G("链接"));
  EXPECT_EQ(notes.nul_bytes, 1u);
  EXPECT_EQ(decode_input_bytes("\xEF\xBB\xBF" + std::string("a\0b", 3), &notes), "ab");
  EXPECT_EQ(notes.nul_bytes, 1u);
  EXPECT_FALSE((decode_input_bytes("plain", &notes), notes.any()));
}

// One stray byte in a UTF-8 forum text costs that byte, not every title and code of the file.
TEST(DecodeInput, AUtf8TextWithAFewBadBytesStaysUtf8) {
  std::string utf8;
  for (int i = 0; i < 40; ++i)
    utf8 += "\xE6\xA0\x87\xE9\xA2\x98" + std::to_string(i) +  // 标题N
            " \xE9\x93\xBE\xE6\x8E\xA5\xEF\xBC\x9Ahttps://pan.baidu.com/s/1a" + std::to_string(i) +
            " \xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81\xEF\xBC\x9Ax9\r\n";
  std::string damaged = utf8;
  damaged.insert(20, 1, '\xFF');
  DecodeNotes notes;
  const std::string text = decode_input_bytes(damaged, &notes);
  EXPECT_EQ(notes.bad_bytes, 1u);
  // The stray byte, after "标题0 链接：htt", reads as one "?"; everything else as without it.
  std::string want = decode_input_bytes(utf8);
  want.insert(G("标题0 链接：htt").size(), "?");
  EXPECT_EQ(text, want);
  // A GBK text stays GBK, however many of its pairs happen to be UTF-8 too.
  const std::string gbk =
      G("标题 链接：https://pan.baidu.com/s/1a 提取码：x9 说明文字很多很多\r\n");
  EXPECT_EQ(decode_input_bytes(gbk, &notes), gbk);
  EXPECT_EQ(notes.bad_bytes, 0u);
}

TEST(DecodeInput, LfAndCrFilesLoadAsTheirCrLfTwins) {
  const std::string crlf = G("标题 链接：pan.baidu.com/s/1abc 提取码：ab12\r\n\r\n第二行 x y\r\n");
  std::string lf, cr;
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r') continue;
    lf += crlf[i];
    cr += crlf[i] == '\n' ? '\r' : crlf[i];
  }
  for (const std::string& twin : {lf, cr}) {
    const std::string text = decode_input_bytes(twin);
    EXPECT_EQ(text, crlf);
    const auto rows = build_link_rows(text);
    const auto want = build_link_rows(crlf);
    ASSERT_EQ(rows.size(), 2u);
    for (std::size_t r = 0; r < rows.size(); ++r)
      EXPECT_EQ(test::cells(rows[r]), test::cells(want[r]));
  }
  // After the charset is decoded: a UTF-16 file with LF ends too.
  EXPECT_EQ(decode_input_bytes(std::string("\xFF\xFE"
                                           "a\0\n\0b\0",
                                           8)),
            "a\r\nb");
}

class InputFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  test::ScratchDir dir_;
};

TEST_F(InputFileTest, ReadsAndReportsFailures) {
  const InputFile ok = read_input_file(write("a.txt", "x y\r\n"));
  EXPECT_EQ(ok.status, InputFile::Status::ok);
  EXPECT_EQ(ok.text, "x y\r\n");
  EXPECT_EQ(read_input_file(write("empty.txt", "")).text, "");
  EXPECT_EQ(read_input_file((dir_ / "missing.txt").string()).status, InputFile::Status::missing);
  EXPECT_EQ(read_input_file(dir_.path().string()).status, InputFile::Status::not_a_file);
  EXPECT_EQ(read_input_file(write("big.txt", std::string(100, 'a')), 99).status,
            InputFile::Status::too_large);
}

// Files under /proc say they are empty and are not.
TEST_F(InputFileTest, FilesAreReadToTheirEndWhateverSizeTheyReport) {
  const InputFile status = read_input_file("/proc/self/status");
  ASSERT_EQ(status.status, InputFile::Status::ok);
  EXPECT_NE(status.text.find("Name:"), std::string::npos);
}

TEST_F(InputFileTest, LargeSparseFileIsRefusedWithoutReadingIt) {
  const auto path = dir_ / "huge.txt";
  std::filesystem::resize_file(write("huge.txt", ""), std::uintmax_t{2} << 30);
  EXPECT_EQ(read_input_file(path.string()).status, InputFile::Status::too_large);
}

}  // namespace
}  // namespace quorvex
