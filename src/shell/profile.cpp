#include "shell/profile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/text_ops.h"

namespace quorvex {

namespace {

std::string_view trim_ws(std::string_view s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool read_all(const std::string& path, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[8192];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return true;
}

// Lines without their "\n"; a "\r" before it stays part of the line, so lines are written back
// exactly as they were.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto nl = text.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

// Whether a line is a "[name]" section line, and its name.
bool section_of(std::string_view line, std::string_view& name) {
  const std::string_view t = trim_ws(line);
  if (t.size() < 2 || t.front() != '[') return false;
  const auto close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = trim_ws(t.substr(1, close - 1));
  return true;
}

bool key_of(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim_ws(line.substr(0, eq));
  value = trim_ws(line.substr(eq + 1));
  return true;
}

// The file a write lands in: the target of a symbolic link (followed to its end), so that a
// settings file kept elsewhere and linked in stays where the user keeps it.
std::string write_target(const std::string& path) {
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

// Why a file in `dir` cannot be made when the system only says "no such file": the first folder
// of the path that is missing sits on a read-only file system, in a folder the user may not
// write, or under something that is no folder.
int cause_of_missing_folder(const std::string& file) {
  std::string dir = file.substr(0, file.rfind('/'));
  while (!dir.empty()) {
    const std::size_t slash = dir.rfind('/');
    const std::string parent = slash == 0 ? "/" : dir.substr(0, slash);
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? ENOENT : ENOTDIR;
    if (::stat(parent.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return ENOTDIR;
      struct statvfs fs {};
      if (::statvfs(parent.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return EROFS;
      if (::access(parent.c_str(), W_OK) != 0) return EACCES;
      return ENOENT;
    }
    if (slash == 0 || slash == std::string::npos) break;
    dir = parent;
  }
  return ENOENT;
}

}  // namespace

std::string read_profile_string(const std::string& path, std::string_view section,
                                std::string_view key) {
  std::string text;
  if (!read_all(path, text)) return {};
  bool in_section = false;
  for (const std::string& line : split_lines(text)) {
    std::string_view name;
    if (section_of(line, name)) {
      in_section = equals_nocase(name, section);
      continue;
    }
    std::string_view k, v;
    if (in_section && key_of(line, k, v) && equals_nocase(k, key)) {
      // A value in matching quotes is given without them, as the platform's reader does.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return std::string(v.substr(0, kProfileValueMax));
    }
  }
  return {};
}

bool write_profile_string(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value, std::string* error) {
  auto fail = [&](int err) {
    if (error) *error = std::strerror(err);
    return false;
  };
  const std::string target = write_target(path);
  // A file the user made read-only stays as it is, though replacing it through a rename would
  // get past its mode.
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail(EACCES);
  std::string text;
  read_all(target, text);
  std::vector<std::string> lines = split_lines(text);
  const bool crlf = text.empty() || text.find("\r\n") != std::string::npos;
  const std::string eol_cr = crlf ? "\r" : "";
  std::string entry = std::string(key) + "=" + std::string(value) + eol_cr;

  int section_line = -1, last_in_section = -1, key_line = -1;
  bool in_section = false;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    std::string_view name;
    if (section_of(lines[i], name)) {
      in_section = equals_nocase(name, section);
      // Only the first section of that name is written to.
      if (in_section && section_line >= 0) in_section = false;
      if (in_section) section_line = last_in_section = i;
      continue;
    }
    if (in_section && section_line >= 0) {
      std::string_view k, v;
      if (key_of(lines[i], k, v) && equals_nocase(k, key) && key_line < 0) key_line = i;
      if (!trim_ws(lines[i]).empty()) last_in_section = i;
    }
  }
  if (key_line >= 0) {
    lines[key_line] = entry;
  } else if (section_line >= 0) {
    lines.insert(lines.begin() + last_in_section + 1, entry);
  } else {
    lines.push_back("[" + std::string(section) + "]" + eol_cr);
    lines.push_back(entry);
  }
  std::string out;
  for (const std::string& line : lines) out.append(line).append("\n");
  // Nothing to change, nothing written: the file keeps its time and no write can fail.
  if (exists && out == text) return true;

  const std::string temp = target + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail(errno == ENOENT ? cause_of_missing_folder(temp) : errno);
  // The new file takes the old one's mode and owner (a private 0600 file stays private); the
  // owner only where the system allows it.
  if (exists) {
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
      const int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return fail(err);
    }
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Not the owner's to give: the file is the writer's now, as an editor would leave it.
    }
  }
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t w = ::write(fd, out.data() + done, out.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return fail(err);
    }
    done += static_cast<std::size_t>(w);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return fail(err);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return fail(err);
  }
  return true;
}

}  // namespace quorvex
