#include "shell/shared_texts.h"

#include "base/text_ops.h"
#include "model/share_url.h"
#include "shell/error_text.h"
#include "text/extract.h"

namespace quorvex {

std::string input_file_refusal(const InputFile& file, const std::string& shown, Language language) {
  const std::string mib = std::to_string(kMaxInputBytes >> 20);
  const bool zh = language == Language::chinese;
  switch (file.status) {
    case InputFile::Status::too_large:
      return zh ? "文件太大，无法载入（上限 " + mib + " MiB），请把它分成几个较小的文件：\n" + shown
                : shown + ": file is larger than " + mib + " MiB; split it into smaller files";
    case InputFile::Status::not_a_file:
      return zh ? "这是一个文件夹，不是文本文件：\n" + shown
                : shown + ": is a folder, not a text file";
    default:
      return zh ? "无法读取文件：\n" + shown + "\n\n原因：" + error_text_zh(file.reason)
                : shown + ": cannot read: " + file.reason;
  }
}

std::string stall_refusal(const RunSnapshot& run, Language language) {
  if (!run.refusal.empty()) return run.refusal;
  return language == Language::chinese ? "线程或连接" : "a thread or a connection";
}

std::size_t shares_worth_extracting(const LinkTable& table, std::string_view source_text) {
  std::string url;
  bool linkless = false;
  for (int r = 0, rows = table.row_count(); r < rows && !linkless; ++r) {
    share_url_of_row_into(table.cell(r, kColumnLink), table.cell(r, kColumnName), url);
    linkless = !is_share_url(url);
  }
  if (!linkless) return 0;
  std::size_t found = 0;
  extract_share_text(source_text, &found);
  return found;
}

std::string extract_hint(std::size_t shares) {
  return "这段文本不是一行一个链接，找到 " + std::to_string(shares) +
         " 个分享链接：点「提取链接」整理后再检测";
}

std::optional<int> usable_thread_count(std::string_view text) {
  const int count = parse_leading_int(text);
  if (count > 0) return count;
  return std::nullopt;
}

}  // namespace quorvex
