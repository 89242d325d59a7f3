#include "model/link_table.h"

#include <algorithm>
#include <climits>

#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/link_line.h"
#include "model/share_url.h"

namespace quorvex {

LinkRow::LinkRow(std::string_view name, std::string_view link, std::string_view code) {
  data_.reserve(name.size() + link.size() + code.size());
  data_.append(name);
  end_[0] = static_cast<std::uint32_t>(data_.size());
  data_.append(link);
  end_[1] = static_cast<std::uint32_t>(data_.size());
  data_.append(code);
  end_[2] = static_cast<std::uint32_t>(data_.size());
}

std::string_view LinkRow::cell(int column) const {
  if (column < 0 || column > kColumnCode) return {};
  const std::uint32_t begin = column == 0 ? 0 : end_[static_cast<std::size_t>(column) - 1];
  return std::string_view(data_).substr(begin, end_[static_cast<std::size_t>(column)] - begin);
}

// Rows.

std::string_view RowView::cell(int column) const {
  if (column < 0 || column >= kColumnCount) return {};
  if (column == kColumnLink && lazy_link_ && !link_made_) {
    link_.clear();
    if (has_link_) link_.append(link_prefix_).append(link_rest_);
    link_made_ = true;
  }
  if (column == kColumnLink && lazy_link_) return link_;
  return cells_[static_cast<std::size_t>(column)];
}

void RowView::share_url_into(std::string& out) const {
  if (!lazy_link_) {
    share_url_of_row_into(cells_[kColumnLink], cells_[kColumnName], out);
    return;
  }
  // The address cell is the prefix and the rest its piece was rebuilt from, which rebuilds to
  // itself: it is its own share address.
  if (has_link_) {
    out.assign(link_prefix_).append(link_rest_);
  } else {
    const LinkParts parts = share_link_parts(cells_[kColumnName]);
    out.assign(parts.prefix).append(parts.rest);
  }
}

namespace {

// A verdict in a byte: verdict, reason, cached.
static_assert(static_cast<unsigned>(Reason::no_resources) < 32, "a reason takes five bits");

std::uint8_t pack(RowVerdict v) {
  return static_cast<std::uint8_t>(static_cast<unsigned>(v.verdict) |
                                   (static_cast<unsigned>(v.reason) << 2) |
                                   (v.cached ? 1u << 7 : 0u));
}

RowVerdict unpack(std::uint8_t s) {
  RowVerdict v;
  v.verdict = static_cast<Verdict>(s & 3u);
  v.reason = static_cast<Reason>((s >> 2) & 31u);
  v.cached = (s & (1u << 7)) != 0;
  return v;
}

}  // namespace

// The table.

std::uint64_t LinkTable::new_generation() {
  const std::uint64_t generation = generation_.fetch_add(1, std::memory_order_acq_rel) + 1;
  std::lock_guard lock(changes_mutex_);
  reset_pending_ = true;
  changed_rows_.clear();
  return generation;
}

void LinkTable::clear() { replace_lines(nullptr, {}); }

std::uint64_t LinkTable::replace_text(std::string text) {
  auto shared = std::make_shared<const std::string>(std::move(text));
  LineStarts lines = index_lines(*shared);
  return replace_lines(std::move(shared), std::move(lines));
}

std::uint64_t LinkTable::replace_lines(std::shared_ptr<const std::string> text, LineStarts lines) {
  std::shared_ptr<const std::string> old_text;
  std::vector<std::uint8_t> old_states;
  std::vector<std::uint64_t> old_done;
  std::uint64_t generation;
  {
    std::vector<std::uint8_t> states(lines.size(), 0);
    std::vector<std::uint64_t> done((lines.size() + 63) / 64, 0);
    std::unique_lock lock(mutex_);
    old_text = std::move(text_);
    text_ = text ? std::move(text) : std::make_shared<const std::string>();
    lines_ = std::move(lines);
    old_states.swap(states_);
    states_ = std::move(states);
    old_done.swap(done_);
    done_ = std::move(done);
    generation = new_generation();
  }
  // The old rows are freed here, outside the lock, so readers are not held up by a large release.
  return generation;
}

std::uint64_t LinkTable::keep_rows(const std::vector<char>& drop) {
  auto dropped = [&](int r) {
    return static_cast<std::size_t>(r) < drop.size() && drop[static_cast<std::size_t>(r)];
  };
  std::unique_lock lock(mutex_);
  LineStarts lines;
  std::vector<std::uint8_t> states;
  std::vector<bool> done;
  const int n = static_cast<int>(lines_.size());
  for (int r = 0; r < n; ++r) {
    if (dropped(r)) continue;
    lines.push_back(lines_[static_cast<std::size_t>(r)]);
    states.push_back(states_[static_cast<std::size_t>(r)]);
    done.push_back(done_locked(r));
  }
  lines.shrink_to_fit();
  lines_ = std::move(lines);
  states_ = std::move(states);
  done_.assign((states_.size() + 63) / 64, 0);
  for (std::size_t r = 0; r < done.size(); ++r)
    if (done[r]) set_done_locked(static_cast<int>(r), true);
  return new_generation();
}

int LinkTable::row_count_locked() const { return static_cast<int>(lines_.size()); }

int LinkTable::row_count() const {
  std::shared_lock lock(mutex_);
  return row_count_locked();
}

void LinkTable::view_row_locked(int row, RowView& view) const {
  view.cells_ = {};
  view.verdict_ = {};
  view.lazy_link_ = false;
  if (row < 0 || row >= row_count_locked()) return;
  const std::uint8_t state = states_[static_cast<std::size_t>(row)];
  const LineCells cells = cells_of_line(line_at(*text_, lines_[static_cast<std::size_t>(row)]));
  view.verdict_ = unpack(state);
  view.lazy_link_ = true;
  view.has_link_ = cells.has_link;
  view.link_prefix_ = cells.link_prefix;
  view.link_rest_ = cells.link_rest;
  view.link_made_ = false;
  view.cells_[kColumnName] = cells.name;
  view.cells_[kColumnCode] = cells.code;
  view.cells_[kColumnStatus] = status_glyph(view.verdict_.verdict);
  view.cells_[kColumnDone] = done_locked(row) ? gbk::kDoneMark : std::string_view();
}

std::string LinkTable::cell(int row, int column) const {
  std::shared_lock lock(mutex_);
  RowView view;
  view_row_locked(row, view);
  return std::string(view.cell(column));
}

int LinkTable::compare_cells(int a, int b, int column) const {
  std::shared_lock lock(mutex_);
  // One view each, kept by the sorting thread, so that comparing makes no text of its own.
  thread_local RowView first, second;
  view_row_locked(a, first);
  view_row_locked(b, second);
  return first.cell(column).compare(second.cell(column));
}

void LinkTable::sort_rows(std::vector<int>& rows, int column, bool descending) const {
  std::shared_lock lock(mutex_);
  const std::size_t n = rows.size();
  // Each row's cell once, as a view where it lies. An address is its prefix and the rest of its
  // line: compared as "has one" and that rest, or whole where the prefixes differ (a share of
  // another service beside Baidu's).
  const bool in_parts = column == kColumnLink;
  std::vector<std::string_view> keys(n);
  std::vector<std::string_view> prefixes(in_parts ? n : 0);
  std::vector<char> has(in_parts ? n : 0);
  RowView view;
  for (std::size_t i = 0; i < n; ++i) {
    view_row_locked(rows[i], view);
    if (in_parts) {
      keys[i] = view.link_rest_;
      prefixes[i] = view.link_prefix_;
      has[i] = view.has_link_ ? 1 : 0;
    } else {
      keys[i] = view.cell(column);
    }
  }
  std::vector<int> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
  auto compare = [&](int a, int b) {
    const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
    if (in_parts && has[ia] != has[ib]) return has[ia] < has[ib] ? -1 : 1;
    if (in_parts && prefixes[ia] != prefixes[ib])
      return std::string(prefixes[ia])
          .append(keys[ia])
          .compare(std::string(prefixes[ib]).append(keys[ib]));
    return keys[ia].compare(keys[ib]);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const int c = compare(a, b);
    return descending ? c > 0 : c < 0;
  });
  std::vector<int> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[i] = rows[static_cast<std::size_t>(order[i])];
  rows.swap(sorted);
}

