#include "veltrix/registry/database_manager.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <system_error>
#include <utility>

#include "veltrix/platform/card_redaction.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/registry/file_logger.h"

namespace veltrix::registry {

using platform::StepResult;
using platform::Stmt;
using platform::Txn;

namespace {

struct TableDefinition {
  std::string_view sql;
  std::string_view failure;
};

// Columns are read back by position, so these statements (column order
// included) are part of the file format.
constexpr std::array<TableDefinition, 8> kTables = {{
    {"CREATE TABLE IF NOT EXISTS discovered_terminal (sn TEXT NOT NULL, model TEXT,address TEXT, "
     "uuidString TEXT,parameter TEXT, alias TEXT, status INTEGER, isCommunicationDevice INTEGER, "
     "isPeripheral INTEGER, firstDiscoverTime TEXT, lastDiscoverTime TEXT, PRIMARY KEY(sn))",
     "Failed to create discovered Terminal table"},
    {"CREATE TABLE IF NOT EXISTS remember_service(rsId INTEGER PRIMARY KEY AUTOINCREMENT, "
     "serviceType TEXT, sn TEXT, packageName TEXT, serviceId TEXT, screenId INTEGER, createTime "
     "TEXT)",
     "Failed to create remember service table"},
    {"CREATE TABLE IF NOT EXISTS terminal_service (tsId INTEGER PRIMARY KEY AUTOINCREMENT, sn "
     "TEXT, serviceType TEXT, serviceTypeName TEXT, packageName TEXT, serviceId TEXT, serviceName "
     "TEXT, isEnabled INTEGER, createTime TEXT, updateTime TEXT,serviceCategory TEXT)",
     "Failed to create terminal service table"},
    {"CREATE TABLE IF NOT EXISTS casp_exchange (requestId INTEGER PRIMARY KEY AUTOINCREMENT, "
     "exchangeId TEXT, initiatingPartyId TEXT, status INTEGER, channel TEXT, channelSource TEXT, "
     "direction INTEGER, parentRequestId TEXT, relayTarget TEXT, serviceType TEXT, packageName "
     "TEXT, serviceId TEXT, isAborted INTEGER, initiatingCreateTime INTEGER, receiveTime INTEGER, "
     "finishTime INTEGER, serviceContent TEXT, reqExchangeMsgId INTEGER, respExchangeMsgId "
     "INTEGER)",
     "Failed to create casp exchange table"},
    {"CREATE TABLE IF NOT EXISTS casp_exchange_msg (id INTEGER PRIMARY KEY AUTOINCREMENT, "
     "requestId TEXT, type TEXT, message TEXT)",
     "Failed to create casp exchange msg table"},
    {"CREATE TABLE IF NOT EXISTS device_auth_info (device_id TEXT PRIMARY KEY, status INTEGER, "
     "auth_type TEXT, support_auth_type TEXT,auth_time INTEGER)",
     "Failed to create device auth info table"},
    {"CREATE TABLE IF NOT EXISTS device_cert_key_info (device_id TEXT PRIMARY KEY, ecc_private "
     "TEXT, ecc_publickey TEXT, random_1 TEXT, random_2 TEXT, data_key TEXT,hmac_key TEXT)",
     "Failed to create device cert key info table"},
    {"CREATE TABLE IF NOT EXISTS setting (key TEXT PRIMARY KEY,value TEXT)",
     "Failed to create setting table"},
}};

// Indexes for the lookups that would otherwise scan a table: discovery and
// the scan screen find services by serial number, service type and
// identifier (readers order their rows by tsId themselves, so the index
// SQLite picks never changes what they return); the abort looks an exchange
// up by its identifier, and an exchange's messages are found by it.
constexpr std::array<TableDefinition, 4> kIndexes = {{
    {"CREATE INDEX IF NOT EXISTS terminal_service_by_sn ON terminal_service (sn, serviceType, "
     "serviceId)",
     "Failed to create terminal service index"},
    {"CREATE INDEX IF NOT EXISTS terminal_service_by_type ON terminal_service (serviceType, "
     "serviceId)",
     "Failed to create terminal service index"},
    {"CREATE INDEX IF NOT EXISTS casp_exchange_exchangeId ON casp_exchange (exchangeId)",
     "Failed to create casp exchange index"},
    {"CREATE INDEX IF NOT EXISTS casp_exchange_msg_requestId ON casp_exchange_msg (requestId)",
     "Failed to create casp exchange msg index"},
}};

// The column names of each table as kTables makes it, read from a copy of
// the schema made in memory once.
using TableColumns = std::map<std::string, std::vector<std::string>, std::less<>>;

TableColumns readColumns(platform::Db& db, bool* failed) {
  TableColumns columns;
  Stmt stmt = db.prepare(
      "SELECT m.name, p.name FROM sqlite_master AS m JOIN pragma_table_info(m.name) AS p WHERE "
      "m.type = 'table' AND m.name NOT LIKE 'sqlite_%' ORDER BY m.name, p.cid");
  StepResult step = StepResult::Error;
  while (stmt.valid() && (step = stmt.step()) == StepResult::Row) {
    columns[stmt.text(0).value_or("")].push_back(stmt.text(1).value_or(""));
  }
  *failed = step != StepResult::Done;
  return columns;
}

// "2026-01-31 14:05:09.007" -> "20260131-140509".
std::string fileTimeStamp(std::int64_t millis) {
  std::string stamp;
  for (char c : platform::formatLocalTimestamp(millis).substr(0, 19)) {
    if (c == ' ') {
      stamp.push_back('-');
    } else if (c >= '0' && c <= '9') {
      stamp.push_back(c);
    }
  }
  return stamp;
}

constexpr std::string_view kInsertTerminalService =
    "INSERT INTO terminal_service (sn, serviceType, serviceTypeName, packageName, serviceId, "
    "serviceName, isEnabled, createTime, updateTime, serviceCategory) VALUES (?, ?, ?, ?, ?, ?, "
    "?, ?, ?, ?)";

constexpr std::string_view kQueryFailed = "查询失败";
constexpr std::string_view kInsertFailed = "Failed to insert data";
constexpr std::string_view kUpdateFailed = "Failed to update data";

struct ExchangeColumn {
  std::string_view name;
  bool integer;
};

constexpr std::array<ExchangeColumn, 18> kExchangeColumns = {{
    {"exchangeId", false},
    {"initiatingPartyId", false},
    {"status", true},
    {"channel", false},
    {"channelSource", false},
    {"direction", true},
    {"parentRequestId", false},
    {"relayTarget", false},
    {"serviceType", false},
    {"packageName", false},
    {"serviceId", false},
    {"isAborted", true},
    {"initiatingCreateTime", true},
    {"receiveTime", true},
    {"finishTime", true},
    {"serviceContent", false},
    {"reqExchangeMsgId", true},
    {"respExchangeMsgId", true},
}};

void logFailure(std::string_view what, std::string_view error) {
  platform::logf("{}: {}", what, error);
}

// Puts column `column` under `key` when it is not NULL.
void putText(Row& row, std::string_view key, const Stmt& stmt, int column) {
  if (auto text = stmt.text(column)) row.emplace(std::string(key), std::move(*text));
}

void putInt(Row& row, std::string_view key, const Stmt& stmt, int column) {
  row.emplace(std::string(key), stmt.int64(column));
}

const TableColumns& expectedColumns() {
  static const TableColumns* columns = [] {
    platform::Db memory;
    bool made = memory.open(":memory:");
    for (const auto& table : kTables) made = memory.exec(table.sql) && made;
    bool failed = false;
    auto* read = new TableColumns(readColumns(memory, &failed));
    if (!made || failed) platform::logLine("Failed to read the database schema");
    return read;
  }();
  return *columns;
}

}  // namespace

// --- row helpers -------------------------------------------------------------

std::int64_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate towards the sign so that the 64-bit minimum stays reachable.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (negative) {
      if (value < (kMin + digit) / 10) return kMin;
      value = value * 10 - digit;
    } else {
      if (value > (kMax - digit) / 10) return kMax;
      value = value * 10 + digit;
    }
  }
  return value;
}

