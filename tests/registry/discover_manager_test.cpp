// DiscoverManager over recording fakes: the order of the LAN pass and tick,
// the window of recently seen terminals, datagram handling, handshake
// acceptance and registration, the pairing send and the Bluetooth LE pass.
// Nothing here touches the network.
#include "veltrix/registry/discover_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "registry/discovery_fakes.h"
#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/broadcast_bean.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {
namespace {

using platform::Json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

platform::InterfaceAddress entry(std::string name, std::string ip, std::string mask, bool up = true,
                                 bool loopback = false) {
  platform::InterfaceAddress e;
  e.name = std::move(name);
  e.up = up;
  e.loopback = loopback;
  e.ipv4 = std::move(ip);
  e.ipv4Netmask = std::move(mask);
  return e;
}

std::string packetFrom(const std::string& time) {
  return *BroadcastBean::initBroadcastBean(
              time, BroadcastBean::initBroadcastBean(time, {}).calcSignature())
              .toJSONString();
}

Json purchaseEntry() {
  return Json{{"serviceId", "pay"},
              {"serviceName", "收银"},
              {"serviceType", Json{{"Purchase", "消费"}, {"Refund", "退款"}}}};
}

Json terminalHandshake(const std::string& sn, Json services = Json::array({purchaseEntry()})) {
  return Json{{"sn", sn},
              {"address", "10.0.0.5:8080"},
              {"parameter", "http"},
              {"model", "P3"},
              {"time", "1"},
              {"services", std::move(services)},
              {"isCommuincationDevice", true},
              {"isPeripheral", false},
              {"contentType", "discover"},
              {"protocolVersion", "1.0.01"}};
}

class DiscoverManagerTest : public testing::LoopTest {
 protected:
  DiscoverManagerTest() {
    manager = std::make_unique<DiscoverManager>(DiscoverManager::Collaborators{
        db, client, server, sender, receiver, ble, settings, logFile});
    manager->setDelegate(recorder);
  }

  std::int64_t now() { return clock().wallMillis(); }
  void storeTerminal(const std::string& sn, const std::string& address, std::int64_t last) {
    const std::string t = std::to_string(last);
    ASSERT_TRUE(db.insertDiscoveredTerminal(sn, "P3", address, "http", address, 1, 0, 0, t, t,
                                            std::nullopt));
    ASSERT_TRUE(db.insertTerminalServices(sn, "Purchase", "消费", std::nullopt, "pay", "收银", 1, t,
                                          t, "payment"));
  }
  void receive(const Json& handshake, HandshakeType type = HandshakeType::Lan,
               std::optional<std::string> uuid = std::nullopt) {
    manager->onReceivedMessage(*platform::dumpJson(handshake), uuid, type);
  }
  Row terminalRow(const std::string& sn) { return db.fetchDiscoveredTerminal(sn); }

