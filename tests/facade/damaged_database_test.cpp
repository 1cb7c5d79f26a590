// A damaged database file under a host that pays: the payment is recorded
// in the exchange log all the same, and an abort finds it there.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/http_simulator.h"
#include "support/sim_terminal.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::facade::test {
namespace {

using namespace std::chrono_literals;

// Writes the damage into the file at `path`.
using Damage = std::function<void(const std::filesystem::path& path)>;

class DamagedDatabaseTest : public testing::LoopTest,
                            public ::testing::WithParamInterface<std::pair<const char*, Damage>> {
 protected:
  DamagedDatabaseTest() { sim_ = testing::startSimulatedTerminal(0ms); }

  ~DamagedDatabaseTest() override {
    main().runUntil([&] { return session_.taskCount() == 0; });
    manager_.reset();
    sim_->stop();
  }

  // The library over the database file as it is now.
  void start() {
    db_ = std::make_unique<registry::DatabaseManager>(dbPath(), &logFile_);
    settings_ = std::make_unique<RetailerSettingManager>(*db_);
    CommunicateFactory factory = testing::httpFactory(session_, logFile_);
    manager_ = std::make_shared<RetailerManager>(RetailerManager::Collaborators{
        *db_, registry_, *settings_, logFile_, transport::RadioOffBleTransport::shared(), factory,
        nullptr, nullptr});
  }

  // Pays at the simulator and aborts the payment afterwards: the payment's
  // code and the abort's.
  std::pair<std::int64_t, std::int64_t> payThenAbort() {
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.servicesParams = FacadeTest::at(sim_->address());
    std::optional<std::int64_t> paid;
    manager_->payment(
        param, [this](const std::string& id) { exchangeId_ = id; },
        [&](std::shared_ptr<const model::PaymentResult>, std::int64_t code,
            std::optional<std::string>) { paid = code; });
    EXPECT_TRUE(main().runUntil([&] { return paid.has_value(); }));

    std::optional<std::int64_t> aborted;
    model::AbortParam abort;
    abort.orgExchangeIdentification = exchangeId_;
    manager_->abort(abort, {},
                    [&](std::int64_t code, std::optional<std::string>) { aborted = code; });
    EXPECT_TRUE(main().runUntil([&] { return aborted.has_value(); }));
    return {paid.value_or(1), aborted.value_or(1)};
  }

  std::int64_t messagesOf(const std::string& exchangeId) {
    platform::Db peek;
    EXPECT_TRUE(peek.open(dbPath()));
    platform::Stmt stmt =
        peek.prepare("SELECT COUNT(*) FROM casp_exchange_msg WHERE requestId = ?");
    stmt.bind(1, exchangeId);
    return stmt.step() == platform::StepResult::Row ? stmt.int64(0) : -1;
  }

  std::filesystem::path dbPath() const { return docs() / "Lumetra.sqlite.tavio"; }

  std::unique_ptr<sim::HttpSimulator> sim_;
  transport::WSStreamingHTTPSessionManager session_;
  registry::FileLogger logFile_{docs() / "log.txt"};
  ResultBackManager registry_;
  std::unique_ptr<registry::DatabaseManager> db_;
  std::unique_ptr<RetailerSettingManager> settings_;
  std::shared_ptr<RetailerManager> manager_;
  std::string exchangeId_;
};

TEST_P(DamagedDatabaseTest, IsMovedAsideAndThePaymentIsRecorded) {
  {
    registry::DatabaseManager made(dbPath());
    for (int i = 0; i < 40; ++i) made.insertCaspExchangeMsg("old", "1", std::string(500, 'm'));
  }
  GetParam().second(dbPath());
  platform::ScopedLogCapture log;
  start();
  EXPECT_TRUE(log.contains("moved to " + dbPath().string() + ".damaged-"));
  EXPECT_NE(logFile_.getLogFileData().value_or("").find("moved to"), std::string::npos);

  EXPECT_EQ(payThenAbort(), std::make_pair(std::int64_t{0}, std::int64_t{0}));
  EXPECT_EQ(registry::rowText(db_->fetchCaspExchange(exchangeId_), "exchangeId"), exchangeId_);
  EXPECT_EQ(messagesOf(exchangeId_), 2);
  // Settings are kept again.
  settings_->setCommunicateType(kCommunicateTypeBluetooth, true);
  EXPECT_TRUE(settings_->getCommunicateTypeState(kCommunicateTypeBluetooth));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedDatabaseTest,
    ::testing::Values(
        std::make_pair("Truncated", Damage([](const std::filesystem::path& path) {
                         std::filesystem::resize_file(path, 8192);
                       })),
        std::make_pair("Garbage", Damage([](const std::filesystem::path& path) {
                         ASSERT_TRUE(platform::writeFileAtomically(path, std::string(30000, 'Z')));
                       })),
        std::make_pair("AnotherApplicationsTables", Damage([](const std::filesystem::path& path) {
                         std::filesystem::remove(path);
                         platform::Db other;
                         ASSERT_TRUE(other.open(path));
                         ASSERT_TRUE(other.exec(
                             "CREATE TABLE setting (id INTEGER PRIMARY KEY, name TEXT, data BLOB); "
                             "CREATE TABLE casp_exchange (id INTEGER PRIMARY KEY, payload TEXT)"));
                       }))),
    [](const auto& info) { return std::string(info.param.first); });

// An exchange-log write that fails is logged; the payment goes all the same.
TEST_F(DamagedDatabaseTest, AFailedExchangeLogWriteIsLoggedAndThePaymentGoes) {
  start();
  platform::Db other;
  ASSERT_TRUE(other.open(dbPath()));
  ASSERT_TRUE(
      other.exec("CREATE TRIGGER full BEFORE INSERT ON casp_exchange_msg BEGIN SELECT RAISE(ABORT, "
                 "'database or disk is full'); END"));
  platform::ScopedLogCapture log;
  const auto [paid, aborted] = payThenAbort();
  EXPECT_EQ(paid, 0);
  EXPECT_EQ(aborted, 0);
  EXPECT_TRUE(log.contains("Failed to insert casp exchange msg: database or disk is full"));
  EXPECT_TRUE(sim_->waitForRequests(2, 5000ms));
}

}  // namespace
}  // namespace veltrix::facade::test
