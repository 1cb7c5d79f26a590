#include "veltrix/registry/database_manager.h"

#include <fmt/format.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/sqlite.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/file_logger.h"

namespace veltrix::registry {
namespace {

using namespace std::chrono_literals;
using platform::Db;
using platform::ScopedLogCapture;
using platform::StepResult;
using platform::Stmt;
using testing::LoopTest;

DbValue S(std::string text) { return DbValue(std::move(text)); }
DbValue I(std::int64_t num) { return DbValue(num); }

// The schema of version 0: terminal_service without serviceCategory.
constexpr const char* kVersion0TerminalService =
    "CREATE TABLE terminal_service (tsId INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT, serviceType "
    "TEXT, serviceTypeName TEXT, packageName TEXT, serviceId TEXT, serviceName TEXT, isEnabled "
    "INTEGER, createTime TEXT, updateTime TEXT)";

class DatabaseTest : public LoopTest {
 protected:
  std::filesystem::path dbPath() const { return docs() / "Lumetra.sqlite.tavio"; }
  std::unique_ptr<DatabaseManager> open() { return std::make_unique<DatabaseManager>(dbPath()); }

  // A second connection, as another process or a tool sees the file.
  Db& peek() {
    if (!peek_.isOpen()) {
      EXPECT_TRUE(peek_.open(dbPath()));
    }
    return peek_;
  }
  std::int64_t scalar(const std::string& sql) {
    Stmt stmt = peek().prepare(sql);
    EXPECT_TRUE(stmt.valid()) << sql << ": " << peek().errorMessage();
    return stmt.step() == StepResult::Row ? stmt.int64(0) : -1;
  }
  // Column `column` of every row.
  std::vector<std::string> texts(const std::string& sql, int column = 0) {
    std::vector<std::string> out;
    Stmt stmt = peek().prepare(sql);
    EXPECT_TRUE(stmt.valid()) << sql << ": " << peek().errorMessage();
    while (stmt.step() == StepResult::Row) out.push_back(stmt.text(column).value_or("<null>"));
    return out;
  }
  std::vector<std::string> tables() {
    return texts(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER "
        "BY name");
  }
  std::vector<std::string> indexes(const std::string& table) {
    return texts(
        "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND "
        "tbl_name = '" +
        table + "' ORDER BY name");
  }
  // SQLite's plan for `sql`, its steps joined.
  std::string plan(const std::string& sql) {
    std::string out;
    for (const std::string& step : texts("EXPLAIN QUERY PLAN " + sql, 3)) out += step + "; ";
    return out;
  }
  std::vector<std::string> columns(const std::string& table) {
    return texts("SELECT name FROM pragma_table_info('" + table + "')");
  }
  // The database files set aside as damaged (their write-ahead logs left out).
  std::vector<std::filesystem::path> setAside() const {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::directory_iterator(docs())) {
      const std::string name = entry.path().filename().string();
      if (name.find(".damaged-") != std::string::npos && !name.ends_with("-wal") &&
          !name.ends_with("-shm")) {
        out.push_back(entry.path());
      }
    }
    return out;
  }

  // One service row as discovery stores it.
  bool addService(DatabaseManager& db, const std::string& sn, const std::string& type,
                  const std::string& serviceId, std::int64_t enabled, const std::string& updateTime,
                  const std::string& category = "payment") {
    return db.insertTerminalServices(sn, type, type + " name", "com.pkg", serviceId, "svc", enabled,
                                     "1000", updateTime, category);
  }

  Db peek_;
};

const std::vector<std::string> kAllTables = {
    "casp_exchange",       "casp_exchange_msg", "device_auth_info", "device_cert_key_info",
    "discovered_terminal", "remember_service",  "setting",          "terminal_service"};

// --- opening, creation and upgrade -------------------------------------------

TEST_F(DatabaseTest, NewFileGetsEightTablesAtVersionOneWithoutUpgrade) {
  ScopedLogCapture log;
  auto db = open();
  EXPECT_TRUE(std::filesystem::exists(dbPath()));
  EXPECT_EQ(tables(), kAllTables);
  EXPECT_EQ(db->getCurrentDatabaseVersion(), 1);
  EXPECT_EQ(scalar("PRAGMA user_version"), 1);
  EXPECT_EQ(columns("terminal_service").back(), "serviceCategory");
  EXPECT_FALSE(log.contains("Database upgraded"));
  EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

TEST_F(DatabaseTest, VersionZeroFileGainsServiceCategoryOnce) {
  {
    Db old;
    ASSERT_TRUE(old.open(dbPath()));
    ASSERT_TRUE(old.exec(kVersion0TerminalService));
    ASSERT_TRUE(old.exec(
        "INSERT INTO terminal_service (sn, serviceType, isEnabled, updateTime) VALUES ('A', "
        "'Purchase', 1, '5')"));
  }
  {
    ScopedLogCapture log;
    auto db = open();
    EXPECT_EQ(log.count("Database upgraded from version 0 to version 1"), 1u);
    EXPECT_EQ(db->getCurrentDatabaseVersion(), 1);
    EXPECT_EQ(columns("terminal_service").back(), "serviceCategory");
    EXPECT_EQ(tables(), kAllTables);
    // The old row survives and reads without a category.
    const Rows rows = db->fetchTerminalServicesWithSn("A");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].count("serviceCategory"), 0u);
    EXPECT_EQ(rowText(rows[0], "serviceType"), "Purchase");
  }
  ScopedLogCapture log;
  auto again = open();
  EXPECT_FALSE(log.contains("Database upgraded"));
}

TEST_F(DatabaseTest, HalfCreatedFilesAreRepaired) {
  // An empty file (a crash right after creating it).
  { std::ofstream(dbPath()).flush(); }
  {
    auto db = open();
    EXPECT_EQ(tables(), kAllTables);
    EXPECT_EQ(db->getCurrentDatabaseVersion(), 1);
    EXPECT_TRUE(db->insertSetting("k", "v"));
  }
  peek_.close();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::remove(dbPath().string() + suffix);
  }

  // Some tables made, terminal_service already with the column, version 0.
  {
    Db half;
    ASSERT_TRUE(half.open(dbPath()));
    ASSERT_TRUE(half.exec(
        "CREATE TABLE terminal_service (tsId INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT, "
        "serviceType TEXT, serviceTypeName TEXT, packageName TEXT, serviceId TEXT, serviceName "
        "TEXT, isEnabled INTEGER, createTime TEXT, updateTime TEXT,serviceCategory TEXT)"));
    ASSERT_TRUE(half.exec("CREATE TABLE setting (key TEXT PRIMARY KEY,value TEXT)"));
    ASSERT_TRUE(half.exec("INSERT INTO setting VALUES ('kept', 'yes')"));
  }
  ScopedLogCapture log;
  auto db = open();
  EXPECT_TRUE(log.contains("Database upgraded from version 0 to version 1"));
  EXPECT_FALSE(log.contains("duplicate column"));
  EXPECT_EQ(tables(), kAllTables);
  EXPECT_EQ(db->getCurrentDatabaseVersion(), 1);
  EXPECT_EQ(db->fetchSetting("kept"), "yes");
}

