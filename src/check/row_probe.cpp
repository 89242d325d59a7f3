#include <algorithm>
#include <new>

#include "check/check_run_state.h"
#include "check/share_list.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

// The wait before retry number `n` (1-based): the first delay, three times longer each time.
std::chrono::milliseconds backoff(const ProbeSettings& s, int n) {
  auto delay = s.retry_delay;
  for (int i = 1; i < n && delay < std::chrono::hours(1); ++i) delay *= 3;
  return delay;
}

// Memory the system would not give for a fetch (a limit such as ulimit -v) is a refusal of this
// system's, like a descriptor it would not give, and never ends the program.
FetchResult no_memory() {
  FetchResult refused;
  refused.transfer.refused_locally = true;
  refused.transfer.error = kOutOfMemory;
  return refused;
}

// A module asks for one more request at a time; a service that keeps asking is not followed on.
constexpr int kMaxServiceSteps = 4;

}  // namespace

FetchResult CheckRun::State::counted(Clock::time_point& sent,
                                     const std::function<FetchResult()>& request,
                                     ShareService service) {
  sent = clock->now();
  {
    std::lock_guard lock(mutex);
    ++counts.requests;
  }
  FetchResult result;
  try {
    result = request();
  } catch (const std::bad_alloc&) {
    return no_memory();
  }
  // Redirects followed were requests too, and count against the pace as such.
  if (result.transfer.requests > 1) {
    std::lock_guard lock(mutex);
    pacer(service).add_requests(result.transfer.requests - 1, clock->now());
  }
  return result;
}

FetchResult CheckRun::State::fetch(const std::string& url, Clock::time_point& sent) {
  return counted(sent, [&] {
    return config.fetch ? config.fetch(url, cancelled)
                        : fetch_share_page(url, config.probe, cancelled);
  });
}

FetchResult CheckRun::State::fetch_list(const std::string& list_url, const std::string& share_url,
                                        Clock::time_point& sent) {
  return counted(sent, [&] {
    if (config.fetch_list) return config.fetch_list(list_url, share_url, cancelled);
    return config.fetch ? config.fetch(list_url, cancelled)
                        : fetch_share_list(list_url, share_url, config.probe, cancelled);
  });
}

void CheckRun::State::refused(int row, const std::string& what) {
  bool give_up;
  {
    std::lock_guard lock(mutex);
    if (!refused_since) refused_since = clock->now();
    refusal = what;
    give_up = ++refusals[row] >= kRefusedTries;
    if (give_up) refusals.erase(row);
  }
  if (!give_up) return requeue(row, clock->now() + config.refused_retry_delay);
  decide(row, {Verdict::unknown, Reason::no_resources}, true);
  finish_probe(row);
}

void CheckRun::State::note_not_refused(int row) {
  std::lock_guard lock(mutex);
  refused_since.reset();
  if (!refusals.empty()) refusals.erase(row);
}

bool CheckRun::State::note_answer(int row, const Judgement& judgement, Clock::time_point sent) {
  bool began_cooldown = false;
  bool give_up = false;
  {
    std::lock_guard lock(mutex);
    Pacer& pacer = this->pacer(service_of(row));
    if (!judgement.throttle_sign) {
      pacer.on_answer(clock->now());
      return false;
    }
    std::vector<int> streak;
    began_cooldown = pacer.on_throttled(row, sent, clock->now(), &streak);
    if (began_cooldown) {
      ++counts.cooldowns;
      for (const int r : streak) {
        if (r == row) continue;
        const auto h = throttle_hits.find(r);
        if (h != throttle_hits.end() && h->second > 0) --h->second;
      }
    }
    if (judgement.outcome == Outcome::throttled) {
      std::uint8_t& h = throttle_hits[row];
      if (pacer.cooldowns_in_a_row() == 0 && h < 255) ++h;
      // Throttling that outlasted several cool-downs is given up on, as is a row that keeps
      // meeting it on its own.
      give_up = pacer.throttling_persists(clock->now()) || h > config.probe.retries;
    }
  }
  if (began_cooldown) report();
  return give_up;
}

void CheckRun::State::requeue(int row, Clock::time_point not_before) {
  {
    std::lock_guard lock(mutex);
    rows.push(row, not_before, true);
    --running;
  }
  wake.notify_all();
  report();
}

void CheckRun::State::requeue_throttled(int row) {
  // Back in the queue, behind the fresh rows of its service, whose answers tell whether the whole
  // service throttles; the service's pacer holds its starts while it cools down.
  int hits;
  {
    std::lock_guard lock(mutex);
    const auto h = throttle_hits.find(row);
    hits = h == throttle_hits.end() ? 0 : h->second;
  }
  requeue(row, clock->now() + backoff(config.probe, std::max(hits, 1)));
}

std::optional<Judgement> CheckRun::State::second_opinion(int row, const std::string& url,
                                                         const std::string& fetched, Judgement page,
                                                         int& status, Clock::time_point& sent) {
  const std::string list_url = share_list_url(url);
  if (list_url.empty()) return page;
  // The API's answer is a request of its own, paced so. The pacer hears of the two answers as
  // one, the API's: a page served while the API throttles is no sign that the throttling ended.
  if (!wait_for_turn()) {
    finish_probe(row);
    return std::nullopt;
  }
  FetchResult answer = fetch_list(list_url, fetched, sent);
  if (cancelled) {
    finish_probe(row);
    return std::nullopt;
  }
  if (answer.transfer.refused_locally) {
    refused(row, answer.transfer.error);
    return std::nullopt;
  }
  const Judgement api = judge_share_list(answer);
  if (page_said_nothing(api)) return page;
  status = answer.status;
  return api;
}

