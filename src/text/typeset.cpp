#include "text/typeset.h"

#include <vector>

#include "text/gbk_literals.h"
#include "text/text_ops.h"

namespace quorvex {

namespace {

constexpr std::string_view kPan = "pan";

bool has_code_keyword(std::string_view s) {
  return contains_bytes(s, gbk::kTiQuMa) || contains_bytes(s, gbk::kMiMa) ||
         contains_bytes(s, gbk::kJiHuoMa);
}

bool has_any_keyword(std::string_view s) { return contains_bytes(s, kPan) || has_code_keyword(s); }

// Appends the record of link line p (1-based) to out.
void append_record(const std::vector<std::string_view>& lines, std::size_t p, std::string& out) {
  const std::size_t n = lines.size();
  std::string_view b2 = p >= 3 ? lines[p - 3] : std::string_view();
  std::string_view b1 = p >= 2 ? lines[p - 2] : std::string_view();
  std::string_view a1 = p + 1 <= n ? lines[p] : std::string_view();
  std::string_view a2 = p + 2 <= n ? lines[p + 1] : std::string_view();
  if (has_any_keyword(b2)) b2 = {};
  if (has_any_keyword(b1)) {
    b1 = " ";
    b2 = {};
  }
  if (!has_code_keyword(a1)) a1 = a2 = {};
  if (!has_code_keyword(a2)) a2 = {};
  if (contains_bytes(a2, kPan)) a2 = {};
  if (contains_bytes(a1, kPan)) a1 = a2 = {};
  out.push_back(' ');
  out.append(b2);
  out.push_back(' ');
  out.append(b1);
  out.push_back(' ');
  out.append(lines[p - 1]);
  out.push_back(' ');
  out.append(a1);
  out.push_back(' ');
  out.append(a2);
}

}  // namespace

std::string typeset_share_text(std::string_view text, std::string_view title_prefix,
                               const std::function<void(const std::string&)>& set_title) {
  std::string last_title;
  auto show = [&](std::string title) {
    if (set_title && title != last_title) {
      set_title(title);
      last_title = std::move(title);
    }
  };

  const std::vector<std::string_view> lines = split_nonempty_views(text, "\r\n");
  const std::size_t n = lines.size();
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 16);
  std::size_t pending = 0;
  std::string progress(title_prefix);
  progress.append(gbk::kProgress1);
  const std::size_t progress_len = progress.size();
  for (std::size_t i = 1; i <= n; ++i) {
    if (contains_bytes(lines[i - 1], kPan)) {
      const std::size_t p = pending;
      pending = i;
      if (p >= 1) append_record(lines, p, out);
      out.append("\r\n");
    }
    if (set_title) {
      // The percentage is taken from the double-precision quotient, as users have always seen it
      // (29 of 100 lines shows 28).
      const auto percent =
          static_cast<long long>(static_cast<double>(i) / static_cast<double>(n) * 100);
      progress.resize(progress_len);
      progress.append(std::to_string(percent)).push_back('%');
      show(progress);
    }
  }
  if (pending >= 1) {
    append_record(lines, pending, out);
    out.append("\r\n");
  }
  show(std::string(title_prefix).append(gbk::kProgress2));

  std::string_view trimmed = trim_blanks(out);
  std::string result = trimmed.size() == out.size() ? std::move(out) : std::string(trimmed);
  result = replace_in_order(std::move(result), {{" ", ""},
                                                {gbk::kXiaZaiLianJie, gbk::kLianJie},
                                                {gbk::kTiQuMa, gbk::kMiMa},
                                                {gbk::kJiHuoMa, gbk::kSpacedJiHuoMa}});
  result = replace_in_order(std::move(result),
                            {{gbk::kLianJie, gbk::kSpacedLianJie}, {gbk::kMiMa, gbk::kSpacedMiMa}});
  show(std::string(title_prefix).append(gbk::kProgressDone));
  return result;
}

}  // namespace quorvex
