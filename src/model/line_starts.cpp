#include "model/line_starts.h"

#include <algorithm>
#include <climits>

#include "base/text_ops.h"

namespace quorvex {

void LineStarts::reserve(std::size_t rows) {
  steps_.reserve(rows);
  checkpoints_.reserve((rows + kStride - 1) / kStride);
}

void LineStarts::push_back(std::uint32_t start) {
  const std::size_t row = steps_.size();
  if (row % kStride == 0) {
    checkpoints_.push_back(start);
    steps_.push_back(0);
  } else if (start - last_ < kFar) {
    steps_.push_back(static_cast<std::uint8_t>(start - last_));
  } else {
    steps_.push_back(kFar);
    far_.emplace_back(static_cast<std::uint32_t>(row), start);
  }
  last_ = start;
}

std::uint32_t LineStarts::operator[](std::size_t row) const {
  const std::size_t base = row - row % kStride;
  std::uint32_t at = checkpoints_[base / kStride];
  for (std::size_t r = base + 1; r <= row; ++r) {
    const std::uint8_t step = steps_[r];
    if (step != kFar) {
      at += step;
      continue;
    }
    const auto far = std::lower_bound(far_.begin(), far_.end(), static_cast<std::uint32_t>(r),
                                      [](const std::pair<std::uint32_t, std::uint32_t>& e,
                                         std::uint32_t k) { return e.first < k; });
    at = far->second;
  }
  return at;
}

void LineStarts::shrink_to_fit() {
  checkpoints_.shrink_to_fit();
  steps_.shrink_to_fit();
  far_.shrink_to_fit();
}

LineStarts index_lines(std::string_view text, const std::function<bool()>& cancelled) {
  LineStarts lines;
  if (text.size() >= std::size_t{UINT32_MAX}) return lines;
  // Made at its final size (at most one row a line feed, and the last line): growing it would
  // hold it twice for a moment.
  const auto feeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  lines.reserve(feeds + 1);
  std::size_t since_check = 0;
  bool stopped = false;
  for_each_nonempty_piece(text, "\r\n", [&](std::string_view line) {
    if (stopped) return;
    if (cancelled && ++since_check >= 65536) {
      since_check = 0;
      if (cancelled()) {
        stopped = true;
        return;
      }
    }
    lines.push_back(static_cast<std::uint32_t>(line.data() - text.data()));
  });
  if (stopped) lines.shrink_to_fit();
  return lines;
}

std::string_view line_at(std::string_view text, std::size_t start) {
  // The same walk the rows were cut by, from a character start: a CR LF inside a double-byte
  // character is no line end.
  const std::size_t n = text.size();
  std::size_t i = start;
  while (i < n) {
    if (i + 8 <= n && ascii_run8(text.data() + i, static_cast<unsigned char>('\r')) == 8) {
      i += 8;
      continue;
    }
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') break;
    i += char_width(static_cast<unsigned char>(text[i]));
  }
  return text.substr(start, std::min(i, n) - start);
}

}  // namespace quorvex