// A newer version's file, a table of which it reshaped, is kept as it is
// (after a downgrade the user's rows are still there for the newer version).
TEST_F(DatabaseTest, NewerFileIsLeftAlone) {
  {
    Db newer;
    ASSERT_TRUE(newer.open(dbPath()));
    ASSERT_TRUE(newer.exec("CREATE TABLE setting (key TEXT PRIMARY KEY,value TEXT)"));
    ASSERT_TRUE(newer.exec(
        "CREATE TABLE discovered_terminal (serial TEXT NOT NULL, model TEXT, PRIMARY KEY(serial)); "
        "INSERT INTO discovered_terminal VALUES ('SN-1', 'T1')"));
    ASSERT_TRUE(newer.exec("PRAGMA user_version = 2"));
  }
  ScopedLogCapture log;
  auto db = open();
  EXPECT_EQ(db->getCurrentDatabaseVersion(), 2);
  EXPECT_EQ(tables(), (std::vector<std::string>{"discovered_terminal", "setting"}));
  EXPECT_EQ(texts("SELECT serial FROM discovered_terminal"), std::vector<std::string>{"SN-1"});
  EXPECT_FALSE(log.contains("Database upgraded"));
  EXPECT_FALSE(log.contains("damaged"));
}

TEST_F(DatabaseTest, UnopenableFileLeavesAManagerThatFailsQuietly) {
  // A directory where the file should be cannot be opened by anyone.
  std::filesystem::create_directories(dbPath() / "x");
  ScopedLogCapture log;
  auto db = open();
  EXPECT_TRUE(log.contains("Failed to open database"));
  EXPECT_TRUE(log.contains("Failed to begin transaction for upgrade: "));
  EXPECT_EQ(db->getCurrentDatabaseVersion(), 0);
  EXPECT_FALSE(db->insertSetting("k", "v"));
  EXPECT_FALSE(db->upsertSetting("k", "v"));
  EXPECT_EQ(db->fetchSetting("k"), "");
  EXPECT_TRUE(db->fetchDiscoveredAllTerminal().empty());
  EXPECT_TRUE(db->fetchCaspExchange("x").empty());
  EXPECT_FALSE(db->deleteTerminalServiceAll());
  EXPECT_FALSE(db->insertTerminalServicesBatch({Row{{"sn", S("A")}}}));
  EXPECT_TRUE(db->getServiceCategoryArray().empty());
  EXPECT_TRUE(log.contains("查询失败: "));
}

TEST_F(DatabaseTest, MissingDirectoryFailsToCreate) {
  ScopedLogCapture log;
  DatabaseManager db(docs() / "no" / "such" / "Lumetra.sqlite.tavio");
  EXPECT_TRUE(log.contains("Failed to open/create database"));
  EXPECT_FALSE(db.insertSetting("k", "v"));
}

// A log file that keeps its lines.
struct RecordedLogFile final : platform::LogFile {
  void logMessage(std::string_view message) override { lines.emplace_back(message); }
  std::vector<std::string> lines;
};

