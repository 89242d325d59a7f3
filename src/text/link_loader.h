// Turning the source text into the list's rows: one row per non-empty CR LF line, cut at blanks
// into name, share address and extraction code.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "model/link_table.h"

namespace quorvex {

// The row of one line, as cells_of_line cuts it: first piece as name; the address the second
// piece gives (share_link_parts); the rest after the last full-width colon of the third as code.
LinkRow link_row_from_line(std::string_view line);

// Rows of every non-empty line, in line order. A line of blanks only gives a row with empty cells,
// so that row numbers stay line numbers. Returns early (with what it has) once `cancelled` says so.
std::vector<LinkRow> build_link_rows(std::string_view source_text,
                                     const std::function<bool()>& cancelled = {});

}  // namespace quorvex
