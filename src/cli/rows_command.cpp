#include "cli/cli_output.h"
#include "cli/command.h"
#include "session/session.h"

namespace quorvex::cli {

namespace {

class RowsCommand final : public Command {
 public:
  const char* name() const override { return "rows"; }
  const char* summary() const override { return "show the rows a load of the text produces"; }

  void declare(CLI::App& app) override {
    app.footer("Prints the rows a load of the text produces (name, link, code, status, done).");
    preparation_.declare(app);
    CLI::Option* json = app.add_flag(
        "--json", json_, "one JSON object per row with the keys name, link, code, status, done");
    app.add_flag("--gbk", gbk_, "print the raw GBK bytes instead of UTF-8 (not with --json)")
        ->excludes(json);
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
    const bool ok = json_ ? write_rows_json(io.out, *session.table())
                          : write_rows_table(io.out, *session.table(), gbk_);
    return finish_output(io.out, io.err, ok);
  }

 private:
  TextPreparation preparation_;
  bool json_ = false;
  bool gbk_ = false;
  std::string input_ = "-";
};

}  // namespace

std::unique_ptr<Command> make_rows_command() { return std::make_unique<RowsCommand>(); }

}  // namespace quorvex::cli
