// Lanzou (lanzou?.com, lanzn.com, …): the share's own page, on the host the link names.
#include "check/page_reading.h"
#include "check/services/service_common.h"

namespace quorvex::services {

namespace {

class LanzouModule final : public ServiceModule {
 public:
  ShareService service() const override { return ShareService::lanzou; }

  bool allows_host(std::string_view host) const override {
    return service_of_host(host) == ShareService::lanzou;
  }

  ServiceRequest first_request(const ServiceLink& link) const override {
    return api_request("GET", link.url,
                       "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
  }

  ServiceStep judge(const ServiceLink&, const ServiceRequest&,
                    const ServiceReply& reply) const override {
    if (reply.status == 429) return throttled();
    if (reply.status != 200) return undecided(reply.status);
    // Phrases only in what a person sees: the pages' scripts carry the texts of other states.
    const VisiblePage seen = visible_page(reply.body);
    const std::string shown = seen.title + " " + seen.text;
    // What a gone share's page says comes first.
    if (mentions(shown, {"文件取消分享", "来晚啦"}))
      return decided(Verdict::invalid, Reason::cancelled);
    if (mentions(shown, {"文件不存在"})) return decided(Verdict::invalid, Reason::not_found);
    if (mentions(shown, {"文件链接失效"})) return decided(Verdict::invalid, Reason::expired);
    if (mentions(shown, {"输入密码"})) return decided(Verdict::valid, Reason::need_code);
    // A file page: its size, or the download box (markup no other state's page has).
    if (mentions(shown, {"文件大小"}) ||
        mentions(reply.body, {"id=\"downajax\"", "class=\"ifr2\""}))
      return decided(Verdict::valid, Reason::public_share);
    return undecided(reply.status);
  }
};

}  // namespace

const ServiceModule& lanzou_module() {
  static const LanzouModule module;
  return module;
}

}  // namespace quorvex::services
