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
// The list's columns as shown: the five of the design and, in a list wide enough, the reason.
using ShownColumns = std::array<int, 6>;
inline constexpr int kReasonColumn = 5;
inline constexpr int kReasonColumnWidth = 120;
// The list is this much wider than at the design size before the reason column shows.
inline constexpr int kReasonColumnSpare = 180;

// A key of the window's own, by the toolkit-neutral name of the key and its modifier.
enum class GroupKey { none, f5, ctrl_r, ctrl_i, ctrl_s, ctrl_t, ctrl_e };

// A control of the settings group: its name (what tests and tools find it by), caption and place
// inside the group at the design size, its key and the tooltip that names it.
struct GroupControl {
  const char* name;
  const char* caption;
  Rect rect;
  GroupKey key = GroupKey::none;
  const char* tip = nullptr;
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
  kExtractButton,
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
inline constexpr const char* kProgressName = "进度条";
inline constexpr const char* kHintName = "提示栏";
inline constexpr const char* kHintButtonName = "提示栏_提取链接";

// The line above the list that says what to do with the text (MainView::show_hint).
inline constexpr int kHintHeight = 40;

struct MainLayout {
  Rect list, group, credit, status, hint;  // hint: empty when there is none
  // The group's controls, inside the group: at their design places, the buttons drawn closer
  // together in a group too low for them.
  std::array<Rect, kGroupControlCount> controls;
};
// The list takes what the group at the right edge, the status line at the bottom and a hint line
// at the top (`hint` shown) leave; the credit (of the given preferred size) keeps its design
// place, moving up with the group's bottom in a lower window but never onto the buttons; where
// there is no room left for it, it has none (an empty rectangle).
MainLayout main_layout(int width, int height, int credit_width, int credit_height,
                       bool hint = false);

// The columns' widths for a list `list_width` wide: the widths at the design width (saved); what
// the list is wider goes to the reason column once there is room for it, the rest to the name and
// link columns. In single-column mode only the name and the two last columns (and the reason)
// show, the name taking all the extra room.
ShownColumns column_widths(const ColumnWidths& saved, bool single_column, int list_width);
// Takes a width the user gave a column into the saved widths (the column's share of the extra room
// left out); false when it is not the user's to keep (a hidden column, the reason).
bool keep_column_width(ColumnWidths& saved, bool single_column, int list_width, int column,
                       int width);

// The saved place and size, kept on the screen that shows `room` (the free part of the screen it
// was on, or of the main one): made smaller when larger than it, never smaller than the minimum.
Rect restored_frame(const WindowPlacement& saved, Rect current, std::optional<Rect> room);

}  // namespace quorvex

namespace quorvex {

// The list's and the window's face: a sans-serif drawn with Chinese glyphs of its own, so that
// Chinese and Latin read alike, at the size the design's column widths were made for.
inline constexpr const char* kListFontFamilies[] = {
    "Microsoft YaHei UI", "Microsoft YaHei",     "PingFang SC",  "Noto Sans CJK SC",
    "Source Han Sans SC", "WenQuanYi Micro Hei", "Noto Sans SC", "Droid Sans Fallback"};
inline constexpr int kListFontPixels = 12;

// The group's face: 楷体 where the system has it; the AR PL KaiTi faces that Debian ships draw the
// same style. 12 pixels.
inline constexpr const char* kGroupFontFamilies[] = {
    "楷体",          "KaiTi",         "STKaiti",          "AR PL UKai CN",
    "AR PL UKai TW", "AR PL UKai HK", "AR PL UKai TW MBE"};
inline constexpr int kGroupFontPixels = 12;

}  // namespace quorvex
