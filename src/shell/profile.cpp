#include "shell/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/platform.h"
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
  std::FILE* f = open_file(path, "rb");
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

// Why a file in `dir` cannot be made when the system only says "no such file": the first folder
// of the path that is missing sits on a read-only file system, in a folder the user may not
// write, or under something that is no folder.
int cause_of_missing_folder(const std::string& file) {
  std::size_t end = file.size();
  while (end > 0 && !is_path_separator(file[end - 1])) --end;
  std::string dir = file.substr(0, end > 0 ? end - 1 : 0);
  while (!dir.empty()) {
    const PathInfo here = path_info(dir);
    if (here.exists) return here.folder ? ENOENT : ENOTDIR;
    std::size_t slash = dir.size();
    while (slash > 0 && !is_path_separator(dir[slash - 1])) --slash;
    if (slash == 0) break;
    const std::string parent = slash == 1 ? dir.substr(0, 1) : dir.substr(0, slash - 1);
    const PathInfo above = path_info(parent);
    if (above.exists) {
      if (!above.folder) return ENOTDIR;
      const int refused = why_folder_refuses_writes(parent);
      return refused != 0 ? refused : ENOENT;
    }
    if (slash == 1) break;
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
  // A settings file kept elsewhere and linked in stays where the user keeps it.
  const std::string target = link_target(path);
  // A file the user made read-only stays as it is, though replacing it through a rename would
  // get past its mode.
  const PathInfo old = path_info(target);
  const bool exists = old.exists;
  if (exists && old.read_only) return fail(EACCES);
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
  const int fd = create_file(temp, CreateMode::truncate);
  if (fd < 0) return fail(errno == ENOENT ? cause_of_missing_folder(temp) : errno);
  // The new file takes the old one's mode and owner (a private 0600 file stays private); the
  // owner only where the system allows it.
  if ((exists && !take_over_access(fd, old)) || !write_all(fd, out) || !flush_to_disk(fd)) {
    const int err = errno;
    close_file(fd);
    remove_file(temp);
    return fail(err);
  }
  if (!close_file(fd) || !replace_file(temp, target)) {
    const int err = errno;
    remove_file(temp);
    return fail(err);
  }
  return true;
}

}  // namespace quorvex
