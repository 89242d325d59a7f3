#include "cli/help_format.h"

#include <algorithm>

#include "cli/cli_output.h"

namespace quorvex::cli {

namespace {

constexpr std::size_t kNameColumn = 26;

// A piece of text a line may end after; `joined` when it follows the piece before it without a
// blank (the characters of a Chinese sentence).
struct Piece {
  std::string text;
  bool joined = false;
};

// Length of the UTF-8 character that starts with `lead`.
std::size_t char_length(unsigned char lead) {
  return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Punctuation a line never starts with: it stays with the character before it.
bool closes(std::string_view character) {
  static constexpr std::string_view kClosing[] = {"，", "。", "、", "；", "：", "）", "」",
                                                  "！", "？", ")",  ",",  ".",  ";",  ":"};
  for (const std::string_view c : kClosing)
    if (character == c) return true;
  return false;
}

// Punctuation a line never ends with: it stays with the character after it.
bool opens(std::string_view text) {
  static constexpr std::string_view kOpening[] = {"（", "「", "“", "(", "'", "\""};
  for (const std::string_view c : kOpening)
    if (text.ends_with(c)) return true;
  return false;
}

// Words at the blanks, and the wide characters of a word each a piece of its own.
std::vector<Piece> pieces_of(std::string_view text) {
  std::vector<Piece> pieces;
  bool after_blank = true;
  bool last_wide = false;
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] == ' ' || text[at] == '\n') {
      after_blank = true;
      ++at;
      continue;
    }
    const std::size_t n =
        std::min(char_length(static_cast<unsigned char>(text[at])), text.size() - at);
    const std::string_view character = text.substr(at, n);
    at += n;
    const bool wide = display_columns(character) == 2;
    if (!after_blank && !pieces.empty() &&
        (closes(character) || opens(pieces.back().text) || (!wide && !last_wide))) {
      pieces.back().text.append(character);
    } else {
      pieces.push_back({std::string(character), !after_blank && !pieces.empty()});
    }
    after_blank = false;
    last_wide = wide;
  }
  return pieces;
}

}  // namespace

std::string wrapped(std::string_view text, std::size_t width, std::size_t first, std::size_t rest) {
  std::string out;
  std::string line(first, ' ');
  std::size_t used = first;
  bool empty = true;
  for (const Piece& piece : pieces_of(text)) {
    const std::size_t columns = display_columns(piece.text);
    const std::size_t blank = piece.joined ? 0 : 1;
    if (!empty && used + blank + columns > width) {
      out += line + "\n";
      line.assign(rest, ' ');
      used = rest;
      empty = true;
    }
    if (!empty && blank) {
      line += ' ';
      ++used;
    }
    line += piece.text;
    used += columns;
    empty = false;
  }
  if (!empty) out += line + "\n";
  return out;
}

HelpFormatter::HelpFormatter(std::size_t width) : width_(std::clamp<std::size_t>(width, 40, 100)) {
  column_width(kNameColumn);
}

std::string HelpFormatter::entry(const std::string& name, const std::string& description) const {
  const std::string head = "  " + name;
  if (description.empty()) return head + "\n";
  if (display_columns(head) + 2 <= kNameColumn) {
    // The description beside the name, its further lines under its first.
    std::string body = wrapped(description, width_, kNameColumn, kNameColumn);
    return head + body.substr(display_columns(head));
  }
  return head + "\n" + wrapped(description, width_, kNameColumn, kNameColumn);
}

std::string HelpFormatter::make_option(const CLI::Option* opt, bool is_positional) const {
  return entry(make_option_name(opt, is_positional) + make_option_opts(opt), make_option_desc(opt));
}

std::string HelpFormatter::make_option_opts(const CLI::Option* opt) const {
  // The value's name once: what validators add to it (":N", ":{a,b}") the description says.
  if (opt->get_type_size() == 0) return {};
  std::string type = opt->get_type_name();
  type = type.substr(0, type.find(':'));
  return type.empty() ? std::string() : " " + type;
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
  return entry(sub->get_display_name(true), sub->get_description());
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
  const std::string description = app->get_description();
  return description.empty() ? std::string() : wrapped(description, width_, 0, 0);
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
  const std::string footer = app->get_footer();
  if (footer.empty()) return {};
  // Lines that start with a blank (examples) stay as written; the others are paragraphs.
  std::string out, paragraph;
  const auto flush = [&] {
    if (!paragraph.empty()) out += wrapped(paragraph, width_, 0, 0);
    paragraph.clear();
  };
  std::size_t at = 0;
  while (at <= footer.size()) {
    const std::size_t end = std::min(footer.find('\n', at), footer.size());
    const std::string line = footer.substr(at, end - at);
    if (line.empty() || line.front() == ' ') {
      flush();
      out += line + "\n";
    } else {
      paragraph += (paragraph.empty() ? "" : " ") + line;
    }
    at = end + 1;
  }
  flush();
  return "\n" + out;
}

std::string nearest(std::string_view word, const std::vector<std::string>& choices) {
  std::string best;
  std::size_t best_distance = 3;
  for (const std::string& choice : choices) {
    // Levenshtein distance, one row at a time.
    std::vector<std::size_t> row(choice.size() + 1);
    for (std::size_t j = 0; j <= choice.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= word.size(); ++i) {
      std::size_t diagonal = row[0];
      row[0] = i;
      for (std::size_t j = 1; j <= choice.size(); ++j) {
        const std::size_t above = row[j];
        row[j] = std::min(
            {row[j] + 1, row[j - 1] + 1, diagonal + (word[i - 1] == choice[j - 1] ? 0 : 1)});
        diagonal = above;
      }
    }
    const std::size_t distance = row[choice.size()];
    if (distance < best_distance && distance * 3 <= std::max(word.size(), choice.size())) {
      best_distance = distance;
      best = choice;
    }
  }
  return best;
}

}  // namespace quorvex::cli
