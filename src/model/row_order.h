// An order in which to show the list's rows: sorted by a column, narrowed to one verdict, or
// both. The rows themselves never move; the order maps shown positions to row numbers and back,
// so whatever writes a row by its number (a probe, a load) is untouched by it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model/link_table.h"
#include "model/share_services.h"

namespace quorvex {

// The rows shown: all, those of one verdict, or (from service_first on, a ShareService each)
// the shares of one service.
enum class VerdictFilter : std::uint8_t {
  all,
  valid,
  invalid,
  unknown,
  unchecked,
  service_first = 16,
};
VerdictFilter service_filter(ShareService service);
// The service a filter keeps; nullopt for a filter by verdict.
std::optional<ShareService> filtered_service(VerdictFilter filter);

// Whether a row with this verdict is shown under the filter (a filter by service: any verdict).
bool passes(VerdictFilter filter, Verdict verdict);

struct RowOrder {
  std::uint64_t generation = 0;  // the table's rows it was made from
  int rows = 0;                  // how many rows the table had
  std::vector<int> order;        // shown position -> row number
  std::vector<int> position;     // row number -> shown position, -1 when filtered out
};

// The order of the table's rows sorted by `column` (list order when negative; the status column
// by verdict: valid, invalid, unknown, none), rows of equal keys in list order, and keeping only
// the rows `filter` passes (under a filter by service, the rows whose share address is that
// service's). Safe while others write the table; a result whose generation no
// longer matches the table's is stale.
RowOrder build_row_order(const LinkTable& table, int column, bool descending, VerdictFilter filter);

}  // namespace quorvex
