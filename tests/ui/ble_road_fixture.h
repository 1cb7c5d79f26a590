// The Bluetooth screens end to end: the library's Bluetooth LE transport on
// a simulated radio of the test's own, the real settings facade and database,
// and RetailerManager sending over that transport, so that a payment after a
// screen's connection goes to the terminal the screen connected.
//
// Header-only; the test programs that include it link the simulator. Main
// loop only, on the manual clock.
#pragma once

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

namespace veltrix::testing {

class BleRoadTest : public UiTest {
 protected:
  BleRoadTest()
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

  ~BleRoadTest() override {
    driver().advance(3);  // transitions and timers still pending hold views
    manager.reset();
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  }

  std::optional<std::string> alertText() {
    ui::AlertController* alert = driver().alert();
    if (!alert) return std::nullopt;
    return alert->message();
  }

  // A payment that the user sends to `terminal` on the scan screen; it must
  // reach the terminal over Bluetooth LE, on the connection already made,
  // and end with result code 0.
  void payAndExpectItOverBluetooth(sim::BleSimulator& terminal) {
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

  registry::DatabaseManager db;
  registry::FileLogger logFile;
  facade::ResultBackManager results;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  platform::ble::SimRadio radio;
  platform::UserDefaults defaults;
  std::shared_ptr<transport::BLECommunicateService> service;
  transport::BLEDiscoveryAdapter adapter;
  std::shared_ptr<facade::test::RecordingDelegate> hooks =
      std::make_shared<facade::test::RecordingDelegate>();
  std::shared_ptr<facade::test::FakePresenter> presenter =
      std::make_shared<facade::test::FakePresenter>();
  std::shared_ptr<facade::RetailerManager> manager;
};

}  // namespace veltrix::testing
