// Generated GBK texts of realistic shape for the benchmarks.
#pragma once

#include <random>
#include <string>

namespace quorvex::bench {

// "title  链接：https://pan.baidu.com/s/1…  密码：abcd" lines, about 100 bytes each.
inline std::string typeset_lines(long count) {
  std::mt19937 rng(7);
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * 104);
  const std::string title = "\xD7\xCA\xD4\xB4\xBA\xCF\xBC\xAF\xB5\xDA";  // 资源合集第
  for (long i = 0; i < count; ++i) {
    text += title + std::to_string(i) + "\xC6\xDA\xB8\xFC\xD0\xC2";  // 期更新
    text += "  \xC1\xB4\xBD\xD3\xA3\xBAhttps://pan.baidu.com/s/1";   //   链接：
    for (int k = 0; k < 22; ++k) text += static_cast<char>('a' + rng() % 26);
    text += "  \xC3\xDC\xC2\xEB\xA3\xBA";  //   密码：
    for (int k = 0; k < 4; ++k) text += static_cast<char>('a' + rng() % 26);
    text += "\r\n";
  }
  return text;
}

// Forum posts: a title line, a link line, a code line, sometimes blank lines and chatter.
inline std::string forum_posts(long count) {
  std::mt19937 rng(11);
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * 130);
  for (long i = 0; i < count; ++i) {
    text += "\xA1\xBE\xD7\xCA\xD4\xB4\xA1\xBF \xBD\xCC\xB3\xCC\xB5\xDA" + std::to_string(i) +
            "\xB2\xBF\xB7\xD6 \xB8\xDF\xC7\xE5\r\n";  // 【资源】 教程第…部分 高清
    text += "\xC1\xB4\xBD\xD3\xA3\xBAhttps://pan.baidu.com/s/1";
    for (int k = 0; k < 22; ++k) text += static_cast<char>('A' + rng() % 26);
    if (rng() % 3 == 0) {
      text += " \xCC\xE1\xC8\xA1\xC2\xEB\xA3\xBA" + std::to_string(1000 + rng() % 9000) + "\r\n";
    } else {
      text += "\r\n\xCC\xE1\xC8\xA1\xC2\xEB\xA3\xBA" + std::to_string(1000 + rng() % 9000) + "\r\n";
    }
    if (rng() % 4 == 0) text += "\r\n\xB8\xD0\xD0\xBB\xB7\xD6\xCF\xED\r\n";  // 感谢分享
  }
  return text;
}

// About `bytes` of forum talk in GBK: long lines of Chinese prose with some ASCII, and now and
// then a share link with its code, in the forms people paste.
inline std::string chatty_forum(std::size_t bytes) {
  std::mt19937 rng(12);
  // 楼主辛苦了，这个资源我找了很久，下载速度也很快，感谢分享！
  const std::string prose =
      "\xC2\xA5\xD6\xF7\xD0\xC1\xBF\xE0\xC1\xCB\xA3\xAC\xD5\xE2\xB8\xF6\xD7\xCA\xD4\xB4\xCE\xD2"
      "\xD5\xD2\xC1\xCB\xBA\xDC\xBE\xC3\xA3\xAC\xCF\xC2\xD4\xD8\xCB\xD9\xB6\xC8\xD2\xB2\xBA\xDC"
      "\xBF\xEC\xA3\xAC\xB8\xD0\xD0\xBB\xB7\xD6\xCF\xED\xA3\xA1";
  std::string text;
  text.reserve(bytes + 4096);
  while (text.size() < bytes) {
    for (int k = 1 + static_cast<int>(rng() % 8); k > 0; --k) text += prose + " v2.0 ";
    if (rng() % 4 == 0) {
      text += "\xC1\xB4\xBD\xD3: pan.baidu.com/s/1";  // 链接:
      for (int k = 0; k < 22; ++k) text += static_cast<char>('a' + rng() % 26);
      text += " \xCC\xE1\xC8\xA1\xC2\xEB: " + std::to_string(1000 + rng() % 9000);  // 提取码:
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace quorvex::bench
