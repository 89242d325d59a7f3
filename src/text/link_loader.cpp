#include "text/link_loader.h"

#include <array>
#include <string>

#include "base/big_buffers.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_url.h"

namespace quorvex {

LinkRow link_row_from_line(std::string_view line) {
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
  const std::string link = count >= 2 ? rebuild_share_url(pieces[1]) : std::string();
  const std::string_view code = count >= 3 ? text_after_last(pieces[2], gbk::kFullColon) : "";
  return LinkRow(count >= 1 ? pieces[0] : std::string_view(), link, code);
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
