#include <algorithm>
#include <array>

#include "base/charset.h"
#include "base/platform.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "cli/translate.h"
#include "model/share_url.h"
#include "shell/verdict_memory.h"
#include "store/verdict_store.h"
#include "text/extract.h"

namespace quorvex::cli {

namespace {

class HistoryCommand final : public Command {
 public:
  const char* name() const override { return "history"; }
  const char* summary() const override { return N_("show a share's stored verdicts over time"); }

  void declare(CLI::App& app) override {
    app.footer(
        tr("Prints every verdict the store holds for the share, oldest first: local time, status "
           "glyph, verdict, reason, the HTTP status of the answer (0: none came) and what decided "
           "(page: the share's page; api: the share-list API, asked when the page said nothing). "
           "A verdict dated in the future (a clock that was wrong) is marked so, and is not "
           "reused. The store is only read: nothing is made where there is none. SHARE is a "
           "share link in any form extraction reads, or a share ID (1...). Exits with 5 when the "
           "store holds no verdict for it.\n"
           "\n"
           "Examples:\n"
           "  a share, in any form:\n"
           "    quorvex-cli history https://pan.baidu.com/s/1abc\n"
           "  its verdicts for a script:\n"
           "    quorvex-cli history --format json 1abc"));
    app.add_option("SHARE", share_, tr("the share link or ID"))->required()->type_name("");
    app.add_option("-f,--format", format_,
                   tr("text (a table with a header, the default) or json (one object per line: "
                      "share, time, at, verdict, reason, http_status, source, future)"))
        ->check(CLI::IsMember({"text", "json"}))
        ->type_name("FORMAT");
    declare_store(app, store_path_);
  }

  int run(const Io& io) override {
    const std::string id = id_of(share_);
    if (id.empty()) {
      std::fprintf(io.err, tr("quorvex-cli history: %s is no share link\n"), share_.c_str());
      return kExitUsage;
    }
    // Looking must not make what it looks for: without a store there is simply no verdict.
    if (!path_info(chosen_store_path(store_path_)).exists) {
      std::fprintf(io.err, tr("quorvex-cli history: no stored verdict for %s\n"), id.c_str());
      return kExitNothing;
    }
    const std::shared_ptr<VerdictStore> store =
        open_store(store_path_, io, "history", StoreUse::read_only);
    if (!store) return kExitIoError;
    const auto history = store->history(id);
    if (history.empty()) {
      std::fprintf(io.err, tr("quorvex-cli history: no stored verdict for %s\n"), id.c_str());
      return kExitNothing;
    }
    const std::int64_t now = store_time_now();
    const bool json = format_ == "json";
    if (!json)
      print_line(io.out, {tr("time"), " ", tr("verdict"), tr("reason"), "http", tr("source")});
    for (const StoredVerdict& v : history) {
      const std::string_view verdict = verdict_code(v.verdict), reason = reason_code(v.reason);
      const std::string_view source = source_code(v.source);
      const bool future = dated_in_future(v.at, now);
      if (json) {
        std::string line = "{\"share\":";
        append_json_string(line, id);
        line += ",\"time\":";
        append_json_string(line, local_time_text(v.at));
        line += ",\"at\":" + std::to_string(v.at) + ",\"verdict\":";
        append_json_string(line, verdict);
        line += ",\"reason\":";
        append_json_string(line, reason);
        line += ",\"http_status\":" + std::to_string(v.http_status) + ",\"source\":";
        append_json_string(line, source);
        line += future ? ",\"future\":true}\n" : ",\"future\":false}\n";
        std::fputs(line.c_str(), io.out);
        continue;
      }
      print_line(io.out, {local_time_text(v.at), gbk_to_utf8(status_glyph(v.verdict)),
                          verdict_word(v.verdict), std::string(reason_text(v.reason)),
                          std::to_string(v.http_status),
                          std::string(source) + (future ? tr("  (dated in the future)") : "")});
    }
    return std::fflush(io.out) == 0 && !std::ferror(io.out) ? kExitOk : kExitIoError;
  }

 private:
  // A line of the table: time, glyph, verdict, reason, http, source, each column as wide as the
  // widest text it holds in either language (the header's "http" aside), in display columns.
  static void print_line(std::FILE* out, const std::array<std::string, 6>& cells) {
    static constexpr std::array<std::size_t, 5> kWidths = {19, 1, 7, 14, 3};
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      line += cells[c];
      if (c + 1 < cells.size())
        line.append(kWidths[c] - std::min(kWidths[c], display_columns(cells[c])) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    std::fputs(line.c_str(), out);
  }

  // The share ID of a link in any form, of any service, or of a bare ID: Baidu's "1…", another
  // service's as the store keys it ("quark:ID").
  static std::string id_of(const std::string& text) {
    const auto shares = find_shares(text);
    if (!shares.empty()) return shares.front().id;
    if (text.size() > 1 && text[0] == '1' && text.find_first_of(" /:?") == std::string::npos)
      return text;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos && service_of_code(std::string_view(text).substr(0, colon)) &&
        colon + 1 < text.size() && text.find_first_of(" /:?", colon + 1) == std::string::npos)
      return text;
    return {};
  }

  std::string share_;
  std::string format_ = "text";
  std::string store_path_;
};

}  // namespace

std::unique_ptr<Command> make_history_command() { return std::make_unique<HistoryCommand>(); }

}  // namespace quorvex::cli
