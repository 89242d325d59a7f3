#include "share_pages.h"

#include "share_service.h"

namespace quorvex::test {

std::string share_page(std::string_view title, std::string_view body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + std::string(title) +
         "</title></head><body>" + std::string(body) + "</body></html>";
}

const std::string& ShareService::security_check_page() {
  static const std::string kPage =
      share_page("百度安全验证",
                 "<div class=\"timeout-title\">网络不给力，请稍后重试</div>"
                 "<div>安全验证</div><a>返回首页</a><a>问题反馈</a>");
  return kPage;
}

std::string ShareService::link(std::string_view id) {
  return "https://pan.baidu.com/s/1" + std::string(id);
}

}  // namespace quorvex::test
