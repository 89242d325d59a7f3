#include "text/link_loader.h"

#include <array>
#include <string>

#include "base/big_buffers.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/link_line.h"
#include "model/share_url.h"

namespace quorvex {

LinkRow link_row_from_line(std::string_view line) {
  const LineCells cells = cells_of_line(line);
  std::string link;
  link_cell_into(cells, link);
  return LinkRow(cells.name, link, cells.code);
}

std::vector<LinkRow> build_link_rows(std::string_view source_text,
                                     const std::function<bool()>& cancelled) {
  std::vector<LinkRow> rows;
  reserve_big(rows, source_text.size() / 64);
  std::size_t since_check = 0;
  bool stopped = false;
  for_each_nonempty_piece(source_text, "\r\n", [&](std::string_view line) {
    if (stopped) return;
    if (cancelled && ++since_check >= 4096) {
      since_check = 0;
      if (cancelled()) {
        stopped = true;
        return;
      }
    }
    rows.push_back(link_row_from_line(line));
  });
  rows.shrink_to_fit();
  return rows;
}

}  // namespace quorvex
