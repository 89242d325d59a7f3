#include "window/link_list_model.h"

#include "window/gbk_qstring.h"

namespace quorvex {

LinkListModel::LinkListModel(std::shared_ptr<LinkTable> table, QObject* parent)
    : QAbstractTableModel(parent), table_(std::move(table)) {}

int LinkListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LinkListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant LinkListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  return from_gbk(table_->cell(index.row(), index.column()));
}

QVariant LinkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumnCount] = {"名称", "网盘地址", "密码", "状态", "执行"};
  return section >= 0 && section < kColumnCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

void LinkListModel::refresh() {
  const LinkTable::Changes changes = table_->take_changes();
  const int rows = table_->row_count();
  if (changes.reset || rows != rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return;
  }
  // Changed rows arrive sorted; neighbours are told about as one span.
  std::size_t i = 0;
  while (i < changes.rows.size()) {
    std::size_t j = i;
    while (j + 1 < changes.rows.size() && changes.rows[j + 1] == changes.rows[j] + 1) ++j;
    const int first = changes.rows[i];
    const int last = std::min(changes.rows[j], rows_ - 1);
    if (first <= last)
      emit dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole});
    i = j + 1;
  }
}

}  // namespace quorvex
