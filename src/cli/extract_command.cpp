#include "base/charset.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "cli/translate.h"
#include "text/extract.h"

namespace quorvex::cli {

namespace {

class ExtractCommand final : public Command {
 public:
  const char* name() const override { return "extract"; }
  const char* summary() const override { return N_("find every share link in a text, once each"); }

  void declare(CLI::App& app) override {
    app.footer(
        tr("Prints one line per distinct share of the text, in the shape the list loads:\n"
           "  TITLE  链接：https://pan.baidu.com/s/ID  密码：CODE\n"
           "(the code part only when a code was found), in order of first appearance.\n"
           "\n"
           "Links: pan.baidu.com/s/1ID or pan.baidu.com/share/init?surl=ID, with https://, "
           "http:// or no scheme. Code: ?pwd=CODE in the link, else 提取码, 提取密码, 密码 or "
           "访问码 with a colon or blanks and four letters or digits, after the link and before "
           "the next one. Title: the text before the link on its line (without 链接：, "
           "下载链接：, 网盘链接：, 百度网盘：), else the nearest usable line of the two above, "
           "else 未命名.\n"
           "\n"
           "Examples:\n"
           "  the shares of a forum text, a line each:\n"
           "    quorvex-cli extract posts.txt -o list.txt\n"
           "  checked at once:\n"
           "    quorvex-cli extract posts.txt | quorvex-cli check"));
    app.add_flag("--gbk", gbk_, tr("print the raw GBK bytes instead of UTF-8"));
    output_.declare(app, false);
    declare_input(app, input_);
  }

  int run(const Io& io) override {
    std::string text;
    if (!read_source(input_, io, text)) return kExitIoError;
    std::size_t shares = 0;
    const std::string lines = extract_share_text(text, &shares);
    if (shares == 0) std::fputs(tr("quorvex-cli extract: no share links found\n"), io.err);
    OutputTarget target;
    if (!target.open(output_, io, "extract")) return kExitIoError;
    return write_text(target, gbk_ ? lines : gbk_to_utf8(lines));
  }

 private:
  bool gbk_ = false;
  OutputOptions output_;
  std::string input_ = "-";
};

}  // namespace

std::unique_ptr<Command> make_extract_command() { return std::make_unique<ExtractCommand>(); }

}  // namespace quorvex::cli
