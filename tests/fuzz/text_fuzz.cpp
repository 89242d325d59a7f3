// libFuzzer target over the text and header operations that take arbitrary bytes: no crash, no
// read past a text, and the typesetter's fast replacements equal their definition.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/charset.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "net/cookies.h"
#include "net/header_collection.h"
#include "net/header_text.h"
#include "text/extract.h"
#include "text/file_input.h"
#include "text/link_loader.h"
#include "text/typeset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string typeset = typeset_share_text(text);
  typeset_share_text(typeset);
  build_link_rows(text);
  build_link_rows(typeset);
  decode_input_bytes(text);
  normalize_line_ends(text);
  const std::string extracted = extract_share_text(text);
  // Whatever the text, every share found is written as exactly one line.
  if (find_shares(text).size() != split_nonempty(extracted, "\r\n").size()) __builtin_trap();
  text_after_last(text, "pan");
  trim_spaces(text);
  normalize_header_text(text);
  collect_set_cookies(text);
  std::string old_cookies = text.substr(0, size / 2);
  merge_cookie_texts(old_cookies, text.substr(size / 2));
  HeaderCollection h;
  h.parse_form_text(text);
  h.to_json_text();
  h.to_form_text(true);
  gbk_to_utf8(text);
  convert_charset(text);

  std::string fast = text;
  replace_aligned_together(fast, {{" ", ""}});
  replace_aligned_together(fast, {{gbk::kXiaZaiLianJie, gbk::kSpacedLianJie},
                                  {gbk::kTiQuMa, gbk::kSpacedMiMa},
                                  {gbk::kJiHuoMa, gbk::kSpacedJiHuoMa},
                                  {gbk::kLianJie, gbk::kSpacedLianJie},
                                  {gbk::kMiMa, gbk::kSpacedMiMa}});
  const std::string reference =
      replace_in_order(replace_in_order(text, {{" ", ""},
                                               {gbk::kXiaZaiLianJie, gbk::kLianJie},
                                               {gbk::kTiQuMa, gbk::kMiMa},
                                               {gbk::kJiHuoMa, gbk::kSpacedJiHuoMa}}),
                       {{gbk::kLianJie, gbk::kSpacedLianJie}, {gbk::kMiMa, gbk::kSpacedMiMa}});
  if (fast != reference) __builtin_trap();
  return 0;
}
