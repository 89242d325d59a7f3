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

namespace quorvex::test {

// The line a row with these cells loads from (GBK): the name, the address and the code after a
// full-width colon, as pieces (a code needs an address before it).
inline std::string row_line(const std::string& name, const std::string& link = {},
                            const std::string& code = {}) {
  std::string line = name;
  if (!link.empty()) line += " " + link;
  if (!code.empty()) line += " \xC2\xEB\xA3\xBA" + code;  // 码：
  return line + "\r\n";
}

}  // namespace quorvex::test
