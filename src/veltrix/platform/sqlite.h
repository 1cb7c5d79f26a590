// A small RAII layer over SQLite's C API: a connection (Db), a prepared
// statement (Stmt) and a transaction guard (Txn) that rolls back unless it
// was committed.
//
// Thread-safety: a Db is opened in SQLite's serialized mode, so single calls
// are safe from any thread; a sequence of calls that must not interleave with
// another thread's (a transaction, a statement and its error message) is
// serialised by the Db's owner. A Stmt and a Txn belong to the thread that
// made them and must not outlive their Db. All three are non-copyable; Stmt
// is movable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace veltrix::platform {

enum class StepResult { Row, Done, Error };

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
  explicit Stmt(sqlite3_stmt* stmt) : stmt_(stmt) {}
  sqlite3_stmt* stmt_ = nullptr;
};

class Db {
 public:
  Db() = default;
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Opens the file read-write, creating it when missing. False on failure
  // (errorMessage() says why); the Db then stays closed.
  bool open(const std::filesystem::path& path);
  void close();
  bool isOpen() const { return db_ != nullptr; }

  // An invalid Stmt when the SQL cannot be prepared or the Db is closed.
  Stmt prepare(std::string_view sql);
  // Runs constant SQL text (one or more statements, no values). Never pass
  // text that holds data: bind it through prepare() instead.
  bool exec(std::string_view sql);

  // SQLite's message for the last failed call ("database is not open" when
  // closed).
  std::string errorMessage() const;
  // True between BEGIN and the end of the transaction.
  bool inTransaction() const;
  std::int64_t lastInsertRowId() const;

 private:
  sqlite3* db_ = nullptr;
  std::string openError_;
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
