// A modal message box that closes itself after a time-out.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace quorvex {

// What a box that closed by its time-out returns: the platform's 32000, less one.
inline constexpr int kTimedOutAnswer = 31999;

// Shows text with the standard message-box style bits of flags (buttons in the low four bits,
// icon in the next four) and returns the number of the button that closed it minus one (OK 0,
// Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6), or kTimedOutAnswer. Without an owner the
// program's visible main window is looked for, for at most 1000 ms.
int timed_message_box(const QString& text, std::optional<int> flags = std::nullopt,
                      std::optional<QString> caption = std::nullopt,
                      std::optional<QWidget*> owner = std::nullopt,
                      std::optional<int> timeout_ms = std::nullopt);

// The program's own first visible top-level window, looked for until limit_ms has passed while
// the window keeps processing its events; nullptr when there is none.
QWidget* find_process_window(int limit_ms);

}  // namespace quorvex
