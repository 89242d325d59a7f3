#include "win32/desktop.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "app/messages.h"
#include "base/platform.h"

namespace quorvex::win32 {

namespace {

std::wstring w(const std::string& utf8) { return utf8_to_wide(utf8); }

UINT icon_flags(MessageKind kind) {
  return kind == MessageKind::notice_warning || kind == MessageKind::warning ? MB_ICONWARNING
                                                                             : MB_ICONINFORMATION;
}

// The export's message, with a button that opens the folder: a task dialog where the system has
// one (common controls 6), else a plain box with no such button.
bool exported_dialog(HWND owner, const MessageRequest& request) {
  using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  const auto task_dialog = reinterpret_cast<TaskDialogIndirectFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect")));
  const std::wstring caption = w(request.caption), text = w(request.text);
  if (!task_dialog) {
    MessageBoxW(owner, text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    return false;
  }
  const std::wstring open = w(msg::kOpenFolder), ok = w(msg::kOk);
  constexpr int kOpen = 100, kOkButton = 101;
  const TASKDIALOG_BUTTON buttons[] = {{kOpen, open.c_str()}, {kOkButton, ok.c_str()}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = caption.c_str();
  config.pszMainIcon = TD_INFORMATION_ICON;
  config.pszContent = text.c_str();
  config.cButtons = 2;
  config.pButtons = buttons;
  config.nDefaultButton = kOkButton;
  int pressed = 0;
  if (FAILED(task_dialog(&config, &pressed, nullptr, nullptr))) return false;
  return pressed == kOpen;
}

std::string choose_text_file(HWND owner) {
  wchar_t name[32768] = L"";
  const std::wstring filter = dialog_filter(msg::kOpenFilter), title = w(msg::kOpenTitle);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = name;
  ofn.nMaxFile = static_cast<DWORD>(std::size(name));
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_HIDEREADONLY;
  return GetOpenFileNameW(&ofn) ? wide_to_utf8(name) : std::string();
}

ExportChoice choose_export(HWND owner, const std::string& suggested) {
  wchar_t name[32768] = L"";
  const std::wstring start = w(suggested);
  wcsncpy(name, start.c_str(), std::size(name) - 1);
  const std::wstring filter = dialog_filter(std::string(msg::kGbkFilter) + ";;" + msg::kUtf8Filter);
  const std::wstring title = w(msg::kExportTitle);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name;
  ofn.nMaxFile = static_cast<DWORD>(std::size(name));
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"txt";
  // No overwrite prompt: an export never replaces a file, and says so itself.
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN;
  if (!GetSaveFileNameW(&ofn)) return {};
  return {wide_to_utf8(name), ofn.nFilterIndex == 2};
}

void put_on_clipboard(const std::string& text) {
  const std::wstring wide = w(text);
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(block), wide.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
}

bool shell_open(const std::string& target) {
  const std::wstring wide = w(target);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace

Desktop Desktop::standard() {
  Desktop d;
  d.message = [](HWND owner, const MessageRequest& request) {
    switch (request.kind) {
      case MessageKind::notice_information:
      case MessageKind::notice_warning:
        timed_message_box(request.text, icon_flags(request.kind), request.caption, owner,
                          request.timeout_ms);
        return false;
      case MessageKind::exported:
        return exported_dialog(owner, request);
      case MessageKind::warning:
      case MessageKind::information:
        MessageBoxW(owner, w(request.text).c_str(), w(request.caption).c_str(),
                    icon_flags(request.kind));
        return false;
    }
    return false;
  };
  d.choose_file = choose_text_file;
  d.choose_export_file = choose_export;
  d.set_clipboard = put_on_clipboard;
  d.open = shell_open;
  return d;
}

HWND find_process_window(DWORD process, int limit_ms) {
  const ULONGLONG start = GetTickCount64();
  HWND h = nullptr;
  while (GetTickCount64() - start < static_cast<ULONGLONG>(limit_ms)) {
    h = FindWindowExW(nullptr, h, nullptr, nullptr);
    DWORD owner = 0;
    if (h && IsWindow(h) && IsWindowVisible(h) && GetWindowThreadProcessId(h, &owner) &&
        owner == process)
      return h;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  return nullptr;
}

namespace {

// The box a timed_message_box call is showing on this thread, found by its caption when its
// time is up.
thread_local const std::wstring* timed_caption = nullptr;

BOOL CALLBACK end_timed_box(HWND hwnd, LPARAM) {
  wchar_t kind[16] = L"";
  GetClassNameW(hwnd, kind, 16);
  if (std::wcscmp(kind, L"#32770") != 0 || !timed_caption) return TRUE;
  wchar_t text[512] = L"";
  GetWindowTextW(hwnd, text, 512);
  if (*timed_caption != text) return TRUE;
  EndDialog(hwnd, kTimedOut);
  return FALSE;
}

void CALLBACK time_up(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), end_timed_box, 0);
}

}  // namespace

int timed_message_box(const std::string& text, UINT flags, const std::string& caption, HWND owner,
                      int timeout_ms) {
  if (!owner) owner = find_process_window(GetCurrentProcessId(), 1000);
  const std::wstring wide_text = w(text), wide_caption = w(caption);
  // user32's MessageBoxTimeout does this on Windows, but Wine's ignores the time-out; a timer of
  // the thread, which the box's own message loop runs, ends the box the same way everywhere.
  const std::wstring* outer = timed_caption;
  timed_caption = &wide_caption;
  const UINT_PTR timer =
      timeout_ms > 0 ? SetTimer(nullptr, 0, static_cast<UINT>(timeout_ms), time_up) : 0;
  const int answer = MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), flags);
  if (timer) KillTimer(nullptr, timer);
  timed_caption = outer;
  return answer - 1;
}

std::vector<std::string> dropped_paths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.push_back(wide_to_utf8(path));
  }
  return paths;
}

ClipboardContents read_clipboard(HWND owner) {
  ClipboardContents contents;
  if (!OpenClipboard(owner)) return contents;
  if (HANDLE files = GetClipboardData(CF_HDROP))
    contents.files = dropped_paths(static_cast<HDROP>(files));
  if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(text))) {
      contents.text = wide_to_utf8(chars);
      GlobalUnlock(text);
    }
  }
  CloseClipboard();
  return contents;
}

std::wstring dialog_filter(const std::string& filters) {
  std::wstring out;
  std::size_t at = 0;
  while (at <= filters.size()) {
    std::size_t end = filters.find(";;", at);
    if (end == std::string::npos) end = filters.size();
    const std::string entry = filters.substr(at, end - at);
    if (!entry.empty()) {
      // The patterns are what the parentheses hold; "*" is every file, "*.*" to the dialog.
      std::string patterns = "*.*";
      const std::size_t open = entry.rfind('('), close = entry.rfind(')');
      if (open != std::string::npos && close != std::string::npos && close > open + 1) {
        patterns = entry.substr(open + 1, close - open - 1);
        for (std::size_t i = 0; i < patterns.size(); ++i)
          if (patterns[i] == ' ') patterns[i] = ';';
        if (patterns == "*") patterns = "*.*";
      }
      out += w(entry);
      out += L'\0';
      out += w(patterns);
      out += L'\0';
    }
    at = end + 2;
  }
  out += L'\0';
  return out;
}

}  // namespace quorvex::win32
