#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "base/platform.h"

namespace quorvex {

PathInfo path_info(const std::string& path) {
  PathInfo info;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    info.error = errno;
    return info;
  }
  info.exists = true;
  info.folder = S_ISDIR(st.st_mode);
  info.regular = S_ISREG(st.st_mode);
  info.read_only = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.mode = st.st_mode & 07777;
  info.owner = st.st_uid;
  info.group = st.st_gid;
  return info;
}

std::FILE* open_file(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

int create_file(const std::string& path, CreateMode mode) {
  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | (mode == CreateMode::exclusive ? O_EXCL : O_TRUNC);
  return ::open(path.c_str(), flags, 0644);
}

std::FILE* stream_of_file(int fd) { return ::fdopen(fd, "wb"); }

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

bool flush_to_disk(int fd) { return ::fsync(fd) == 0; }
bool close_file(int fd) { return ::close(fd) == 0; }

bool take_over_access(int fd, const PathInfo& original) {
  if (::fchmod(fd, original.mode) != 0) return false;
  if (::fchown(fd, original.owner, original.group) != 0) {
    // Not the owner's to give: the file is the writer's now, as an editor would leave it.
  }
  return true;
}

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

bool make_folders(const std::string& folder, bool private_to_user) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string partial = folder.substr(0, slash);
    if (!partial.empty() && ::mkdir(partial.c_str(), private_to_user ? 0700 : 0755) != 0 &&
        errno != EEXIST)
      return false;
    if (slash == std::string::npos) break;
  }
  const PathInfo info = path_info(folder);
  if (!info.folder) errno = info.exists ? ENOTDIR : info.error;
  return info.folder;
}

std::string link_target(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n <= 0) return target;
    link.resize(static_cast<std::size_t>(n));
    if (link.front() != '/') {
      const std::size_t slash = target.rfind('/');
      link = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
    }
    target = link;
  }
  return target;
}

int why_folder_refuses_writes(const std::string& folder) {
  struct statvfs fs {};
  if (::statvfs(folder.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return EROFS;
  if (::access(folder.c_str(), W_OK) != 0) return EACCES;
  return 0;
}

bool is_path_separator(char c) { return c == '/'; }

namespace {

std::string home_folder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// Reads XDG_<NAME>_DIR from the user-dirs file, the way desktop file managers name the folders.
std::string xdg_user_dir(const std::string& name, const std::string& fallback) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string dir = config && *config ? config : home_folder() + "/.config";
  std::ifstream in(dir + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_" + name + "_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    // "$HOME/…" and "${HOME}/…" are the forms the file is written with; any other value that
    // is not a whole path falls back below rather than becoming a folder relative to wherever
    // the program was started.
    if (value.rfind("${HOME}", 0) == 0) {
      value = home_folder() + value.substr(7);
    } else if (value.rfind("$HOME", 0) == 0) {
      value = home_folder() + value.substr(5);
    }
    if (!value.empty() && value.front() == '/') {
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      return value;
    }
  }
  return home_folder() + "/" + fallback;
}

}  // namespace

std::string user_folder(UserFolder which) {
  switch (which) {
    case UserFolder::documents:
      return xdg_user_dir("DOCUMENTS", "Documents");
    case UserFolder::desktop:
      return xdg_user_dir("DESKTOP", "Desktop");
    case UserFolder::data:
      break;
  }
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') return data;
  if (const char* home = std::getenv("HOME"); home && home[0])
    return std::string(home) + "/.local/share";
  return ".";
}

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string system_interface_language() { return {}; }

std::tm local_time(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

bool is_terminal(std::FILE* stream) { return stream && ::isatty(::fileno(stream)) != 0; }

int terminal_columns(std::FILE* stream) {
  if (!is_terminal(stream)) return 0;
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  // A terminal that does not say: the width the shell was told, else the classic 80.
  if (const char* columns = std::getenv("COLUMNS"); columns && std::atoi(columns) > 0)
    return std::atoi(columns);
  return 80;
}

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void prepare_standard_streams() {}

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
}

struct InterruptCatcher::Saved {
  struct sigaction old[3];
};

InterruptCatcher::InterruptCatcher(void (*on_signal)(int)) : saved_(new Saved{}) {
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &saved_->old[i]);
}

InterruptCatcher::~InterruptCatcher() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_->old[i], nullptr);
  delete saved_;
}

}  // namespace quorvex
