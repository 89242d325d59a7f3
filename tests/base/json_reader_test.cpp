#include "base/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvex {
namespace {

TEST(JsonReader, ReadsWhatTheServicesAnswer) {
  const auto answer = parse_json(
      R"( {"code":0,"message":"ok","data":{"stoken":"a\/b","list":[{"fid":"1"},{"fid":"2"}],)"
      R"("has_pwd":true,"size":-1.5e2,"none":null},"code":1} )");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->kind(), JsonValue::Kind::object);
  EXPECT_EQ(answer->find("code")->integer(), 0);  // the first of a repeated name
  EXPECT_EQ(answer->at({"data", "stoken"})->text(), "a/b");
  EXPECT_EQ(answer->at({"data", "list"})->items().size(), 2u);
  EXPECT_EQ(answer->at({"data", "list"})->items()[1].find("fid")->integer(), 2);  // "2"
  EXPECT_EQ(answer->at({"data", "has_pwd"})->boolean(), true);
  EXPECT_EQ(answer->at({"data", "size"})->number(), -150.0);
  EXPECT_EQ(answer->at({"data", "size"})->integer(), -150);
  EXPECT_EQ(answer->at({"data", "none"})->kind(), JsonValue::Kind::null);
  EXPECT_EQ(answer->at({"data", "missing"}), nullptr);
  EXPECT_EQ(answer->at({"message", "deeper"}), nullptr);
  EXPECT_EQ(answer->find("message")->integer(), std::nullopt);
  EXPECT_EQ(answer->find("message")->boolean(), std::nullopt);
  EXPECT_TRUE(answer->find("message")->items().empty());
}

TEST(JsonReader, DecodesEscapesIntoUtf8) {
  const auto answer =
      parse_json(R"(["\u5206\u4eab\u5df2\u5931\u6548", "\ud83c\udfac", "\"\\\n\t"])");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->items()[0].text(), "分享已失效");
  EXPECT_EQ(answer->items()[1].text(), "🎬");
  EXPECT_EQ(answer->items()[2].text(), "\"\\\n\t");
  EXPECT_EQ(parse_json(R"("直接的 UTF-8")")->text(), "直接的 UTF-8");
}

TEST(JsonReader, RefusesAnythingThatIsNotExactlyJson) {
  for (const char* bad : {"",
                          " ",
                          "{",
                          "}",
                          "[1,]",
                          "{\"a\":1,}",
                          "{'a':1}",
                          "{\"a\" 1}",
                          "[1 2]",
                          "01",
                          "1.",
                          ".5",
                          "-",
                          "1e",
                          "+1",
                          "tru",
                          "nul",
                          "\"open",
                          "\"tab\there\"",
                          R"("\x41")",
                          R"("\ud83c")",
                          R"("\udfac")",
                          R"("\u12G4")",
                          "[1] [2]",
                          "{\"a\":1} x",
                          "NaN",
                          "<html>"})
    EXPECT_FALSE(parse_json(bad)) << bad;
  // Deep nesting is refused, not followed down the stack.
  EXPECT_FALSE(parse_json(std::string(100000, '[') + std::string(100000, ']')));
  EXPECT_TRUE(parse_json(std::string(60, '[') + std::string(60, ']')));
  // Numbers too large for a whole number are numbers still, but no integer.
  EXPECT_EQ(parse_json("1e300")->integer(), std::nullopt);
  EXPECT_EQ(parse_json("1.5")->integer(), std::nullopt);
  EXPECT_EQ(parse_json("\"12x\"")->integer(), std::nullopt);
}

}  // namespace
}  // namespace quorvex
