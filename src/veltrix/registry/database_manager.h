// The local database: everything the library remembers between runs, in one
// SQLite file "Lumetra.sqlite.tavio" in the documents directory.
//
// Tables: discovered_terminal and terminal_service (what discovery found),
// remember_service and setting (the user's choices), casp_exchange and
// casp_exchange_msg (the exchange log), device_auth_info and
// device_cert_key_info (pairing state). The file is created with schema
// version 1 (SQLite's user_version) or upgraded to it when opened.
//
// A file that SQLite finds not to be a database or corrupt, or whose tables
// cannot hold the library's rows (tables of another shape under the
// library's names in a file of this version or older, or only another
// application's tables), is moved aside when opened: renamed to
// "<name>.damaged-<yyyyMMdd-HHmmss>" (with its write-ahead log) and kept; a
// new file takes its place, and the platform log and the log file say where
// the old one went. A file that cannot be opened or written (a read-only
// directory, a full disk) is never moved: its operations fail and are
// logged. Processes that open the file at once take turns (a lock on
// "<name>.open-lock" beside it), so only a file found damaged is ever set
// aside, and each process then uses the one new file.
//
// Conventions of every operation: a changing one returns true exactly when
// its statement completed (an UPDATE or DELETE that matches nothing is
// true); a reading one returns rows (empty when nothing matches or the
// statement fails), a single-row one the first row (empty when none). Rows
// are maps from column key to text or integer; a NULL text column leaves its
// key out, a NULL integer column reads as 0. Failures go to the platform log
// only. Every value is bound as a parameter, never written into SQL text.
// Card data in stored message texts is masked (platform/card_redaction.h).
//
// Thread-safety: any thread may call any operation. Each one holds the
// manager's recursive lock for its whole statement work, so transactions of
// different threads never interleave on the one connection. Operations are
// synchronous (a few tens of microseconds each; the file is in write-ahead
// log mode, statements are prepared once and kept). Another process on the
// same file is waited for (platform::kBusyTimeoutMillis at most).
//
// Ownership: the manager owns its connection; sharedManager() lives for the
// process. Non-copyable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "veltrix/platform/log_file.h"
#include "veltrix/platform/sqlite.h"

namespace veltrix::registry {

inline constexpr std::string_view kDatabaseFileName = "Lumetra.sqlite.tavio";
inline constexpr std::int64_t kDatabaseVersion = 1;
// Beside the file: the lock that processes opening it take in turn.
inline constexpr std::string_view kOpenLockSuffix = ".open-lock";
// How far (ms) a service may lag behind the newest one of its terminal
// before fetchTerminalServicesByLatestUpdate reports it as stale.
inline constexpr std::int64_t kStaleServiceLagMillis = 2000;

// One column value of a row: text or integer.
using DbValue = std::variant<std::string, std::int64_t>;
// A table row, or a record handed to an insert, keyed by column key.
using Row = std::map<std::string, DbValue, std::less<>>;
using Rows = std::vector<Row>;
// A text argument; nullopt binds NULL.
using TextArg = std::optional<std::string_view>;

// The integer at the start of `text`, read the way the platform's string
// "integerValue" reads it: leading blanks skipped, an optional sign, the
// digits that follow; 0 when there are none; clamped to the 64-bit range.
std::int64_t leadingInteger(std::string_view text);

// The value under `key` as text (an integer as its decimal text); nullopt
// when the key is absent.
std::optional<std::string> rowText(const Row& row, std::string_view key);
// The value under `key` as an integer (a text by leadingInteger); 0 when the
// key is absent.
std::int64_t rowInt(const Row& row, std::string_view key);

class DatabaseManager {
 public:
  // The process-wide database in the documents directory, opened (and
  // created or upgraded) by the first call, on any thread.
  static DatabaseManager& sharedManager();
  static std::filesystem::path defaultPath();

