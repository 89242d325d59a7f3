#include "app/messages.h"

#include <cstdio>
#include <string>

namespace quorvex::msg {

namespace {

std::string number(long long n) { return std::to_string(n); }

}  // namespace

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += *(args.begin() + n);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::vector<LinePart> status_parts(int rows, int shown, const RunSnapshot& run, double rate,
                                   const std::string& left, long long cooldown) {
  std::vector<LinePart> parts;
  parts.push_back({fill("共 %1 行", {number(rows)}), 9});
  if (shown != rows) parts.push_back({fill("（显示 %1 行）", {number(shown)}), 7, true});
  if (run.total > 0 && (run.state != RunState::idle || run.finished > 0)) {
    // What is counted adds up to the rows finished: every row is one of valid, invalid, unknown
    // or no share link; repeats are among them, as in the summary.
    parts.push_back({fill("完成 %1/%2", {number(run.finished), number(run.total)}), 6});
    parts.push_back({fill("有效 %1", {number(run.valid)}), 10});
    parts.push_back({fill("失效 %1", {number(run.invalid)}), 10});
    parts.push_back({fill("未确定 %1", {number(run.unknown)}), run.unknown > 0 ? 10 : 5});
    if (run.not_share_link > 0)
      parts.push_back({fill("不是分享链接 %1", {number(run.not_share_link)}), 8});
    if (run.repeats > 0) parts.push_back({fill("其中重复 %1", {number(run.repeats)}), 4});
  }
  if (!run.active()) return parts;
  if (run.draining) {
    parts.push_back(
        {fill("正在停止：等 %1 个进行中的检测结束，再按一次立即取消", {number(run.running)}), 9});
    return parts;
  }
  char shown_rate[32];
  std::snprintf(shown_rate, sizeof shown_rate, rate < 10 ? "%.1f" : "%.0f", rate);
  parts.push_back({fill("%1 个/秒", {shown_rate}), 2});
  if (!left.empty()) parts.push_back({fill("剩余 %1", {left}), 3});
  if (cooldown > 0) parts.push_back({fill("服务限流，约 %1 秒后继续", {number(cooldown)}), 9});
  return parts;
}

std::string store_problem(const std::string& problem) {
  return fill("检测结果的记录有问题：\n%1", {problem});
}

std::string store_write_problem(const std::string& problem) {
  return fill("检测结果无法再写入记录，本次检测继续进行，但结果不会保留：\n%1", {problem});
}

std::string run_stalled(const std::string& refusal) {
  return fill(
      "系统一直拒绝检测所需的资源（%1），检测已停止。已得到的结果保留；可以减少线程数后再检测。",
      {refusal});
}

std::string duplicates_removed(int removed) {
  if (removed < 0) return "检测或载入正在进行，请等它结束后再删除重复的行。";
  if (removed == 0) return "没有重复的分享链接。";
  return fill("已删除 %1 个重复的行。", {number(removed)});
}

std::string settings_not_saved(const std::string& file, const std::string& reason) {
  return fill("设置无法写入：\n%1\n\n原因：%2\n本次运行中的更改在下次启动时不会保留。",
              {file, reason});
}

std::string input_notes(const DecodeNotes& notes) {
  std::string told;
  if (notes.nul_bytes > 0)
    told += fill("文本中的 %1 个空字节（NUL）已去掉。",
                 {number(static_cast<long long>(notes.nul_bytes))});
  if (notes.bad_bytes > 0) {
    if (!told.empty()) told += '\n';
    told += fill("文本按 UTF-8 读入，其中 %1 个无法识别的字节显示为“?”。",
                 {number(static_cast<long long>(notes.bad_bytes))});
  }
  return told;
}

std::string shares_extracted(std::size_t shares) {
  return fill("提取完成，共 %1 个分享链接，列表已刷新", {number(static_cast<long long>(shares))});
}

std::string run_done(const RunSnapshot& run, const std::string& elapsed) {
  if (run.finished < run.total)
    return fill("检测已停止：有效 %1，失效 %2，未确定 %3，未检测 %4（用时 %5）",
                {number(run.valid), number(run.invalid), number(run.unknown),
                 number(run.total - run.finished), elapsed});
  return fill("检测完成：有效 %1，失效 %2，未确定 %3（用时 %4）",
              {number(run.valid), number(run.invalid), number(run.unknown), elapsed});
}

std::string ca_file_unusable(const std::string& file, const std::string& reason) {
  return fill("证书文件无法使用：\n%1\n\n原因：%2", {file, reason});
}

std::string export_failed_on_desktop(const std::string& file, const std::string& reason) {
  return fill("有效链接无法写到桌面：\n%1\n\n原因：%2", {file, reason});
}

std::string desktop_missing(const std::string& folder) {
  return fill("桌面文件夹不存在：\n%1", {folder});
}

std::string export_file_refused(const std::string& file, const std::string& reason) {
  return fill("无法写入：\n%1\n\n原因：%2\n请另选一个文件名或位置。", {file, reason});
}

std::string exported_to(const std::string& file) { return fill("有效链接已导出到：\n%1", {file}); }

std::string nothing_opens(const std::string& what) {
  return fill("没有能打开它的程序（浏览器或文件管理器）：\n%1", {what});
}

std::string not_a_share_link(const std::string& url) {
  return fill("这一行不是百度网盘的分享链接，不会打开：\n%1", {url});
}

}  // namespace quorvex::msg
