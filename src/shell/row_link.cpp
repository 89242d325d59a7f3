#include "shell/row_link.h"

#include "base/gbk_literals.h"
#include "base/text_ops.h"

namespace quorvex {

void open_row_link(const LinkTable& table, int selected, const RowLinkActions& actions) {
  if (selected < 0) return;
  const std::string code = table.cell(selected, 2);
  if (actions.set_clipboard) actions.set_clipboard(code);
  if (code.empty() && actions.set_clipboard) {
    // An untypeset list keeps the code on the line after the link: "提取码：…" and the like.
    const std::string next_name = table.cell(selected + 1, 0);
    actions.set_clipboard(std::string(text_after_last(next_name, gbk::kMaColon)));
  }
  const std::string link = table.cell(selected, 1);
  const std::string source = link.empty() ? table.cell(selected, 0) : link;
  std::string url(share_link_prefix);
  url.append(text_after_last(source, "pan"));
  if (actions.open_url) actions.open_url(url);
}

}  // namespace quorvex