TEST_F(DatabaseTest, DamagedFilesAreMovedAsideAndReplaced) {
  // A file of the library's own, with rows, to cut short.
  {
    auto db = open();
    for (int i = 0; i < 50; ++i)
      ASSERT_TRUE(db->insertCaspExchangeMsg("x", "1", std::string(500, 'm')));
  }
  const std::string whole = platform::readWholeFile(dbPath()).value_or("");
  ASSERT_GT(whole.size(), 16384u);
  struct Case {
    const char* name;
    std::function<void()> damage;
  };
  const Case cases[] = {
      {"truncated",
       [&] { ASSERT_TRUE(platform::writeFileAtomically(dbPath(), whole.substr(0, 8192))); }},
      {"garbage",
       [&] { ASSERT_TRUE(platform::writeFileAtomically(dbPath(), std::string(20000, '\xA5'))); }},
      {"another application's tables",
       [&] {
         Db other;
         ASSERT_TRUE(other.open(dbPath()));
         ASSERT_TRUE(
             other.exec("CREATE TABLE setting (id INTEGER PRIMARY KEY, name TEXT, blob BLOB)"));
         ASSERT_TRUE(
             other.exec("CREATE TABLE casp_exchange (id INTEGER PRIMARY KEY, payload TEXT)"));
       }},
      {"only another application's tables",
       [&] {
         Db other;
         ASSERT_TRUE(other.open(dbPath()));
         ASSERT_TRUE(other.exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"));
         ASSERT_TRUE(other.exec("PRAGMA user_version = 1"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    peek_.close();
    for (const auto& entry : std::filesystem::directory_iterator(docs())) {
      std::filesystem::remove(entry.path());
    }
    c.damage();
    const std::string damaged = platform::readWholeFile(dbPath()).value_or("");

    ScopedLogCapture log;
    RecordedLogFile logFile;
    DatabaseManager db(dbPath(), &logFile);
    EXPECT_TRUE(log.contains("Database file damaged ("));
    ASSERT_EQ(logFile.lines.size(), 1u);
    EXPECT_NE(logFile.lines[0].find("moved to " + dbPath().string() + ".damaged-"),
              std::string::npos)
        << logFile.lines[0];

    // The old file is kept as it was, its name in the line.
    const std::vector<std::filesystem::path> aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_NE(logFile.lines[0].find(aside[0].string()), std::string::npos);
    EXPECT_EQ(platform::readWholeFile(aside[0]), damaged);

    // The new file serves.
    EXPECT_EQ(tables(), kAllTables);
    EXPECT_TRUE(db.upsertSetting("k", "v"));
    EXPECT_EQ(db.fetchSetting("k"), "v");
    EXPECT_TRUE(db.insertCaspExchangeWithRequest({{"exchangeId", S("E1")}}, "{}"));
    EXPECT_EQ(rowText(db.fetchCaspExchange("E1"), "exchangeId"), "E1");
  }
}

// The library's own file, a newer one and one it cannot open are never
// taken for damaged.
TEST_F(DatabaseTest, OnlyDamagedFilesAreMovedAside) {
  { auto db = open(); }
  ScopedLogCapture log;
  { auto db = open(); }
  std::filesystem::create_directories(docs() / "dir" / "Lumetra.sqlite.tavio");
  { DatabaseManager unopenable(docs() / "dir" / "Lumetra.sqlite.tavio"); }
  EXPECT_FALSE(log.contains("damaged"));
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(docs())) {
    files += entry.path().string().find(".damaged-") != std::string::npos;
  }
  EXPECT_EQ(files, 0u);
}

TEST_F(DatabaseTest, ExchangeLookupsUseIndexesInNewAndExistingFiles) {
  const std::vector<std::string> kIndexes = {"casp_exchange_exchangeId",
                                             "casp_exchange_msg_requestId"};
  const std::string kIndexQuery =
      "SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'casp%' ORDER BY name";
  { auto db = open(); }
  EXPECT_EQ(texts(kIndexQuery), kIndexes);
  const std::string steps = plan("SELECT * FROM casp_exchange WHERE exchangeId = 'x'");
  EXPECT_NE(steps.find("USING INDEX casp_exchange_exchangeId"), std::string::npos) << steps;

  // A file made before the indexes gets them and keeps its rows.
  ASSERT_TRUE(
      peek().exec("DROP INDEX casp_exchange_exchangeId; DROP INDEX casp_exchange_msg_requestId"));
  ASSERT_TRUE(peek().exec("INSERT INTO casp_exchange (exchangeId) VALUES ('E1')"));
  auto db = open();
  EXPECT_EQ(texts(kIndexQuery), kIndexes);
  EXPECT_EQ(rowText(db->fetchCaspExchange("E1"), "exchangeId"), "E1");
}

TEST_F(DatabaseTest, SharedManagerUsesTheDocumentsDirectory) {
  EXPECT_EQ(DatabaseManager::defaultPath(), platform::documentsDir() / "Lumetra.sqlite.tavio");
}

// --- discovered_terminal -----------------------------------------------------

TEST_F(DatabaseTest, DiscoveredTerminalsStoreEveryColumnInPlace) {
  auto db = open();
  ASSERT_TRUE(db->insertDiscoveredTerminal("SN1", "T2", "10.0.0.5:8080", "http,ble", std::nullopt,
                                           1, 0, 1, "1000", "2000", "UUID-1"));
  EXPECT_EQ(texts("SELECT uuidString FROM discovered_terminal"),
            std::vector<std::string>{"UUID-1"});
  const Row expected = {{"sn", S("SN1")},
                        {"model", S("T2")},
                        {"address", S("10.0.0.5:8080")},
                        {"uuidString", S("UUID-1")},
                        {"parameter", S("http,ble")},
                        {"status", I(1)},
                        {"isCommunicationDevice", I(0)},
                        {"isPeripheral", I(1)},
                        {"firstDiscoverTime", S("1000")},
                        {"lastDiscoverTime", S("2000")}};
  EXPECT_EQ(db->fetchDiscoveredTerminal("SN1"), expected);
  EXPECT_EQ(db->fetchDiscoveredAllTerminal(), Rows{expected});

  // The serial number is the key.
  EXPECT_FALSE(db->insertDiscoveredTerminal("SN1", "other", "x", "x", "x", 2, 2, 2, "9", "9", "x"));
  EXPECT_EQ(db->fetchDiscoveredTerminal("SN1"), expected);
  EXPECT_TRUE(db->fetchDiscoveredTerminal("SN2").empty());
}

TEST_F(DatabaseTest, DiscoveredTerminalUpdates) {
  auto db = open();
  ASSERT_TRUE(
      db->insertDiscoveredTerminal("SN1", "T2", "a:1", "http", "", 1, 0, 0, "1", "1", "U0"));
  EXPECT_TRUE(db->updateLastDiscoverTerminalAddressParameter("SN1", "b:2", "http,ble", "5"));
  EXPECT_TRUE(db->updateLastDiscoverTerminalParameterUuidString("SN1", "ble", "U9", "6"));
  EXPECT_TRUE(db->updateTerminalStatus("SN1", 2));
  EXPECT_TRUE(db->updateLastDiscoverTime("SN1", "7"));
  EXPECT_TRUE(db->updateTerminalStatus("nobody", 2)) << "no match is still success";
  const Row row = db->fetchDiscoveredTerminal("SN1");
  EXPECT_EQ(rowText(row, "address"), "b:2");
  EXPECT_EQ(rowText(row, "parameter"), "ble");
  EXPECT_EQ(rowText(row, "uuidString"), "U9");
  EXPECT_EQ(rowText(row, "alias"), "");
  EXPECT_EQ(rowInt(row, "status"), 2);
  EXPECT_EQ(rowText(row, "lastDiscoverTime"), "7");
  EXPECT_EQ(rowText(row, "firstDiscoverTime"), "1");

  EXPECT_TRUE(db->deleteDiscoverTerminalAll());
  EXPECT_TRUE(db->fetchDiscoveredAllTerminal().empty());
}

// --- terminal_service --------------------------------------------------------

TEST_F(DatabaseTest, ServiceRowsReadByPosition) {
  auto db = open();
  ASSERT_TRUE(db->insertTerminalServices("SN1", "Purchase", "Purchase name", "com.pkg", "7", "Pay",
                                         1, "1000", "2000", std::nullopt));
  const Rows rows = db->fetchTerminalServices();
  ASSERT_EQ(rows.size(), 1u);
  const Row expected = {{"tsId", S("1")},
                        {"sn", S("SN1")},
                        {"serviceType", S("Purchase")},
                        {"serviceTypeName", S("Purchase name")},
                        {"serviceId", S("7")},
                        {"serviceName", S("Pay")},
                        {"isEnabled", I(1)},
                        {"createTime", S("1000")},
                        {"updateTime", S("2000")}};
  EXPECT_EQ(rows[0], expected) << "tsId as text, no packageName, no NULL category";
  EXPECT_EQ(db->fetchTerminalServicesWithInfo("Purchase", "SN1", "7"), expected);
}

TEST_F(DatabaseTest, WhichQueriesReturnOnlyEnabledServices) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "5000"));
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 2, "5000"));
  ASSERT_TRUE(addService(*db, "SN1", "Refund", "1", 0, "5000"));

  EXPECT_EQ(db->fetchTerminalServicesWithSn("SN1").size(), 3u);
  EXPECT_EQ(db->fetchTerminalServicesWithServiceType("Purchase").size(), 2u);
  EXPECT_EQ(db->fetchTerminalServicesWithServiceTypeSn("Purchase", "SN1").size(), 1u);
  EXPECT_EQ(db->fetchTerminalServicesWithServiceTypeSnServiceId("Purchase", "SN1", "1").size(), 1u);
  EXPECT_EQ(db->fetchTerminalServicesWithServiceTypeServiceId("Purchase", "1").size(), 1u);
  EXPECT_TRUE(db->fetchTerminalServicesWithServiceTypeSn("Refund", "SN1").empty());
  EXPECT_TRUE(db->fetchTerminalServicesWithInfo("Refund", "SN1", "1").empty());
  // Its first argument is the terminal's serial number.
  EXPECT_EQ(db->fetchTerminalServicesWithServiceId("SN1", "1").size(), 1u);
  EXPECT_TRUE(db->fetchTerminalServicesWithServiceId("Purchase", "1").empty());

  // Counting: the plain count takes every row, the category counts enabled
  // ones only.
  EXPECT_EQ(db->groupCountByTerminaService(),
            (Rows{{{"serviceType", S("Purchase")}, {"count", I(2)}},
                  {{"serviceType", S("Refund")}, {"count", I(1)}}}));
  EXPECT_EQ(db->groupCountByTerminaService("payment"),
            (Rows{{{"serviceType", S("Purchase")}, {"count", I(1)}}}));
  EXPECT_EQ(db->groupCountByTerminaService("payment", "SN1"),
            (Rows{{{"serviceType", S("Purchase")}, {"count", I(1)}}}));
  EXPECT_TRUE(db->groupCountByTerminaService("payment", "SN2").empty());
}

