#include "window/link_list_model.h"

#include <QColor>
#include <QFont>

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

namespace {

// Green, red and amber: dark shades on light lists, light ones on dark lists.
QColor verdict_colour(Verdict verdict, bool dark_background) {
  switch (verdict) {
    case Verdict::valid:
      return dark_background ? QColor(0x7e, 0xe2, 0xa0) : QColor(0x1a, 0x7f, 0x37);
    case Verdict::invalid:
      return dark_background ? QColor(0xff, 0x8a, 0x80) : QColor(0xc6, 0x28, 0x28);
    case Verdict::unknown:
      return dark_background ? QColor(0xff, 0xc4, 0x6b) : QColor(0xa3, 0x52, 0x00);
    case Verdict::none:
      break;
  }
  return {};
}

}  // namespace

QVariant LinkListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const bool status = index.column() == kColumnStatus;
  switch (role) {
    case Qt::DisplayRole:
      return from_gbk(table_->cell(index.row(), index.column()));
    case Qt::ToolTipRole:
      if (status) {
        const RowVerdict verdict = table_->verdict(index.row());
        if (verdict.reason == Reason::none) return {};
        QString tip =
            QString::fromUtf8(reason_label(verdict.reason).data(),
                              static_cast<qsizetype>(reason_label(verdict.reason).size()));
        if (verdict.cached) tip += QString::fromUtf8("（来自已存结果）");
        if (last_checked_) {
          const QString when = last_checked_(index.row());
          if (!when.isEmpty()) tip += QString::fromUtf8("\n上次检测：") + when;
        }
        return tip;
      }
      return from_gbk(table_->cell(index.row(), index.column()));
    case Qt::ForegroundRole:
      if (status) {
        const RowVerdict verdict = table_->verdict(index.row());
        QColor colour = verdict_colour(verdict.verdict, dark_background_);
        // A verdict from the store is drawn paler (darker on dark lists): known, not fetched now.
        if (colour.isValid() && verdict.cached)
          colour = dark_background_ ? colour.darker(140) : colour.lighter(160);
        if (colour.isValid()) return colour;
      }
      return {};
    case Qt::FontRole:
      if (status && table_->verdict(index.row()).verdict != Verdict::none) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (status) return static_cast<int>(Qt::AlignCenter);
      return {};
    default:
      return {};
  }
}

void LinkListModel::set_dark_background(bool dark) {
  if (dark == dark_background_) return;
  dark_background_ = dark;
  if (rows_ > 0)
    emit dataChanged(index(0, kColumnStatus), index(rows_ - 1, kColumnStatus),
                     {Qt::ForegroundRole});
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
