// What a person sees of a fetched page: its title and its visible text, decoded by the character
// set the page declares. Scripts, styles and comments carry texts of every other state of the
// service (error messages, the security check), so phrases are only ever looked for in this.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

struct FetchResult;

struct VisiblePage {
  std::string title;  // UTF-8, blanks at its ends dropped, every run of blanks one blank
  std::string text;   // UTF-8: the body's text with tags as blanks, runs of blanks as one
};

// The character set a page declares: the charset of its Content-Type header line in `headers`,
// else a <meta charset> or <meta http-equiv="Content-Type" content="…charset=…"> within the first
// 2 KiB of the body. Upper-case as written ("GBK", "UTF-8"); "" when it declares none.
std::string declared_charset(std::string_view headers, std::string_view body);

// Reduces an HTML text (UTF-8) to what a browser shows: <script>, <style>, <noscript>,
// <template> and comments dropped, every tag a blank, the common entities decoded. One pass over
// the text, no allocation beyond the result.
VisiblePage visible_page(std::string_view html);

// The visible page of a fetch: its body decoded from the character set it declares (UTF-8 when it
// declares none or one this program does not read), up to its first NUL byte, then reduced.
VisiblePage read_page(const FetchResult& result);

}  // namespace quorvex