  // Opens the database file at `path`, creating or upgrading it (tests make
  // their own). A file that cannot be opened leaves a manager whose
  // operations fail as described above. A damaged file moved aside is told
  // to `logFile` (null: the process's installed log file), which must
  // outlive the constructor.
  explicit DatabaseManager(std::filesystem::path path, platform::LogFile* logFile = nullptr);
  ~DatabaseManager();
  DatabaseManager(const DatabaseManager&) = delete;
  DatabaseManager& operator=(const DatabaseManager&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // --- schema -------------------------------------------------------------

  // The stored schema version; 0 when it cannot be read.
  std::int64_t getCurrentDatabaseVersion();
  // Upgrades when the stored version is below kDatabaseVersion.
  void checkAndPerformDatabaseUpgrade();
  // In one transaction: the migrations after `from` up to `to`, every
  // missing table, then `to` as the version. All or nothing; true on
  // success.
  bool upgradeDatabaseFromVersion(std::int64_t from, std::int64_t to);

  // --- discovered_terminal -------------------------------------------------
  // Row keys: "sn", "model", "address", "uuidString", "parameter", "alias",
  // "status", "isCommunicationDevice", "isPeripheral" (integers),
  // "firstDiscoverTime", "lastDiscoverTime".

  // False for an sn already stored.
  bool insertDiscoveredTerminal(TextArg sn, TextArg model, TextArg address, TextArg parameter,
                                TextArg alias, std::int64_t status,
                                std::int64_t isCommunicationDevice, std::int64_t isPeripheral,
                                TextArg firstDiscoverTime, TextArg lastDiscoverTime,
                                TextArg uuidString);
  Row fetchDiscoveredTerminal(TextArg sn);
  Rows fetchDiscoveredAllTerminal();
  bool updateLastDiscoverTime(TextArg sn, TextArg lastDiscoverTime);
  // After a LAN handshake.
  bool updateLastDiscoverTerminalAddressParameter(TextArg sn, TextArg address, TextArg parameter,
                                                  TextArg lastDiscoverTime);
  // After a Bluetooth LE handshake.
  bool updateLastDiscoverTerminalParameterUuidString(TextArg sn, TextArg parameter,
                                                     TextArg uuidString, TextArg lastDiscoverTime);
  bool updateTerminalStatus(TextArg sn, std::int64_t status);
  bool deleteDiscoverTerminalAll();

  // --- terminal_service ----------------------------------------------------
  // Row keys: "tsId" (decimal text), "sn", "serviceType", "serviceTypeName",
  // "serviceId", "serviceName", "isEnabled" (integer), "createTime",
  // "updateTime", "serviceCategory". packageName is stored, never returned.

  bool insertTerminalServices(TextArg sn, TextArg serviceType, TextArg serviceTypeName,
                              TextArg packageName, TextArg serviceId, TextArg serviceName,
                              std::int64_t isEnabled, TextArg createTime, TextArg updateTime,
                              TextArg serviceCategory);
  // All or nothing, in one transaction. Each record gives the columns under
  // their keys; "isEnabled" as an integer or decimal text (absent: 0),
  // absent texts bind NULL. An empty list is true without touching the file.
  bool insertTerminalServicesBatch(const Rows& services);
  Rows fetchTerminalServices();
  // Enabled services that lag more than kStaleServiceLagMillis behind the
  // newest service of their terminal, by sn and then newest first.
  Rows fetchTerminalServicesByLatestUpdate();
  // Enabled and disabled rows.
  Rows fetchTerminalServicesWithSn(TextArg sn);
  // Enabled and disabled rows.
  Rows fetchTerminalServicesWithServiceType(TextArg serviceType);
  // The queries below return enabled rows (isEnabled = 1) only.
  Rows fetchTerminalServicesWithServiceTypeSn(TextArg serviceType, TextArg sn);
  Rows fetchTerminalServicesWithServiceTypeSnServiceId(TextArg serviceType, TextArg sn,
                                                       TextArg serviceId);
  Rows fetchTerminalServicesWithServiceId(TextArg sn, TextArg serviceId);
  Rows fetchTerminalServicesWithServiceTypeServiceId(TextArg serviceType, TextArg serviceId);
  bool deleteTerminalServiceAll();
  // The first enabled match, without "serviceCategory"; empty when none.
  Row fetchTerminalServicesWithInfo(TextArg serviceType, TextArg sn, TextArg serviceId);
  // Sets the time and enables the service again.
  bool updataTerminalServiceLastTime(std::int64_t tsId, TextArg time);
  bool updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status);