std::optional<std::string> rowText(const Row& row, std::string_view key) {
  auto it = row.find(key);
  if (it == row.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
  return std::to_string(std::get<std::int64_t>(it->second));
}

std::int64_t rowInt(const Row& row, std::string_view key) {
  auto it = row.find(key);
  if (it == row.end()) return 0;
  if (const auto* num = std::get_if<std::int64_t>(&it->second)) return *num;
  return leadingInteger(std::get<std::string>(it->second));
}

// --- construction and schema -------------------------------------------------

DatabaseManager::Param::Param(TextArg text) {
  if (text) value = *text;
}

DatabaseManager::Param::Param(std::int64_t num) : value(num) {}

DatabaseManager& DatabaseManager::sharedManager() {
  // Never destroyed: the connection stays usable for threads still running
  // at exit.
  static DatabaseManager* manager = new DatabaseManager(defaultPath(), &FileLogger::sharedLogger());
  return *manager;
}

std::filesystem::path DatabaseManager::defaultPath() {
  return platform::documentsDir() / std::string(kDatabaseFileName);
}

DatabaseManager::DatabaseManager(std::filesystem::path path, platform::LogFile* logFile)
    : path_(std::move(path)), logFile_(logFile) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // Processes opening the file at the same moment take turns: one that
  // found it damaged must not set aside the new file another has just made
  // in its place, nor lose that file's write-ahead log.
  const platform::FileLock opening(path_.string() + std::string(kOpenLockSuffix),
                                   std::chrono::milliseconds(platform::kBusyTimeoutMillis));
  initializeDatabase(opening.locked());
}

DatabaseManager::~DatabaseManager() = default;

void DatabaseManager::initializeDatabase(bool openingAlone) {
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) {
    createDatabase();
    return;
  }
  if (!db_.open(path_)) {
    platform::logLine("Failed to open database");
    checkAndPerformDatabaseUpgrade();
    return;
  }
  if (std::optional<std::string> damage = findDamage()) {
    if (!openingAlone) {
      // Without the turn (another process holds it, or its lock file cannot
      // be made), what is at the path may already be another process's new
      // file: it stays, and this manager's operations fail.
      logFailure("Database file damaged, not moved aside without the open lock", *damage);
    } else if (moveAside(*damage)) {
      createDatabase();
      return;
    }
  }
  useWriteAheadLog();
  checkAndPerformDatabaseUpgrade();
  // A newer file is another version's business.
  if (getCurrentDatabaseVersion() <= kDatabaseVersion) createIndexes();
}