void CheckRun::State::probe_row(int row) {
  const std::string url =
      share_url_of_row(table->cell(row, kColumnLink), table->cell(row, kColumnName));
  if (table->generation() != generation || cancelled) return finish_probe(row);
  if (std::optional<ServiceLink> link = service_link_of_url(url))
    return probe_service_row(row, std::move(*link));
  // Only share addresses of the service are ever requested; anything else is no live share.
  if (!is_baidu_share_url(url)) {
    decide(row, {Verdict::invalid, Reason::not_share_link}, false, false);
    return finish_probe(row);
  }
  const std::string fetched = share_fetch_url(url);
  const ProbeSettings& settings = config.probe;
  for (int retries = 0;;) {
    Clock::time_point sent;
    FetchResult result = fetch(fetched, sent);
    if (cancelled) return finish_probe(row);
    if (result.transfer.refused_locally) return refused(row, result.transfer.error);
    note_not_refused(row);
    Judgement judgement;
    try {
      judgement = judge_fetch(result);
    } catch (const std::bad_alloc&) {
      return refused(row, kOutOfMemory);
    }
    int status = result.status;
    // The body has said what it can: it and its share of the body budget go before any wait.
    result.body = std::string();
    result.hold.reset();
    if (page_said_nothing(judgement)) {
      const std::optional<Judgement> opinion =
          second_opinion(row, url, fetched, judgement, status, sent);
      if (!opinion) return;
      judgement = *opinion;
    }
    const bool give_up = note_answer(row, judgement, sent);
    switch (judgement.outcome) {
      case Outcome::decided:
        break;
      case Outcome::retry: {
        if (retries >= settings.retries) break;
        ++retries;
        auto delay = backoff(settings, retries);
        if (const auto asked = retry_after(result))
          delay = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(*asked),
                           settings.retry_after_cap);
        if (!sleep_until(clock->now() + delay) || !wait_for_turn()) return finish_probe(row);
        continue;
      }
      case Outcome::throttled:
        if (give_up) break;
        return requeue_throttled(row);
    }
    // Handed to the store before it is shown: whoever sees a verdict may rely on its record.
    if (config.remember)
      config.remember(share_id(url), judgement.verdict, status, judgement.source);
    decide(row, judgement.verdict, true);
    return finish_probe(row);
  }
}

void CheckRun::State::probe_service_row(int row, ServiceLink link) {
  const ServiceModule* module = service_module(link.service);
  if (!module) {
    decide(row, {Verdict::invalid, Reason::not_share_link}, false, false);
    return finish_probe(row);
  }
  // A code the link does not carry may stand in the row's code cell.
  if (link.code.empty()) {
    link.code = usable_share_code(table->cell(row, kColumnCode));
  }
  const ShareService service = link.service;
  const ProbeSettings& settings = config.probe;
  ServiceRequest request = module->first_request(link);
  int status = 0;
  for (int retries = 0, steps = 0;;) {
    Clock::time_point sent;
    FetchResult result = counted(
        sent,
        [&] {
          return config.fetch_service
                     ? config.fetch_service(*module, request, cancelled)
                     : fetch_service_request(*module, request, settings, cancelled);
        },
        service);
    if (cancelled) return finish_probe(row);
    if (result.transfer.refused_locally) return refused(row, result.transfer.error);
    note_not_refused(row);
    Judgement judgement;
    std::vector<ServiceRequest> next;
    try {
      judgement = judge_service_answer(*module, link, request, result, next);
    } catch (const std::bad_alloc&) {
      return refused(row, kOutOfMemory);
    }
    status = result.status;
    result.body = std::string();
    result.hold.reset();
    if (!next.empty() && ++steps < kMaxServiceSteps) {
      // The service's next request for the same share, paced as every request of it is.
      note_answer(row, judgement, sent);
      request = std::move(next.front());
      if (!wait_for_turn(service)) return finish_probe(row);
      continue;
    }
    if (!next.empty()) judgement = {{Verdict::unknown, Reason::no_marker}, Outcome::decided};
    const bool give_up = note_answer(row, judgement, sent);
    if (judgement.outcome == Outcome::retry && retries < settings.retries) {
      ++retries;
      auto delay = backoff(settings, retries);
      if (const auto asked = retry_after(result))
        delay = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(*asked),
                         settings.retry_after_cap);
      if (!sleep_until(clock->now() + delay) || !wait_for_turn(service)) return finish_probe(row);
      request = module->first_request(link);
      steps = 0;
      continue;
    }
    if (judgement.outcome == Outcome::throttled && !give_up) return requeue_throttled(row);
    if (config.remember)
      config.remember(service_share_key(link), judgement.verdict, status, judgement.source);
    decide(row, judgement.verdict, true);
    return finish_probe(row);
  }
}

}  // namespace quorvex
