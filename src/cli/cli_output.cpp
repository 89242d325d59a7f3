#include "cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/platform.h"
#include "cli/translate.h"
#include "model/share_url.h"
#include "shell/export.h"
#include "shell/progress_estimate.h"

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

// East Asian wide (W) and full-width (F) ranges, as Unicode's EastAsianWidth.txt gives them,
// merged where they meet.
constexpr std::pair<char32_t, char32_t> kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x3FFFD},
};

bool is_wide(char32_t c) {
  for (const auto& [first, last] : kWide)
    if (c >= first && c <= last) return true;
  return false;
}

// Marks drawn on the character before them, and characters of no width.
bool is_zero_width(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
         (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
         (c >= 0xE0100 && c <= 0xE01EF);
}

// Control bytes would break the table's lines; they are shown as blanks.
std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

}  // namespace

std::size_t display_columns(std::string_view utf8) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC0 ? 2
                                              : 1;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    if (is_zero_width(c)) continue;
    columns += is_wide(c) ? 2 : 1;
  }
  return columns;
}

bool use_color(ColorChoice choice, std::FILE* stream) {
  if (choice == ColorChoice::always) return true;
  if (choice == ColorChoice::never) return false;
  // https://no-color.org: set and not empty turns colour off.
  if (const auto no_color = environment_variable("NO_COLOR"); no_color && !no_color->empty())
    return false;
  return is_terminal(stream);
}

std::string in_verdict_colour(std::string_view text, Verdict verdict) {
  const char* sgr = verdict == Verdict::valid     ? "\033[32m"
                    : verdict == Verdict::invalid ? "\033[31m"
                    : verdict == Verdict::unknown ? "\033[33m"
                                                  : nullptr;
  if (!sgr) return std::string(text);
  return std::string(sgr).append(text).append("\033[0m");
}

namespace {

std::optional<ShareService> service_of_share(const std::string& url) {
  if (!is_share_url(url)) return std::nullopt;
  return service_of_url(url);
}

}  // namespace

RowRecord record_of(int index, const RowView& row) {
  RowRecord r;
  r.index = index;
  for (int c = 0; c < kColumnCount; ++c) r.cells[static_cast<std::size_t>(c)] = row.cell(c);
  r.verdict = row.verdict();
  std::string url;
  row.share_url_into(url);
  r.service = service_of_share(url);
  return r;
}

