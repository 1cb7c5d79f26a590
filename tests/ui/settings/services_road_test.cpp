// The services screens end to end over loopback: the library's discovery
// finds two of tavio-sim's terminals, the user designates the second one
// (or remembers its payment service) on the services manager, and the next
// payment without an address goes to that terminal without the scan screen.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"
#include "veltrix/ui/settings/selector_dialogs.h"
#include "veltrix/ui/settings/service_list_view_controller.h"
#include "veltrix/ui/settings/services_manager_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using namespace std::chrono_literals;

class ServicesRoadTest : public veltrix::testing::UiTest {
 protected:
  void SetUp() override {
    setTransitionDuration(0.35);
    std::vector<sim::VirtualTerminal> terminals = sim::virtualTerminals(2);
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
    settings_ = facade::RetailerSettingManager::create(library_->db, library_->manager.get());

    // Discovery records both terminals and their services.
    ASSERT_TRUE(library_->startScan(*discoverySim_));
    discoverySim_->announce();
    ASSERT_TRUE(main().runUntil(
        [&] {
          return library_->db.fetchTerminalServicesWithSn(sns_[0]).size() > 0 &&
                 library_->db.fetchTerminalServicesWithSn(sns_[1]).size() > 0;
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

  std::shared_ptr<ServicesManagerViewController> openManager() {
    auto screen = std::make_shared<ServicesManagerViewController>(env_);
    nav_->pushViewController(screen, true);
    driver().advance(0.5);
    return screen;
  }
  template <typename T>
  T* front() {
    auto* found = dynamic_cast<T*>(driver().topViewController());
    EXPECT_NE(found, nullptr);
    return found;
  }

  // A payment without any destination; returns its result code.
  std::optional<std::int64_t> pay() {
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    std::optional<std::int64_t> code;
    manager_->payment(
        param, [](const std::string&) {},
        [&code](std::shared_ptr<const model::PaymentResult>, std::int64_t c,
                std::optional<std::string>) { code = c; });
    main().runUntil([&] { return code.has_value(); }, 10s);
    return code;
  }

  void expectThePaymentAtTheSecondTerminal() {
    EXPECT_EQ(pay(), 0);
    EXPECT_EQ(http_[0]->requestCount(), 0u);
    ASSERT_EQ(http_[1]->requestCount(), 1u);
    EXPECT_EQ(http_[1]->requests()[0].jsonText("serviceType"), "Purchase");
    driver().settle();
    EXPECT_EQ(dynamic_cast<scan::ScanViewController*>(nav_->topViewController()), nullptr)
        << "no scan screen";
  }

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
};

TEST_F(ServicesRoadTest, TheDesignatedTerminalCarriesTheNextPayment) {
  auto screen = openManager();
  // In the order discovery met them, which the loopback does not fix.
  std::vector<std::string> listed = screen->discoveredDevices();
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed, sns_);

  // Remember mode: "Use Designated terminal".
  ASSERT_TRUE(driver().tapRow(*screen->mainTableView(), IndexPath::forRow(0, 0)));
  driver().advance(0.5);
  auto* mode = front<RememberModeSelectorViewController>();
  ASSERT_NE(mode, nullptr);
  ASSERT_TRUE(driver().tapRow(*mode->modeTableView(), IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tap(*mode->saveButton()));
  driver().advance(0.5);

  // Preferred terminal: the second one.
  ASSERT_TRUE(driver().tapRow(*screen->mainTableView(), IndexPath::forRow(1, 0)));
  driver().advance(0.5);
  auto* device = front<DeviceSelectorViewController>();
  ASSERT_NE(device, nullptr);
  const auto second = std::find(device->devices().begin(), device->devices().end(), sns_[1]);
  ASSERT_NE(second, device->devices().end());
  ASSERT_TRUE(driver().tapRow(*device->deviceTableView(),
                              IndexPath::forRow(second - device->devices().begin())));
  ASSERT_TRUE(driver().tap(*device->saveButton()));
  driver().advance(0.5);
  EXPECT_TRUE(driver().isTextVisible(sns_[1]));
  EXPECT_EQ(library_->db.fetchSetting("remember_mode"), "1");

  ASSERT_TRUE(driver().back());
  driver().advance(0.5);
  expectThePaymentAtTheSecondTerminal();
}

TEST_F(ServicesRoadTest, APaymentServiceRememberedInTheListCarriesTheNextPayment) {
  auto screen = openManager();
  std::size_t payment = 0;
  for (const auto& [key, title] : screen->serviceTitlesList()) {
    if (key == "payment") break;
    ++payment;
  }
  ASSERT_LT(payment, screen->serviceTitlesList().size());
  ASSERT_TRUE(driver().tapRow(*screen->mainTableView(),
                              IndexPath::forRow(static_cast<std::int64_t>(payment) + 1, 1)));
  driver().advance(0.5);
  auto* list = front<ServiceListViewController>();
  ASSERT_NE(list, nullptr);
  std::int64_t purchase = -1;
  for (std::size_t i = 0; i < list->serviceItems().size(); ++i) {
    if (list->serviceItems()[i].title == "Purchase") purchase = static_cast<std::int64_t>(i);
  }
  ASSERT_GE(purchase, 0);
  ASSERT_TRUE(driver().tapRow(list->tableView(), IndexPath::forRow(purchase)));
  driver().advance(0.5);
  auto* popup = front<MultiSelectPopupViewController>();
  ASSERT_NE(popup, nullptr);
  std::int64_t second = -1;
  for (std::size_t i = 0; i < popup->options().size(); ++i) {
    if (registry::rowText(popup->options()[i], "sn") == sns_[1]) {
      second = static_cast<std::int64_t>(i);
    }
  }
  ASSERT_GE(second, 0);
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(second)));
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(list->serviceItems()[static_cast<std::size_t>(purchase)].subtitle2, sns_[1]);

  nav_->popToRootViewController(false);
  driver().settle();
  expectThePaymentAtTheSecondTerminal();
}

}  // namespace
}  // namespace veltrix::ui::settings
