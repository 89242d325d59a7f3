// The five cells of a row as texts, for comparing whole rows.
#pragma once

#include <string>
#include <vector>

#include "model/link_table.h"

namespace quorvex::test {

template <class Row>  // LinkRow or RowView
std::vector<std::string> cells(const Row& row) {
  std::vector<std::string> out;
  for (int c = 0; c < kColumnCount; ++c) out.emplace_back(row.cell(c));
  return out;
}

}  // namespace quorvex::test
