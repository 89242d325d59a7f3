#include "app/list_menu.h"

#include <array>

namespace quorvex {

namespace {

using C = ListCommand;
constexpr ListMenuEntry kSeparator{C::separator, nullptr};

constexpr std::array kEntries{
    ListMenuEntry{C::copy_rows, "复制选中的行", Key::copy, true},
    ListMenuEntry{C::copy_links, "复制链接", Key::none, true},
    ListMenuEntry{C::copy_codes, "复制提取码", Key::none, true},
    ListMenuEntry{C::open_link, "打开链接", Key::enter, true},
    kSeparator,
    ListMenuEntry{C::recheck_selected, "重新检测选中的行", Key::none, true},
    ListMenuEntry{C::recheck_unknown, "重新检测未确定的行"},
    ListMenuEntry{C::recheck_all_fresh, "全部重新检测（不用已存结果）"},
    kSeparator,
    ListMenuEntry{C::delete_rows, "删除选中的行", Key::delete_key, true},
    ListMenuEntry{C::remove_repeats, "删除重复的行"},
    kSeparator,
    ListMenuEntry{C::paste, "粘贴", Key::paste},
    ListMenuEntry{C::open_file, "打开文件…", Key::open, false, true},
    ListMenuEntry{C::extract_links, "提取链接", Key::ctrl_e, false, true},
    ListMenuEntry{C::filter, "筛选…", Key::find, false, true},
};

}  // namespace

std::span<const ListMenuEntry> list_menu_entries() { return kEntries; }

bool entry_enabled(const ListMenuEntry& entry, bool rows_selected) {
  return !entry.needs_selection || rows_selected;
}

}  // namespace quorvex
