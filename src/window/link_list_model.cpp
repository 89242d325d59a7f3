#include "window/link_list_model.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <optional>

#include "app/layout.h"
#include "app/messages.h"
#include "app/row_cells.h"
#include "window/gbk_qstring.h"

namespace quorvex {

namespace {

// A new order at most this often while verdicts arrive: rows that jump every few milliseconds
// could not be read, let alone clicked.
constexpr int kReorderPauseMs = 1000;

}  // namespace

LinkListModel::LinkListModel(std::shared_ptr<LinkTable> table, QObject* parent)
    : QAbstractTableModel(parent), table_(std::move(table)) {
  order_timer_.setSingleShot(true);
  connect(&order_timer_, &QTimer::timeout, this, [this] {
    if (pending_) request_order(false);
  });
}

LinkListModel::~LinkListModel() {
  if (job_) job_->waitForFinished();
}

int LinkListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LinkListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kShownColumnCount;
}

namespace {

QColor qcolor(Rgb c) { return QColor(c.r, c.g, c.b); }

}  // namespace

QVariant LinkListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = table_row(index.row());
  if (row < 0) return {};
  const bool reason = index.column() == kReasonColumn;
  const bool status = index.column() == kColumnStatus || reason;
  switch (role) {
    case Qt::DisplayRole:
      if (reason)
        return QString::fromStdString(reason_text(table_->verdict(row), row_service(*table_, row)));
      return from_gbk(table_->cell(row, index.column()));
    case Qt::ToolTipRole:
      if (status) {
        const std::string tip = status_tip(table_->verdict(row), row_service(*table_, row),
                                           last_checked_ ? last_checked_(row) : std::string());
        return tip.empty() ? QVariant() : QString::fromStdString(tip);
      }
      return from_gbk(table_->cell(row, index.column()));
    case Qt::ForegroundRole:
      if (status)
        if (const auto colour = verdict_colour(table_->verdict(row), dark_background_))
          return qcolor(*colour);
      return {};
    case Qt::FontRole:
      if (index.column() == kColumnStatus && table_->verdict(row).verdict != Verdict::none) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kColumnStatus) return static_cast<int>(Qt::AlignCenter);
      return {};
    default:
      return {};
  }
}

void LinkListModel::set_dark_background(bool dark) {
  if (dark == dark_background_) return;
  dark_background_ = dark;
  if (rows_ > 0)
    emit dataChanged(index(0, kColumnStatus), index(rows_ - 1, kReasonColumn),
                     {Qt::ForegroundRole});
}

QVariant LinkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section >= 0 && section < kShownColumnCount
             ? QString::fromUtf8(msg::kColumnHeaders[section])
             : QVariant();
}

void LinkListModel::refresh() {
  const LinkTable::Changes changes = table_->take_changes();
  const int rows = table_->row_count();
  if (changes.reset || rows != order_.rows || (!ordered() && rows != rows_)) {
    // A new list: its order is made afresh. Under a filter nothing is shown until then, so rows
    // the filter hides never flash up.
    beginResetModel();
    order_ = RowOrder{};
    order_.rows = rows;
    order_.generation = table_->generation();
    use_order_ = false;
    rows_ = filter_ != VerdictFilter::all ? 0 : rows;
    endResetModel();
    if (ordered()) request_order(true);
    return;
  }
  if (changes.rows.empty()) return;
  std::vector<int> shown;
  shown.reserve(changes.rows.size());
  for (const int r : changes.rows) {
    const int v = view_row(r);
    if (v >= 0) shown.push_back(v);
  }
  emit_changed_rows(std::move(shown));
  // A verdict moves rows only when the order depends on verdicts.
  if (filter_ != VerdictFilter::all || sort_column_ == kColumnStatus || sort_column_ == kColumnDone)
    request_order(false);
}

void LinkListModel::emit_changed_rows(std::vector<int> view_rows) {
  std::sort(view_rows.begin(), view_rows.end());
  // Neighbours are told about as one span.
  std::size_t i = 0;
  while (i < view_rows.size()) {
    std::size_t j = i;
    while (j + 1 < view_rows.size() && view_rows[j + 1] <= view_rows[j] + 1) ++j;
    const int first = view_rows[i];
    const int last = std::min(view_rows[j], rows_ - 1);
    if (first <= last)
      emit dataChanged(index(first, 0), index(last, kShownColumnCount - 1), {Qt::DisplayRole});
    i = j + 1;
  }
}

