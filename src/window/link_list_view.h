// The main list: a report view that takes files and texts dropped on it and reports left-button
// double-clicks anywhere on it.
#pragma once

#include <QStringList>
#include <QTreeView>
#include <vector>

namespace quorvex {

class LinkListView : public QTreeView {
  Q_OBJECT

 public:
  explicit LinkListView(QWidget* parent = nullptr);
  // The first selected row, or -1.
  int first_selected_row() const;
  // Every selected row, ascending.
  std::vector<int> selected_rows() const;
  // What an empty list shows in its middle ("": nothing).
  void set_empty_text(const QString& text);
  const QString& empty_text() const { return empty_text_; }

 signals:
  void files_dropped(const QStringList& paths);
  void text_dropped(const QString& text);
  void left_double_clicked();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString empty_text_;
};

}  // namespace quorvex
