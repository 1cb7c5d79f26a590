#include "veltrix/platform/sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "veltrix/platform/dispatch.h"

namespace veltrix::platform {
namespace {

constexpr std::string_view kNotOpen = "database is not open";
// The library runs a few dozen distinct texts; anything beyond is prepared
// each time rather than growing the cache.
constexpr std::size_t kMaxCachedStatements = 128;

}  // namespace

// Stmt

Stmt::~Stmt() { release(); }

Stmt::Stmt(Stmt&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), cache_(std::exchange(other.cache_, nullptr)) {}

Stmt& Stmt::operator=(Stmt&& other) noexcept {
  if (this != &other) {
    release();
    stmt_ = std::exchange(other.stmt_, nullptr);
    cache_ = std::exchange(other.cache_, nullptr);
  }
  return *this;
}

void Stmt::release() {
  sqlite3_stmt* stmt = std::exchange(stmt_, nullptr);
  Db* cache = std::exchange(cache_, nullptr);
  if (stmt == nullptr) return;
  if (cache != nullptr) {
    cache->giveBack(stmt);
  } else {
    sqlite3_finalize(stmt);
  }
}

bool Stmt::bind(int index, std::optional<std::string_view> text) {
  if (!stmt_) return false;
  if (!text) return sqlite3_bind_null(stmt_, index) == SQLITE_OK;
  // A default string_view has no data pointer, which SQLite would take for
  // NULL; an empty text must stay "".
  const char* data = text->data() != nullptr ? text->data() : "";
  return sqlite3_bind_text64(stmt_, index, data, text->size(), SQLITE_TRANSIENT, SQLITE_UTF8) ==
         SQLITE_OK;
}

bool Stmt::bind(int index, std::int64_t value) {
  if (!stmt_) return false;
  return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool Stmt::bindNull(int index) {
  if (!stmt_) return false;
  return sqlite3_bind_null(stmt_, index) == SQLITE_OK;
}

StepResult Stmt::step() {
  if (!stmt_) return StepResult::Error;
  switch (sqlite3_step(stmt_)) {
    case SQLITE_ROW:
      return StepResult::Row;
    case SQLITE_DONE:
      return StepResult::Done;
    default:
      return StepResult::Error;
  }
}

void Stmt::reset() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Stmt::columnCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

bool Stmt::isNull(int column) const {
  return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::optional<std::string> Stmt::text(int column) const {
  if (isNull(column)) return std::nullopt;
  const auto* bytes = sqlite3_column_text(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  if (bytes == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

std::int64_t Stmt::int64(int column) const {
  return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

std::string Stmt::errorMessage() const {
  if (!stmt_) return std::string(kNotOpen);
  return sqlite3_errmsg(sqlite3_db_handle(stmt_));
}

// Db

// Runs the checkpoints of one Db on a queue made on the first one, over a
// connection to the same file that only this queue uses.
struct Db::Checkpointer : std::enable_shared_from_this<Db::Checkpointer> {
  std::filesystem::path path;
  std::mutex mutex;
  std::shared_ptr<SerialQueue> queue;  // guarded by mutex
  bool queued = false;                 // guarded by mutex
  bool stopped = false;                // guarded by mutex
  sqlite3* connection = nullptr;       // queue only

  // The writer's thread, from the commit hook.
  void request() {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopped || queued) return;
    queued = true;
    if (!queue) queue = SerialQueue::create("veltrix.db.checkpoint");
    queue->post([self = shared_from_this()] { self->run(); });
  }

  void run() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      queued = false;
    }
    // A new connection finds the log on its first read; until then a
    // checkpoint on it does nothing.
    if (connection == nullptr &&
        (sqlite3_open_v2(path.c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                         nullptr) != SQLITE_OK ||
         sqlite3_exec(connection, "PRAGMA schema_version", nullptr, nullptr, nullptr) !=
             SQLITE_OK)) {
      sqlite3_close_v2(connection);
      connection = nullptr;
      return;  // the next commit over the mark asks again
    }
    sqlite3_wal_checkpoint_v2(connection, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }

  // The owner's thread: waits for a checkpoint under way and closes the
  // connection before the Db's own goes.
  void stop() {
    std::shared_ptr<SerialQueue> ending;
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopped = true;
      ending = std::move(queue);
    }
    if (!ending) return;
    ending->post([self = shared_from_this()] {
      sqlite3_close_v2(self->connection);
      self->connection = nullptr;
    });
    ending.reset();  // drains the queue and ends its thread
  }

  static int onCommit(void* context, sqlite3*, const char*, int pages) {
    if (pages >= kCheckpointPages) static_cast<Checkpointer*>(context)->request();
    return SQLITE_OK;
  }
};

Db::~Db() { close(); }

void Db::checkpointInBackground() {
  if (db_ == nullptr || checkpointer_) return;
  checkpointer_ = std::make_shared<Checkpointer>();
  checkpointer_->path = path_;
  // Takes the place of SQLite's automatic checkpoint, which is a hook too.
  sqlite3_wal_hook(db_, &Checkpointer::onCommit, checkpointer_.get());
}

bool Db::open(const std::filesystem::path& path, int busyTimeoutMillis) {
  close();
  openError_.clear();
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    openError_ = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    return false;
  }
  // Another process on the same file holds its write lock only for the
  // moment of a commit: wait for it instead of losing the write.
  sqlite3_busy_timeout(db, busyTimeoutMillis);
  db_ = db;
  path_ = path;
  return true;
}

void Db::close() {
  if (checkpointer_) {
    sqlite3_wal_hook(db_, nullptr, nullptr);
    checkpointer_->stop();
    checkpointer_.reset();
  }
  dropCache();
  if (db_ != nullptr) {
    // A statement still lent out keeps the connection until it is given
    // back (and then finalized).
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

Stmt Db::prepare(std::string_view sql) {
  if (!db_) return Stmt();
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt);
    return Stmt();
  }
  return Stmt(stmt, nullptr);
}

Stmt Db::prepareCached(std::string_view sql) {
  if (!db_) return Stmt();
  {
    std::lock_guard<std::mutex> lock(cacheMutex_);
    if (!cacheOn_) return prepare(sql);
    for (Cached& entry : cache_) {
      if (entry.sql == sql) {
        if (entry.lent) break;  // in use further up this thread's stack
        entry.lent = true;
        return Stmt(entry.stmt, this);
      }
    }
  }
  Stmt fresh = prepare(sql);
  if (!fresh.valid()) return fresh;
  std::lock_guard<std::mutex> lock(cacheMutex_);
  const bool known = std::any_of(cache_.begin(), cache_.end(),
                                 [&](const Cached& entry) { return entry.sql == sql; });
  if (known || cache_.size() >= kMaxCachedStatements) return fresh;
  cache_.push_back({std::string(sql), fresh.stmt_, true});
  fresh.cache_ = this;
  return fresh;
}

void Db::setStatementCache(bool on) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex_);
    cacheOn_ = on;
  }
  if (!on) dropCache();
}