RowRecord record_of(const LinkTable& table, int index) {
  RowRecord r;
  r.index = index;
  for (int c = 0; c < kColumnCount; ++c)
    r.cells[static_cast<std::size_t>(c)] = table.cell(index, c);
  r.verdict = table.verdict(index);
  r.service = service_of_share(share_url_of_row(r.cells[kColumnLink], r.cells[kColumnName]));
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
  // Last, so that the columns of CSV written before keep their places.
  fn("service", row.service ? service_code(*row.service) : std::string_view(), !row.service, false);
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

bool write_rows(std::FILE* out, const LinkTable& table, Format format, bool verdicts, bool gbk,
                bool color) {
  if (format == Format::text) return write_rows_table(out, table, gbk, verdicts, color);
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

bool write_rows_table(std::FILE* out, const LinkTable& table, bool gbk, bool verdicts, bool color) {
  // Header texts: in Chinese the list's own 名称 网盘地址 密码 状态 执行 (GBK), and 原因 for the
  // reason; in English the JSON keys.
  static constexpr std::array<std::string_view, kColumnCount + 1> kChineseHeaders = {
      "\xC3\xFB\xB3\xC6", "\xCD\xF8\xC5\xCC\xB5\xD8\xD6\xB7",
      "\xC3\xDC\xC2\xEB", "\xD7\xB4\xCC\xAC",
      "\xD6\xB4\xD0\xD0", "\xD4\xAD\xD2\xF2"};
  static constexpr std::array<std::string_view, kColumnCount + 1> kEnglishHeaders = {
      "name", "link", "code", "status", "done", "reason"};
  const auto& kHeaders = language() == Language::chinese ? kChineseHeaders : kEnglishHeaders;
  const int columns = kColumnCount + (verdicts ? 1 : 0);
  // A cell as printed (UTF-8, or GBK with --gbk) and the columns it takes: a GBK byte is one, a
  // UTF-8 character as the terminal draws it.
  const auto shown = [gbk](std::string_view cell_gbk) {
    return gbk ? printable(cell_gbk) : gbk_to_utf8(printable(cell_gbk));
  };
  const auto width_of = [gbk](const std::string& text) {
    return gbk ? gbk_columns(text) : display_columns(text);
  };
  const auto reason_of = [gbk](const RowVerdict& v) {
    const std::string label(reason_text(v.reason));
    return gbk ? utf8_to_gbk(label) : label;
  };
  // Very long cells would push every other row off the screen; columns stop growing at 80.
  constexpr std::size_t kMaxWidth = 80;
  std::array<std::size_t, kColumnCount + 1> width{};
  for (int c = 0; c < columns; ++c) width[c] = width_of(shown(kHeaders[c]));
  table.for_each_row([&](int, const RowView& row) {
    for (int c = 0; c < kColumnCount; ++c)
      width[c] = std::min(kMaxWidth, std::max(width[c], width_of(shown(row.cell(c)))));
    if (verdicts)
      width[kColumnCount] = std::max(width[kColumnCount], width_of(reason_of(row.verdict())));
  });
  bool ok = true;
  std::string line;
  // cell_of(c) gives the printed text of column c; `verdict` colours the status.
  auto emit = [&](auto cell_of, Verdict verdict) {
    line.clear();
    for (int c = 0; c < columns; ++c) {
      const std::string cell = cell_of(c);
      line.append(color && c == kColumnStatus ? in_verdict_colour(cell, verdict) : cell);
      if (c + 1 < columns) line.append(width[c] - std::min(width[c], width_of(cell)) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line.push_back('\n');
    ok = ok && std::fwrite(line.data(), 1, line.size(), out) == line.size();
  };
  emit([&](int c) { return shown(kHeaders[c]); }, Verdict::none);
  table.for_each_row([&](int, const RowView& row) {
    const RowVerdict v = row.verdict();
    emit([&](int c) { return c == kColumnCount ? reason_of(v) : shown(row.cell(c)); }, v.verdict);
  });
  return ok;
}

// [#########...........]  45%  450/1000  12.3/s  0:45 left  valid 300  invalid 100 ...,
// fitted to `room` columns: the least useful parts go first, never a number cut in two.
std::string progress_line(const RunSnapshot& run, const RateEstimate& estimate, int room,
                          bool color) {
  const int bar = room < 72 ? 10 : 20;
  const double share = run.total > 0 ? static_cast<double>(run.finished) / run.total : 1.0;
  const int filled = static_cast<int>(share * bar);
  const std::string hashes(static_cast<std::size_t>(filled), '#');
  std::vector<LinePart> parts;
  parts.push_back({"[" + (color ? "\033[32m" + hashes + "\033[0m" : hashes) +
                       std::string(static_cast<std::size_t>(bar - filled), '.') + "]",
                   3});
  char buf[160];
  std::snprintf(buf, sizeof buf, "%3d%%", static_cast<int>(share * 100));
  parts.push_back({buf, 8});
  parts.push_back({std::to_string(run.finished) + "/" + std::to_string(run.total), 10});
  std::snprintf(buf, sizeof buf, "%.1f/s", estimate.per_second());
  parts.push_back({buf, 2});
  if (const auto left = estimate.seconds_left(run.total - run.finished, run.cooldown_left);
      left && run.total > run.finished)
    parts.push_back({format_text(tr("%s left"), clock_text(*left).c_str()), 4});
  if (const long long wait = cooldown_seconds(run); wait > 0)
    parts.push_back({format_text(tr("throttled by the service: resuming in %lld s"), wait), 9});
  const auto count = [&](const char* format, int n, Verdict verdict) {
    const std::string text = format_text(format, n);
    return color && n > 0 ? in_verdict_colour(text, verdict) : text;
  };
  parts.push_back({count(tr("valid %d"), run.valid, Verdict::valid), 7});
  parts.push_back({count(tr("invalid %d"), run.invalid, Verdict::invalid), 7});
  parts.push_back({count(tr("unknown %d"), run.unknown, Verdict::unknown), 6});
  // Counted as the summary counts them: rows without a share link are not invalid shares.
  if (run.not_share_link > 0)
    parts.push_back({format_text(tr("no share link %d"), run.not_share_link), 5});
  std::string line = fitted_line(parts, room, visible_columns, "  ");
  // A terminal narrower than the one part left still gets one line: its end is cut.
  if (room > 0 && visible_columns(line) > room) line = parts[2].text.substr(0, room);
  return line;
}

std::string summary_lines(const RunSnapshot& run, int unchecked) {
  std::string lines;
  if (language() == Language::chinese) {
    // The window's summary box, word for word.
    lines = gbk_to_utf8(summary_text(run.valid, run.invalid, run.unknown, run.repeats,
                                     run.not_share_link)) +
            "\n";
    for (std::size_t p; (p = lines.find("\r\n")) != std::string::npos;) lines.erase(p, 1);
    if (unchecked > 0) lines += "未检测网址:" + std::to_string(unchecked) + "\n";
    return lines;
  }
  // The same lines the box has, shown when it shows them.
  const int checked = run.valid + run.invalid + run.unknown;
  lines = "checked: " + std::to_string(checked) + (checked == 1 ? " link\n" : " links\n");
  lines += "valid: " + std::to_string(run.valid) + "\n";
  lines += "invalid: " + std::to_string(run.invalid) + "\n";
  if (run.unknown > 0) lines += "unknown: " + std::to_string(run.unknown) + "\n";
  if (run.not_share_link > 0)
    lines += "no share link: " + std::to_string(run.not_share_link) + "\n";
  if (run.repeats > 0) lines += "duplicates: " + std::to_string(run.repeats) + "\n";
  if (unchecked > 0) lines += "unchecked: " + std::to_string(unchecked) + "\n";
  return lines;
}

std::string verdict_word(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid:
      return tr("valid");
    case Verdict::invalid:
      return tr("invalid");
    case Verdict::unknown:
      return tr("unknown");
    case Verdict::none:
      break;
  }
  return {};
}

std::string_view reason_text(Reason reason) {
  return language() == Language::chinese ? reason_label(reason) : reason_code(reason);
}

// Columns a progress text takes, its colour escapes left out.
int visible_columns(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\033') {
      while (i < text.size() && text[i] != 'm') ++i;
      continue;
    }
    plain.push_back(text[i]);
  }
  return static_cast<int>(display_columns(plain));
}

int finish_output(std::FILE* out, std::FILE* err, bool ok) {
  if (std::fflush(out) != 0) ok = false;
  // A reader that stopped early (| head) wants no more output and no complaint either; the code
  // is the one a program ended by SIGPIPE gives.
  if (!ok && errno == EPIPE) return 141;
  if (!ok) {
    std::fprintf(err, tr("quorvex-cli: cannot write the output: %s\n"), std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace quorvex::cli
