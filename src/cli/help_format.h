// The help as people read it: wrapped to the terminal, an option's value named once (N, not
// N:N), and the footers' paragraphs wrapped with their examples kept as written.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::cli {

// `text` in lines of at most `width` display columns, the first indented by `first`, the others
// by `rest` spaces; lines end at blanks or between wide (Chinese) characters, never before closing
// punctuation, and a word longer than a line stands alone on its own.
std::string wrapped(std::string_view text, std::size_t width, std::size_t first, std::size_t rest);

class HelpFormatter : public CLI::Formatter {
 public:
  // `width`: the columns the help may take (the terminal's, else 80).
  explicit HelpFormatter(std::size_t width);

  std::string make_option(const CLI::Option* opt, bool is_positional) const override;
  std::string make_option_opts(const CLI::Option* opt) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_footer(const CLI::App* app) const override;

 private:
  // A name column and its description, wrapped beside it or below it when the name is long.
  std::string entry(const std::string& name, const std::string& description) const;

  std::size_t width_;
};

// The word of `choices` nearest to `word` when it is a likely mistyping of it (at most two
// edits away, a third of its length at most); "" when none is.
std::string nearest(std::string_view word, const std::vector<std::string>& choices);

}  // namespace quorvex::cli
