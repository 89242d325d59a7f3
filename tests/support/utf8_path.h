// Paths to and from the UTF-8 names the programs use. std::filesystem takes a narrow string in
// the ANSI code page on Windows (libstdc++ 12 even where that code page is UTF-8), so tests that
// meet the programs' names go through char8_t.
#pragma once

#include <filesystem>
#include <string>

namespace quorvex::test {

inline std::filesystem::path utf8_path(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

inline std::string utf8_name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace quorvex::test
