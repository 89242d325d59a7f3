// The list's right-click menu as a table: each entry's command, caption, keys and whether it
// needs a selection. Each window draws the menu and binds the keys from it.
#pragma once

#include <cstddef>
#include <span>

namespace quorvex {

enum class ListCommand {
  copy_rows,
  copy_links,
  copy_codes,
  open_link,
  recheck_selected,
  recheck_unknown,
  recheck_all_fresh,
  delete_rows,
  remove_repeats,
  paste,
  open_file,
  extract_links,
  filter,
  separator,  // not a command: a line between groups of entries
};

// A key as the toolkit-neutral name of a standard or a plain combination.
// `enter` is both Return and the keypad's Enter.
enum class Key { none, copy, paste, open, find, delete_key, enter, ctrl_e };

struct ListMenuEntry {
  ListCommand command;
  const char* caption;  // UTF-8; null for a separator
  Key key = Key::none;
  // Greyed out in the menu when no row is selected (the keys still work, and do nothing).
  bool needs_selection = false;
  // The key works anywhere in the window, not only in the list.
  bool window_wide = false;
};

std::span<const ListMenuEntry> list_menu_entries();
// Whether the menu shows it enabled.
bool entry_enabled(const ListMenuEntry& entry, bool rows_selected);

}  // namespace quorvex
