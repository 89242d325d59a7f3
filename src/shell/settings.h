// The settings file: section "start" with the keys 主题 (theme), 线程数 (thread count) and 模式
// (single-column mode), in an INI file under the user's documents folder.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// The user's documents and desktop folders as the desktop names them (XDG user dirs, else
// $HOME/Documents and $HOME/Desktop), without a trailing slash.
std::string documents_folder();
std::string desktop_folder();

// documents/Orvane/Quorvex/Baifig.ini
std::string settings_path(const std::string& documents);
// Creates documents/Orvane/Quorvex when missing; false when it could not be made.
bool ensure_settings_folder(const std::string& documents);

struct StoredSettings {
  int theme_number = 0;
  std::optional<std::string> thread_count;  // GBK text; absent when missing or empty
  bool single_column_mode = false;
};

StoredSettings read_settings(const std::string& path);

// "假" with every blank removed, or an empty text, reads as off; anything else as on.
bool mode_flag_of(std::string_view value);

bool save_theme(const std::string& path, int theme_number, std::string* error = nullptr);
bool save_thread_count(const std::string& path, std::string_view text,
                       std::string* error = nullptr);
bool save_mode(const std::string& path, bool single_column, std::string* error = nullptr);

// Where the window was and how it was laid out, in its own section "window" (keys left, top,
// width, height and columns), beside the three values of "start".
struct WindowPlacement {
  std::optional<std::array<int, 2>> position;  // left, top
  std::optional<std::array<int, 2>> size;      // width, height, both above 0
  // The columns' widths as the list had them at its design width, so that a wider list gives
  // its extra room to the name column alone.
  std::optional<std::array<int, 5>> columns;
};

WindowPlacement read_window_placement(const std::string& path);
// Writes the parts that are present.
bool save_window_placement(const std::string& path, const WindowPlacement& placement,
                           std::string* error = nullptr);

// The theme after n: n + 1, back to 1 past 25.
int next_theme_number(int n);

}  // namespace quorvex
