// Every text the window shows, in one place (UTF-8): the controls' captions and the messages. A
// window built on any toolkit takes them from here, so that they read the same in each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "check/run_progress.h"
#include "model/share_services.h"
#include "shell/progress_estimate.h"
#include "text/file_input.h"

namespace quorvex::msg {

// Puts args in place of %1, %2, ... (at most nine).
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);

// Captions of the controls and dialogs.
inline constexpr const char* kWindowTitle = "Quorvex 2.0";
inline constexpr const char* kGroup = "设置栏";
inline constexpr const char* kSingleColumn = "单列模式";
inline constexpr const char* kThreadsLabel = "线程数：";
inline constexpr const char* kDefaultThreads = "10";
inline constexpr const char* kCredit = "Halvik@Orvane";
inline constexpr const char* kFilterLabel = "显示：";
inline constexpr const char* kFilterTip = "只显示这种结果的行（Ctrl+F）";
inline constexpr const char* kFilterAll = "全部";
inline constexpr const char* kFilterValid = "√ 有效";
inline constexpr const char* kFilterInvalid = "x 失效";
inline constexpr const char* kFilterUnknown = "? 未确定";
inline constexpr const char* kFilterUnchecked = "未检测";
// The share services by their names in Chinese, in ShareService order: the filter's entries, and
// what the reason column and the tooltip say of a share that is not Baidu's.
inline constexpr const char* kServiceNames[kServiceCount] = {
    "百度网盘", "夸克网盘", "阿里云盘", "115网盘", "123云盘", "天翼云盘", "蓝奏云"};
// Between the service and the reason in the reason column.
inline constexpr const char* kServiceSeparator = " · ";
inline constexpr const char* kColumnHeaders[6] = {"名称", "网盘地址", "密码",
                                                  "状态", "执行",     "原因"};
inline constexpr const char* kFromStore = "（来自已存结果）";
// After the reason in the reason column: the verdict came from the store.
inline constexpr const char* kStoredMark = " · 已存";
inline constexpr const char* kStartCheck = "开始检测";
inline constexpr const char* kStopCheck = "停止检测";
inline constexpr const char* kHintButton = "提取链接";
// What the empty list says in its middle.
inline constexpr const char* kEmptyListHint =
    "把含有分享链接的文本拖到这里，或 Ctrl+V 粘贴、Ctrl+O 打开";
inline constexpr const char* kLastChecked = "\n上次检测：";
inline constexpr const char* kOk = "确定";
inline constexpr const char* kOpenFolder = "打开所在文件夹";
inline constexpr const char* kOpenTitle = "打开文本文件";
inline constexpr const char* kOpenFilter = "文本文件 (*.txt);;所有文件 (*)";
inline constexpr const char* kExportTitle = "导出有效链接";
inline constexpr const char* kGbkFilter = "GBK 文本 (*.txt)";
inline constexpr const char* kUtf8Filter = "UTF-8 文本 (*.txt)";
inline constexpr const char* kExportFileName = "有效链接.txt";
inline constexpr const char* kDefaultCaption = "友情提醒";
inline constexpr const char* kNoticeCaption = "提示";
// Captions of message-box buttons, for toolkits whose own are not in Chinese.
inline constexpr const char* kButtonCancel = "取消";
inline constexpr const char* kButtonAbort = "中止";
inline constexpr const char* kButtonRetry = "重试";
inline constexpr const char* kButtonIgnore = "忽略";
inline constexpr const char* kButtonYes = "是";
inline constexpr const char* kButtonNo = "否";
inline constexpr const char* kButtonClose = "关闭";

// The status line, as parts that a narrow line leaves out (see fitted_line), the least useful
// first; its parts are set apart by kStatusSeparator.
std::vector<LinePart> status_parts(int rows, int shown, const RunSnapshot& run, double rate,
                                   const std::string& left, long long cooldown);
inline constexpr const char* kStatusSeparator = "　";

// Titles of the messages.
inline constexpr const char* kStoreTitle = "检测结果记录";
inline constexpr const char* kLoadTitle = "无法载入列表";
inline constexpr const char* kFileTitle = "无法载入文件";
inline constexpr const char* kStoppedTitle = "检测已停止";
inline constexpr const char* kSettingsTitle = "无法保存设置";
inline constexpr const char* kCannotCheckTitle = "无法检测";
inline constexpr const char* kExportFailedTitle = "导出失败";
inline constexpr const char* kExportedTitle = "导出完成";
inline constexpr const char* kCannotOpenTitle = "无法打开";
inline constexpr const char* kNotShareTitle = "不是分享链接";

// The messages.
std::string store_problem(const std::string& problem);
std::string store_write_problem(const std::string& problem);
inline constexpr const char* kLoadOutOfMemory =
    "内存不足，无法载入这么多行。请把文本分成几个较小的文件再载入。";
std::string run_stalled(const std::string& refusal);
inline constexpr const char* kThrottledTitle = "服务限流";
inline constexpr const char* kThrottledGaveUp =
    "分享服务一直限流，长时间没有一个正常的回应，检测已停止；没有得到结果的行标为“?”。"
    "稍后可以“重新检测未确定的行”。";
inline constexpr const char* kNoUnknownRows = "没有未确定的行。";
inline constexpr const char* kBusyDelete = "检测或载入正在进行，请等它结束后再删除行。";
std::string duplicates_removed(int removed);  // -1: refused while busy
std::string settings_not_saved(const std::string& file, const std::string& reason);
std::string input_notes(const DecodeNotes& notes);
inline constexpr const char* kNoSharesFound = "没有找到分享链接，原文未改动。";
std::string shares_extracted(std::size_t shares);
inline constexpr const char* kNothingToCheck =
    "列表是空的，没有可检测的链接。\n把含有分享链接的文本拖到列表里，或 Ctrl+V 粘贴、Ctrl+O 打开。";
// When a run has ended: how it came out and how long it took (`elapsed` as m:ss).
std::string run_done(const RunSnapshot& run, const std::string& elapsed);
inline constexpr const char* kRunDoneCaption = "检测完成";
inline constexpr const char* kRunStoppedCaption = "检测已停止";
inline constexpr const char* kThreadCountFirst =
    "请先在“线程数”中填一个大于 0 的数字（例如 10），再开始检测。";
std::string ca_file_unusable(const std::string& file, const std::string& reason);
inline constexpr const char* kNoSchedulerThread =
    "系统没有给检测分配线程（线程太多？），检测没有开始。";
std::string export_failed_on_desktop(const std::string& file, const std::string& reason);
std::string desktop_missing(const std::string& folder);
inline constexpr const char* kExportGivenUp = "\n\n有效链接没有导出。";
std::string export_file_refused(const std::string& file, const std::string& reason);
inline constexpr const char* kExportWouldOverwrite = "已有同名文件，导出不会覆盖它";
std::string exported_to(const std::string& file);
std::string nothing_opens(const std::string& what);
std::string not_a_share_link(const std::string& url);

}  // namespace quorvex::msg