void DatabaseManager::createDatabase() {
  if (!db_.open(path_)) {
    platform::logLine("Failed to open/create database");
    return;
  }
  useWriteAheadLog();
  // A file whose tables are not all there stays at version 0, so that the
  // next start completes it through the upgrade.
  if (!createTables()) return;
  createIndexes();
  if (!db_.exec("PRAGMA user_version = 1")) {
    logFailure("Failed to set database version", db_.errorMessage());
  }
}

std::optional<std::string> DatabaseManager::findDamage() {
  // The first statements that read the file: SQLite finds a file that is
  // not a database, or is cut short, here.
  Stmt versionStmt = db_.prepare("PRAGMA user_version");
  const bool versionRead = versionStmt.step() == StepResult::Row;
  const std::int64_t version = versionRead ? versionStmt.int64(0) : 0;
  versionStmt = Stmt();
  bool failed = !versionRead;
  TableColumns found;
  if (!failed) found = readColumns(db_, &failed);
  if (failed) {
    // A lock, a read-only directory or a missing disk is no reason to set
    // the file aside: its operations fail and are logged.
    if (db_.lastErrorIsDamage()) return db_.errorMessage();
    return std::nullopt;
  }
  const TableColumns& expected = expectedColumns();
  if (expected.empty()) return std::nullopt;  // nothing to compare with
  bool anyOurs = false;
  for (const auto& [table, columns] : expected) {
    auto it = found.find(table);
    if (it == found.end()) continue;
    anyOurs = true;
    // A newer version may have reshaped its tables: its file is its own
    // business, kept for the day that version runs again.
    if (version > kDatabaseVersion) continue;
    const std::vector<std::string>& have = it->second;
    // Rows are read by position: the library's columns must come first, in
    // order. A file before version 1 lacks terminal_service's last column
    // (the upgrade adds it).
    std::size_t needed = columns.size();
    if (table == "terminal_service" && version < 1) needed = std::min(needed, have.size());
    if (have.size() < needed ||
        !std::equal(columns.begin(), columns.begin() + needed, have.begin())) {
      return fmt::format("table {} has columns of another shape", table);
    }
  }
  if (!anyOurs && !found.empty()) return std::string("it holds none of the library's tables");
  // A current file missing some tables gets them, as a half-created one does
  // at its upgrade.
  if (version == kDatabaseVersion && anyOurs && found.size() < expected.size()) createTables();
  return std::nullopt;
}

bool DatabaseManager::moveAside(const std::string& reason) {
  db_.close();
  const std::string base = path_.string() + ".damaged-" + fileTimeStamp(platform::nowMillis());
  std::filesystem::path target = base;
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(target, ec) && n < 1000; ++n) {
    target = base + "-" + std::to_string(n);
  }
  std::filesystem::rename(path_, target, ec);
  if (ec) {
    logFailure("Failed to move the damaged database aside", ec.message());
    db_.open(path_);
    return false;
  }
  // The write-ahead log belongs to the old file: left here it would be
  // played into the new one.
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::filesystem::path from = path_.string() + suffix;
    if (!std::filesystem::exists(from, ec)) continue;
    std::filesystem::rename(from, target.string() + suffix, ec);
    if (ec) std::filesystem::remove(from, ec);
  }
  const std::string line = fmt::format("Database file damaged ({}): moved to {}; a new one is made",
                                       reason, target.string());
  platform::logLine(line);
  (logFile_ != nullptr ? *logFile_ : platform::logFile()).logMessage(line);
  return true;
}

void DatabaseManager::useWriteAheadLog() {
  // Every exchange writes three rows; with a rollback journal each commit
  // costs several flushes to storage. The write-ahead log needs none per
  // commit and still never corrupts the file (a power cut may lose the
  // last commits, a crash of the process loses nothing).
  if (!db_.exec("PRAGMA journal_mode=WAL") || !db_.exec("PRAGMA synchronous=NORMAL")) {
    logFailure("Failed to set journal mode", db_.errorMessage());
    return;
  }
  // The commit that fills the log would otherwise copy it back and flush
  // twice to storage, on the main loop for the exchange log.
  db_.checkpointInBackground();
}

bool DatabaseManager::createTables() {
  bool all = true;
  for (const auto& table : kTables) {
    if (!db_.exec(table.sql)) {
      logFailure(table.failure, db_.errorMessage());
      all = false;
    }
  }
  return all;
}

void DatabaseManager::createIndexes() {
  for (const auto& index : kIndexes) {
    if (!db_.exec(index.sql)) logFailure(index.failure, db_.errorMessage());
  }
}

std::int64_t DatabaseManager::getCurrentDatabaseVersion() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Stmt stmt = db_.prepare("PRAGMA user_version");
  if (stmt.step() != StepResult::Row) return 0;
  return stmt.int64(0);
}

void DatabaseManager::checkAndPerformDatabaseUpgrade() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::int64_t version = getCurrentDatabaseVersion();
  if (version < kDatabaseVersion) upgradeDatabaseFromVersion(version, kDatabaseVersion);
}

bool DatabaseManager::upgradeDatabaseFromVersion(std::int64_t from, std::int64_t to) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Txn txn(db_);
  if (!txn.begun()) {
    logFailure("Failed to begin transaction for upgrade", txn.error());
    return false;
  }
  for (std::int64_t version = from + 1; version <= to; ++version) {
    if (!migrateToVersion(version)) return false;
  }
  // A file left half-created (a crash while creating it, an empty file)
  // gets its missing tables here; for a complete file this changes nothing.
  if (!createTables()) return false;
  if (!db_.exec(fmt::format("PRAGMA user_version = {}", to))) {
    logFailure("Failed to update database version", db_.errorMessage());
    return false;
  }
  if (!txn.commit()) {
    logFailure("Failed to commit transaction for upgrade", txn.error());
    return false;
  }
  platform::logf("Database upgraded from version {} to version {}", from, to);
  return true;
}

