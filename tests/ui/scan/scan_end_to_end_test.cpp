// A payment with no terminal known, end to end over loopback: the facade
// pushes the scan screen on the host's navigation controller, the library's
// real discovery finds tavio-sim's terminal, a finger drags its bubble onto
// the centre and the simulated terminal receives the payment. Without a
// terminal the request ends with -101 after the time-out. A service picked
// from the list with "Remember this service" carries the next payment
// without the screen.
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
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"
#include "veltrix/ui/scan/remember_option_view.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::ui::scan::test {
namespace {

using namespace std::chrono_literals;

class ScanEndToEndTest : public testing::UiTest {
 protected:
  // With `paymentEntries` payment services on the terminal.
  void start(bool withTerminal, int paymentEntries = 1) {
    http_ = veltrix::testing::startSimulatedTerminal(5ms);

    sim::VirtualTerminal terminal;
    terminal.address = http_->address();
    terminal.services = sim::defaultServices(paymentEntries);
    // A terminal that is silent from the start is never found.
    if (!withTerminal) terminal.silentAfter = sim::Millis{0};
    std::vector<sim::VirtualTerminal> terminals{terminal};
    std::string error;
    discoverySim_ = sim::DiscoverySimulator::start(testing::loopbackSimOptions(terminals), &error);
    ASSERT_TRUE(discoverySim_) << error;
    library_ = std::make_unique<testing::LoopbackDiscovery>(docs(), *discoverySim_);
    library_->db.insertSetting("preferencesMode", "1");

    settings_ = facade::RetailerSettingManager::create(library_->db, library_->manager.get());
    facade::CommunicateFactory factory = veltrix::testing::httpFactory(session_, library_->logFile);
    manager_ = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        library_->db, registry_, *settings_, library_->logFile,
        transport::RadioOffBleTransport::shared(), std::move(factory)});

    makeWindow();
    nav_ = std::make_shared<NavigationController>(std::make_shared<ViewController>());
    show(nav_);
    manager_->initWithNavigationController(nav_);
  }

  ~ScanEndToEndTest() override {
    main().runUntil([&] { return session_.taskCount() == 0; }, 2s);
    nav_.reset();
    makeWindow();
    runPending();
    manager_.reset();
    settings_.reset();
    library_.reset();
    if (discoverySim_) discoverySim_->stop();
    if (http_) http_->stop();
  }

  void pay() {
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    manager_->payment(
        param, [](const std::string&) {},
        [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
               std::optional<std::string> message) {
          outcomes_.push_back({result != nullptr, code, message.value_or("")});
        });
    driver().advance(0.5);
  }

  void payTwiceRemembering(int option);

  // Discovery meets tavio-sim's terminal once the screen has restarted it.
  void announce() {
    discoverySim_->setLibraryPorts(library_->manager->udpListeningPort(),
                                   library_->manager->tcpListeningPort());
    discoverySim_->announce();
  }

  ScanViewController* scanScreen() {
    return dynamic_cast<ScanViewController*>(nav_->topViewController());
  }

  struct Outcome {
    bool hasResult;
    std::int64_t code;
    std::string message;
  };

  std::unique_ptr<sim::HttpSimulator> http_;
  std::unique_ptr<sim::DiscoverySimulator> discoverySim_;
  std::unique_ptr<testing::LoopbackDiscovery> library_;
  transport::WSStreamingHTTPSessionManager session_;
  facade::ResultBackManager registry_;
  std::shared_ptr<facade::RetailerSettingManager> settings_;
  std::shared_ptr<facade::RetailerManager> manager_;
  std::shared_ptr<NavigationController> nav_;
  std::vector<Outcome> outcomes_;
};

