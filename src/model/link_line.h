// How one line of the source text becomes a row's cells: first piece as name; the share address
// share_link_parts makes of the second piece as address; the rest after the last full-width colon
// of the third as code. Pieces are separated by blanks; a line of blanks gives empty cells.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

// The cells of a line as views into it; the address as the part after its prefix, so that no
// text is made until someone asks for it.
struct LineCells {
  std::string_view name;
  bool has_link = false;  // a second piece: the address is link_prefix + link_rest
  std::string_view link_prefix;
  std::string_view link_rest;
  std::string_view code;
};

LineCells cells_of_line(std::string_view line);

// The address cell of `cells` into `out` (empty when there is no second piece).
void link_cell_into(const LineCells& cells, std::string& out);

}  // namespace quorvex
