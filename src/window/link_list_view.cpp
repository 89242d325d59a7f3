#include "window/link_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

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

}  // namespace

LinkListView::LinkListView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  // A cut link keeps its end, where the share ID is.
  setTextElideMode(Qt::ElideMiddle);
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

void LinkListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit left_double_clicked();
}

}  // namespace quorvex
