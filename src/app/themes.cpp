#include "app/themes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quorvex {

namespace {

// Twenty-four looks; theme 21 repeats theme 10.
constexpr std::array<Palette, 24> kPalettes = {{
    {"Porcelain", "#f3f4f6", "#ffffff", "#f7f8fa", "#1f2328", "#4a6fa5", "#e6e9ef", "#d5dbe6",
     "#1f2328", "#e1e5ec", "#1f2328", "#4a6fa5", "#ffffff"},
    {"Graphite", "#2b2d31", "#1e1f22", "#25272b", "#e6e6e6", "#7aa2f7", "#3a3d43", "#4a4e56",
     "#f0f0f0", "#33363c", "#e6e6e6", "#3d5a99", "#ffffff"},
    {"Jade", "#e8f3ee", "#fbfefc", "#eef7f2", "#13322a", "#2e8b66", "#d2eadf", "#bfe0d0", "#13322a",
     "#cfe6da", "#13322a", "#2e8b66", "#ffffff"},
    {"Ink Wash", "#ecebe6", "#fbfaf6", "#f3f1ea", "#222222", "#555555", "#dedcd4", "#cfccc2",
     "#222222", "#d9d6cc", "#222222", "#444444", "#f5f5f5"},
    {"Vermilion", "#fbeeea", "#fffaf8", "#fcf1ed", "#3b1410", "#c0392b", "#f4d8d1", "#eec3b8",
     "#3b1410", "#f0d0c7", "#3b1410", "#c0392b", "#ffffff"},
    {"Night Sky", "#141a2a", "#0e1320", "#131a2b", "#d8e0f2", "#5b8def", "#222b42", "#2d3855",
     "#e8eefc", "#1c2438", "#d8e0f2", "#2f4f8f", "#ffffff"},
    {"Plum", "#f3ecf5", "#fdfafe", "#f6f0f8", "#2e1a33", "#8e44ad", "#e6d7ec", "#dac5e3", "#2e1a33",
     "#e0cfe7", "#2e1a33", "#8e44ad", "#ffffff"},
    {"Sand", "#f5efe2", "#fffcf5", "#f8f2e6", "#3a2f1b", "#b58b3a", "#ebe0c8", "#e2d3b2", "#3a2f1b",
     "#e6d9bd", "#3a2f1b", "#b58b3a", "#ffffff"},
    {"Ocean", "#e6f2f8", "#fafdff", "#edf6fb", "#0f2c3d", "#1f7fb4", "#cfe6f2", "#b9dbed",
     "#0f2c3d", "#c8e1ef", "#0f2c3d", "#1f7fb4", "#ffffff"},
    {"Forest Night", "#1b2620", "#131c17", "#18221c", "#d6e8dc", "#4caf7a", "#26362c", "#30453a",
     "#e4f2e9", "#223029", "#d6e8dc", "#2f6e4c", "#ffffff"},
    {"Rose", "#fbedf1", "#fffafb", "#fdf2f5", "#3d1a24", "#d35d7f", "#f5d7e0", "#efc3d1", "#3d1a24",
     "#f2cfda", "#3d1a24", "#d35d7f", "#ffffff"},
    {"Steel", "#e4e8ec", "#f9fafb", "#eef1f4", "#1c252e", "#5a6b7c", "#d3dae1", "#c2ccd6",
     "#1c252e", "#cdd5dd", "#1c252e", "#5a6b7c", "#ffffff"},
    {"Amber Dark", "#262119", "#1b1711", "#221d16", "#f0e2c8", "#e0a03a", "#352d21", "#453a2a",
     "#f7ead2", "#2f281e", "#f0e2c8", "#8a6322", "#ffffff"},
    {"Mint", "#eaf7f3", "#fbfffd", "#f0faf6", "#143029", "#3fb28f", "#d4efe6", "#c0e7da", "#143029",
     "#cdeae0", "#143029", "#3fb28f", "#ffffff"},
    {"Lavender", "#eeedf8", "#fcfcff", "#f3f2fb", "#25233d", "#6c63c7", "#dddbf1", "#cfcbeb",
     "#25233d", "#d8d5ef", "#25233d", "#6c63c7", "#ffffff"},
    {"Charcoal Red", "#241c1c", "#1a1414", "#201818", "#eedada", "#e05555", "#342828", "#443333",
     "#f6e4e4", "#2e2323", "#eedada", "#8f2f2f", "#ffffff"},
    {"Celadon", "#e9f0e6", "#fbfdfa", "#f0f5ee", "#1e2b1b", "#6b9a5e", "#d7e4d2", "#c8dbc1",
     "#1e2b1b", "#d0dfca", "#1e2b1b", "#6b9a5e", "#ffffff"},
    {"Sky", "#eaf4ff", "#fcfeff", "#f0f7ff", "#102640", "#3a8ee6", "#d3e6fb", "#bfdaf7", "#102640",
     "#cde2f9", "#102640", "#3a8ee6", "#ffffff"},
    {"Mocha", "#efe7e1", "#fcf9f7", "#f4eee9", "#2f221b", "#8b5e3c", "#e1d3c8", "#d5c2b4",
     "#2f221b", "#dccbbe", "#2f221b", "#8b5e3c", "#ffffff"},
    {"Midnight Teal", "#132326", "#0d191b", "#112023", "#d3ebee", "#2fb3bf", "#1e3438", "#284347",
     "#e2f4f6", "#1a2d30", "#d3ebee", "#1f7a82", "#ffffff"},
    {"Lemon", "#fbf8e4", "#fffef6", "#fcfaea", "#35310f", "#b7a31f", "#f1ebc4", "#eae1ab",
     "#35310f", "#eee6b9", "#35310f", "#a08e12", "#ffffff"},
    {"Slate Blue", "#e6e9f3", "#fafbfe", "#eef0f8", "#1b2140", "#4a5aa8", "#d4d9ec", "#c3cae4",
     "#1b2140", "#cdd3e9", "#1b2140", "#4a5aa8", "#ffffff"},
    {"Classic Blue", "#dfe8f5", "#ffffff", "#f2f6fc", "#14233a", "#2f6db5", "#e9eff8", "#d3e0f2",
     "#14233a", "#d6e2f3", "#14233a", "#3d7cc9", "#ffffff"},
    {"Coral", "#fdf0ea", "#fffaf7", "#fef4ef", "#3b1d12", "#e8734a", "#f8d9cb", "#f4c7b3",
     "#3b1d12", "#f6d1c1", "#3b1d12", "#e8734a", "#ffffff"},
}};

}  // namespace

