// The program's 25 looks as colour sets, for whatever draws the window. Theme 24 is the look at
// start; 10 and 21 are the same look.
#pragma once

#include "app/row_cells.h"

namespace quorvex {

inline constexpr int kStartupTheme = 24;
inline constexpr int kThemeCount = 25;

// Colours as "#rrggbb".
struct Palette {
  const char* name;
  const char* window;     // window and group background
  const char* surface;    // list background
  const char* alternate;  // every other list row
  const char* text;
  const char* accent;  // group title, borders, focus
  const char* button;
  const char* button_hover;
  const char* button_text;
  const char* header;
  const char* header_text;
  const char* selection;
  const char* selection_text;
};

// The colours of theme n (1 to 25); nullptr for any other number, which leaves the look as it is.
const Palette* theme_palette(int n);
// A short name of theme n, for the contact sheet and tooltips; "" outside 1 to 25.
const char* theme_name(int n);
// Whether theme n draws the list light on dark (false outside 1 to 25: the start-up look is
// light).
bool theme_is_dark(int n);
// "#rrggbb" as a colour (black for anything else).
Rgb colour_of(const char* hex);

}  // namespace quorvex
