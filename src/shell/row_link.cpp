#include "shell/row_link.h"

#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_url.h"

namespace quorvex {

void open_row_link(const LinkTable& table, int selected, const RowLinkActions& actions) {
  if (selected < 0) return;
  const std::string code = table.cell(selected, kColumnCode);
  if (actions.set_clipboard) actions.set_clipboard(code);
  if (code.empty() && actions.set_clipboard) {
    // An untypeset list keeps the code on the line after the link: "提取码：…" and the like.
    const std::string next_name = table.cell(selected + 1, kColumnName);
    actions.set_clipboard(std::string(text_after_last(next_name, gbk::kMaColon)));
  }
  const std::string url =
      share_url_of_row(table.cell(selected, kColumnLink), table.cell(selected, kColumnName));
  if (!is_share_url(url)) {
    if (actions.refused) actions.refused(url);
    return;
  }
  if (actions.open_url) actions.open_url(url);
}

}  // namespace quorvex
