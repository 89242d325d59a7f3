#include "text/extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/charset.h"
#include "support/gbk.h"
#include "text/file_input.h"
#include "text/link_loader.h"

namespace quorvex {
namespace {

using test::G;
using test::U;

struct Share {
  std::string title, id, code;  // UTF-8
  bool operator==(const Share&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Share& s) {
  return os << "{" << s.title << " | " << s.id << " | " << s.code << "}";
}

std::vector<Share> found(std::string_view gbk_text) {
  std::vector<Share> out;
  for (const ExtractedShare& s : find_shares(gbk_text)) out.push_back({U(s.title), s.id, s.code});
  return out;
}

std::vector<Share> found_utf8(std::string_view utf8) { return found(G(utf8)); }

TEST(Extract, FormsPeoplePaste) {
  const std::string id = "1AbC-d_3xYz";
  const struct {
    const char* text;
    Share want;
  } cases[] = {
      {"资源 链接：https://pan.baidu.com/s/1AbC-d_3xYz 提取码：ab12", {"资源", id, "ab12"}},
      {"资源 链接: pan.baidu.com/s/1AbC-d_3xYz 提取码: ab12", {"资源", id, "ab12"}},
      {"资源\r\nhttps://pan.baidu.com/s/1AbC-d_3xYz?pwd=ab12", {"资源", id, "ab12"}},
      {"资源\r\nhttp://pan.baidu.com/s/1AbC-d_3xYz\r\n访问码：ab12", {"资源", id, "ab12"}},
      {"资源 百度网盘：https://pan.baidu.com/share/init?surl=AbC-d_3xYz 提取密码 ab12",
       {"资源", id, "ab12"}},
      {"资源\r\n\r\n下载链接：pan.baidu.com/s/1AbC-d_3xYz\r\n\r\n密码:ab12", {"资源", id, "ab12"}},
      {"我的  好 资源 网盘链接: https://pan.baidu.com/s/1AbC-d_3xYz", {"我的　好　资源", id, ""}},
      {"百度网盘链接：https://pan.baidu.com/s/1AbC-d_3xYz", {"未命名", id, ""}},
      {"链接：\r\nhttps://pan.baidu.com/s/1AbC-d_3xYz", {"未命名", id, ""}},
      {"https://pan.baidu.com/share/init?surl=AbC-d_3xYz&pwd=ab12", {"未命名", id, "ab12"}},
      // The link's own code wins over a label after it.
      {"x https://pan.baidu.com/s/1AbC-d_3xYz?pwd=ab12 提取码：zz99", {"x", id, "ab12"}},
      // A title two lines up, past a blank line; not three.
      {"标题\r\n\r\nhttps://pan.baidu.com/s/1AbC-d_3xYz", {"标题", id, ""}},
      {"标题\r\n\r\n\r\nhttps://pan.baidu.com/s/1AbC-d_3xYz", {"未命名", id, ""}},
      // A share footer is no title.
      {"--来自百度网盘超级会员V5的分享\r\nhttps://pan.baidu.com/s/1AbC-d_3xYz", {"未命名", id, ""}},
      // An unzip password is no share's code; five characters are no code.
      {"x pan.baidu.com/s/1AbC-d_3xYz 解压密码：ab12", {"x", id, ""}},
      {"x pan.baidu.com/s/1AbC-d_3xYz 提取码：ab123", {"x", id, ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(found_utf8(c.text), std::vector<Share>{c.want});
  }
}

TEST(Extract, WhatIsNoShareLink) {
  for (const char* text : {
           "pan.baidu.com/s/2abc",                 // IDs start with 1
           "pan.baidu.com/s/1",                    // nothing after the 1
           "xpan.baidu.com/s/1abc",                // another host
           "pan.baidu.com.evil/s/1abc",            // another host
           "https://pan.baidu.com/share/link",     // no share
           "pan.baidu.com/share/link?shareid=12",  // half of one
           "pan.baidu.com/share/link?shareid=&uk=3",
           "pan.baidu.com/wap/init?surl=",
           "ayun.baidu.com/s/1abc",
       }) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(found_utf8(text).empty());
  }
}

TEST(Extract, EveryFormOfTheServiceIsOneShareOnThePanHost) {
  // The older host name, the mobile page and the /s/ page of one share are one share.
  const auto shares = found_utf8(
      "甲 https://yun.baidu.com/s/1AbC_9 提取码：a111\r\n"
      "乙 pan.baidu.com/wap/init?surl=AbC_9&pwd=zz99\r\n"
      "丙 http://pan.baidu.com/wap/init?surl=Wap2&pwd=b222\r\n"
      "丁 链接：https://pan.baidu.com/share/link?shareid=123&uk=456 密码：c333\r\n"
      "戊 pan.baidu.com/share/link?uk=456&from=x&shareid=123\r\n"
      "己 yun.baidu.com/share/link?shareid=7&uk=8\r\n");
  EXPECT_EQ(shares, (std::vector<Share>{{"甲", "1AbC_9", "a111"},
                                        {"丙", "1Wap2", "b222"},
                                        {"丁", "/share/link?shareid=123&uk=456", "c333"},
                                        {"己", "/share/link?shareid=7&uk=8", ""}}));
  EXPECT_EQ(U(extract_share_text(G("丁 pan.baidu.com/share/link?uk=456&shareid=123\r\n"
                                   "甲 yun.baidu.com/s/1AbC_9\r\n"))),
            "丁  链接：https://pan.baidu.com/share/link?shareid=123&uk=456\r\n"
            "甲  链接：https://pan.baidu.com/s/1AbC_9\r\n");
  // Each line loads into a row whose address is the share host's.
  const std::string lines = extract_share_text(G("x pan.baidu.com/wap/init?surl=Q1\r\n"));
  EXPECT_EQ(U(lines), "x  链接：https://pan.baidu.com/s/1Q1\r\n");
}

TEST(Extract, CodesFollowTheirLinkUpToTheNext) {
  // Two links on one line, each with its code; then a code on the line after a link; a code
  // before any link belongs to none.
  const auto shares = found_utf8(
      "提取码：0000\r\n"
      "甲 pan.baidu.com/s/1aaa 提取码：a111 乙 链接：pan.baidu.com/s/1bbb 密码：b222\r\n"
      "丙\r\npan.baidu.com/s/1ccc\r\n说明文字\r\n提取码：c333\r\npan.baidu.com/s/1ddd\r\n");
  EXPECT_EQ(shares, (std::vector<Share>{{"甲", "1aaa", "a111"},
                                        {"乙", "1bbb", "b222"},
                                        {"丙", "1ccc", "c333"},
                                        {"说明文字", "1ddd", ""}}));
}

TEST(Extract, EachShareOnceFirstTitleFirstCode) {
  const auto shares = found_utf8(
      "一 pan.baidu.com/s/1aaa\r\n"
      "二 https://pan.baidu.com/s/1bbb?pwd=b222\r\n"
      "三 https://pan.baidu.com/share/init?surl=aaa 提取码：a111\r\n"
      "四 pan.baidu.com/s/1aaa 提取码：a999\r\n");
  EXPECT_EQ(shares, (std::vector<Share>{{"一", "1aaa", "a111"}, {"二", "1bbb", "b222"}}));
}

TEST(Extract, EveryServiceBesideBaiduWithTitlesAndCodes) {
  // A post as forums carry them: services side by side, labels, codes in the link or after it,
  // a share met again in another spelling.
  const auto shares = found_utf8(
      "【合集】4K 修复\r\n"
      "夸克网盘链接：https://pan.quark.cn/s/abc123def?pwd=Xy12\r\n"
      "阿里 资料 www.alipan.com/s/AbCdEf12345 提取码：q8w9\r\n"
      "115 https://115.com/s/swabc12?password=k9k9\r\n"
      "一二三 https://www.123pan.com/s/abcd-EfGh.html 提取码:1234\r\n"
      "天翼 https://cloud.189.cn/web/share?code=Q3aUbi2QfY3i（访问码：ab12）\r\n"
      "蓝奏 https://wwi.lanzoux.com/iAbc123 密码:6n7m\r\n"
      "百度 https://pan.baidu.com/s/1abcd?pwd=zz99 夸克 pan.quark.cn/s/second\r\n"
      "再来 PAN.QUARK.CN/s/abc123def#/list/share 提取码：zzzz\r\n"
      "镜像 https://www.aliyundrive.com/s/AbCdEf12345\r\n");
  EXPECT_EQ(shares, (std::vector<Share>{{"【合集】4K　修复", "quark:abc123def", "Xy12"},
                                        {"阿里　资料", "aliyun:AbCdEf12345", "q8w9"},
                                        {"115", "115:swabc12", "k9k9"},
                                        {"一二三", "123pan:abcd-EfGh", "1234"},
                                        {"天翼", "tianyi:Q3aUbi2QfY3i", "ab12"},
                                        {"蓝奏", "lanzou:iAbc123", "6n7m"},
                                        {"百度", "1abcd", "zz99"},
                                        {"夸克", "quark:second", ""}}));
  // The lines the list loads give each share its own address, its service known again.
  const std::string text =
      extract_share_text(G("蓝奏 https://wwi.lanzoux.com/iAbc123 密码:6n7m\r\n"
                           "阿里云盘：www.alipan.com/s/x1\r\n"));
  EXPECT_EQ(U(text),
            "蓝奏  链接：https://wwi.lanzoux.com/iAbc123  密码：6n7m\r\n"
            "未命名  链接：https://www.alipan.com/s/x1\r\n");
  const auto rows = build_link_rows(text);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cell(1), "https://wwi.lanzoux.com/iAbc123");
  EXPECT_EQ(rows[0].cell(2), "6n7m");
  EXPECT_EQ(rows[1].cell(1), "https://www.alipan.com/s/x1");
  const auto services = find_shares(text);
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(services[0].service, quorvex::ShareService::lanzou);
  EXPECT_EQ(services[1].service, quorvex::ShareService::aliyun);
}

TEST(Extract, LinesTheListLoads) {
  const std::string text =
      extract_share_text(G("a b  c pan.baidu.com/s/1x_y?pwd=ab12\r\n"
                           "链接：pan.baidu.com/s/1zz\r\n"));
  EXPECT_EQ(U(text),
            "a　b　c  链接：https://pan.baidu.com/s/1x_y  密码：ab12\r\n"
            "未命名  链接：https://pan.baidu.com/s/1zz\r\n");
  const auto rows = build_link_rows(text);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(U(rows[0].cell(0)), "a　b　c");
  EXPECT_EQ(rows[0].cell(1), "https://pan.baidu.com/s/1x_y");
  EXPECT_EQ(rows[0].cell(2), "ab12");
  EXPECT_EQ(rows[1].cell(1), "https://pan.baidu.com/s/1zz");
  EXPECT_EQ(rows[1].cell(2), "");
}

// Posts generated in the forms people paste, with the truth known.
class PostWriter {
 public:
  explicit PostWriter(std::uint32_t seed) : rng_(seed) {}

