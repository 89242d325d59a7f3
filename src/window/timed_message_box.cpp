#include "window/timed_message_box.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <map>

namespace quorvex {

QWidget* find_process_window(int limit_ms) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    if (clock.elapsed() - limit_ms >= -0.0000001) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->isWindow() && !qobject_cast<QMessageBox*>(w)) return w;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

int timed_message_box(const QString& text, std::optional<int> flags, std::optional<QString> caption,
                      std::optional<QWidget*> owner, std::optional<int> timeout_ms) {
  QWidget* parent = owner ? *owner : find_process_window(1000);
  const int style = flags.value_or(0);
  QMessageBox box(parent);
  box.setWindowTitle(caption.value_or(QString::fromUtf8("友情提醒")));
  box.setText(text);
  switch (style & 0xF0) {
    case 0x10:
      box.setIcon(QMessageBox::Critical);
      break;
    case 0x20:
      box.setIcon(QMessageBox::Question);
      break;
    case 0x30:
      box.setIcon(QMessageBox::Warning);
      break;
    case 0x40:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
  }
  // Button numbers as the platform gives them: OK 1, Cancel 2, Abort 3, Retry 4, Ignore 5,
  // Yes 6, No 7.
  struct Button {
    QMessageBox::StandardButton standard;
    int id;
  };
  std::vector<Button> buttons;
  switch (style & 0x0F) {
    case 1:
      buttons = {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, 2}};
      break;
    case 2:
      buttons = {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}};
      break;
    case 3:
      buttons = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::Cancel, 2}};
      break;
    case 4:
      buttons = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}};
      break;
    case 5:
      buttons = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, 2}};
      break;
    default:
      buttons = {{QMessageBox::Ok, 1}};
  }
  std::map<QAbstractButton*, int> ids;
  for (const Button& b : buttons) ids[box.addButton(b.standard)] = b.id;

  bool timed_out = false;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &box, [&] {
    timed_out = true;
    box.done(0);
  });
  timer.start(timeout_ms.value_or(5000));
  box.exec();
  if (timed_out) return kTimedOutAnswer;
  const auto it = ids.find(box.clickedButton());
  // Closed some other way (Escape, the close button): the box's own escape answer.
  if (it == ids.end()) return buttons.size() == 1 ? 0 : 1;
  return it->second - 1;
}

}  // namespace quorvex
