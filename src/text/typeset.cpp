#include "text/typeset.h"

#include <utility>

#include "base/big_buffers.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"

namespace quorvex {

namespace {

constexpr std::string_view kPan = "pan";

// Which keywords a line holds, found as plain byte substrings (not aligned to characters).
enum KeywordFlags : unsigned char { kHasPan = 1, kHasCode = 2 };

unsigned char keyword_flags(std::string_view s) {
  // One pass over the line instead of one search per keyword: lines are short, and each takes
  // part in up to five records.
  unsigned char flags = 0;
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n && flags != (kHasPan | kHasCode); ++i) {
    const std::string_view rest = s.substr(i);
    switch (s[i]) {
      case 'p':
        if (rest.substr(0, kPan.size()) == kPan) flags |= kHasPan;
        break;
      case '\xCC':
        if (rest.substr(0, gbk::kTiQuMa.size()) == gbk::kTiQuMa) flags |= kHasCode;
        break;
      case '\xC3':
        if (rest.substr(0, gbk::kMiMa.size()) == gbk::kMiMa) flags |= kHasCode;
        break;
      case '\xBC':
        if (rest.substr(0, gbk::kJiHuoMa.size()) == gbk::kJiHuoMa) flags |= kHasCode;
        break;
      default:
        break;
    }
  }
  return flags;
}

// The last few lines seen, by line number: a record needs the two lines above its link line and
// the two below, so the text is typeset in one pass without a list of all its lines.
class RecentLines {
 public:
  void put(std::size_t number, std::string_view line, unsigned char flags) {
    slots_[number % kSlots] = {line, flags};
  }
  // Line `number`, or an empty line holding no keyword when there is no such line.
  std::pair<std::string_view, unsigned char> get(std::size_t number, std::size_t count) const {
    if (number < 1 || number > count) return {std::string_view(), 0};
    return slots_[number % kSlots];
  }

 private:
  static constexpr std::size_t kSlots = 8;
  std::pair<std::string_view, unsigned char> slots_[kSlots];
};

// Appends the record of link line p (1-based) to out; `seen` is the number of lines read so far.
void append_record(const RecentLines& lines, std::size_t p, std::size_t seen, std::string& out) {
  auto [b2, b2_flags] = lines.get(p - 2, seen);
  auto [b1, b1_flags] = lines.get(p - 1, seen);
  auto [a1, a1_flags] = lines.get(p + 1, seen);
  auto [a2, a2_flags] = lines.get(p + 2, seen);
  // The six rules, in order. A text that has been emptied holds no keyword any more.
  if (b2_flags) b2 = {};
  if (b1_flags) {
    b1 = " ";
    b2 = {};
  }
  if (!(a1_flags & kHasCode)) {
    a1 = a2 = {};
    a1_flags = a2_flags = 0;
  }
  if (!(a2_flags & kHasCode)) {
    a2 = {};
    a2_flags = 0;
  }
  if (a2_flags & kHasPan) a2 = {};
  if (a1_flags & kHasPan) a1 = a2 = {};
  out.push_back(' ');
  out.append(b2);
  out.push_back(' ');
  out.append(b1);
  out.push_back(' ');
  out.append(lines.get(p, seen).first);
  out.push_back(' ');
  out.append(a1);
  out.push_back(' ');
  out.append(a2);
}

}  // namespace

std::string typeset_share_text(std::string_view text,
                               const std::function<void(const TypesetProgress&)>& progress) {
  auto show = [&](TypesetProgress::Stage stage, int percent) {
    if (progress) progress(TypesetProgress{stage, percent});
  };

  // The line count comes first: every progress title is a share of it.
  std::size_t n = 0;
  for_each_nonempty_piece(text, "\r\n", [&](std::string_view) { ++n; });

  std::string out;
  reserve_big(out, text.size() + text.size() / 8 + 16);
  long long shown_percent = -1;

  // The output is an empty line, then each link line's record with a line end. A record is
  // complete once the second line below its link has been read, so at most three wait.
  RecentLines recent;
  std::size_t waiting[4];
  std::size_t first_waiting = 0, waiting_count = 0;
  bool seen_link = false;
  std::size_t i = 0;
  for_each_nonempty_piece(text, "\r\n", [&](std::string_view line) {
    ++i;
    const unsigned char flags = keyword_flags(line);
    recent.put(i, line, flags);
    if (flags & kHasPan) {
      if (!seen_link) out.append("\r\n");
      seen_link = true;
      waiting[(first_waiting + waiting_count++) % 4] = i;
    }
    while (waiting_count > 0 && waiting[first_waiting] + 2 <= i) {
      append_record(recent, waiting[first_waiting], i, out);
      out.append("\r\n");
      first_waiting = (first_waiting + 1) % 4;
      --waiting_count;
    }
    if (progress) {
      // The percentage is the integer part of the double-precision quotient, so that every
      // front end shows the same figure for the same line (29 of 100 lines shows 28).
      const auto percent =
          static_cast<long long>(static_cast<double>(i) / static_cast<double>(n) * 100);
      if (percent != shown_percent) {
        shown_percent = percent;
        show(TypesetProgress::Stage::reading, static_cast<int>(percent));
      }
    }
  });
  for (; waiting_count > 0; --waiting_count, first_waiting = (first_waiting + 1) % 4) {
    append_record(recent, waiting[first_waiting], i, out);
    out.append("\r\n");
  }
  show(TypesetProgress::Stage::joining, 100);

  // trim_blanks, applied in place so that a large text is not copied.
  const std::string_view kept = trim_blanks(out);
  const std::size_t lead = kept.empty() ? 0 : static_cast<std::size_t>(kept.data() - out.data());
  out.resize(lead + kept.size());
  out.erase(0, lead);
  // The six keyword replacements, defined pair by pair, done in two scans. Removing the blanks
  // can join a keyword that they split, so it comes first. The other five share no characters
  // where one could make or break another's match, so one scan does them, with 下载链接 and
  // 提取码 going straight to the spaced 链接 and 密码 that the pairs after them would make.
  replace_aligned_together(out, {{" ", ""}});
  replace_aligned_together(out, {{gbk::kXiaZaiLianJie, gbk::kSpacedLianJie},
                                 {gbk::kTiQuMa, gbk::kSpacedMiMa},
                                 {gbk::kJiHuoMa, gbk::kSpacedJiHuoMa},
                                 {gbk::kLianJie, gbk::kSpacedLianJie},
                                 {gbk::kMiMa, gbk::kSpacedMiMa}});
  show(TypesetProgress::Stage::done, 100);
  return out;
}

}  // namespace quorvex