TEST_F(ScanEndToEndTest, ADraggedBubbleCarriesThePayment) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/true));
  pay();
  ScanViewController* screen = scanScreen();
  ASSERT_NE(screen, nullptr) << "the facade pushed the scan screen";
  EXPECT_EQ(screen->headerLabel()->text(), "Purchase Service");

  // The screen restarted discovery; the terminal speaks first.
  announce();
  ASSERT_TRUE(main().runUntil([&] { return !screen->movingViews().empty(); }, 10s));
  driver().advance(1.0);
  ASSERT_EQ(screen->movingViews().size(), 1u);
  EXPECT_EQ(screen->movingViews()[0]->getServiceInfo().sn, "TAVIO-SIM-0001");

  auto bubble = screen->movingViews()[0];
  const Point from = screen->view().convert(bubble->center(), nullptr);
  const Point to = screen->view().convert(screen->orbitCenter(), nullptr);
  driver().drag(from, {{(from.x + to.x) / 2, (from.y + to.y) / 2}, to});
  driver().advance(0.6);

  ASSERT_TRUE(main().runUntil([&] { return !outcomes_.empty(); }, 10s));
  EXPECT_EQ(outcomes_[0].code, 0);
  EXPECT_TRUE(outcomes_[0].hasResult);
  ASSERT_EQ(http_->requestCount(), 1u);
  EXPECT_EQ(http_->requests()[0].jsonText("serviceType"), "Purchase");
  driver().advance(1.0);
  EXPECT_EQ(scanScreen(), nullptr) << "the screen left";
  EXPECT_EQ(library_->manager->delegate(), settings_) << "discovery is handed back";
  driver().advanceUnwatched(40.0);
  EXPECT_EQ(outcomes_.size(), 1u);
}

// A first payment whose service the user picks from the list after
// choosing remember option `option` on the sheet, then a second payment
// that names no terminal: it must reach tavio-sim without the screen.
void ScanEndToEndTest::payTwiceRemembering(int option) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/true));
  library_->db.updateSetting("preferencesMode", "2");
  pay();
  ScanViewController* screen = scanScreen();
  ASSERT_NE(screen, nullptr);
  announce();
  ASSERT_TRUE(main().runUntil([&] { return !screen->terminalItems().empty(); }, 10s));
  driver().advance(0.5);

  ASSERT_TRUE(driver().tap(*screen->rememberBtn()));
  driver().advance(0.1);
  auto* sheet = driver().find<RememberOptionView>();
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(driver().tap(*sheet->buttons().at(static_cast<std::size_t>(option))));
  driver().advance(0.1);
  ASSERT_TRUE(driver().tapItem(*screen->collectionView(), IndexPath::forItem(0)));
  ASSERT_TRUE(main().runUntil([&] { return !outcomes_.empty(); }, 10s));
  EXPECT_EQ(outcomes_[0].code, 0);
  ASSERT_EQ(http_->requestCount(), 1u);
  driver().advance(1.0);
  EXPECT_EQ(scanScreen(), nullptr);

  // The facade tries the remembered candidate first; the scan screen never
  // opens.
  pay();
  EXPECT_EQ(nav_->viewControllers().size(), 1u);
  ASSERT_TRUE(main().runUntil([&] { return outcomes_.size() == 2; }, 10s));
  EXPECT_EQ(nav_->viewControllers().size(), 1u);
  EXPECT_EQ(outcomes_[1].code, 0);
  EXPECT_TRUE(outcomes_[1].hasResult);
  ASSERT_EQ(http_->requestCount(), 2u);
  EXPECT_EQ(http_->requests()[1].jsonText("serviceType"), "Purchase");
}

TEST_F(ScanEndToEndTest, ARememberedServiceCarriesTheNextPaymentWithoutTheScreen) {
  ASSERT_NO_FATAL_FAILURE(payTwiceRemembering(1));  // "Remember this service"
  EXPECT_EQ(library_->db.fetchSetting("Purchase"), "1");
  EXPECT_EQ(registry::rowText(library_->db.fetchRememberServicesWithType("Purchase"), "sn"),
            "TAVIO-SIM-0001");
}

TEST_F(ScanEndToEndTest, ARememberedTerminalCarriesTheNextPaymentWithoutTheScreen) {
  ASSERT_NO_FATAL_FAILURE(payTwiceRemembering(2));  // "Remember this terminal"
  EXPECT_EQ(library_->db.fetchSetting("Purchase"), "2");
  EXPECT_EQ(registry::rowText(library_->db.fetchRememberServicesWithType("ALL"), "sn"),
            "TAVIO-SIM-0001");
  EXPECT_TRUE(library_->db.fetchRememberServicesWithType("Purchase").empty());
}

