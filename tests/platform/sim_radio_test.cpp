// The simulated radio: UUIDs, scans, connects, GATT operations and their
// order, the fault knobs, and power loss, all on the manual clock.
#include "veltrix/platform/ble/sim_radio.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace veltrix::platform::ble {
namespace {

BleUuid uuid(std::string_view text) { return *BleUuid::fromString(text); }

const BleUuid kService = uuid("4f565453-4341-5042-5453-657276696365");
const BleUuid kWrite = uuid("52784341-5350-5265-7175-657374000000");
const BleUuid kNotify = uuid("52784341-5350-5265-7370-6f6e73650000");

TEST(BleUuid, ParsesComparesAndPrintsItsForms) {
  EXPECT_EQ(uuid("180A").str(), "180a");
  EXPECT_EQ(uuid("0000180a").str(), "0000180a");
  EXPECT_EQ(kNotify.str(), "52784341-5350-5265-7370-6f6e73650000");
  EXPECT_TRUE(kNotify.equalsText("52784341-5350-5265-7370-6F6E73650000"));
  EXPECT_FALSE(kNotify.equalsText("52784341-5350-5265-7370-6F6E73650001"));
  // Short forms stand for their place on the base UUID.
  EXPECT_EQ(uuid("180A"), uuid("0000180A-0000-1000-8000-00805F9B34FB"));
  EXPECT_EQ(uuid("180A"), uuid("0000180a"));
  EXPECT_FALSE(uuid("180A") == uuid("180B"));
  for (const char* bad : {"", "180", "18G0", "4f565453x4341-5042-5453-657276696365",
                          "4f5654534341-5042-5453-657276696365a"}) {
    EXPECT_FALSE(BleUuid::fromString(bad)) << bad;
  }
  EXPECT_TRUE(BleUuid(Bytes{1, 2, 3}).empty());
  EXPECT_FALSE(BleUuid().equalsText(""));
}

struct CentralEvents : CentralDelegate {
  std::vector<ManagerState> states;
  std::vector<std::string> discovered;
  std::shared_ptr<Peripheral> last;
  int connected = 0;
  std::vector<std::optional<BleError>> failed, disconnected;

  void didUpdateState(ManagerState s) override { states.push_back(s); }
  void didDiscover(const std::shared_ptr<Peripheral>& p, const AdvertisementData&,
                   std::int64_t) override {
    discovered.push_back(p->identifier());
    last = p;
  }
  void didConnect(const std::shared_ptr<Peripheral>&) override { ++connected; }
  void didFailToConnect(const std::shared_ptr<Peripheral>&,
                        const std::optional<BleError>& e) override {
    failed.push_back(e);
  }
  void didDisconnect(const std::shared_ptr<Peripheral>&,
                     const std::optional<BleError>& e) override {
    disconnected.push_back(e);
  }
};

struct PeripheralEvents : PeripheralDelegate {
  std::vector<std::optional<BleError>> services, characteristics, writes;
  std::vector<Bytes> values;
  std::vector<std::optional<BleError>> valueErrors;

  void didDiscoverServices(Peripheral&, const std::optional<BleError>& e) override {
    services.push_back(e);
  }
  void didDiscoverCharacteristics(Peripheral&, const std::shared_ptr<Service>&,
                                  const std::optional<BleError>& e) override {
    characteristics.push_back(e);
  }
  void didUpdateValue(Peripheral&, const std::shared_ptr<Characteristic>&,
                      const std::optional<Bytes>& value,
                      const std::optional<BleError>& e) override {
    if (value) values.push_back(*value);
    valueErrors.push_back(e);
  }
  void didWriteValue(Peripheral&, const std::shared_ptr<Characteristic>&,
                     const std::optional<BleError>& e) override {
    writes.push_back(e);
  }
};

class SimRadioTest : public testing::LoopTest {
 protected:
  SimRadioTest() : radio(MainLoop::sharedPtr()) {
    central = radio.createCentral();
    central->setDelegate(events);
  }

  std::shared_ptr<SimPeripheralDevice> addTerminal(const std::string& name = "T1") {
    SimPeripheralSpec spec;
    spec.name = name;
    spec.advertisement.serviceUuids = {kService};
    spec.services = {{kService, {{kWrite, {.write = true}}, {kNotify, {.notify = true}}}}};
    return radio.addPeripheral(spec);
  }

