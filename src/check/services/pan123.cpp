// 123pan (123pan.com and its mirrors): the share's description by its key.
#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

class Pan123Module final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::pan123; }

  bool allows_host(std::string_view host) const override { return host == "www.123pan.com"; }

  ServiceRequest first_request(const ServiceLink& link) const override {
    return api_request("GET",
                       "https://www.123pan.com/api/share/info?shareKey=" + query_escaped(link.id),
                       "application/json");
  }

  ServiceStep judge(const ServiceLink&, const ServiceRequest&,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    // Some checkers take a 403 for a live share, others for a dead one: it tells nothing.
    if (reply.status == 403) return undecided(reply.status);
    const std::optional<JsonValue> answer = parse_json(reply.body);
    if (!answer) return undecided(reply.status);
    const JsonValue* code = answer->find("code");
    if (code && code->integer() == 0) {
      const JsonValue* has_pwd = answer->at({"data", "HasPwd"});
      return valid(has_pwd && has_pwd->boolean().value_or(false));
    }
    const std::string_view message = text_of(answer->find("message"));
    if (mentions(message, {"分享页面不存在", "不存在"}))
      return decided(Verdict::invalid, Reason::not_found);
    if (mentions(message, {"已取消"})) return decided(Verdict::invalid, Reason::cancelled);
    if (mentions(message, {"分享已失效", "失效"}))
      return decided(Verdict::invalid, Reason::expired);
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& pan123_module() {
  static const Pan123Module module;
  return module;
}

}  // namespace quorvex::services
