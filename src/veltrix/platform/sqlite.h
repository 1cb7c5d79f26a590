// A small RAII layer over SQLite's C API: a connection (Db), a prepared
// statement (Stmt) and a transaction guard (Txn) that rolls back unless it
// was committed.
//
// A Db keeps the statements made by prepareCached() and hands the same one
// out again, reset and with its bindings cleared, instead of preparing the
// text anew. A writer that meets another connection's lock (another process
// on the same file) waits for it up to kBusyTimeoutMillis.
//
// Thread-safety: a Db is opened in SQLite's serialized mode, so single calls
// are safe from any thread, and its statement cache has a lock of its own
// (a cached statement is lent to one Stmt at a time); a sequence of calls
// that must not interleave with another thread's (a transaction, a statement
// and its error message) is serialised by the Db's owner. A Stmt and a Txn
// belong to the thread that made them and must not outlive their Db. All
// three are non-copyable; Stmt is movable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace veltrix::platform {

enum class StepResult { Row, Done, Error };

// How long a statement waits for another connection's lock before it fails
// with "database is locked".
inline constexpr int kBusyTimeoutMillis = 5000;

class Db;

class Stmt {
 public:
  Stmt() = default;
  ~Stmt();
  Stmt(Stmt&& other) noexcept;
  Stmt& operator=(Stmt&& other) noexcept;
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  // False when preparing failed; every other call then fails harmlessly.
  bool valid() const { return stmt_ != nullptr; }

  // Parameters count from 1. Text is copied by SQLite; an absent text binds
  // NULL, an empty one binds "".
  bool bind(int index, std::optional<std::string_view> text);
  bool bind(int index, std::int64_t value);
  bool bindNull(int index);

  StepResult step();
  // Makes the statement ready to run again and clears its bindings.
  void reset();

  // Columns count from 0. A NULL column reads as nullopt / 0.
  int columnCount() const;
  bool isNull(int column) const;
  std::optional<std::string> text(int column) const;
  std::int64_t int64(int column) const;

  // SQLite's message for the last failed call on this statement's connection.
  std::string errorMessage() const;

 private:
  friend class Db;
  Stmt(sqlite3_stmt* stmt, Db* cache) : stmt_(stmt), cache_(cache) {}
  // Finalizes the statement, or gives it back to the cache it came from.
  void release();
  sqlite3_stmt* stmt_ = nullptr;
  Db* cache_ = nullptr;
};

class Db {
 public:
  Db() = default;
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Opens the file read-write, creating it when missing. False on failure
  // (errorMessage() says why); the Db then stays closed. A statement that
  // meets another connection's lock waits up to `busyTimeoutMillis`.
  bool open(const std::filesystem::path& path, int busyTimeoutMillis = kBusyTimeoutMillis);
  void close();
  bool isOpen() const { return db_ != nullptr; }

  // An invalid Stmt when the SQL cannot be prepared or the Db is closed.
  Stmt prepare(std::string_view sql);
  // As prepare(), for constant SQL run again and again: the statement is
  // prepared on first use and kept until close(). While one Stmt holds it,
  // another request for the same text gets a statement of its own.
  Stmt prepareCached(std::string_view sql);
  // On by default; off, prepareCached() prepares every time (benchmarks
  // compare the two).
  void setStatementCache(bool on);
  // Runs constant SQL text (one or more statements, no values). Never pass
  // text that holds data: bind it through prepare() instead.
  bool exec(std::string_view sql);
  // Runs one constant statement through prepareCached().
  bool execCached(std::string_view sql);

  // Moves the write-ahead log's checkpoints off the writing thread: once a
  // commit leaves the log at kCheckpointPages or more, a queue of the Db's
  // own copies it back into the file over a connection of its own (a
  // passive checkpoint, which never holds up this connection's readers or
  // writers). Without it the commit that crosses the mark does that work,
  // flushes to storage included. Call once the journal mode is WAL; close()
  // waits for a checkpoint under way.
  void checkpointInBackground();
  static constexpr int kCheckpointPages = 1000;  // SQLite's own default

  // SQLite's message for the last failed call ("database is not open" when
  // closed).
  std::string errorMessage() const;
  // True when the last failed call found the file not to be a database or
  // corrupt (not for a lock, a full disk or a file that cannot be written).
  bool lastErrorIsDamage() const;
  // True between BEGIN and the end of the transaction.
  bool inTransaction() const;
  std::int64_t lastInsertRowId() const;

 private:
  friend class Stmt;
  struct Cached {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    bool lent = false;
  };
  // Takes back a statement of the cache; one it does not hold (made while
  // the statement was lent, or before a close()) is finalized.
  void giveBack(sqlite3_stmt* stmt);
  void dropCache();

  struct Checkpointer;

  sqlite3* db_ = nullptr;
  std::filesystem::path path_;
  std::shared_ptr<Checkpointer> checkpointer_;
  std::string openError_;
  std::mutex cacheMutex_;
  std::vector<Cached> cache_;  // guarded by cacheMutex_
  bool cacheOn_ = true;        // guarded by cacheMutex_
};

// BEGIN TRANSACTION on construction; ROLLBACK on destruction unless
// committed or rolled back. A failed COMMIT rolls back too, so the
// connection never stays inside a transaction that later writes would join.
class Txn {
 public:
  explicit Txn(Db& db);
  ~Txn();
  Txn(const Txn&) = delete;
  Txn& operator=(const Txn&) = delete;

  // True when BEGIN succeeded.
  bool begun() const { return begun_; }
  bool commit();
  void rollback();
  // SQLite's message for the failed BEGIN or COMMIT, taken before any
  // rollback could replace it.
  const std::string& error() const { return error_; }

 private:
  Db& db_;
  bool begun_ = false;
  bool open_ = false;  // begun and neither committed nor rolled back
  std::string error_;
};

}  // namespace veltrix::platform
