#include "window/timed_message_box.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <map>

#include "app/messages.h"

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
  box.setWindowTitle(caption.value_or(QString::fromUtf8(msg::kDefaultCaption)));
  box.setText(text);
  switch (style & kIconMask) {
    case kIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case kIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case kIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case kIconInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
  }
  struct Button {
    QMessageBox::StandardButton standard;
    int id;
  };
  std::vector<Button> buttons;
  switch (style & kButtonsMask) {
    case kButtonsOkCancel:
      buttons = {{QMessageBox::Ok, kButtonOk}, {QMessageBox::Cancel, kButtonCancel}};
      break;
    case kButtonsAbortRetryIgnore:
      buttons = {{QMessageBox::Abort, kButtonAbort},
                 {QMessageBox::Retry, kButtonRetry},
                 {QMessageBox::Ignore, kButtonIgnore}};
      break;
    case kButtonsYesNoCancel:
      buttons = {{QMessageBox::Yes, kButtonYes},
                 {QMessageBox::No, kButtonNo},
                 {QMessageBox::Cancel, kButtonCancel}};
      break;
    case kButtonsYesNo:
      buttons = {{QMessageBox::Yes, kButtonYes}, {QMessageBox::No, kButtonNo}};
      break;
    case kButtonsRetryCancel:
      buttons = {{QMessageBox::Retry, kButtonRetry}, {QMessageBox::Cancel, kButtonCancel}};
      break;
    default:
      buttons = {{QMessageBox::Ok, kButtonOk}};
  }
  std::map<QAbstractButton*, int> ids;
  for (const Button& b : buttons) ids[box.addButton(b.standard)] = b.id;
  use_chinese_buttons(box);

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

void use_chinese_buttons(QMessageBox& box) {
  static const std::pair<QMessageBox::StandardButton, const char*> kTexts[] = {
      {QMessageBox::Ok, msg::kOk},
      {QMessageBox::Cancel, msg::kButtonCancel},
      {QMessageBox::Abort, msg::kButtonAbort},
      {QMessageBox::Retry, msg::kButtonRetry},
      {QMessageBox::Ignore, msg::kButtonIgnore},
      {QMessageBox::Yes, msg::kButtonYes},
      {QMessageBox::No, msg::kButtonNo},
      {QMessageBox::Close, msg::kButtonClose},
  };
  for (const auto& [standard, text] : kTexts)
    if (QAbstractButton* b = box.button(standard)) b->setText(QString::fromUtf8(text));
}

void warning_box(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, owner);
  // Said in Chinese even where Qt's own translations are missing.
  box.addButton(QString::fromUtf8(msg::kOk), QMessageBox::AcceptRole);
  box.exec();
}

void information_box(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok);
  use_chinese_buttons(box);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

bool exported_box(QWidget* owner, const QString& title, const QString& text,
                  const QString& open_folder_caption) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, owner);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  QPushButton* open_folder = box.addButton(open_folder_caption, QMessageBox::ActionRole);
  box.addButton(QString::fromUtf8(msg::kOk), QMessageBox::AcceptRole);
  box.exec();
  return box.clickedButton() == open_folder;
}

}  // namespace quorvex
