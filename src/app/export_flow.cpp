#include "app/export_flow.h"

#include <cerrno>

#include "app/main_view.h"
#include "app/messages.h"
#include "base/charset.h"
#include "base/platform.h"
#include "shell/error_text.h"

namespace quorvex {

namespace {

std::string folder_of(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !is_path_separator(path[end - 1])) --end;
  if (end > 1) --end;  // the separator itself, unless it is the root
  return end == 0 ? std::string(".") : path.substr(0, end);
}

bool export_to_chosen_file(MainView& view, const std::string& text, const std::string& why,
                           std::string suggested) {
  for (;;) {
    const ExportChoice choice = view.choose_export_file(suggested);
    if (choice.path.empty()) {
      view.warn(msg::kExportFailedTitle, why + msg::kExportGivenUp);
      return false;
    }
    const ExportResult result = write_new_file(choice.path, choice.utf8 ? gbk_to_utf8(text) : text);
    if (result.ok) {
      tell_exported(view, choice.path);
      return true;
    }
    view.warn(msg::kExportFailedTitle,
              msg::export_file_refused(choice.path, result.error_code == EEXIST
                                                        ? msg::kExportWouldOverwrite
                                                        : error_text_zh(result.error_code)));
    suggested = choice.path;
  }
}

}  // namespace

bool export_valid_rows(MainView& view, const LinkTable& table, const std::string& desktop,
                       const std::string& suggest_folder, const ExportSources& sources) {
  const std::string text = export_text(table, sources.local_time());
  std::string why;
  if (!desktop.empty() && path_info(desktop).folder) {
    const ExportResult result = write_export_file(desktop, text, sources);
    if (result.ok) {
      tell_exported(view, result.path);
      return true;
    }
    why = msg::export_failed_on_desktop(result.path, error_text_zh(result.error));
  } else {
    why = msg::desktop_missing(desktop);
  }
  std::string suggested = msg::kExportFileName;
  if (!suggest_folder.empty()) suggested = suggest_folder + "/" + suggested;
  return export_to_chosen_file(view, text, why, std::move(suggested));
}

void tell_exported(MainView& view, const std::string& path) {
  if (!view.show_exported(path)) return;
  const std::string folder = folder_of(path);
  if (!view.open_folder(folder)) view.warn(msg::kCannotOpenTitle, msg::nothing_opens(folder));
}

}  // namespace quorvex
