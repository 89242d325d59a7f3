// The stand-in share service's pages, for the service and for tests on either side of a process
// boundary.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::test {

// A page as the service sends it (UTF-8).
std::string share_page(std::string_view title, std::string_view body);

}  // namespace quorvex::test
