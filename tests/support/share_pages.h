// The stand-in share service's pages, for the service and for tests on either side of a process
// boundary.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::test {

// A page as the service sends it (UTF-8): the title and the body's content as given, and, as on
// the real pages, a script, a style and a comment holding the texts of every other state.
std::string share_page(std::string_view title, std::string_view body);

// The page that asks for a share's code, with its hidden picture-code row.
std::string code_page();

}  // namespace quorvex::test
