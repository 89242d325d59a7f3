#include "shell/verdict_memory.h"

#include <chrono>
#include <ctime>

#include "base/platform.h"

namespace quorvex {

namespace {

// The name a service's pace is kept under: Baidu's share host (as runs before the other services
// kept it), the others' service_code.
std::string paced_service(ShareService service) {
  return service == ShareService::baidu ? "pan.baidu.com" : std::string(service_code(service));
}

}  // namespace

std::int64_t seconds_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void attach_store(CheckRunConfig& config, std::shared_ptr<VerdictStore> store,
                  VerdictLifetimes lifetimes, bool fresh, WallClock now) {
  if (!store) return;
  if (!fresh) {
    config.recall = [store, lifetimes, now](const std::vector<std::string>& shares) {
      const std::int64_t at = now();
      const auto stored = store->latest(shares, at);
      std::vector<std::optional<RowVerdict>> usable(stored.size());
      for (std::size_t i = 0; i < stored.size(); ++i) {
        if (!stored[i]) continue;
        const std::int64_t life = lifetimes.of(stored[i]->verdict).count();
        // A verdict from the future (a clock set back) is no younger than its lifetime.
        const std::int64_t age = at - stored[i]->at;
        if (life > 0 && age >= 0 && age < life)
          usable[i] = RowVerdict{stored[i]->verdict, stored[i]->reason};
      }
      return usable;
    };
  }
  // What the runs learned of the service's pace is kept whether or not verdicts are recalled.
  config.recall_pace =
      [store, now](ShareService service) -> std::optional<std::pair<LearnedPace, std::int64_t>> {
    const auto pace = store->pace(paced_service(service));
    if (!pace) return std::nullopt;
    return std::pair{LearnedPace{pace->ceiling, pace->held, pace->at}, now() - pace->at};
  };
  config.remember_pace = [store, now](ShareService service, const LearnedPace& learned) {
    if (learned.held <= 0 && learned.ceiling <= 0) return;
    store->record_pace(paced_service(service), {learned.ceiling, learned.held, now()});
  };
  config.remember = [store, now](const std::string& share, RowVerdict verdict, int status,
                                 VerdictSource source) {
    if (share.empty() || verdict.verdict == Verdict::none) return;
    store->record({share, verdict.verdict, verdict.reason, now(), status, source});
  };
}

std::string local_time_text(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  const std::tm tm = local_time(t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

}  // namespace quorvex
