#include "model/share_url.h"

#include "base/text_ops.h"

namespace quorvex {

std::string rebuild_share_url(std::string_view text) {
  const std::string_view rest = text_after_last(text, "pan");
  std::string url;
  url.reserve(share_link_prefix.size() + rest.size());
  url.append(share_link_prefix).append(rest);
  return url;
}

std::string share_url_of_row(std::string_view link_cell, std::string_view name_cell) {
  return rebuild_share_url(link_cell.empty() ? name_cell : link_cell);
}

}  // namespace quorvex
