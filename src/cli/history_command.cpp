#include "base/charset.h"
#include "base/platform.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "model/share_url.h"
#include "shell/verdict_memory.h"
#include "store/verdict_store.h"
#include "text/extract.h"

namespace quorvex::cli {

namespace {

class HistoryCommand final : public Command {
 public:
  const char* name() const override { return "history"; }
  const char* summary() const override { return "show a share's stored verdicts over time"; }

  void declare(CLI::App& app) override {
    app.footer(
        "Prints every verdict the store holds for the share, oldest first: local time, status\n"
        "glyph, verdict, reason, the HTTP status of the answer (0: none came) and what decided\n"
        "(page: the share's page; api: the share-list API, asked when the page said nothing).\n"
        "A verdict dated in the future (a clock that was wrong) is marked so, and is not reused.\n"
        "The store is only read: nothing is made where there is none.\n"
        "SHARE is a share link in any form extraction reads, or a share ID (1...).\n"
        "Exits with 5 when the store holds no verdict for it.\n"
        "\n"
        "Examples:\n"
        "  a share, in any form:\n"
        "    quorvex-cli history https://pan.baidu.com/s/1abc\n"
        "  its verdicts for a script:\n"
        "    quorvex-cli history --format json 1abc");
    app.add_option("SHARE", share_, "the share link or ID")->required()->type_name("");
    app.add_option("-f,--format", format_,
                   "text (a table with a header, the default) or json (one object per line: "
                   "share, time, at, verdict, reason, http_status, source, future)")
        ->check(CLI::IsMember({"text", "json"}))
        ->type_name("FORMAT");
    declare_store(app, store_path_);
  }

  int run(const Io& io) override {
    const std::string id = id_of(share_);
    if (id.empty()) {
      std::fprintf(io.err, "quorvex-cli history: %s is no share link\n", share_.c_str());
      return kExitUsage;
    }
    // Looking must not make what it looks for: without a store there is simply no verdict.
    if (!path_info(chosen_store_path(store_path_)).exists) {
      std::fprintf(io.err, "quorvex-cli history: no stored verdict for %s\n", id.c_str());
      return kExitNothing;
    }
    const std::shared_ptr<VerdictStore> store =
        open_store(store_path_, io, "history", StoreUse::read_only);
    if (!store) return kExitIoError;
    const auto history = store->history(id);
    if (history.empty()) {
      std::fprintf(io.err, "quorvex-cli history: no stored verdict for %s\n", id.c_str());
      return kExitNothing;
    }
    const std::int64_t now = store_time_now();
    const bool json = format_ == "json";
    if (!json)
      std::fprintf(io.out, "%-19s  %s  %-7s  %-14s  %s  %s\n", "time", " ", "verdict", "reason",
                   "http", "source");
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
      const std::string glyph = gbk_to_utf8(status_glyph(v.verdict));
      std::fprintf(io.out, "%-19s  %s  %-7.*s  %-14.*s  %d  %.*s%s\n",
                   local_time_text(v.at).c_str(), glyph.c_str(), static_cast<int>(verdict.size()),
                   verdict.data(), static_cast<int>(reason.size()), reason.data(), v.http_status,
                   static_cast<int>(source.size()), source.data(),
                   future ? "  (dated in the future)" : "");
    }
    return std::fflush(io.out) == 0 && !std::ferror(io.out) ? kExitOk : kExitIoError;
  }

 private:
  // The share ID of a link in any form, or of a bare ID.
  static std::string id_of(const std::string& text) {
    const auto shares = find_shares(text);
    if (!shares.empty()) return shares.front().id;
    if (text.size() > 1 && text[0] == '1' && text.find_first_of(" /:?") == std::string::npos)
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
