// The device whitelist end to end over loopback: the library's discovery
// has recorded two of tavio-sim's terminals, the user allows only one on
// the whitelist screen, and the scan screen that the next payment opens
// shows that terminal alone, even once the other has answered discovery
// again. The allowed serial number holds the other one, so a whitelist
// tested by substring would let the other through.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/discovery_simulator.h"
#include "sim/http_simulator.h"
#include "support/sim_discovery.h"
#include "support/sim_terminal.h"
#include "support/ui_test_env.h"
#include "veltrix/facade/result_back_manager.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"
#include "veltrix/ui/scan/scan_view_controller.h"
#include "veltrix/ui/settings/settings_environment.h"
#include "veltrix/ui/settings/whitelist_device_manager_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using namespace std::chrono_literals;

class WhitelistRoadTest : public veltrix::testing::UiTest {
 protected:
  void SetUp() override {
    setTransitionDuration(0.35);
    std::vector<sim::VirtualTerminal> terminals = sim::virtualTerminals(2);
    terminals[1].sn = terminals[0].sn + "-B";
    for (auto& terminal : terminals) {
      auto http = veltrix::testing::startSimulatedTerminal(5ms);
      terminal.address = http->address();
      sns_.push_back(terminal.sn);
      http_.push_back(std::move(http));
    }
    std::string error;
    discoverySim_ =
        sim::DiscoverySimulator::start(veltrix::testing::loopbackSimOptions(terminals), &error);
    ASSERT_TRUE(discoverySim_) << error;
    library_ = std::make_unique<veltrix::testing::LoopbackDiscovery>(docs(), *discoverySim_);
    library_->db.insertSetting("preferencesMode", "1");
    settings_ = facade::RetailerSettingManager::create(library_->db, library_->manager.get());

    // Discovery records both terminals, which the whitelist screen lists.
    ASSERT_TRUE(library_->startScan(*discoverySim_));
    discoverySim_->announce();
    ASSERT_TRUE(main().runUntil(
        [&] {
          return !library_->db.fetchTerminalServicesWithSn(sns_[0]).empty() &&
                 !library_->db.fetchTerminalServicesWithSn(sns_[1]).empty();
        },
        10s));
    library_->manager->stopScan();

    facade::CommunicateFactory factory = veltrix::testing::httpFactory(session_, library_->logFile);
    manager_ = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        library_->db, registry_, *settings_, library_->logFile,
        transport::RadioOffBleTransport::shared(), std::move(factory)});

    nav_ = std::make_shared<NavigationController>(std::make_shared<ViewController>());
    show(nav_);
    manager_->initWithNavigationController(nav_);
    std::shared_ptr<registry::DatabaseManager> db(std::shared_ptr<void>{}, &library_->db);
    env_ = SettingsEnvironment::over(db, settings_);
  }

  void TearDown() override {
    main().runUntil([&] { return session_.taskCount() == 0; }, 2s);
    nav_.reset();
    makeWindow();
    runPending();
    manager_.reset();
    settings_.reset();
    library_.reset();
    if (discoverySim_) discoverySim_->stop();
    for (auto& http : http_) http->stop();
  }

  // Allows `sn` alone on the whitelist screen: switch on, tick its row,
  // CONFIRM.
  void allowOnly(const std::string& sn) {
    auto screen = std::make_shared<WhitelistDeviceManagerViewController>(env_);
    nav_->pushViewController(screen, true);
    driver().advance(0.5);
    ASSERT_TRUE(screen->deviceSNList().has_value());
    const std::vector<std::string>& listed = *screen->deviceSNList();
    ASSERT_EQ(listed.size(), 2u);
    std::int64_t row = -1;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      if (listed[i] == sn) row = static_cast<std::int64_t>(i);
    }
    ASSERT_GE(row, 0);
    ASSERT_FALSE(screen->whitelistSwitch()->isOn());
    ASSERT_TRUE(driver().flip(*screen->whitelistSwitch()));
    driver().advance(0.5);
    ASSERT_TRUE(driver().tapRow(*screen->snTableView(), IndexPath::forRow(row)));
    ASSERT_TRUE(driver().tap(*screen->confirmButton()));
    driver().advance(0.5);
    EXPECT_EQ(driver().toast(), std::string(kWhitelistSaved));
    EXPECT_EQ(nav_->viewControllers().size(), 1u) << "popped";
  }

  void pay() {
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    manager_->payment(
        param, [](const std::string&) {},
        [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
               std::optional<std::string>) {
          outcomes_.push_back({result != nullptr, code});
        });
    driver().advance(0.5);
  }

  scan::ScanViewController* scanScreen() {
    return dynamic_cast<scan::ScanViewController*>(nav_->topViewController());
  }

  std::optional<std::string> lastDiscoverTime(const std::string& sn) {
    return registry::rowText(library_->db.fetchDiscoveredTerminal(sn), "lastDiscoverTime");
  }

  struct Outcome {
    bool hasResult;
    std::int64_t code;
  };

  std::vector<std::string> sns_;
  std::vector<std::unique_ptr<sim::HttpSimulator>> http_;
  std::unique_ptr<sim::DiscoverySimulator> discoverySim_;
  std::unique_ptr<veltrix::testing::LoopbackDiscovery> library_;
  transport::WSStreamingHTTPSessionManager session_;
  facade::ResultBackManager registry_;
  std::shared_ptr<facade::RetailerSettingManager> settings_;
  std::shared_ptr<facade::RetailerManager> manager_;
  std::shared_ptr<NavigationController> nav_;
  SettingsEnvironment env_;
  std::vector<Outcome> outcomes_;
};

