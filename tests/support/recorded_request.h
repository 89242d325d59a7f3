// A request as a test server received it.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace quorvex::test {

struct RecordedRequest {
  std::chrono::steady_clock::time_point at;  // when the request had arrived whole
  std::string raw;                           // everything the client sent, headers and body
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
  std::string body;
};

}  // namespace quorvex::test