  // Rows of "serviceType" (absent for the NULL group) and "count", one per
  // service type: over all rows; over the enabled rows of one category; over
  // the enabled rows of one category of one terminal.
  Rows groupCountByTerminaService();
  Rows groupCountByTerminaService(TextArg serviceCategory);
  Rows groupCountByTerminaService(TextArg serviceCategory, TextArg sn);
  // Each distinct category (of every terminal, or of one) to its display
  // name (categoryDisplayName).
  std::map<std::string, std::string> getServiceCategoryArray();
  std::map<std::string, std::string> getServiceCategoryArrayBySN(TextArg sn);
  // The distinct serial numbers of terminal_service.
  std::vector<std::string> getDeviceSNArray();
  // "scan code" and "SCAN CODE" both give "Scan Code Service".
  static std::string categoryDisplayName(std::string_view category);

  // --- remember_service ----------------------------------------------------
  // Row keys: "rsId" (integer), "serviceType", "sn", "serviceId", "screenId"
  // (text form), "createTime". packageName is stored, never returned.

  bool insertRememberServices(TextArg sn, TextArg serviceType, TextArg packageName,
                              TextArg serviceId, TextArg screenId, TextArg createTime);
  Rows fetchRememberServicesWithSn(TextArg sn);
  Rows fetchRememberServices();
  // Readers return rows in insertion order (by rsId), so "the first row of
  // a type" is the oldest one left.
  // The first row of the type; empty when none.
  Row fetchRememberServicesWithType(TextArg serviceType);
  Row fetchRememberServicesWithInfo(TextArg serviceType, TextArg sn, TextArg serviceId);
  // Deletes every row of `serviceType` (every terminal's) and inserts the
  // new one, in one transaction: all or nothing.
  bool replaceRememberServices(TextArg sn, TextArg serviceType, TextArg packageName,
                               TextArg serviceId, TextArg screenId, TextArg createTime);
  bool deleteRememberServiceWithType(TextArg serviceType);
  bool deleteRememberServiceWithSn(TextArg sn);
  bool deleteRememberServiceAll();

  // Runs `body` (operations of this manager) in one transaction under the
  // manager's lock: committed when it returns true, rolled back when it
  // returns false. False, without running `body`, when BEGIN fails.
  bool performInTransaction(const std::function<bool()>& body);

  // While one lives, the reads of this manager on the same thread share one
  // read transaction under the manager's lock: they see one state of the
  // file and take its locks once instead of once per statement. Reads only:
  // a write made meanwhile would wait for the end of the batch to commit.
  // Inside a transaction already, it changes nothing.
  class ReadBatch {
   public:
    explicit ReadBatch(DatabaseManager& manager);
    ~ReadBatch();
    ReadBatch(const ReadBatch&) = delete;
    ReadBatch& operator=(const ReadBatch&) = delete;

   private:
    DatabaseManager& manager_;
    std::lock_guard<std::recursive_mutex> lock_;
    bool begun_ = false;
  };

  // --- setting -------------------------------------------------------------

  // False when the key is stored already (the old value stays) or absent.
  bool insertSetting(TextArg key, TextArg value);
  // True also when the key is not stored (nothing is written then).
  bool updateSetting(TextArg key, TextArg value);
  // Inserts the key or replaces its value, whatever it holds now. False for
  // an absent key.
  bool upsertSetting(TextArg key, TextArg value);
  bool deleteSetting(TextArg key);
  // Empties the table.
  bool deleteSetting();
  // The value; "" when the key is not stored or its value is NULL.
  std::string fetchSetting(TextArg key);

  // --- exchange log --------------------------------------------------------

  // `exchange` gives the 18 columns under their names ("exchangeId",
  // "initiatingPartyId", "status", ...). Integer columns take an integer or
  // the leadingInteger of a text (absent: 0); text columns take a text or
  // the decimal text of an integer (absent: NULL).
  bool insertCaspExchange(const Row& exchange);
  // One message of an exchange: `requestId` is the exchange identifier,
  // `type` "1" for the request and "2" for the response. Card data in the
  // message is masked before it is stored.
  bool insertCaspExchangeMsg(TextArg requestId, TextArg type, TextArg message);
  // The first exchange with that identifier: "exchangeId", "sn" (the
  // initiatingPartyId), "channel", "channelSource", "serviceType",
  // "serviceId"; empty when none.
  Row fetchCaspExchange(TextArg exchangeId);
  // Messages first, then exchanges, in one transaction.
  bool deleteCaspExchangeAll();
  // The request message of `exchange` (its "exchangeId", type "1"), then
  // the exchange row, in one transaction; each lands even when the other
  // fails. True when both landed. A failed insert is logged, by either
  // operation.
  bool insertCaspExchangeWithRequest(const Row& exchange, TextArg message);