TEST_F(DatabaseTest, RefreshingAServiceEnablesItAgain) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "5000"));
  EXPECT_TRUE(db->updataTerminalServiceStatus(1, 2));
  EXPECT_TRUE(db->fetchTerminalServicesWithInfo("Purchase", "SN1", "1").empty());
  EXPECT_TRUE(db->updataTerminalServiceLastTime(1, "9000"));
  const Row row = db->fetchTerminalServicesWithInfo("Purchase", "SN1", "1");
  EXPECT_EQ(rowInt(row, "isEnabled"), 1);
  EXPECT_EQ(rowText(row, "updateTime"), "9000");
  // tsId goes back in as read out.
  EXPECT_TRUE(db->updataTerminalServiceStatus(rowInt(row, "tsId"), 2));
  EXPECT_EQ(scalar("SELECT isEnabled FROM terminal_service"), 2);
  EXPECT_EQ(scalar("SELECT typeof(isEnabled) = 'integer' FROM terminal_service"), 1);
}

TEST_F(DatabaseTest, ServiceLookupsUseIndexesAndRowsKeepTableOrder) {
  const std::vector<std::string> kIndexes = {"terminal_service_by_sn", "terminal_service_by_type"};
  open();
  EXPECT_EQ(indexes("terminal_service"), kIndexes);
  // A file of this version made before the indexes gains them.
  for (const std::string& index : kIndexes) ASSERT_TRUE(peek().exec("DROP INDEX " + index));
  peek_.close();
  auto db = open();
  EXPECT_EQ(indexes("terminal_service"), kIndexes);
  for (const char* where :
       {"sn = 'A'", "serviceType = 'P' AND sn = 'A' AND serviceId = '1' AND isEnabled = 1",
        "serviceType = 'P' AND serviceId = '1'", "serviceType = 'P'"}) {
    const std::string steps =
        plan(std::string("SELECT * FROM terminal_service WHERE ") + where + " ORDER BY tsId");
    EXPECT_NE(steps.find("USING INDEX"), std::string::npos) << where << ": " << steps;
  }

  // Whichever index finds them, rows come in the order they were stored
  // (the indexes' own orders differ).
  ASSERT_TRUE(addService(*db, "SN-B", "Refund", "2", 1, "1"));
  ASSERT_TRUE(addService(*db, "SN-A", "Purchase", "9", 1, "1"));
  ASSERT_TRUE(addService(*db, "SN-B", "Purchase", "1", 1, "1"));
  ASSERT_TRUE(addService(*db, "SN-B", "Purchase", "1", 1, "2"));
  const auto ids = [](const Rows& rows) {
    std::vector<std::string> out;
    for (const Row& row : rows) out.push_back(rowText(row, "tsId").value_or(""));
    return out;
  };
  EXPECT_EQ(ids(db->fetchTerminalServicesWithSn("SN-B")),
            (std::vector<std::string>{"1", "3", "4"}));
  EXPECT_EQ(ids(db->fetchTerminalServicesWithServiceType("Purchase")),
            (std::vector<std::string>{"2", "3", "4"}));
  EXPECT_EQ(rowText(db->fetchTerminalServicesWithInfo("Purchase", "SN-B", "1"), "tsId"), "3");
  EXPECT_EQ(db->getDeviceSNArray(), (std::vector<std::string>{"SN-B", "SN-A"}));
}

TEST_F(DatabaseTest, StaleServicesLagMoreThanTwoSecondsBehindTheirTerminal) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "1700000010000"));
  ASSERT_TRUE(addService(*db, "SN1", "Refund", "1", 1, "1700000012500"));
  ASSERT_TRUE(addService(*db, "SN1", "Display", "1", 1, "1700000012000"));
  ASSERT_TRUE(addService(*db, "SN1", "Printer", "1", 2, "1700000001000"));  // disabled
  ASSERT_TRUE(addService(*db, "SN0", "Purchase", "1", 1, "1700000020000"));
  ASSERT_TRUE(addService(*db, "SN0", "Refund", "1", 1, "1700000018000"));  // exactly 2000
  ASSERT_TRUE(addService(*db, "SN0", "Display", "1", 1, "1700000017000"));
  ASSERT_TRUE(addService(*db, "SN0", "Printer", "1", 1, "1700000016999"));

  std::vector<std::string> stale;
  for (const Row& row : db->fetchTerminalServicesByLatestUpdate()) {
    stale.push_back(*rowText(row, "sn") + " " + *rowText(row, "serviceType"));
    EXPECT_EQ(row.count("max_update_time"), 0u);
    EXPECT_EQ(rowText(row, "serviceCategory"), "payment");
  }
  EXPECT_EQ(stale, (std::vector<std::string>{"SN0 Display", "SN0 Printer", "SN1 Purchase"}));
}

TEST_F(DatabaseTest, BatchInsertIsAllOrNothing) {
  auto db = open();
  ScopedLogCapture log;
  EXPECT_TRUE(db->insertTerminalServicesBatch({}));

  ASSERT_TRUE(db->insertTerminalServicesBatch(
      {Row{{"sn", S("SN1")}, {"serviceType", S("Purchase")}, {"isEnabled", S("1")}},
       Row{{"sn", S("SN1")},
           {"serviceType", S("Refund")},
           {"isEnabled", I(1)},
           {"updateTime", I(42)}},
       Row{{"sn", S("SN1")}, {"serviceType", S("Display")}}}));
  EXPECT_EQ(texts("SELECT isEnabled || '/' || typeof(isEnabled) || '/' || ifnull(updateTime, "
                  "'null') FROM terminal_service ORDER BY tsId"),
            (std::vector<std::string>{"1/integer/null", "1/integer/42", "0/integer/null"}));

  // A record that the table refuses rolls the whole batch back.
  ASSERT_TRUE(peek().exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON terminal_service WHEN NEW.sn = 'BAD' BEGIN SELECT "
      "RAISE(ABORT, 'refused'); END"));
  EXPECT_FALSE(db->insertTerminalServicesBatch(
      {Row{{"sn", S("SN2")}}, Row{{"sn", S("BAD")}}, Row{{"sn", S("SN3")}}}));
  EXPECT_TRUE(log.contains("Failed to insert record: refused"));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM terminal_service"), 3);
  // The connection is not left inside the failed transaction.
  EXPECT_TRUE(db->insertSetting("after", "1"));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting"), 1);
}

