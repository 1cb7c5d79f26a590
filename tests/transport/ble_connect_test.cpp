// The Bluetooth LE transport's first half: serial numbers from
// advertisements, scans, the connection state machine with its messages,
// connect by SN, the last device and scan-and-connect.
#include <gtest/gtest.h>

#include "ble_test_terminal.h"

namespace veltrix::transport::bletest {
namespace {

using S = BLEConnectStatus;

TEST(BleStateText, NamesEveryManagerState) {
  const char* texts[] = {"Bluetooth state unknown", "Bluetooth resetting",
                         "Bluetooth not supported", "Bluetooth permission denied",
                         "Bluetooth is off",        "Bluetooth is on"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(BLECommunicateService::bluetoothStateToString(i), texts[i]);
  EXPECT_EQ(BLECommunicateService::bluetoothStateToString(6), "Bluetooth state abnormal");
  EXPECT_EQ(BLECommunicateService::bluetoothStateToString(-1), "Bluetooth state abnormal");
}

using BleScanTest = BleTransportTest;

TEST_F(BleScanTest, TakesTheSerialNumberFromLongManufacturerDataOnly) {
  TestTerminal thirteen(
      radio, withData(Bytes{0x01, 0x02, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'}));
  TestTerminal twelve(radio, withData(Bytes(12, 'Z')));
  TestTerminal notUtf8(
      radio, withData(Bytes{0x01, 0x02, 0xC3, 0x28, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I'}));
  std::vector<BLEPeripheralModel> seen;
  service.startScan([&](const BLEPeripheralModel& m) { seen.push_back(m); });
  advanceSeconds(0.1);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].manufacturerName, "ABCDEFGHIJK");
  EXPECT_EQ(seen[1].manufacturerName, twelve.identifier());
  EXPECT_EQ(seen[2].manufacturerName, notUtf8.identifier());
  EXPECT_EQ(seen[0].name, "Tavio TAVIO0000001");
  EXPECT_EQ(seen[0].uuidString, thirteen.identifier());
  EXPECT_EQ(seen[0].rssi, -60);

  // A terminal whose data gave no SN still connects, under its identifier.
  ConnectCalls calls;
  service.connectPeripheralWithModel(seen[2], calls.block());
  advanceSeconds(0.1);
  ASSERT_EQ(calls.calls.size(), 1u);
  EXPECT_TRUE(calls.calls[0].ok);
  EXPECT_TRUE(service.isDeviceConnectedWithSN(notUtf8.identifier()));
}

TEST_F(BleScanTest, ScansOnlyWhileBluetoothIsOn) {
  TestTerminal terminal(radio);
  radio.setState(ble::ManagerState::PoweredOff);
  runPending();
  int single = 0;
  std::vector<std::size_t> lists;
  service.startScan([&](const BLEPeripheralModel&) { ++single; });
  service.startScanWithServiceUUID(std::nullopt, [&](const auto& l) { lists.push_back(l.size()); });
  advanceSeconds(1);
  EXPECT_EQ(single, 0);
  EXPECT_EQ(lists, std::vector<std::size_t>{0});

  radio.setState(ble::ManagerState::PoweredOn);
  runPending();
  ble::SimPeripheralSpec other;
  other.advertisement.serviceUuids = {*ble::BleUuid::fromString("180A")};
  radio.addPeripheral(other);
  service.startScanWithServiceUUID("", [&](const auto& l) { lists.push_back(l.size()); });
  advanceSeconds(0.1);
  EXPECT_EQ(lists, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(service.scanPeripheralList().size(), 2u);
  service.startScanWithServiceUUID("180a", [&](const auto& l) { lists.push_back(l.size()); });
  advanceSeconds(0.1);
  EXPECT_EQ(lists.back(), 1u);
  service.startScanWithServiceUUID("not a uuid", [&](const auto& l) { lists.push_back(l.size()); });
  EXPECT_EQ(lists.back(), 0u);
  service.stopScan();
  EXPECT_TRUE(service.scanPeripheralList().empty());
  EXPECT_FALSE(service.centralManager()->isScanning());
}

using BleConnectTest = BleTransportTest;

TEST_F(BleConnectTest, ConnectsARecordAndReportsEachState) {
  TestTerminal terminal(radio);
  std::optional<BLEPeripheralModel> model;
  service.startScan([&](const BLEPeripheralModel& m) { model = m; });
  advanceSeconds(0.1);
  ASSERT_TRUE(model);

  ConnectCalls calls;
  service.connectPeripheralWithModel(model, calls.block());
  EXPECT_FALSE(service.centralManager()->isScanning());
  EXPECT_EQ(service.getLastConnectDeviceUUID(), "TAVIO0000001");
  EXPECT_EQ(platform::UserDefaults(docs() / "defaults.json").stringForKey(kLastDeviceUUIDKey),
            "TAVIO0000001");
  ConnectCalls again;
  service.connectPeripheralWithModel(model, again.block());
  ASSERT_EQ(again.calls.size(), 1u);
  EXPECT_FALSE(again.calls[0].ok);
  EXPECT_EQ(again.calls[0].message, "Device is connecting");
  EXPECT_EQ(service.getConnectionBySN("TAVIO0000001")->connectStatus, S::Connecting);

  advanceSeconds(0.1);
  ASSERT_EQ(calls.calls.size(), 1u);
  EXPECT_TRUE(calls.calls[0].ok);
  EXPECT_EQ(calls.calls[0].message, "Device connected and ready for communication");
  EXPECT_EQ(calls.calls[0].sn, "TAVIO0000001");
  EXPECT_EQ(statuses,
            (std::vector<StatusEvent>{
                {S::Connecting, "Start connecting device", "TAVIO0000001"},
                {S::Ready, "Device connected and ready for communication", "TAVIO0000001"}}));
  EXPECT_TRUE(terminal.device().isSubscribed(kNotify));

  service.connectPeripheralWithModel(model, again.block());
  EXPECT_TRUE(again.calls[1].ok);
  EXPECT_EQ(again.calls[1].message, "Device already connected");
  service.connectPeripheralWithModel(std::nullopt, again.block());
  service.connectPeripheralWithModel(BLEPeripheralModel{}, again.block());
  EXPECT_EQ(again.calls[2].message, "Invalid device information");
  EXPECT_EQ(again.calls[3].message, "Invalid device information");
  EXPECT_FALSE(again.calls[3].sn);

  // A manual disconnect removes the record and its receive buffer.
  terminal.sendBytes(Bytes{0x02, 0x00});
  advanceSeconds(0.01);
  statuses.clear();
  service.disconnectDeviceWithSN("TAVIO0000001");
  advanceSeconds(0.1);
  EXPECT_EQ(statuses, (std::vector<StatusEvent>{
                          {S::Disconnected, "Device disconnected manually", "TAVIO0000001"}}));
  EXPECT_FALSE(service.getConnectionBySN("TAVIO0000001"));
  EXPECT_FALSE(service.isDeviceConnectedWithSN("TAVIO0000001"));
}

TEST_F(BleConnectTest, EveryFailureLeavesAFailedRecordWithItsMessage) {
  struct Case {
    std::function<void(ble::SimFaults&)> fault;
    std::string message;
  };
  const Case cases[] = {
      {[](ble::SimFaults& f) { f.connect = ble::SimFaults::Connect::Fail; },
       "Device connect failed: The connection failed."},
      {[](ble::SimFaults& f) {
         f.serviceDiscoveryError = ble::BleError{1, "d", "x"};
       },
       "Discover services failed"},
      {[](ble::SimFaults& f) {
         f.characteristicDiscoveryError = ble::BleError{1, "d", "x"};
       },
       "Discover characteristics failed"},
      // The write characteristic is there, but readiness needs the notify one.
      {[](ble::SimFaults& f) { f.hiddenCharacteristics = {kNotify}; },
       "Target characteristics not found"},
  };
  TestTerminal terminal(radio);
  for (const Case& c : cases) {
    ble::SimFaults faults;
    c.fault(faults);
    terminal.device().setFaults(faults);
    statuses.clear();
    ConnectCalls calls;
    service.connectPeripheralWithSN(terminal.sn(), calls.block());
    advanceSeconds(20);
    ASSERT_EQ(calls.calls.size(), 1u) << c.message;
    EXPECT_FALSE(calls.calls[0].ok);
    EXPECT_EQ(calls.calls[0].message, c.message);
    EXPECT_EQ(statuses.back(), (StatusEvent{S::Failed, c.message, terminal.sn()}));
    const auto record = service.getConnectionBySN(terminal.sn());
    ASSERT_TRUE(record) << c.message;
    EXPECT_EQ(record->connectStatus, S::Failed);
    service.disconnectDeviceWithSN(terminal.sn());
    advanceSeconds(0.1);
  }
  // A failed record gives way to a new attempt.
  terminal.device().setFaults({});
  connect(terminal);
}

TEST_F(BleConnectTest, ConnectBySerialNumberCompletesExactlyOnce) {
  TestTerminal terminal(radio, "sn-lower0001");
  ConnectCalls invalid;
  service.connectPeripheralWithSN(std::nullopt, invalid.block());
  service.connectPeripheralWithSN("", invalid.block());
  ASSERT_EQ(invalid.calls.size(), 2u);
  EXPECT_EQ(invalid.calls[1].message, "Invalid SN");
  EXPECT_FALSE(invalid.calls[1].sn);

  // A slow link: still connecting when the 3.0 s are up, ready later.
  ble::SimTiming slow;
  slow.connect = platform::seconds(5);
  radio.setTiming(slow);
  ConnectCalls calls;
  service.connectPeripheralWithSN("SN-LOWER0001", calls.block());
  advanceSeconds(3.0);
  EXPECT_TRUE(calls.calls.empty());
  advanceSeconds(3.0);
  ASSERT_EQ(calls.calls.size(), 1u);
  EXPECT_TRUE(calls.calls[0].ok);
  EXPECT_EQ(calls.calls[0].sn, "sn-lower0001");
  advanceSeconds(30);
  EXPECT_EQ(calls.calls.size(), 1u);

  ConnectCalls ready;
  service.connectPeripheralWithSN("sn-lower0001", ready.block());
  ASSERT_EQ(ready.calls.size(), 1u);
  EXPECT_TRUE(ready.calls[0].ok);
  EXPECT_FALSE(ready.calls[0].message);
}

TEST_F(BleConnectTest, ConnectBySerialNumberGivesUpOnAMissingOrHangingTerminal) {
  TestTerminal terminal(radio);
  terminal.device().setAdvertising(false);
  ConnectCalls calls;
  service.connectPeripheralWithSN(terminal.sn(), calls.block());
  advanceSeconds(2.9);
  EXPECT_TRUE(calls.calls.empty());
  advanceSeconds(0.1);
  ASSERT_EQ(calls.calls.size(), 1u);
  EXPECT_EQ(calls.calls[0].message, "Device not found");
  EXPECT_FALSE(service.centralManager()->isScanning());
  // Advertising again later does not connect it behind the caller's back.
  terminal.device().setAdvertising(true);
  advanceSeconds(10);
  EXPECT_EQ(calls.calls.size(), 1u);
  EXPECT_FALSE(service.getConnectionBySN(terminal.sn()));

  ble::SimFaults hang;
  hang.connect = ble::SimFaults::Connect::Hang;
  terminal.device().setFaults(hang);
  ConnectCalls hung;
  service.connectPeripheralWithSN(terminal.sn(), hung.block());
  advanceSeconds(12.9);
  EXPECT_TRUE(hung.calls.empty());
  advanceSeconds(0.1);
  ASSERT_EQ(hung.calls.size(), 1u);
  EXPECT_EQ(hung.calls[0].message, "Device not found");
  advanceSeconds(1);
  EXPECT_EQ(hung.calls.size(), 1u);
  EXPECT_FALSE(service.getConnectionBySN(terminal.sn()));
}

TEST_F(BleConnectTest, ConnectBySerialNumberStopsOnlyItsOwnScanAtItsTimeOut) {
  TestTerminal terminal(radio);
  terminal.device().setAdvertising(false);
  ConnectCalls calls;
  service.connectPeripheralWithSN(terminal.sn(), calls.block());
  // A list scan of the settings screen replaces the connect's scan.
  std::vector<std::size_t> lists;
  service.startScanWithServiceUUID(std::nullopt,
                                   [&](const auto& list) { lists.push_back(list.size()); });
  advanceSeconds(3.0);
  ASSERT_EQ(calls.calls.size(), 1u);
  EXPECT_EQ(calls.calls[0].message, "Device not found");
  EXPECT_TRUE(service.centralManager()->isScanning());
  terminal.device().setAdvertising(true);
  advanceSeconds(1);
  ASSERT_FALSE(lists.empty());
  EXPECT_EQ(lists.back(), 1u);
  EXPECT_FALSE(service.getConnectionBySN(terminal.sn()));
  service.stopScan();
}

TEST_F(BleConnectTest, ReconnectsTheLastDevice) {
  std::vector<std::pair<bool, std::string>> calls;
  const auto record = [&](bool ok, std::optional<std::string> m) {
    calls.emplace_back(ok, m.value_or("(null)"));
  };
  service.autoConnectLastDevice(record);
  EXPECT_EQ(calls.back(), std::make_pair(false, std::string("No historical connected device")));

  TestTerminal terminal(radio);
  connect(terminal);
  service.disconnectAllDevices();
  advanceSeconds(0.1);
  EXPECT_TRUE(service.isLastConnectDevice());
  service.autoConnectLastDevice(record);
  advanceSeconds(0.5);
  EXPECT_EQ(calls.back(),
            std::make_pair(true, std::string("Device connected and ready for communication")));

  service.disconnectAllDevices();
  advanceSeconds(0.1);
  terminal.device().setAdvertising(false);
  statuses.clear();
  service.autoConnectLastDevice(record);
  advanceSeconds(3.0);
  EXPECT_EQ(calls.back(),
            std::make_pair(false, std::string("Auto connect failed: device not found")));
  EXPECT_EQ(statuses, (std::vector<StatusEvent>{
                          {S::Failed, "Auto connect failed: device not found", terminal.sn()}}));
  EXPECT_EQ(calls.size(), 3u);

  service.clearLastConnectDevice();
  EXPECT_FALSE(service.isLastConnectDevice());
  EXPECT_FALSE(platform::UserDefaults(docs() / "defaults.json").stringForKey(kLastDeviceUUIDKey));
}

TEST_F(BleConnectTest, ScanAndConnectReportsKnownTerminalsAndEndsAtTheFirstNewOne) {
  TestTerminal known(radio, "KNOWN0000001");
  connect(known);
  TestTerminal fresh(radio, "FRESH0000001");
  struct Call {
    bool finished;
    std::shared_ptr<BLEDeviceConnection> connection;
    std::optional<std::string> sn;
  };
  std::vector<Call> calls;
  service.scanAndAutoConnectWithCompletion(
      [&](bool f, std::shared_ptr<BLEDeviceConnection> c, std::optional<std::string> sn) {
        calls.push_back({f, std::move(c), std::move(sn)});
      });
  advanceSeconds(1);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(calls[0].finished);
  EXPECT_EQ(calls[0].connection, service.getConnectionBySN("KNOWN0000001"));
  EXPECT_TRUE(calls[1].finished);
  EXPECT_FALSE(calls[1].connection);
  EXPECT_TRUE(service.isDeviceConnectedWithSN("FRESH0000001"));
  service.stopScan();
  EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace veltrix::transport::bletest