  // A post of n entries in UTF-8 with CR LF ends; `truth` gets the shares it holds.
  std::string post(int n, std::vector<Share>& truth) {
    std::string out;
    std::vector<Share> entries;
    for (int k = 0; k < n; ++k) {
      Share s{title(), id(), pick(4) == 0 ? "" : code()};
      // Now and then a share posted again, under another title and maybe with a code.
      if (!entries.empty() && pick(8) == 0) {
        s.id = entries[pick(static_cast<int>(entries.size()))].id;
      }
      const bool titled = pick(6) != 0;
      // A link line right above would let the title two lines up, the last entry's, count.
      if (!titled) out += "\r\n";
      out += entry(s, titled);
      out += pick(2) ? "\r\n" : "\r\n\r\n";
      entries.push_back(s);
      Share shown = s;
      if (!titled) shown.title = "未命名";
      auto same =
          std::find_if(truth.begin(), truth.end(), [&](const Share& t) { return t.id == s.id; });
      if (same == truth.end()) {
        truth.push_back(shown);
      } else if (same->code.empty()) {
        same->code = s.code;
      }
    }
    return out;
  }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::string title() {
    static const char* words[] = {"电影",     "合集", "2024",  "[1080P]",  "纪录片", "Linux教程",
                                  "《三体》", "音乐", "Vol.3", "【高清】", "第一季", "A-B_C"};
    std::string t = words[pick(12)];
    for (int k = pick(3); k > 0; --k) {
      t += pick(3) == 0 ? "  " : " ";
      t += words[pick(12)];
    }
    return t;
  }
  std::string id() {
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-";
    std::string s = "1";
    for (int k = 0; k < 22; ++k) s += chars[pick(64)];
    return s;
  }
  std::string code() {
    static const char chars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int k = 0; k < 4; ++k) s += chars[pick(36)];
    return s;
  }
  std::string link(const Share& s, bool with_pwd) {
    static const char* schemes[] = {"https://", "http://", ""};
    std::string url = schemes[pick(3)];
    if (pick(4) == 0) {
      url += "pan.baidu.com/share/init?surl=" + s.id.substr(1);
      if (with_pwd) url += "&pwd=" + s.code;
    } else {
      url += "pan.baidu.com/s/" + s.id;
      if (with_pwd) url += "?pwd=" + s.code;
    }
    return url;
  }
  std::string code_text(const Share& s) {
    static const char* labels[] = {"提取码", "提取密码", "密码", "访问码"};
    static const char* seps[] = {"：", ":", " ", ": ", " ： "};
    return std::string(labels[pick(4)]) + seps[pick(5)] + s.code;
  }
  std::string entry(const Share& s, bool titled) {
    static const char* link_labels[] = {"链接：",     "链接:",      "下载链接：",
                                        "网盘链接: ", "百度网盘：", ""};
    const std::string label = link_labels[pick(6)];
    const bool pwd = !s.code.empty() && pick(3) == 0;
    const std::string code = s.code.empty() || pwd ? "" : code_text(s);
    const std::string t = titled ? s.title : "";
    switch (pick(4)) {
      case 0:  // all on one line
        return (titled ? t + " " : "") + label + link(s, pwd) + (code.empty() ? "" : " " + code);
      case 1:  // title above, code on the link's line
        return (titled ? t + "\r\n" : "") + label + link(s, pwd) +
               (code.empty() ? "" : "  " + code) + "\r\n--来自百度网盘超级会员V5的分享";
      case 2:  // title above, code below
        return (titled ? t + "\r\n" : "") + label + link(s, pwd) +
               (code.empty() ? "" : "\r\n" + code);
      default:  // title with a blank line under it, code two lines below
        return (titled ? t + "\r\n\r\n" : "") + label + link(s, pwd) +
               (code.empty() ? ""
                             : "\r\n复制这段内容后打开百度网盘手机App，操作更方便哦\r\n" + code);
    }
  }

