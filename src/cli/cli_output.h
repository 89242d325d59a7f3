// Printing of texts and rows for the command line.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "check/run_progress.h"
#include "model/link_table.h"
#include "model/share_services.h"

namespace quorvex {
class RateEstimate;
}

namespace quorvex::cli {

// How rows are printed: an aligned table, JSON lines, CSV (RFC 4180, a header row) or a Markdown
// table.
enum class Format { text, json, csv, markdown };

// One row as the table held it at one moment: its number (0-based), cells and verdict.
struct RowRecord {
  int index = 0;
  std::array<std::string, kColumnCount> cells;  // GBK
  RowVerdict verdict;
  std::optional<ShareService> service;  // of the share the row holds; none without one
};
RowRecord record_of(int index, const RowView& row);
RowRecord record_of(const LinkTable& table, int index);

// Appends `utf8` as a JSON string (quoted, escaped; control characters and U+009B as \u escapes).
void append_json_string(std::string& out, std::string_view utf8);

// One row as a JSON object on one line (UTF-8, ending in a line feed): "row" (1-based), then
// name, link, code, status, with verdicts "verdict", "reason" and "cached", then done, then
// "service" (service_code; null for a row without a share).
std::string json_row(const RowRecord& row, bool verdicts);
// The header line and one line of a row in CSV or Markdown; the same columns as the JSON keys.
std::string csv_header(bool verdicts);
std::string csv_row(const RowRecord& row, bool verdicts);
std::string markdown_header(bool verdicts);
std::string markdown_row(const RowRecord& row, bool verdicts);
// Columns a UTF-8 text takes on a terminal: East Asian wide and full-width characters two,
// combining marks and zero-width ones none, every other (√ and x alike) one.
std::size_t display_columns(std::string_view utf8);

// --color: auto colours a terminal unless NO_COLOR is set; always and never say it outright.
enum class ColorChoice { automatic, always, never };
bool use_color(ColorChoice choice, std::FILE* stream);
// Text in the colour of a verdict (green, red, yellow; none undecided), as ANSI escapes.
std::string in_verdict_colour(std::string_view text, Verdict verdict);

// Every row of the table in the format (text: the aligned table, UTF-8 or GBK).
bool write_rows(std::FILE* out, const LinkTable& table, Format format, bool verdicts,
                bool gbk = false, bool color = false);

// An aligned table of the rows, UTF-8 or the raw GBK bytes; with verdicts, a reason column
// after the status, and `color` draws the status in its verdict's colour.
bool write_rows_table(std::FILE* out, const LinkTable& table, bool gbk, bool verdicts = false,
                      bool color = false);
// The check's progress on a terminal, fitted to `room` columns: the least useful parts go first,
// never a number cut in two. [#########...........]  45%  450/1000  12.3/s  0:45 left  valid 300 …
std::string progress_line(const RunSnapshot& run, const RateEstimate& estimate, int room,
                          bool color);
// The summary lines of a run, a line each (UTF-8, line feeds): in Chinese the window's summary
// box, in English the same counts; and the rows never checked when there are any.
std::string summary_lines(const RunSnapshot& run, int unchecked);
// A verdict as a word in the command line's language ("valid", "有效"); "" for none.
std::string verdict_word(Verdict verdict);
// A reason as the command line's language tells it: the Chinese label, or the English code.
std::string_view reason_text(Reason reason);
// Columns a text takes on a terminal, its colour escapes left out.
int visible_columns(const std::string& text);

// Flushes out; reports a write failure (a full disk) and gives the exit code: 1, or 141 without
// a word when the reader closed the pipe.
int finish_output(std::FILE* out, std::FILE* err, bool ok);

}  // namespace quorvex::cli