void LinkTable::changed(int row) {
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(row);
}

bool LinkTable::set_cell_if(std::uint64_t generation, int row, int column, std::string_view text) {
  if (column != kColumnDone || !(text.empty() || text == gbk::kDoneMark)) return false;
  {
    std::unique_lock lock(mutex_);
    if (generation_.load(std::memory_order_acquire) != generation) return false;
    if (row < 0 || row >= row_count_locked()) return false;
    set_done_locked(row, !text.empty());
  }
  changed(row);
  return true;
}

bool LinkTable::set_verdict_if(std::uint64_t generation, int row, RowVerdict verdict) {
  {
    std::unique_lock lock(mutex_);
    if (generation_.load(std::memory_order_acquire) != generation) return false;
    if (row < 0 || row >= row_count_locked()) return false;
    states_[static_cast<std::size_t>(row)] = pack(verdict);
    if (verdict.verdict == Verdict::none) set_done_locked(row, false);
  }
  changed(row);
  return true;
}

RowVerdict LinkTable::verdict_locked(int row) const {
  if (row < 0 || row >= row_count_locked()) return {};
  return unpack(states_[static_cast<std::size_t>(row)]);
}

RowVerdict LinkTable::verdict(int row) const {
  std::shared_lock lock(mutex_);
  return verdict_locked(row);
}

LinkTable::Changes LinkTable::take_changes() {
  Changes out;
  std::lock_guard lock(changes_mutex_);
  out.reset = reset_pending_;
  reset_pending_ = false;
  out.rows.swap(changed_rows_);
  // A row written several times between two looks needs one refresh.
  std::sort(out.rows.begin(), out.rows.end());
  out.rows.erase(std::unique(out.rows.begin(), out.rows.end()), out.rows.end());
  return out;
}

}  // namespace quorvex