void Db::giveBack(sqlite3_stmt* stmt) {
  // Reset at once: a read statement left unfinished would hold its read
  // transaction (and keep the write-ahead log from being checkpointed).
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  std::lock_guard<std::mutex> lock(cacheMutex_);
  for (Cached& entry : cache_) {
    if (entry.stmt == stmt) {
      entry.lent = false;
      return;
    }
  }
  sqlite3_finalize(stmt);
}

void Db::dropCache() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  for (Cached& entry : cache_) {
    // A lent statement is finalized when it comes back and is not found.
    if (!entry.lent) sqlite3_finalize(entry.stmt);
  }
  cache_.clear();
}

bool Db::exec(std::string_view sql) {
  if (!db_) return false;
  const std::string text(sql);  // sqlite3_exec wants a terminated string
  return sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string Db::errorMessage() const {
  if (!db_) return openError_.empty() ? std::string(kNotOpen) : openError_;
  return sqlite3_errmsg(db_);
}

bool Db::execCached(std::string_view sql) {
  Stmt stmt = prepareCached(sql);
  return stmt.step() == StepResult::Done;
}

bool Db::lastErrorIsDamage() const {
  if (!db_) return false;
  const int code = sqlite3_errcode(db_) & 0xFF;
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

bool Db::inTransaction() const { return db_ != nullptr && sqlite3_get_autocommit(db_) == 0; }

std::int64_t Db::lastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

// Txn

Txn::Txn(Db& db) : db_(db) {
  // IMMEDIATE: every transaction of the library writes; taking the write
  // lock at the start waits for another process's writer (busy time-out)
  // where a deferred one that read first could only fail.
  begun_ = db_.execCached("BEGIN IMMEDIATE TRANSACTION");
  if (begun_) {
    open_ = true;
  } else {
    error_ = db_.errorMessage();
  }
}

Txn::~Txn() { rollback(); }

bool Txn::commit() {
  if (!open_) return false;
  if (db_.execCached("COMMIT")) {
    open_ = false;
    return true;
  }
  error_ = db_.errorMessage();
  rollback();
  return false;
}

void Txn::rollback() {
  if (!open_) return;
  open_ = false;
  // SQLite may have ended the transaction itself (some errors roll back
  // automatically); a second ROLLBACK would only fail.
  if (db_.inTransaction()) db_.execCached("ROLLBACK");
}

}  // namespace veltrix::platform
