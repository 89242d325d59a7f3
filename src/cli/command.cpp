#include "cli/command.h"

#include <charconv>

#include "text/file_input.h"

namespace quorvex::cli {

std::vector<std::unique_ptr<Command>> all_commands() {
  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(make_typeset_command());
  commands.push_back(make_rows_command());
  commands.push_back(make_check_command());
  return commands;
}

void declare_input(CLI::App& app, std::string& path) {
  app.add_option("FILE", path,
                 "the text to read, as a dropped file is read (UTF-8, UTF-16 with a byte-order "
                 "mark, or GBK); '-' or none: standard input")
      ->type_name("");
}

bool read_source(const std::string& path, const Io& io, std::string& text) {
  const InputFile file = path == "-" ? read_input_stream(io.in) : read_input_file(path);
  if (file.status == InputFile::Status::ok) {
    text = file.text;
    return true;
  }
  const std::string shown = path == "-" ? "standard input" : path;
  switch (file.status) {
    case InputFile::Status::too_large:
      std::fprintf(io.err,
                   "quorvex-cli: %s: file is larger than %zu MiB; split it into smaller files\n",
                   shown.c_str(), kMaxInputBytes >> 20);
      break;
    case InputFile::Status::not_a_file:
      std::fprintf(io.err, "quorvex-cli: %s: is a folder, not a text file\n", shown.c_str());
      break;
    default:
      std::fprintf(io.err, "quorvex-cli: %s: cannot read: %s\n", shown.c_str(),
                   file.reason.c_str());
  }
  return false;
}

CLI::Validator positive_whole_number() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        int number = 0;
        const char* end = value.data() + value.size();
        const auto [rest, error] = std::from_chars(value.data(), end, number);
        if (error != std::errc() || rest != end || number < 1)
          return "needs a whole number above 0, not '" + value + "'";
        return {};
      },
      "N");
}

}  // namespace quorvex::cli
