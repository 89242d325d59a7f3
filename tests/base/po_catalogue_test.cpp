#include "base/po_catalogue.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(PoCatalogue, ReadsWhatTranslatorsToolsWrite) {
  const auto messages = parse_po(
      "# a comment\r\n"
      "msgid \"\"\r\n"
      "msgstr \"\"\r\n"
      "\"Language: zh_CN\\n\"\r\n"
      "\r\n"
      "#: src/cli/a.cpp\n"
      "#, c-format\n"
      "msgid \"\"\n"
      "\"two \\\"lines\\\"\\n\"\n"
      "  \"joined\\t%s\"\n"
      "msgstr \"\\u4e24\\\\行\\n\" \"连起来\"\n"
      "\n"
      "msgid \"%zu byte\"\n"
      "msgid_plural \"%zu bytes\"\n"
      "msgstr[0] \"%zu 个字节\"\n"
      "msgstr[1] \"never used\"\n"
      "\n"
      "#, fuzzy\n"
      "msgid \"guessed\"\n"
      "msgstr \"猜的\"\n"
      "\n"
      "msgid \"not yet\"\n"
      "msgstr \"\"\n"
      "\n"
      "msgid \"last\"\n"
      "msgstr \"最后\"");
  // The header, the fuzzy entry and the untranslated one are left out.
  ASSERT_EQ(messages.size(), 3u);
  const auto two = messages.find("two \"lines\"\njoined\t%s");
  ASSERT_NE(two, messages.end());
  EXPECT_EQ(two->second.translation, "u4e24\\行\n连起来");
  EXPECT_EQ(two->second.plural, "");
  const auto bytes = messages.find("%zu byte");
  ASSERT_NE(bytes, messages.end());
  EXPECT_EQ(bytes->second.plural, "%zu bytes");
  EXPECT_EQ(bytes->second.translation, "%zu 个字节");
  EXPECT_EQ(messages.at("last").translation, "最后");  // no line end after the last line
}

TEST(PoCatalogue, TakesBrokenTextWithoutFailing) {
  EXPECT_TRUE(parse_po("").empty());
  EXPECT_TRUE(parse_po("msgid \"unclosed\nmsgstr \"x\"").empty());
  EXPECT_TRUE(parse_po("msgstr \"no id\"\n\"more\\").empty());
  EXPECT_EQ(parse_po("garbage\nmsgid \"a\"\nnonsense\nmsgstr \"b\"").at("a").translation, "b");
}

}  // namespace
}  // namespace quorvex
