#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

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

RowRecord record_of(int index, const LinkRow& row) {
  RowRecord r;
  r.index = index;
  for (int c = 0; c < kColumnCount; ++c) r.cells[static_cast<std::size_t>(c)] = row.cell(c);
  r.verdict = row.verdict();
  return r;
}

RowRecord record_of(const LinkTable& table, int index) {
  RowRecord r;
  r.index = index;
  for (int c = 0; c < kColumnCount; ++c)
    r.cells[static_cast<std::size_t>(c)] = table.cell(index, c);
  r.verdict = table.verdict(index);
  return r;
}

namespace {

struct Field {
  std::string name;
  std::string value;  // UTF-8
  bool is_null = false;
  bool is_literal = false;  // a JSON number or boolean
};

// The columns every format prints, in order: the JSON keys, the CSV and Markdown headers.
std::vector<Field> fields_of(const RowRecord& row, bool verdicts) {
  static constexpr std::array<const char*, kColumnCount> kKeys = {"name", "link", "code", "status",
                                                                  "done"};
  std::vector<Field> fields;
  fields.push_back({"row", std::to_string(row.index + 1), false, true});
  for (int c = 0; c < kColumnCount; ++c) {
    if (verdicts && c == kColumnDone) {
      // The verdict and its reason stand next to the status glyph; null while undecided.
      const RowVerdict v = row.verdict;
      fields.push_back(
          {"verdict", std::string(verdict_code(v.verdict)), v.verdict == Verdict::none});
      fields.push_back({"reason", std::string(reason_code(v.reason)), v.reason == Reason::none});
      // Whether the verdict came from the verdict store rather than a fetch.
      fields.push_back({"cached", v.cached ? "true" : "false", false, true});
    }
    fields.push_back(
        {kKeys[static_cast<std::size_t>(c)], gbk_to_utf8(row.cells[static_cast<std::size_t>(c)])});
  }
  return fields;
}

std::vector<Field> header_fields(bool verdicts) { return fields_of(RowRecord{}, verdicts); }

void append_csv(std::string& out, std::string_view value) {
  // Quoted when it holds a separator, a quote, a line end or blanks at its ends; quotes doubled.
  const bool quote = value.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!quote) {
    out.append(value);
    return;
  }
  out.push_back('"');
  for (const char c : value) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void append_markdown(std::string& out, std::string_view value) {
  for (const char c : value) {
    if (c == '|' || c == '\\' || c == '`' || c == '*' || c == '[' || c == ']' || c == '<' ||
        c == '>') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\r' || c == '\n') {
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

std::string json_row(const RowRecord& row, bool verdicts) {
  std::string out = "{";
  bool first = true;
  for (const Field& f : fields_of(row, verdicts)) {
    if (!first) out.push_back(',');
    first = false;
    append_json_string(out, f.name);
    out.push_back(':');
    if (f.is_null) {
      out.append("null");
    } else if (f.is_literal) {
      out.append(f.value);
    } else {
      append_json_string(out, f.value);
    }
  }
  out.append("}\n");
  return out;
}

std::string csv_header(bool verdicts) {
  std::string out;
  for (const Field& f : header_fields(verdicts)) {
    if (!out.empty()) out.push_back(',');
    out.append(f.name);
  }
  return out.append("\r\n");
}

std::string csv_row(const RowRecord& row, bool verdicts) {
  std::string out;
  bool first = true;
  for (const Field& f : fields_of(row, verdicts)) {
    if (!first) out.push_back(',');
    first = false;
    if (!f.is_null) append_csv(out, f.value);
  }
  return out.append("\r\n");
}

std::string markdown_header(bool verdicts) {
  std::string names = "|", rule = "|";
  for (const Field& f : header_fields(verdicts)) {
    names.append(" ").append(f.name).append(" |");
    rule.append(f.is_literal && f.name == "row" ? "---:|" : "---|");
  }
  return names + "\n" + rule + "\n";
}

std::string markdown_row(const RowRecord& row, bool verdicts) {
  std::string out = "|";
  for (const Field& f : fields_of(row, verdicts)) {
    out.push_back(' ');
    if (!f.is_null) append_markdown(out, f.value);
    out.append(" |");
  }
  return out.append("\n");
}

bool write_rows(std::FILE* out, const LinkTable& table, Format format, bool verdicts, bool gbk) {
  if (format == Format::text) return write_rows_table(out, table, gbk);
  bool ok = true;
  std::string buffer;
  if (format == Format::csv) buffer = csv_header(verdicts);
  if (format == Format::markdown) buffer = markdown_header(verdicts);
  table.for_each_row([&](int index, const LinkRow& row) {
    const RowRecord r = record_of(index, row);
    buffer.append(format == Format::json  ? json_row(r, verdicts)
                  : format == Format::csv ? csv_row(r, verdicts)
                                          : markdown_row(r, verdicts));
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
