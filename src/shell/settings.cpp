#include "shell/settings.h"

#include <algorithm>
#include <string>

#include "base/gbk_literals.h"
#include "base/platform.h"
#include "base/text_ops.h"
#include "shell/profile.h"

namespace quorvex {

namespace {

constexpr std::string_view kSection = "start";

}  // namespace

std::string documents_folder() { return user_folder(UserFolder::documents); }
std::string desktop_folder() { return user_folder(UserFolder::desktop); }

std::string settings_path(const std::string& documents) {
  return documents + "/Orvane/Quorvex/Baifig.ini";
}

bool ensure_settings_folder(const std::string& documents) {
  return make_folders(documents + "/Orvane/Quorvex");
}

bool mode_flag_of(std::string_view value) {
  if (value.empty()) return false;
  std::string squeezed(value);
  replace_all_aligned(squeezed, " ", "");
  replace_all_aligned(squeezed, gbk::kFullWidthBlank, "");
  return squeezed != gbk::kFalse;
}

StoredSettings read_settings(const std::string& path) {
  StoredSettings s;
  s.theme_number = parse_leading_int(read_profile_string(path, kSection, gbk::kKeyTheme));
  std::string threads = read_profile_string(path, kSection, gbk::kKeyThreads);
  if (!threads.empty()) s.thread_count = std::move(threads);
  s.single_column_mode = mode_flag_of(read_profile_string(path, kSection, gbk::kKeyMode));
  return s;
}

bool save_theme(const std::string& path, int theme_number, std::string* error) {
  return write_profile_string(path, kSection, gbk::kKeyTheme, std::to_string(theme_number), error);
}

bool save_thread_count(const std::string& path, std::string_view text, std::string* error) {
  return write_profile_string(path, kSection, gbk::kKeyThreads, text, error);
}

bool save_mode(const std::string& path, bool single_column, std::string* error) {
  return write_profile_string(path, kSection, gbk::kKeyMode,
                              single_column ? gbk::kTrue : gbk::kFalse, error);
}

namespace {

constexpr std::string_view kWindowSection = "window";

// Whole numbers separated by commas, exactly `count` of them; nullopt otherwise.
template <std::size_t N>
std::optional<std::array<int, N>> numbers_of(std::string_view text) {
  std::array<int, N> out{};
  std::size_t i = 0;
  for (std::size_t k = 0; k < N; ++k) {
    const std::size_t end = std::min(text.find(',', i), text.size());
    std::string_view piece = text.substr(i, end - i);
    while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    if (piece.empty() || piece.size() > 9) return std::nullopt;
    bool negative = piece.front() == '-';
    if (negative) piece.remove_prefix(1);
    if (piece.empty()) return std::nullopt;
    int value = 0;
    for (const char c : piece) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    out[k] = negative ? -value : value;
    if (k + 1 < N && end >= text.size()) return std::nullopt;
    i = end + 1;
  }
  if (i <= text.size()) return std::nullopt;  // more numbers than asked for
  return out;
}

template <std::size_t N>
std::string text_of(const std::array<int, N>& numbers) {
  std::string text;
  for (const int n : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(n);
  }
  return text;
}

}  // namespace

WindowPlacement read_window_placement(const std::string& path) {
  WindowPlacement p;
  p.position = numbers_of<2>(read_profile_string(path, kWindowSection, "position"));
  p.size = numbers_of<2>(read_profile_string(path, kWindowSection, "size"));
  if (p.size && ((*p.size)[0] <= 0 || (*p.size)[1] <= 0)) p.size.reset();
  p.columns = numbers_of<5>(read_profile_string(path, kWindowSection, "columns"));
  if (p.columns && std::any_of(p.columns->begin(), p.columns->end(), [](int w) { return w < 0; }))
    p.columns.reset();
  return p;
}

bool save_window_placement(const std::string& path, const WindowPlacement& placement,
                           std::string* error) {
  if (placement.position &&
      !write_profile_string(path, kWindowSection, "position", text_of(*placement.position), error))
    return false;
  if (placement.size &&
      !write_profile_string(path, kWindowSection, "size", text_of(*placement.size), error))
    return false;
  return !placement.columns ||
         write_profile_string(path, kWindowSection, "columns", text_of(*placement.columns), error);
}

int next_theme_number(int n) {
  // Computed in 64 bits: a stored 2147483647 must not overflow on its way back to 1.
  const long long next = static_cast<long long>(n) + 1;
  return next > 25 ? 1 : static_cast<int>(next);
}

}  // namespace quorvex
