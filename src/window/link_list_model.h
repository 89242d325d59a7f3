// Shows the core's link table in the list view. Workers change the table freely; the model looks
// for changes on a timer and tells the view in batches (a reset after a load, spans of changed
// rows after verdicts), never once per cell. The status cell is coloured by its verdict and says
// the reason in its tooltip.
//
// Sorting and the verdict filter are an order kept beside the table (see model/row_order.h),
// made off the window's thread and swapped in whole; the view's rows are shown positions, and
// table_row() says which list row each one is.
#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QTimer>
#include <functional>
#include <memory>

#include "model/link_table.h"
#include "model/row_order.h"

namespace quorvex {

// The table's five columns and the reason of each row's verdict.
inline constexpr int kShownColumnCount = 6;

class LinkListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit LinkListModel(std::shared_ptr<LinkTable> table, QObject* parent = nullptr);
  ~LinkListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // A negative column shows the rows in list order again.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // Brings the view up to date with the table; called on the window's refresh tick.
  void refresh();

  void set_filter(VerdictFilter filter);
  VerdictFilter filter() const { return filter_; }
  int sort_column() const { return sort_column_; }

  // The list row shown at view row `view_row` (-1 outside), and the view row of a list row (-1
  // when the filter hides it).
  int table_row(int view_row) const;
  int view_row(int table_row) const;
  // Whether an order is being made; waits until none is (for tests and measurements).
  bool ordering() const { return job_ != nullptr || pending_; }
  void wait_for_order();
  // Bytes the order keeps beside the table.
  std::size_t order_bytes() const;

  // The verdict colours follow the list's background, so they stay readable in every theme.
  void set_dark_background(bool dark);
  // When a row's share was last checked, for the status tooltip ("" when not known).
  void set_last_checked(std::function<std::string(int row)> when) {
    last_checked_ = std::move(when);
  }

 signals:
  // A new order has been shown.
  void order_applied();

 private:
  bool ordered() const { return sort_column_ >= 0 || filter_ != VerdictFilter::all; }
  // Asks for a new order: made at once when none is being made and the last is old enough,
  // otherwise as soon as it may.
  void request_order(bool now);
  // Makes the order the sort and the filter now ask for.
  void reorder();
  void start_order_job();
  void apply_order(RowOrder order);
  void emit_changed_rows(std::vector<int> view_rows);

  std::shared_ptr<LinkTable> table_;
  int rows_ = 0;  // rows shown
  bool dark_background_ = false;
  std::function<std::string(int row)> last_checked_;

  int sort_column_ = -1;
  bool descending_ = false;
  VerdictFilter filter_ = VerdictFilter::all;
  // The shown order, made from the table's rows as counted in order_.rows; list order unless
  // use_order_.
  RowOrder order_;
  bool use_order_ = false;
  QFutureWatcher<RowOrder>* job_ = nullptr;
  bool pending_ = false;  // another order is wanted once the job ends or the pause is over
  QElapsedTimer since_order_;
  QTimer order_timer_;
};

}  // namespace quorvex
