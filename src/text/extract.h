// Link extraction: every share in a forum text, Baidu's and the other services' (Quark, Aliyun,
// 115, 123pan, Tianyi, Lanzou), once each, as lines the list loads. Unlike
// typesetting, whose rules stay fixed to the byte so that texts typeset before still come out
// the same, extraction reads the forms people actually paste. What counts as a share link is
// described in docs/extraction.md.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/share_services.h"

namespace quorvex {

// One share found in a text. All texts are GBK.
struct ExtractedShare {
  std::string title;  // one cell: no ASCII blank, runs of blanks made one full-width blank
  // The share's ID as the verdict store keys it (share_id of `link`): "1…", the part after /s/
  // of its address, or for a /share/link share the identity "/share/link?shareid=N&uk=M".
  std::string id;
  std::string code;  // four letters or digits, or empty when none was found
  // Its address on the share host: https://pan.baidu.com/s/1… or
  // https://pan.baidu.com/share/link?shareid=N&uk=M; another service's share at its own address
  // (ServiceLink::url), whose `id` is then its key "quark:ID" and the like.
  std::string link;
  ShareService service = ShareService::baidu;
};

// Every distinct share of a GBK text, in order of first appearance. A share met again keeps its
// first title; the first code found for it, in any of its appearances, wins.
std::vector<ExtractedShare> find_shares(std::string_view text);

// The shares of find_shares as lines the list loads, one per share:
// "TITLE  链接：LINK  密码：CODE" (the code part only when there is a code),
// each ended by CR LF. `count`, when given, receives the number of shares.
std::string extract_share_text(std::string_view text, std::size_t* count = nullptr);

}  // namespace quorvex
