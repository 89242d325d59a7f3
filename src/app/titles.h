// The texts the window shows in its title while it typesets or checks (GBK).
#pragma once

#include <string>
#include <string_view>

#include "check/run_progress.h"
#include "shell/progress_estimate.h"
#include "text/typeset.h"

namespace quorvex {

// Title prefix set at every load start.
inline constexpr std::string_view kTitlePrefix = "Quorvex2.0  ";

// prefix + "进度1/2: P%" while reading, "进度2/2: 正在排版......." while joining,
// "进度: 全部完成......." at the end.
std::string typeset_title(std::string_view prefix, const TypesetProgress& progress);

// prefix + the share of started rows in per cent (the integer part of the double-precision
// quotient times 100), and "  服务限流，约 N 秒后继续" while the run waits for the service's
// throttling to pass;
// empty when the run has no rows.
std::string run_title(std::string_view prefix, const RunSnapshot& run);

}  // namespace quorvex
