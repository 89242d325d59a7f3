#include "window/link_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

#include "model/link_table.h"

namespace quorvex {

namespace {

QStringList local_files(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return {};
    paths << url.toLocalFile();
  }
  return paths;
}

// A cut link keeps its end, where the share ID is; its tooltip shows it whole.
class ElideLeftDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideLeft;
  }
};

}  // namespace

LinkListView::LinkListView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  // A cut name keeps its start, which says what it is.
  setTextElideMode(Qt::ElideRight);
  setItemDelegateForColumn(kColumnLink, new ElideLeftDelegate(this));
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  header()->setStretchLastSection(false);
  header()->setMinimumSectionSize(0);
  header()->setSectionsMovable(false);
}

int LinkListView::first_selected_row() const {
  if (!selectionModel()) return -1;
  int first = -1;
  for (const QModelIndex& index : selectionModel()->selectedIndexes())
    if (first < 0 || index.row() < first) first = index.row();
  return first;
}

std::vector<int> LinkListView::selected_rows() const {
  std::vector<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

namespace {

// Files dropped are loaded; a dropped text (a selection from a browser or an editor) is taken in
// as it stands.
bool can_take(const QMimeData* mime) {
  return mime && (!local_files(mime).isEmpty() || mime->hasText());
}

}  // namespace

void LinkListView::dragEnterEvent(QDragEnterEvent* event) {
  if (!can_take(event->mimeData())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void LinkListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!can_take(event->mimeData())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void LinkListView::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  const QStringList paths = local_files(mime);
  if (!paths.isEmpty()) {
    event->acceptProposedAction();
    emit files_dropped(paths);
  } else if (mime && mime->hasText()) {
    event->acceptProposedAction();
    emit text_dropped(mime->text());
  } else {
    event->ignore();
  }
}

void LinkListView::set_empty_text(const QString& text) {
  if (text == empty_text_) return;
  empty_text_ = text;
  viewport()->update();
}

void LinkListView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (empty_text_.isEmpty() || (model() && model()->rowCount() > 0)) return;
  // An empty list says how to fill it, in the middle, in the grey of disabled text.
  QPainter painter(viewport());
  const QColor text = palette().color(QPalette::Text), base = palette().color(QPalette::Base);
  painter.setPen(QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                        (text.blue() + base.blue()) / 2));
  const QRect room = viewport()->rect().adjusted(24, 0, -24, 0);
  painter.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, empty_text_);
}

void LinkListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit left_double_clicked();
}

}  // namespace quorvex
