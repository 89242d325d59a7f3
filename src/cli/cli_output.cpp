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

// The C1 controls U+0080 to U+009F in UTF-8: 0xC2 and a byte from 0x80 to 0x9F. A terminal takes
// U+009B as the start of an escape sequence, as it takes ESC [.
bool is_c1_at(std::string_view utf8, std::size_t i) {
  return static_cast<unsigned char>(utf8[i]) == 0xC2 && i + 1 < utf8.size() &&
         static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
         static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
}

}  // namespace

// A JSON string. Beyond what JSON requires, no C1 control stands as itself either, so that
// printing the line to a terminal cannot start an escape sequence.
void append_json_string(std::string& out, std::string_view utf8) {
  out.push_back('"');
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char ch = utf8[i];
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
        if (c < 0x20 || c == 0x7F || is_c1_at(utf8, i)) {
          const unsigned code = c == 0xC2 ? static_cast<unsigned char>(utf8[++i]) : c;
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", code);
          out.append(buf);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

namespace {

// Text as a reader's terminal or spreadsheet shows it: every control character (C0, DEL, C1,
// and with ESC every escape sequence) a blank, as the text table shows them.
std::string visible_text(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) {
      out.push_back(' ');
    } else if (is_c1_at(utf8, i)) {
      out.push_back(' ');
      ++i;
    } else {
      out.push_back(utf8[i]);
    }
  }
  return out;
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

RowRecord record_of(int index, const RowView& row) {
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

// The columns every format prints, in order (the JSON keys, the CSV and Markdown headers): calls
// fn(name, utf8_value, is_null, is_literal) for each; a literal is a JSON number or boolean.
template <class Fn>
void for_each_field(const RowRecord& row, bool verdicts, Fn&& fn) {
  static constexpr std::array<std::string_view, kColumnCount> kKeys = {"name", "link", "code",
                                                                       "status", "done"};
  fn("row", std::to_string(row.index + 1), false, true);
  for (int c = 0; c < kColumnCount; ++c) {
    if (verdicts && c == kColumnDone) {
      // The verdict and its reason stand next to the status glyph; null while undecided.
      const RowVerdict v = row.verdict;
      fn("verdict", verdict_code(v.verdict), v.verdict == Verdict::none, false);
      fn("reason", reason_code(v.reason), v.reason == Reason::none, false);
      // Whether the verdict came from the verdict store rather than a fetch.
      fn("cached", v.cached ? "true" : "false", false, true);
    }
    fn(kKeys[static_cast<std::size_t>(c)], gbk_to_utf8(row.cells[static_cast<std::size_t>(c)]),
       false, false);
  }
}

void append_csv(std::string& out, std::string_view raw) {
  // A cell a spreadsheet would take for a formula (=HYPERLINK(…), +cmd|…, @SUM, or one behind a
  // tab or a carriage return) is made text by a leading apostrophe, as OWASP advises for CSV.
  std::string value = visible_text(raw);
  if (!raw.empty() && std::string_view("=+-@\t\r").find(raw.front()) != std::string_view::npos)
    value.insert(0, 1, '\'');
  // Quoted when it holds a separator, a quote or blanks at its ends; quotes doubled.
  const bool quote = value.find_first_of(",\"") != std::string::npos ||
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
  for (const char c : visible_text(value)) {
    if (c == '|' || c == '\\' || c == '`' || c == '*' || c == '[' || c == ']' || c == '<' ||
        c == '>')
      out.push_back('\\');
    out.push_back(c);
  }
}

}  // namespace

std::string json_row(const RowRecord& row, bool verdicts) {
  std::string out = "{";
  for_each_field(row, verdicts,
                 [&](std::string_view name, std::string_view value, bool is_null, bool literal) {
                   if (out.size() > 1) out.push_back(',');
                   append_json_string(out, name);
                   out.push_back(':');
                   if (is_null) {
                     out.append("null");
                   } else if (literal) {
                     out.append(value);
                   } else {
                     append_json_string(out, value);
                   }
                 });
  out.append("}\n");
  return out;
}

std::string csv_header(bool verdicts) {
  std::string out;
  for_each_field(RowRecord{}, verdicts, [&](std::string_view name, auto&&, bool, bool) {
    if (!out.empty()) out.push_back(',');
    out.append(name);
  });
  return out.append("\r\n");
}

std::string csv_row(const RowRecord& row, bool verdicts) {
  std::string out;
  bool first = true;
  for_each_field(row, verdicts, [&](std::string_view, std::string_view value, bool is_null, bool) {
    if (!first) out.push_back(',');
    first = false;
    if (!is_null) append_csv(out, value);
  });
  return out.append("\r\n");
}

std::string markdown_header(bool verdicts) {
  std::string names = "|", rule = "|";
  for_each_field(RowRecord{}, verdicts, [&](std::string_view name, auto&&, bool, bool) {
    names.append(" ").append(name).append(" |");
    rule.append(name == "row" ? "---:|" : "---|");
  });
  return names + "\n" + rule + "\n";
}

std::string markdown_row(const RowRecord& row, bool verdicts) {
  std::string out = "|";
  for_each_field(row, verdicts, [&](std::string_view, std::string_view value, bool is_null, bool) {
    out.push_back(' ');
    if (!is_null) append_markdown(out, value);
    out.append(" |");
  });
  return out.append("\n");
}

bool write_rows(std::FILE* out, const LinkTable& table, Format format, bool verdicts, bool gbk) {
  if (format == Format::text) return write_rows_table(out, table, gbk);
  bool ok = true;
  std::string buffer;
  if (format == Format::csv) buffer = csv_header(verdicts);
  if (format == Format::markdown) buffer = markdown_header(verdicts);
  table.for_each_row([&](int index, const RowView& row) {
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
  table.for_each_row([&](int, const RowView& row) {
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
  table.for_each_row([&](int, const RowView& row) { emit([&](int c) { return row.cell(c); }); });
  return ok;
}

int finish_output(std::FILE* out, std::FILE* err, bool ok) {
  if (std::fflush(out) != 0) ok = false;
  // A reader that stopped early (| head) wants no more output and no complaint either; the code
  // is the one a program ended by SIGPIPE gives.
  if (!ok && errno == EPIPE) return 141;
  if (!ok) {
    std::fprintf(err, "quorvex-cli: cannot write the output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace quorvex::cli
