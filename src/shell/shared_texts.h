// Texts both programs say about the same events, in the language each speaks: the window
// Chinese, the command line the user's (its own prefix added before them).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "check/run_progress.h"
#include "model/link_table.h"
#include "text/file_input.h"

namespace quorvex {

enum class Language { chinese, english };

// Why a file that could not be taken in was refused, naming it by `shown`.
std::string input_file_refusal(const InputFile& file, const std::string& shown, Language language);

// What the system kept refusing when a run stopped for it.
std::string stall_refusal(const RunSnapshot& run, Language language);

// The shares extraction finds in `source_text` (GBK) when the list loaded from it is no list of
// links: some of its rows hold no share address. 0 when every row holds one (or the text none).
std::size_t shares_worth_extracting(const LinkTable& table, std::string_view source_text);
// Says so, and what to do about it in the window (the command line says its own: --extract).
std::string extract_hint(std::size_t shares);

// A thread count typed or saved as text, when it is a usable one (above 0): the rest of the text
// after the leading number is ignored.
std::optional<int> usable_thread_count(std::string_view text);

}  // namespace quorvex
