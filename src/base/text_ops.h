// Byte-level text operations on GBK texts. Positions are byte offsets; unless a function says
// otherwise, a search steps over a double-byte character (a byte of 0x80 or above and the byte
// after it) as one unit, so a match never starts on a trail byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex {

// Width of the character starting with byte c: 2 for a lead byte (0x80 or above), else 1.
constexpr std::size_t char_width(unsigned char c) { return c >= 0x80 ? 2 : 1; }

// Number of leading bytes of p[0..8) that are single-byte characters other than `avoid` (so a
// scan positioned on a character start may pass over them without looking): 8 when all are,
// else 0. Lets the scans below move over ASCII runs eight bytes at a time.
inline std::size_t ascii_run8(const char* p, unsigned char avoid) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
  const std::uint64_t x = w ^ (kOnes * avoid);
  const bool has_avoid = ((x - kOnes) & ~x & kHighs) != 0;
  return ((w & kHighs) == 0 && !has_avoid) ? 8 : 0;
}

// The same, avoiding either of two bytes.
inline std::size_t ascii_run8(const char* p, unsigned char avoid, unsigned char also_avoid) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
  const std::uint64_t x = w ^ (kOnes * avoid);
  const std::uint64_t y = w ^ (kOnes * also_avoid);
  const bool has_avoid = (((x - kOnes) & ~x) | ((y - kOnes) & ~y)) & kHighs;
  return ((w & kHighs) == 0 && !has_avoid) ? 8 : 0;
}

// First character-aligned occurrence of needle at or after `from` (which must be a character
// start), or npos. An empty needle never matches.
std::size_t find_aligned(std::string_view text, std::string_view needle, std::size_t from = 0);

// As find_aligned, but ASCII letters compare without regard to case.
std::size_t find_aligned_nocase(std::string_view text, std::string_view needle,
                                std::size_t from = 0);

// Whether two texts are equal, ASCII letters compared without regard to case.
bool equals_nocase(std::string_view a, std::string_view b);

// Plain byte-substring search, not aligned to characters; an empty text or needle never matches.
bool contains_bytes(std::string_view text, std::string_view needle);

// Whether needle occurs anywhere in text, ASCII letters compared without regard to case
// (unaligned, for header keys).
bool contains_nocase(std::string_view text, std::string_view needle);

// Pieces between the occurrences of delim, empty pieces dropped, order kept. An empty delimiter
// means ",". The views point into text.
std::vector<std::string_view> split_nonempty_views(std::string_view text, std::string_view delim);
std::vector<std::string> split_nonempty(std::string_view text, std::string_view delim);

// Calls fn(piece) for every non-empty piece, without building a vector.
template <class Fn>
void for_each_nonempty_piece(std::string_view text, std::string_view delim, Fn&& fn) {
  if (delim.empty()) delim = ",";
  std::size_t start = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  const char d0 = delim[0];
  while (i < n) {
    if (i + 8 <= n && ascii_run8(text.data() + i, static_cast<unsigned char>(d0)) == 8) {
      i += 8;
      continue;
    }
    if (text[i] == d0 && text.compare(i, delim.size(), delim) == 0) {
      if (i > start) fn(text.substr(start, i - start));
      i += delim.size();
      start = i;
    } else {
      i += char_width(static_cast<unsigned char>(text[i]));
    }
  }
  if (n > start) fn(text.substr(start));
}

// The rest of text after the last aligned occurrence of needle that does not end on the text's
// last byte; empty when there is none.
std::string_view text_after_last(std::string_view text, std::string_view needle);

// The text before the first occurrence of sep (case-sensitive); empty when sep does not occur.
std::string_view text_before(std::string_view text, std::string_view sep);

// The text between the first left delimiter and the first right delimiter after it; empty when
// either is missing. "#引号" in a delimiter stands for a double quote.
std::string text_between(std::string_view text, std::string left, std::string right);

// The text without any aligned occurrence of needle, ASCII letters compared without regard to case.
std::string remove_all_nocase(std::string_view text, std::string_view needle);

// Removes the half-width blank 0x20 and the full-width blank 0xA1 0xA1 at both ends.
std::string_view trim_spaces(std::string_view text);

// Removes the blanks 0x20 (only those) at both ends.
std::string_view trim_blanks(std::string_view text);

// Replaces, pair by pair, every aligned non-overlapping occurrence of the find text; the result of
// one pair is the input of the next. An empty find leaves the text unchanged.
std::string replace_in_order(
    std::string text, const std::vector<std::pair<std::string_view, std::string_view>>& pairs);
void replace_all_aligned(std::string& text, std::string_view find, std::string_view repl);

// One scan that tries the pairs in order at every character start and replaces the first that
// matches. It gives the same text as replace_in_order whenever no replacement can make or break a
// match of a later pair (true of the typesetter's keyword pairs, which share no characters). Works
// in place when no replacement is longer than its find text.
void replace_aligned_together(
    std::string& text, const std::vector<std::pair<std::string_view, std::string_view>>& pairs);

// Splits at every occurrence of sep, keeping empty pieces between adjacent separators but giving
// no empty last piece after a trailing separator; an empty text gives no piece.
std::vector<std::string_view> split_keep_empty(std::string_view text, std::string_view sep);

// The text with every line end (CR LF, a lone LF, a lone CR) written as CR LF. CR and LF never
// occur inside a GBK double-byte character, so bytes are enough. A text that has CR LF ends only
// comes back untouched, without a copy.
std::string normalize_line_ends(std::string text);

// Integer value of a text: leading blanks skipped, optional sign, then decimal digits up to the
// first other character; 0 when there are none. Saturates at the 32-bit range.
int parse_leading_int(std::string_view text);

}  // namespace quorvex