TEST_F(DatabaseTest, CategoriesAndSerialNumbers) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "1", "scan code"));
  ASSERT_TRUE(addService(*db, "SN1", "Refund", "1", 2, "1", "SCAN CODE"));
  ASSERT_TRUE(addService(*db, "SN2", "Display", "1", 1, "1", "payment"));
  ASSERT_TRUE(db->insertTerminalServices("SN3", std::nullopt, "x", "x", "1", "x", 1, "1", "1",
                                         std::nullopt));

  EXPECT_EQ(db->getServiceCategoryArray(),
            (std::map<std::string, std::string>{{"SCAN CODE", "Scan Code Service"},
                                                {"payment", "Payment Service"},
                                                {"scan code", "Scan Code Service"}}));
  EXPECT_EQ(db->getServiceCategoryArrayBySN("SN2"),
            (std::map<std::string, std::string>{{"payment", "Payment Service"}}));
  EXPECT_TRUE(db->getServiceCategoryArrayBySN(std::nullopt).empty());
  EXPECT_EQ(db->getDeviceSNArray(), (std::vector<std::string>{"SN1", "SN2", "SN3"}));
  // The group of services without a type comes back without the key.
  const Rows groups = db->groupCountByTerminaService();
  EXPECT_EQ(groups.size(), 4u);
  EXPECT_EQ(std::count(groups.begin(), groups.end(), Row{{"count", I(1)}}), 1);
  EXPECT_EQ(DatabaseManager::categoryDisplayName("mOBILE  top up"), "Mobile  Top Up Service");
}

TEST_F(DatabaseTest, WholeTableDeletesKeepCountingIds) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "1"));
  ASSERT_TRUE(addService(*db, "SN1", "Refund", "1", 1, "1"));
  EXPECT_TRUE(db->deleteTerminalServiceAll());
  EXPECT_TRUE(db->fetchTerminalServices().empty());
  ASSERT_TRUE(addService(*db, "SN1", "Display", "1", 1, "1"));
  EXPECT_EQ(rowText(db->fetchTerminalServices().at(0), "tsId"), "3");
}

// --- values are data, never SQL ----------------------------------------------

TEST_F(DatabaseTest, QuotesAndColumnNamesStayPlainData) {
  auto db = open();
  const std::string injected = R"(x" OR "1"="1)";
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "1"));
  ASSERT_TRUE(addService(*db, "SN2", "Purchase", injected, 1, "1"));

  // A handshake's values must match only themselves.
  EXPECT_TRUE(db->fetchTerminalServicesWithInfo("Purchase", "SN1", injected).empty());
  EXPECT_EQ(rowText(db->fetchTerminalServicesWithInfo("Purchase", "SN2", injected), "serviceId"),
            injected);
  // A value spelled like a column does not compare the column with itself.
  EXPECT_TRUE(db->fetchTerminalServicesWithInfo("serviceType", "sn", "serviceId").empty());
  EXPECT_TRUE(db->groupCountByTerminaService("serviceCategory").empty());
  EXPECT_TRUE(db->getServiceCategoryArrayBySN("sn").empty());
  EXPECT_TRUE(db->fetchTerminalServicesWithSn(R"(" OR 1=1 --)").empty());

  // Stacked statements are text too.
  const std::string drop = R"("); DROP TABLE setting; --)";
  EXPECT_TRUE(db->insertDeviceAuthInfo(drop, 1, "DCA", "DCA", "1"));
  EXPECT_TRUE(db->updateDeviceAuthInfo(drop, 0));
  EXPECT_EQ(rowText(db->fetchDeviceAuthInfoWithSn(drop), "deviceId"), drop);
  EXPECT_TRUE(db->upsertSetting(drop, drop));
  EXPECT_EQ(db->fetchSetting(drop), drop);
  EXPECT_TRUE(db->fetchCaspExchange(R"(abc" OR "1"="1)").empty());
  EXPECT_EQ(tables(), kAllTables);
}

// --- remember_service and setting --------------------------------------------

TEST_F(DatabaseTest, RememberedServices) {
  auto db = open();
  ASSERT_TRUE(db->insertRememberServices("SN1", "Purchase", "com.pkg", "7", "", "1000"));
  ASSERT_TRUE(
      db->insertRememberServices("SN2", "Purchase", std::nullopt, "8", std::nullopt, std::nullopt));
  ASSERT_TRUE(db->insertRememberServices("SN1", "ALL", "com.pkg", "7", "", "1001"));

  const Row first = db->fetchRememberServicesWithType("Purchase");
  EXPECT_EQ(first, (Row{{"rsId", I(1)},
                        {"serviceType", S("Purchase")},
                        {"sn", S("SN1")},
                        {"serviceId", S("7")},
                        {"screenId", S("")},
                        {"createTime", S("1000")}}));
  const Row second = db->fetchRememberServicesWithInfo("Purchase", "SN2", "8");
  EXPECT_EQ(rowInt(second, "rsId"), 2);
  EXPECT_EQ(second.count("screenId"), 0u);
  EXPECT_TRUE(db->fetchRememberServicesWithType("Refund").empty());
  EXPECT_EQ(db->fetchRememberServicesWithSn("SN1").size(), 2u);
  EXPECT_EQ(db->fetchRememberServices().size(), 3u);

  EXPECT_TRUE(db->deleteRememberServiceWithType("Purchase"));
  EXPECT_EQ(db->fetchRememberServices().size(), 1u);
  EXPECT_TRUE(db->deleteRememberServiceWithSn("SN1"));
  EXPECT_TRUE(db->fetchRememberServices().empty());
  ASSERT_TRUE(db->insertRememberServices("SN1", "Refund", "p", "1", "", "1"));
  EXPECT_TRUE(db->deleteRememberServiceAll());
  EXPECT_TRUE(db->fetchRememberServices().empty());
}

TEST_F(DatabaseTest, RememberedServicesReadInInsertionOrderWhateverIndexTheFileHas) {
  auto db = open();
  ASSERT_TRUE(db->insertRememberServices("SN-A", "Purchase", "", "1", "", "1000"));
  ASSERT_TRUE(db->insertRememberServices("SN-B", "Purchase", "", "2", "", "1001"));
  // An index that would hand rows out by descending sn.
  ASSERT_TRUE(peek().exec("CREATE INDEX by_type_sn ON remember_service(serviceType, sn DESC)"));
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("Purchase"), "sn"), "SN-A");
  const Rows all = db->fetchRememberServices();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(rowText(all[0], "sn"), "SN-A");
}

