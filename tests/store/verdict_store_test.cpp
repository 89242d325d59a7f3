#include "store/verdict_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>

#include "support/scratch_dir.h"

namespace quorvex {
namespace {

StoredVerdict verdict(const std::string& share, std::int64_t at, Verdict v = Verdict::valid,
                      Reason r = Reason::need_code, int status = 200) {
  return {share, v, r, at, status};
}

std::int64_t user_version(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr);
  sqlite3_step(stmt);
  const std::int64_t v = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return v;
}

class VerdictStoreTest : public ::testing::Test {
 protected:
  std::string path() const { return (dir_.path() / "sub" / "verdicts.sqlite").string(); }
  test::ScratchDir dir_;
};

TEST_F(VerdictStoreTest, KeepsVerdictsAcrossOpeningsNewestFirst) {
  {
    auto opened = VerdictStore::open(path());
    ASSERT_TRUE(opened.store) << opened.message;
    EXPECT_EQ(opened.message, "");
    opened.store->record(verdict("1a", 100));
    opened.store->record(verdict("1a", 200, Verdict::invalid, Reason::deleted, 200));
    opened.store->record(verdict("1b", 150, Verdict::unknown, Reason::timeout, 0));
    opened.store->flush();
    EXPECT_EQ(opened.store->written(), 3u);
  }
  auto opened = VerdictStore::open(path());
  ASSERT_TRUE(opened.store);
  const auto latest = opened.store->latest({"1a", "1b", "1none"});
  ASSERT_EQ(latest.size(), 3u);
  ASSERT_TRUE(latest[0] && latest[1]);
  EXPECT_EQ(latest[0]->verdict, Verdict::invalid);
  EXPECT_EQ(latest[0]->reason, Reason::deleted);
  EXPECT_EQ(latest[0]->at, 200);
  EXPECT_EQ(latest[1]->reason, Reason::timeout);
  EXPECT_EQ(latest[1]->http_status, 0);
  EXPECT_FALSE(latest[2]);
  const auto history = opened.store->history("1a");
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].at, 100);
  EXPECT_EQ(history[1].verdict, Verdict::invalid);
}

TEST_F(VerdictStoreTest, AStoreOfTheFirstVersionKeepsItsVerdictsAsThePagesOwn) {
  std::filesystem::create_directories(dir_.path() / "sub");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db,
               "CREATE TABLE verdicts(share TEXT NOT NULL, at INTEGER NOT NULL, verdict INTEGER "
               "NOT NULL, reason TEXT NOT NULL, status INTEGER NOT NULL);"
               "CREATE INDEX verdicts_by_share ON verdicts(share, at);"
               "INSERT INTO verdicts VALUES('1old', 10, 1, 'public', 200);"
               "PRAGMA user_version = 1;",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  auto opened = VerdictStore::open(path());
  ASSERT_TRUE(opened.store) << opened.message;
  EXPECT_EQ(opened.message, "");
  EXPECT_EQ(user_version(path()), kStoreSchemaVersion);
  StoredVerdict from_api = verdict("1old", 20, Verdict::invalid, Reason::empty_share);
  from_api.source = VerdictSource::api;
  opened.store->record(from_api);
  opened.store->flush();
  const auto history = opened.store->history("1old");
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].reason, Reason::public_share);
  EXPECT_EQ(history[0].source, VerdictSource::page);
  EXPECT_EQ(history[1].reason, Reason::empty_share);
  EXPECT_EQ(history[1].source, VerdictSource::api);
  EXPECT_EQ(opened.store->latest({"1old"})[0]->source, VerdictSource::api);
}

TEST_F(VerdictStoreTest, ThePaceLearnedIsKeptPerServiceTheLastOneOnly) {
  {
    auto opened = VerdictStore::open(path());
    ASSERT_TRUE(opened.store) << opened.message;
    EXPECT_FALSE(opened.store->pace("pan.baidu.com"));
    opened.store->record_pace("pan.baidu.com", {11, 9.5, 100});
    opened.store->record_pace("pan.baidu.com", {21, 19, 200});
    opened.store->record_pace("other.example", {0, 50, 300});
    opened.store->flush();
  }
  auto opened = VerdictStore::open(path());
  ASSERT_TRUE(opened.store);
  const auto pace = opened.store->pace("pan.baidu.com");
  ASSERT_TRUE(pace);
  EXPECT_DOUBLE_EQ(pace->ceiling, 21);
  EXPECT_DOUBLE_EQ(pace->held, 19);
  EXPECT_EQ(pace->at, 200);
  EXPECT_DOUBLE_EQ(opened.store->pace("other.example")->held, 50);
}

