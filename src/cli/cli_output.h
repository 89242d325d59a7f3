// Printing of texts and rows for the command line.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/link_table.h"

namespace quorvex::cli {

// How rows are printed: an aligned table, JSON lines, CSV (RFC 4180, a header row) or a Markdown
// table.
enum class Format { text, json, csv, markdown };

// One row as the table held it at one moment: its number (0-based), cells and verdict.
struct RowRecord {
  int index = 0;
  std::array<std::string, kColumnCount> cells;  // GBK
  RowVerdict verdict;
};
RowRecord record_of(int index, const RowView& row);
RowRecord record_of(const LinkTable& table, int index);

// Appends `utf8` as a JSON string (quoted, escaped; control characters and U+009B as \u escapes).
void append_json_string(std::string& out, std::string_view utf8);

// One row as a JSON object on one line (UTF-8, ending in a line feed): "row" (1-based), then
// name, link, code, status, with verdicts "verdict", "reason" and "cached", then done.
std::string json_row(const RowRecord& row, bool verdicts);
// The header line and one line of a row in CSV or Markdown; the same columns as the JSON keys.
std::string csv_header(bool verdicts);
std::string csv_row(const RowRecord& row, bool verdicts);
std::string markdown_header(bool verdicts);
std::string markdown_row(const RowRecord& row, bool verdicts);
// Every row of the table in the format (text: the aligned table, UTF-8 or GBK).
bool write_rows(std::FILE* out, const LinkTable& table, Format format, bool verdicts,
                bool gbk = false);

// An aligned table of the rows, UTF-8 or the raw GBK bytes.
bool write_rows_table(std::FILE* out, const LinkTable& table, bool gbk);
// Flushes out; reports a write failure (a full disk) and gives the exit code: 1, or 141 without
// a word when the reader closed the pipe.
int finish_output(std::FILE* out, std::FILE* err, bool ok);

}  // namespace quorvex::cli
