#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "base/charset.h"

namespace quorvex::cli {

namespace {

void append_json_string(std::string& out, std::string_view utf8) {
  out.push_back('"');
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out.append(buf);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

// Terminal columns a GBK text takes: a double-byte character is drawn two columns wide, so the
// width is its byte count.
std::size_t gbk_columns(std::string_view s) { return s.size(); }

// Control bytes would break the table's lines; they are shown as blanks.
std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

}  // namespace

bool write_text(std::FILE* out, std::FILE* err, std::string_view bytes) {
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return finish_output(out, err, ok) == 0;
}

bool write_rows_json(std::FILE* out, const LinkTable& table, bool verdicts) {
  static constexpr std::array<const char*, kColumnCount> kKeys = {"name", "link", "code", "status",
                                                                  "done"};
  bool ok = true;
  std::string buffer;
  table.for_each_row([&](int, const LinkRow& row) {
    buffer.push_back('{');
    for (int c = 0; c < kColumnCount; ++c) {
      if (c) buffer.push_back(',');
      if (verdicts && c == kColumnDone) {
        // The verdict and its reason stand next to the status glyph; null while undecided.
        const RowVerdict v = row.verdict();
        buffer.append("\"verdict\":");
        if (v.verdict == Verdict::none) {
          buffer.append("null");
        } else {
          append_json_string(buffer, verdict_code(v.verdict));
        }
        buffer.append(",\"reason\":");
        if (v.reason == Reason::none) {
          buffer.append("null");
        } else {
          append_json_string(buffer, reason_code(v.reason));
        }
        // Whether the verdict came from the verdict store rather than a fetch.
        buffer.append(v.cached ? ",\"cached\":true," : ",\"cached\":false,");
      }
      buffer.push_back('"');
      buffer.append(kKeys[c]);
      buffer.append("\":");
      append_json_string(buffer, gbk_to_utf8(row.cell(c)));
    }
    buffer.append("}\n");
    if (buffer.size() >= (1 << 16)) {
      ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
      buffer.clear();
    }
  });
  return ok && std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
}

bool write_rows_table(std::FILE* out, const LinkTable& table, bool gbk) {
  // Header texts: 名称 网盘地址 密码 状态 执行 (GBK).
  static constexpr std::array<std::string_view, kColumnCount> kHeaders = {
      "\xC3\xFB\xB3\xC6", "\xCD\xF8\xC5\xCC\xB5\xD8\xD6\xB7", "\xC3\xDC\xC2\xEB",
      "\xD7\xB4\xCC\xAC", "\xD6\xB4\xD0\xD0"};
  // Very long cells would push every other row off the screen; columns stop growing at 80.
  constexpr std::size_t kMaxWidth = 80;
  std::array<std::size_t, kColumnCount> width{};
  for (int c = 0; c < kColumnCount; ++c) width[c] = gbk_columns(kHeaders[c]);
  table.for_each_row([&](int, const LinkRow& row) {
    for (int c = 0; c < kColumnCount; ++c)
      width[c] = std::min(kMaxWidth, std::max(width[c], gbk_columns(row.cell(c))));
  });
  bool ok = true;
  std::string line;
  auto emit = [&](auto cell_of) {
    line.clear();
    for (int c = 0; c < kColumnCount; ++c) {
      const std::string cell = printable(cell_of(c));
      line.append(cell);
      if (c + 1 < kColumnCount)
        line.append(width[c] - std::min(width[c], gbk_columns(cell)) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line.push_back('\n');
    const std::string shown = gbk ? line : gbk_to_utf8(line);
    ok = ok && std::fwrite(shown.data(), 1, shown.size(), out) == shown.size();
  };
  emit([&](int c) { return kHeaders[c]; });
  table.for_each_row([&](int, const LinkRow& row) { emit([&](int c) { return row.cell(c); }); });
  return ok;
}

int finish_output(std::FILE* out, std::FILE* err, bool ok) {
  if (std::fflush(out) != 0) ok = false;
  // A reader that stopped early (| head) wants no more output and no complaint either.
  if (!ok && errno == EPIPE) return 1;
  if (!ok) {
    std::fprintf(err, "quorvex-cli: cannot write the output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace quorvex::cli