bool DatabaseManager::migrateToVersion(std::int64_t version) {
  if (version != 1) {
    platform::logf("No migration to database version {}", version);
    return false;
  }
  // Version 1 added terminal_service.serviceCategory. The table may be
  // missing (createTables makes it with the column) or already have it.
  bool tableExists = false;
  bool hasColumn = false;
  {
    Stmt info = db_.prepare("PRAGMA table_info(terminal_service)");
    StepResult step = StepResult::Error;
    while (info.valid() && (step = info.step()) == StepResult::Row) {
      tableExists = true;
      if (info.text(1) == "serviceCategory") hasColumn = true;
    }
    if (step != StepResult::Done) {
      logFailure("Failed to read terminal service table", db_.errorMessage());
      return false;
    }
  }
  if (!tableExists || hasColumn) return true;
  if (!db_.exec("ALTER TABLE terminal_service ADD COLUMN serviceCategory TEXT")) {
    logFailure("Failed to add column serviceCategory", db_.errorMessage());
    return false;
  }
  return true;
}

// --- statement helpers -------------------------------------------------------

bool DatabaseManager::bindParams(Stmt& stmt, Params params) {
  int index = 1;
  for (const Param& param : params) {
    bool ok = false;
    if (const auto* text = std::get_if<std::string_view>(&param.value)) {
      ok = stmt.bind(index, TextArg(*text));
    } else if (const auto* num = std::get_if<std::int64_t>(&param.value)) {
      ok = stmt.bind(index, *num);
    } else {
      ok = stmt.bindNull(index);
    }
    if (!ok) return false;
    ++index;
  }
  return true;
}

bool DatabaseManager::write(std::string_view sql, Params params, std::string_view failure) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Stmt stmt = db_.prepareCached(sql);
  const bool done = bindParams(stmt, params) && stmt.step() == StepResult::Done;
  if (!done && !failure.empty()) logFailure(failure, db_.errorMessage());
  return done;
}

Rows DatabaseManager::query(std::string_view sql, Params params, Reader reader,
                            std::string_view failure) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Rows rows;
  Stmt stmt = db_.prepareCached(sql);
  if (!stmt.valid()) {
    if (!failure.empty()) logFailure(failure, db_.errorMessage());
    return rows;
  }
  if (!bindParams(stmt, params)) return rows;
  while (stmt.step() == StepResult::Row) rows.push_back(reader(stmt));
  return rows;
}

Row DatabaseManager::queryFirst(std::string_view sql, Params params, Reader reader) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Stmt stmt = db_.prepareCached(sql);
  if (!bindParams(stmt, params) || stmt.step() != StepResult::Row) return {};
  return reader(stmt);
}

std::vector<std::string> DatabaseManager::queryTexts(std::string_view sql, Params params) {
  std::vector<std::string> texts;
  for (Row& row : query(
           sql, params,
           +[](const Stmt& stmt) {
             Row row;
             putText(row, "value", stmt, 0);
             return row;
           },
           kQueryFailed)) {
    if (auto text = rowText(row, "value")) texts.push_back(std::move(*text));
  }
  return texts;
}

std::map<std::string, std::string> DatabaseManager::categoryNames(std::string_view sql,
                                                                  Params params) {
  std::map<std::string, std::string> names;
  for (std::string& category : queryTexts(sql, params)) {
    std::string name = categoryDisplayName(category);
    names.emplace(std::move(category), std::move(name));
  }
  return names;
}

bool DatabaseManager::performInTransaction(const std::function<bool()>& body) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Txn txn(db_);
  if (!txn.begun()) {
    logFailure("Failed to begin transaction", txn.error());
    return false;
  }
  if (!body()) return false;  // the guard rolls back
  return txn.commit();
}

DatabaseManager::ReadBatch::ReadBatch(DatabaseManager& manager)
    : manager_(manager), lock_(manager.mutex_) {
  // Deferred: nothing is locked until the first read, and never for writing.
  if (!manager_.db_.inTransaction()) begun_ = manager_.db_.execCached("BEGIN");
}

DatabaseManager::ReadBatch::~ReadBatch() {
  if (begun_ && manager_.db_.inTransaction()) manager_.db_.execCached("COMMIT");
}

bool DatabaseManager::runInTransaction(std::initializer_list<std::string_view> statements) {
  return performInTransaction([&] {
    for (std::string_view sql : statements) {
      if (!db_.exec(sql)) return false;
    }
    return true;
  });
}

// --- row readers -------------------------------------------------------------

Row DatabaseManager::extractDiscoveredTerminalFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "sn", stmt, 0);
  putText(row, "model", stmt, 1);
  putText(row, "address", stmt, 2);
  putText(row, "uuidString", stmt, 3);
  putText(row, "parameter", stmt, 4);
  putText(row, "alias", stmt, 5);
  putInt(row, "status", stmt, 6);
  putInt(row, "isCommunicationDevice", stmt, 7);
  putInt(row, "isPeripheral", stmt, 8);
  putText(row, "firstDiscoverTime", stmt, 9);
  putText(row, "lastDiscoverTime", stmt, 10);
  return row;
}

