#include "shell/row_link.h"

#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_services.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

bool is_share_code(std::string_view code) {
  if (code.size() != 4) return false;
  for (const char c : code)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

}  // namespace

std::string with_share_code(const std::string& url, std::string_view code) {
  // The parameter each service's share page takes its code from; Aliyun's, Tianyi's and Lanzou's
  // pages take none, and are opened as they are.
  std::string_view name = "pwd";
  if (const std::optional<ServiceLink> link = service_link_of_url(url)) {
    switch (link->service) {
      case ShareService::quark:
      case ShareService::pan123:
        break;
      case ShareService::pan115:
        name = "password";
        break;
      default:
        return url;
    }
  }
  if (!is_share_code(code) || query_parameter(url, name)) return url;
  // The code goes before a fragment, which the service's pages read for themselves.
  const std::size_t hash = url.find('#');
  std::string out = url.substr(0, hash);
  out.append(out.find('?') == std::string::npos ? "?" : "&").append(name).append("=").append(code);
  if (hash != std::string::npos) out.append(url, hash);
  return out;
}

void open_row_link(const LinkTable& table, int selected, const RowLinkActions& actions) {
  if (selected < 0) return;
  std::string code = table.cell(selected, kColumnCode);
  if (actions.set_clipboard) actions.set_clipboard(code);
  if (code.empty()) {
    // An untypeset list keeps the code on the line after the link: "提取码：…" and the like.
    const std::string next_name = table.cell(selected + 1, kColumnName);
    code = std::string(text_after_last(next_name, gbk::kMaColon));
    if (actions.set_clipboard) actions.set_clipboard(code);
  }
  const std::string url =
      share_url_of_row(table.cell(selected, kColumnLink), table.cell(selected, kColumnName));
  if (!is_share_url(url)) {
    if (actions.refused) actions.refused(url);
    return;
  }
  // The share opens with its code filled in; the code stays on the clipboard all the same.
  if (actions.open_url) actions.open_url(with_share_code(url, code));
}

}  // namespace quorvex
