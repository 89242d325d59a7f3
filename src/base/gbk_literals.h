// GBK byte constants of the program's fixed texts. Source files are UTF-8, the program's
// texts are GBK: each constant spells the GBK bytes, with the text itself in the comment.
#pragma once

#include <string_view>

namespace quorvex::gbk {

inline constexpr std::string_view kTiQuMa = "\xCC\xE1\xC8\xA1\xC2\xEB";                 // 提取码
inline constexpr std::string_view kMiMa = "\xC3\xDC\xC2\xEB";                           // 密码
inline constexpr std::string_view kJiHuoMa = "\xBC\xA4\xBB\xEE\xC2\xEB";                // 激活码
inline constexpr std::string_view kLianJie = "\xC1\xB4\xBD\xD3";                        // 链接
inline constexpr std::string_view kXiaZaiLianJie = "\xCF\xC2\xD4\xD8\xC1\xB4\xBD\xD3";  // 下载链接
inline constexpr std::string_view kFullColon = "\xA3\xBA";                              // ：
inline constexpr std::string_view kAskForCode =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xCC\xE1\xC8\xA1\xC2\xEB";  // 请输入提取码
inline constexpr std::string_view kExpiryTime = "\xCA\xA7\xD0\xA7\xCA\xB1\xBC\xE4";  // 失效时间
inline constexpr std::string_view kValidMark = "\xA1\xCC";                           // √
inline constexpr std::string_view kDoneMark = "\xCD\xEA\xB3\xC9";                    // 完成
inline constexpr std::string_view kMaColon = "\xC2\xEB\xA3\xBA";                     // 码：
inline constexpr std::string_view kProgress1 = "\xBD\xF8\xB6\xC8\x31\x2F\x32\x3A\x20";  // 进度1/2:
inline constexpr std::string_view kProgress2 =
    "\xBD\xF8\xB6\xC8\x32\x2F\x32\x3A\x20\xD5\xFD\xD4\xDA\xC5\xC5\xB0\xE6\x2E\x2E\x2E\x2E\x2E\x2E"
    "\x2E";  // 进度2/2: 正在排版.......
inline constexpr std::string_view kProgressDone =
    "\xBD\xF8\xB6\xC8\x3A\x20\xC8\xAB\xB2\xBF\xCD\xEA\xB3\xC9\x2E\x2E\x2E\x2E\x2E\x2E\x2E";  // 进度:
                                                                                             // 全部完成.......
inline constexpr std::string_view kTypesetNotice =
    "\xC5\xC5\xB0\xE6\xCD\xEA\xB3\xC9\x2C\xC7\xEB\xB5\xE3\xBB\xF7\xCB\xA2\xD0\xC2\xC1\xD0\xB1"
    "\xED";  // 排版完成,请点击刷新列表
inline constexpr std::string_view kNoticeCaption = "\xCC\xE1\xCA\xBE";                   // 提示
inline constexpr std::string_view kDefaultCaption = "\xD3\xD1\xC7\xE9\xCC\xE1\xD0\xD1";  // 友情提醒
inline constexpr std::string_view kAboutText =
    "\xB9\xA7\xCF\xB2\xC4\xE3\xB7\xA2\xCF\xD6\xD0\xC2\xB4\xF3\xC2\xBD\x7E";  // 恭喜你发现新大陆~
inline constexpr std::string_view kAboutCaption =
    "\xBD\xF1\xCC\xEC\xD2\xB2\xCA\xC7\xB3\xE4\xC2\xFA\xCF\xA3\xCD\xFB\xB5\xC4\xD2\xBB\xCC"
    "\xEC";  // 今天也是充满希望的一天
inline constexpr std::string_view kSummaryChecked =
    "\xB9\xB2\xBC\xC6\xBC\xEC\xB2\xE2\x3A";  // 共计检测:
inline constexpr std::string_view kSummaryValid =
    "\xCC\xF5\xCD\xF8\xD6\xB7\x0D\x0A\xD3\xD0\xD0\xA7\xCD\xF8\xD6\xB7\x3A";  // 条网址\r\n有效网址:
inline constexpr std::string_view kSummaryInvalid =
    "\x0D\x0A\xCA\xA7\xD0\xA7\xCD\xF8\xD6\xB7\x3A";  // \r\n失效网址:
inline constexpr std::string_view kSummaryUnknown =
    "\x0D\x0A\xCE\xB4\xC8\xB7\xB6\xA8\xCD\xF8\xD6\xB7\x3A";                  // \r\n未确定网址:
inline constexpr std::string_view kSummaryCaption = "\xCA\xFD\xBE\xDD\x3A";  // 数据:
inline constexpr std::string_view kExportName = "\xD3\xD0\xD0\xA7\xC1\xB4\xBD\xD3";  // 有效链接
inline constexpr std::string_view kExportLink = "\xC1\xB4\xBD\xD3\xA3\xBA";          // 链接：
inline constexpr std::string_view kExportCode = "\xC3\xDC\xC2\xEB\xA3\xBA";          // 密码：
inline constexpr std::string_view kYear = "\xC4\xEA";                                // 年
inline constexpr std::string_view kMonth = "\xD4\xC2";                               // 月
inline constexpr std::string_view kDay = "\xC8\xD5";                                 // 日
inline constexpr std::string_view kHour = "\xCA\xB1";                                // 时
inline constexpr std::string_view kMinute = "\xB7\xD6";                              // 分
inline constexpr std::string_view kSecond = "\xC3\xEB";                              // 秒
inline constexpr std::string_view kKeyTheme = "\xD6\xF7\xCC\xE2";                    // 主题
inline constexpr std::string_view kKeyThreads = "\xCF\xDF\xB3\xCC\xCA\xFD";          // 线程数
inline constexpr std::string_view kKeyMode = "\xC4\xA3\xCA\xBD";                     // 模式
inline constexpr std::string_view kTrue = "\xD5\xE6";                                // 真
inline constexpr std::string_view kFalse = "\xBC\xD9";                               // 假
inline constexpr std::string_view kThemeCaption = "\xD6\xF7\xCC\xE2\x3A";            // 主题:
inline constexpr std::string_view kFullWidthBlank = "\xA1\xA1";                      // 　

// "  服务限流，约 N 秒后继续" (two blanks before): the title while the service's throttling is
// waited out.
inline constexpr std::string_view kThrottledFor =
    "\x20\x20\xB7\xFE\xCE\xF1\xCF\xDE\xC1\xF7\xA3\xAC\xD4\xBC\x20";
inline constexpr std::string_view kThrottledResume = "\x20\xC3\xEB\xBA\xF3\xBC\xCC\xD0\xF8";

// Keywords with the two blanks that typesetting puts before them.
inline constexpr std::string_view kSpacedLianJie = "  \xC1\xB4\xBD\xD3";          //   链接
inline constexpr std::string_view kSpacedMiMa = "  \xC3\xDC\xC2\xEB";             //   密码
inline constexpr std::string_view kSpacedJiHuoMa = "  \xBC\xA4\xBB\xEE\xC2\xEB";  //   激活码

inline constexpr std::string_view kSummaryDuplicates =
    "\x0D\x0A\xD6\xD8\xB8\xB4\xCD\xF8\xD6\xB7\x3A";  // \r\n重复网址:
inline constexpr std::string_view kSummaryNotShare =
    "\x0D\x0A\xB2\xBB\xCA\xC7\xB7\xD6\xCF\xED\xC1\xB4\xBD\xD3\x3A";  // \r\n不是分享链接:

// What link extraction looks for and writes.
inline constexpr std::string_view kMa = "\xC2\xEB";                                      // 码
inline constexpr std::string_view kMi = "\xC3\xDC";                                      // 密
inline constexpr std::string_view kTiQu = "\xCC\xE1\xC8\xA1";                            // 提取
inline constexpr std::string_view kFangWen = "\xB7\xC3\xCE\xCA";                         // 访问
inline constexpr std::string_view kJieYa = "\xBD\xE2\xD1\xB9";                           // 解压
inline constexpr std::string_view kWangPanLianJie = "\xCD\xF8\xC5\xCC\xC1\xB4\xBD\xD3";  // 网盘链接
inline constexpr std::string_view kBaiDuWangPan = "\xB0\xD9\xB6\xC8\xCD\xF8\xC5\xCC";  // 百度网盘
inline constexpr std::string_view kUnnamed = "\xCE\xB4\xC3\xFC\xC3\xFB";               // 未命名
inline constexpr std::string_view kShareFooter =
    "\x2D\x2D\xC0\xB4\xD7\xD4\xB0\xD9\xB6\xC8\xCD\xF8\xC5\xCC";  // --来自百度网盘
inline constexpr std::string_view kCopyHint =
    "\xB8\xB4\xD6\xC6\xD5\xE2\xB6\xCE\xC4\xDA\xC8\xDD";  // 复制这段内容

}  // namespace quorvex::gbk
