#include "model/link_line.h"

#include <algorithm>
#include <array>

#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_url.h"

namespace quorvex {

LineCells cells_of_line(std::string_view line) {
  std::array<std::string_view, 3> pieces;
  std::size_t count = 0;
  // Pieces after the third are ignored, so the scan stops as soon as three are known.
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && count < pieces.size()) {
    while (i < n && line[i] == ' ') ++i;
    if (i >= n) break;
    const std::size_t start = i;
    while (i < n && line[i] != ' ') i += char_width(static_cast<unsigned char>(line[i]));
    pieces[count++] = line.substr(start, std::min(i, n) - start);
  }
  LineCells cells;
  if (count >= 1) cells.name = pieces[0];
  if (count >= 2) {
    cells.has_link = true;
    const LinkParts parts = share_link_parts(pieces[1]);
    cells.link_prefix = parts.prefix;
    cells.link_rest = parts.rest;
  }
  if (count >= 3) cells.code = text_after_last(pieces[2], gbk::kFullColon);
  return cells;
}

void link_cell_into(const LineCells& cells, std::string& out) {
  out.clear();
  if (cells.has_link) out.append(cells.link_prefix).append(cells.link_rest);
}

}  // namespace quorvex