  // Scans until `device` is reported, connects it and discovers its GATT.
  std::shared_ptr<Peripheral> connectAndDiscover(
      const std::shared_ptr<SimPeripheralDevice>& device) {
    central->scanForPeripherals(std::nullopt, false);
    advance(millis(100));
    central->stopScan();
    EXPECT_EQ(events->last->identifier(), device->identifier());
    auto p = events->last;
    p->setDelegate(peripheralEvents);
    central->connect(p);
    advance(millis(30));
    p->discoverServices(std::nullopt);
    advance(millis(10));
    p->discoverCharacteristics(std::nullopt, p->services().at(0));
    advance(millis(10));
    return p;
  }

  std::shared_ptr<Characteristic> characteristic(const std::shared_ptr<Peripheral>& p,
                                                 const BleUuid& id) {
    for (const auto& c : p->services().at(0)->characteristics()) {
      if (c->uuid() == id) return c;
    }
    return nullptr;
  }

  SimRadio radio;
  std::shared_ptr<CentralManager> central;
  std::shared_ptr<CentralEvents> events = std::make_shared<CentralEvents>();
  std::shared_ptr<PeripheralEvents> peripheralEvents = std::make_shared<PeripheralEvents>();
};

TEST_F(SimRadioTest, ScansByAdvertisedServiceWithOrWithoutDuplicates) {
  EXPECT_EQ(central->state(), ManagerState::Unknown);
  runPending();
  EXPECT_EQ(events->states, std::vector<ManagerState>{ManagerState::PoweredOn});

  const auto terminal = addTerminal();
  SimPeripheralSpec other;
  other.advertisement.serviceUuids = {uuid("180A")};
  const auto watch = radio.addPeripheral(other);
  const auto silent = addTerminal("T3");
  silent->setAdvertising(false);

  central->scanForPeripherals(std::vector<BleUuid>{kService}, false);
  advance(millis(99));
  EXPECT_TRUE(events->discovered.empty());
  advance(millis(301));
  EXPECT_EQ(events->discovered, std::vector<std::string>{terminal->identifier()});

  events->discovered.clear();
  central->scanForPeripherals(std::nullopt, true);
  advance(millis(200));
  EXPECT_EQ(events->discovered.size(), 4u);  // both advertising devices, twice
  const auto sameObject = events->last;
  central->stopScan();
  advance(seconds(1));
  EXPECT_EQ(events->discovered.size(), 4u);
  central->scanForPeripherals(std::nullopt, false);
  advance(millis(100));
  EXPECT_EQ(events->last, sameObject);  // one peripheral object per device
}

TEST_F(SimRadioTest, RunsGattOperationsInOrderAfterTheirDelays) {
  runPending();
  const auto terminal = addTerminal();
  std::vector<std::pair<bool, Bytes>> seen;  // (subscribed when written, value)
  terminal->setWriteHandler([&](const BleUuid& c, const Bytes& v) {
    EXPECT_EQ(c, kWrite);
    seen.emplace_back(terminal->isSubscribed(kNotify), v);
    terminal->notify(kNotify, Bytes{0xAA});
  });
  const auto p = connectAndDiscover(terminal);
  EXPECT_EQ(events->connected, 1);
  EXPECT_TRUE(terminal->isConnected());
  ASSERT_EQ(peripheralEvents->characteristics.size(), 1u);
  ASSERT_TRUE(characteristic(p, kWrite) && characteristic(p, kNotify));

  // The write is quicker than the notification switch but waits behind it.
  p->setNotifyValue(true, characteristic(p, kNotify));
  p->writeValueWithResponse(Bytes{1, 2}, characteristic(p, kWrite));
  advance(millis(9));
  EXPECT_TRUE(seen.empty());
  advance(millis(1));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].first);
  EXPECT_EQ(peripheralEvents->writes, (std::vector<std::optional<BleError>>{std::nullopt}));
  EXPECT_TRUE(peripheralEvents->values.empty());
  advance(millis(5));
  EXPECT_EQ(peripheralEvents->values, std::vector<Bytes>{Bytes{0xAA}});

  EXPECT_TRUE(terminal->notifyInChunks(kNotify, Bytes{1, 2, 3, 4, 5}, 2));
  advance(millis(5));
  EXPECT_EQ(peripheralEvents->values.size(), 4u);
  EXPECT_EQ(peripheralEvents->values.back(), Bytes{5});
}

TEST_F(SimRadioTest, ConnectedPeripheralsAreThoseLinkedToAnyCentralOfferingTheService) {
  runPending();
  const auto terminal = addTerminal();
  const auto other = radio.createCentral();
  EXPECT_TRUE(other->retrieveConnectedPeripherals({kService}).empty());

  const auto p = connectAndDiscover(terminal);
  addTerminal("T2");  // in range, not connected
  const auto found = other->retrieveConnectedPeripherals({uuid("180A"), kService});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->identifier(), terminal->identifier());
  EXPECT_NE(found[0], p) << "each central has its own peripheral object";
  EXPECT_TRUE(other->retrieveConnectedPeripherals({uuid("180A")}).empty());

  terminal->disconnect();
  advance(millis(10));
  EXPECT_TRUE(central->retrieveConnectedPeripherals({kService}).empty());
}

