#include "model/share_services.h"

#include <gtest/gtest.h>

#include "model/link_line.h"
#include "model/share_url.h"

namespace quorvex {
namespace {

// service:id:code of every link found, a space between.
std::string found(std::string_view text) {
  std::string out;
  for (const ServiceLink& link : find_service_links(text)) {
    if (!out.empty()) out += ' ';
    out += service_share_key(link) + ":" + link.code;
  }
  return out;
}

TEST(ShareServices, NamesAreStableBothWays) {
  ASSERT_EQ(all_services().size(), 7u);
  EXPECT_EQ(all_services().front(), ShareService::baidu);
  for (const ShareService service : all_services())
    EXPECT_EQ(service_of_code(service_code(service)), service);
  EXPECT_EQ(service_code(ShareService::pan115), "115");
  EXPECT_EQ(service_code(ShareService::pan123), "123pan");
  EXPECT_EQ(service_of_code("Quark"), std::nullopt);
}

TEST(ShareServices, EveryFormOfEveryService) {
  // Quark: the code in the query, the page's #/… tail left out.
  EXPECT_EQ(found("https://pan.quark.cn/s/3a1b2c4d5e6f"), "quark:3a1b2c4d5e6f:");
  EXPECT_EQ(found("pan.quark.cn/s/3a1b2c?pwd=Ab12#/list/share"), "quark:3a1b2c:Ab12");
  // Aliyun under both its names: one share.
  EXPECT_EQ(found("https://www.alipan.com/s/Qx5Yw7ZkP2m aliyundrive.com/s/Qx5Yw7ZkP2m"),
            "aliyun:Qx5Yw7ZkP2m: aliyun:Qx5Yw7ZkP2m:");
  // 115 under its three names, the code in the query or after a #.
  EXPECT_EQ(found("https://115.com/s/sw3abcd1?password=x9y8#"), "115:sw3abcd1:x9y8");
  EXPECT_EQ(found("115cdn.com/s/swz1#k2m3 https://anxia.com/s/swq7"), "115:swz1:k2m3 115:swq7:");
  // 123pan and its mirrors; its keys hold dashes, a .html tail is no part of them.
  EXPECT_EQ(found("https://www.123pan.com/s/abcd-EfGh1.html?pwd=wxyz"), "123pan:abcd-EfGh1:wxyz");
  EXPECT_EQ(found("123684.com/s/k1-z 123912.com/s/Zz_9"), "123pan:k1-z: 123pan:Zz_9:");
  // Tianyi's three shapes.
  EXPECT_EQ(found("https://cloud.189.cn/t/AbCdEf123"), "tianyi:AbCdEf123:");
  EXPECT_EQ(found("https://cloud.189.cn/web/share?code=QzR2aa"), "tianyi:QzR2aa:");
  EXPECT_EQ(found("https://h5.cloud.189.cn/share.html#/t/Yy7"), "tianyi:Yy7:");
  // Lanzou on its mirrors, under any name, with /tp/ and /s/ or none.
  EXPECT_EQ(found("https://wwi.lanzoux.com/iAb12cd https://lanzoui.com/tp/iZ9"),
            "lanzou:iAb12cd: lanzou:iZ9:");
  EXPECT_EQ(found("https://abc.lanzn.com/s/b0xyz?pwd=1a2b"), "lanzou:b0xyz:1a2b");
  const auto lanzou = find_service_links("WWI.LanZouW.com/iQ1");
  ASSERT_EQ(lanzou.size(), 1u);
  EXPECT_EQ(lanzou[0].url, "https://wwi.lanzouw.com/iQ1");  // fetched on its own host
}

TEST(ShareServices, AddressesAreTheServicesOwnAndSayWhereTheLinkStands) {
  const std::string text = "look: pan.quark.cn/s/ab1?pwd=zz99 and (www.aliyundrive.com/s/Kk1)";
  const auto links = find_service_links(text);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].url, "https://pan.quark.cn/s/ab1");
  EXPECT_EQ(text.substr(links[0].begin, links[0].end - links[0].begin),
            "pan.quark.cn/s/ab1?pwd=zz99");
  EXPECT_EQ(links[1].url, "https://www.alipan.com/s/Kk1");
  EXPECT_EQ(text.substr(links[1].begin, links[1].end - links[1].begin),
            "www.aliyundrive.com/s/Kk1");
  EXPECT_EQ(find_service_links("https://115.com/s/a")[0].url, "https://115.com/s/a");
  EXPECT_EQ(find_service_links("123865.com/s/x-y")[0].url, "https://www.123pan.com/s/x-y");
  EXPECT_EQ(find_service_links("cloud.189.cn/web/share?code=Q1")[0].url,
            "https://cloud.189.cn/t/Q1");
}

