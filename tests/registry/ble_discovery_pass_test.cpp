// Discovery's Bluetooth LE pass end to end: DiscoverManager over the
// Bluetooth LE transport on the simulated radio, against tavio-sim's
// Bluetooth LE terminal. The LAN is switched off, so its fakes stay silent.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registry/discovery_fakes.h"
#include "sim/ble_simulator.h"
#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/transport/ble_discovery_adapter.h"

namespace veltrix::registry {
namespace {

namespace ble = ::veltrix::platform::ble;

platform::InterfaceAddress wifi() {
  platform::InterfaceAddress e;
  e.name = "en0";
  e.up = true;
  e.ipv4 = "192.168.1.37";
  e.ipv4Netmask = "255.255.255.0";
  return e;
}

class BleDiscoveryPassTest : public testing::LoopTest {
 protected:
  BleDiscoveryPassTest()
      : radio(platform::MainLoop::sharedPtr()),
        defaults(docs() / "defaults.json"),
        service(
            std::make_shared<transport::BLECommunicateService>(radio.createCentral(), defaults)),
        adapter(service) {
    settings.lan = false;
    settings.ble = true;
    manager = std::make_unique<DiscoverManager>(DiscoverManager::Collaborators{
        db, client, server, sender, receiver, adapter, settings, logFile});
    manager->setDelegate(recorder);
    runPending();  // the radio's first state
  }
  ~BleDiscoveryPassTest() override { manager.reset(); }

  testing::ScopedNetworkEnvironment network{std::vector{wifi()}};
  platform::ScopedLogCapture log;
  fakes::Events events;
  fakes::Sender sender{events};
  fakes::Receiver receiver{events};
  fakes::Client client{events};
  fakes::Server server{events};
  fakes::Settings settings;
  fakes::LogFileLines logFile;
  DatabaseManager db{docs() / "db.sqlite"};
  ble::SimRadio radio;
  platform::UserDefaults defaults;
  std::shared_ptr<transport::BLECommunicateService> service;
  transport::BLEDiscoveryAdapter adapter;
  std::shared_ptr<fakes::Recorder> recorder = std::make_shared<fakes::Recorder>();
  std::unique_ptr<DiscoverManager> manager;
};

TEST_F(BleDiscoveryPassTest, RegistersATerminalFoundOverBluetoothWithItsUuidString) {
  sim::BleTerminalOptions options;
  options.sn = "TAVIO-BLE-0001";
  options.model = "T2 Mini";
  sim::BleSimulator terminal(radio, options);

  manager->startScan();
  advanceSeconds(1);
  // The scan connected the terminal; the handshake waits for the next tick.
  EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{terminal.sn()});
  EXPECT_TRUE(terminal.handshakes().empty());
  advanceSeconds(4.5);

  ASSERT_EQ(terminal.handshakes().size(), 1u);
  const std::optional<platform::Json> own = platform::parseJson(terminal.handshakes()[0]);
  ASSERT_TRUE(own);
  EXPECT_EQ((*own)["contentType"], "discover");
  EXPECT_EQ((*own)["protocolVersion"], "1.0.01");

  const Row row = db.fetchDiscoveredTerminal(terminal.sn());
  EXPECT_EQ(rowText(row, "uuidString"), terminal.sn());
  EXPECT_EQ(rowText(row, "model"), "T2 Mini");
  EXPECT_EQ(rowText(row, "parameter"), "ble");
  EXPECT_EQ(db.fetchTerminalServicesWithSn(terminal.sn()).size(), 16u);
  ASSERT_FALSE(recorder->calls.empty());
  EXPECT_EQ(recorder->calls.front(), "terminal " + terminal.sn());
  EXPECT_EQ(recorder->services.size(), 16u);
  ASSERT_EQ(manager->activedIps().size(), 1u);
  EXPECT_EQ(manager->activedIps()[0].sn, terminal.sn());
  EXPECT_TRUE(events.empty());

  // Every tick repeats the handshake; the terminal stays registered once.
  advanceSeconds(5);
  EXPECT_EQ(terminal.handshakes().size(), 2u);
  EXPECT_EQ(manager->activedIps().size(), 1u);
  manager->stopScan();
  advanceSeconds(10);
  EXPECT_EQ(terminal.handshakes().size(), 2u);
}

TEST_F(BleDiscoveryPassTest, ATerminalKnownOnTheLanKeepsItsAddress) {
  ASSERT_TRUE(db.insertDiscoveredTerminal("TAVIO-SIM-0001", "T1 Pro", "10.0.0.5:8080", "http",
                                          "10.0.0.5:8080", 1, 1, 0, "1", "1", std::nullopt));
  sim::BleSimulator terminal(radio, {});
  manager->startScan();
  advanceSeconds(5.5);
  const Row row = db.fetchDiscoveredTerminal(terminal.sn());
  EXPECT_EQ(rowText(row, "uuidString"), terminal.sn());
  EXPECT_EQ(rowText(row, "address"), "10.0.0.5:8080");
  EXPECT_EQ(rowText(row, "parameter"), "http,ble");
}

}  // namespace
}  // namespace veltrix::registry
