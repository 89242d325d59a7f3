// Every GBK double-byte character, decoded and encoded again, against the table the iconv build
// makes (tests/data/gbk_double_byte.txt: a line per lead byte 81-FE, a field per trail byte
// 40-FE but 7F, the character's code point in hex or "-" where GBK has none). The Windows build
// must agree with it but for those "-": the user-defined areas and the codes GBK leaves empty,
// which Windows maps to private-use characters. QUORVEX_WRITE_GBK_TABLE=FILE writes this build's
// table instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/charset.h"

namespace quorvex {
namespace {

// The one code point of UTF-8 text; -1 when it is not exactly one character or is U+FFFD.
long single_code_point(const std::string& utf8) {
  if (utf8.empty()) return -1;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  long cp;
  std::size_t len;
  if (p[0] < 0x80) {
    cp = p[0];
    len = 1;
  } else if ((p[0] & 0xE0) == 0xC0) {
    cp = p[0] & 0x1F;
    len = 2;
  } else if ((p[0] & 0xF0) == 0xE0) {
    cp = p[0] & 0x0F;
    len = 3;
  } else {
    cp = p[0] & 0x07;
    len = 4;
  }
  if (utf8.size() != len) return -1;
  for (std::size_t i = 1; i < len; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  return cp == 0xFFFD ? -1 : cp;
}

std::string bytes_of(int lead, int trail) {
  return {static_cast<char>(lead), static_cast<char>(trail)};
}

std::vector<std::vector<std::string>> this_builds_table() {
  std::vector<std::vector<std::string>> table;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    std::vector<std::string> row;
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const long cp = single_code_point(gbk_to_utf8(bytes_of(lead, trail)));
      char field[16];
      std::snprintf(field, sizeof field, "%lX", cp);
      row.push_back(cp < 0 ? "-" : field);
    }
    table.push_back(row);
  }
  return table;
}

TEST(GbkTable, EveryDoubleByteCharacterDecodesAndEncodesAsTheIconvBuildDoes) {
  const std::vector<std::vector<std::string>> mine = this_builds_table();
  if (const char* out = std::getenv("QUORVEX_WRITE_GBK_TABLE")) {
    std::ofstream file(out, std::ios::binary);
    for (const auto& row : mine) {
      for (std::size_t i = 0; i < row.size(); ++i) file << (i ? " " : "") << row[i];
      file << "\n";
    }
    GTEST_SKIP() << "wrote " << out;
  }
  std::ifstream file(QUORVEX_TEST_DATA "/gbk_double_byte.txt", std::ios::binary);
  ASSERT_TRUE(file) << "the table is missing";
  std::string line;
  int lead = 0x81;
  int characters = 0;
  while (std::getline(file, line) && lead <= 0xFE) {
    std::istringstream fields(line);
    std::string expected;
    int index = 0;
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      ASSERT_TRUE(fields >> expected) << std::hex << lead;
      const std::string& got = mine[static_cast<std::size_t>(lead - 0x81)][index++];
      const std::string bytes = bytes_of(lead, trail);
#ifdef _WIN32
      // Where GBK has no character, Windows has a private-use one.
      if (expected == "-") {
        const long cp = got == "-" ? -1 : std::strtol(got.c_str(), nullptr, 16);
        EXPECT_TRUE(cp >= 0xE000 && cp <= 0xF8FF) << std::hex << lead << " " << trail << " " << got;
        continue;
      }
#endif
      EXPECT_EQ(got, expected) << std::hex << lead << " " << trail;
      if (expected == "-") continue;
      ++characters;
      // And back: the character encodes to the same two bytes.
      EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(bytes)), bytes) << std::hex << lead << " " << trail;
    }
    ++lead;
  }
  EXPECT_EQ(lead, 0xFF) << "the table is short";
  EXPECT_GT(characters, 21000);
}

}  // namespace
}  // namespace quorvex
