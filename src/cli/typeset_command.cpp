#include "base/charset.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "cli/translate.h"
#include "text/typeset.h"

namespace quorvex::cli {

namespace {

class TypesetCommand final : public Command {
 public:
  const char* name() const override { return "typeset"; }
  const char* summary() const override { return N_("lay forum text out into one line per link"); }

  void declare(CLI::App& app) override {
    app.footer(
        tr("Prints the typeset text, byte for byte what the window's source text holds after "
           "typesetting: one line per link line, CR LF line ends."));
    app.add_flag("--gbk", gbk_, tr("print the raw GBK bytes instead of UTF-8"));
    output_.declare(app, false);
    declare_input(app, input_);
  }

  int run(const Io& io) override {
    std::string text;
    if (!read_source(input_, io, text)) return kExitIoError;
    const std::string typeset = typeset_share_text(text);
    OutputTarget target;
    if (!target.open(output_, io, "typeset")) return kExitIoError;
    return write_text(target, gbk_ ? typeset : gbk_to_utf8(typeset));
  }

 private:
  bool gbk_ = false;
  OutputOptions output_;
  std::string input_ = "-";
};

}  // namespace

std::unique_ptr<Command> make_typeset_command() { return std::make_unique<TypesetCommand>(); }

}  // namespace quorvex::cli
