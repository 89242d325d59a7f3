#include "shell/progress_estimate.h"

#include <cmath>
#include <cstdio>

namespace quorvex {

void RateEstimate::add(Clock::time_point at, int finished) {
  if (!samples_.empty() && at - samples_.back().first < std::chrono::milliseconds(250)) return;
  samples_.emplace_back(at, finished);
  while (samples_.size() > 2 && at - samples_.front().first > kWindow) samples_.pop_front();
}

double RateEstimate::per_second() const {
  if (samples_.size() < 2) return 0;
  const double span =
      std::chrono::duration<double>(samples_.back().first - samples_.front().first).count();
  return span > 0 ? (samples_.back().second - samples_.front().second) / span : 0;
}

std::optional<long long> RateEstimate::seconds_left(int left,
                                                    std::chrono::milliseconds cooldown_left) const {
  if (left <= 0) return 0;
  const double rate = per_second();
  if (rate <= 0) return std::nullopt;
  return std::llround(left / rate) + (cooldown_left.count() + 999) / 1000;
}

std::string clock_text(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

long long cooldown_seconds(const RunSnapshot& run) {
  if (run.state != RunState::cooling_down) return 0;
  return (run.cooldown_left.count() + 999) / 1000;
}

std::string fitted_line(const std::vector<LinePart>& parts, int room,
                        const std::function<int(const std::string&)>& width,
                        const std::string& separator) {
  std::vector<bool> kept(parts.size(), true);
  const auto line = [&] {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
      if (kept[i])
        text.append(text.empty() || parts[i].attached ? "" : separator).append(parts[i].text);
    return text;
  };
  std::string text = line();
  for (std::size_t left = parts.size(); left > 1 && width(text) > room; --left) {
    std::size_t drop = parts.size();
    for (std::size_t i = 0; i < parts.size(); ++i)
      if (kept[i] && (drop == parts.size() || parts[i].keep <= parts[drop].keep)) drop = i;
    kept[drop] = false;
    text = line();
  }
  return text;
}

}  // namespace quorvex