  testing::ScopedNetworkEnvironment network{
      std::vector{entry("en0", "192.168.1.37", "255.255.252.0")}};
  platform::ScopedLogCapture log;
  fakes::Events events;
  fakes::Sender sender{events};
  fakes::Receiver receiver{events};
  fakes::Client client{events};
  fakes::Server server{events};
  fakes::Ble ble;
  fakes::Settings settings;
  fakes::LogFileLines logFile;
  DatabaseManager db{docs() / "db.sqlite"};
  std::shared_ptr<fakes::Recorder> recorder = std::make_shared<fakes::Recorder>();
  std::unique_ptr<DiscoverManager> manager;
};

TEST_F(DiscoverManagerTest, LanPassRunsInOrderAndReportsOnlyRecentlySeenTerminals) {
  storeTerminal("A", "10.0.0.1:8080", now() - 14999);
  ASSERT_TRUE(db.insertTerminalServices("A", "Refund", "退款", std::nullopt, "pay", "收银", 2, "1",
                                        "1", "payment"));
  storeTerminal("B", "10.0.0.2:8080", now() - 15000);
  storeTerminal("C", "10.0.0.3", now());
  storeTerminal("D", "10.0.0.4:1", now() + 5000);
  storeTerminal("E", "", now() - 10);

  manager->startScan();
  EXPECT_TRUE(manager->isScanning());
  EXPECT_THAT(events, ElementsAre("udp.setup", "tcp.disconnectAll", "tcp.listen 8422",
                                  "udp.send 10.0.0.1:8421", "tcp.connect 10.0.0.1:8422",
                                  "udp.send 10.0.0.2:8421", "tcp.connect 10.0.0.2:8422",
                                  "udp.send 10.0.0.3:8421", "tcp.connect 10.0.0.3:8422",
                                  "udp.send 10.0.0.4:8421", "tcp.connect 10.0.0.4:8422",
                                  "udp.listen 8421", "udp.send 192.168.3.255:8421"));
  // Enabled and disabled services of A (seen 14999 ms ago) and E's; not
  // those seen 15000 ms ago, just now or in the future.
  EXPECT_THAT(recorder->calls, ElementsAre("service A Purchase pay", "service A Refund pay",
                                           "service E Purchase pay"));
  EXPECT_EQ(recorder->services[0].address, "10.0.0.1:8080");
  EXPECT_EQ(recorder->services[0].serviceTypeName, "消费");
  EXPECT_EQ(recorder->services[0].packageName, std::nullopt);
  EXPECT_EQ(manager->pendingSendCount(), 4u);
  EXPECT_EQ(manager->broadcastAddress(), "192.168.3.255");

  events.clear();
  manager->startScan();
  EXPECT_THAT(events, IsEmpty());
  EXPECT_TRUE(log.contains("扫描已在运行中，忽略重复启动"));
}

TEST_F(DiscoverManagerTest, EachTickProbesAgainAndForgetsWhatTheLastTickLeft) {
  storeTerminal("A", "10.0.0.1:8080", now() - 100000);
  manager->startScan();
  for (int tick = 0; tick < 3; ++tick) {
    events.clear();
    advanceSeconds(3.0);
    EXPECT_THAT(events, ElementsAre("tcp.disconnectAll", "udp.send 10.0.0.1:8421",
                                    "tcp.connect 10.0.0.1:8422", "tcp.listen 8422",
                                    "udp.listen 8421", "udp.send 192.168.3.255:8421"));
    // A terminal that never answers leaves no handshake behind.
    EXPECT_EQ(manager->pendingSendCount(), 1u);
  }
  EXPECT_THAT(recorder->calls, IsEmpty());

  events.clear();
  manager->stopScan();
  EXPECT_FALSE(manager->isScanning());
  EXPECT_THAT(events, ElementsAre("tcp.stop", "tcp.disconnectAll", "udp.stop"));
  EXPECT_EQ(manager->pendingSendCount(), 0u);
  events.clear();
  advanceSeconds(10.0);
  EXPECT_THAT(events, IsEmpty());

  // A manager dropped while its timers were due leaves nothing behind.
  manager->startScan();
  manager.reset();
  events.clear();
  advanceSeconds(10.0);
  EXPECT_THAT(events, IsEmpty());
}

TEST_F(DiscoverManagerTest, ALongProbePassKeepsItsOrderAndLetsTheLoopRunBetweenTerminals) {
  fakes::Events probes;
  for (int i = 1; i <= 40; ++i) {
    storeTerminal(fmt::format("T{}", i), fmt::format("10.0.1.{}:8080", i), now() - 100000);
    probes.push_back(fmt::format("udp.send 10.0.1.{}:8421", i));
    probes.push_back(fmt::format("tcp.connect 10.0.1.{}:8422", i));
  }
  manager->startScan();
  events.clear();
  // Work that arrives while the tick's first terminal is probed.
  client.onConnect = [&] {
    client.onConnect = nullptr;
    main().post([&] { events.emplace_back("other work"); });
  };
  advanceSeconds(3.0);

  const auto other = std::find(events.begin(), events.end(), "other work");
  ASSERT_NE(other, events.end());
  EXPECT_LT(other - events.begin(), 40);
  events.erase(other);
  fakes::Events expected{"tcp.disconnectAll"};
  expected.insert(expected.end(), probes.begin(), probes.end());
  expected.insert(expected.end(),
                  {"tcp.listen 8422", "udp.listen 8421", "udp.send 192.168.3.255:8421"});
  EXPECT_EQ(events, expected);
  EXPECT_EQ(manager->pendingSendCount(), 40u);

  // A stop in the middle of a pass ends it.
  client.onConnect = [&] {
    client.onConnect = nullptr;
    main().post([&] { manager->stopScan(); });
  };
  events.clear();
  advanceSeconds(3.0);
  EXPECT_LT(std::count(events.begin(), events.end(), "tcp.connect 10.0.1.40:8422"), 1);
  EXPECT_EQ(events.back(), "udp.stop");
}

TEST_F(DiscoverManagerTest, BroadcastAddressComesFromThePrivateWifiEntry) {
  EXPECT_TRUE(DiscoverManager::isPrivateIP("10.1.2.3"));
  EXPECT_TRUE(DiscoverManager::isPrivateIP("172.31.255.1"));
  EXPECT_TRUE(DiscoverManager::isPrivateIP("192.168.0.1"));
  EXPECT_FALSE(DiscoverManager::isPrivateIP("172.15.0.1"));
  EXPECT_FALSE(DiscoverManager::isPrivateIP("192.169.0.1"));
  EXPECT_FALSE(DiscoverManager::isPrivateIP("10.1.2"));
  EXPECT_FALSE(DiscoverManager::isPrivateIP("127.0.0.1"));
  EXPECT_EQ(DiscoverManager::calculateBroadcastAddress("192.168.1.37", "255.255.255.0"),
            "192.168.1.255");
  EXPECT_EQ(DiscoverManager::calculateBroadcastAddress("192.168.1.37", "255.255.252.0"),
            "192.168.3.255");
  EXPECT_EQ(DiscoverManager::calculateBroadcastAddress("192.168.1", "255.255.252.0"), std::nullopt);

  const auto install = [](std::vector<platform::InterfaceAddress> entries) {
    platform::setNetworkEnvironment(
        std::make_shared<testing::FixedNetworkEnvironment>(std::move(entries)));
  };
  // Public, down, loopback and differently named entries are passed over.
  install({entry("en0", "8.8.8.8", "255.255.255.0"), entry("en0", "10.9.9.9", "255.0.0.0", false),
           entry("eth1", "192.168.7.7", "255.255.255.0"), entry("en0", "10.1.2.3", "255.255.0.0")});
  EXPECT_EQ(manager->calculateBroadcastAddress(), "10.1.255.255");
  EXPECT_EQ(manager->wifiIPAddress(), "10.1.2.3");
  install({entry("en0", "8.8.8.8", "255.255.255.0")});
  EXPECT_EQ(manager->calculateBroadcastAddress(), std::nullopt);
  EXPECT_EQ(manager->wifiIPAddress(), "8.8.8.8");

  // The configuration may name the interface.
  install({entry("en0", "10.1.2.3", "255.255.0.0"), entry("wlan0", "172.16.4.4", "255.255.255.0")});
  DiscoveryConfig config;
  config.wifiInterface = "wlan0";
  manager->setConfig(config);
  EXPECT_EQ(manager->calculateBroadcastAddress(), "172.16.4.255");
  EXPECT_EQ(manager->wifiIPAddress(), "172.16.4.4");
  EXPECT_EQ(manager->getBroadcastAddress(), "10.1.255.255");
}

TEST_F(DiscoverManagerTest, DatagramsAreAnsweredOncePerTickAndHandshakenOncePerHost) {
  manager->startScan();
  events.clear();
  const std::string valid = packetFrom("1700000000000");

  // Own address 192.168.1.37 contains "192.168.1.3"; that sender is
  // somebody else and gets its handshake.
  manager->handleDiscoveryResponse(valid, "192.168.1.3");
  EXPECT_THAT(events, ElementsAre("udp.send 192.168.1.3:8421", "tcp.connect 192.168.1.3:8422"));
  EXPECT_EQ(manager->pendingSendCount(), 1u);

  events.clear();
  manager->handleDiscoveryResponse(valid, "192.168.1.3");
  EXPECT_THAT(events, IsEmpty());
  EXPECT_TRUE(log.contains("discover packet from 192.168.1.3 already answered in this tick"));

  // Answered, but no handshake: a bad signature, a time that is not text,
  // no JSON, the device's own address.
  events.clear();
  auto badSignature = *platform::parseJson(valid);
  badSignature["signature"] = "00";
  manager->handleDiscoveryResponse(*platform::dumpJson(badSignature), "192.168.1.4");
  manager->handleDiscoveryResponse(R"({"time":1700000000000,"signature":"x"})", "192.168.1.5");
  manager->handleDiscoveryResponse(std::nullopt, "192.168.1.6");
  manager->handleDiscoveryResponse(valid, "192.168.1.37");
  EXPECT_THAT(events, ElementsAre("udp.send 192.168.1.4:8421", "udp.send 192.168.1.5:8421",
                                  "udp.send 192.168.1.6:8421", "udp.send 192.168.1.37:8421"));

  // A mapped IPv6 sender is taken by its IPv4 part.
  events.clear();
  manager->handleDiscoveryResponse(valid, "::ffff:192.168.1.8");
  EXPECT_THAT(events, ElementsAre("udp.send 192.168.1.8:8421", "tcp.connect 192.168.1.8:8422"));

  // Once the connection has ended, the host may be handshaken again.
  events.clear();
  manager->didDisconnectWithConnectionId(1, std::nullopt);
  EXPECT_TRUE(log.contains("Disconnected from server - connectionId:1 error:(null)"));
  manager->handleDiscoveryResponse(valid, "192.168.1.3");
  EXPECT_THAT(events, ElementsAre("tcp.connect 192.168.1.3:8422"));

  // The next tick answers again.
  advanceSeconds(3.0);
  events.clear();
  manager->handleDiscoveryResponse(valid, "192.168.1.3");
  EXPECT_THAT(events, ElementsAre("udp.send 192.168.1.3:8421", "tcp.connect 192.168.1.3:8422"));
}

TEST_F(DiscoverManagerTest, OwnHandshakeIsWrittenWhenTheConnectionComesUp) {
  manager->startScan();
  manager->handleDiscoveryResponse(packetFrom("5"), "192.168.1.9");
  manager->didConnectToHost("192.168.1.9", 1);
  ASSERT_TRUE(client.sent.contains(1));
  EXPECT_EQ(manager->pendingSendCount(), 0u);
  const auto own = platform::parseJson(client.sent[1]);
  ASSERT_TRUE(own);
  EXPECT_EQ((*own)["address"], "192.168.1.37:8080");
  EXPECT_EQ((*own)["sn"], transport::KVISOUtils::getUUID().value_or(""));
  EXPECT_EQ((*own)["contentType"], "discover");
  EXPECT_EQ(own->size(), 13u);

  manager->didConnectToHost("192.168.1.9", 1);
  EXPECT_EQ(client.sent.size(), 1u);
  manager->didWriteDataWithTag(1, 1);
  EXPECT_TRUE(log.contains("数据写入完成 - connectionId:1 tag:1"));
}

TEST_F(DiscoverManagerTest, RefusedHandshakesLeaveNoTrace) {
  Json noServices = terminalHandshake("T1");
  noServices.erase("services");
  receive(noServices);
  Json objectServices = terminalHandshake("T1", Json{{"a", 1}});
  receive(objectServices);
  receive(terminalHandshake("T1", Json::array()));
  manager->onReceivedMessage("not json", std::nullopt, HandshakeType::Lan);
  EXPECT_EQ(log.count("not support this terminal"), 0u);

  Json oldVersion = terminalHandshake("T1");
  oldVersion["protocolVersion"] = "1.0.00";
  receive(oldVersion);
  Json otherContent = terminalHandshake("T1");
  otherContent["contentType"] = "caspReq";
  receive(otherContent);
  Json noSn = terminalHandshake("T1");
  noSn.erase("sn");
  receive(noSn);
  receive(terminalHandshake(""));
  EXPECT_EQ(log.count("not support this terminal"), 4u);

  EXPECT_THAT(db.fetchDiscoveredAllTerminal(), IsEmpty());
  EXPECT_THAT(db.fetchTerminalServices(), IsEmpty());
  EXPECT_THAT(recorder->calls, IsEmpty());
  EXPECT_THAT(manager->activedIps(), IsEmpty());
}

TEST_F(DiscoverManagerTest, NewTerminalIsStoredThenReportedWithOneRowPerServiceType) {
  Json services = Json::array(
      {purchaseEntry(), "junk",
       Json{{"serviceId", "x"}, {"serviceType", Json::array({"Purchase"})}},
       Json{{"serviceId", "odd"}, {"serviceName", "Odd"}, {"serviceType", Json{{"Mystery", "?"}}}},
       Json{{"serviceId", "none"}}});
  receive(terminalHandshake("T1", services), HandshakeType::Lan, "ignored");

  EXPECT_THAT(recorder->calls, ElementsAre("terminal T1", "service T1 Purchase pay",
                                           "service T1 Refund pay", "service T1 Mystery odd"));
  const std::string stamp = std::to_string(now());
  const Row terminal = terminalRow("T1");
  EXPECT_EQ(rowText(terminal, "model"), "P3");
  EXPECT_EQ(rowText(terminal, "address"), "10.0.0.5:8080");
  EXPECT_EQ(rowText(terminal, "alias"), "10.0.0.5:8080");
  EXPECT_EQ(rowText(terminal, "parameter"), "http");
  EXPECT_EQ(rowInt(terminal, "status"), 1);
  EXPECT_EQ(rowInt(terminal, "isCommunicationDevice"), 1);
  EXPECT_EQ(rowInt(terminal, "isPeripheral"), 0);
  EXPECT_EQ(rowText(terminal, "firstDiscoverTime"), stamp);
  EXPECT_EQ(rowText(terminal, "lastDiscoverTime"), stamp);
  EXPECT_FALSE(terminal.contains("uuidString"));

  const Rows rows = db.fetchTerminalServicesWithSn("T1");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rowText(rows[0], "serviceType"), "Purchase");
  EXPECT_EQ(rowText(rows[0], "serviceTypeName"), "消费");
  EXPECT_EQ(rowText(rows[0], "serviceName"), "收银");
  EXPECT_EQ(rowText(rows[0], "serviceCategory"), "payment");
  EXPECT_EQ(rowInt(rows[0], "isEnabled"), 1);
  EXPECT_EQ(rowText(rows[0], "createTime"), stamp);
  EXPECT_EQ(rowText(rows[0], "updateTime"), stamp);
  EXPECT_EQ(rowText(rows[1], "serviceType"), "Refund");
  EXPECT_EQ(rowText(rows[2], "serviceCategory"), "unknown");
  ASSERT_EQ(manager->activedIps().size(), 1u);
  EXPECT_EQ(manager->activedIps()[0].sn, "T1");
}

