// 导出有效: the list's valid rows into a new file on the desktop; when the desktop is missing or
// refuses the file, into a file the user chooses, asked again until it is written or the user
// gives up, so that the export is never lost without a word. An existing file is never replaced.
#pragma once

#include <string>

#include "model/link_table.h"
#include "shell/export.h"

namespace quorvex {

class MainView;

// `suggest_folder` is where the chooser starts ("": wherever it likes). True when written.
bool export_valid_rows(MainView& view, const LinkTable& table, const std::string& desktop,
                       const std::string& suggest_folder,
                       const ExportSources& sources = ExportSources::system());

// Says that `path` was written, and opens its folder when the user asks.
void tell_exported(MainView& view, const std::string& path);

}  // namespace quorvex
