#include "net/header_text.h"

#include <gtest/gtest.h>

#include "net/cookies.h"
#include "net/header_collection.h"
#include "support/gbk.h"

namespace quorvex {
namespace {

TEST(HeaderText, NormalizeCapitalisesEachWordOfTheName) {
  EXPECT_EQ(normalize_header_text("user-agent: x\r\ncontent-type:a:b\r\nACCEPT: */*"),
            "User-Agent: x\r\nContent-Type:a:b\r\nACCEPT: */*");
  // Lines without ":" go; empty pieces go; a final CR LF gives no empty line.
  EXPECT_EQ(normalize_header_text("\r\nno colon\r\na: 1\r\n"), "A: 1");
  EXPECT_EQ(normalize_header_text("x-a--b: 1"), "X-A--B: 1");
  EXPECT_EQ(normalize_header_text(""), "");
}

TEST(HeaderText, NameAndValueOfALine) {
  EXPECT_EQ(header_name_of("  Referer :  https://a/b  "), "Referer");
  EXPECT_EQ(header_value_of("  Referer :  https://a/b  "), "https://a/b");
  EXPECT_EQ(header_value_of("Date: 10:20:30"), "10:20:30");
  EXPECT_EQ(header_name_of("no colon"), "");
  EXPECT_EQ(header_value_of("no colon"), "");
  EXPECT_EQ(capitalize_first("\xB0x"), "\xB0x");
}

TEST(HeaderText, Base64) {
  EXPECT_EQ(base64_encode(""), "");
  EXPECT_EQ(base64_encode("f"), "Zg==");
  EXPECT_EQ(base64_encode("fo"), "Zm8=");
  EXPECT_EQ(base64_encode("foo"), "Zm9v");
  EXPECT_EQ(base64_encode("user:pass"), "dXNlcjpwYXNz");
  EXPECT_EQ(base64_encode(std::string("\xFF\x00\xFE", 3)), "/wD+");
}

TEST(Cookies, CollectSetCookies) {
  EXPECT_EQ(
      collect_set_cookies("Set-Cookie: a=1; path=/\r\nServer: x\r\nSet-Cookie: b=2; HttpOnly"),
      "a=1; b=2");
  EXPECT_EQ(collect_set_cookies("Set-Cookie:  c=3  "), "c=3");
  // Only the exact name with ": " counts.
  EXPECT_EQ(collect_set_cookies("set-cookie: a=1\r\nSet-Cookie2: b=2\r\nSet-Cookie:c=3"), "");
  EXPECT_EQ(collect_set_cookies("Set-Cookie: a=1\r\nSet-Cookie: a=2"), "a=1; a=2");
  EXPECT_EQ(collect_set_cookies("Set-Cookie: ; path=/\r\nSet-Cookie: b=2"), "; b=2");
  EXPECT_EQ(collect_set_cookies(""), "");
}

TEST(Cookies, Merge) {
  auto merge = [](std::string old_text, std::string new_text) {
    const std::string merged = merge_cookie_texts(old_text, new_text);
    EXPECT_EQ(old_text, merged);  // the old variable receives the result too
    return merged;
  };
  EXPECT_EQ(merge("a=1; b=2", "b=3; c=4"), "b=3; c=4; a=1");
  EXPECT_EQ(merge("a=1", "a=deleted"), "");
  EXPECT_EQ(merge("a=1;", ""), "a=1");
  EXPECT_EQ(merge("", ""), "");
  EXPECT_EQ(merge("a=1; a=2", "b=1"), "b=1; a=1");
  EXPECT_EQ(merge("x=1; x=1", ""), "x=1");
  EXPECT_EQ(merge("", "a=1; a=2"), "a=1; a=2");
  EXPECT_EQ(merge(" a = 1 ", "b=2"), "b=2; a = 1");
}

TEST(Cookies, Helpers) {
  EXPECT_EQ(cookie_name_of(" sid =abc"), "sid");
  EXPECT_EQ(cookie_name_of(" flag "), "flag");
  EXPECT_EQ(remove_duplicate_items("a; b; a; c", "; "), "a; b; c");
  EXPECT_EQ(find_item({"a", "b"}, "b"), 2);
  EXPECT_EQ(find_item({"a", "b"}, "c"), -1);
}

TEST(HeaderCollection, RendersInThreeShapes) {
  HeaderCollection h;
  h.add("A", "1");
  h.add("B", "2");
  EXPECT_EQ(h.to_header_text(), "A: 1\r\nB: 2");
  EXPECT_EQ(h.to_form_text(), "A=1&B=2");
  EXPECT_EQ(h.to_json_text(), "{\"A\":\"1\",\"B\":\"2\"}");
  HeaderCollection empty;
  EXPECT_EQ(empty.to_header_text(), "");
  EXPECT_EQ(empty.to_form_text(), "");
  EXPECT_EQ(empty.to_json_text(), "{}");
  HeaderCollection quoted;
  quoted.add("b", "x\"y\\");
  EXPECT_EQ(quoted.to_json_text(), "{\"b\":\"x\\\"y\\\"}");
  HeaderCollection ua;
  ua.add("User-Agent", "V");
  EXPECT_EQ(ua.to_header_text(), "User-Agent: V");
}

TEST(HeaderCollection, FirstMatchLookups) {
  HeaderCollection h;
  h.add("k", "1");
  h.add("k", "2");
  EXPECT_EQ(h.get_value("k"), "1");
  EXPECT_EQ(h.get_value("K"), "");
  h.set_value("new", "v");
  h.set_value("k", "9");
  std::vector<std::string> names, values;
  EXPECT_EQ(h.copy_names(names), (std::vector<std::string>{"k", "k", "new"}));
  EXPECT_EQ(h.copy_values(values), (std::vector<std::string>{"9", "2", "v"}));
  h.remove("k");
  EXPECT_EQ(h.to_form_text(), "k=2&new=v");
  HeaderCollection copy = h.clone();
  h.clear();
  EXPECT_EQ(h.size(), 0u);
  EXPECT_EQ(copy.size(), 2u);
}

TEST(HeaderCollection, FormParsingAndEncoding) {
  HeaderCollection h;
  h.parse_form_text("a=1&b=2&k=x=y&&noeq&");
  EXPECT_EQ(h.to_json_text(), "{\"a\":\"1\",\"b\":\"2\",\"k\":\"y\",\"\":\"\",\"\":\"\"}");
  HeaderCollection q;
  q.add("q", "x y/z");
  EXPECT_EQ(q.to_form_text(true), "q=x%20y%2Fz");
  EXPECT_EQ(q.to_header_text(true), "q: x%20y%2Fz");
  EXPECT_EQ(url_encode("a b", false), "%61%20%62");
  EXPECT_EQ(url_encode("_~-.", true), "%5F%7E-.");
  EXPECT_EQ(url_encode(test::G("链"), true, true), "%E9%93%BE");
  HeaderCollection u;
  u.add(test::G("名"), test::G("值"), true);
  EXPECT_EQ(u.get_value("\xE5\x90\x8D"), "\xE5\x80\xBC");
}

TEST(HeaderCollection, StripMarker) {
  std::string t = ",a,";
  EXPECT_EQ(HeaderCollection::strip_marker(t, ","), "a");
  EXPECT_EQ(t, "a");
  std::string c = ",";
  EXPECT_EQ(HeaderCollection::strip_marker(c, ","), "");
  std::string k = "x";
  EXPECT_EQ(HeaderCollection::strip_marker(k, ""), "x");
}

}  // namespace
}  // namespace quorvex
