#include "share_pages.h"

#include "share_service.h"

namespace quorvex::test {

std::string share_page(std::string_view title, std::string_view body) {
  // As today's pages are: the texts of every other state in a script, a style and a comment,
  // none of which a person sees.
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + std::string(title) +
         "</title><style>.verify-captcha{display:none} /* 验证码 */</style>"
         "<script type=\"text/javascript\">var yunData = {}; var messages = {"
         "\"-9\":\"提取码错误\",\"-62\":\"百度安全验证\",\"busy\":\"请求过于频繁\","
         "\"expired\":\"该分享文件已过期\",\"deleted\":\"啊哦，你来晚了，分享的文件已经被删除了\","
         "\"gone\":\"链接不存在\",\"ask\":\"请输入提取码\",\"time\":\"失效时间\"};"
         "if (a < b && b > c) { document.write('</div>'); }</script>"
         "</head><body><!-- 此链接分享内容暂时不可访问 -->" +
         std::string(body) + "</body></html>";
}

std::string code_page() {
  // The row for a picture code stays hidden until wrong codes were typed.
  return share_page("百度网盘 请输入提取码",
                    "<div class=\"verify-input\"><dl class=\"pickpw\"><dt>请输入提取码：</dt>"
                    "<dd><input type=\"text\" id=\"accessCode\"><a>提取文件</a></dd></dl>"
                    "<dl class=\"verify-captcha\" style=\"display:none\"><dt>验证码：</dt><dd>"
                    "<input type=\"text\"><img alt=\"验证码\" src=\"/genimage\"><a>换一张</a>"
                    "</dd></dl></div>");
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

int ShareService::list_requests_for(std::string_view id) const {
  int count = 0;
  for (const RecordedRequest& r : requests()) {
    if (r.target.rfind("/share/list?", 0) != 0) continue;
    const std::size_t at = r.target.find("&shorturl=");
    if (at == std::string::npos) continue;
    const std::size_t start = at + 10;
    if (r.target.substr(start, r.target.find('&', start) - start) == id) ++count;
  }
  return count;
}

}  // namespace quorvex::test
