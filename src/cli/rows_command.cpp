#include "cli/cli_output.h"
#include "cli/command.h"
#include "cli/translate.h"
#include "session/session.h"

namespace quorvex::cli {

namespace {

class RowsCommand final : public Command {
 public:
  const char* name() const override { return "rows"; }
  const char* summary() const override { return N_("show the rows a load of the text produces"); }

  void declare(CLI::App& app) override {
    app.footer(
        tr("Prints the rows a load of the text produces: row (from 1), name, link, code, status, "
           "done. Exits with 5 when the text holds no row.\n"
           "\n"
           "Examples:\n"
           "  the rows the window would show:\n"
           "    quorvex-cli rows list.txt\n"
           "  the shares of a forum text as JSON:\n"
           "    quorvex-cli rows --extract --json posts.txt"));
    preparation_.declare(app);
    output_.declare(app, true);
    app.add_flag("--gbk", gbk_, tr("print the table's raw GBK bytes instead of UTF-8 (text only)"));
    declare_input(app, input_);
  }

  int run(const Io& io) override {
    std::string text;
    if (!read_source(input_, io, text)) return kExitIoError;
    text = preparation_.apply(std::move(text));
    Session session;
    session.set_source_text(std::move(text));
    session.reset_run_state();
    session.wait_for_loads();
    if (session.load_failed()) {
      std::fputs(tr("quorvex-cli rows: not enough memory for the rows of this list\n"), io.err);
      return kExitIoError;
    }
    if (gbk_ && output_.format() != Format::text) {
      std::fputs(tr("quorvex-cli rows: --gbk is for the text table only\n"), io.err);
      return kExitUsage;
    }
    if (!has_rows(io.err, "rows", session)) return kExitNothing;
    preparation_.hint(io.err, "rows", session);
    OutputTarget target;
    if (!target.open(output_, io, "rows")) return kExitIoError;
    std::FILE* out = target.io().out;
    return target.finish(write_rows(out, *session.table(), output_.format(), false, gbk_,
                                    use_color(output_.color_choice(), out)));
  }

 private:
  TextPreparation preparation_;
  OutputOptions output_;
  bool gbk_ = false;
  std::string input_ = "-";
};

}  // namespace

std::unique_ptr<Command> make_rows_command() { return std::make_unique<RowsCommand>(); }

}  // namespace quorvex::cli
