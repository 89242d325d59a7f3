// Windows: names become wide strings at every system call, descriptors come from the C runtime
// (so that the rest of the program keeps one way of writing files), and the console's control
// events stand in for signals.
// windows.h before the headers that build on it.
#include <windows.h>
//
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cwchar>
#include <mutex>

#include "base/platform.h"

namespace quorvex {

namespace {

// errno for the last system error, for the callers that speak errno.
int errno_of_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

}  // namespace

std::wstring utf8_to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string wide_to_utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

PathInfo path_info(const std::string& path) {
  PathInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(utf8_to_wide(path).c_str(), GetFileExInfoStandard, &data)) {
    info.error = errno_of_last_error();
    return info;
  }
  info.exists = true;
  info.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.regular = !info.folder && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
  info.read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return info;
}

std::FILE* open_file(const std::string& path, const char* mode) {
  return _wfopen(utf8_to_wide(path).c_str(), utf8_to_wide(mode).c_str());
}

int create_file(const std::string& path, CreateMode mode) {
  const int flags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT |
                    (mode == CreateMode::exclusive ? _O_EXCL : _O_TRUNC);
  return _wopen(utf8_to_wide(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}

std::FILE* stream_of_file(int fd) { return _fdopen(fd, "wb"); }

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const unsigned chunk =
        static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    const int w = _write(fd, bytes.data() + done, chunk);
    if (w < 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

bool flush_to_disk(int fd) { return _commit(fd) == 0; }
bool close_file(int fd) { return _close(fd) == 0; }

bool take_over_access(int, const PathInfo&) {
  // A new file in the same folder inherits the folder's access rules, as the old one did.
  return true;
}

bool replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExW(utf8_to_wide(from).c_str(), utf8_to_wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  errno = errno_of_last_error();
  return false;
}

void remove_file(const std::string& path) { DeleteFileW(utf8_to_wide(path).c_str()); }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

bool make_folders(const std::string& folder, bool) {
  // From the first separator after a drive ("C:\") or a share's name ("\\server\share\") on.
  std::size_t start = 0;
  if (folder.size() >= 2 && folder[1] == ':') start = 2;
  if (folder.size() >= 2 && is_path_separator(folder[0]) && is_path_separator(folder[1])) {
    int parts = 0;
    for (start = 2; start < folder.size() && parts < 2; ++start)
      if (is_path_separator(folder[start])) ++parts;
  }
  for (std::size_t i = start + 1; i <= folder.size(); ++i) {
    if (i < folder.size() && !is_path_separator(folder[i])) continue;
    const std::string partial = folder.substr(0, i);
    if (!CreateDirectoryW(utf8_to_wide(partial).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_ACCESS_DENIED) {
      errno = errno_of_last_error();
      return false;
    }
  }
  const PathInfo info = path_info(folder);
  if (!info.folder) errno = info.exists ? ENOTDIR : info.error;
  return info.folder;
}

std::string link_target(const std::string& path) { return path; }

int why_folder_refuses_writes(const std::string&) { return 0; }

std::string user_folder(UserFolder which) {
  const KNOWNFOLDERID& id = which == UserFolder::documents ? FOLDERID_Documents
                            : which == UserFolder::desktop ? FOLDERID_Desktop
                                                           : FOLDERID_LocalAppData;
  PWSTR path = nullptr;
  std::string out;
  if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path) == S_OK && path)
    out = wide_to_utf8(path);
  CoTaskMemFree(path);
  if (out.empty()) out = environment_variable("USERPROFILE").value_or(".");
  return out;
}

std::optional<std::string> environment_variable(const char* name) {
  // The system's block, not the C runtime's copy: msvcrt makes its wide copy only on demand.
  const std::wstring key = utf8_to_wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n =
        GetEnvironmentVariableW(key.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) return wide_to_utf8(std::wstring_view(value.data(), n));
    value.resize(n);
  }
}

std::string system_interface_language() {
  switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_CHINESE:
      return "zh";
    case LANG_ENGLISH:
      return "en";
    default:
      return {};
  }
}

std::tm local_time(std::time_t t) {
  std::tm tm{};
  localtime_s(&tm, &t);
  return tm;
}

bool is_terminal(std::FILE* stream) { return stream && _isatty(_fileno(stream)) != 0; }

int terminal_columns(std::FILE* stream) {
  if (!is_terminal(stream)) return 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetConsoleScreenBufferInfo(handle, &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

std::vector<std::string> program_arguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return args;
  for (int i = 1; i < count; ++i) args.push_back(wide_to_utf8(words[i]));
  LocalFree(words);
  return args;
}

void prepare_standard_streams() {
  // Typeset text is GBK bytes with CR LF of its own; a text-mode stream would add a CR to each.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
}

namespace {

std::atomic<void (*)(int)> g_on_signal{nullptr};

BOOL WINAPI on_console_event(DWORD event) {
  void (*handler)(int) = g_on_signal.load();
  if (!handler) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
      handler(SIGINT);
      return TRUE;
    case CTRL_BREAK_EVENT:
      handler(SIGBREAK);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      handler(SIGTERM);
      // The system ends the process once this returns; the run gets the time it allows.
      Sleep(4000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

struct InterruptCatcher::Saved {
  void (*previous)(int);
};

InterruptCatcher::InterruptCatcher(void (*on_signal)(int))
    : saved_(new Saved{g_on_signal.exchange(on_signal)}) {
  SetConsoleCtrlHandler(&on_console_event, TRUE);
}

InterruptCatcher::~InterruptCatcher() {
  SetConsoleCtrlHandler(&on_console_event, FALSE);
  g_on_signal.store(saved_->previous);
  delete saved_;
}

}  // namespace quorvex
