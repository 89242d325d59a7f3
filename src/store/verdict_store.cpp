#include "store/verdict_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

#include "base/platform.h"

namespace quorvex {

namespace {

// Each step from one schema version to the next; index i takes a store from version i to i + 1.
// A new version adds a step and never changes an old one.
constexpr const char* kMigrations[] = {
    // 0 -> 1: one row per verdict; the index finds a share's newest verdict and its history.
    "CREATE TABLE verdicts(share TEXT NOT NULL, at INTEGER NOT NULL, verdict INTEGER NOT NULL,"
    " reason TEXT NOT NULL, status INTEGER NOT NULL);"
    "CREATE INDEX verdicts_by_share ON verdicts(share, at);",
    // 1 -> 2: whether the share's page or the share-list API decided; earlier verdicts were all
    // the page's.
    "ALTER TABLE verdicts ADD COLUMN source TEXT NOT NULL DEFAULT 'page';",
    // 2 -> 3: what the runs learned of each service's pace, the last learned only.
    "CREATE TABLE pacing(service TEXT PRIMARY KEY, ceiling REAL NOT NULL, held REAL NOT NULL,"
    " at INTEGER NOT NULL);",
};
static_assert(std::size(kMigrations) == kStoreSchemaVersion);

constexpr int kBusyTimeoutMs = 10000;
constexpr int kBusyRetries = 3;

std::string errmsg(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

bool exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

// One integer a pragma or query answers; nullopt when it fails.
std::optional<std::int64_t> query_int(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return std::nullopt;
  std::optional<std::int64_t> value;
  if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  return value;
}

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
};

sqlite3* open_connection(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    error = errmsg(db);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return db;
}

// A connection that only reads. `immutable` tells SQLite that nobody writes the file, so that it
// needs neither a lock nor the WAL's shared-memory file: the way to read a store on a read-only
// file system, where those cannot be made.
sqlite3* open_reading_connection(const std::string& path, bool immutable) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  uri += immutable ? "?mode=ro&immutable=1" : "?mode=ro";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return db;
}

// The first bytes of every SQLite file.
constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};

// Why the thing at `path` must not be used as a store, whatever it holds: a folder, a device, or
// a file of the user's that is no SQLite file. Such a path is most likely a mistake in the
// options, and what is there is the user's; nothing is ever written to or moved from it. An
// empty file holds nothing to lose and is made a store.
std::optional<std::string> refusal_of(const std::string& path, const PathInfo& info) {
  const std::string tail = "; verdicts are not kept this time";
  if (info.folder) return "the store " + path + " is a folder, not a store file" + tail;
  if (!info.regular) return "the store " + path + " is not a regular file" + tail;
  if (info.size == 0) return std::nullopt;
  std::FILE* file = open_file(path, "rb");
  if (!file) return "cannot read the store " + path + ": " + std::strerror(errno) + tail;
  char header[kSqliteHeader.size()] = {};
  const std::size_t got = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  if (got != sizeof header || std::string_view(header, got) != kSqliteHeader)
    return path + " is not a Quorvex store (not an SQLite file); it is left as it is" + tail;
  return std::nullopt;
}

// The folders above the store's file, private to the user where they are made.
bool make_store_folders(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !is_path_separator(path[end - 1])) --end;
  return end <= 1 || make_folders(path.substr(0, end - 1), true);
}

StoredVerdict row_of(sqlite3_stmt* stmt, int first, std::string share) {
  StoredVerdict v;
  v.share = std::move(share);
  v.at = sqlite3_column_int64(stmt, first);
  const int verdict = sqlite3_column_int(stmt, first + 1);
  v.verdict = verdict >= 1 && verdict <= 3 ? static_cast<Verdict>(verdict) : Verdict::none;
  const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(stmt, first + 2));
  for (const Reason r : all_reasons())
    if (code && reason_code(r) == code) v.reason = r;
  v.http_status = sqlite3_column_int(stmt, first + 3);
  const auto* source = reinterpret_cast<const char*>(sqlite3_column_text(stmt, first + 4));
  v.source = source_of_code(source ? source : "").value_or(VerdictSource::page);
  return v;
}

enum class Check { usable, broken, later_version, unreadable };

