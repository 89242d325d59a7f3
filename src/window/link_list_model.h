// Shows the core's link table in the list view. Workers change the table freely; the model looks
// for changes on a timer and tells the view in batches (a reset after a load, spans of changed
// rows after verdicts), never once per cell. The status cell is coloured by its verdict and says
// the reason in its tooltip.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <memory>

#include "model/link_table.h"

namespace quorvex {

class LinkListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit LinkListModel(std::shared_ptr<LinkTable> table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Brings the view up to date with the table; called on the window's refresh tick.
  void refresh();

  // The verdict colours follow the list's background, so they stay readable in every theme.
  void set_dark_background(bool dark);
  // When a row's share was last checked, for the status tooltip ("" when not known).
  void set_last_checked(std::function<QString(int row)> when) { last_checked_ = std::move(when); }

 private:
  std::shared_ptr<LinkTable> table_;
  int rows_ = 0;
  bool dark_background_ = false;
  std::function<QString(int row)> last_checked_;
};

}  // namespace quorvex