  std::mt19937 rng_;
};

std::string with_line_ends(std::string crlf, int kind) {
  if (kind == 0) return crlf;
  std::string out;
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') {
      out += kind == 1 ? '\n' : '\r';
      ++i;
    } else {
      out += crlf[i];
    }
  }
  return out;
}

std::vector<Share> one_cell_titles(std::vector<Share> shares) {
  for (Share& s : shares) {
    std::string t;
    for (std::size_t i = 0; i < s.title.size(); ++i) {
      if (s.title[i] == ' ') {
        while (i + 1 < s.title.size() && s.title[i + 1] == ' ') ++i;
        t += "　";
      } else {
        t += s.title[i];
      }
    }
    s.title = t;
  }
  return shares;
}

TEST(Extract, GeneratedPostsInEveryEncodingAndLineEnd) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    PostWriter writer(seed);
    std::vector<Share> truth;
    const std::string post = writer.post(30, truth);
    const std::vector<Share> want = one_cell_titles(truth);
    for (int ends = 0; ends < 3; ++ends) {
      const std::string utf8 = with_line_ends(post, ends);
      SCOPED_TRACE("seed " + std::to_string(seed) + ", line ends " + std::to_string(ends));
      // As a GBK file and as a UTF-8 one, both through the input decoding; and the GBK text
      // straight, with its own line ends.
      const std::string gbk = G(utf8);
      EXPECT_EQ(found(decode_input_bytes(gbk)), want) << utf8;
      EXPECT_EQ(found(decode_input_bytes(utf8)), want);
      EXPECT_EQ(found(gbk), want);
    }
  }
}

