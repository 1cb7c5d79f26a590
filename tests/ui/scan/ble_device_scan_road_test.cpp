// The Bluetooth device list end to end: the screen on the library's
// Bluetooth LE transport and the simulated radio with tavio-sim's Bluetooth
// LE terminal, then a payment through RetailerManager to the terminal the
// screen connected.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/ble_simulator.h"
#include "support/ui_test_env.h"
#include "veltrix/facade/ble_transport_probe.h"
#include "veltrix/facade/candidate_probes.h"
#include "veltrix/platform/json.h"
#include "veltrix/transport/ble_discovery_adapter.h"
#include "veltrix/ui/scan/ble_device_scan_view_controller.h"

namespace veltrix::ui::scan {
namespace {

using facade::test::FakePresenter;
using facade::test::RecordingDelegate;

class BleDeviceScanRoadTest : public testing::UiTest {
 protected:
  BleDeviceScanRoadTest()
      : db(docs() / "road.sqlite"),
        logFile(docs() / "road-log.txt"),
        settings(std::make_shared<facade::RetailerSettingManager>(db)),
        radio(platform::MainLoop::sharedPtr()),
        defaults(docs() / "defaults.json"),
        service(
            std::make_shared<transport::BLECommunicateService>(radio.createCentral(), defaults)),
        adapter(service) {
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider(
        [] { return std::optional<std::string>("DEVICE-0001"); });
    facade::CommunicateFactory factory(
        [](const std::string&) -> facade::CommunicateServicePtr { return nullptr; },
        [this](const std::string&) -> facade::CommunicateServicePtr { return service; });
    manager = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        db, results, *settings, logFile, adapter, factory, std::make_shared<facade::TcpPinger>(),
        std::make_shared<facade::BleTransportProbeService>(service)});
    manager->setDelegate(hooks);
    manager->initWithNavigationController(presenter);
    runPending();  // the radio's first state
  }

  ~BleDeviceScanRoadTest() override {
    driver().advance(3);  // transitions and timers still pending hold views
    manager.reset();
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  }

  std::optional<std::string> alertText() {
    AlertController* alert = driver().alert();
    if (!alert) return std::nullopt;
    return alert->message();
  }

  registry::DatabaseManager db;
  registry::FileLogger logFile;
  facade::ResultBackManager results;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  platform::ble::SimRadio radio;
  platform::UserDefaults defaults;
  std::shared_ptr<transport::BLECommunicateService> service;
  transport::BLEDiscoveryAdapter adapter;
  std::shared_ptr<RecordingDelegate> hooks = std::make_shared<RecordingDelegate>();
  std::shared_ptr<FakePresenter> presenter = std::make_shared<FakePresenter>();
  std::shared_ptr<facade::RetailerManager> manager;
};

TEST_F(BleDeviceScanRoadTest, ATappedTerminalIsConnectedStoredAndCarriesThePayment) {
  sim::BleSimulator terminal(radio, {});
  auto screen = std::make_shared<BLEDeviceScanViewController>(
      BLEDeviceScanViewController::Collaborators{makeBleDeviceLink(service), settings});
  show(std::make_shared<NavigationController>(screen));
  driver().advance(1);

  ASSERT_EQ(screen->deviceArray().size(), 1u);
  EXPECT_EQ(screen->deviceArray()[0].manufacturerName, terminal.sn());
  EXPECT_TRUE(driver().isTextVisible("Tavio T1 Pro"));
  EXPECT_TRUE(driver().isTextVisible(terminal.sn() + "\n-60 dBm"));
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "");

  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(0)));
  driver().advance(1);
  EXPECT_EQ(alertText(), "Connected Success");
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "1");
  EXPECT_TRUE(screen->scanBtn()->isEnabled());
  EXPECT_TRUE(service->isDeviceConnectedWithSN(terminal.sn()));
  driver().advance(2);
  EXPECT_EQ(driver().alert(), nullptr);

  // The payment goes to the connected terminal over Bluetooth LE.
  std::string exchangeId;
  std::vector<std::int64_t> codes;
  model::PaymentParam param;
  param.totalAmount = "25.00";
  param.transactionReference = "ORDER-24";
  manager->payment(
      param, [&](const std::string& id) { exchangeId = id; },
      [&](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
          std::optional<std::string>) {
        codes.push_back(code);
        EXPECT_TRUE(result && result->transactionReference == "ORDER-24");
      });
  ASSERT_FALSE(presenter->delegates.empty());
  presenter->delegates.back()->onScanTerminalSucc(
      {{"sn", terminal.sn()}, {"uuidString", terminal.identifier()}, {"serviceId", "pay"}});
  driver().advance(2);
  ASSERT_TRUE(main().runUntil([&] { return !codes.empty(); }));

  EXPECT_EQ(codes, std::vector<std::int64_t>{0});
  ASSERT_EQ(terminal.requests().size(), 1u);
  const std::optional<platform::Json> request = platform::parseJson(terminal.requests()[0]);
  ASSERT_TRUE(request);
  EXPECT_EQ((*request)["exchangeIdentification"], exchangeId);
  EXPECT_EQ((*request)["remoteAccessType"], "BLUETOOTH_MAC");
  EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{terminal.sn()});
}

}  // namespace
}  // namespace veltrix::ui::scan