TEST_F(DatabaseTest, ReplacingARememberedServiceDropsEveryRowOfItsTypeAtOnce) {
  auto db = open();
  ASSERT_TRUE(db->insertRememberServices("SN-A", "Purchase", "", "1", "", "1000"));
  ASSERT_TRUE(db->insertRememberServices("SN-B", "Purchase", "", "2", "", "1001"));
  ASSERT_TRUE(db->insertRememberServices("SN-A", "ALL", "", "", std::nullopt, "1002"));

  ASSERT_TRUE(db->replaceRememberServices("SN-C", "Purchase", std::nullopt, "3", "", "1003"));
  const Row now = db->fetchRememberServicesWithType("Purchase");
  EXPECT_EQ(rowText(now, "sn"), "SN-C");
  EXPECT_EQ(rowText(now, "serviceId"), "3");
  EXPECT_EQ(db->fetchRememberServices().size(), 2u) << "other types stay";

  // A second replacement takes effect as well.
  ASSERT_TRUE(db->replaceRememberServices("SN-A", "Purchase", std::nullopt, "1", "", "1004"));
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("Purchase"), "sn"), "SN-A");

  // An insert that fails leaves the old row in place.
  ASSERT_TRUE(peek().exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON remember_service BEGIN SELECT RAISE(ABORT, "
      "'refused'); END"));
  EXPECT_FALSE(db->replaceRememberServices("SN-B", "Purchase", std::nullopt, "2", "", "1005"));
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("Purchase"), "sn"), "SN-A");
  EXPECT_EQ(db->fetchRememberServices().size(), 2u);
}

TEST_F(DatabaseTest, TransactionsCommitOrRollBackAsAWhole) {
  auto db = open();
  ASSERT_TRUE(db->insertRememberServices("SN1", "ALL", "", "", std::nullopt, "1"));
  // A body that fails after its delete leaves the old row.
  EXPECT_FALSE(db->performInTransaction([&] {
    EXPECT_TRUE(db->deleteRememberServiceWithType("ALL"));
    return false;
  }));
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("ALL"), "sn"), "SN1");
  EXPECT_TRUE(db->performInTransaction([&] {
    return db->deleteRememberServiceWithType("ALL") &&
           db->insertRememberServices("SN2", "ALL", "", "", std::nullopt, "2");
  }));
  EXPECT_EQ(db->fetchRememberServices().size(), 1u);
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("ALL"), "sn"), "SN2");
}

TEST_F(DatabaseTest, SettingsReadEmptyWhenUnsetAndUpsertAlwaysWrites) {
  auto db = open();
  EXPECT_EQ(db->fetchSetting("missing"), "");
  EXPECT_TRUE(db->updateSetting("missing", "x")) << "no row is still success";
  EXPECT_EQ(db->fetchSetting("missing"), "");
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting"), 0);

  EXPECT_TRUE(db->insertSetting("k", "one"));
  EXPECT_FALSE(db->insertSetting("k", "two"));
  EXPECT_EQ(db->fetchSetting("k"), "one");
  EXPECT_TRUE(db->updateSetting("k", "three"));
  EXPECT_EQ(db->fetchSetting("k"), "three");

  EXPECT_TRUE(db->insertSetting("null", std::nullopt));
  EXPECT_EQ(db->fetchSetting("null"), "");

  // A key holding "" must still change.
  EXPECT_TRUE(db->upsertSetting("empty", ""));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting WHERE key = 'empty' AND value = ''"), 1);
  EXPECT_TRUE(db->upsertSetting("empty", "filled"));
  EXPECT_EQ(db->fetchSetting("empty"), "filled");
  EXPECT_TRUE(db->upsertSetting("new", "v"));
  EXPECT_EQ(db->fetchSetting("new"), "v");
  EXPECT_FALSE(db->upsertSetting(std::nullopt, "v"));
  EXPECT_FALSE(db->insertSetting(std::nullopt, "v"));

  EXPECT_TRUE(db->deleteSetting("k"));
  EXPECT_EQ(db->fetchSetting("k"), "");
  EXPECT_EQ(db->fetchSetting("new"), "v");
  EXPECT_TRUE(db->deleteSetting());
  EXPECT_TRUE(db->deleteSetting());
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting"), 0);
}

// --- exchange log --------------------------------------------------------------

TEST_F(DatabaseTest, ExchangeRowsBindByColumnType) {
  auto db = open();
  // The keys that dispatch fills.
  const Row exchange = {{"exchangeId", S("0A1B")},
                        {"status", S("1")},
                        {"initiatingPartyId", S("SN1")},
                        {"channel", S("LAN")},
                        {"channelSource", S("10.0.0.5:8080")},
                        {"serviceType", S("Purchase")},
                        {"packageName", S("com.pkg")},
                        {"serviceId", S("7")},
                        {"isAborted", S("0")},
                        {"initiatingCreateTime", S(" 2026-01-31T14:05:09.007+08:00")}};
  ASSERT_TRUE(db->insertCaspExchange(exchange));
  EXPECT_EQ(texts("SELECT quote(status) || quote(isAborted) || quote(direction) || "
                  "quote(initiatingCreateTime) || quote(receiveTime) || quote(relayTarget) || "
                  "quote(serviceContent) FROM casp_exchange"),
            std::vector<std::string>{"10020260NULLNULL"});
  EXPECT_EQ(db->fetchCaspExchange("0A1B"), (Row{{"exchangeId", S("0A1B")},
                                                {"sn", S("SN1")},
                                                {"channel", S("LAN")},
                                                {"channelSource", S("10.0.0.5:8080")},
                                                {"serviceType", S("Purchase")},
                                                {"serviceId", S("7")}}));
  EXPECT_TRUE(db->fetchCaspExchange("0A1C").empty());
}

TEST_F(DatabaseTest, ExchangeMessagesAreStoredWithCardDataMasked) {
  auto db = open();
  const std::string request =
      R"({"exchangeIdentification":"0A1B","request":{"pan":"6222021234567891234","cvv2":"123",)"
      R"("amount":"1.00"}})";
  ASSERT_TRUE(db->insertCaspExchangeMsg("0A1B", "1", request));
  ASSERT_TRUE(db->insertCaspExchangeMsg("0A1B", "2", R"({"response":{"responseCode":"SUCC"}})"));
  ASSERT_TRUE(db->insertCaspExchange(
      {{"exchangeId", S("0A1B")}, {"serviceContent", S(R"({"track2":"6222=2512"})")}}));
  EXPECT_EQ(
      texts("SELECT requestId || '|' || type || '|' || message FROM casp_exchange_msg ORDER BY id"),
      (std::vector<std::string>{
          R"(0A1B|1|{"exchangeIdentification":"0A1B","request":{"pan":"622202*********1234",)"
          R"("cvv2":"***","amount":"1.00"}})",
          R"(0A1B|2|{"response":{"responseCode":"SUCC"}})"}));
  EXPECT_EQ(texts("SELECT serviceContent FROM casp_exchange"),
            std::vector<std::string>{R"({"track2":"***"})"});

  EXPECT_TRUE(db->deleteCaspExchangeAll());
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange"), 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange_msg"), 0);
  ASSERT_TRUE(db->insertCaspExchangeMsg("0A1C", "1", "{}"));
  EXPECT_EQ(scalar("SELECT id FROM casp_exchange_msg"), 3);
}

// --- device authorisation and keys ----------------------------------------------

