#include "app/titles.h"

#include "base/gbk_literals.h"

namespace quorvex {

std::string typeset_title(std::string_view prefix, const TypesetProgress& progress) {
  std::string title(prefix);
  switch (progress.stage) {
    case TypesetProgress::Stage::reading:
      title.append(gbk::kProgress1).append(std::to_string(progress.percent)).push_back('%');
      break;
    case TypesetProgress::Stage::joining:
      title.append(gbk::kProgress2);
      break;
    case TypesetProgress::Stage::done:
      title.append(gbk::kProgressDone);
      break;
  }
  return title;
}

std::string run_title(std::string_view prefix, const RunSnapshot& run) {
  if (run.total <= 0) return {};
  const auto percent = static_cast<long long>(static_cast<double>(run.started) / run.total * 100);
  std::string title(prefix);
  title.append(std::to_string(percent)).push_back('%');
  if (const long long wait = cooldown_seconds(run); wait > 0)
    title.append(gbk::kThrottledFor).append(std::to_string(wait)).append(gbk::kThrottledResume);
  return title;
}

}  // namespace quorvex
