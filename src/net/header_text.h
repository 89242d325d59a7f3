// Small header-text helpers of the web request, and Base64 for proxy credentials.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

// Every header name capitalised word by word ("user-agent" becomes "User-Agent"); lines without
// ":" dropped; the rest of each line kept as it is; lines joined by CR LF.
std::string normalize_header_text(std::string_view text);
// The text with its first byte upper-cased when it is an ASCII letter a-z.
std::string capitalize_first(std::string_view text);
// Part of a header line before / after its first ":", blanks removed at both ends; empty
// without ":".
std::string header_name_of(std::string_view line);
std::string header_value_of(std::string_view line);
// Standard Base64 with "=" padding.
std::string base64_encode(std::string_view bytes);

}  // namespace quorvex
