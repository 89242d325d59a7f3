// The program's 25 looks (app/themes.h) as Qt style sheets.
#pragma once

#include <QString>

#include "app/themes.h"

namespace quorvex {

// The style sheet of theme n (1 to 25); empty for any other number, which leaves the look as it
// is.
QString theme_style_sheet(int n);

}  // namespace quorvex
