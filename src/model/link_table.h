// The list's rows, shared by the loader, the check run and both front ends. Every row has five
// GBK text cells; a missing row or column reads as the empty text. Safe to use from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/verdict.h"

namespace quorvex {

// The list's columns: 名称, 网盘地址, 密码, 状态, 执行.
enum Column : int {
  kColumnName = 0,
  kColumnLink = 1,
  kColumnCode = 2,
  kColumnStatus = 3,
  kColumnDone = 4,
};
inline constexpr int kColumnCount = 5;

// One row kept as a single buffer with cell boundaries: a million rows then cost one allocation
// each instead of five.
class LinkRow {
 public:
  LinkRow() = default;
  LinkRow(std::string_view name, std::string_view link, std::string_view code);
  std::string_view cell(int column) const;
  void set_cell(int column, std::string_view text);

  // The verdict behind the status cell and its reason; none until a probe has decided.
  RowVerdict verdict() const { return verdict_; }
  // Sets the verdict and the status cell; none also empties the done cell.
  void set_verdict(RowVerdict verdict);

 private:
  std::string data_;
  std::array<std::uint32_t, kColumnCount> end_{};
  RowVerdict verdict_;
};

class LinkTable {
 public:
  // Removes every row; starts a new generation.
  void clear();
  // Replaces all rows at once; starts a new generation, which it returns. Readers see the old rows
  // or the new ones, never a mix.
  std::uint64_t replace_rows(std::vector<LinkRow> rows);
  void append_row(LinkRow row = {});

  int row_count() const;
  std::string cell(int row, int column) const;
  // The byte order of two rows' cells in a column (<0, 0, >0), without copying them.
  int compare_cells(int a, int b, int column) const;
  // Writes a cell of an existing row; false when the row or column does not exist.
  bool set_cell(int row, int column, std::string_view text);
  // As set_cell, but only while the table still holds the rows of `generation`.
  bool set_cell_if(std::uint64_t generation, int row, int column, std::string_view text);
  // Sets a row's verdict and its status cell together, while the table holds `generation`;
  // Verdict::none empties the status and done cells.
  bool set_verdict_if(std::uint64_t generation, int row, RowVerdict verdict);
  RowVerdict verdict(int row) const;

  // Counts clear/replace operations, so that writers of an older list can be told apart.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

  // For views: the rows whose cells changed since the last call (each row once, ascending), and
  // whether the whole table was replaced meanwhile.
  struct Changes {
    bool reset = false;
    std::vector<int> rows;
  };
  Changes take_changes();

  // Calls fn(row_index, row) for each row under one read lock.
  template <class Fn>
  void for_each_row(Fn&& fn) const {
    std::shared_lock lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i) fn(static_cast<int>(i), rows_[i]);
  }

 private:
  bool set_cell_locked(int row, int column, std::string_view text);

  mutable std::shared_mutex mutex_;
  std::vector<LinkRow> rows_;
  std::atomic<std::uint64_t> generation_{0};
  std::mutex changes_mutex_;
  bool reset_pending_ = false;
  std::vector<int> changed_rows_;
};

}  // namespace quorvex
