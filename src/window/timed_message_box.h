// A modal message box that closes itself after a time-out.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <optional>

namespace quorvex {

// The style bits of a message box, as the platform numbers them: a set of buttons in the low four
// bits, an icon in the next four.
enum MessageBoxStyle : int {
  kButtonsOk = 0x0,
  kButtonsOkCancel = 0x1,
  kButtonsAbortRetryIgnore = 0x2,
  kButtonsYesNoCancel = 0x3,
  kButtonsYesNo = 0x4,
  kButtonsRetryCancel = 0x5,
  kButtonsMask = 0x0F,
  kIconError = 0x10,
  kIconQuestion = 0x20,
  kIconWarning = 0x30,
  kIconInformation = 0x40,
  kIconMask = 0xF0,
};

// The buttons by the platform's numbers.
enum MessageBoxButton : int {
  kButtonOk = 1,
  kButtonCancel = 2,
  kButtonAbort = 3,
  kButtonRetry = 4,
  kButtonIgnore = 5,
  kButtonYes = 6,
  kButtonNo = 7,
};

// What a box that closed by its time-out returns: the platform's 32000, less one.
inline constexpr int kTimedOutAnswer = 31999;

// Shows text with the MessageBoxStyle bits of flags and returns the MessageBoxButton that closed
// it minus one (OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6), or kTimedOutAnswer.
// Without an owner the program's visible main window is looked for, for at most 1000 ms.
int timed_message_box(const QString& text, std::optional<int> flags = std::nullopt,
                      std::optional<QString> caption = std::nullopt,
                      std::optional<QWidget*> owner = std::nullopt,
                      std::optional<int> timeout_ms = std::nullopt);

// The program's own first visible top-level window, looked for until limit_ms has passed while
// the window keeps processing its events; nullptr when there is none.
QWidget* find_process_window(int limit_ms);

// A warning the user must close, with a Chinese OK button.
void warning_box(QWidget* owner, const QString& title, const QString& text);
// Information for the whole program, closed by its OK button.
void information_box(const QString& caption, const QString& text);
// Says an export was written (its text selectable, to copy the name); true when the user pressed
// the button that opens its folder.
bool exported_box(QWidget* owner, const QString& title, const QString& text,
                  const QString& open_folder_caption);

// Gives a box's standard buttons their Chinese captions, so that they read right even where Qt's
// own translations are not installed.
void use_chinese_buttons(QMessageBox& box);

}  // namespace quorvex
