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

}  // namespace quorvex::bench
