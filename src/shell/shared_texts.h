// Texts both programs say about the same events, in the language each speaks: the window
// Chinese, the command line English (its own prefix added before them).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "check/run_progress.h"
#include "text/file_input.h"

namespace quorvex {

enum class Language { chinese, english };

// Why a file that could not be taken in was refused, naming it by `shown`.
std::string input_file_refusal(const InputFile& file, const std::string& shown, Language language);

// What the system kept refusing when a run stopped for it.
std::string stall_refusal(const RunSnapshot& run, Language language);

// A thread count typed or saved as text, when it is a usable one (above 0): the rest of the text
// after the leading number is ignored.
std::optional<int> usable_thread_count(std::string_view text);

}  // namespace quorvex