TEST_F(VerdictStoreTest, AStoreOfALaterVersionIsRefusedAndLeftAlone) {
  std::filesystem::create_directories(dir_.path() / "sub");
  sqlite3* db = nullptr;
  sqlite3_open(path().c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE future(x); PRAGMA user_version = 99;", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const auto opened = VerdictStore::open(path());
  EXPECT_FALSE(opened.store);
  EXPECT_NE(opened.message.find("later version"), std::string::npos) << opened.message;
  EXPECT_EQ(user_version(path()), 99);
}

TEST_F(VerdictStoreTest, ABrokenStoreIsMovedAsideAndAFreshOneMade) {
  std::filesystem::create_directories(dir_.path() / "sub");
  // An SQLite file by its first bytes whose header and pages are garbage.
  std::ofstream(path(), std::ios::binary)
      << std::string("SQLite format 3\0", 16) << std::string(5000, 'x');
  const auto opened = VerdictStore::open(path());
  ASSERT_TRUE(opened.store) << opened.message;
  EXPECT_NE(opened.message.find("moved to"), std::string::npos) << opened.message;
  int aside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / "sub"))
    if (entry.path().filename().string().find(".broken-") != std::string::npos) ++aside;
  EXPECT_EQ(aside, 1);
  opened.store->record(verdict("1a", 1));
  opened.store->flush();
  EXPECT_EQ(opened.store->history("1a").size(), 1u);
  EXPECT_EQ(user_version(path()), kStoreSchemaVersion);
}

TEST_F(VerdictStoreTest, AFullDiskIsReportedAndTheProgramGoesOn) {
  // A cap on the file's pages fails writes as a full disk does.
  const auto opened = VerdictStore::open(path(), 8);
  ASSERT_TRUE(opened.store) << opened.message;
  for (int i = 0; i < 20000; ++i) opened.store->record(verdict("1share" + std::to_string(i), i));
  opened.store->flush();
  EXPECT_NE(opened.store->write_problem(), "");
  EXPECT_LT(opened.store->written(), 20000u);
  // Later verdicts are handed over and flushed as before, without blocking.
  opened.store->record(verdict("1later", 1));
  opened.store->flush();
}

std::string contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Names of everything below a folder, with the contents of its files.
std::string listing(const std::filesystem::path& folder) {
  std::string out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    out += entry.path().string() + "=" +
           (entry.is_regular_file() ? contents(entry.path()) : std::string("/")) + "\n";
  return out;
}

TEST_F(VerdictStoreTest, WhatIsNotAStoreIsRefusedAndLeftExactlyAsItWas) {
  const auto folder = dir_.path() / "notes";
  std::filesystem::create_directories(folder / "inner");
  std::ofstream(folder / "todo.txt") << "buy milk\n";
  const auto text = dir_.path() / "notes.txt";
  std::ofstream(text, std::ios::binary) << "my notes, not a store\n";
  const auto short_file = dir_.path() / "short";
  std::ofstream(short_file, std::ios::binary) << "SQLite";
  const std::string before = listing(dir_.path());
  std::vector<std::string> refused = {folder.string(), text.string(), short_file.string()};
#ifndef _WIN32
  refused.push_back("/dev/null");
#endif
  for (const std::string& path : refused) {
    for (const bool to_read : {false, true}) {
      const auto opened = to_read ? VerdictStore::open_to_read(path) : VerdictStore::open(path);
      EXPECT_FALSE(opened.store) << path;
      EXPECT_NE(opened.message.find(path), std::string::npos) << opened.message;
    }
  }
  EXPECT_NE(VerdictStore::open(folder.string()).message.find("is a folder"), std::string::npos);
  EXPECT_NE(VerdictStore::open(text.string()).message.find("not an SQLite file"),
            std::string::npos);
  EXPECT_EQ(listing(dir_.path()), before);
  // An empty file holds nothing to lose: it becomes the store.
  const auto empty = dir_.path() / "empty.sqlite";
  std::ofstream{empty};
  const auto opened = VerdictStore::open(empty.string());
  ASSERT_TRUE(opened.store) << opened.message;
  EXPECT_EQ(opened.message, "");
}

TEST_F(VerdictStoreTest, ReadingOnlyMakesNothingWhereThereIsNoStore) {
  const auto missing = dir_.path() / "a" / "b" / "verdicts.sqlite";
  const auto opened = VerdictStore::open_to_read(missing.string());
  EXPECT_FALSE(opened.store);
  EXPECT_NE(opened.message.find("no verdict store"), std::string::npos) << opened.message;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "a"));
  {
    auto made = VerdictStore::open(path());
    made.store->record(verdict("1a", 100));
  }
  const auto read = VerdictStore::open_to_read(path());
  ASSERT_TRUE(read.store) << read.message;
  EXPECT_TRUE(read.store->read_only());
  EXPECT_EQ(read.store->history("1a").size(), 1u);
  read.store->record(verdict("1b", 100));
  read.store->flush();
  EXPECT_TRUE(read.store->history("1b").empty());
}