TEST_F(SimRadioTest, FaultKnobs) {
  runPending();
  const auto terminal = addTerminal();
  SimFaults faults;
  faults.connect = SimFaults::Connect::Fail;
  terminal->setFaults(faults);
  central->scanForPeripherals(std::nullopt, false);
  advance(millis(100));
  const auto p = events->last;
  p->setDelegate(peripheralEvents);
  central->connect(p);
  advance(millis(30));
  ASSERT_EQ(events->failed.size(), 1u);
  EXPECT_EQ(events->failed[0]->localizedDescription, faults.connectError.localizedDescription);

  faults.connect = SimFaults::Connect::Hang;
  terminal->setFaults(faults);
  central->connect(p);
  advance(seconds(60));
  EXPECT_EQ(p->state(), PeripheralState::Connecting);
  central->cancelPeripheralConnection(p);
  advance(millis(10));
  EXPECT_EQ(events->disconnected, (std::vector<std::optional<BleError>>{std::nullopt}));

  faults = {};
  faults.serviceDiscoveryError = BleError{1, "CBErrorDomain", "no"};
  faults.hiddenCharacteristics = {kNotify};
  faults.failWriteNumber = 2;
  terminal->setFaults(faults);
  int handled = 0;
  terminal->setWriteHandler([&](const BleUuid&, const Bytes&) { ++handled; });
  central->connect(p);
  advance(millis(30));
  p->discoverServices(std::nullopt);
  advance(millis(10));
  ASSERT_EQ(peripheralEvents->services.size(), 1u);
  EXPECT_TRUE(peripheralEvents->services[0]);

  faults.serviceDiscoveryError.reset();
  terminal->setFaults(faults);
  p->discoverServices(std::nullopt);
  advance(millis(10));
  p->discoverCharacteristics(std::nullopt, p->services().at(0));
  advance(millis(10));
  EXPECT_TRUE(characteristic(p, kWrite));
  EXPECT_FALSE(characteristic(p, kNotify));
  for (int i = 0; i < 3; ++i) p->writeValueWithResponse(Bytes{1}, characteristic(p, kWrite));
  advance(millis(20));
  ASSERT_EQ(peripheralEvents->writes.size(), 3u);
  EXPECT_FALSE(peripheralEvents->writes[0]);
  EXPECT_EQ(peripheralEvents->writes[1], faults.writeError);
  EXPECT_FALSE(peripheralEvents->writes[2]);
  EXPECT_EQ(handled, 2);
  EXPECT_EQ(terminal->writeCount(), 2);

  terminal->disconnect();
  advance(millis(10));
  ASSERT_EQ(events->disconnected.size(), 2u);
  EXPECT_TRUE(events->disconnected[1]);
  EXPECT_FALSE(terminal->isConnected());
}

TEST_F(SimRadioTest, PowerLossEndsLinksAndScansWithoutDisconnectReports) {
  runPending();
  const auto terminal = addTerminal();
  const auto p = connectAndDiscover(terminal);
  p->setNotifyValue(true, characteristic(p, kNotify));
  advance(millis(10));
  central->scanForPeripherals(std::nullopt, true);

  radio.setState(ManagerState::PoweredOff);
  runPending();
  EXPECT_EQ(events->states.back(), ManagerState::PoweredOff);
  EXPECT_EQ(central->state(), ManagerState::PoweredOff);
  EXPECT_FALSE(central->isScanning());
  EXPECT_TRUE(events->disconnected.empty());
  EXPECT_EQ(p->state(), PeripheralState::Disconnected);
  EXPECT_FALSE(terminal->isConnected());
  EXPECT_FALSE(terminal->notify(kNotify, Bytes{1}));

  // A write on the dead link is answered, not lost.
  p->writeValueWithResponse(Bytes{1}, characteristic(p, kWrite));
  advance(millis(5));
  ASSERT_EQ(peripheralEvents->writes.size(), 1u);
  EXPECT_TRUE(peripheralEvents->writes[0]);

  central->connect(p);
  advance(seconds(1));
  EXPECT_EQ(events->connected, 1);

  radio.setState(ManagerState::PoweredOn);
  runPending();
  central->connect(p);
  advance(millis(30));
  EXPECT_EQ(events->connected, 2);
}

}  // namespace
}  // namespace veltrix::platform::ble