const Palette* theme_palette(int n) {
  if (n < 1 || n > kThemeCount) return nullptr;
  if (n == 21) n = 10;
  // Themes 22 to 25 use the palettes after the one theme 21 repeats.
  const int index = n < 21 ? n - 1 : n - 2;
  return &kPalettes[static_cast<std::size_t>(index)];
}

const char* theme_name(int n) {
  const Palette* p = theme_palette(n);
  return p ? p->name : "";
}

Rgb colour_of(const char* hex) {
  const auto digit = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  if (!hex || std::strlen(hex) != 7 || hex[0] != '#') return {};
  int v[6];
  for (int i = 0; i < 6; ++i)
    if ((v[i] = digit(hex[i + 1])) < 0) return {};
  return {static_cast<unsigned char>(v[0] * 16 + v[1]),
          static_cast<unsigned char>(v[2] * 16 + v[3]),
          static_cast<unsigned char>(v[4] * 16 + v[5])};
}

bool theme_is_dark(int n) {
  const Palette* p = theme_palette(n);
  if (!p) return false;
  // Lightness as HSL has it: halfway between the strongest and the weakest channel.
  const Rgb c = colour_of(p->surface);
  return std::max({c.r, c.g, c.b}) + std::min({c.r, c.g, c.b}) < 255;
}

}  // namespace quorvex
