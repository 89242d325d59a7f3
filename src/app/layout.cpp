#include "app/layout.h"

#include <algorithm>

namespace quorvex {

const GroupControl kGroupControls[kGroupControlCount] = {
    {"选择框1", "单列模式", {6, 30, 80, 24}, GroupKey::none, "只显示名称、状态和执行三列"},
    {"透明标签2", "线程数：", {8, 53, 50, 24}},
    {"编辑框_线程数", "10", {57, 55, 40, 20}, GroupKey::none, "同时检测的链接数"},
    {"按钮5", "切换皮肤", {15, 90, 80, 24}, GroupKey::none, "换一种配色"},
    {"按钮6",
     "重新排版",
     {15, 125, 80, 24},
     GroupKey::ctrl_t,
     "把原文排成一行一个链接（Ctrl+T），再刷新列表"},
    {"按钮1", "刷新列表", {15, 160, 80, 24}, GroupKey::ctrl_r, "按原文重新载入列表（Ctrl+R）"},
    {"按钮2",
     "开始检测",
     {15, 195, 80, 24},
     GroupKey::f5,
     "检测列表中的链接（F5）；检测中再按一次停止（Esc）"},
    {"按钮3",
     "数据统计",
     {15, 230, 80, 24},
     GroupKey::ctrl_i,
     "有效、失效、未确定各有多少（Ctrl+I）"},
    {"按钮4", "导出有效", {15, 265, 80, 24}, GroupKey::ctrl_s, "把有效的链接写到桌面（Ctrl+S）"},
    {"按钮7",
     "提取链接",
     {15, 300, 80, 24},
     GroupKey::ctrl_e,
     "从帖子、聊天记录等文本中找出分享链接，一行一个，并刷新列表（Ctrl+E）"},
};

namespace {

constexpr int kGroupWidth = 120;
constexpr int kGroupRightGap = 2;  // the group ends 2 short of the window's right edge
constexpr int kCreditTop = 529;    // in the group, at the design size
// The buttons' pitch at the design size and the least it may shrink to, and the room kept below
// the lowest.
constexpr int kButtonPitch = 35;
constexpr int kLeastButtonPitch = 28;
constexpr int kButtonsBottomGap = 4;
// Room for a title bar that the window system adds outside.
constexpr int kFrameHeight = 32;

}  // namespace

MainLayout main_layout(int width, int height, int credit_width, int credit_height, bool hint) {
  MainLayout l;
  const int group_left = width - kGroupRightGap - kGroupWidth;
  const int group_height = height - 8 - kStatusHeight - 2;
  // From x = -1 (its left border outside the window) to one pixel short of the group.
  l.list = {-1, 0, group_left, height - kStatusHeight};
  if (hint) {
    l.hint = {0, 0, group_left - 1, kHintHeight};
    l.list.y += kHintHeight;
    l.list.height -= kHintHeight;
  }
  l.group = {group_left, 8, kGroupWidth, group_height};
  for (int i = 0; i < kGroupControlCount; ++i) l.controls[i] = kGroupControls[i].rect;
  // In a group too low for the buttons at their pitch, they move closer together.
  const Rect& first = kGroupControls[kThemeButton].rect;
  const int buttons = kGroupControlCount - kThemeButton;
  const int pitch =
      std::clamp((group_height - kButtonsBottomGap - first.height - first.y) / (buttons - 1),
                 kLeastButtonPitch, kButtonPitch);
  for (int i = kThemeButton; i < kGroupControlCount; ++i)
    l.controls[i].y = first.y + (i - kThemeButton) * pitch;
  const int lowest_end = l.controls[kGroupControlCount - 1].y + first.height;
  constexpr int kCreditFromBottom = kDesignHeight - 8 - kStatusHeight - 2 - kCreditTop;
  const int credit_top = std::max(lowest_end + 6, group_height - kCreditFromBottom);
  l.credit = {25, credit_top, std::min(credit_width, kGroupWidth - 27),
              std::max(20, credit_height)};
  if (credit_top + l.credit.height > group_height - 2) l.credit = {25, credit_top, 0, 0};
  l.status = {0, height - kStatusHeight, width, kStatusHeight};
  return l;
}

namespace {

// How the room beyond the design width is shared out.
struct Extra {
  int name = 0, link = 0, reason = 0;
};

Extra extra_room(bool single_column, int list_width) {
  Extra e;
  int spare = list_width - kDesignListWidth;
  if (spare >= kReasonColumnSpare) {
    e.reason = kReasonColumnWidth;
    spare -= kReasonColumnWidth;
  }
  // Links and names are read whole in a wider list; a link is the longer of the two.
  e.name = single_column || spare < 0 ? spare : spare * 2 / 5;
  e.link = single_column ? 0 : spare - e.name;
  return e;
}

}  // namespace

ShownColumns column_widths(const ColumnWidths& saved, bool single_column, int list_width) {
  const Extra e = extra_room(single_column, list_width);
  return {std::max(40, (single_column ? 360 : saved[0]) + e.name),
          single_column ? 0 : saved[1] + e.link,
          single_column ? 0 : saved[2],
          saved[3],
          saved[4],
          e.reason};
}

bool keep_column_width(ColumnWidths& saved, bool single_column, int list_width, int column,
                       int width) {
  if (column < 0 || column >= static_cast<int>(saved.size())) return false;
  if (single_column && column < 3) return false;
  const Extra e = extra_room(single_column, list_width);
  const int extra = column == 0 ? e.name : column == 1 ? e.link : 0;
  saved[static_cast<std::size_t>(column)] = std::max(0, width - extra);
  return true;
}

Rect restored_frame(const WindowPlacement& saved, Rect current, std::optional<Rect> room) {
  Rect r{current.x, current.y, kDesignWidth, kDesignHeight};
  if (saved.size) r.width = (*saved.size)[0], r.height = (*saved.size)[1];
  if (saved.position) r.x = (*saved.position)[0], r.y = (*saved.position)[1];
  if (!room) return r;
  r.width = std::max(kMinWidth, std::min(r.width, room->width));
  r.height = std::max(kMinHeight, std::min(r.height, room->height - kFrameHeight));
  const int right = room->x + room->width - 1, bottom = room->y + room->height - 1;
  r.x = std::clamp(r.x, room->x, std::max(room->x, right - r.width));
  r.y = std::clamp(r.y, room->y, std::max(room->y, bottom - r.height - kFrameHeight));
  return r;
}

}  // namespace quorvex
