// The program's 25 looks, as Qt style sheets built into the program. Theme 24 is the look at
// start; 10 and 21 are the same look.
#pragma once

#include <QString>

namespace quorvex {

inline constexpr int kStartupTheme = 24;
inline constexpr int kThemeCount = 25;

// The style sheet of theme n (1 to 25); empty for any other number, which leaves the look as it
// is.
QString theme_style_sheet(int n);

// A short name of theme n, for the contact sheet and tooltips; empty outside 1 to 25.
QString theme_name(int n);

// Whether theme n draws the list light on dark (false outside 1 to 25: the start-up look is
// light).
bool theme_is_dark(int n);

}  // namespace quorvex
