// The rows of each share, chained in list order, so that a share that several rows hold is
// fetched once, through its first row, and every row of it gets that verdict.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/link_table.h"
#include "model/share_services.h"

namespace quorvex {

struct ShareChains {
  int total = 0;
  // Only rows of shares that more than one row holds are kept, so a list of rows that are all
  // different costs nothing here.
  std::unordered_map<int, int> first_rows;
  std::unordered_map<int, int> next_rows;
  std::vector<int> without_share;  // the rows that hold no share address
  // Each row's service (a ShareService); empty while every row is Baidu's or holds no share.
  std::vector<std::uint8_t> services;
  // Which services the rows hold shares of.
  std::array<bool, kServiceCount> present{};

  ShareService service_of(int row) const {
    return static_cast<std::size_t>(row) < services.size()
               ? static_cast<ShareService>(services[static_cast<std::size_t>(row)])
               : ShareService::baidu;
  }

  // The first row of the row's share (the row itself when it is the first or holds no share).
  int first_of(int row) const {
    const auto it = first_rows.find(row);
    return it == first_rows.end() ? row : it->second;
  }
  // The next row of the same share, or -1.
  int next_of(int row) const {
    if (next_rows.empty()) return -1;
    const auto it = next_rows.find(row);
    return it == next_rows.end() ? -1 : it->second;
  }
};

// Rows with a share address are found in one pass under the table's read lock, keeping only
// their identity's hash; a table of hashes then finds each share's last row so far, whose
// identity is made again only when the hashes agree.
ShareChains chain_shares(const LinkTable& table);

}  // namespace quorvex
