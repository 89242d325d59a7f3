// Where the rows' lines start in a source text: the table keeps these, not the rows, so that a
// row costs about a byte and a quarter besides its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex {

// Where each row's line starts in the source text: every 16th start whole, the others as steps
// of up to 254 bytes from the one before; longer steps are kept aside.
class LineStarts {
 public:
  void reserve(std::size_t rows);
  void push_back(std::uint32_t start);
  std::uint32_t operator[](std::size_t row) const;
  std::size_t size() const { return steps_.size(); }
  void shrink_to_fit();

 private:
  static constexpr std::size_t kStride = 16;
  static constexpr std::uint8_t kFar = 255;
  std::vector<std::uint32_t> checkpoints_;
  std::vector<std::uint8_t> steps_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> far_;  // (row, start), ascending
  std::uint32_t last_ = 0;
};

// The starts of the rows of a text: every non-empty CR LF line, in order. Returns early (with what
// it has) once `cancelled` says so. Texts of 4 GiB and more are not indexed.
LineStarts index_lines(std::string_view text, const std::function<bool()>& cancelled = {});

// The line of text that starts at `start`: up to the next CR LF (as a GBK text is read, one
// character at a time) or the end.
std::string_view line_at(std::string_view text, std::size_t start);

}  // namespace quorvex
