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

// Lines.

void LineStarts::reserve(std::size_t rows) {
  steps_.reserve(rows);
  checkpoints_.reserve((rows + kStride - 1) / kStride);
}

void LineStarts::push_back(std::uint32_t start) {
  const std::size_t row = steps_.size();
  if (row % kStride == 0) {
    checkpoints_.push_back(start);
    steps_.push_back(0);
  } else if (start - last_ < kFar) {
    steps_.push_back(static_cast<std::uint8_t>(start - last_));
  } else {
    steps_.push_back(kFar);
    far_.emplace_back(static_cast<std::uint32_t>(row), start);
  }
  last_ = start;
}

std::uint32_t LineStarts::operator[](std::size_t row) const {
  const std::size_t base = row - row % kStride;
  std::uint32_t at = checkpoints_[base / kStride];
  for (std::size_t r = base + 1; r <= row; ++r) {
    const std::uint8_t step = steps_[r];
    if (step != kFar) {
      at += step;
      continue;
    }
    const auto far = std::lower_bound(far_.begin(), far_.end(), static_cast<std::uint32_t>(r),
                                      [](const std::pair<std::uint32_t, std::uint32_t>& e,
                                         std::uint32_t k) { return e.first < k; });
    at = far->second;
  }
  return at;
}

void LineStarts::shrink_to_fit() {
  checkpoints_.shrink_to_fit();
  steps_.shrink_to_fit();
  far_.shrink_to_fit();
}

LineStarts index_lines(std::string_view text, const std::function<bool()>& cancelled) {
  LineStarts lines;
  if (text.size() >= std::size_t{UINT32_MAX}) return lines;
  // Made at its final size (at most one row a line feed, and the last line): growing it would
  // hold it twice for a moment.
  const auto feeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  lines.reserve(feeds + 1);
  std::size_t since_check = 0;
  bool stopped = false;
  for_each_nonempty_piece(text, "\r\n", [&](std::string_view line) {
    if (stopped) return;
    if (cancelled && ++since_check >= 65536) {
      since_check = 0;
      if (cancelled()) {
        stopped = true;
        return;
      }
    }
    lines.push_back(static_cast<std::uint32_t>(line.data() - text.data()));
  });
  if (stopped) lines.shrink_to_fit();
  return lines;
}

std::string_view line_at(std::string_view text, std::size_t start) {
  // The same walk the rows were cut by, from a character start: a CR LF inside a double-byte
  // character is no line end.
  const std::size_t n = text.size();
  std::size_t i = start;
  while (i < n) {
    if (i + 8 <= n && ascii_run8(text.data() + i, static_cast<unsigned char>('\r')) == 8) {
      i += 8;
      continue;
    }
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') break;
    i += char_width(static_cast<unsigned char>(text[i]));
  }
  return text.substr(start, std::min(i, n) - start);
}

// Rows.

