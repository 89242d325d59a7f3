// The conversion underneath every function of charset.h, on the system's own converter: iconv,
// or the code-page functions of Windows. Names are those charset.cpp settles on ("UTF-8",
// "CP936", "UTF-16LE", "GB18030", ...). A byte that is no character becomes U+FFFD where the
// target has it and "?" elsewhere; a character the target cannot hold becomes "?"; a bad unit of
// a wide encoding is skipped as a whole unit. Unknown character sets give "".
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

std::string convert_bytes(std::string_view bytes, const std::string& from, const std::string& to);

}  // namespace quorvex