TEST_F(DatabaseTest, DeviceAuthorisationRows) {
  auto db = open();
  ScopedLogCapture log;
  EXPECT_TRUE(db->fetchDeviceAuthInfoWithSn("DEV").empty());
  ASSERT_TRUE(db->insertDeviceAuthInfo("DEV", 1, "DCA", "DCA", "1769868309007"));
  const Row expected = {{"deviceId", S("DEV")},
                        {"status", I(1)},
                        {"authType", S("DCA")},
                        {"supportauthType", S("DCA")},
                        {"authTime", I(1769868309007)}};
  EXPECT_EQ(db->fetchDeviceAuthInfoWithSn("DEV"), expected);
  EXPECT_EQ(scalar("SELECT typeof(auth_time) = 'integer' FROM device_auth_info"), 1);

  EXPECT_FALSE(db->insertDeviceAuthInfo("DEV", 0, "X", "X", "1"));
  EXPECT_TRUE(log.contains("Failed to insert data: "));
  EXPECT_EQ(db->fetchDeviceAuthInfoWithSn("DEV"), expected);

  EXPECT_TRUE(db->updateDeviceAuthInfo("DEV", 0));
  EXPECT_EQ(rowInt(db->fetchDeviceAuthInfoWithSn("DEV"), "status"), 0);
  EXPECT_TRUE(db->updateDeviceAuthInfo("OTHER", 1));
  EXPECT_TRUE(db->fetchDeviceAuthInfoWithSn("OTHER").empty());

  ASSERT_TRUE(db->insertDeviceCertKeyInfo("DEV", "priv", "pub", "r1", "r2", std::nullopt, "hm"));
  EXPECT_EQ(db->fetchDeviceCertKeyInfoWithSn("DEV"), (Row{{"deviceId", S("DEV")},
                                                          {"eccPrivate", S("priv")},
                                                          {"eccPubilckey", S("pub")},
                                                          {"random1", S("r1")},
                                                          {"random2", S("r2")},
                                                          {"hmacKey", S("hm")}}));
  EXPECT_TRUE(db->deleteDeviceAuthInfo());
  EXPECT_TRUE(db->deleteDeviceCertKeyInfo());
  EXPECT_TRUE(db->fetchDeviceAuthInfoWithSn("DEV").empty());
  EXPECT_TRUE(db->fetchDeviceCertKeyInfoWithSn("DEV").empty());
}

// --- transactions and threads ------------------------------------------------------

TEST_F(DatabaseTest, FailedWritesRollBackAndAreLogged) {
  auto db = open();
  ASSERT_TRUE(addService(*db, "SN1", "Purchase", "1", 1, "1"));
  ASSERT_TRUE(peek().exec(
      "CREATE TRIGGER refuse_service BEFORE INSERT ON terminal_service BEGIN SELECT RAISE(ABORT, "
      "'refused'); END; CREATE TRIGGER refuse_delete BEFORE DELETE ON terminal_service BEGIN "
      "SELECT RAISE(ABORT, 'refused'); END; CREATE TRIGGER refuse_exchange BEFORE INSERT ON "
      "casp_exchange BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  ScopedLogCapture log;
  EXPECT_FALSE(db->deleteTerminalServiceAll());
  EXPECT_FALSE(db->insertTerminalServicesBatch({Row{{"sn", S("SN2")}}}));
  EXPECT_TRUE(log.contains("Failed to insert record: refused"));
  // An exchange-log write that fails says so; the other row still lands.
  EXPECT_FALSE(db->insertCaspExchangeWithRequest({{"exchangeId", S("E1")}}, "{}"));
  EXPECT_TRUE(log.contains("Failed to insert casp exchange: refused"));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange_msg WHERE requestId = 'E1'"), 1);
  ASSERT_TRUE(peek().exec("DROP TRIGGER refuse_service; DROP TRIGGER refuse_delete"));

  // Nothing of the failed work remains and later writes are not swallowed by
  // a transaction left open.
  EXPECT_EQ(db->fetchTerminalServices().size(), 1u);
  EXPECT_TRUE(db->upsertSetting("after", "yes"));
  EXPECT_TRUE(db->deleteTerminalServiceAll());
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM terminal_service"), 0);
}

constexpr const char* kReadOnlyVariable = "VELTRIX_DB_READ_ONLY_DIR";

// A data directory the process cannot write: every operation fails and is
// logged, nothing crashes, and the file there is not taken for damaged.
TEST_F(DatabaseTest, ReadOnlyDirectoryIsALoggedFailure) {
  const std::filesystem::path dir = docs() / "read-only";
  std::filesystem::create_directories(dir / "empty");
  { DatabaseManager made(dir / "Lumetra.sqlite.tavio"); }
  for (const auto& path : {dir / "empty", dir}) {
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                  std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                  std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  }
  std::string error;
  // As root, the child gives up root first: root writes anywhere.
  auto child = testing::ChildProcess::spawn(
      testing::testChildCommand("DatabaseReadOnlyChild.*"),
      {{kReadOnlyVariable, dir.string()}, {"VELTRIX_LOG", "stderr"}}, &error);
  ASSERT_TRUE(child) << error;
  const std::optional<int> status = child->wait(60000ms);
  for (const auto& path : {dir / "empty", dir}) {
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
  }
  ASSERT_EQ(status, 0) << child->output();
  const std::string& out = child->output();
  EXPECT_NE(out.find("Failed to open/create database"), std::string::npos) << out;
  EXPECT_NE(out.find("Failed to insert casp exchange"), std::string::npos) << out;
  EXPECT_EQ(out.find("damaged"), std::string::npos) << out;
  EXPECT_TRUE(std::filesystem::exists(dir / "Lumetra.sqlite.tavio"));
}

// The other process of the test above.
TEST(DatabaseReadOnlyChild, DISABLED_WorksInAReadOnlyDirectory) {
  const char* dir = std::getenv(kReadOnlyVariable);
  if (dir == nullptr) GTEST_SKIP() << "runs only as a child";
  if (::geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::setgroups(0, nullptr), 0);
    ASSERT_EQ(::setresgid(kNobody, kNobody, kNobody), 0);
    ASSERT_EQ(::setresuid(kNobody, kNobody, kNobody), 0);
    ::prctl(PR_SET_DUMPABLE, 1);  // the leak checker inspects the process
  }
  const std::filesystem::path base(dir);
  for (const auto& path :
       {base / "empty" / "Lumetra.sqlite.tavio", base / "Lumetra.sqlite.tavio"}) {
    DatabaseManager db(path);
    EXPECT_FALSE(db.insertCaspExchangeWithRequest({{"exchangeId", S("E1")}}, "{}"));
    EXPECT_FALSE(db.upsertSetting("k", "v"));
    EXPECT_EQ(db.fetchSetting("k"), "");
  }
  registry::FileLogger log(base / "log.txt");
  log.logMessage("dropped");
}

constexpr const char* kWriterVariable = "VELTRIX_DB_WRITER_FILE";
constexpr int kProcessWrites = 300;

// Writes kProcessWrites exchanges, each with its request, to the file
// named by kWriterVariable under identifiers starting with `tag`.
void writeExchanges(DatabaseManager& db, const std::string& tag) {
  for (int i = 0; i < kProcessWrites; ++i) {
    const std::string id = fmt::format("{}-{}", tag, i);
    db.insertCaspExchangeWithRequest({{"exchangeId", S(id)}}, "{}");
    db.insertCaspExchangeMsg(id, "2", "{}");
  }
}

// A writer that meets the other process's lock waits for it.
TEST_F(DatabaseTest, WritersOfTwoProcessesAllLand) {
  { auto made = open(); }
  std::string error;
  auto child = testing::ChildProcess::spawn(testing::testChildCommand("DatabaseWriterChild.*"),
                                            {{kWriterVariable, dbPath().string()}}, &error);
  ASSERT_TRUE(child) << error;
  ASSERT_TRUE(child->waitForOutput("writing", 20000ms)) << child->output();
  ScopedLogCapture log;
  auto db = open();
  writeExchanges(*db, "parent");
  const std::optional<int> status = child->wait(60000ms * testing::kSlowdown);
  ASSERT_EQ(status, 0) << child->output();
  EXPECT_FALSE(log.contains("locked")) << log.lines().front();
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange"), 2 * kProcessWrites);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange_msg"), 4 * kProcessWrites);
}