// Whether the file is a store this program can use: an SQLite file whose schema it knows. Only a
// file SQLite itself calls damaged, or one without the store's table, is broken; a file that
// cannot be read now (no access, a lock, no room for the WAL's files) is merely unreadable.
Check check_store(sqlite3* db, std::int64_t* version, std::string* error) {
  auto failed = [&] {
    *error = errmsg(db);
    const int code = sqlite3_errcode(db) & 0xff;
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT ? Check::broken : Check::unreadable;
  };
  const auto v = query_int(db, "PRAGMA user_version");
  if (!v) return failed();
  const auto tables = query_int(db, "SELECT count(*) FROM sqlite_master");
  if (!tables) return failed();
  *version = *v;
  if (*v > kStoreSchemaVersion) return Check::later_version;
  if (*v >= 1 && !query_int(db, "SELECT count(*) FROM verdicts WHERE rowid = 1")) {
    *error = "no table of verdicts";
    return Check::broken;
  }
  if (*v >= 2 && !query_int(db, "SELECT count(source) FROM verdicts WHERE rowid = 1")) {
    *error = "no column for what decided";
    return Check::broken;
  }
  return Check::usable;
}

// Brings a store up to the current schema, in one transaction, so that two programs opening a
// new store at once do not both make it.
bool migrate(sqlite3* db, std::string& error) {
  if (!exec(db, "BEGIN IMMEDIATE", &error)) return false;
  const auto version = query_int(db, "PRAGMA user_version");
  if (!version) {
    error = errmsg(db);
    exec(db, "ROLLBACK");
    return false;
  }
  for (auto v = *version; v < kStoreSchemaVersion; ++v) {
    if (!exec(db, kMigrations[v], &error)) {
      exec(db, "ROLLBACK");
      return false;
    }
  }
  const std::string set = "PRAGMA user_version = " + std::to_string(kStoreSchemaVersion);
  if (!exec(db, set.c_str(), &error) || !exec(db, "COMMIT", &error)) {
    exec(db, "ROLLBACK");
    return false;
  }
  return true;
}

std::string moved_aside_name(const std::string& path) {
  return path + ".broken-" + std::to_string(static_cast<long long>(std::time(nullptr)));
}

}  // namespace

std::chrono::seconds VerdictLifetimes::of(Verdict v) const {
  switch (v) {
    case Verdict::valid:
      return valid;
    case Verdict::invalid:
      return invalid;
    case Verdict::unknown:
      return unknown;
    case Verdict::none:
      break;
  }
  return std::chrono::seconds(0);
}

std::string default_store_folder() { return user_folder(UserFolder::data) + "/Orvane/Quorvex"; }

std::string standard_store_path(const std::string& folder) {
  if (auto named = environment_variable("QUORVEX_STORE"); named && !named->empty()) return *named;
  return (folder.empty() ? default_store_folder() : folder) + "/verdicts.sqlite";
}

namespace {

// Why a store that exists cannot be written: the system's words for the file, else for its folder
// (where the WAL's files go), else SQLite's.
std::string why_not_writable(const std::string& path, const std::string& sqlite_error) {
  if (std::FILE* file = open_file(path, "r+b")) {
    std::fclose(file);
  } else {
    return std::strerror(errno);
  }
  std::size_t end = path.size();
  while (end > 0 && !is_path_separator(path[end - 1])) --end;
  const std::string folder = end == 0   ? "."
                             : end == 1 ? path.substr(0, 1)
                                        : path.substr(0, end - 1);
  if (const int code = why_folder_refuses_writes(folder)) return std::strerror(code);
  return sqlite_error.empty() ? "it is read-only" : sqlite_error;
}

constexpr const char* kNotKept = "; verdicts are not kept this time";

}  // namespace

