// What the Win32 window asks of the desktop: messages, file dialogs, the clipboard and opening
// links and folders. Every call blocks until the user answers, so tests put recorders in their
// place.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_view.h"

namespace quorvex::win32 {

enum class MessageKind { notice_information, notice_warning, warning, information, exported };

struct MessageRequest {
  MessageKind kind = MessageKind::information;
  std::string caption, text;  // UTF-8
  int timeout_ms = 0;         // a notice closes itself after this long (0: when the user closes it)
};

struct Desktop {
  // The answer: for an exported message, whether the user asked to see the folder.
  std::function<bool(HWND owner, const MessageRequest&)> message;
  std::function<std::string(HWND owner)> choose_file;  // "" for none
  std::function<ExportChoice(HWND owner, const std::string& suggested)> choose_export_file;
  std::function<void(const std::string&)> set_clipboard;
  // A link or a folder, opened by whatever the system opens it with; false when nothing could be
  // started.
  std::function<bool(const std::string&)> open;
  // The system's own.
  static Desktop standard();
};

// The answer of a message box that closed itself, as user32's MessageBoxTimeout gives it.
inline constexpr int kTimedOut = 32000;
// A message box that closes itself after timeout_ms (0: only the user closes it); without an
// owner it takes the process's visible top-level window. The button that closed it minus one,
// or kTimedOut - 1 after the time-out.
int timed_message_box(const std::string& text, UINT flags, const std::string& caption, HWND owner,
                      int timeout_ms);
// The first visible top-level window of the process, looked for until limit_ms have passed
// (nullptr: none).
HWND find_process_window(DWORD process, int limit_ms);

// The clipboard's files (CF_HDROP) and text (CF_UNICODETEXT), as UTF-8.
struct ClipboardContents {
  std::vector<std::string> files;
  std::optional<std::string> text;
};
ClipboardContents read_clipboard(HWND owner);
// The paths a shell drop names, as UTF-8.
std::vector<std::string> dropped_paths(HDROP drop);

// "Name (*.a);;Other (*)" as a file dialog's filter: pairs of name and pattern, each ended by a
// NUL, the whole ended by another.
std::wstring dialog_filter(const std::string& filters);

}  // namespace quorvex::win32