int LinkListModel::table_row(int view_row) const {
  if (view_row < 0 || view_row >= rows_) return -1;
  return use_order_ ? order_.order[static_cast<std::size_t>(view_row)] : view_row;
}

int LinkListModel::view_row(int table_row) const {
  if (!use_order_) return table_row >= 0 && table_row < rows_ ? table_row : -1;
  if (table_row < 0 || static_cast<std::size_t>(table_row) >= order_.position.size()) return -1;
  return order_.position[static_cast<std::size_t>(table_row)];
}

std::size_t LinkListModel::order_bytes() const {
  return (order_.order.capacity() + order_.position.capacity()) * sizeof(int);
}

void LinkListModel::sort(int column, Qt::SortOrder order) {
  // The reason column sorts as the status column does: by verdict.
  if (column == kReasonColumn) column = kColumnStatus;
  sort_column_ = column >= 0 && column < kColumnCount ? column : -1;
  descending_ = order == Qt::DescendingOrder;
  reorder();
}

void LinkListModel::set_filter(VerdictFilter filter) {
  if (filter == filter_) return;
  filter_ = filter;
  reorder();
}

void LinkListModel::reorder() {
  if (ordered()) return request_order(true);
  // Back to list order: made here, as it needs nothing but the row count.
  RowOrder identity;
  identity.generation = table_->generation();
  identity.rows = table_->row_count();
  apply_order(std::move(identity));
}

void LinkListModel::request_order(bool now) {
  if (job_) {
    pending_ = true;
    return;
  }
  if (!now && since_order_.isValid() && since_order_.elapsed() < kReorderPauseMs) {
    pending_ = true;
    if (!order_timer_.isActive())
      order_timer_.start(kReorderPauseMs - static_cast<int>(since_order_.elapsed()));
    return;
  }
  start_order_job();
}

void LinkListModel::start_order_job() {
  pending_ = false;
  order_timer_.stop();
  since_order_.restart();
  job_ = new QFutureWatcher<RowOrder>(this);
  const int column = sort_column_;
  const bool descending = descending_;
  const VerdictFilter filter = filter_;
  connect(job_, &QFutureWatcher<RowOrder>::finished, this, [this, column, descending, filter] {
    QFutureWatcher<RowOrder>* watcher = job_;
    job_ = nullptr;
    RowOrder made = watcher->result();
    watcher->deleteLater();
    // An order made for settings changed meanwhile is of no use; the change has asked again.
    const bool current = column == sort_column_ && descending == descending_ && filter == filter_;
    if (current && ordered()) apply_order(std::move(made));
    if (pending_) request_order(false);
  });
  job_->setFuture(QtConcurrent::run([table = table_, column, descending, filter] {
    return build_row_order(*table, column, descending, filter);
  }));
}

void LinkListModel::apply_order(RowOrder made) {
  if (made.generation != table_->generation() || made.rows != table_->row_count()) {
    // Made from rows that have been replaced since: the refresh that tells of the new rows asks
    // for another.
    return;
  }
  const bool identity = made.order.empty() && made.position.empty() && !ordered();
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // Selected and current rows follow their list rows to their new places.
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& i : from) {
    const int t = table_row(i.row());
    int v = -1;
    if (t >= 0) {
      if (identity)
        v = t < made.rows ? t : -1;
      else if (static_cast<std::size_t>(t) < made.position.size())
        v = made.position[static_cast<std::size_t>(t)];
    }
    to << (v >= 0 ? createIndex(v, i.column()) : QModelIndex());
  }
  order_ = std::move(made);
  use_order_ = !identity;
  rows_ = identity ? order_.rows : static_cast<int>(order_.order.size());
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  emit order_applied();
}

void LinkListModel::wait_for_order() {
  while (ordering()) {
    if (!job_ && pending_) start_order_job();
    if (job_) job_->waitForFinished();
    QCoreApplication::processEvents();
  }
}

}  // namespace quorvex