VerdictStore::Opened VerdictStore::open_for_reading(const std::string& path, const std::string& why,
                                                    const char* tail) {
  Opened result;
  // A file others may still write is read as such first; a file on a read-only system, whose
  // WAL files cannot be made, only as one nobody writes.
  for (const bool immutable : {false, true}) {
    sqlite3* reader = open_reading_connection(path, immutable);
    if (!reader) continue;
    std::int64_t version = 0;
    std::string error;
    const Check check = check_store(reader, &version, &error);
    if (check == Check::usable && version >= 1) {
      result.store.reset(new VerdictStore(path, nullptr, reader, version));
      if (tail) result.message = "the store " + path + " cannot be written (" + why + ")" + tail;
      return result;
    }
    sqlite3_close(reader);
    if (check == Check::later_version) {
      result.message = path + " was written by a later version of Quorvex; it is left as it is";
      return result;
    }
    if (check == Check::usable || check == Check::broken) {
      result.message = "the store " + path + " holds no verdicts it can read";
      return result;
    }
  }
  result.message = "cannot read the store " + path + ": " + why;
  return result;
}

VerdictStore::Opened VerdictStore::open_to_read(const std::string& path) {
  const PathInfo info = path_info(path);
  if (!info.exists) {
    Opened result;
    result.message = "there is no verdict store at " + path;
    return result;
  }
  if (auto refusal = refusal_of(path, info)) {
    Opened result;
    result.message = std::move(*refusal);
    return result;
  }
  return open_for_reading(path, "it is opened for reading only", nullptr);
}

VerdictStore::Opened VerdictStore::open(const std::string& path, std::int64_t max_pages) {
  Opened result;
  const PathInfo info = path_info(path);
  bool made_here = false;
  if (info.exists) {
    if (auto refusal = refusal_of(path, info)) {
      result.message = std::move(*refusal);
      return result;
    }
  } else {
    if (!make_store_folders(path)) {
      result.message =
          "cannot make the store's folder for " + path + ": " + std::strerror(errno) + kNotKept;
      return result;
    }
    // Made here rather than by SQLite, whose words for a failure ("unable to open database
    // file") do not say why.
    const int fd = create_file(path, CreateMode::exclusive);
    if (fd >= 0) {
      close_file(fd);
      made_here = true;
    } else if (errno != EEXIST) {
      result.message = "cannot create the store " + path + ": " + std::strerror(errno) + kNotKept;
      return result;
    }
  }
  std::string error;
  sqlite3* writer = open_connection(path, error);
  std::int64_t version = 0;
  Check check = writer ? check_store(writer, &version, &error) : Check::unreadable;
  if (check == Check::later_version) {
    sqlite3_close(writer);
    result.message = path + " was written by a later version of Quorvex (store version " +
                     std::to_string(version) + ", this one knows " +
                     std::to_string(kStoreSchemaVersion) + "); it is left as it is" + kNotKept;
    return result;
  }
  if (check == Check::broken) {
    // An SQLite file that SQLite itself calls damaged: ours, and of no use as it is. It is kept
    // beside the new one for whoever wants to look at it.
    sqlite3_close(writer);
    const std::string aside = moved_aside_name(path);
    if (!replace_file(path, aside) && errno != ENOENT) {
      result.message = "the store " + path +
                       " cannot be read and cannot be moved aside: " + std::strerror(errno) +
                       kNotKept;
      return result;
    }
    for (const char* extra : {"-wal", "-shm"}) remove_file(path + extra);
    result.message = "the store " + path + " could not be read (" + error + "); it was moved to " +
                     aside + " and a new one started";
    writer = open_connection(path, error);
    check = writer ? Check::usable : Check::unreadable;
  }
  const bool writable = check == Check::usable && !sqlite3_db_readonly(writer, "main") &&
                        exec(writer, "PRAGMA journal_mode = WAL", &error) &&
                        exec(writer, "PRAGMA synchronous = NORMAL", &error) &&
                        migrate(writer, error);
  if (!writable) {
    sqlite3_close(writer);
    if (made_here) {
      remove_file(path);
      result.message = "cannot create the store " + path + ": " + error + kNotKept;
      return result;
    }
    // A store that cannot be written still knows what earlier runs found.
    Opened read =
        open_for_reading(path, why_not_writable(path, error), "; verdicts are read but not kept");
    if (!read.store) read.message += kNotKept;
    return read;
  }
  if (max_pages > 0) {
    const std::string cap = "PRAGMA max_page_count = " + std::to_string(max_pages);
    exec(writer, cap.c_str());
  }
  sqlite3* reader = open_connection(path, error);
  if (!reader) {
    sqlite3_close(writer);
    result.message = "cannot open the store " + path + ": " + error + kNotKept;
    return result;
  }
  // The writer thread is the one thing here the system may refuse for want of resources.
  try {
    result.store.reset(new VerdictStore(path, writer, reader, kStoreSchemaVersion));
  } catch (const std::system_error& e) {
    result.message =
        "cannot start writing the store " + path + ": " + e.code().message() + kNotKept;
  }
  return result;
}

