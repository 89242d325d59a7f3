// Tests write their texts in UTF-8 and turn them into the program's GBK with G().
#pragma once

#include <string>
#include <string_view>

#include "base/charset.h"

namespace quorvex::test {

inline std::string G(std::string_view utf8) { return utf8_to_gbk(utf8); }
inline std::string U(std::string_view gbk) { return gbk_to_utf8(gbk); }

}  // namespace quorvex::test