Row DatabaseManager::extractRememberServiceFromStatement(const Stmt& stmt) {
  Row row;
  putInt(row, "rsId", stmt, 0);
  putText(row, "serviceType", stmt, 1);
  putText(row, "sn", stmt, 2);
  putText(row, "serviceId", stmt, 4);
  putText(row, "screenId", stmt, 5);
  putText(row, "createTime", stmt, 6);
  return row;
}

Row DatabaseManager::extractTerminalServiceInfoFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "tsId", stmt, 0);
  putText(row, "sn", stmt, 1);
  putText(row, "serviceType", stmt, 2);
  putText(row, "serviceTypeName", stmt, 3);
  putText(row, "serviceId", stmt, 5);
  putText(row, "serviceName", stmt, 6);
  putInt(row, "isEnabled", stmt, 7);
  putText(row, "createTime", stmt, 8);
  putText(row, "updateTime", stmt, 9);
  return row;
}

Row DatabaseManager::extractTerminalServiceFromStatement(const Stmt& stmt) {
  Row row = extractTerminalServiceInfoFromStatement(stmt);
  putText(row, "serviceCategory", stmt, 10);
  return row;
}

Row DatabaseManager::extractGroupCountFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "serviceType", stmt, 0);
  putInt(row, "count", stmt, 1);
  return row;
}

Row DatabaseManager::extractCaspExchangeFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "exchangeId", stmt, 1);
  putText(row, "sn", stmt, 2);
  putText(row, "channel", stmt, 4);
  putText(row, "channelSource", stmt, 5);
  putText(row, "serviceType", stmt, 9);
  putText(row, "serviceId", stmt, 11);
  return row;
}

Row DatabaseManager::extractDeviceAuthInfoFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "deviceId", stmt, 0);
  putInt(row, "status", stmt, 1);
  putText(row, "authType", stmt, 2);
  putText(row, "supportauthType", stmt, 3);
  putInt(row, "authTime", stmt, 4);
  return row;
}

Row DatabaseManager::extractDeviceCertKeyInfoFromStatement(const Stmt& stmt) {
  Row row;
  putText(row, "deviceId", stmt, 0);
  putText(row, "eccPrivate", stmt, 1);
  putText(row, "eccPubilckey", stmt, 2);
  putText(row, "random1", stmt, 3);
  putText(row, "random2", stmt, 4);
  putText(row, "dataKey", stmt, 5);
  putText(row, "hmacKey", stmt, 6);
  return row;
}

// --- discovered_terminal -----------------------------------------------------

bool DatabaseManager::insertDiscoveredTerminal(TextArg sn, TextArg model, TextArg address,
                                               TextArg parameter, TextArg alias,
                                               std::int64_t status,
                                               std::int64_t isCommunicationDevice,
                                               std::int64_t isPeripheral, TextArg firstDiscoverTime,
                                               TextArg lastDiscoverTime, TextArg uuidString) {
  // Bound in the statement's column order: uuidString, the last argument,
  // is the fourth value.
  return write(
      "INSERT INTO discovered_terminal (sn, model, address, uuidString, parameter, alias, status, "
      "isCommunicationDevice, isPeripheral, firstDiscoverTime, lastDiscoverTime) VALUES (?, ?, ?, "
      "?, ?, ?, ?, ?, ?, ?, ?)",
      {sn, model, address, uuidString, parameter, alias, status, isCommunicationDevice,
       isPeripheral, firstDiscoverTime, lastDiscoverTime});
}

Row DatabaseManager::fetchDiscoveredTerminal(TextArg sn) {
  return queryFirst("SELECT * FROM discovered_terminal WHERE sn = ?", {sn},
                    &extractDiscoveredTerminalFromStatement);
}

Rows DatabaseManager::fetchDiscoveredAllTerminal() {
  return query("SELECT * FROM discovered_terminal", {}, &extractDiscoveredTerminalFromStatement);
}

bool DatabaseManager::updateLastDiscoverTime(TextArg sn, TextArg lastDiscoverTime) {
  return write("UPDATE discovered_terminal SET lastDiscoverTime = ? WHERE sn = ?",
               {lastDiscoverTime, sn});
}

bool DatabaseManager::updateLastDiscoverTerminalAddressParameter(TextArg sn, TextArg address,
                                                                 TextArg parameter,
                                                                 TextArg lastDiscoverTime) {
  return write(
      "UPDATE discovered_terminal SET lastDiscoverTime = ?, address = ?, parameter = ? WHERE sn = "
      "?",
      {lastDiscoverTime, address, parameter, sn});
}

bool DatabaseManager::updateLastDiscoverTerminalParameterUuidString(TextArg sn, TextArg parameter,
                                                                    TextArg uuidString,
                                                                    TextArg lastDiscoverTime) {
  return write(
      "UPDATE discovered_terminal SET lastDiscoverTime = ?, parameter = ?, uuidString = ? WHERE sn "
      "= ?",
      {lastDiscoverTime, parameter, uuidString, sn});
}

bool DatabaseManager::updateTerminalStatus(TextArg sn, std::int64_t status) {
  return write("UPDATE discovered_terminal SET status = ? WHERE sn = ?", {status, sn});
}

bool DatabaseManager::deleteDiscoverTerminalAll() {
  return runInTransaction({"DELETE FROM discovered_terminal"});
}

// --- terminal_service --------------------------------------------------------

