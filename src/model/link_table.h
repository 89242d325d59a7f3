// The list's rows, shared by the loader, the check run and both front ends. Every row has five
// GBK text cells; a missing row or column reads as the empty text. Safe to use from any thread.
//
// The list keeps its rows as the lines of the source text they come from: the text is shared, not
// copied, each row costs where its line starts (about a byte and a quarter) and its verdict (a
// byte and a bit), and cells are cut from the line when asked for. So a file of a million short
// lines costs a few times its size, not dozens. The name, address and code cells are the line's;
// the status cell follows the verdict; the done cell is a mark.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/line_starts.h"
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

// The cells a line gives a row, as texts of its own: one buffer with cell boundaries, so that a
// million of them cost one allocation each instead of three. The status and done cells of such a
// row are empty.
class LinkRow {
 public:
  LinkRow() = default;
  LinkRow(std::string_view name, std::string_view link, std::string_view code);
  std::string_view cell(int column) const;

 private:
  std::string data_;
  std::array<std::uint32_t, 3> end_{};
};

// A row as a visit of the table sees it; its cells are valid until the visit moves on.
class RowView {
 public:
  RowView() = default;
  RowView(const RowView&) = delete;
  RowView& operator=(const RowView&) = delete;

  std::string_view cell(int column) const;
  RowVerdict verdict() const { return verdict_; }
  // The row's share address (share_url_of_row of its link and name cells) into `out`, without
  // making the link cell first.
  void share_url_into(std::string& out) const;

 private:
  friend class LinkTable;
  std::array<std::string_view, kColumnCount> cells_{};
  // A row of a text has its address cell made only when asked for.
  bool lazy_link_ = false;
  bool has_link_ = false;
  std::string_view link_prefix_;
  std::string_view link_rest_;
  mutable bool link_made_ = false;
  mutable std::string link_;
  RowVerdict verdict_;
};

class LinkTable {
 public:
  // Removes every row; starts a new generation.
  void clear();
  // Replaces all rows at once by the rows of `text` that start at `lines` (see index_lines);
  // starts a new generation, which it returns. Readers see the old rows or the new ones, never a
  // mix. The text is kept as it is, shared with whoever else holds it.
  std::uint64_t replace_lines(std::shared_ptr<const std::string> text, LineStarts lines);
  // The same with every row of `text`.
  std::uint64_t replace_text(std::string text);
  // Keeps the rows whose entry in `drop` is 0 (rows past its end too), with their verdicts, as a
  // new generation, which it returns.
  std::uint64_t keep_rows(const std::vector<char>& drop);

  int row_count() const;
  std::string cell(int row, int column) const;
  // The byte order of two rows' cells in a column (<0, 0, >0), without copying them.
  int compare_cells(int a, int b, int column) const;
  // Sorts row numbers by their cells in a column, in byte order (reversed when `descending`),
  // rows with equal cells keeping their order; under one read lock, each row's line read once.
  void sort_rows(std::vector<int>& rows, int column, bool descending) const;
  // Sets or clears a row's done mark (the done cell: the mark or empty), while the table holds
  // `generation`; false for another row, cell or text.
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

  // Calls fn(row_index, verdict) for each row, under one read lock, without looking at its cells.
  template <class Fn>
  void for_each_verdict(Fn&& fn) const {
    std::shared_lock lock(mutex_);
    for (std::size_t i = 0; i < states_.size(); ++i)
      fn(static_cast<int>(i), states_[i] == 0 ? RowVerdict{} : verdict_locked(static_cast<int>(i)));
  }
  // Fills `view` with one row (an empty one past the end), under the read lock.
  void view_row(int row, RowView& view) const {
    std::shared_lock lock(mutex_);
    view_row_locked(row, view);
  }

  // Calls fn(row_index, row) with a RowView of each row, under one read lock.
  template <class Fn>
  void for_each_row(Fn&& fn) const {
    std::shared_lock lock(mutex_);
    RowView view;
    const int n = row_count_locked();
    for (int i = 0; i < n; ++i) {
      view_row_locked(i, view);
      fn(i, static_cast<const RowView&>(view));
    }
  }

 private:
  int row_count_locked() const;
  void view_row_locked(int row, RowView& view) const;
  RowVerdict verdict_locked(int row) const;
  // Tells the views that the row changed.
  void changed(int row);
  std::uint64_t new_generation();

  mutable std::shared_mutex mutex_;
  // The text, its lines, each row's verdict packed in a byte and its done mark in a bit.
  std::shared_ptr<const std::string> text_ = std::make_shared<const std::string>();
  LineStarts lines_;
  std::vector<std::uint8_t> states_;
  std::vector<std::uint64_t> done_;
  bool done_locked(int row) const {
    return (done_[static_cast<std::size_t>(row) / 64] >> (row % 64)) & 1u;
  }
  void set_done_locked(int row, bool done) {
    std::uint64_t& word = done_[static_cast<std::size_t>(row) / 64];
    const std::uint64_t bit = std::uint64_t{1} << (row % 64);
    word = done ? word | bit : word & ~bit;
  }

  std::atomic<std::uint64_t> generation_{0};
  std::mutex changes_mutex_;
  bool reset_pending_ = false;
  std::vector<int> changed_rows_;
};

}  // namespace quorvex
