// Quark (pan.quark.cn): a token for the share and its code, then the share's first page of files.
#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

constexpr std::string_view kApi = "https://drive-h.quark.cn/1/clouddrive/share/sharepage/";
constexpr std::string_view kSite = "https://pan.quark.cn";

// Codes of a share that is gone, and what the message beside them adds.
Reason gone_reason(long long code, std::string_view message) {
  if (mentions(message, {"删除"})) return Reason::deleted;
  if (mentions(message, {"违规", "非法"})) return Reason::blocked;
  if (mentions(message, {"取消"})) return Reason::cancelled;
  if (mentions(message, {"过期", "失效"})) return Reason::expired;
  switch (code) {
    case 41004:
      return Reason::deleted;
    case 41005:
      return Reason::blocked;
    case 41006:
      return Reason::cancelled;
    case 41009:
      return Reason::expired;
    default:
      return Reason::not_found;
  }
}

// What the codes every Quark answer can carry say; nullopt for one that decides nothing.
std::optional<ServiceStep> judged_code(long long code, std::string_view message) {
  switch (code) {
    case 41008:  // a code is needed and none was given
      return decided(Verdict::valid, Reason::need_code);
    case 41007:
      return decided(Verdict::invalid, Reason::wrong_code);
    case 41021:
      return throttled();
    case 41004:
    case 41005:
    case 41006:
    case 41009:
    case 41010:
    case 41011:
    case 41012:
    case 41019:
      return decided(Verdict::invalid, gone_reason(code, message));
    default:
      return std::nullopt;
  }
}

class QuarkModule final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::quark; }

  bool allows_host(std::string_view host) const override {
    return host == "drive-h.quark.cn" || host == "pan.quark.cn";
  }

  ServiceRequest first_request(const ServiceLink& link) const override {
    ServiceRequest request =
        api_request("POST", std::string(kApi) + "token?pr=ucpro&fr=pc", "application/json", kSite);
    request.headers.emplace_back("Content-Type", "application/json");
    request.body = "{\"pwd_id\":\"" + json_escaped(link.id) + "\",\"passcode\":\"" +
                   json_escaped(link.code) + "\",\"support_visit_limit_private_share\":true}";
    return request;
  }

  ServiceStep judge(const ServiceLink& link, const ServiceRequest& request,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    const std::optional<JsonValue> answer = parse_json(reply.body);
    if (!answer) return undecided(reply.status);
    const std::optional<long long> code =
        answer->find("code") ? answer->find("code")->integer() : std::nullopt;
    if (!code) return undecided(reply.status);
    if (request.method == "POST") {
      // The token's answer.
      const std::string_view token = text_of(answer->at({"data", "stoken"}));
      if (*code == 0 && !token.empty()) {
        ServiceStep step = decided(Verdict::none, Reason::none);
        ServiceRequest detail = api_request(
            "GET",
            std::string(kApi) + "detail?pr=ucpro&fr=pc&pwd_id=" + query_escaped(link.id) +
                "&stoken=" + query_escaped(token) + "&pdir_fid=0&_page=1&_size=50",
            "application/json", kSite);
        step.next.push_back(std::move(detail));
        return step;
      }
    } else if (*code == 0) {
      // The share's files: a share that holds none is no share worth its link.
      const JsonValue* list = answer->at({"data", "list"});
      if (!list || list->kind() != JsonValue::Kind::array) return undecided(reply.status);
      if (list->items().empty()) return decided(Verdict::invalid, Reason::empty_share);
      return valid(!link.code.empty());
    }
    if (auto step = judged_code(*code, text_of(answer->find("message")))) return *step;
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& quark_module() {
  static const QuarkModule module;
  return module;
}

}  // namespace quorvex::services
