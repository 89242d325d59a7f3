// What differs between the systems the programs run on: files and folders by name, the user's
// folders, the environment, local time, terminals, arguments and the signals that end a run.
// Every path and every text here is UTF-8 on every system; on Windows the names are turned into
// wide strings at the system call, since the narrow calls there read the ANSI code page.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

struct PathInfo {
  bool exists = false;
  bool folder = false;
  bool regular = false;
  bool read_only = false;  // nobody may write it, whoever asks
  std::uint64_t size = 0;
  int error = 0;  // errno when it does not exist or cannot be looked at
  // Where the system keeps them: the mode and owner, so that a replacement can take them over.
  unsigned mode = 0;
  unsigned owner = 0, group = 0;
};
// Follows symbolic links.
PathInfo path_info(const std::string& path);

std::FILE* open_file(const std::string& path, const char* mode);

enum class CreateMode {
  exclusive,  // fails with EEXIST when the file exists
  truncate,   // empties an existing file
};
// A file opened for writing in binary mode, as a descriptor not inherited by child programs; -1
// with errno set when it cannot be.
int create_file(const std::string& path, CreateMode mode);
// A stream over a descriptor from create_file, which it then owns; nullptr with errno set.
std::FILE* stream_of_file(int fd);
// Writes every byte; false with errno set.
bool write_all(int fd, std::string_view bytes);
// Returns once the file's bytes are on the disk.
bool flush_to_disk(int fd);
bool close_file(int fd);
// Gives a new file the mode and owner `original` had, where the system has them and allows it.
bool take_over_access(int fd, const PathInfo& original);
// Puts `from` in the place of `to` in one step, replacing what was there.
bool replace_file(const std::string& from, const std::string& to);
void remove_file(const std::string& path);
// Makes the folder and those above it that are missing; private ones only for this user where the
// system has such modes. True when the folder exists afterwards; errno set otherwise.
bool make_folders(const std::string& folder, bool private_to_user = false);
// The file a write to `path` lands in: a symbolic link is followed to its end.
std::string link_target(const std::string& path);
// Why nothing can be made inside the existing folder `folder`: EROFS, EACCES, or 0 when the
// system says nothing against it.
int why_folder_refuses_writes(const std::string& folder);
// Whether c separates the folders of a path here ('/' everywhere, '\\' too on Windows).
bool is_path_separator(char c);

enum class UserFolder {
  documents,
  desktop,
  data,  // where a program keeps the user's data (XDG_DATA_HOME, %LOCALAPPDATA%)
};
std::string user_folder(UserFolder which);
// The variable's value as UTF-8; nullopt when unset.
std::optional<std::string> environment_variable(const char* name);
// The language the system's interface is shown in, as a locale name's start ("zh", "en"), on
// systems that have one setting for it (Windows); "" where the environment's locale says it.
std::string system_interface_language();

std::tm local_time(std::time_t t);
bool is_terminal(std::FILE* stream);
// The width of the terminal the stream writes to, in columns; 0 when it is no terminal.
int terminal_columns(std::FILE* stream);

// The command line's arguments after the program's name, as UTF-8.
std::vector<std::string> program_arguments(int argc, char** argv);
// Standard streams pass bytes through unchanged, and a console shows UTF-8.
void prepare_standard_streams();

#ifdef _WIN32
// The wide strings of the Windows calls, to and from UTF-8.
std::wstring utf8_to_wide(std::string_view text);
std::string wide_to_utf8(std::wstring_view text);
#endif

// Calls on_signal with the number of the signal while one is alive: SIGINT, SIGTERM and SIGHUP;
// on Windows the console's Ctrl+C (SIGINT), Ctrl+Break (SIGBREAK) and close (SIGTERM). The
// handlers in place before come back when it ends.
class InterruptCatcher {
 public:
  explicit InterruptCatcher(void (*on_signal)(int));
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  struct Saved;
  Saved* saved_;
};

}  // namespace quorvex