TEST_F(DiscoverManagerTest, KnownTerminalMergesItsParameterAndKeepsWhatIsMissing) {
  receive(terminalHandshake("T1"));
  const std::string first = std::to_string(now());
  const std::string tsId = *rowText(db.fetchTerminalServicesWithSn("T1")[0], "tsId");

  clock().setWallMillis(now() + 1000);
  Json ble = terminalHandshake("T1");
  ble["parameter"] = "ble";
  ble.erase("address");
  receive(ble);
  Row row = terminalRow("T1");
  EXPECT_EQ(rowText(row, "parameter"), "http,ble");
  EXPECT_EQ(rowText(row, "address"), "10.0.0.5:8080");
  EXPECT_EQ(rowText(row, "firstDiscoverTime"), first);
  EXPECT_EQ(rowText(row, "lastDiscoverTime"), std::to_string(now()));
  Rows services = db.fetchTerminalServicesWithSn("T1");
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(rowText(services[0], "tsId"), tsId);
  EXPECT_EQ(rowText(services[0], "updateTime"), std::to_string(now()));
  EXPECT_EQ(rowText(services[0], "createTime"), first);

  // Contained already (even as part of a longer word), or missing: kept.
  for (const char* parameter : {"http", "tt", "ble"}) {
    Json again = terminalHandshake("T1");
    again["parameter"] = parameter;
    receive(again);
    EXPECT_EQ(rowText(terminalRow("T1"), "parameter"), "http,ble") << parameter;
  }
  Json none = terminalHandshake("T1");
  none.erase("parameter");
  receive(none);
  EXPECT_EQ(rowText(terminalRow("T1"), "parameter"), "http,ble");

  // A Bluetooth LE handshake records its identity and leaves the address.
  Json moved = terminalHandshake("T1");
  moved["address"] = "9.9.9.9:1";
  receive(moved, HandshakeType::Ble, "SN-BLE");
  row = terminalRow("T1");
  EXPECT_EQ(rowText(row, "uuidString"), "SN-BLE");
  EXPECT_EQ(rowText(row, "address"), "10.0.0.5:8080");
  EXPECT_EQ(recorder->terminals.back().uuidString, "SN-BLE");

  // Reported every time, held once.
  EXPECT_EQ(recorder->terminals.size(), 7u);
  EXPECT_EQ(manager->activedIps().size(), 1u);

  // A disabled service comes back as a new enabled row beside it.
  ASSERT_TRUE(db.updataTerminalServiceStatus(leadingInteger(tsId), 2));
  receive(terminalHandshake("T1"));
  services = db.fetchTerminalServicesWithSn("T1");
  ASSERT_EQ(services.size(), 3u);
  EXPECT_EQ(rowInt(services[0], "isEnabled"), 2);
  EXPECT_EQ(rowText(services[2], "serviceType"), "Purchase");
  EXPECT_EQ(rowInt(services[2], "isEnabled"), 1);
}

