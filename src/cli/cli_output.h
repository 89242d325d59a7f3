// Printing of texts and rows for the command line.
#pragma once

#include <cstdio>
#include <string_view>

#include "model/link_table.h"

namespace quorvex::cli {

bool write_text(std::FILE* out, std::FILE* err, std::string_view bytes);
// One JSON object per row with the keys name, link, code, status, done (UTF-8); with verdicts,
// also "verdict" (valid, invalid, unknown) and "reason" (its code) after status, null while a row
// has none.
bool write_rows_json(std::FILE* out, const LinkTable& table, bool verdicts = false);
// An aligned table of the rows, UTF-8 or the raw GBK bytes.
bool write_rows_table(std::FILE* out, const LinkTable& table, bool gbk);
// Flushes out; reports a write failure (a full disk, a closed pipe) and gives the exit code.
int finish_output(std::FILE* out, std::FILE* err, bool ok);

}  // namespace quorvex::cli