VerdictStore::VerdictStore(std::string path, sqlite3* writer, sqlite3* reader, std::int64_t version)
    : path_(std::move(path)), writer_(writer), reader_(reader), version_(version) {
  if (!writer_) return;
  try {
    writer_thread_ = std::thread([this] { write_loop(); });
  } catch (...) {
    // The caller is told; the connections go with this half-made object.
    sqlite3_close(reader_);
    sqlite3_close(writer_);
    throw;
  }
}

VerdictStore::~VerdictStore() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (writer_thread_.joinable()) writer_thread_.join();
  sqlite3_close(reader_);
  sqlite3_close(writer_);
}

void VerdictStore::record(StoredVerdict verdict) {
  // A store opened for reading keeps nothing; it said so when it was opened.
  if (!writer_) return;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(verdict));
    ++queued_;
  }
  wake_.notify_one();
}

void VerdictStore::flush() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = queued_, paces = paces_queued_;
  written_.wait(lock, [&] { return done_ >= target && paces_done_ >= paces; });
}

void VerdictStore::write_loop() {
  Statement insert(writer_,
                   "INSERT INTO verdicts(share, at, verdict, reason, status, source)"
                   " VALUES(?,?,?,?,?,?)");
  Statement keep_pace(writer_,
                      "INSERT OR REPLACE INTO pacing(service, ceiling, held, at) VALUES(?,?,?,?)");
  for (;;) {
    std::vector<StoredVerdict> batch;
    std::vector<std::pair<std::string, StoredPace>> paces;
    bool failed;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty() || !paces_.empty(); });
      if (queue_.empty() && paces_.empty()) break;
      batch.swap(queue_);
      paces.swap(paces_);
      failed = !problem_.empty();
    }
    // What arrives while a batch is written waits for the next one: one transaction for many
    // verdicts when they come fast, one for each when they come slowly.
    std::string error;
    bool ok = false;
    for (int attempt = 0; !failed && !ok && attempt < kBusyRetries; ++attempt) {
      if (!exec(writer_, "BEGIN IMMEDIATE", &error)) {
        if (sqlite3_errcode(writer_) == SQLITE_BUSY) continue;
        break;
      }
      ok = true;
      for (const StoredVerdict& v : batch) {
        sqlite3_bind_text(insert.stmt, 1, v.share.data(), static_cast<int>(v.share.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(insert.stmt, 2, v.at);
        sqlite3_bind_int(insert.stmt, 3, static_cast<int>(v.verdict));
        const std::string_view code = reason_code(v.reason);
        sqlite3_bind_text(insert.stmt, 4, code.data(), static_cast<int>(code.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int(insert.stmt, 5, v.http_status);
        const std::string_view source = source_code(v.source);
        sqlite3_bind_text(insert.stmt, 6, source.data(), static_cast<int>(source.size()),
                          SQLITE_STATIC);
        const int rc = sqlite3_step(insert.stmt);
        sqlite3_reset(insert.stmt);
        if (rc != SQLITE_DONE) {
          error = errmsg(writer_);
          ok = false;
          break;
        }
      }
      for (const auto& [service, pace] : paces) {
        if (!ok || !keep_pace.stmt) break;
        sqlite3_bind_text(keep_pace.stmt, 1, service.data(), static_cast<int>(service.size()),
                          SQLITE_STATIC);
        sqlite3_bind_double(keep_pace.stmt, 2, pace.ceiling);
        sqlite3_bind_double(keep_pace.stmt, 3, pace.held);
        sqlite3_bind_int64(keep_pace.stmt, 4, pace.at);
        const int rc = sqlite3_step(keep_pace.stmt);
        sqlite3_reset(keep_pace.stmt);
        if (rc != SQLITE_DONE) {
          error = errmsg(writer_);
          ok = false;
        }
      }
      if (ok && !exec(writer_, "COMMIT", &error)) ok = false;
      if (!ok) exec(writer_, "ROLLBACK");
      if (!ok && sqlite3_errcode(writer_) != SQLITE_BUSY) break;
    }
    {
      std::lock_guard lock(mutex_);
      done_ += batch.size();
      paces_done_ += paces.size();
      if (ok) committed_ += batch.size();
      if (!ok && !failed && problem_.empty())
        problem_ = "verdicts can no longer be written to " + path_ + ": " + error;
    }
    written_.notify_all();
  }
}

std::int64_t store_time_now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::vector<std::optional<StoredVerdict>> VerdictStore::latest(
    const std::vector<std::string>& shares, std::int64_t now) {
  std::vector<std::optional<StoredVerdict>> found(shares.size());
  std::lock_guard lock(read_mutex_);
  // A verdict dated ahead of the clock was written by a clock that was wrong; taken as the
  // newest, it would hide every later verdict of its share until that date.
  const std::string sql = std::string("SELECT at, verdict, reason, status, ") + source_column() +
                          " FROM verdicts WHERE share = ? AND at <= ?"
                          " ORDER BY at DESC, rowid DESC LIMIT 1";
  Statement select(reader_, sql.c_str());
  if (!select.stmt) return found;
  // One read transaction for the whole list: one look at the file, however many shares.
  exec(reader_, "BEGIN");
  for (std::size_t i = 0; i < shares.size(); ++i) {
    sqlite3_bind_text(select.stmt, 1, shares[i].data(), static_cast<int>(shares[i].size()),
                      SQLITE_STATIC);
    sqlite3_bind_int64(select.stmt, 2, now + kClockSlackSeconds);
    if (sqlite3_step(select.stmt) == SQLITE_ROW) found[i] = row_of(select.stmt, 0, shares[i]);
    sqlite3_reset(select.stmt);
  }
  exec(reader_, "COMMIT");
  return found;
}

const char* VerdictStore::source_column() const {
  // A store of the first version, read where it cannot be brought up to date, has no column
  // for what decided: all its verdicts were the page's.
  return version_ >= 2 ? "source" : "'page'";
}

std::vector<StoredVerdict> VerdictStore::history(std::string_view share) {
  std::vector<StoredVerdict> rows;
  std::lock_guard lock(read_mutex_);
  const std::string sql = std::string("SELECT at, verdict, reason, status, ") + source_column() +
                          " FROM verdicts WHERE share = ? ORDER BY at, rowid";
  Statement select(reader_, sql.c_str());
  if (!select.stmt) return rows;
  sqlite3_bind_text(select.stmt, 1, share.data(), static_cast<int>(share.size()), SQLITE_STATIC);
  while (sqlite3_step(select.stmt) == SQLITE_ROW)
    rows.push_back(row_of(select.stmt, 0, std::string(share)));
  return rows;
}

void VerdictStore::record_pace(std::string service, StoredPace pace) {
  if (read_only()) return;
  {
    std::lock_guard lock(mutex_);
    if (!problem_.empty()) return;
    paces_.emplace_back(std::move(service), pace);
    ++paces_queued_;
  }
  wake_.notify_one();
}

std::optional<StoredPace> VerdictStore::pace(std::string_view service) {
  std::lock_guard lock(read_mutex_);
  // A store from before the table has none.
  if (version_ < 3) return std::nullopt;
  Statement select(reader_, "SELECT ceiling, held, at FROM pacing WHERE service = ?");
  if (!select.stmt) return std::nullopt;
  sqlite3_bind_text(select.stmt, 1, service.data(), static_cast<int>(service.size()),
                    SQLITE_STATIC);
  if (sqlite3_step(select.stmt) != SQLITE_ROW) return std::nullopt;
  return StoredPace{sqlite3_column_double(select.stmt, 0), sqlite3_column_double(select.stmt, 1),
                    sqlite3_column_int64(select.stmt, 2)};
}

std::string VerdictStore::write_problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

std::uint64_t VerdictStore::written() const {
  std::lock_guard lock(mutex_);
  return committed_;
}

}  // namespace quorvex
