// The list's double-click action: the row's extraction code to the clipboard, its share address
// to the browser.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/link_table.h"

namespace quorvex {

struct RowLinkActions {
  std::function<void(const std::string& gbk_text)> set_clipboard;
  std::function<void(const std::string& url)> open_url;
  // Told instead of open_url when the row's address is no share address of the service: a list
  // line must not send the browser to a host of its choosing.
  std::function<void(const std::string& url)> refused;
};

// The share address with `code` as its pwd parameter (115's: password), when the code is one
// (four letters or digits) and the address carries none yet; an Aliyun, Tianyi or Lanzou
// address, whose pages take no code from their address, as it is.
std::string with_share_code(const std::string& url, std::string_view code);

// Acts on row `selected`: the code of column 2 (or, when empty, what follows "码：" in the next
// row's name) goes to the clipboard, then share_link_prefix plus what follows the last "pan" of
// column 1 (or of column 0 when column 1 is empty) is opened. A negative row (nothing selected)
// does nothing: opening the bare prefix would only show the user an error page. Only a share
// address (is_share_url) is opened, with its code (see with_share_code); any other goes to
// `refused`.
void open_row_link(const LinkTable& table, int selected, const RowLinkActions& actions);

}  // namespace quorvex
