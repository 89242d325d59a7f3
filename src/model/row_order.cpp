#include "model/row_order.h"

#include <algorithm>
#include <array>
#include <string>

#include "model/share_url.h"

namespace quorvex {

VerdictFilter service_filter(ShareService service) {
  return static_cast<VerdictFilter>(static_cast<unsigned>(VerdictFilter::service_first) +
                                    service_index(service));
}

std::optional<ShareService> filtered_service(VerdictFilter filter) {
  const auto first = static_cast<unsigned>(VerdictFilter::service_first);
  const auto value = static_cast<unsigned>(filter);
  if (value < first || value >= first + kServiceCount) return std::nullopt;
  return static_cast<ShareService>(value - first);
}

bool passes(VerdictFilter filter, Verdict verdict) {
  switch (filter) {
    case VerdictFilter::all:
    case VerdictFilter::service_first:  // and the other services: by service, not by verdict
      return true;
    case VerdictFilter::valid:
      return verdict == Verdict::valid;
    case VerdictFilter::invalid:
      return verdict == Verdict::invalid;
    case VerdictFilter::unknown:
      return verdict == Verdict::unknown;
    case VerdictFilter::unchecked:
      return verdict == Verdict::none;
  }
  return true;
}

namespace {

// Status order: √ first, then x, ?, and the rows without a verdict last.
std::uint8_t status_rank(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid:
      return 0;
    case Verdict::invalid:
      return 1;
    case Verdict::unknown:
      return 2;
    case Verdict::none:
      break;
  }
  return 3;
}

}  // namespace

RowOrder build_row_order(const LinkTable& table, int column, bool descending,
                         VerdictFilter filter) {
  RowOrder result;
  // The verdicts in one pass under one read lock: one byte a row, not a lock per row.
  std::vector<std::uint8_t> ranks;
  // Read before the rows: a list replaced in between makes the result stale, never wrong.
  result.generation = table.generation();
  if (const std::optional<ShareService> service = filtered_service(filter)) {
    // Each row's address is read once, which only a filter by service needs.
    std::string url;
    table.for_each_row([&](int, const RowView& row) {
      row.share_url_into(url);
      const bool kept = is_share_url(url) && service_of_url(url) == *service;
      ranks.push_back(kept ? status_rank(row.verdict().verdict) : std::uint8_t{0xFF});
    });
  } else {
    table.for_each_verdict([&](int, const RowVerdict& verdict) {
      const Verdict v = verdict.verdict;
      ranks.push_back(passes(filter, v) ? status_rank(v) : std::uint8_t{0xFF});
    });
  }
  result.rows = static_cast<int>(ranks.size());
  std::vector<int>& order = result.order;
  if (column == kColumnStatus) {
    // A counting sort: four keys, stable, linear.
    std::array<int, 5> start{};
    for (const std::uint8_t r : ranks)
      if (r != 0xFF) ++start[static_cast<std::size_t>((descending ? 3 - r : r) + 1)];
    for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    order.resize(static_cast<std::size_t>(start[4]));
    for (int row = 0; row < result.rows; ++row) {
      const std::uint8_t r = ranks[static_cast<std::size_t>(row)];
      if (r == 0xFF) continue;
      order[static_cast<std::size_t>(start[static_cast<std::size_t>(descending ? 3 - r : r)]++)] =
          row;
    }
  } else {
    order.reserve(ranks.size());
    for (int row = 0; row < result.rows; ++row)
      if (ranks[static_cast<std::size_t>(row)] != 0xFF) order.push_back(row);
    if (column >= 0 && column < kColumnCount) table.sort_rows(order, column, descending);
  }
  std::vector<std::uint8_t>().swap(ranks);
  result.position.assign(static_cast<std::size_t>(result.rows), -1);
  for (std::size_t i = 0; i < order.size(); ++i)
    result.position[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
  return result;
}

}  // namespace quorvex
