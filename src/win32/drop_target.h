// The list as an OLE drop target: files and text dragged from other programs (Explorer drags
// files this way, a browser or an editor text), handed over as the clipboard hands them.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvex::win32 {

using Dropped = std::function<void(const std::vector<std::string>& files,
                                   const std::optional<std::string>& text)>;
// Registers a target on `window`; nullptr when OLE is not set up on this thread.
IDropTarget* attach_drop_target(HWND window, Dropped dropped);
void detach_drop_target(HWND window, IDropTarget* target);

}  // namespace quorvex::win32
