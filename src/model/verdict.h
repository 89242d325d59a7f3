// A row's verdict, as the status cell shows it.
#pragma once

#include <cstdint>
#include <string_view>

namespace quorvex {

enum class Verdict : std::uint8_t { none, valid, invalid, unknown };

// The status cell's text of a verdict (GBK): "√" valid, "x" invalid, "?" unknown, "" none.
std::string_view status_glyph(Verdict verdict);

}  // namespace quorvex