TEST(Extract, OwnOutputExtractsToItself) {
  for (std::uint32_t seed = 100; seed < 120; ++seed) {
    PostWriter writer(seed);
    std::vector<Share> truth;
    const std::string once = extract_share_text(G(writer.post(40, truth)));
    EXPECT_EQ(extract_share_text(once), once);
  }
}

TEST(Extract, HostileTextsEndWell) {
  // NUL bytes, invalid GBK, an absurd ID, a label at the very end.
  const char raw[] =
      "a\0b pan.baidu.com/s/1ab\0c\xFF\x81pan.baidu.com/s/1zz\r\n\x81t pan.baidu.com/s/";
  std::string text(raw, sizeof raw - 1);
  const std::string huge_id = "1" + std::string(10000, 'x');
  text += huge_id + "?pwd=\xFF\r\n" + G("提取码");
  const auto shares = find_shares(text);
  ASSERT_EQ(shares.size(), 3u);
  EXPECT_EQ(shares[0].id, "1ab");
  EXPECT_EQ(shares[1].id, "1zz");  // 0xFF 0x81 is one character, so the "p" after it starts one
  EXPECT_EQ(shares[2].id, huge_id);
  EXPECT_EQ(shares[2].code, "");
  // A lead byte that takes the "p" as its second byte leaves no link; a lone lead byte at the
  // very end is harmless.
  EXPECT_TRUE(find_shares("\x81pan.baidu.com/s/1abc").empty());
  EXPECT_TRUE(find_shares(std::string_view("\xC2", 1)).empty());
}

TEST(Extract, LongLinesAndManyLinks) {
  // A 10 MB line with one link at its end, and 200,000 links on as many lines.
  std::string line(10 << 20, 'a');
  line += " pan.baidu.com/s/1end";
  ASSERT_EQ(find_shares(line).size(), 1u);
  std::string many;
  for (int k = 0; k < 200000; ++k) many += "t pan.baidu.com/s/1" + std::to_string(k) + "\r\n";
  const auto shares = find_shares(many);
  ASSERT_EQ(shares.size(), 200000u);
  EXPECT_EQ(shares.back().id, "1199999");
}

}  // namespace
}  // namespace quorvex
