// The system's words for a failed file operation, said in Chinese for the window's messages.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

// Chinese (UTF-8) for the common error numbers: not found, permission denied, disk full, read-only
// and their like; the system's own words for the rest.
std::string error_text_zh(int code);
// The same for a text the system gave (strerror's words in this process); a text that is no
// known error's comes back as it is.
std::string error_text_zh(std::string_view system_text);

}  // namespace quorvex
