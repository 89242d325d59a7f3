#include "model/verdict.h"

#include "base/gbk_literals.h"

namespace quorvex {

std::string_view status_glyph(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid:
      return gbk::kValidMark;
    case Verdict::invalid:
      return "x";
    case Verdict::unknown:
      return "?";
    case Verdict::none:
      break;
  }
  return {};
}

}  // namespace quorvex