TEST(ShareServices, NothingThatOnlyLooksLikeALink) {
  // Other hosts, hosts that merely end like one, pages that are no share, codes that are none.
  EXPECT_EQ(found("https://pan.baidu.com/s/1abc https://example.com/s/abc"), "");
  EXPECT_EQ(found("https://notpan.quark.cn/s/abc fakepan.quark.cn.evil.com/s/x"), "");
  EXPECT_EQ(found("https://pan.quark.cn/ https://pan.quark.cn/list https://www.alipan.com/"), "");
  EXPECT_EQ(found("https://www.lanzoux.com/u/someone https://lanzouxx.com/iab"), "");
  EXPECT_EQ(found("https://cloud.189.cn/web/main/ https://cloud.189.cn/t/"), "");
  EXPECT_EQ(found("pan.quark.cn/s/ab1?pwd=a pan.quark.cn/s/ab2?pwd=toolongcode1"),
            "quark:ab1: quark:ab2:");
  EXPECT_EQ(found(""), "");
  EXPECT_EQ(found("pan.quark.cn"), "");
  // GBK text: a double-byte character's second byte is never the start of a host.
  EXPECT_EQ(found("\xB5pan.quark.cn/s/abc"), "");  // "\xB5p" is one character
  EXPECT_EQ(found("\xC1\xB4\xBD\xD3\xA3\xBApan.quark.cn/s/abc"), "quark:abc:");  // 链接：
}

TEST(ShareServices, APieceWithAnotherServicesLinkIsThatLinkAsFound) {
  // A row's address is the link the piece holds, after https://; Baidu's pieces keep their rule.
  const auto address = [](std::string_view line) {
    std::string out;
    link_cell_into(cells_of_line(line), out);
    return out;
  };
  EXPECT_EQ(address("t 链接:http://pan.quark.cn/s/abc?pwd=ab12#/list 密码:ab12"),
            "https://pan.quark.cn/s/abc?pwd=ab12#/list");
  EXPECT_EQ(address("t www.alipan.com/s/xyz"), "https://www.alipan.com/s/xyz");
  EXPECT_EQ(address("t https://pan.baidu.com/s/1abc"), "https://pan.baidu.com/s/1abc");
  EXPECT_EQ(address("t xpan/s/1abc"), "https://pan/s/1abc");  // the "pan" rule without a host
  EXPECT_EQ(address("t pan.baidu.com/s/1x?from=pan.quark.cn/s/abc"),
            "https://pan.baidu.com/s/1x?from=pan.quark.cn/s/abc");
  // An address read again is the address it was made from, even where "https://pan" makes a host
  // of what was a longer word in the piece.
  for (const char* line : {"t <.Ipan.quark.cnn.lanzn.com/s<b>", "t <.Xpan/x.lanzn.com/s/a<",
                           "t 1abc", "t pan.quark.cn/s/q1", "t a.pan.baidu.com/s/1x"}) {
    const std::string once = address(line);
    EXPECT_EQ(share_url_of_row(once, ""), once) << line;
  }
  // The address names the share of its service, whatever its spelling or mirror.
  for (const char* url : {"https://pan.quark.cn/s/abc", "https://pan.quark.cn/s/abc?pwd=ab12",
                          "https://PAN.QUARK.CN/s/abc#/list/share"}) {
    EXPECT_TRUE(is_share_url(url)) << url;
    EXPECT_FALSE(is_baidu_share_url(url)) << url;
    EXPECT_EQ(share_id(url), "quark:abc") << url;
    EXPECT_EQ(service_of_url(url), ShareService::quark) << url;
  }
  EXPECT_EQ(share_id("https://abc.lanzn.com/iX1"), share_id("https://wwi.lanzoux.com/iX1"));
  EXPECT_EQ(share_id("https://pan.baidu.com/s/1abc"), "1abc");
  EXPECT_EQ(service_of_url("https://pan.baidu.com/s/1abc"), ShareService::baidu);
  // Never an address with something around the link: a user name, a port, another scheme.
  for (const char* url : {"https://user@pan.quark.cn/s/abc", "https://pan.quark.cn:8443/s/abc",
                          "http://pan.quark.cn/s/abc", "https://pan.quark.cn/s/abc x",
                          "https://evil.example/pan.quark.cn/s/abc"})
    EXPECT_FALSE(is_share_url(url)) << url;
}

}  // namespace
}  // namespace quorvex