TEST_F(WhitelistRoadTest, AWhitelistedTerminalAloneReachesTheScanScreen) {
  const std::string& allowed = sns_[1];
  const std::string& other = sns_[0];
  ASSERT_NO_FATAL_FAILURE(allowOnly(allowed));
  EXPECT_EQ(library_->db.fetchSetting("deviceAcessList"), allowed);

  // Later than the recorded handshakes, so a fresh one shows in the table.
  driver().advance(1.0);
  const std::optional<std::string> before = lastDiscoverTime(other);
  pay();
  scan::ScanViewController* screen = scanScreen();
  ASSERT_NE(screen, nullptr) << "the facade pushed the scan screen";
  EXPECT_EQ(screen->snList, allowed);

  discoverySim_->setLibraryPorts(library_->manager->udpListeningPort(),
                                 library_->manager->tcpListeningPort());
  discoverySim_->announce();
  ASSERT_TRUE(main().runUntil(
      [&] { return !screen->movingViews().empty() && lastDiscoverTime(other) != before; }, 10s))
      << "both terminals answered the screen's discovery";
  driver().advance(1.0);
  ASSERT_EQ(screen->movingViews().size(), 1u);
  EXPECT_EQ(screen->movingViews()[0]->getServiceInfo().sn, allowed);
  ASSERT_EQ(screen->terminalItems().size(), 1u);

  // The allowed terminal carries the payment.
  auto bubble = screen->movingViews()[0];
  const Point from = screen->view().convert(bubble->center(), nullptr);
  const Point to = screen->view().convert(screen->orbitCenter(), nullptr);
  driver().drag(from, {{(from.x + to.x) / 2, (from.y + to.y) / 2}, to});
  driver().advance(0.6);
  ASSERT_TRUE(main().runUntil([&] { return !outcomes_.empty(); }, 10s));
  EXPECT_EQ(outcomes_[0].code, 0);
  EXPECT_TRUE(outcomes_[0].hasResult);
  EXPECT_EQ(http_[1]->requestCount(), 1u);
  EXPECT_EQ(http_[0]->requestCount(), 0u);
  driver().advance(1.0);
  EXPECT_EQ(scanScreen(), nullptr) << "the screen left";
}

}  // namespace
}  // namespace veltrix::ui::settings