TEST_F(DiscoverManagerTest, StoredTerminalWithoutParameterTakesTheIncomingOne) {
  ASSERT_TRUE(db.insertDiscoveredTerminal("T2", "P3", "10.0.0.7:8080", std::nullopt, "a", 1, 0, 0,
                                          "1", "1", std::nullopt));
  receive(terminalHandshake("T2"));
  EXPECT_EQ(rowText(terminalRow("T2"), "parameter"), "http");
}

TEST_F(DiscoverManagerTest, PairingSendNeedsARunningLanScanAndAnotherHost) {
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg("10.0.0.5", "hello"));
  EXPECT_THAT(logFile.lines, ElementsAre("auth tcp client discover ip:10.0.0.5,msg:hello"));
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg(std::nullopt, "hello"));
  EXPECT_TRUE(log.contains("auth tcp client discover ip:(null),msg:hello"));

  manager->startScan();
  events.clear();
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg("192.168.1.37", "hello"));
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg("10.0.0.5", std::nullopt));
  EXPECT_THAT(events, IsEmpty());
  EXPECT_TRUE(manager->sendAuthWithActiveIpAndMsg("10.0.0.5", "hello"));
  EXPECT_THAT(events, ElementsAre("tcp.connect 10.0.0.5:8422"));
  manager->didConnectToHost("10.0.0.5", 1);
  EXPECT_EQ(client.sent[1], "hello");

  client.refuse = true;
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg("10.0.0.6", "hello"));
  EXPECT_EQ(manager->pendingSendCount(), 0u);
}

