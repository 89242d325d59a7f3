#include "app/layout.h"

#include <algorithm>

namespace quorvex {

const GroupControl kGroupControls[kGroupControlCount] = {
    {"选择框1", "单列模式", {6, 30, 80, 24}},  {"透明标签2", "线程数：", {8, 53, 50, 24}},
    {"编辑框_线程数", "10", {57, 55, 40, 20}}, {"按钮5", "切换皮肤", {15, 90, 80, 24}},
    {"按钮6", "重新排版", {15, 125, 80, 24}},  {"按钮1", "刷新列表", {15, 160, 80, 24}},
    {"按钮2", "开始检测", {15, 195, 80, 24}},  {"按钮3", "数据统计", {15, 230, 80, 24}},
    {"按钮4", "导出有效", {15, 265, 80, 24}},
};

namespace {

constexpr int kGroupWidth = 120;
constexpr int kGroupRightGap = 2;  // the group ends 2 short of the window's right edge
constexpr int kCreditTop = 529;    // in the group, at the design size
constexpr int kLowestButtonEnd = 289;
// Room for a title bar that the window system adds outside.
constexpr int kFrameHeight = 32;

}  // namespace

MainLayout main_layout(int width, int height, int credit_width, int credit_height) {
  MainLayout l;
  const int group_left = width - kGroupRightGap - kGroupWidth;
  const int group_height = height - 8 - kStatusHeight - 2;
  // From x = -1 (its left border outside the window) to one pixel short of the group.
  l.list = {-1, 0, group_left, height - kStatusHeight};
  l.group = {group_left, 8, kGroupWidth, group_height};
  constexpr int kCreditFromBottom = kDesignHeight - 8 - kStatusHeight - 2 - kCreditTop;
  const int credit_top = std::max(kLowestButtonEnd + 6, group_height - kCreditFromBottom);
  l.credit = {25, credit_top, std::min(credit_width, kGroupWidth - 27),
              std::max(20, credit_height)};
  l.status = {0, height - kStatusHeight, width, kStatusHeight};
  return l;
}

ColumnWidths column_widths(const ColumnWidths& saved, bool single_column, int list_width) {
  // Links and names are read whole in a wider list.
  const int spare = list_width - kDesignListWidth;
  return {std::max(40, (single_column ? 360 : saved[0]) + spare), single_column ? 0 : saved[1],
          single_column ? 0 : saved[2], saved[3], saved[4]};
}

bool keep_column_width(ColumnWidths& saved, bool single_column, int list_width, int column,
                       int width) {
  if (column < 0 || column >= static_cast<int>(saved.size())) return false;
  if (single_column && column < 3) return false;
  const int spare = column == 0 ? list_width - kDesignListWidth : 0;
  saved[static_cast<std::size_t>(column)] = std::max(0, width - spare);
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
