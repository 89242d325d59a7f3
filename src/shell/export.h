// The summary text and the export of valid links.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "model/link_table.h"

namespace quorvex {

// "共计检测:N条网址\r\n有效网址:V\r\n失效网址:X" (GBK), then "\r\n未确定网址:U" when U > 0,
// "\r\n不是分享链接:K" when K > 0 and "\r\n重复网址:R" when R > 0; N = V + X + U. The K rows hold
// no share link: marked "x" but never fetched, they are outside N and X, and this line is what
// makes the counts add up to the list. The R rows repeat a share of an earlier row: they are
// among the N, but their share was fetched only once.
std::string summary_text(long long valid, long long invalid, long long unknown,
                         long long repeats = 0, long long not_share_link = 0);

// Date and time as "Y年M月D日" and, shortened as the clock allows, "h时m分s秒".
std::string date_time_text(const std::tm& t);

// The export file's content: one line per row marked valid, then the closing line.
std::string export_text(const LinkTable& table, const std::tm& now);

struct ExportResult {
  bool ok = false;
  std::string path;    // the file written, or the last one tried
  std::string error;   // the system's words when not ok
  int error_code = 0;  // and its number
};

// The clock and the chance that an export draws on; tests pass fixed ones.
struct ExportSources {
  std::function<std::tm()> local_time;    // the local date and time now
  std::function<std::uint32_t()> random;  // uniformly distributed 32-bit numbers
  // The system's clock, and one generator for the process seeded from the system's entropy.
  static ExportSources system();
};

// Writes text into a new file folder/有效链接<letter><number>.txt. The name is drawn at random and
// drawn again while a file of that name exists, so an earlier export is never overwritten.
ExportResult write_export_file(const std::string& folder, const std::string& text,
                               const ExportSources& sources);

// Writes text into a new file at path; a file already there is left alone (EEXIST).
ExportResult write_new_file(const std::string& path, const std::string& text);

// The export of the list's valid rows into a new file in folder, stamped with the sources' time.
ExportResult export_valid_links(const LinkTable& table, const std::string& folder,
                                const ExportSources& sources);

}  // namespace quorvex