// The remembered terminal offers ten services of the type: eight bubbles,
// the "more" bubble and two in the overflow. Choosing "Remember this
// terminal" lays the orbit out anew; the last two stay within reach through
// "more", and one of them carries the payment.
TEST_F(ScanEndToEndTest, RememberingTheTerminalKeepsItsOverflowReachable) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/true, /*paymentEntries=*/10));
  ASSERT_TRUE(
      library_->db.insertRememberServices("TAVIO-SIM-0001", "ALL", "", "", std::nullopt, "1000"));
  pay();
  // The remembered terminal is probed first, in vain: it is not known yet.
  ASSERT_TRUE(main().runUntil([&] { return scanScreen() || !outcomes_.empty(); }, 10s));
  ScanViewController* screen = scanScreen();
  ASSERT_NE(screen, nullptr) << (outcomes_.empty() ? "" : outcomes_[0].message);
  announce();
  ASSERT_TRUE(main().runUntil([&] { return screen->activedIps().size() == 10; }, 10s));
  driver().advance(0.5);

  ASSERT_TRUE(driver().tap(*screen->rememberBtn()));
  driver().advance(0.1);
  auto* sheet = driver().find<RememberOptionView>();
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(driver().tap(*sheet->buttons().at(2)));  // "Remember this terminal"
  driver().advance(1.0);
  ASSERT_EQ(screen->movingViews().size(), 9u);
  EXPECT_TRUE(screen->isHaveMore());
  ASSERT_EQ(screen->moreActivedIps().size(), 2u);

  CircularMovingView* more = nullptr;
  for (const auto& bubble : screen->movingViews()) {
    if (bubble->isMore()) more = bubble.get();
  }
  ASSERT_NE(more, nullptr);
  ASSERT_TRUE(driver().tap(*more));
  driver().advance(0.5);
  ASSERT_NE(screen->popupView(), nullptr);
  ASSERT_TRUE(driver().tapItem(screen->popupView()->collectionView(), IndexPath::forItem(1)));
  ASSERT_TRUE(main().runUntil([&] { return !outcomes_.empty(); }, 10s));
  EXPECT_EQ(outcomes_[0].code, 0);
  ASSERT_EQ(http_->requestCount(), 1u);
  EXPECT_EQ(registry::rowText(library_->db.fetchRememberServicesWithType("ALL"), "sn"),
            "TAVIO-SIM-0001");
  driver().advance(1.0);
}

// A second request's scan screen over the first's; the host pops to its
// root and both leave at once: discovery goes back to the settings facade.
TEST_F(ScanEndToEndTest, StackedScreensLeavingTogetherHandDiscoveryBack) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/true));
  ASSERT_EQ(library_->manager->delegate(), settings_);
  pay();
  ASSERT_NE(scanScreen(), nullptr);
  pay();
  ASSERT_EQ(nav_->viewControllers().size(), 3u);
  nav_->popToRootViewController(true);
  driver().advance(1.0);
  ASSERT_TRUE(main().runUntil([&] { return outcomes_.size() == 2; }, 2s));
  EXPECT_EQ(outcomes_[0].code, -101);
  EXPECT_EQ(outcomes_[1].code, -101);
  EXPECT_EQ(library_->manager->delegate(), settings_) << "the host's delegate is back";
}

TEST_F(ScanEndToEndTest, NothingFoundEndsWithServiceNotFoundOnce) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/false));
  pay();
  ASSERT_NE(scanScreen(), nullptr);
  main().runUntil([] { return false; }, 100ms);
  driver().advanceUnwatched(29.0);
  EXPECT_TRUE(outcomes_.empty());
  driver().advance(1.5);
  main().runUntil([&] { return !outcomes_.empty(); }, 2s);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].code, -101);
  EXPECT_EQ(outcomes_[0].message, "Service not found");
  EXPECT_FALSE(outcomes_[0].hasResult);
  driver().advanceUnwatched(60.0);
  main().runUntil([] { return false; }, 50ms);
  EXPECT_EQ(outcomes_.size(), 1u);
}

TEST_F(ScanEndToEndTest, WithoutNavigationControllerTheRequestEndsAtOnce) {
  ASSERT_NO_FATAL_FAILURE(start(/*withTerminal=*/false));
  manager_->initWithNavigationController(std::shared_ptr<NavigationController>());
  pay();
  main().runUntil([&] { return !outcomes_.empty(); }, 2s);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].code, -101);
}

}  // namespace
}  // namespace veltrix::ui::scan::test
