// The Bluetooth screens end to end: the library's Bluetooth LE transport on
// a simulated radio of the test's own, the real settings facade, database
// and discovery (its LAN side on loopback, where a silent terminal never
// answers), and RetailerManager pushing its real scan screen on a
// navigation controller in the window, so that a payment after a screen's
// connection goes to the terminal the screen connected.
//
// Header-only; the test programs that include it link the simulator. Main
// loop only, on the manual clock; the LAN sockets and the probes' waits are
// real and bounded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/ble_simulator.h"
#include "sim/discovery_simulator.h"
#include "support/sim_discovery.h"
#include "support/ui_test_env.h"
#include "veltrix/facade/ble_transport_probe.h"
#include "veltrix/facade/candidate_probes.h"
#include "veltrix/platform/json.h"
#include "veltrix/transport/ble_discovery_adapter.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::testing {

class BleRoadTest : public UiTest {
 protected:
  BleRoadTest()
      : db(docs() / "road.sqlite"),
        logFile(docs() / "road-log.txt"),
        communication(db),
        radio(platform::MainLoop::sharedPtr()),
        defaults(docs() / "defaults.json"),
        service(
            std::make_shared<transport::BLECommunicateService>(radio.createCentral(), defaults)),
        adapter(service) {
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider(
        [] { return std::optional<std::string>("DEVICE-0001"); });
    db.insertSetting("preferencesMode", "1");  // the orbit

    // The LAN side of discovery: a terminal that never answers.
    sim::VirtualTerminal silent;
    silent.sn = "TAVIO-LAN-SILENT";
    silent.silentAfter = sim::Millis{0};
    std::string error;
    lanSim = sim::DiscoverySimulator::start(loopbackSimOptions({silent}), &error);
    EXPECT_TRUE(lanSim) << error;
    registry::DiscoveryConfig config;
    config.udpPort = 0;
    config.tcpPort = 0;
    config.bindAddress = kLibraryHost;
    if (lanSim) {
      config.terminalUdpPort = lanSim->udpPort();
      config.terminalTcpPort = lanSim->tcpPort();
    }
    discovery = std::make_unique<registry::DiscoverManager>(
        registry::DiscoverManager::Collaborators{db, tcpClient, tcpServer, sender, receiver,
                                                 adapter, communication, logFile},
        config);
    settings = facade::RetailerSettingManager::create(db, discovery.get());

    facade::CommunicateFactory factory(
        [](const std::string&) -> facade::CommunicateServicePtr { return nullptr; },
        [this](const std::string&) -> facade::CommunicateServicePtr { return service; });
    manager = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        db, results, *settings, logFile, adapter, factory, std::make_shared<facade::TcpPinger>(),
        std::make_shared<facade::BleTransportProbeService>(service)});
    manager->setDelegate(hooks);
    runPending();  // the radio's first state
  }

  ~BleRoadTest() override {
    driver().advance(3);  // transitions and timers still pending hold views
    nav.reset();
    makeWindow();
    runPending();
    manager.reset();
    settings.reset();
    discovery.reset();
    if (lanSim) lanSim->stop();
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  }

  // `screen` pushed over the host's own screen on the navigation controller
  // that the library also pushes its scan screen on.
  void showOverHost(std::shared_ptr<ui::ViewController> screen) {
    nav = std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
    show(nav);
    manager->initWithNavigationController(nav);
    nav->pushViewController(std::move(screen), false);
    driver().settle();
  }

  std::optional<std::string> alertText() {
    ui::AlertController* alert = driver().alert();
    if (!alert) return std::nullopt;
    return alert->message();
  }

  ui::scan::ScanViewController* scanScreen() {
    return dynamic_cast<ui::scan::ScanViewController*>(nav->topViewController());
  }

  // Waits for `done` while the manual clock moves on in steps of 0.1 s, at
  // most 10 s (a third of the scan screen's time-out), giving each step up
  // to 50 ms of real time for the probes' thread.
  bool paced(const std::function<bool()>& done) {
    for (int step = 0; step < 100; ++step) {
      if (main().runUntil(done, std::chrono::milliseconds(50))) return true;
      driver().advance(0.1);
    }
    return done();
  }

  struct Payment {
    std::string exchangeId;
    std::vector<std::int64_t> codes;
  };

  // A payment with `sn` (or nothing) as its destination.
  std::shared_ptr<Payment> pay(const std::optional<std::string>& sn, const std::string& reference) {
    auto payment = std::make_shared<Payment>();
    model::PaymentParam param;
    param.totalAmount = "25.00";
    param.transactionReference = reference;
    if (sn) param.servicesParams = model::DestinationParams{*sn, std::nullopt, std::nullopt};
    manager->payment(
        param, [payment](const std::string& id) { payment->exchangeId = id; },
        [payment, reference](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
                             std::optional<std::string>) {
          payment->codes.push_back(code);
          if (code == 0) {
            EXPECT_TRUE(result && result->transactionReference == reference);
          }
        });
    return payment;
  }

  // Waits for the payment's result while the terminal's answers, paced on
  // the manual clock, come in; then checks it reached `terminal` as its
  // `index`-th request over Bluetooth LE and ended with code 0.
  void expectOverBluetooth(sim::BleSimulator& terminal, const Payment& payment, std::size_t index) {
    ASSERT_TRUE(paced([&] { return !payment.codes.empty(); }));
    EXPECT_EQ(payment.codes, std::vector<std::int64_t>{0});
    ASSERT_EQ(terminal.requests().size(), index + 1);
    const std::optional<platform::Json> request = platform::parseJson(terminal.requests()[index]);
    ASSERT_TRUE(request);
    EXPECT_EQ((*request)["exchangeIdentification"], payment.exchangeId);
    EXPECT_EQ((*request)["remoteAccessType"], "BLUETOOTH_MAC");
    EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{terminal.sn()});
  }

  // After a screen connected `terminal` and stored the Bluetooth LE
  // connection method (and the user went back, unless `leave` is false
  // because that happened already): a payment without destination opens the
  // library's scan screen, whose discovery meets the terminal over that
  // connection; the user drags its bubble onto the centre and the payment
  // goes over Bluetooth LE. A second payment naming the terminal's serial
  // number then goes there without the screen: it has no LAN address, and
  // its Bluetooth LE presence is what the probe finds.
  void payTwiceOverBluetooth(sim::BleSimulator& terminal, bool leave = true) {
    if (leave) {
      ASSERT_TRUE(driver().back());
      driver().settle();
    }
    std::shared_ptr<Payment> first = pay(std::nullopt, "ORDER-24");
    driver().advance(0.5);
    ui::scan::ScanViewController* screen = scanScreen();
    ASSERT_NE(screen, nullptr) << "the facade pushed the scan screen";
    ASSERT_TRUE(paced([&] { return !screen->movingViews().empty(); }));
    driver().advance(1.0);
    ASSERT_EQ(screen->movingViews().size(), 1u);
    EXPECT_EQ(screen->movingViews()[0]->getServiceInfo().sn, terminal.sn());
    EXPECT_FALSE(terminal.handshakes().empty()) << "discovery spoke over the connection";

    auto bubble = screen->movingViews()[0];
    const ui::Point from = screen->view().convert(bubble->center(), nullptr);
    const ui::Point to = screen->view().convert(screen->orbitCenter(), nullptr);
    driver().drag(from, {{(from.x + to.x) / 2, (from.y + to.y) / 2}, to});
    driver().advance(0.6);
    ASSERT_NO_FATAL_FAILURE(expectOverBluetooth(terminal, *first, 0));
    driver().advance(1.0);
    EXPECT_EQ(scanScreen(), nullptr) << "the screen left";

    std::shared_ptr<Payment> second = pay(terminal.sn(), "ORDER-25");
    ASSERT_NO_FATAL_FAILURE(expectOverBluetooth(terminal, *second, 1));
    EXPECT_EQ(nav->viewControllers().size(), 1u) << "no scan screen";
  }

  registry::DatabaseManager db;
  registry::FileLogger logFile;
  registry::StoredCommunicationSettings communication;
  facade::ResultBackManager results;
  platform::ble::SimRadio radio;
  platform::UserDefaults defaults;
  std::shared_ptr<transport::BLECommunicateService> service;
  transport::BLEDiscoveryAdapter adapter;
  ScopedNetworkEnvironment network{std::vector{interfaceEntry("en0", kLibraryHost)}};
  registry::BroadcastSender sender{std::string(kLibraryHost)};
  registry::BroadcastReceiver receiver;
  transport::TCPSocketClient tcpClient;
  transport::TCPSocketServer tcpServer;
  std::unique_ptr<sim::DiscoverySimulator> lanSim;
  std::unique_ptr<registry::DiscoverManager> discovery;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  std::shared_ptr<facade::test::RecordingDelegate> hooks =
      std::make_shared<facade::test::RecordingDelegate>();
  std::shared_ptr<facade::RetailerManager> manager;
  std::shared_ptr<ui::NavigationController> nav;
};

}  // namespace veltrix::testing
