// Where the main window's controls go, as rectangles, for any size of the window; the columns'
// widths; and where a saved window is put back on the screens there are now.
#pragma once

#include <array>
#include <optional>

#include "app/main_view.h"
#include "shell/settings.h"

namespace quorvex {

// The design: a 582 x 600 window, the list 460 wide from x = -1, the settings group 120 wide at
// the right edge, 8 below the top; below them a status line.
inline constexpr int kDesignWidth = 582;
inline constexpr int kDesignHeight = 600;
inline constexpr int kDesignListWidth = 460;
inline constexpr int kStatusHeight = 22;
// Small enough for a 1366 x 768 screen at 200 % (683 x 384 logical pixels, less a title bar),
// large enough for every control of the group.
inline constexpr int kMinWidth = 380;
inline constexpr int kMinHeight = 352;
// A move or resize is saved once it has settled this long.
inline constexpr int kPlacementSettleMs = 800;
using ColumnWidths = std::array<int, 5>;
inline constexpr ColumnWidths kDesignColumns{100, 220, 40, 40, 40};

// A control of the settings group: its name (what tests and tools find it by), caption and place
// inside the group at the design size.
struct GroupControl {
  const char* name;
  const char* caption;
  Rect rect;
};
enum GroupControlIndex {
  kSingleColumnBox,
  kThreadsLabel,
  kThreadsField,
  kThemeButton,
  kTypesetButton,
  kReloadButton,
  kCheckButton,
  kSummaryButton,
  kExportButton,
  kGroupControlCount
};
extern const GroupControl kGroupControls[kGroupControlCount];
// Names of the other controls.
inline constexpr const char* kListName = "超级列表框1";
inline constexpr const char* kGroupName = "分组框1";
inline constexpr const char* kCreditName = "透明标签1";
inline constexpr const char* kStatusRowName = "状态栏";
inline constexpr const char* kStatusTextName = "状态文字";
inline constexpr const char* kFilterName = "筛选";

struct MainLayout {
  Rect list, group, credit, status;
};
// The list takes what the group at the right edge and the status line at the bottom leave; the
// credit (of the given preferred size) keeps its design place, moving up with the group's bottom
// in a lower window but never onto the buttons.
MainLayout main_layout(int width, int height, int credit_width, int credit_height);

// The columns' widths for a list `list_width` wide: the widths at the design width (saved), the
// name column also taking what the list is wider; in single-column mode only the name and the two
// last columns show.
ColumnWidths column_widths(const ColumnWidths& saved, bool single_column, int list_width);
// Takes a width the user gave a column into the saved widths (the name column's share of the
// extra room left out); false when it is not the user's to keep (a hidden column).
bool keep_column_width(ColumnWidths& saved, bool single_column, int list_width, int column,
                       int width);

// The saved place and size, kept on the screen that shows `room` (the free part of the screen it
// was on, or of the main one): made smaller when larger than it, never smaller than the minimum.
Rect restored_frame(const WindowPlacement& saved, Rect current, std::optional<Rect> room);

}  // namespace quorvex

namespace quorvex {

// The group's face: 楷体 where the system has it; the AR PL KaiTi faces that Debian ships draw the
// same style. 12 pixels.
inline constexpr const char* kGroupFontFamilies[] = {
    "楷体",          "KaiTi",         "STKaiti",          "AR PL UKai CN",
    "AR PL UKai TW", "AR PL UKai HK", "AR PL UKai TW MBE"};
inline constexpr int kGroupFontPixels = 12;

}  // namespace quorvex
