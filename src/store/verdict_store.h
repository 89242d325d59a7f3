// The verdict store: every verdict a check run reaches, kept in an SQLite file, so that a run that
// stopped can go on where it stopped and recent verdicts need not be fetched again. Writes are
// handed to one writer thread that commits them in batches, so a probe never waits on the disk.
// Two programs (the window and the command line) may use one store at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "model/verdict.h"

struct sqlite3;

namespace quorvex {

// The store's schema version; a store written by a later version is refused, not rewritten.
inline constexpr int kStoreSchemaVersion = 3;

// Seconds since 1970, UTC, as the store dates verdicts.
std::int64_t store_time_now();
// How far ahead of the clock a verdict's date may be and still count as now: two programs'
// clocks, or one clock set again, differ by this much without anything being wrong.
inline constexpr std::int64_t kClockSlackSeconds = 60;
// Whether a verdict is dated later than any clock that is right could have dated it.
inline bool dated_in_future(std::int64_t at, std::int64_t now = store_time_now()) {
  return at > now + kClockSlackSeconds;
}

struct StoredVerdict {
  std::string share;  // the share's ID (share_id: "1…", or the identity of a /share/link address)
  Verdict verdict = Verdict::none;
  Reason reason = Reason::none;
  std::int64_t at = 0;                         // seconds since 1970, UTC
  int http_status = 0;                         // of the last answer; 0 when none arrived
  VerdictSource source = VerdictSource::page;  // what decided: the page or the share-list API
};

// What the runs learned of a service's patience: the request rate at which it throttled (0: it
// never did) and the rate that held, with when they were learned.
struct StoredPace {
  double ceiling = 0;
  double held = 0;
  std::int64_t at = 0;  // seconds since 1970, UTC
};

// How long a stored verdict may stand in for a fetch; zero: never.
struct VerdictLifetimes {
  std::chrono::seconds valid{24 * 3600};
  std::chrono::seconds invalid{7 * 24 * 3600};
  std::chrono::seconds unknown{0};
  std::chrono::seconds of(Verdict v) const;
};

// The folder the store lives in when none is named, for the window and the command line alike:
// the user's data folder ($XDG_DATA_HOME, else ~/.local/share; %LOCALAPPDATA% on Windows), then
// Orvane/Quorvex.
std::string default_store_folder();
// The store both programs use when none is named: QUORVEX_STORE when set, else verdicts.sqlite in
// `folder` (empty: default_store_folder()).
std::string standard_store_path(const std::string& folder = {});

class VerdictStore {
 public:
  struct Opened {
    std::unique_ptr<VerdictStore> store;  // null when the store cannot be used at all
    // For the user, when something was wrong: a broken store moved aside, a store of a later
    // version refused, a folder that cannot be made. Empty when all went well.
    std::string message;
  };
  // Opens (or makes) the store at path. A folder, a device or a file that is not SQLite is
  // refused and left as it is; an SQLite file that SQLite calls damaged is moved aside (to path +
  // ".broken-TIME") and a fresh store made; a store of a later schema version is left untouched
  // and refused. A store that cannot be written is opened for reading (read_only()), and says so.
  // `max_pages`, for tests, caps the file's size in pages as a full disk would.
  static Opened open(const std::string& path, std::int64_t max_pages = 0);
  // Opens an existing store for reading only: nothing is made, moved or written. Null, with a
  // message, when there is no store at path.
  static Opened open_to_read(const std::string& path);

  ~VerdictStore();  // writes what is still queued
  VerdictStore(const VerdictStore&) = delete;
  VerdictStore& operator=(const VerdictStore&) = delete;

  const std::string& path() const { return path_; }
  // Whether verdicts are only read: record() keeps nothing.
  bool read_only() const { return writer_ == nullptr; }

  // Queues a verdict for writing and returns at once.
  void record(StoredVerdict verdict);
  // Waits until everything queued before the call is written (or writing has failed).
  void flush();

  // The newest verdict of each share (nullopt for a share never stored), in the order asked;
  // verdicts dated more than kClockSlackSeconds after `now` are passed over.
  std::vector<std::optional<StoredVerdict>> latest(const std::vector<std::string>& shares,
                                                   std::int64_t now = store_time_now());
  // Every stored verdict of a share, oldest first (those dated in the future last).
  std::vector<StoredVerdict> history(std::string_view share);

  // Keeps what a run learned of a service's pace (the last one only), written with the verdicts.
  void record_pace(std::string service, StoredPace pace);
  // The pace last learned for a service; nullopt when none was.
  std::optional<StoredPace> pace(std::string_view service);

  // Why writing stopped (a full disk, a file that became read-only), once it has; the program
  // goes on without the store meanwhile. Empty while writes succeed.
  std::string write_problem() const;
  // Verdicts written so far by this store.
  std::uint64_t written() const;

 private:
  // writer null: read only.
  VerdictStore(std::string path, sqlite3* writer, sqlite3* reader, std::int64_t version);
  static Opened open_for_reading(const std::string& path, const std::string& why, const char* tail);
  void write_loop();
  const char* source_column() const;

  std::string path_;
  sqlite3* writer_;
  sqlite3* reader_;
  std::int64_t version_;   // the schema the file has
  std::mutex read_mutex_;  // one reader connection, used by one thread at a time

  mutable std::mutex mutex_;
  std::condition_variable wake_;     // the writer: work or stop
  std::condition_variable written_;  // flush: a batch is done
  std::vector<StoredVerdict> queue_;
  std::vector<std::pair<std::string, StoredPace>> paces_;
  std::uint64_t paces_queued_ = 0, paces_done_ = 0;
  std::uint64_t queued_ = 0;     // verdicts handed over so far
  std::uint64_t done_ = 0;       // of those, the ones written or dropped
  std::uint64_t committed_ = 0;  // of those, the ones written
  bool stopping_ = false;
  std::string problem_;
  std::thread writer_thread_;
};

}  // namespace quorvex
