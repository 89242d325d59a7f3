// 115 (115.com, 115cdn.com, anxia.com): the share's snapshot, with the access code when the link
// carries one.
#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

class Pan115Module final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::pan115; }

  bool allows_host(std::string_view host) const override { return host == "webapi.115.com"; }

  ServiceRequest first_request(const ServiceLink& link) const override {
    ServiceRequest request =
        api_request("GET",
                    "https://webapi.115.com/share/snap?share_code=" + query_escaped(link.id) +
                        "&receive_code=" + query_escaped(link.code) + "&offset=0&limit=20&cid=",
                    "application/json");
    request.headers.emplace_back("Referer", "https://115.com/");
    return request;
  }

  ServiceStep judge(const ServiceLink& link, const ServiceRequest&,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    const std::optional<JsonValue> answer = parse_json(reply.body);
    if (!answer || !answer->find("state")) return undecided(reply.status);
    const JsonValue& state = *answer->find("state");
    const bool ok = state.boolean().value_or(state.integer().value_or(0) != 0);
    if (ok) {
      // An expired share still answers, with its state saying so.
      const JsonValue* share_state = answer->at({"data", "shareinfo", "share_state"});
      if (!share_state) share_state = answer->at({"data", "share_state"});
      if (share_state && share_state->integer() == 7)
        return decided(Verdict::invalid, Reason::expired);
      return valid(!link.code.empty());
    }
    const std::string_view error = text_of(answer->find("error"));
    if (mentions(error, {"访问码", "提取码"}))
      return link.code.empty() ? decided(Verdict::valid, Reason::need_code)
                               : decided(Verdict::invalid, Reason::wrong_code);
    if (mentions(error, {"取消"})) return decided(Verdict::invalid, Reason::cancelled);
    if (mentions(error, {"删除"})) return decided(Verdict::invalid, Reason::deleted);
    if (mentions(error, {"过期"})) return decided(Verdict::invalid, Reason::expired);
    if (mentions(error, {"不存在", "链接"})) return decided(Verdict::invalid, Reason::not_found);
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& pan115_module() {
  static const Pan115Module module;
  return module;
}

}  // namespace quorvex::services
