// The command line, run in-process with its output captured.
#include "cli/cli_main.h"
#include "cli/command.h"
#include "cli/help_format.h"
#include "cli/translate.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/platform.h"
#include "check/probe.h"
#include "shell/progress_estimate.h"
#include "store/verdict_store.h"
#include "support/gbk.h"
#include "support/scratch_dir.h"
#include "support/services_stand_in.h"
#include "support/share_service.h"

namespace quorvex {
namespace {

// The command line speaks the language of the locale it runs in (and so does every program these
// tests start): they read English unless they ask for Chinese.
void set_variable(const char* name, const char* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value);
#else
  if (value)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
#endif
}
const bool kEnglishLocale = [] {
  set_variable("LANGUAGE", nullptr);
  set_variable("LC_MESSAGES", nullptr);
  set_variable("LC_ALL", "C");
  return true;
}();

struct Result {
  int code;
  std::string out, err;
};

std::string slurp(std::FILE* f) {
  std::rewind(f);
  std::string s;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

// Each check that names no store gets a new one of its own: verdicts of one test must not stand
// in for the fetches of another, and no test writes into the user's data folder.
void give_check_its_own_store(std::vector<std::string>& args) {
  // A folder of the process's own, apart from the tests' scratch folders.
  struct Stores {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("quorvex-cli-test-stores-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    ~Stores() { std::filesystem::remove_all(path); }
  };
  static const Stores stores;
  static int count = 0;
  if (args.empty() || args[0] != "check") return;
  for (const auto& a : args)
    if (a == "--store") return;
  args.insert(args.begin() + 1,
              {"--store", (stores.path / ("store" + std::to_string(++count))).string()});
}

Result run(std::vector<std::string> args, const std::string& input = "") {
  give_check_its_own_store(args);
  std::FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Result r;
  r.code = cli::run(args, in, out, err);
  r.out = slurp(out);
  r.err = slurp(err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return r;
}

const std::string kForum =
    "\xE6\xA0\x87\xE9\xA2\x98\r\n"                                        // 标题
    "\xE9\x93\xBE\xE6\x8E\xA5\xEF\xBC\x9Ahttps://pan.baidu.com/s/1a\r\n"  // 链接：…
    "\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81\xEF\xBC\x9Ax9\r\n";             // 提取码：x9

TEST(Cli, TypesetPrintsUtf8OrRawGbk) {
  const Result utf8 = run({"typeset", "-"}, kForum);
  EXPECT_EQ(utf8.code, 0);
  EXPECT_EQ(utf8.out,
            "\r\n\xE6\xA0\x87\xE9\xA2\x98  "
            "\xE9\x93\xBE\xE6\x8E\xA5\xEF\xBC\x9Ahttps://pan.baidu.com/s/1a  "
            "\xE5\xAF\x86\xE7\xA0\x81\xEF\xBC\x9Ax9\r\n");
  const Result gbk = run({"typeset", "--gbk"}, kForum);
  EXPECT_EQ(gbk.out, test::G(utf8.out));
}

TEST(Cli, RowsAsJsonAndAsATable) {
  const Result json = run({"rows", "--typeset", "--json"}, kForum);
  EXPECT_EQ(json.code, 0);
  EXPECT_EQ(json.out,
            "{\"row\":1,\"name\":\"\xE6\xA0\x87\xE9\xA2\x98\",\"link\":\"https://pan.baidu.com/s/"
            "1a\",\"code\":\"x9\","
            "\"status\":\"\",\"done\":\"\",\"service\":\"baidu\"}\n");
  const Result raw = run({"rows", "--json"}, "a \"q\"\\\tb\r\n");
  EXPECT_EQ(raw.out,
            "{\"row\":1,\"name\":\"a\",\"link\":\"https://pan\",\"code\":\"\",\"status\":\"\","
            "\"done\":\"\",\"service\":null}\n");
  const Result table = run({"rows"}, "n https://pan.baidu.com/s/1a\r\n");
  EXPECT_EQ(table.out,
            "name  link                        code  status  done\n"
            "n     https://pan.baidu.com/s/1a\n");
  // In Chinese the headers are the list's own.
  const Result chinese = run({"rows", "--lang", "zh"}, "n https://pan.baidu.com/s/1a\r\n");
  EXPECT_EQ(chinese.out,
            "\xE5\x90\x8D\xE7\xA7\xB0  \xE7\xBD\x91\xE7\x9B\x98\xE5\x9C\xB0\xE5\x9D\x80" +
                std::string(20, ' ') +
                "\xE5\xAF\x86\xE7\xA0\x81  \xE7\x8A\xB6\xE6\x80\x81  \xE6\x89\xA7\xE8\xA1\x8C\n"
                "n     https://pan.baidu.com/s/1a\n");
}

TEST(Cli, HelpTeachesWithinEightyColumnsAndMistypesAreAnswered) {
  for (const char* language : {"en", "zh"}) {
    for (const char* command : {"", "typeset", "extract", "rows", "check", "history"}) {
      std::vector<std::string> args;
      if (*command) args.emplace_back(command);
      args.insert(args.end(), {"--help", "--lang", language});
      const Result help = run(args);
      EXPECT_EQ(help.code, 0) << command;
      for (std::size_t at = 0, end; (end = help.out.find('\n', at)) != std::string::npos;
           at = end + 1)
        EXPECT_LE(cli::display_columns(help.out.substr(at, end - at)), 80u)
            << language << " " << command << ": " << help.out.substr(at, end - at);
      for (const char* leftover : {":N", ":DIR", ":SECONDS", ":FILE", ":{", "Excludes:"})
        EXPECT_EQ(help.out.find(leftover), std::string::npos) << command << " " << leftover;
      if (std::string_view(command) != "typeset") {
        EXPECT_NE(help.out.find(std::string_view(language) == "en" ? "Examples:" : "示例："),
                  std::string::npos)
            << language << " " << command;
      }
    }
  }
  const Result command = run({"chek", "-"});
  EXPECT_EQ(command.code, 2);
  EXPECT_NE(command.err.find("'chek' is no command; did you mean 'check'?"), std::string::npos)
      << command.err;
  const Result flag = run({"check", "--thread", "3", "-"}, "a\n");
  EXPECT_EQ(flag.code, 2);
  EXPECT_NE(flag.err.find("did you mean '--threads'?"), std::string::npos) << flag.err;
  EXPECT_EQ(run({"frobnicate"}).err.find("did you mean"), std::string::npos);
  EXPECT_EQ(cli::nearest("histroy", {"history", "rows"}), "history");
  EXPECT_EQ(cli::nearest("x", {"rows"}), "");
}

#ifndef _WIN32
TEST(Cli, TheShellCompletionsKnowEveryFlagTheHelpShows) {
  const std::string folder = std::string(QUORVEX_TEST_DATA) + "/../../packaging/completions/";
  for (const char* file : {"quorvex-cli.bash", "_quorvex-cli", "quorvex-cli.fish"}) {
    std::ifstream in(folder + file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    const std::string completion(std::istreambuf_iterator<char>(in), {});
    for (const char* command : {"typeset", "extract", "rows", "check", "history"}) {
      EXPECT_NE(completion.find(command), std::string::npos) << file << " " << command;
      const std::string help = run({command, "--help"}).out;
      // The flags are the words of the option lines (those that start "  -") that start "--".
      for (std::size_t at = 0, end; (end = help.find('\n', at)) != std::string::npos;
           at = end + 1) {
        if (help.compare(at, 3, "  -") != 0) continue;
        const std::string names = help.substr(at, help.find_first_of(" ", at + 3) - at);
        for (std::size_t f = 0; (f = names.find("--", f)) != std::string::npos; f += 2) {
          const std::string flag = names.substr(f + 2, names.find(',', f) - f - 2);
          if (flag == "help") continue;
          // fish names a flag without its dashes.
          EXPECT_TRUE(completion.find("--" + flag) != std::string::npos ||
                      completion.find("-l " + flag) != std::string::npos)
              << file << ": " << command << " --" << flag;
        }
      }
    }
  }
}

#endif

#ifndef _WIN32
#ifndef _WIN32
// The messages marked for translation in the command line's sources: tr("…") and N_("…") give
// one, trn("…", "…", n) a singular and its plural; adjacent literals are joined.
std::vector<std::vector<std::string>> marked_messages(const std::string& source) {
  const auto literal_at = [&](std::size_t& at, std::string& out) {
    while (at < source.size() && std::isspace(static_cast<unsigned char>(source[at]))) ++at;
    if (at >= source.size() || source[at] != '"') return false;
    for (++at; at < source.size() && source[at] != '"'; ++at) {
      if (source[at] != '\\') {
        out.push_back(source[at]);
        continue;
      }
      const char c = source[++at];
      if (c == 'n') {
        out.push_back('\n');
      } else if (c == 't') {
        out.push_back('\t');
      } else if (c == 'x') {
        std::size_t used = 0;
        out.push_back(static_cast<char>(std::stoi(source.substr(at + 1, 2), &used, 16)));
        at += used;
      } else {
        out.push_back(c);
      }
    }
    ++at;
    return true;
  };
  std::vector<std::vector<std::string>> messages;
  for (const char* mark : {"tr(", "trn(", "N_("}) {
    for (std::size_t at = 0; (at = source.find(mark, at)) != std::string::npos;) {
      const bool word_start =
          at == 0 ||
          !(std::isalnum(static_cast<unsigned char>(source[at - 1])) || source[at - 1] == '_');
      at += std::strlen(mark);
      if (!word_start) continue;
      std::vector<std::string> texts;
      for (int arg = 0; arg < (std::string_view(mark) == "trn(" ? 2 : 1); ++arg) {
        std::string text;
        while (literal_at(at, text)) {
        }
        if (text.empty()) break;
        texts.push_back(text);
        while (at < source.size() &&
               (source[at] == ',' || std::isspace(static_cast<unsigned char>(source[at]))))
          ++at;
      }
      if (!texts.empty()) messages.push_back(texts);
    }
  }
  return messages;
}

// The printf directives of a message, in order.
std::string directives(const std::string& text) {
  std::string found;
  for (std::size_t at = 0; (at = text.find('%', at)) != std::string::npos;) {
    const std::size_t end = text.find_first_of("sdzul%", at + 1);
    const std::size_t stop =
        text[end] == 'z' || text[end] == 'l' ? text.find_first_of("sdu%", end) : end;
    found += text.substr(at, stop - at + 1) + " ";
    at = stop + 1;
  }
  return found;
}

TEST(Cli, TheCatalogueHasEveryMessageInBothLanguages) {
  const auto& catalogue = cli::chinese_catalogue();
  std::set<std::string> marked;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(QUORVEX_TEST_DATA) + "/../../src/cli")) {
    if (entry.path().extension() != ".cpp") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string source(std::istreambuf_iterator<char>(in), {});
    for (const auto& message : marked_messages(source)) {
      marked.insert(message[0]);
      const auto found = catalogue.find(message[0]);
      if (found == catalogue.end()) {
        ADD_FAILURE() << entry.path().filename() << ": no Chinese for \"" << message[0] << "\"";
        continue;
      }
      EXPECT_EQ(directives(found->second.translation), directives(message[0])) << message[0];
      EXPECT_EQ(found->second.plural, message.size() > 1 ? message[1] : "") << message[0];
    }
  }
  EXPECT_GT(marked.size(), 100u);
  // Nothing in the catalogue that the code no longer says.
  for (const auto& [english, message] : catalogue)
    EXPECT_TRUE(marked.count(english)) << "not in the code: \"" << english << "\"";
}
#endif

TEST(Cli, TheLanguageIsTheLocalesUnlessChosen) {
  using cli::LocaleSettings;
  const auto of = [](LocaleSettings s) { return cli::language_of(s); };
  EXPECT_EQ(of({}), Language::english);
  EXPECT_EQ(of({"", "", "", "zh_CN.UTF-8", ""}), Language::chinese);
  EXPECT_EQ(of({"", "", "", "zh_TW.Big5", ""}), Language::chinese);
  EXPECT_EQ(of({"", "", "", "en_US.UTF-8", ""}), Language::english);
  EXPECT_EQ(of({"", "C.UTF-8", "", "zh_CN.UTF-8", ""}), Language::english);  // LC_ALL first
  EXPECT_EQ(of({"", "", "zh_CN.UTF-8", "en_GB.UTF-8", ""}), Language::chinese);
  EXPECT_EQ(of({"zh_CN:en", "", "", "en_US.UTF-8", ""}), Language::chinese);  // LANGUAGE
  EXPECT_EQ(of({"zh_CN", "", "", "C", ""}), Language::english);  // …but not in the C locale
  EXPECT_EQ(of({"", "", "", "", "zh"}), Language::chinese);      // the system's interface
  EXPECT_EQ(of({"", "", "", "fr_FR.UTF-8", "zh"}), Language::english);
  EXPECT_EQ(cli::language_named("zh"), Language::chinese);
  EXPECT_EQ(cli::language_named("EN"), Language::english);
  EXPECT_EQ(cli::language_named("fr"), std::nullopt);

  // The tests run in the C locale: English, unless Chinese is asked for.
  const Result english = run({"rows", "-"}, "");
  EXPECT_EQ(english.code, 5);
  EXPECT_NE(english.err.find("the input holds no row"), std::string::npos) << english.err;
  const Result chinese = run({"rows", "--lang", "zh", "-"}, "");
  EXPECT_EQ(chinese.code, 5);
  EXPECT_NE(chinese.err.find("输入中没有一行"), std::string::npos) << chinese.err;
  // The parser's own complaints too, and --lang wherever it stands.
  const Result extra = run({"--lang=zh", "rows", "a", "b"});
  EXPECT_EQ(extra.code, 2);
  EXPECT_NE(extra.err.find("多余的参数：b"), std::string::npos) << extra.err;
  EXPECT_NE(run({"check", "--threads", "0", "--lang", "zh", "-"}).err.find("需要一个大于 0 的整数"),
            std::string::npos);
  EXPECT_EQ(run({"rows", "--lang", "fr", "-"}, "a\n").code, 2);

  // A Chinese locale chooses Chinese; --lang en overrides it. Scripts read the same JSON and the
  // same exit codes in both.
  set_variable("LC_ALL", "zh_CN.UTF-8");
  const Result by_locale = run({"rows", "--json", "-"}, "n https://pan.baidu.com/s/1a\r\n");
  const Result empty_by_locale = run({"rows", "-"}, "");
  const Result overridden = run({"rows", "--lang", "en", "-"}, "");
  set_variable("LC_ALL", "C");
  EXPECT_NE(empty_by_locale.err.find("输入中没有一行"), std::string::npos) << empty_by_locale.err;
  EXPECT_NE(overridden.err.find("the input holds no row"), std::string::npos) << overridden.err;
  const Result json = run({"rows", "--json", "-"}, "n https://pan.baidu.com/s/1a\r\n");
  EXPECT_EQ(by_locale.out, json.out);
  EXPECT_EQ(by_locale.code, json.code);
  EXPECT_EQ(run({"rows", "--format", "csv", "--lang", "zh", "-"}, "n\r\n").out,
            run({"rows", "--format", "csv", "-"}, "n\r\n").out);
}

TEST(Cli, HelpWrapsChineseBetweenCharactersNeverBeforeItsPunctuation) {
  const std::string text =
      "结论保存在存储中（默认为用户的数据文件夹），存储的结论足够新时不再获取。";
  const std::string lines = cli::wrapped(text, 20, 0, 2);
  std::size_t count = 0;
  for (std::size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = lines.substr(at, end - at);
    ++count;
    EXPECT_LE(cli::display_columns(line), 20u) << line;
    for (const char* closing : {"，", "。", "）"})
      EXPECT_NE(line.find_first_not_of(' '), line.find(closing)) << line;
    EXPECT_FALSE(line.ends_with("（")) << line;
  }
  EXPECT_GE(count, 4u);
  // Nothing is lost or added but the line breaks and the indent.
  std::string joined;
  for (const char c : lines)
    if (c != '\n' && c != ' ') joined.push_back(c);
  EXPECT_EQ(joined, text);
  EXPECT_EQ(cli::wrapped("a bc def", 5, 0, 0), "a bc\ndef\n");
}

TEST(Cli, TheDocsQuoteTheFiguresTheCodeUses) {
  const auto read = [](const std::string& path) {
    std::ifstream in(std::string(QUORVEX_TEST_DATA) + "/../../" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string readme = read("README.md"), man = read("packaging/man/quorvex-cli.1.scd"),
                    verdicts = read("docs/verdicts.md"), help = run({"check", "--help"}).out,
                    top_help = run({"--help"}).out;
  ASSERT_FALSE(readme.empty());
  ASSERT_FALSE(man.empty());
  ASSERT_FALSE(verdicts.empty());
  // The largest share page.
  const std::string cap = std::to_string(ProbeSettings{}.max_page_bytes >> 20) + " MiB";
  EXPECT_NE(readme.find(cap), std::string::npos) << cap;
  EXPECT_NE(verdicts.find(cap), std::string::npos) << cap;
  for (const std::string& doc : {readme, verdicts}) {
    for (const int other : {1, 4, 8, 16}) {
      if (std::to_string(other) + " MiB" == cap) continue;
      EXPECT_EQ(doc.find("page over " + std::to_string(other) + " MiB"), std::string::npos);
    }
  }
  // How long probes get after Ctrl+C.
  const std::string grace = "under way " + std::to_string(cli::kSignalGrace.count()) + " s";
  for (const std::string* doc : {&readme, &man, &help})
    EXPECT_NE(doc->find(grace), std::string::npos) << grace;
  // How long stored verdicts stand in for a fetch.
  const VerdictLifetimes ages;
  const std::string valid = std::to_string(ages.valid.count() / 3600);
  const std::string invalid = std::to_string(ages.invalid.count() / 86400);
  EXPECT_NE(readme.find("valid " + valid + " h, invalid " + invalid + " days"), std::string::npos);
  EXPECT_NE(help.find("valid ones for " + valid + " hours, invalid ones for " + invalid + " days"),
            std::string::npos);
  // The exit codes, in the help, the README and the man page alike.
  const std::pair<int, const char*> codes[] = {
      {cli::kExitNothing, "nothing"}, {130, "Ctrl+C"}, {128 + 15, "SIGTERM"}, {128 + 1, "SIGHUP"}};
  for (const auto& [code, word] : codes) {
    const std::string number = std::to_string(code);
    for (const std::string* doc : {&readme, &man, &top_help}) {
      const std::size_t at = doc->find(number + " ");
      const std::size_t starred = doc->find("*" + number + "*");
      EXPECT_TRUE(at != std::string::npos || starred != std::string::npos) << number << " " << word;
    }
  }
  // The signals' codes, as each says them, lines joined.
  const auto joined = [](std::string text) {
    for (char& c : text)
      if (c == '\n' || c == '\t') c = ' ';
    return text;
  };
  EXPECT_NE(joined(top_help).find("130 Ctrl+C, 143 SIGTERM, 129 SIGHUP"), std::string::npos);
  EXPECT_NE(joined(readme).find("130 Ctrl+C, 143 SIGTERM, 129 SIGHUP"), std::string::npos);
  EXPECT_NE(joined(man).find("*130* Ctrl+C, *143* SIGTERM, *129* SIGHUP"), std::string::npos);
}

#endif

TEST(Cli, UsageAndFileErrors) {
  EXPECT_EQ(run({}).code, 2);
  EXPECT_EQ(run({"frobnicate"}).code, 2);
  EXPECT_EQ(run({"rows", "--bogus"}).code, 2);
  EXPECT_EQ(run({"rows", "a", "b"}).code, 2);
  EXPECT_EQ(run({"typeset", "--json"}).code, 2);
  EXPECT_EQ(run({"rows", "--json", "--gbk"}).code, 2);
  EXPECT_EQ(run({"check", "--threads", "0"}).code, 2);
  EXPECT_EQ(run({"check", "--threads"}).code, 2);
  const Result missing = run({"rows", "/no/such/file.txt"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("/no/such/file.txt"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());
  EXPECT_EQ(run({"rows", "/"}).code, 1);
  for (const char* cmd : {"typeset", "rows", "check"}) {
    const Result help = run({cmd, "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find(std::string("quorvex-cli ") + cmd), std::string::npos);
  }
  EXPECT_EQ(run({"--help"}).code, 0);
}

// Sets an environment variable for one test.
class ScopedEnv {
 public:
#ifdef _WIN32
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    _putenv_s(name, value.c_str());
  }
  ~ScopedEnv() { _putenv_s(name_, ""); }
#else
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { ::unsetenv(name_); }
#endif
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
};

// The command line reaches the stand-in as pan.baidu.com and trusts its authority.
struct StandIn {
  test::ShareService service;
  ScopedEnv connect{"QUORVEX_CONNECT_TO", service.connect_to()};
  ScopedEnv ca{"QUORVEX_CA_FILE", test::test_ca_file()};
};

std::string lines_for(std::initializer_list<std::pair<std::string, std::string>> rows) {
  std::string text;
  for (const auto& [name, id] : rows) text += name + " " + test::ShareService::link(id) + "\r\n";
  return text;
}

TEST(Cli, CheckPrintsVerdictsSummaryAndExports) {
  StandIn stand_in;
  const std::string text = lines_for({{"good", "need"}, {"bad", "deleted"}});
  const test::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  const Result r = run({"check", "--threads", "4", "--json", "--export", dir.string(), "-"}, text);
  EXPECT_EQ(r.code, 3) << r.err;  // some rows invalid, none unknown
  EXPECT_NE(
      r.out.find(
          "{\"row\":1,\"name\":\"good\",\"link\":\"https://pan.baidu.com/s/1need\",\"code\":\"\","
          "\"status\":\"\xE2\x88\x9A\",\"verdict\":\"valid\",\"reason\":\"need_code\","
          "\"cached\":false,\"done\":\"\xE5\xAE\x8C\xE6\x88\x90\",\"service\":\"baidu\"}"),
      std::string::npos)
      << r.out;
  EXPECT_NE(
      r.out.find("\"name\":\"bad\",\"link\":\"https://pan.baidu.com/s/1deleted\",\"code\":\"\","
                 "\"status\":\"x\",\"verdict\":\"invalid\",\"reason\":\"deleted\""),
      std::string::npos);
  EXPECT_NE(r.err.find("checked: 2 links\nvalid: 1\ninvalid: 1\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("unknown:"), std::string::npos);
  // The summary says where the export went, and that no row was left unchecked.
  const std::size_t summary = r.out.find("{\"summary\":");
  ASSERT_NE(summary, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"unchecked\":0,\"stopped\":false,", summary), std::string::npos) << r.out;
  const std::size_t export_key = r.out.find("\"export\":\"", summary);
  ASSERT_NE(export_key, std::string::npos) << r.out;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++files;
    EXPECT_NE(r.out.find(entry.path().filename().string(), export_key), std::string::npos);
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(
        content.rfind(
            " good   " + test::G("链接：") + "https://pan.baidu.com/s/1need   \r\n\r\n\r\n", 0),
        0u);
  }
  EXPECT_EQ(files, 1);
}

// Rows a list line aims at another host are never fetched: "x" with their reason, outside the
// counts, and a summary line of their own so that the counts and the rows agree.
TEST(Cli, RowsWithoutAShareLinkAreToldApartInTheSummary) {
  StandIn stand_in;
  const std::string text = lines_for({{"good", "need"}}) +
                           "evil pan.evilhost.example/s/1abc\r\n"
                           "inside https://pan@127.0.0.1:9443/s/1abc\r\n";
  const Result r = run({"check", "--threads", "4", "--json", "-"}, text);
  EXPECT_EQ(r.code, 3) << r.err;
  for (const auto& request : stand_in.service.requests())
    EXPECT_EQ(request.target.find("1abc"), std::string::npos) << request.target;
  EXPECT_NE(r.out.find("\"name\":\"evil\",\"link\":\"https://pan.evilhost.example/s/1abc\","
                       "\"code\":\"\",\"status\":\"x\",\"verdict\":\"invalid\","
                       "\"reason\":\"not_share_link\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("checked: 1 link\nvalid: 1\ninvalid: 0\nno share link: 2\n"),
            std::string::npos)
      << r.err;
  // The JSON summary counts them apart too; the exit code still takes them for invalid rows.
  EXPECT_NE(r.out.find("{\"summary\":{\"total\":3,\"valid\":1,\"invalid\":0,\"unknown\":0,"
                       "\"not_share_link\":2,\"duplicates\":0,"),
            std::string::npos)
      << r.out;
}

// An empty folder name would be the root folder to the system; a missing one is a typo.
TEST(Cli, ExportNeedsAnExistingFolder) {
  const test::ScratchDir scratch;
  for (const std::string& dir : {std::string(), (scratch.path() / "missing").string()}) {
    const Result r = run({"check", "--export", dir, "-"}, "a b\r\n");
    EXPECT_EQ(r.code, 2) << dir;
    EXPECT_NE(r.err.find("--export"), std::string::npos) << r.err;
  }
}

TEST(Cli, ExitCodesTellValidInvalidAndUnknownApart) {
  StandIn stand_in;
  const Result all_valid = run({"check", "-"}, lines_for({{"a", "public"}, {"b", "needcode"}}));
  EXPECT_EQ(all_valid.code, 0) << all_valid.err;
  EXPECT_NE(all_valid.out.find("checked: 2 links\nvalid: 2\ninvalid: 0\n"), std::string::npos);
  const Result some_unknown = run({"check", "--retries", "0", "-"},
                                  lines_for({{"a", "public"}, {"b", "down"}, {"c", "deleted"}}));
  EXPECT_EQ(some_unknown.code, 4);
  EXPECT_NE(some_unknown.out.find("checked: 3 links\nvalid: 1\ninvalid: 1\nunknown: 1\n"),
            std::string::npos)
      << some_unknown.out;
}

TEST(Cli, ExtractFindsEachShareOnceAndFeedsRowsAndCheck) {
  // LF line ends, a link without a scheme, a half-width colon, the code on the next line, and the
  // same share again in its other spelling.
  const std::string post =
      "电影 合集\n链接: pan.baidu.com/s/1need\n提取码: ab12\n\n"
      "又一个 https://pan.baidu.com/share/init?surl=need\n"
      "坏的 https://pan.baidu.com/s/1deleted?pwd=cd34\n";
  const Result extracted = run({"extract", "-"}, post);
  EXPECT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_EQ(extracted.out,
            "电影　合集  链接：https://pan.baidu.com/s/1need  密码：ab12\r\n"
            "坏的  链接：https://pan.baidu.com/s/1deleted  密码：cd34\r\n");
  EXPECT_EQ(run({"extract", "--gbk", "-"}, post).out, test::G(extracted.out));
  // Loaded as it is, the post is no list of links: said on stderr, the rows printed all the same.
  const Result raw = run({"rows", "-"}, post);
  EXPECT_EQ(raw.code, 0);
  EXPECT_NE(raw.err.find("quorvex-cli rows: this text is not one link a line; extraction finds 2 "
                         "share links in it: add --extract"),
            std::string::npos)
      << raw.err;
  EXPECT_NE(raw.out.find("电影"), std::string::npos);
  const Result rows = run({"rows", "--extract", "--json", "-"}, post);
  EXPECT_EQ(rows.err, "");
  EXPECT_NE(
      rows.out.find("{\"row\":1,\"name\":\"电影　合集\",\"link\":\"https://pan.baidu.com/s/1need\","
                    "\"code\":\"ab12\""),
      std::string::npos)
      << rows.out;
  StandIn stand_in;
  const Result checked = run({"check", "--extract", "-"}, post);
  EXPECT_EQ(checked.code, 3) << checked.err;
  EXPECT_NE(checked.out.find("checked: 2 links\nvalid: 1\ninvalid: 1\n"), std::string::npos)
      << checked.out;
  // Without extraction the repeated share is a row of its own, fetched once, and told apart.
  const Result repeated =
      run({"check", "-"}, lines_for({{"a", "public"}, {"b", "deleted"}, {"c", "public"}}));
  EXPECT_NE(repeated.out.find("checked: 3 links\nvalid: 2\ninvalid: 1\nduplicates: 1\n"),
            std::string::npos)
      << repeated.out;
}

TEST(Cli, EveryLinkFormOfAForumPostEndsWithItsVerdict) {
  // The older host name, the mobile page, a share of the older kind, a share ID holding "pan",
  // a redesigned page the share-list API answers for, and rows without any link.
  const std::string post =
      "旧域名 https://yun.baidu.com/s/1need-y 提取码：ab12\n"
      "手机页 pan.baidu.com/wap/init?surl=deleted-w\n"
      "老式分享 https://pan.baidu.com/share/link?shareid=1&uk=77\n"
      "含pan https://pan.baidu.com/s/1public-xpanQ7rT\n"
      "改版 https://pan.baidu.com/s/1redesigned-m7-r\n";
  StandIn stand_in;
  const test::ScratchDir scratch;
  const std::string store = (scratch.path() / "v.sqlite").string();
  const Result checked =
      run({"check", "--extract", "--json", "--ordered", "--store", store, "-"}, post);
  EXPECT_EQ(checked.code, 3) << checked.err;
  for (
      const char* row : {
          R"("link":"https://pan.baidu.com/s/1need-y","code":"ab12","status":"√","verdict":"valid")",
          R"("link":"https://pan.baidu.com/s/1deleted-w","code":"","status":"x","verdict":"invalid")",
          R"("link":"https://pan.baidu.com/share/link?shareid=1&uk=77","code":"","status":"√")",
          R"("link":"https://pan.baidu.com/s/1public-xpanQ7rT","code":"","status":"√")",
          R"("link":"https://pan.baidu.com/s/1redesigned-m7-r","code":"","status":"x","verdict":"invalid","reason":"deleted")",
      })
    EXPECT_NE(checked.out.find(row), std::string::npos) << row << "\n" << checked.out;
  // The loaded line keeps the whole ID, without extraction too.
  const Result rows = run({"rows", "--json", "-"}, "含pan 链接：https://pan.baidu.com/s/1xpanY\n");
  EXPECT_NE(rows.out.find(R"("link":"https://pan.baidu.com/s/1xpanY")"), std::string::npos)
      << rows.out;
  // Each share's history, in any of its forms; the API's verdict says it was the API's.
  const Result yun = run({"history", "--store", store, "yun.baidu.com/s/1need-y"});
  EXPECT_NE(yun.out.find("valid    need_code       200  page"), std::string::npos) << yun.out;
  const Result link =
      run({"history", "--store", store, "pan.baidu.com/share/link?uk=77&shareid=1"});
  EXPECT_NE(link.out.find("valid    public          200  page"), std::string::npos) << link.out;
  const Result api = run({"history", "--store", store, "1redesigned-m7-r"});
  EXPECT_NE(api.out.find("invalid  deleted         200  api"), std::string::npos) << api.out;
  // In Chinese the words and the reasons are the window's, the columns still aligned.
  const Result chinese = run({"history", "--lang", "zh", "--store", store, "1redesigned-m7-r"});
  EXPECT_NE(chinese.out.find("x  失效     已删除          200  api"), std::string::npos)
      << chinese.out;
  EXPECT_EQ(chinese.out.find("时间"), 0u) << chinese.out;
  EXPECT_EQ(stand_in.service.list_requests_for("redesigned-m7-r"), 1);
  EXPECT_EQ(stand_in.service.list_requests_for("need-y"), 0);
}

TEST(Cli, AForumPostOfEveryServiceIsCheckedAtEachServicesOwnHosts) {
  // One post, every service: extraction finds each share once with its title and code, the run
  // asks each service's own hosts, the rows say their service, and the store keeps each share
  // under its service, found again by any of its links.
  const std::string post =
      "【合集】4K\n"
      "夸克网盘链接：https://pan.quark.cn/s/needcode?pwd=bad1\n"
      "阿里云盘 资料 www.alipan.com/s/public 提取码：q8w9\n"
      "115：https://115.com/s/expired?password=k9k9\n"
      "123 https://www.123pan.com/s/missing\n"
      "天翼 https://cloud.189.cn/t/waiting（访问码：ab12）\n"
      "蓝奏 https://wwi.lanzoux.com/needcode 密码:6n7m\n"
      "百度 https://pan.baidu.com/s/1need 提取码：zz99\n"
      "again pan.quark.cn/s/needcode#/list/share\n";
  test::ShareService baidu;
  const test::ServicesStandIn others;
  std::string connect = baidu.connect_to();
  for (const std::string& entry : others.connect_to()) connect += "," + entry;
  const ScopedEnv to{"QUORVEX_CONNECT_TO", connect};
  const ScopedEnv ca{"QUORVEX_CA_FILE", test::test_ca_file()};
  const test::ScratchDir scratch;
  const std::string store = (scratch.path() / "v.sqlite").string();
  const Result checked =
      run({"check", "--extract", "--json", "--ordered", "--store", store, "-"}, post);
  EXPECT_EQ(checked.code, 4) << checked.err;  // some unknown
  for (
      const char* row : {
          R"("link":"https://pan.quark.cn/s/needcode","code":"bad1","status":"x","verdict":"invalid","reason":"wrong_code")",
          R"("link":"https://www.alipan.com/s/public","code":"q8w9","status":"√","verdict":"valid","reason":"public")",
          R"("link":"https://115.com/s/expired","code":"k9k9","status":"x","verdict":"invalid","reason":"expired")",
          R"("link":"https://www.123pan.com/s/missing","code":"","status":"x","verdict":"invalid")",
          R"("link":"https://cloud.189.cn/t/waiting","code":"ab12","status":"?","verdict":"unknown","reason":"temporary")",
          R"("link":"https://wwi.lanzoux.com/needcode","code":"6n7m","status":"√","verdict":"valid","reason":"need_code")",
          R"("link":"https://pan.baidu.com/s/1need","code":"zz99","status":"√","verdict":"valid")",
      })
    EXPECT_NE(checked.out.find(row), std::string::npos) << row << "\n" << checked.out;
  for (const char* service : {"quark", "aliyun", "115", "123pan", "tianyi", "lanzou", "baidu"})
    EXPECT_NE(checked.out.find(std::string(R"("service":")") + service + "\"}"), std::string::npos)
        << service;
  // Seven shares, the second Quark link being the first one's.
  EXPECT_NE(checked.out.find(R"("total":7)"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find(R"("name":"阿里云盘　资料")"), std::string::npos) << checked.out;
  // Nothing went anywhere but to the services' own hosts, each share once (Quark's two steps).
  for (const test::RecordedRequest& request : others.requests()) {
    std::string host;
    for (const auto& [name, value] : request.headers)
      if (name == "Host" || name == "host") host = value;
    EXPECT_TRUE(host == "drive-h.quark.cn" || host == "api.aliyundrive.com" ||
                host == "webapi.115.com" || host == "www.123pan.com" || host == "cloud.189.cn" ||
                host == "wwi.lanzoux.com")
        << host;
  }
  EXPECT_EQ(others.requests().size(), 6u);
  // The store knows each share by its service, whichever link names it.
  const Result quark = run({"history", "--store", store, "https://pan.quark.cn/s/needcode?pwd=x"});
  EXPECT_NE(quark.out.find("invalid  wrong_code"), std::string::npos) << quark.out << quark.err;
  const Result lanzou = run({"history", "--store", store, "abc.lanzn.com/needcode"});
  EXPECT_NE(lanzou.out.find("valid    need_code"), std::string::npos) << lanzou.out << lanzou.err;
  const Result by_key = run({"history", "--store", store, "115:expired"});
  EXPECT_NE(by_key.out.find("invalid  expired"), std::string::npos) << by_key.out << by_key.err;
  // A run of some services only leaves the others' rows unchecked, without a request.
  const std::size_t before = others.requests().size();
  const Result baidu_only =
      run({"check", "--extract", "--json", "--services", "baidu", "--store", store, "-"}, post);
  EXPECT_EQ(others.requests().size(), before);
  EXPECT_NE(baidu_only.out.find(R"("unchecked":6)"), std::string::npos) << baidu_only.out;
  EXPECT_EQ(run({"check", "--services", "baidu,dropbox", "-"}, post).code, 2);
}

TEST(Cli, VerdictsAreKeptAndReusedUntilTheyAreTooOld) {
  StandIn stand_in;
  const test::ScratchDir scratch;
  const std::string store = (scratch.path() / "verdicts.sqlite").string();
  const std::string text = lines_for({{"a", "public"}, {"b", "deleted"}, {"c", "down"}});
  const Result first = run({"check", "--store", store, "--retries", "0", "--json", "-"}, text);
  EXPECT_EQ(first.code, 4) << first.err;
  EXPECT_EQ(stand_in.service.requests().size(), 3u);
  // Again: valid and invalid verdicts come from the store, the unknown row is fetched.
  const Result second = run({"check", "--store", store, "--retries", "0", "--json", "-"}, text);
  EXPECT_EQ(second.code, 4);
  EXPECT_EQ(stand_in.service.requests_for("public"), 1);
  EXPECT_EQ(stand_in.service.requests_for("deleted"), 1);
  EXPECT_EQ(stand_in.service.requests_for("down"), 2);
  EXPECT_NE(second.out.find("\"reason\":\"public\",\"cached\":true"), std::string::npos)
      << second.out;
  EXPECT_NE(second.out.find("\"verdict\":\"unknown\",\"reason\":\"http_503\",\"cached\":false"),
            std::string::npos)
      << second.out;
  // --fresh fetches all; a lifetime of 0 hours turns reuse off for that verdict.
  run({"check", "--store", store, "--retries", "0", "--fresh", "-"}, text);
  EXPECT_EQ(stand_in.service.requests_for("public"), 2);
  EXPECT_EQ(stand_in.service.requests_for("deleted"), 2);
  run({"check", "--store", store, "--retries", "0", "--reuse-valid", "0", "-"}, text);
  EXPECT_EQ(stand_in.service.requests_for("public"), 3);
  EXPECT_EQ(stand_in.service.requests_for("deleted"), 2);
  // The history of a share, in any spelling.
  const Result history = run({"history", "--store", store, "pan.baidu.com/share/init?surl=public"});
  EXPECT_EQ(history.code, 0) << history.err;
  int lines = 0;
  for (const char c : history.out) lines += c == '\n';
  EXPECT_EQ(lines, 4) << history.out;  // the header and three verdicts
  EXPECT_NE(history.out.find("valid    public          200"), std::string::npos) << history.out;
  EXPECT_EQ(run({"history", "--store", store, "nothing"}).code, 2);
  // A store that cannot be used is said, and the run goes on without it.
  const Result broken =
      run({"check", "--store", "/proc/no/such/store", "--retries", "0", "-"}, text);
  EXPECT_NE(broken.err.find("store"), std::string::npos) << broken.err;
  EXPECT_EQ(broken.code, 4);
}

TEST(Cli, ANetworkThatIsDownIsNoVerdict) {
  // Nothing listens where the share host is sent: every row stays undecided, none is "dead".
  ScopedEnv connect{"QUORVEX_CONNECT_TO", "pan.baidu.com:443:127.0.0.1:1"};
  const Result r =
      run({"check", "--retries", "1", "--json", "-"}, lines_for({{"a", "public"}, {"b", "need"}}));
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.out.find("\"status\":\"?\",\"verdict\":\"unknown\",\"reason\":\"network\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("valid: 0\ninvalid: 0\nunknown: 2\n"), std::string::npos) << r.err;
}

TEST(Cli, CertificatesAndTheirOptions) {
  test::ShareService forged({}, test::ServerCert::self_signed);
  ScopedEnv connect{"QUORVEX_CONNECT_TO", forged.connect_to()};
  const std::string text = lines_for({{"a", "public"}});
  const Result rejected =
      run({"check", "--retries", "0", "--ca-file", test::test_ca_file(), "--json", "-"}, text);
  EXPECT_EQ(rejected.code, 4);
  EXPECT_NE(rejected.out.find("\"reason\":\"tls\""), std::string::npos) << rejected.out;
  const Result insecure = run({"check", "--insecure", "-"}, text);
  EXPECT_EQ(insecure.code, 0) << insecure.err;
  const Result missing = run({"check", "--ca-file", "/no/such/ca.pem", "-"}, text);
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("/no/such/ca.pem"), std::string::npos);
}

TEST(Cli, CheckOptionsAreTyped) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "--threads", "5x"},
                                               {"check", "--retries", "-1"},
                                               {"check", "--retries", "two"},
                                               {"check", "--timeout", "0"},
                                               {"check", "--timeout", "abc"},
                                               {"check", "--cooldown", "-1"},
                                               {"check", "--rate", "0"},
                                               {"check", "--rate", "51"},
                                               {"check", "--give-up-after", "0"},
                                               {"check", "--give-up-after", "30x"},
                                               {"check", "--ca-file"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, 2) << args[1] << " " << args.back();
    EXPECT_NE(r.err.find("Try 'quorvex-cli check --help'"), std::string::npos) << r.err;
  }
  const Result help = run({"check", "--help"});
  for (const char* flag : {"--retries", "--timeout", "--cooldown", "--ca-file", "--insecure",
                           "--rate", "--give-up-after"})
    EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
  EXPECT_EQ(cli::parse_duration("90"), std::chrono::seconds(90));
  EXPECT_EQ(cli::parse_duration("1.5m"), std::chrono::seconds(90));
  EXPECT_EQ(cli::parse_duration("2h"), std::chrono::seconds(7200));
  EXPECT_FALSE(cli::parse_duration("m"));
  EXPECT_FALSE(cli::parse_duration("-5s"));
}

TEST(Cli, VersionAndShortFlags) {
  const Result version = run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, std::string("quorvex-cli ") + QUORVEX_VERSION + "\n");
  const Result help = run({"--help"});
  EXPECT_NE(help.out.find("50 rows a second"), std::string::npos);
  EXPECT_NE(help.out.find("3 some rows invalid"), std::string::npos);
  EXPECT_NE(run({"check", "--help"}).out.find("-j,--threads"), std::string::npos);
  EXPECT_EQ(run({"check", "-j", "0"}).code, 2);
  EXPECT_EQ(run({"rows", "-f", "yaml"}).code, 2);
  EXPECT_EQ(run({"rows", "-f", "csv", "--json"}).code, 2);
  EXPECT_EQ(run({"rows", "--force"}).code, 2);  // --force only with --output
  EXPECT_EQ(run({"rows", "-f", "csv", "--gbk"}, "a\r\n").code, 2);
}

TEST(Cli, TheTableLinesUpInDisplayColumnsWithItsReasonAndColoursOnlyWhenAsked) {
  EXPECT_EQ(cli::display_columns("abc"), 3u);
  EXPECT_EQ(cli::display_columns("好资源"), 6u);
  EXPECT_EQ(cli::display_columns("√"), cli::display_columns("x"));  // ambiguous: narrow
  EXPECT_EQ(cli::display_columns("ｗ１"), 4u);                      // full-width forms
  EXPECT_EQ(cli::display_columns("e\xCC\x81"), 1u);                 // a combining accent
  EXPECT_EQ(cli::display_columns("🎬"), 2u);
  StandIn stand_in;
  // In Chinese, where the names, the headers and the reasons are all wide.
  const Result checked =
      run({"check", "--lang", "zh", "-"}, lines_for({{"好资源合集", "public"}, {"ab", "deleted"}}));
  // Every column starts at the same display column in every row, whatever its glyphs.
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = checked.out.find('\n', at)) != std::string::npos;
       at = end + 1)
    lines.push_back(checked.out.substr(at, end - at));
  ASSERT_GE(lines.size(), 3u) << checked.out;
  EXPECT_NE(lines[0].find("原因"), std::string::npos) << lines[0];
  const auto column_of = [](const std::string& line, const std::string& cell) {
    return cli::display_columns(line.substr(0, line.find(cell)));
  };
  EXPECT_EQ(column_of(lines[1], "https://"), column_of(lines[2], "https://"));
  EXPECT_EQ(column_of(lines[1], "公开"), column_of(lines[2], "已删除"));
  EXPECT_EQ(column_of(lines[0], "原因"), column_of(lines[1], "公开"));
  EXPECT_EQ(column_of(lines[1], "完成"), column_of(lines[2], "完成"));
  EXPECT_NE(checked.out.find("共计检测:2条网址\n有效网址:1\n失效网址:1\n"), std::string::npos);
  EXPECT_EQ(checked.out.find('\033'), std::string::npos);  // a pipe gets no colour
  const Result coloured =
      run({"check", "--color", "always", "-"}, lines_for({{"a", "public"}, {"b", "deleted"}}));
  EXPECT_NE(coloured.out.find("\033[32m√\033[0m"), std::string::npos) << coloured.out;
  EXPECT_NE(coloured.out.find("\033[31mx\033[0m"), std::string::npos) << coloured.out;
  EXPECT_EQ(run({"rows", "--color", "sometimes", "-"}, "a\n").code, 2);
}

TEST(Cli, TheProgressLineFitsTheTerminalOnOneLine) {
  RunSnapshot run;
  run.state = RunState::cooling_down;
  run.total = 12000;
  run.finished = 5400;
  run.valid = 4000;
  run.invalid = 1300;
  run.unknown = 90;
  run.not_share_link = 10;
  run.cooldown_left = std::chrono::seconds(37);
  RateEstimate rate;
  const auto now = RateEstimate::Clock::now();
  rate.add(now - std::chrono::seconds(5), 5000);
  rate.add(now, 5400);
  const std::string wide = cli::progress_line(run, rate, 200, false);
  for (const char* part : {"45%", "5400/12000", "valid 4000", "invalid 1300", "unknown 90",
                           "no share link 10", "throttled by the service: resuming in 37 s"})
    EXPECT_NE(wide.find(part), std::string::npos) << part << " in " << wide;
  for (const int room : {100, 79, 59, 40, 20}) {
    const std::string line = cli::progress_line(run, rate, room, true);
    EXPECT_LE(cli::visible_columns(line), room) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    // The count of rows done and the throttling are the last to go.
    if (room >= 59) {
      EXPECT_NE(line.find("resuming in 37 s"), std::string::npos) << line;
    }
    EXPECT_NE(line.find("5400/12000"), std::string::npos) << line;
  }
}

#ifndef _WIN32
TEST(Cli, ColourAndWidthFollowTheTerminal) {
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  winsize size{};
  size.ws_col = 60;
  size.ws_row = 20;
  ASSERT_EQ(::ioctl(slave, TIOCSWINSZ, &size), 0);
  std::FILE* terminal = ::fdopen(slave, "w");
  ASSERT_NE(terminal, nullptr);
  EXPECT_EQ(terminal_columns(terminal), 60);
  ::unsetenv("NO_COLOR");
  EXPECT_TRUE(cli::use_color(cli::ColorChoice::automatic, terminal));
  ::setenv("NO_COLOR", "1", 1);
  EXPECT_FALSE(cli::use_color(cli::ColorChoice::automatic, terminal));
  EXPECT_TRUE(cli::use_color(cli::ColorChoice::always, terminal));
  ::unsetenv("NO_COLOR");
  EXPECT_FALSE(cli::use_color(cli::ColorChoice::never, terminal));
  std::FILE* file = std::tmpfile();
  EXPECT_FALSE(cli::use_color(cli::ColorChoice::automatic, file));
  EXPECT_EQ(terminal_columns(file), 0);
  std::fclose(file);
  std::fclose(terminal);
  ::close(master);
}
#endif

TEST(Cli, ScriptsAreNeverMisledByAnEmptyInputANullOutputOrAnEmptyHistory) {
  // No row at all: said, and a code of its own, for rows and check alike.
  for (const char* command : {"rows", "check"}) {
    const Result empty = run({command, "-"}, "\r\n\r\n");
    EXPECT_EQ(empty.code, 5) << command;
    EXPECT_NE(empty.err.find("the input holds no row"), std::string::npos) << empty.err;
    EXPECT_EQ(empty.out, "");
  }
  // A device takes the output without --force.
#ifndef _WIN32
  const Result null = run({"rows", "-o", "/dev/null", "-"}, "a https://pan.baidu.com/s/1a\n");
  EXPECT_EQ(null.code, 0) << null.err;
#endif
  const test::ScratchDir dir;
  const std::string store = (dir.path() / "verdicts.sqlite").string();
  const Result none = run({"history", "--store", store, "1nothing"});
  EXPECT_EQ(none.code, 5);
  EXPECT_NE(none.err.find("no stored verdict for 1nothing"), std::string::npos) << none.err;
  EXPECT_FALSE(std::filesystem::exists(store));  // looking made nothing
  {
    StandIn stand_in;
    ASSERT_EQ(run({"check", "--store", store, "-"}, lines_for({{"a", "public"}})).code, 0);
  }
  const Result text = run({"history", "--store", store, "1public"});
  EXPECT_EQ(text.code, 0) << text.err;
  EXPECT_EQ(text.out.rfind("time  ", 0), 0u) << text.out;
  const Result json = run({"history", "--store", store, "--format", "json", "1public"});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"share\":\"1public\",\"time\":\"", 0), 0u) << json.out;
  EXPECT_NE(json.out.find("\"verdict\":\"valid\",\"reason\":\"public\",\"http_status\":200,"
                          "\"source\":\"page\",\"future\":false}\n"),
            std::string::npos)
      << json.out;
}

TEST(Cli, RowsAsCsvAndMarkdownWithTheirQuoting) {
  const std::string text = "a,b https://pan.baidu.com/s/1x\r\n\"q\"|z\r\n";
  const Result csv = run({"rows", "-f", "csv", "-"}, text);
  EXPECT_EQ(csv.code, 0) << csv.err;
  EXPECT_EQ(csv.out,
            "row,name,link,code,status,done,service\r\n"
            "1,\"a,b\",https://pan.baidu.com/s/1x,,,,baidu\r\n"
            "2,\"\"\"q\"\"|z\",,,,,\r\n");
  const Result md = run({"rows", "--format", "markdown", "-"}, text);
  EXPECT_EQ(md.out,
            "| row | name | link | code | status | done | service |\n"
            "|---:|---|---|---|---|---|---|\n"
            "| 1 | a,b | https://pan.baidu.com/s/1x |  |  |  | baidu |\n"
            "| 2 | \"q\"\\|z |  |  |  |  |  |\n");
}

// A title written to attack whoever reads the output: escape sequences for the terminal (OSC 52
// writes the clipboard), formulas for the spreadsheet that opens the CSV.
TEST(Cli, CsvAndMarkdownCannotAttackTheirReader) {
  const std::string text =
      "=HYPERLINK(\"http://x\") https://pan.baidu.com/s/1a\r\n"
      "+cmd|calc https://pan.baidu.com/s/1b\r\n"
      "@SUM(A1) https://pan.baidu.com/s/1c\r\n"
      "-2+3 https://pan.baidu.com/s/1d\r\n"
      "\t=1+1 https://pan.baidu.com/s/1e\r\n"
      "\x1b]52;c;ZXZpbA==\x07title\x1b[2J https://pan.baidu.com/s/1f =x\r\n"
      "plain https://pan.baidu.com/s/1g\r\n";
  auto no_controls = [](const std::string& out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto c = static_cast<unsigned char>(out[i]);
      if ((c < 0x20 && c != '\n' && c != '\r') || c == 0x7F) return false;
    }
    return true;
  };
  const test::ScratchDir scratch;
  const std::string file = (scratch.path() / "rows.csv").string();
  for (const bool to_file : {false, true}) {
    std::vector<std::string> args = {"rows", "-f", "csv", "-"};
    if (to_file) args.insert(args.end() - 1, {"-o", file});
    const Result csv = run(args, text);
    ASSERT_EQ(csv.code, 0) << csv.err;
    std::string out = csv.out;
    if (to_file) {
      std::ifstream in(file, std::ios::binary);
      out.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_TRUE(no_controls(out)) << out;
    for (const char* cell : {"\"'=HYPERLINK(\"\"http://x\"\")\"", "'+cmd|calc", "'@SUM(A1)",
                             "'-2+3", "' =1+1", "\" ]52;c;ZXZpbA== title [2J\"", ",plain,"})
      EXPECT_NE(out.find(cell), std::string::npos) << cell << "\n" << out;
  }
  const Result md = run({"rows", "-f", "markdown", "-"}, text);
  EXPECT_TRUE(no_controls(md.out)) << md.out;
  EXPECT_NE(md.out.find("|  \\]52;c;ZXZpbA== title \\[2J |"), std::string::npos) << md.out;
  const Result json = run({"rows", "--json", "-"}, text);
  EXPECT_TRUE(no_controls(json.out)) << json.out;
  EXPECT_NE(json.out.find("\\u001b]52;c;ZXZpbA==\\u0007title"), std::string::npos);
}

// Nothing of a text is changed without a word: NUL bytes taken out, stray bytes of a UTF-8 text.
TEST(Cli, WhatReadingTheTextChangedIsSaid) {
  std::string utf8;
  for (int i = 0; i < 30; ++i)
    utf8 += "\xE6\xA0\x87\xE9\xA2\x98" + std::to_string(i) + " https://pan.baidu.com/s/1a" +
            std::to_string(i) + "\r\n";
  std::string damaged = utf8;
  damaged.insert(3, 1, '\xFF');
  damaged.insert(damaged.size() - 2, 1, '\0');
  const Result r = run({"rows", "--json", "-"}, damaged);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("1 NUL byte taken out"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("read as UTF-8; 1 byte that forms no character"), std::string::npos)
      << r.err;
  // Every row and its title survive: the last one too, behind the NUL.
  EXPECT_NE(r.out.find("\"row\":30,\"name\":\"\xE6\xA0\x87\xE9\xA2\x98"
                       "29\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"name\":\"\xE6\xA0\x87?\xE9\xA2\x98"
                       "0\""),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(run({"rows", "-"}, utf8).err.empty());
}

// A store path that names something else is a mistake in the options: what is there is left as
// it is and the check goes on without a store.
TEST(Cli, WhatIsNotAStoreIsNeverMovedAndTheCheckGoesOn) {
  StandIn stand_in;
  const test::ScratchDir scratch;
  const auto folder = scratch.path() / "notes";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "diary.txt") << "dear diary\n";
  const auto text_file = scratch.path() / "notes.txt";
  std::ofstream(text_file) << "my notes\n";
  auto listing = [&] {
    std::string out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(scratch.path()))
      out += e.path().string() + "\n";
    return out;
  };
  const std::string before = listing();
  const std::string list = lines_for({{"good", "need"}});
  for (const auto& store : {folder, text_file}) {
    const Result r = run({"check", "--store", store.string(), "-"}, list);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(store.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not kept"), std::string::npos) << r.err;
    ScopedEnv env("QUORVEX_STORE", store.string());
    EXPECT_EQ(run({"check", "-"}, list).code, 0);
    const Result history = run({"history", "https://pan.baidu.com/s/1need"});
    EXPECT_EQ(history.code, 1) << history.err;
  }
  EXPECT_EQ(listing(), before);
  std::ifstream in(text_file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "my notes\n");
}

TEST(Cli, HistoryMakesNothingAndMarksAVerdictDatedInTheFuture) {
  const test::ScratchDir scratch;
  const auto missing = scratch.path() / "a" / "b" / "verdicts.sqlite";
  const Result none = run({"history", "--store", missing.string(), "1abc"});
  EXPECT_EQ(none.code, 5) << none.err;
  EXPECT_NE(none.err.find("no stored verdict for 1abc"), std::string::npos) << none.err;
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "a"));

  const std::string path = (scratch.path() / "verdicts.sqlite").string();
  {
    auto opened = VerdictStore::open(path);
    opened.store->record({"1abc", Verdict::valid, Reason::public_share, store_time_now() + 86400,
                          200, VerdictSource::page});
    opened.store->record({"1abc", Verdict::invalid, Reason::deleted, store_time_now() - 10, 200,
                          VerdictSource::page});
  }
  const Result history = run({"history", "--store", path, "https://pan.baidu.com/s/1abc"});
  EXPECT_EQ(history.code, 0) << history.err;
  const std::size_t first_line = history.out.find('\n');
  ASSERT_NE(first_line, std::string::npos) << history.out;
  EXPECT_NE(history.out.find("deleted"), std::string::npos);
  EXPECT_EQ(history.out.substr(0, first_line).find("dated in the future"), std::string::npos);
  EXPECT_NE(history.out.find("public", first_line), std::string::npos) << history.out;
  EXPECT_NE(history.out.find("(dated in the future)", first_line), std::string::npos);
}

TEST(Cli, OutputFilesAreNeverReplacedUnlessForced) {
  const test::ScratchDir scratch;
  const std::string file = (scratch.path() / "rows.json").string();
  const Result first = run({"rows", "--json", "-o", file, "-"}, "a\r\n");
  EXPECT_EQ(first.code, 0) << first.err;
  EXPECT_TRUE(first.out.empty());
  auto content = [&] {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(content(),
            "{\"row\":1,\"name\":\"a\",\"link\":\"\",\"code\":\"\",\"status\":\"\","
            "\"done\":\"\",\"service\":null}\n");
  const Result again = run({"rows", "--json", "--output", file, "-"}, "b\r\n");
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_NE(content().find("\"a\""), std::string::npos);
  EXPECT_EQ(run({"rows", "-f", "csv", "-o", file, "--force", "-"}, "b\r\n").code, 0);
  EXPECT_EQ(content(), "row,name,link,code,status,done,service\r\n1,b,,,,,\r\n");
  EXPECT_EQ(run({"rows", "-o", (scratch.path() / "no" / "such").string(), "-"}, "b").code, 1);
}

TEST(Cli, CheckStreamsJsonLinesWithRowNumbersAndASummary) {
  StandIn stand_in;
  // The slow share lands last although it is the first row.
  const std::string text =
      lines_for({{"slow", "slow"}, {"good", "need"}, {"bad", "deleted"}, {"again", "need"}});
  const Result r = run({"check", "-j", "4", "-f", "json", "-q", "-"}, text);
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;  // -q: no progress, no summary lines
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(r.out.substr(at, end - at));
  ASSERT_EQ(lines.size(), 5u) << r.out;
  EXPECT_EQ(lines[3].rfind("{\"row\":1,\"name\":\"slow\"", 0), 0u) << r.out;
  int seen_rows = 0;
  for (int i = 0; i < 4; ++i)
    for (int row = 1; row <= 4; ++row)
      if (lines[static_cast<std::size_t>(i)].rfind("{\"row\":" + std::to_string(row) + ",", 0) == 0)
        seen_rows |= 1 << row;
  EXPECT_EQ(seen_rows, 0b11110);
  const std::string& summary = lines[4];
  EXPECT_EQ(summary.rfind("{\"summary\":{\"total\":4,\"valid\":3,\"invalid\":1,\"unknown\":0,"
                          "\"not_share_link\":0,"
                          "\"duplicates\":1,\"seconds\":",
                          0),
            0u)
      << summary;
  EXPECT_EQ(summary.substr(summary.size() - 2), "}}");
  // --ordered: list order, all at the end; the people's summary on standard error.
  const Result ordered = run({"check", "--json", "--ordered", "-"}, text);
  EXPECT_EQ(ordered.out.rfind("{\"row\":1,", 0), 0u);
  EXPECT_NE(ordered.out.find("}\n{\"row\":2,"), std::string::npos);
  EXPECT_NE(ordered.err.find("valid: 3"), std::string::npos);
  EXPECT_NE(ordered.err.find("duplicates: 1"), std::string::npos);
}

TEST(Cli, CheckAsCsvCarriesTheVerdicts) {
  StandIn stand_in;
  const Result r =
      run({"check", "--format", "csv", "-"}, lines_for({{"good", "public"}, {"gone", "deleted"}}));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")),
            "row,name,link,code,status,verdict,reason,cached,done,service");
  EXPECT_NE(r.out.find("\r\n1,good,https://pan.baidu.com/s/1public,,\xE2\x88\x9A,valid,public,"
                       "false,\xE5\xAE\x8C\xE6\x88\x90,baidu\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\r\n2,gone,https://pan.baidu.com/s/1deleted,,x,invalid,deleted,false,"),
            std::string::npos);
  EXPECT_NE(r.err.find("invalid: 1"), std::string::npos);
}

}  // namespace
}  // namespace quorvex