TEST_F(DiscoverManagerTest, BluetoothPassRunsAloneAndOutlivesTheScan) {
  settings.lan = false;
  settings.ble = true;
  ble.connected = {"SN1", "SN2"};
  manager->startScan();
  EXPECT_THAT(events, IsEmpty());
  ASSERT_EQ(ble.sent.size(), 2u);
  EXPECT_EQ(ble.sent[0].first, "SN1");
  EXPECT_TRUE(platform::parseJson(ble.sent[0].second));
  EXPECT_TRUE(log.contains("ble terminal count = 2"));
  EXPECT_EQ(ble.scans, 1);

  advanceSeconds(5.0);
  EXPECT_EQ(ble.sent.size(), 4u);
  ble.completion("SN3");
  ble.completion(std::nullopt);
  EXPECT_EQ(ble.sent.size(), 5u);
  EXPECT_EQ(ble.sent.back().first, "SN3");

  manager->stopScan();
  advanceSeconds(10.0);
  EXPECT_EQ(ble.sent.size(), 5u);
  EXPECT_THAT(events, IsEmpty());
  // The transport goes on after the stop: a new connection still gets the
  // handshake, and a reply is still registered.
  ble.completion("SN4");
  EXPECT_EQ(ble.sent.size(), 6u);
  auto delegate = ble.delegate.lock();
  ASSERT_TRUE(delegate);
  delegate->didReceiveData(*platform::dumpJson(terminalHandshake("T9")), "SN4");
  EXPECT_EQ(rowText(terminalRow("T9"), "uuidString"), "SN4");
  EXPECT_THAT(recorder->calls, ::testing::Contains("terminal T9"));
}

TEST_F(DiscoverManagerTest, WithBothMethodsOffAScanRunsButDoesNothing) {
  settings.lan = false;
  manager->startScan();
  EXPECT_TRUE(manager->isScanning());
  advanceSeconds(10.0);
  EXPECT_THAT(events, IsEmpty());
  EXPECT_TRUE(ble.sent.empty());
  EXPECT_FALSE(manager->sendAuthWithActiveIpAndMsg("10.0.0.5", "x"));

  manager->finishedScanMlan();
  EXPECT_FALSE(manager->isScanning());
  EXPECT_THAT(recorder->calls, ElementsAre("finished"));
}

}  // namespace
}  // namespace veltrix::registry