bool DatabaseManager::insertTerminalServices(TextArg sn, TextArg serviceType,
                                             TextArg serviceTypeName, TextArg packageName,
                                             TextArg serviceId, TextArg serviceName,
                                             std::int64_t isEnabled, TextArg createTime,
                                             TextArg updateTime, TextArg serviceCategory) {
  return write(kInsertTerminalService,
               {sn, serviceType, serviceTypeName, packageName, serviceId, serviceName, isEnabled,
                createTime, updateTime, serviceCategory});
}

bool DatabaseManager::insertTerminalServicesBatch(const Rows& services) {
  if (services.empty()) return true;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // Declared before the statement, so that the statement is finalized
  // before an unfinished transaction rolls back.
  Txn txn(db_);
  if (!txn.begun()) {
    logFailure("Failed to begin transaction", txn.error());
    return false;
  }
  {
    Stmt stmt = db_.prepareCached(kInsertTerminalService);
    if (!stmt.valid()) {
      logFailure("Failed to prepare statement", db_.errorMessage());
      return false;
    }
    constexpr std::array<std::string_view, 6> kLeadingTexts = {
        "sn", "serviceType", "serviceTypeName", "packageName", "serviceId", "serviceName"};
    constexpr std::array<std::string_view, 3> kTrailingTexts = {"createTime", "updateTime",
                                                                "serviceCategory"};
    for (const Row& service : services) {
      int index = 1;
      bool bound = true;
      for (std::string_view key : kLeadingTexts) bound &= stmt.bind(index++, rowText(service, key));
      bound &= stmt.bind(index++, rowInt(service, "isEnabled"));
      for (std::string_view key : kTrailingTexts) {
        bound &= stmt.bind(index++, rowText(service, key));
      }
      if (!bound || stmt.step() != StepResult::Done) {
        logFailure("Failed to insert record", db_.errorMessage());
        return false;
      }
      stmt.reset();
    }
  }
  if (!txn.commit()) {
    logFailure("Failed to commit transaction", txn.error());
    return false;
  }
  return true;
}

