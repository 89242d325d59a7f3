#include "shell/export.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include "base/gbk_literals.h"
#include "base/platform.h"

namespace quorvex {

std::string summary_text(long long valid, long long invalid, long long unknown, long long repeats,
                         long long not_share_link) {
  std::string text(gbk::kSummaryChecked);
  text.append(std::to_string(valid + invalid + unknown));
  text.append(gbk::kSummaryValid).append(std::to_string(valid));
  text.append(gbk::kSummaryInvalid).append(std::to_string(invalid));
  if (unknown > 0) text.append(gbk::kSummaryUnknown).append(std::to_string(unknown));
  if (not_share_link > 0) text.append(gbk::kSummaryNotShare).append(std::to_string(not_share_link));
  if (repeats > 0) text.append(gbk::kSummaryDuplicates).append(std::to_string(repeats));
  return text;
}

std::string date_time_text(const std::tm& t) {
  std::string text = std::to_string(t.tm_year + 1900);
  text.append(gbk::kYear).append(std::to_string(t.tm_mon + 1)).append(gbk::kMonth);
  text.append(std::to_string(t.tm_mday)).append(gbk::kDay);
  if (t.tm_sec != 0) {
    text.append(std::to_string(t.tm_hour)).append(gbk::kHour).append(std::to_string(t.tm_min));
    text.append(gbk::kMinute).append(std::to_string(t.tm_sec)).append(gbk::kSecond);
  } else if (t.tm_min != 0) {
    text.append(std::to_string(t.tm_hour)).append(gbk::kHour).append(std::to_string(t.tm_min));
    text.append(gbk::kMinute);
  } else if (t.tm_hour != 0) {
    text.append(std::to_string(t.tm_hour)).append(gbk::kHour);
  }
  return text;
}

std::string export_text(const LinkTable& table, const std::tm& now) {
  std::string text;
  table.for_each_row([&](int, const RowView& row) {
    if (row.cell(kColumnStatus) != gbk::kValidMark) return;
    text.append(" ").append(row.cell(kColumnName)).append("   ");
    if (!row.cell(kColumnLink).empty()) {
      text.append(gbk::kExportLink).append(row.cell(kColumnLink)).append("   ");
      if (!row.cell(kColumnCode).empty())
        text.append(gbk::kExportCode).append(row.cell(kColumnCode)).append("   ");
    }
    text.append("\r\n");
  });
  text.append("\r\n\r\nQuorvexByOrvane   ").append(date_time_text(now));
  return text;
}

namespace {

// The sources' random numbers as a generator the standard distributions take.
struct SourceBits {
  using result_type = std::uint32_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return 0xFFFFFFFFu; }
  result_type operator()() { return random(); }
  const std::function<std::uint32_t()>& random;
};

}  // namespace

ExportSources ExportSources::system() {
  return {[] {
            const std::time_t now = std::time(nullptr);
            return quorvex::local_time(now);
          },
          [] {
            static std::mutex mutex;
            static std::mt19937 generator{std::random_device{}()};
            std::lock_guard lock(mutex);
            return static_cast<std::uint32_t>(generator());
          }};
}

ExportResult export_valid_links(const LinkTable& table, const std::string& folder,
                                const ExportSources& sources) {
  return write_export_file(folder, export_text(table, sources.local_time()), sources);
}

ExportResult write_new_file(const std::string& path, const std::string& text) {
  ExportResult result;
  result.path = path;
  auto fail = [&](int code) {
    result.error_code = code;
    result.error = std::strerror(code);
    return result;
  };
  const int fd = create_file(path, CreateMode::exclusive);
  if (fd < 0) return fail(errno);
  const bool written = write_all(fd, text);
  const int code = errno;
  if (!close_file(fd) || !written) {
    const int cause = written ? errno : code;
    remove_file(path);
    return fail(cause);
  }
  result.ok = true;
  return result;
}

ExportResult write_export_file(const std::string& folder, const std::string& text,
                               const ExportSources& sources) {
  ExportResult result;
  SourceBits rng{sources.random};
  std::uniform_int_distribution<int> letter(97, 122);
  std::uniform_int_distribution<int> number(1, 1000);
  // 26,000 names exist; after that many draws all taken is the likely reason.
  for (int attempt = 0; attempt < 26000; ++attempt) {
    const char l = static_cast<char>(letter(rng));
    const int k = number(rng);
    // The file system takes UTF-8 names: 有效链接 + letter + number + ".txt".
    result = write_new_file(folder + "/\xE6\x9C\x89\xE6\x95\x88\xE9\x93\xBE\xE6\x8E\xA5" + l +
                                std::to_string(k) + ".txt",
                            text);
    if (result.ok || result.error_code != EEXIST) return result;
  }
  return result;
}

}  // namespace quorvex