  // Statements are prepared once and kept (on by default); off, each is
  // prepared anew (benchmarks compare the two).
  void setStatementCache(bool on) { db_.setStatementCache(on); }

  // --- device authorisation and keys ----------------------------------------

  // Row keys: "deviceId", "status", "authType", "supportauthType",
  // "authTime" (status and authTime integers). `authTime` is decimal text
  // of milliseconds; stored as an integer.
  bool insertDeviceAuthInfo(TextArg deviceId, std::int64_t status, TextArg authType,
                            TextArg supportAuthType, TextArg authTime);
  bool updateDeviceAuthInfo(TextArg deviceId, std::int64_t status);
  Row fetchDeviceAuthInfoWithSn(TextArg deviceId);
  bool deleteDeviceAuthInfo();
  // Row keys: "deviceId", "eccPrivate", "eccPubilckey", "random1",
  // "random2", "dataKey", "hmacKey".
  bool insertDeviceCertKeyInfo(TextArg deviceId, TextArg eccPrivate, TextArg eccPubilckey,
                               TextArg random1, TextArg random2, TextArg dataKey, TextArg hmacKey);
  Row fetchDeviceCertKeyInfoWithSn(TextArg deviceId);
  bool deleteDeviceCertKeyInfo();

 private:
  // A value bound to a statement parameter.
  struct Param {
    Param(TextArg text);
    Param(std::int64_t num);
    std::variant<std::monostate, std::string_view, std::int64_t> value;
  };
  using Params = std::initializer_list<Param>;
  using Reader = Row (*)(const platform::Stmt&);

  // `openingAlone`: no other process is opening the file meanwhile, so a
  // damaged one may be set aside.
  void initializeDatabase(bool openingAlone);
  // Opens a new file: its tables, indexes and version.
  void createDatabase();
  // Why the open file cannot serve as the library's database; nullopt when
  // it can (or when it cannot be read for another reason).
  std::optional<std::string> findDamage();
  // Closes the file and renames it (and its write-ahead log) aside; false,
  // with the file open again, when it cannot be moved.
  bool moveAside(const std::string& reason);
  void useWriteAheadLog();
  // The eight CREATE TABLE IF NOT EXISTS; each failure is logged and the
  // rest still run. True when all succeeded.
  bool createTables();
  // The indexes of kIndexes (IF NOT EXISTS); each failure is logged.
  void createIndexes();
  bool migrateToVersion(std::int64_t version);

  static Row extractDiscoveredTerminalFromStatement(const platform::Stmt& stmt);
  static Row extractRememberServiceFromStatement(const platform::Stmt& stmt);
  static Row extractTerminalServiceFromStatement(const platform::Stmt& stmt);
  static Row extractTerminalServiceInfoFromStatement(const platform::Stmt& stmt);
  static Row extractGroupCountFromStatement(const platform::Stmt& stmt);
  static Row extractCaspExchangeFromStatement(const platform::Stmt& stmt);
  static Row extractDeviceAuthInfoFromStatement(const platform::Stmt& stmt);
  static Row extractDeviceCertKeyInfoFromStatement(const platform::Stmt& stmt);

  // Binds `params` to parameters 1, 2, ...; false when a bind failed (an
  // invalid statement fails every bind).
  static bool bindParams(platform::Stmt& stmt, Params params);
  // Prepares, binds and steps one changing statement. When `failure` is
  // given, a failure is logged as "<failure>: <SQLite's message>".
  bool write(std::string_view sql, Params params, std::string_view failure = {});
  // Every row (or the first only) read by `reader`; a statement that cannot
  // be prepared is logged when `failure` is given.
  Rows query(std::string_view sql, Params params, Reader reader, std::string_view failure = {});
  Row queryFirst(std::string_view sql, Params params, Reader reader);
  // The first column of every row, NULLs skipped.
  std::vector<std::string> queryTexts(std::string_view sql, Params params);
  std::map<std::string, std::string> categoryNames(std::string_view sql, Params params);
  // Constant statements in one transaction, rolled back on any failure.
  bool runInTransaction(std::initializer_list<std::string_view> statements);

  const std::filesystem::path path_;
  platform::LogFile* const logFile_;
  mutable std::recursive_mutex mutex_;
  platform::Db db_;
};

}  // namespace veltrix::registry