std::string_view RowView::cell(int column) const {
  if (column < 0 || column >= kColumnCount) return {};
  if (column == kColumnLink && lazy_link_ && !link_made_) {
    link_.clear();
    if (has_link_) link_.append(share_link_prefix).append(link_rest_);
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
  out.assign(share_link_prefix);
  if (has_link_) {
    out.append(link_rest_);
  } else {
    out.append(share_link_rest(cells_[kColumnName]));
  }
}

namespace {

// A verdict in a byte: verdict, reason, cached.
static_assert(static_cast<unsigned>(Reason::too_large) < 32, "a reason takes five bits");

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

void LinkTable::clear() { replace_rows({}); }

std::uint64_t LinkTable::replace_rows(std::vector<LinkRow> rows) {
  std::vector<LinkRow> old;
  std::shared_ptr<const std::string> old_text;
  LineStarts old_lines;
  std::vector<std::uint8_t> old_states;
  std::vector<std::uint64_t> old_done;
  std::uint64_t generation;
  {
    std::unique_lock lock(mutex_);
    old.swap(rows_);
    rows_ = std::move(rows);
    old_text.swap(text_);
    std::swap(old_lines, lines_);
    old_states.swap(states_);
    old_done.swap(done_);
    edited_.clear();
    generation = new_generation();
  }
  // The old rows are freed here, outside the lock, so readers are not held up by a large release.
  return generation;
}

std::uint64_t LinkTable::replace_lines(std::shared_ptr<const std::string> text, LineStarts lines) {
  std::vector<LinkRow> old;
  std::shared_ptr<const std::string> old_text;
  std::vector<std::uint8_t> old_states;
  std::vector<std::uint64_t> old_done;
  std::uint64_t generation;
  {
    std::vector<std::uint8_t> states(lines.size(), 0);
    std::vector<std::uint64_t> done((lines.size() + 63) / 64, 0);
    std::unique_lock lock(mutex_);
    old.swap(rows_);
    old_text = std::move(text_);
    text_ = text ? std::move(text) : std::make_shared<const std::string>();
    lines_ = std::move(lines);
    old_states.swap(states_);
    states_ = std::move(states);
    old_done.swap(done_);
    done_ = std::move(done);
    edited_.clear();
    generation = new_generation();
  }
  return generation;
}

std::uint64_t LinkTable::keep_rows(const std::vector<char>& drop) {
  auto dropped = [&](int r) {
    return static_cast<std::size_t>(r) < drop.size() && drop[static_cast<std::size_t>(r)];
  };
  std::uint64_t generation;
  std::unique_lock lock(mutex_);
  if (!text_) {
    std::vector<LinkRow> kept;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
      if (!dropped(r)) kept.push_back(std::move(rows_[static_cast<std::size_t>(r)]));
    rows_ = std::move(kept);
  } else {
    LineStarts lines;
    std::vector<std::uint8_t> states;
    std::vector<bool> done;
    std::map<int, LinkRow> edited;
    const int n = static_cast<int>(lines_.size());
    for (int r = 0; r < n; ++r) {
      if (dropped(r)) continue;
      const auto e = edited_.find(r);
      if (e != edited_.end()) edited.emplace(static_cast<int>(states.size()), std::move(e->second));
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
    edited_ = std::move(edited);
  }
  generation = new_generation();
  return generation;
}

void LinkTable::append_row(LinkRow row) {
  int index;
  {
    std::unique_lock lock(mutex_);
    if (text_) {
      // Rows given one by one do not fit a text's lines: the list becomes rows given one by one.
      std::vector<LinkRow> rows;
      const int n = static_cast<int>(lines_.size());
      rows.reserve(static_cast<std::size_t>(n) + 1);
      for (int r = 0; r < n; ++r) rows.push_back(line_row_locked(r));
      rows_ = std::move(rows);
      text_.reset();
      lines_ = LineStarts();
      states_.clear();
      done_.clear();
      edited_.clear();
    }
    rows_.push_back(std::move(row));
    index = static_cast<int>(rows_.size()) - 1;
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(index);
}

int LinkTable::row_count_locked() const {
  return static_cast<int>(text_ ? lines_.size() : rows_.size());
}

int LinkTable::row_count() const {
  std::shared_lock lock(mutex_);
  return row_count_locked();
}

void LinkTable::view_row_locked(int row, RowView& view) const {
  view.cells_ = {};
  view.verdict_ = {};
  view.lazy_link_ = false;
  if (row < 0 || row >= row_count_locked()) return;
  const LinkRow* whole = nullptr;
  if (!text_) {
    whole = &rows_[static_cast<std::size_t>(row)];
  } else if (!edited_.empty()) {
    const auto e = edited_.find(row);
    if (e != edited_.end()) whole = &e->second;
  }
  if (whole) {
    for (int c = 0; c < kColumnCount; ++c)
      view.cells_[static_cast<std::size_t>(c)] = whole->cell(c);
    view.verdict_ = whole->verdict();
    return;
  }
  const std::uint8_t state = states_[static_cast<std::size_t>(row)];
  const LineCells cells = cells_of_line(line_at(*text_, lines_[static_cast<std::size_t>(row)]));
  view.verdict_ = unpack(state);
  view.lazy_link_ = true;
  view.has_link_ = cells.has_link;
  view.link_rest_ = cells.link_rest;
  view.link_made_ = false;
  view.cells_[kColumnName] = cells.name;
  view.cells_[kColumnCode] = cells.code;
  view.cells_[kColumnStatus] = status_glyph(view.verdict_.verdict);
  view.cells_[kColumnDone] = done_locked(row) ? gbk::kDoneMark : std::string_view();
}

LinkRow LinkTable::line_row_locked(int row) const {
  RowView view;
  view_row_locked(row, view);
  LinkRow whole(view.cell(kColumnName), view.cell(kColumnLink), view.cell(kColumnCode));
  whole.set_verdict(view.verdict());
  whole.set_cell(kColumnStatus, view.cell(kColumnStatus));
  whole.set_cell(kColumnDone, view.cell(kColumnDone));
  return whole;
}

std::string LinkTable::cell(int row, int column) const {
  std::shared_lock lock(mutex_);
  if (!text_) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return {};
    return std::string(rows_[static_cast<std::size_t>(row)].cell(column));
  }
  RowView view;
  view_row_locked(row, view);
  return std::string(view.cell(column));
}

int LinkTable::compare_cells(int a, int b, int column) const {
  std::shared_lock lock(mutex_);
  if (!text_) {
    auto cell_of = [&](int row) {
      return row < 0 || static_cast<std::size_t>(row) >= rows_.size()
                 ? std::string_view()
                 : rows_[static_cast<std::size_t>(row)].cell(column);
    };
    return cell_of(a).compare(cell_of(b));
  }
  // One view each, kept by the sorting thread, so that comparing makes no text of its own.
  thread_local RowView first, second;
  view_row_locked(a, first);
  view_row_locked(b, second);
  return first.cell(column).compare(second.cell(column));
}

void LinkTable::sort_rows(std::vector<int>& rows, int column, bool descending) const {
  std::shared_lock lock(mutex_);
  const std::size_t n = rows.size();
  // Each row's cell once, as a view where it lies. An address of a row of a text is its prefix
  // and the rest of its line: compared as "has one" and that rest, unless cells were written
  // one by one, when it is made whole.
  const bool link = column == kColumnLink && text_;
  const bool in_parts = link && edited_.empty();
  std::vector<std::string_view> keys(n);
  std::vector<char> has(in_parts ? n : 0);
  std::vector<std::string> whole(link && !in_parts ? n : 0);
  RowView view;
  for (std::size_t i = 0; i < n; ++i) {
    view_row_locked(rows[i], view);
    if (in_parts) {
      keys[i] = view.link_rest_;
      has[i] = view.has_link_ ? 1 : 0;
    } else if (link) {
      whole[i] = std::string(view.cell(kColumnLink));
      keys[i] = whole[i];
    } else {
      keys[i] = view.cell(column);
    }
  }
  std::vector<int> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
  auto compare = [&](int a, int b) {
    const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
    if (in_parts && has[ia] != has[ib]) return has[ia] < has[ib] ? -1 : 1;
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

bool LinkTable::set_cell_locked(int row, int column, std::string_view text) {
  if (row < 0 || row >= row_count_locked()) return false;
  if (column < 0 || column >= kColumnCount) return false;
  if (!text_) {
    rows_[static_cast<std::size_t>(row)].set_cell(column, text);
    return true;
  }
  auto e = edited_.find(row);
  if (e == edited_.end() && column == kColumnDone && (text.empty() || text == gbk::kDoneMark)) {
    set_done_locked(row, !text.empty());
    return true;
  }
  if (e == edited_.end()) e = edited_.emplace(row, line_row_locked(row)).first;
  e->second.set_cell(column, text);
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

bool LinkTable::set_verdict_locked(int row, RowVerdict verdict) {
  if (row < 0 || row >= row_count_locked()) return false;
  if (!text_) {
    rows_[static_cast<std::size_t>(row)].set_verdict(verdict);
    return true;
  }
  states_[static_cast<std::size_t>(row)] = pack(verdict);
  if (verdict.verdict == Verdict::none) set_done_locked(row, false);
  if (const auto e = edited_.find(row); e != edited_.end()) e->second.set_verdict(verdict);
  return true;
}

bool LinkTable::set_verdict_if(std::uint64_t generation, int row, RowVerdict verdict) {
  {
    std::unique_lock lock(mutex_);
    if (generation_.load(std::memory_order_acquire) != generation) return false;
    if (!set_verdict_locked(row, verdict)) return false;
  }
  std::lock_guard lock(changes_mutex_);
  changed_rows_.push_back(row);
  return true;
}

RowVerdict LinkTable::verdict_locked(int row) const {
  if (row < 0 || row >= row_count_locked()) return {};
  if (!text_) return rows_[static_cast<std::size_t>(row)].verdict();
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
