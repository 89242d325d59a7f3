// The command line, run in-process with its output captured.
#include "cli/cli_main.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/gbk.h"
#include "support/scratch_dir.h"
#include "support/test_https_server.h"

namespace quorvex {
namespace {

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

Result run(std::vector<std::string> args, const std::string& input = "") {
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
            "{\"name\":\"\xE6\xA0\x87\xE9\xA2\x98\",\"link\":\"https://pan.baidu.com/s/"
            "1a\",\"code\":\"x9\","
            "\"status\":\"\",\"done\":\"\"}\n");
  const Result raw = run({"rows", "--json"}, "a \"q\"\\\tb\r\n");
  EXPECT_EQ(
      raw.out,
      "{\"name\":\"a\",\"link\":\"https://pan\",\"code\":\"\",\"status\":\"\",\"done\":\"\"}\n");
  const Result table = run({"rows"}, "n https://pan.baidu.com/s/1a\r\n");
  EXPECT_EQ(table.out,
            "\xE5\x90\x8D\xE7\xA7\xB0  \xE7\xBD\x91\xE7\x9B\x98\xE5\x9C\xB0\xE5\x9D\x80" +
                std::string(20, ' ') +
                "\xE5\xAF\x86\xE7\xA0\x81  \xE7\x8A\xB6\xE6\x80\x81  \xE6\x89\xA7\xE8\xA1\x8C\n"
                "n     https://pan.baidu.com/s/1a\n");
}

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

TEST(Cli, CheckPrintsVerdictsSummaryAndExports) {
  test::TestHttpsServer server([](const test::RecordedRequest& req) {
    test::ScriptedResponse r;
    r.body = req.target == "/live" ? "\xE5\xA4\xB1\xE6\x95\x88\xE6\x97\xB6\xE9\x97\xB4" : "gone";
    return r;
  });
  const std::string text =
      "good " + server.base_url() + "/live\r\nbad " + server.base_url() + "/dead\r\n";
  const test::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  const Result r = run({"check", "--threads", "4", "--json", "--export", dir.string(), "-"}, text);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"name\":\"good\",\"link\":\"" + server.base_url() +
                       "/live\",\"code\":\"\",\"status\":\"\xE2\x88\x9A\",\"done\":"
                       "\"\xE5\xAE\x8C\xE6\x88\x90\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"name\":\"bad\",\"link\":\"" + server.base_url() +
                       "/dead\",\"code\":\"\",\"status\":\"x\""),
            std::string::npos);
  EXPECT_NE(
      r.err.find(
          "\xE5\x85\xB1\xE8\xAE\xA1\xE6\xA3\x80\xE6\xB5\x8B:2\xE6\x9D\xA1\xE7\xBD\x91\xE5\x9D\x80\n"
          "\xE6\x9C\x89\xE6\x95\x88\xE7\xBD\x91\xE5\x9D\x80:1\n"
          "\xE5\xA4\xB1\xE6\x95\x88\xE7\xBD\x91\xE5\x9D\x80:1\n"),
      std::string::npos)
      << r.err;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(content.rfind(
                  " good   " + test::G("链接：") + server.base_url() + "/live   \r\n\r\n\r\n", 0),
              0u);
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace quorvex