// The other process of the test above.
TEST(DatabaseWriterChild, DISABLED_WritesExchanges) {
  const char* path = std::getenv(kWriterVariable);
  if (path == nullptr) GTEST_SKIP() << "runs only as a child";
  DatabaseManager db(path);
  std::puts("writing");
  std::fflush(stdout);
  ScopedLogCapture log;
  writeExchanges(db, "child");
  EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

constexpr const char* kRecoveryVariable = "VELTRIX_DB_RECOVERY_FILE";
constexpr const char* kRecoveryTagVariable = "VELTRIX_DB_RECOVERY_TAG";
constexpr int kRecoveryTrials = 20;

// Two processes that find one damaged file at the same moment: one sets it
// aside, and both then keep their writes in the new file at the path.
TEST_F(DatabaseTest, TwoProcessesOpeningOneDamagedFileKeepEveryWrite) {
  const std::filesystem::path go = docs() / "go";
  for (int trial = 0; trial < kRecoveryTrials; ++trial) {
    SCOPED_TRACE(trial);
    peek_.close();
    for (const auto& entry : std::filesystem::directory_iterator(docs())) {
      std::filesystem::remove(entry.path());
    }
    const std::string damaged = platform::randomBytes(64 * 1024);
    ASSERT_TRUE(platform::writeFileAtomically(dbPath(), damaged));
    std::unique_ptr<testing::ChildProcess> children[2];
    for (int i = 0; i < 2; ++i) {
      std::string error;
      children[i] = testing::ChildProcess::spawn(
          testing::testChildCommand("DatabaseRecoveryChild.*"),
          {{kRecoveryVariable, dbPath().string()}, {kRecoveryTagVariable, fmt::format("p{}", i)}},
          &error);
      ASSERT_TRUE(children[i]) << error;
    }
    for (auto& child : children) ASSERT_TRUE(child->waitForOutput("ready", 20000ms));
    { std::ofstream(go.string()) << "go"; }
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(children[i]->wait(60000ms * testing::kSlowdown), 0) << children[i]->output();
      EXPECT_NE(children[i]->output().find("kept"), std::string::npos) << children[i]->output();
      EXPECT_EQ(texts(fmt::format("SELECT value FROM setting WHERE key = 'p{}'", i)),
                std::vector<std::string>{"kept"});
    }
    // Only the damaged file went aside, once.
    const std::vector<std::filesystem::path> aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_TRUE(platform::readWholeFile(aside[0]) == damaged) << aside[0] << " was not damaged";
  }
}

// Each process of the test above: opens the file as soon as both are ready
// and keeps a setting of its own.
TEST(DatabaseRecoveryChild, DISABLED_OpensAndKeepsASetting) {
  const char* path = std::getenv(kRecoveryVariable);
  const char* tag = std::getenv(kRecoveryTagVariable);
  if (path == nullptr || tag == nullptr) GTEST_SKIP() << "runs only as a child";
  const std::filesystem::path go = std::filesystem::path(path).parent_path() / "go";
  std::puts("ready");
  std::fflush(stdout);
  for (int i = 0; i < 200000 && !std::filesystem::exists(go); ++i) {
    std::this_thread::sleep_for(100us);
  }
  DatabaseManager db(path);
  if (db.upsertSetting(tag, "kept")) std::puts("kept");
}

TEST_F(DatabaseTest, WritesOfOtherThreadsNeverLandInAFailingTransaction) {
  auto db = open();
  ASSERT_TRUE(peek().exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON terminal_service WHEN NEW.sn = 'BAD' BEGIN SELECT "
      "RAISE(ABORT, 'refused'); END"));
  Rows batch;
  for (int i = 0; i < 20; ++i) batch.push_back(Row{{"sn", S("SN")}});
  batch.push_back(Row{{"sn", S("BAD")}});

  ScopedLogCapture log;  // keeps the refusals off stderr
  std::atomic<bool> stop{false};
  std::thread failing([&] {
    while (!stop.load()) db->insertTerminalServicesBatch(batch);
  });
  constexpr int kWriters = 3;
  constexpr int kWrites = 100;
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < kWrites; ++i) {
        if (!db->upsertSetting(fmt::format("w{}-{}", w, i), "v")) ++failures;
        if (!db->insertCaspExchangeMsg(fmt::format("w{}", w), "1", "{}")) ++failures;
      }
    });
  }
  for (auto& t : writers) t.join();
  stop = true;
  failing.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM setting"), kWriters * kWrites);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM casp_exchange_msg"), kWriters * kWrites);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM terminal_service"), 0);
}

// --- row helpers ---------------------------------------------------------------

TEST(RowHelpersTest, LeadingIntegerReadsLikeThePlatform) {
  EXPECT_EQ(leadingInteger("42"), 42);
  EXPECT_EQ(leadingInteger("  -7abc"), -7);
  EXPECT_EQ(leadingInteger("+3"), 3);
  EXPECT_EQ(leadingInteger("2026-01-31"), 2026);
  EXPECT_EQ(leadingInteger(""), 0);
  EXPECT_EQ(leadingInteger("abc"), 0);
  EXPECT_EQ(leadingInteger("- 5"), 0);
  EXPECT_EQ(leadingInteger("1769868309007"), 1769868309007);
  EXPECT_EQ(leadingInteger("99999999999999999999"), INT64_MAX);
  EXPECT_EQ(leadingInteger("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(leadingInteger("-99999999999999999999"), INT64_MIN);

  const Row row = {{"t", S("12")}, {"n", I(5)}};
  EXPECT_EQ(rowInt(row, "t"), 12);
  EXPECT_EQ(rowText(row, "n"), "5");
  EXPECT_EQ(rowInt(row, "absent"), 0);
  EXPECT_EQ(rowText(row, "absent"), std::nullopt);
}

}  // namespace
}  // namespace veltrix::registry
