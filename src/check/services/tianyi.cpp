// Tianyi (cloud.189.cn): the share's description by its code.
#include <atomic>
#include <chrono>

#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

// What the service calls the states of a share that is gone, and the reason each is.
struct GoneState {
  std::string_view code;
  Reason reason;
};
constexpr GoneState kGone[] = {
    {"ShareInfoNotFound", Reason::not_found}, {"ShareNotFound", Reason::not_found},
    {"FileNotFound", Reason::deleted},        {"ShareExpiredError", Reason::expired},
    {"ShareAuditNotPass", Reason::blocked},
};

// A value that differs from request to request, as the service's page sends to pass its cache.
std::string no_cache_value() {
  static std::atomic<unsigned long long> count{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const unsigned long long value =
      static_cast<unsigned long long>(
          std::chrono::duration_cast<std::chrono::microseconds>(now).count()) +
      count.fetch_add(1);
  return "0." + std::to_string(value % 10000000000000000ULL);
}

class TianyiModule final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::tianyi; }

  bool allows_host(std::string_view host) const override { return host == "cloud.189.cn"; }

  ServiceRequest first_request(const ServiceLink& link) const override {
    ServiceRequest request =
        api_request("GET",
                    "https://cloud.189.cn/api/open/share/getShareInfoByCodeV2.action?noCache=" +
                        no_cache_value() + "&shareCode=" + query_escaped(link.id),
                    "application/json;charset=UTF-8");
    request.headers.emplace_back("sign-type", "1");
    return request;
  }

  ServiceStep judge(const ServiceLink&, const ServiceRequest&,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    const std::optional<JsonValue> answer = parse_json(reply.body);
    if (!answer || !answer->find("res_code")) return undecided(reply.status);
    const JsonValue& res_code = *answer->find("res_code");
    if (res_code.integer() == 0 && answer->find("shareId")) {
      const JsonValue* need = answer->find("needAccessCode");
      return valid(need && need->integer() == 1);
    }
    const std::string_view state = text_of(&res_code);
    for (const GoneState& gone : kGone)
      if (state == gone.code) return decided(Verdict::invalid, gone.reason);
    if (state == "ShareAuditWaiting") return decided(Verdict::unknown, Reason::temporary);
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& tianyi_module() {
  static const TianyiModule module;
  return module;
}

}  // namespace quorvex::services
