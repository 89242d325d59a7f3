#include "check/page_reading.h"

#include <gtest/gtest.h>

#include "base/charset.h"
#include "check/probe.h"

namespace quorvex {
namespace {

TEST(PageReading, ScriptsStylesCommentsAndTagsAreNotWhatAPersonSees) {
  const VisiblePage page = visible_page(
      "<!DOCTYPE html><html><head><title>\n  百度网盘 \t 请输入提取码 </title>"
      "<SCRIPT type=\"text/javascript\">if (a < b && c > d) { s = '</div>已过期'; }</SCRIPT>"
      "<style>p > a { content: '验证码' }</style><noscript>请开启脚本</noscript></head>"
      "<body><!-- <p>该分享文件已过期</p> --><div class=\"a>b\" title='x>y'>甲</div>乙<br/>丙"
      "<template><p>模板</p></template><scripts>丁</scripts></body></html>");
  EXPECT_EQ(page.title, "百度网盘 请输入提取码");
  EXPECT_EQ(page.text, "甲 乙 丙 丁");
}

TEST(PageReading, EntitiesAreDecodedAndStrayMarkupIsText) {
  EXPECT_EQ(
      visible_page("a&nbsp;&nbsp;b&amp;c &lt;d&gt; &#35831;&#x8F93;&#X5165; &quot;q&quot;").text,
      "a b&c <d> 请输入 \"q\"");
  // What starts no entity or no tag is shown as written; a code point beyond Unicode or none at
  // all is the replacement character.
  EXPECT_EQ(visible_page("&unknown; &# &#x; a<3 b < c &#0; &#x110000; &#99999999999;").text,
            "&unknown; &# &#x; a<3 b < c \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD");
  EXPECT_EQ(visible_page("<title>a &amp; b</title><title>second</title>").title, "a & b");
}

TEST(PageReading, UnfinishedMarkupEndsThePageWithoutReadingPastIt) {
  for (const char* html : {"甲<script>已过期", "甲<!-- 已过期", "甲<div class=\"已过期",
                           "甲<title>乙", "甲<", "甲</", "甲<a href='x", "甲<!", "甲&", "甲&#x"}) {
    SCOPED_TRACE(html);
    const VisiblePage page = visible_page(html);
    EXPECT_EQ(page.text.find("已过期"), std::string::npos);
    EXPECT_EQ(page.text.rfind("甲", 0), 0u);
  }
  EXPECT_EQ(visible_page("").text, "");
  EXPECT_EQ(visible_page(std::string(3, '\0')).text, std::string(3, '\0'));
}

TEST(PageReading, TheDeclaredCharacterSetDecidesHowTheBodyIsRead) {
  EXPECT_EQ(declared_charset("Content-Type: text/html; charset=gbk", ""), "GBK");
  EXPECT_EQ(declared_charset("Server: x\r\ncontent-type: text/html;CHARSET=\"GB2312\"", ""),
            "GB2312");
  EXPECT_EQ(declared_charset("", "<html><head><META CHARSET='gb18030'>"), "GB18030");
  EXPECT_EQ(declared_charset("Content-Type: text/html",
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=GBK\">"),
            "GBK");
  // The header wins; a declaration beyond the first 2 KiB is not looked for.
  EXPECT_EQ(declared_charset("Content-Type: text/html; charset=utf-8", "<meta charset=gbk>"),
            "UTF-8");
  EXPECT_EQ(declared_charset("", std::string(2100, ' ') + "<meta charset=gbk>"), "");

  FetchResult gbk;
  gbk.body = utf8_to_gbk("<title>分享</title><p>请输入提取码</p>");
  gbk.headers = "Content-Type: text/html; charset=GBK";
  EXPECT_EQ(read_page(gbk).text, "请输入提取码");
  EXPECT_EQ(read_page(gbk).title, "分享");
  // Up to its first NUL byte.
  FetchResult cut;
  cut.body = std::string("<p>甲</p>\0<p>乙</p>", 18);
  EXPECT_EQ(read_page(cut).text, "甲");
}

}  // namespace
}  // namespace quorvex
