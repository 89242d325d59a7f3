// Writes generated test texts in GBK:
//   gen_text typeset LINES FILE   one typeset line per link (title, link, code)
//   gen_text forum POSTS FILE     forum posts: titles, links, codes over several lines
//   gen_text chatty MB FILE       forum talk with a share link now and then
#include <cstdio>
#include <string>

#include "bench_texts.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gen_text typeset|forum|chatty COUNT FILE\n");
    return 2;
  }
  const std::string kind = argv[1];
  const long count = std::stol(argv[2]);
  const std::string text = kind == "typeset" ? quorvex::bench::typeset_lines(count)
                           : kind == "chatty"
                               ? quorvex::bench::chatty_forum(static_cast<std::size_t>(count) << 20)
                               : quorvex::bench::forum_posts(count);
  std::FILE* f = std::fopen(argv[3], "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