Rows DatabaseManager::fetchTerminalServices() {
  return query("SELECT * FROM terminal_service", {}, &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesByLatestUpdate() {
  // MAX compares updateTime as text while the difference takes numbers: right
  // as long as the times have the same number of digits (ms since 1970 do).
  // The table is read in its own order, as before it had indexes: services
  // seen at the same time keep their order.
  return query(
      "SELECT * FROM ( SELECT *, MAX(updateTime) OVER (PARTITION BY sn) as max_update_time FROM "
      "terminal_service NOT INDEXED) AS sub WHERE (max_update_time - updateTime) > ? AND "
      "isEnabled = 1 ORDER BY sn, updateTime DESC",
      {kStaleServiceLagMillis}, &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithSn(TextArg sn) {
  return query("SELECT * FROM terminal_service WHERE sn = ? ORDER BY tsId", {sn},
               &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithServiceType(TextArg serviceType) {
  return query("SELECT * FROM terminal_service WHERE serviceType = ? ORDER BY tsId", {serviceType},
               &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithServiceTypeSn(TextArg serviceType, TextArg sn) {
  return query(
      "SELECT * FROM terminal_service WHERE serviceType = ? AND sn = ? AND isEnabled = 1 ORDER "
      "BY tsId",
      {serviceType, sn}, &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithServiceTypeSnServiceId(TextArg serviceType,
                                                                      TextArg sn,
                                                                      TextArg serviceId) {
  return query(
      "SELECT * FROM terminal_service WHERE serviceType = ? AND sn = ? AND serviceId = ? AND "
      "isEnabled = 1 ORDER BY tsId",
      {serviceType, sn, serviceId}, &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithServiceId(TextArg sn, TextArg serviceId) {
  return query(
      "SELECT * FROM terminal_service WHERE sn = ? AND serviceId = ? AND isEnabled = 1 ORDER "
      "BY tsId",
      {sn, serviceId}, &extractTerminalServiceFromStatement);
}

Rows DatabaseManager::fetchTerminalServicesWithServiceTypeServiceId(TextArg serviceType,
                                                                    TextArg serviceId) {
  return query(
      "SELECT * FROM terminal_service WHERE serviceType = ? AND serviceId = ? AND isEnabled = 1 "
      "ORDER BY tsId",
      {serviceType, serviceId}, &extractTerminalServiceFromStatement);
}

bool DatabaseManager::deleteTerminalServiceAll() {
  return runInTransaction({"DELETE FROM terminal_service"});
}

Row DatabaseManager::fetchTerminalServicesWithInfo(TextArg serviceType, TextArg sn,
                                                   TextArg serviceId) {
  return queryFirst(
      "SELECT * FROM terminal_service WHERE serviceType = ? AND sn = ? AND serviceId = ? AND "
      "isEnabled = 1 ORDER BY tsId",
      {serviceType, sn, serviceId}, &extractTerminalServiceInfoFromStatement);
}

bool DatabaseManager::updataTerminalServiceLastTime(std::int64_t tsId, TextArg time) {
  return write("UPDATE terminal_service SET updateTime = ?, isEnabled = 1 WHERE tsId = ?",
               {time, tsId}, kUpdateFailed);
}

bool DatabaseManager::updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status) {
  return write("UPDATE terminal_service SET isEnabled = ? WHERE tsId = ?", {status, tsId},
               kUpdateFailed);
}

Rows DatabaseManager::groupCountByTerminaService() {
  return query("SELECT serviceType, COUNT(*) as count FROM terminal_service GROUP BY serviceType",
               {}, &extractGroupCountFromStatement, kQueryFailed);
}

Rows DatabaseManager::groupCountByTerminaService(TextArg serviceCategory) {
  return query(
      "SELECT serviceType, COUNT(*) as count FROM terminal_service where serviceCategory = ? AND "
      "isEnabled = 1 GROUP BY serviceType",
      {serviceCategory}, &extractGroupCountFromStatement, kQueryFailed);
}

Rows DatabaseManager::groupCountByTerminaService(TextArg serviceCategory, TextArg sn) {
  return query(
      "SELECT serviceType, COUNT(*) as count FROM terminal_service where serviceCategory = ? AND "
      "sn = ? AND isEnabled = 1 GROUP BY serviceType",
      {serviceCategory, sn}, &extractGroupCountFromStatement, kQueryFailed);
}

std::map<std::string, std::string> DatabaseManager::getServiceCategoryArray() {
  return categoryNames(
      "SELECT DISTINCT serviceCategory FROM terminal_service WHERE  serviceCategory IS NOT NULL",
      {});
}

std::map<std::string, std::string> DatabaseManager::getServiceCategoryArrayBySN(TextArg sn) {
  return categoryNames(
      "SELECT DISTINCT serviceCategory FROM terminal_service WHERE sn = ?  AND serviceCategory IS "
      "NOT NULL",
      {sn});
}

std::vector<std::string> DatabaseManager::getDeviceSNArray() {
  // In the order of first appearance, as a scan of the table gives them.
  return queryTexts(
      "SELECT sn FROM terminal_service WHERE sn IS NOT NULL GROUP BY sn ORDER BY MIN(tsId)", {});
}

std::string DatabaseManager::categoryDisplayName(std::string_view category) {
  std::string name;
  name.reserve(category.size() + 8);
  bool wordStart = true;
  for (char c : category) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      wordStart = true;
      name.push_back(c);
      continue;
    }
    // ASCII letters only: bytes of other characters pass unchanged.
    if (u < 0x80) {
      c = static_cast<char>(wordStart ? std::toupper(u) : std::tolower(u));
    }
    name.push_back(c);
    wordStart = false;
  }
  name += " Service";
  return name;
}

// --- remember_service --------------------------------------------------------

bool DatabaseManager::insertRememberServices(TextArg sn, TextArg serviceType, TextArg packageName,
                                             TextArg serviceId, TextArg screenId,
                                             TextArg createTime) {
  return write(
      "INSERT INTO remember_service (sn, serviceType, packageName, serviceId, screenId, "
      "createTime) VALUES (?, ?, ?, ?, ?, ?)",
      {sn, serviceType, packageName, serviceId, screenId, createTime});
}

Rows DatabaseManager::fetchRememberServicesWithSn(TextArg sn) {
  return query("SELECT * FROM remember_service WHERE sn = ? ORDER BY rsId", {sn},
               &extractRememberServiceFromStatement);
}

Rows DatabaseManager::fetchRememberServices() {
  return query("SELECT * FROM remember_service ORDER BY rsId", {},
               &extractRememberServiceFromStatement);
}

Row DatabaseManager::fetchRememberServicesWithType(TextArg serviceType) {
  return queryFirst("SELECT * FROM remember_service WHERE serviceType = ? ORDER BY rsId",
                    {serviceType}, &extractRememberServiceFromStatement);
}

Row DatabaseManager::fetchRememberServicesWithInfo(TextArg serviceType, TextArg sn,
                                                   TextArg serviceId) {
  return queryFirst(
      "SELECT * FROM remember_service WHERE serviceType = ? AND sn = ? AND serviceId = ? ORDER BY "
      "rsId",
      {serviceType, sn, serviceId}, &extractRememberServiceFromStatement);
}

bool DatabaseManager::replaceRememberServices(TextArg sn, TextArg serviceType, TextArg packageName,
                                              TextArg serviceId, TextArg screenId,
                                              TextArg createTime) {
  // A failed step rolls back: the old rows stay.
  return performInTransaction([&] {
    return write("DELETE FROM remember_service WHERE serviceType = ?", {serviceType}) &&
           insertRememberServices(sn, serviceType, packageName, serviceId, screenId, createTime);
  });
}

bool DatabaseManager::deleteRememberServiceWithType(TextArg serviceType) {
  return write("DELETE FROM remember_service WHERE serviceType = ?", {serviceType});
}

bool DatabaseManager::deleteRememberServiceWithSn(TextArg sn) {
  return write("DELETE FROM remember_service WHERE sn = ?", {sn});
}

bool DatabaseManager::deleteRememberServiceAll() {
  return runInTransaction({"DELETE FROM remember_service"});
}

// --- setting -----------------------------------------------------------------

bool DatabaseManager::insertSetting(TextArg key, TextArg value) {
  // The key column would take NULL (as many times as asked) and the row
  // could never be read back.
  if (!key) return false;
  return write("INSERT INTO setting (key, value) VALUES (?, ?)", {key, value});
}

bool DatabaseManager::updateSetting(TextArg key, TextArg value) {
  return write("UPDATE setting SET value = ? WHERE key = ?", {value, key});
}

bool DatabaseManager::upsertSetting(TextArg key, TextArg value) {
  if (!key) return false;
  return write(
      "INSERT INTO setting (key, value) VALUES (?, ?) ON CONFLICT(key) DO UPDATE SET value = "
      "excluded.value",
      {key, value});
}

bool DatabaseManager::deleteSetting(TextArg key) {
  return write("DELETE FROM setting WHERE key = ?", {key});
}

bool DatabaseManager::deleteSetting() { return write("DELETE FROM setting", {}); }

std::string DatabaseManager::fetchSetting(TextArg key) {
  Row row = queryFirst(
      "SELECT * FROM setting WHERE key = ?", {key}, +[](const Stmt& stmt) {
        Row r;
        putText(r, "value", stmt, 1);
        return r;
      });
  return rowText(row, "value").value_or("");
}

// --- exchange log ------------------------------------------------------------

bool DatabaseManager::insertCaspExchange(const Row& exchange) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Stmt stmt = db_.prepareCached(
      "INSERT INTO casp_exchange (exchangeId, initiatingPartyId, status, channel, channelSource, "
      "direction, parentRequestId, relayTarget, serviceType, packageName, serviceId, isAborted, "
      "initiatingCreateTime, receiveTime, finishTime, serviceContent, reqExchangeMsgId, "
      "respExchangeMsgId) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  int index = 1;
  for (const ExchangeColumn& column : kExchangeColumns) {
    bool ok = false;
    if (column.integer) {
      ok = stmt.bind(index, rowInt(exchange, column.name));
    } else {
      std::optional<std::string> text = rowText(exchange, column.name);
      if (text && column.name == "serviceContent") *text = platform::redactCardData(*text);
      ok = stmt.bind(index, text);
    }
    if (!ok) break;
    ++index;
  }
  if (index > static_cast<int>(kExchangeColumns.size()) && stmt.step() == StepResult::Done) {
    return true;
  }
  logFailure("Failed to insert casp exchange", db_.errorMessage());
  return false;
}

bool DatabaseManager::insertCaspExchangeMsg(TextArg requestId, TextArg type, TextArg message) {
  std::optional<std::string> stored;
  if (message) stored = platform::redactCardData(*message);
  return write("INSERT INTO casp_exchange_msg (requestId, type, message) VALUES (?, ?, ?)",
               {requestId, type, TextArg(stored)}, "Failed to insert casp exchange msg");
}

Row DatabaseManager::fetchCaspExchange(TextArg exchangeId) {
  return queryFirst("SELECT * FROM casp_exchange WHERE exchangeId = ?", {exchangeId},
                    &extractCaspExchangeFromStatement);
}

bool DatabaseManager::deleteCaspExchangeAll() {
  return runInTransaction({"DELETE FROM casp_exchange_msg", "DELETE FROM casp_exchange"});
}

bool DatabaseManager::insertCaspExchangeWithRequest(const Row& exchange, TextArg message) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // One commit for both rows. Should BEGIN fail, each insert still runs on
  // its own.
  Txn txn(db_);
  const std::optional<std::string> exchangeId = rowText(exchange, "exchangeId");
  const bool messageStored = insertCaspExchangeMsg(exchangeId, "1", message);
  const bool exchangeStored = insertCaspExchange(exchange);
  if (txn.begun() && !txn.commit()) {
    logFailure("Failed to commit casp exchange", txn.error());
    return false;
  }
  return messageStored && exchangeStored;
}

// --- device authorisation and keys --------------------------------------------

bool DatabaseManager::insertDeviceAuthInfo(TextArg deviceId, std::int64_t status, TextArg authType,
                                           TextArg supportAuthType, TextArg authTime) {
  // authTime is bound as text: the INTEGER column stores decimal text as an
  // integer.
  return write(
      "INSERT INTO device_auth_info ( device_id,status,auth_type,support_auth_type, auth_time) "
      "VALUES (?, ?, ?, ?, ?)",
      {deviceId, status, authType, supportAuthType, authTime}, kInsertFailed);
}

bool DatabaseManager::updateDeviceAuthInfo(TextArg deviceId, std::int64_t status) {
  return write("UPDATE device_auth_info SET status = ? WHERE device_id = ?", {status, deviceId},
               kUpdateFailed);
}

Row DatabaseManager::fetchDeviceAuthInfoWithSn(TextArg deviceId) {
  return queryFirst("SELECT * FROM device_auth_info WHERE device_id = ?", {deviceId},
                    &extractDeviceAuthInfoFromStatement);
}

bool DatabaseManager::deleteDeviceAuthInfo() {
  return runInTransaction({"DELETE FROM device_auth_info"});
}

bool DatabaseManager::insertDeviceCertKeyInfo(TextArg deviceId, TextArg eccPrivate,
                                              TextArg eccPubilckey, TextArg random1,
                                              TextArg random2, TextArg dataKey, TextArg hmacKey) {
  return write(
      "INSERT INTO device_cert_key_info ( device_id,ecc_private,ecc_publickey,random_1,random_2,"
      "data_key,hmac_key) VALUES (?, ?, ?, ?, ?, ?, ?)",
      {deviceId, eccPrivate, eccPubilckey, random1, random2, dataKey, hmacKey}, kInsertFailed);
}

Row DatabaseManager::fetchDeviceCertKeyInfoWithSn(TextArg deviceId) {
  return queryFirst("SELECT * FROM device_cert_key_info WHERE device_id = ?", {deviceId},
                    &extractDeviceCertKeyInfoFromStatement);
}

bool DatabaseManager::deleteDeviceCertKeyInfo() {
  return runInTransaction({"DELETE FROM device_cert_key_info"});
}

}  // namespace veltrix::registry