TEST_F(VerdictStoreTest, AVerdictDatedInTheFutureHidesNoNewerOne) {
  const std::int64_t now = 1'000'000;
  auto opened = VerdictStore::open(path());
  ASSERT_TRUE(opened.store);
  opened.store->record(verdict("1a", now + 3600, Verdict::valid, Reason::public_share));
  opened.store->record(verdict("1a", now - 100, Verdict::invalid, Reason::deleted));
  opened.store->record(verdict("1b", now + 30, Verdict::valid, Reason::need_code));
  opened.store->record(verdict("1c", now + 7200));
  opened.store->flush();
  const auto latest = opened.store->latest({"1a", "1b", "1c"}, now);
  ASSERT_TRUE(latest[0]);
  EXPECT_EQ(latest[0]->reason, Reason::deleted);
  ASSERT_TRUE(latest[1]) << "within the clocks' slack";
  EXPECT_EQ(latest[1]->at, now + 30);
  EXPECT_FALSE(latest[2]);
  const auto history = opened.store->history("1a");
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].at, now - 100);
  EXPECT_TRUE(dated_in_future(history[1].at, now));
  EXPECT_FALSE(dated_in_future(now + 30, now));
}

#ifndef _WIN32
// Runs `body` in a child that cannot write what root could: as nobody when the tests run as root.
int as_unprivileged_child(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(VerdictStoreTest, AStoreThatCannotBeWrittenIsStillRead) {
  {
    auto made = VerdictStore::open(path());
    made.store->record(verdict("1a", store_time_now() - 10, Verdict::invalid, Reason::deleted));
  }
  const auto sub = dir_.path() / "sub";
  using std::filesystem::perms;
  std::filesystem::permissions(dir_.path(), perms::owner_all | perms::group_read |
                                                perms::group_exec | perms::others_read |
                                                perms::others_exec);
  std::filesystem::permissions(sub, perms::owner_read | perms::owner_exec | perms::group_read |
                                        perms::group_exec | perms::others_read |
                                        perms::others_exec);
  std::filesystem::permissions(path(), perms::owner_read | perms::group_read | perms::others_read);
  const std::string store = path();
  const std::string fresh = (sub / "new.sqlite").string();
  const int code = as_unprivileged_child([&] {
    const auto opened = VerdictStore::open(store);
    if (!opened.store) return 1;
    if (!opened.store->read_only()) return 2;
    if (opened.message.find("verdicts are read but not kept") == std::string::npos) return 3;
    const auto latest = opened.store->latest({"1a"});
    if (!latest[0] || latest[0]->reason != Reason::deleted) return 4;
    opened.store->record(verdict("1b", 1));
    opened.store->flush();
    if (!opened.store->write_problem().empty()) return 5;
    // A store that cannot be made says why.
    const auto refused = VerdictStore::open(fresh);
    if (refused.store) return 6;
    if (refused.message.find("Permission denied") == std::string::npos) return 7;
    return 0;
  });
  std::filesystem::permissions(sub, perms::owner_all);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(std::filesystem::exists(fresh));
}
#endif

#ifndef _WIN32  // two programs need fork
TEST_F(VerdictStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  { ASSERT_TRUE(VerdictStore::open(path()).store); }
  constexpr int kEach = 3000;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  auto write = [&](const char* prefix) {
    auto opened = VerdictStore::open(path());
    if (!opened.store) return false;
    for (int i = 0; i < kEach; ++i) {
      opened.store->record(verdict(prefix + std::to_string(i), i));
      if (i % 100 == 0) opened.store->flush();  // many small transactions, interleaved
    }
    opened.store->flush();
    return opened.store->write_problem().empty();
  };
  if (child == 0) _exit(write("1child") ? 0 : 1);
  EXPECT_TRUE(write("1parent"));
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  auto opened = VerdictStore::open(path());
  std::vector<std::string> shares;
  for (int i = 0; i < kEach; ++i) {
    shares.push_back("1child" + std::to_string(i));
    shares.push_back("1parent" + std::to_string(i));
  }
  int found = 0;
  for (const auto& v : opened.store->latest(shares)) found += v ? 1 : 0;
  EXPECT_EQ(found, 2 * kEach);
}
#endif

}  // namespace
}  // namespace quorvex
