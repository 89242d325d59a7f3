// Aliyun (alipan.com, aliyundrive.com): the share's public description, asked anonymously.
#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

class AliyunModule final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::aliyun; }

  bool allows_host(std::string_view host) const override {
    return host == "api.aliyundrive.com" || host == "www.alipan.com" ||
           host == "www.aliyundrive.com";
  }

  ServiceRequest first_request(const ServiceLink& link) const override {
    ServiceRequest request = api_request(
        "POST",
        "https://api.aliyundrive.com/adrive/v3/share_link/get_share_by_anonymous?share_id=" +
            query_escaped(link.id),
        "application/json", "https://www.alipan.com");
    request.headers.emplace_back("Content-Type", "application/json");
    request.headers.emplace_back("x-canary", "client=web,app=share,version=v2.3.1");
    request.body = "{\"share_id\":\"" + json_escaped(link.id) + "\"}";
    return request;
  }

  ServiceStep judge(const ServiceLink&, const ServiceRequest&,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    const std::optional<JsonValue> answer = parse_json(reply.body);
    if (!answer) return undecided(reply.status);
    const std::string_view code = text_of(answer->find("code"));
    if (code == "ParamFlowException" || code == "TooManyRequests") return throttled();
    if (code == "NotFound.ShareLink") return decided(Verdict::invalid, Reason::not_found);
    if (code == "ShareLink.Cancelled") return decided(Verdict::invalid, Reason::cancelled);
    if (code == "ShareLink.Forbidden") return decided(Verdict::invalid, Reason::blocked);
    if (code == "ShareLink.Expired") return decided(Verdict::invalid, Reason::expired);
    const bool named = !text_of(answer->find("share_name")).empty() ||
                       !text_of(answer->find("share_title")).empty();
    const JsonValue* count = answer->find("file_count");
    const std::optional<long long> files = count ? count->integer() : std::nullopt;
    if (code.empty() && named && files) {
      if (*files == 0) return decided(Verdict::invalid, Reason::empty_share);
      const JsonValue* has_pwd = answer->find("has_pwd");
      return valid(has_pwd && has_pwd->boolean().value_or(false));
    }
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& aliyun_module() {
  static const AliyunModule module;
  return module;
}

}  // namespace quorvex::services
