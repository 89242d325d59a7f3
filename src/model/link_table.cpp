#include "model/link_table.h"

#include <algorithm>

namespace quorvex {

LinkRow::LinkRow(std::string_view name, std::string_view link, std::string_view code) {
  data_.reserve(name.size() + link.size() + code.size());
  data_.append(name);
  end_[0] = static_cast<std::uint32_t>(data_.size());
  data_.append(link);
  end_[1] = static_cast<std::uint32_t>(data_.size());
  data_.append(code);
  end_[2] = end_[3] = end_[4] = static_cast<std::uint32_t>(data_.size());
}

std::string_view LinkRow::cell(int column) const {
  if (column < 0 || column >= kColumnCount) return {};
  const std::uint32_t begin = column == 0 ? 0 : end_[column - 1];
  return std::string_view(data_).substr(begin, end_[column] - begin);
}

void LinkRow::set_cell(int column, std::string_view text) {
  if (column < 0 || column >= kColumnCount) return;
  const std::uint32_t begin = column == 0 ? 0 : end_[column - 1];
  const std::uint32_t old_len = end_[column] - begin;
  data_.replace(begin, old_len, text);
  const auto delta = static_cast<std::int64_t>(text.size()) - old_len;
  for (int c = column; c < kColumnCount; ++c)
    end_[c] = static_cast<std::uint32_t>(static_cast<std::int64_t>(end_[c]) + delta);
}

void LinkRow::set_verdict(RowVerdict verdict) {
  verdict_ = verdict;
  set_cell(kColumnStatus, status_glyph(verdict.verdict));
  if (verdict.verdict == Verdict::none) set_cell(kColumnDone, {});
}

void LinkTable::clear() { replace_rows({}); }

std::uint64_t LinkTable::replace_rows(std::vector<LinkRow> rows) {
  std::vector<LinkRow> old;
  std::uint64_t generation;
  {
    std::unique_lock lock(mutex_);
    old.swap(rows_);
    rows_ = std::move(rows);
    generation = generation_.fetch_add(1, std::memory_order_acq_rel) + 1;
  }
  {
    std::lock_guard lock(changes_mutex_);
    reset_pending_ = true;
    changed_rows_.clear();
  }
  // `old` is freed here, outside the lock, so readers are not held up by a large release.
  return generation;
}

void LinkTable::append_row(LinkRow row) {
  int index;
  {
    std::unique_lock lock(mutex_);
    rows_.push_back(std::move(row));
    index = static_cast<int>(rows_.size()) - 1;
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(index);
}

int LinkTable::row_count() const {
  std::shared_lock lock(mutex_);
  return static_cast<int>(rows_.size());
}

std::string LinkTable::cell(int row, int column) const {
  std::shared_lock lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return {};
  return std::string(rows_[row].cell(column));
}

int LinkTable::compare_cells(int a, int b, int column) const {
  std::shared_lock lock(mutex_);
  auto cell_of = [&](int row) {
    return row < 0 || static_cast<std::size_t>(row) >= rows_.size() ? std::string_view()
                                                                    : rows_[row].cell(column);
  };
  return cell_of(a).compare(cell_of(b));
}

bool LinkTable::set_cell_locked(int row, int column, std::string_view text) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return false;
  if (column < 0 || column >= kColumnCount) return false;
  rows_[row].set_cell(column, text);
  return true;
}

bool LinkTable::set_cell(int row, int column, std::string_view text) {
  {
    std::unique_lock lock(mutex_);
    if (!set_cell_locked(row, column, text)) return false;
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(row);
  return true;
}

bool LinkTable::set_cell_if(std::uint64_t generation, int row, int column, std::string_view text) {
  {
    std::unique_lock lock(mutex_);
    if (generation_.load(std::memory_order_acquire) != generation) return false;
    if (!set_cell_locked(row, column, text)) return false;
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(row);
  return true;
}

bool LinkTable::set_verdict_if(std::uint64_t generation, int row, RowVerdict verdict) {
  {
    std::unique_lock lock(mutex_);
    if (generation_.load(std::memory_order_acquire) != generation) return false;
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return false;
    rows_[row].set_verdict(verdict);
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(row);
  return true;
}

RowVerdict LinkTable::verdict(int row) const {
  std::shared_lock lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return {};
  return rows_[row].verdict();
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
