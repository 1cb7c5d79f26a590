// Discovery end to end over loopback against a literal terminal: the three
// roads by which a terminal is found, TCP text in chunks, the limits that
// protect the scan from its peers, and the pairing request. The library
// binds 127.0.0.1, the terminal 127.0.0.2; both use free ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "registry/discovery_fakes.h"
#include "registry/literal_terminal.h"
#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/auth_manager.h"
#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {
namespace {

using platform::Json;
using testpeer::LiteralTerminal;

const std::string kSn = "TAVIO-SIM-0001";

class DiscoveryLoopbackTest : public testing::LoopTest {
 protected:
  DiscoveryLoopbackTest() : DiscoveryLoopbackTest(LiteralTerminal::Options{}) {}
  explicit DiscoveryLoopbackTest(LiteralTerminal::Options options)
      : peer(std::make_unique<LiteralTerminal>(std::move(options))) {
    DiscoveryConfig config;
    config.udpPort = 0;
    config.tcpPort = 0;
    config.bindAddress = testpeer::kLibraryHost;
    config.terminalUdpPort = peer->udpPort();
    config.terminalTcpPort = peer->tcpPort();
    manager = std::make_unique<DiscoverManager>(
        DiscoverManager::Collaborators{db, client, server, sender, receiver, ble, settings,
                                       logFile},
        config);
    manager->setDelegate(recorder);
  }

  void startScan() {
    ASSERT_TRUE(peer->ok());
    manager->startScan();
    ASSERT_NE(manager->udpListeningPort(), 0);
    ASSERT_NE(manager->tcpListeningPort(), 0);
    peer->setLibraryPorts(manager->udpListeningPort(), manager->tcpListeningPort());
  }
  bool pump(const std::function<bool()>& done) { return main().runUntil(done); }
  bool reported() {
    return pump([&] { return recorder->services.size() >= 2; });
  }
  std::size_t terminalReports() const {
    return static_cast<std::size_t>(
        std::count(recorder->calls.begin(), recorder->calls.end(), "terminal " + kSn));
  }

  testing::ScopedNetworkEnvironment network{
      std::vector{testing::interfaceEntry("en0", "127.0.0.1")}};
  platform::ScopedLogCapture log;
  DatabaseManager db{docs() / "db.sqlite"};
  BroadcastSender sender{testpeer::kLibraryHost};
  BroadcastReceiver receiver;
  transport::TCPSocketClient client;
  transport::TCPSocketServer server;
  transport::RadioOffBleTransport ble;
  fakes::Settings settings;
  FileLogger logFile{docs() / "log.txt"};
  std::shared_ptr<fakes::Recorder> recorder = std::make_shared<fakes::Recorder>();
  std::unique_ptr<LiteralTerminal> peer;
  std::unique_ptr<DiscoverManager> manager;
};

TEST_F(DiscoveryLoopbackTest, FoundByItsDiscoverPacketThenOverTcp) {
  startScan();
  // A packet from the device's own (Wi-Fi) address is not even answered.
  BroadcastSender self{testpeer::kLibraryHost};
  self.sendBroadcastMessage(peer->discoverPacket(), manager->udpListeningPort(),
                            testpeer::kLibraryHost);
  peer->sendDiscoverPacket();
  ASSERT_TRUE(reported());
  EXPECT_EQ(recorder->calls[0], "terminal " + kSn);

  // The library answered with its own signed packet (the terminal's socket
  // may record it after the handshake has already been reported) ...
  ASSERT_TRUE(pump([&] { return !peer->datagrams().empty(); }));
  const auto datagrams = peer->datagrams();
  const auto packet = platform::parseJson(datagrams[0]);
  ASSERT_TRUE(packet);
  EXPECT_EQ((*packet)["signature"], testpeer::packetSignature((*packet)["time"]));
  EXPECT_EQ(log.count("Send broadcast to 127.0.0.1:"), 1u);  // only the test's own
  // ... and handed over its handshake, which the terminal can verify.
  ASSERT_TRUE(pump([&] { return !peer->texts().empty(); }));
  const auto own = platform::parseJson(peer->texts()[0]);
  ASSERT_TRUE(own);
  EXPECT_EQ((*own)["address"], "127.0.0.1:8080");
  EXPECT_EQ((*own)["signature"],
            testpeer::handshakeSignature((*own)["sn"], (*own)["address"], (*own)["parameter"],
                                         (*own)["model"], (*own)["time"]));

  const Row terminal = db.fetchDiscoveredTerminal(kSn);
  EXPECT_EQ(rowText(terminal, "address"), "127.0.0.2:8080");
  EXPECT_EQ(rowText(terminal, "model"), "T1 Pro");
  const Rows services = db.fetchTerminalServicesWithSn(kSn);
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(rowText(services[0], "serviceName"), "收银台");
  EXPECT_EQ(rowText(services[1], "serviceCategory"), "payment");
  // The connection is closed once the handshake is in.
  EXPECT_TRUE(pump([&] { return peer->acceptedClosed() == 1; }));
}

TEST_F(DiscoveryLoopbackTest, FoundAsAStoredTerminal) {
  const std::string old = std::to_string(clock().wallMillis() - 60000);
  ASSERT_TRUE(db.insertDiscoveredTerminal(kSn, "T1", "127.0.0.2:8080", "ble", "Till 1", 1, 0, 0,
                                          old, old, std::nullopt));
  startScan();
  ASSERT_TRUE(reported());
  EXPECT_TRUE(pump([&] { return !peer->datagrams().empty(); }));
  const Row terminal = db.fetchDiscoveredTerminal(kSn);
  EXPECT_EQ(rowText(terminal, "parameter"), "ble,http");
  EXPECT_EQ(rowText(terminal, "alias"), "Till 1");
  EXPECT_EQ(rowText(terminal, "lastDiscoverTime"), std::to_string(clock().wallMillis()));
  EXPECT_EQ(manager->activedIps().size(), 1u);
}

TEST_F(DiscoveryLoopbackTest, FoundWhenItSpeaksFirst) {
  startScan();
  auto connection = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return connection->connected(); }));
  connection->write(peer->handshake());
  ASSERT_TRUE(reported());
  EXPECT_TRUE(pump([&] { return connection->closed(); }));
  EXPECT_EQ(manager->bufferedTextBytes(), 0u);
}

TEST_F(DiscoveryLoopbackTest, ChunkedTextIsHandledOnceWhenComplete) {
  startScan();
  const std::string text = peer->handshake();
  // The second cut falls inside the three bytes of "收".
  const std::size_t first = text.size() / 3;
  const std::size_t second = text.find("收银台") + 1;
  ASSERT_LT(first, second);
  auto connection = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return connection->connected(); }));
  connection->write(text.substr(0, first));
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() == first; }));
  connection->write(text.substr(first, second - first));
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() == second; }));
  connection->write(text.substr(second));
  ASSERT_TRUE(reported());
  EXPECT_EQ(terminalReports(), 1u);
  EXPECT_EQ(rowText(db.fetchTerminalServicesWithSn(kSn)[0], "serviceName"), "收银台");
}

TEST_F(DiscoveryLoopbackTest, LeftoverOfAnEndedConnectionIsForgotten) {
  startScan();
  auto cut = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return cut->connected(); }));
  cut->write(R"({"sn":"half",)");
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() > 0; }));
  cut->close();
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() == 0; }));

  auto whole = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return whole->connected(); }));
  whole->write(peer->handshake());
  EXPECT_TRUE(reported());
}

TEST_F(DiscoveryLoopbackTest, OverlongTextClosesTheConnection) {
  startScan();
  auto connection = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return connection->connected(); }));
  connection->write(std::string(256 * 1024 + 1, '['));
  ASSERT_TRUE(pump([&] { return connection->closed(); }));
  EXPECT_EQ(manager->bufferedTextBytes(), 0u);
  EXPECT_TRUE(log.contains("exceeds 262144 bytes; connection closed"));
}

// ---- hostile peers on the handshake port -------------------------------------------------------

// A handshake whose "services" is nested `levels` deep.
std::string deepHandshake(std::size_t levels) {
  return R"({"sn":"DEEP","contentType":"discover","protocolVersion":"1.0.01","services":)" +
         std::string(levels, '[') + std::string(levels, ']') + "}";
}

TEST_F(DiscoveryLoopbackTest, DeeplyNestedHandshakeLeavesDiscoveryWorking) {
  startScan();
  auto deep = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return deep->connected(); }));
  deep->write(deepHandshake(100000));
  // Handled (and refused) as one complete text: the connection is closed.
  ASSERT_TRUE(pump([&] { return deep->closed(); }));
  EXPECT_TRUE(recorder->calls.empty());
  EXPECT_TRUE(db.fetchDiscoveredTerminal("DEEP").empty());

  auto good = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return good->connected(); }));
  good->write(peer->handshake());
  EXPECT_TRUE(reported());
}

TEST_F(DiscoveryLoopbackTest, DeeplyNestedDatagramLeavesDiscoveryWorking) {
  startScan();
  // About as deep as one datagram can carry.
  const std::size_t levels = 30000;
  peer->sendDatagram(R"({"time":"1","signature":"x","deep":)" + std::string(levels, '[') +
                     std::string(levels, ']') + "}");
  // The good packet behind it is still read and leads to the terminal.
  peer->sendDiscoverPacket();
  EXPECT_TRUE(reported());
}

TEST_F(DiscoveryLoopbackTest, NestingWithinTheKeptLevelsSurvivesAndDeeperIsCut) {
  startScan();
  // An entry whose service type names are nested: kept down to the
  // service types, null below.
  LiteralTerminal::Options options;
  options.services =
      R"([{"serviceId":"svc.pay","serviceName":"收银台","serviceType":{"Purchase":[[["x"]]]}}])";
  auto connection = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return connection->connected(); }));
  connection->write(LiteralTerminal(options).handshake());
  ASSERT_TRUE(pump([&] { return !recorder->terminals.empty(); }));
  ASSERT_TRUE(recorder->terminals[0].services);
  EXPECT_EQ(*recorder->terminals[0].services,
            Json::parse(R"([{"serviceId":"svc.pay","serviceName":"收银台",)"
                        R"("serviceType":{"Purchase":null}}])"));
  ASSERT_EQ(recorder->services.size(), 1u);
  EXPECT_EQ(recorder->services[0].serviceType, "Purchase");
  EXPECT_EQ(recorder->services[0].serviceTypeName, std::nullopt);
}

TEST_F(DiscoveryLoopbackTest, TrickledTextCostsEachReadOnlyItsOwnBytes) {
  // A cap far above the production one lets the cost of reading the whole
  // text again on every piece stand out from a loaded machine's noise.
  DiscoveryConfig config = manager->config();
  config.maxHandshakeBytes = 2u << 20;
  manager->setConfig(config);
  startScan();
  auto timed = std::make_shared<fakes::TimedReads>(*manager);
  server.setDelegate(timed);

  // Never complete, and every piece ends in "]".
  std::string piece = ",[";
  for (int i = 0; i < 2000; ++i) piece += "1,";
  piece += "1]";
  auto trickle = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return trickle->connected(); }));
  std::string first = R"({"sn":"SLOW","services":[[1])";
  trickle->write(first);
  std::size_t sent = first.size();
  while (sent < (1u << 20)) {
    trickle->write(piece);
    sent += piece.size();
  }
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() == sent; }));
  const fakes::TimedReads::Connection reads = timed->largest();
  EXPECT_EQ(reads.bytes, sent);
  EXPECT_LT(reads.longestMillis(), 250 * testing::kSlowdown) << "over " << reads.reads << " reads";

  // A terminal on another connection is still found.
  auto good = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return good->connected(); }));
  good->write(peer->handshake());
  EXPECT_TRUE(reported());
  EXPECT_EQ(manager->bufferedTextBytes(), sent);
}

TEST_F(DiscoveryLoopbackTest, TextThatCanNeverCompleteClosesTheConnection) {
  startScan();
  for (const std::string text :
       {R"({"sn":"A"} {"sn":"B"})", R"(x{"sn":"A"})", "{]", "{\"sn\":\"\xff\"}"}) {
    auto connection = peer->connectToLibrary();
    ASSERT_TRUE(pump([&] { return connection->connected(); }));
    connection->write(text);
    EXPECT_TRUE(pump([&] { return connection->closed(); })) << text;
    EXPECT_EQ(manager->bufferedTextBytes(), 0u) << text;
  }
  EXPECT_TRUE(recorder->calls.empty());
}

TEST_F(DiscoveryLoopbackTest, ServiceEntriesWithoutAnIdentifierAreNeverStored) {
  LiteralTerminal::Options options;
  options.services = R"([{"serviceName":"none","serviceType":{"Purchase":"消费"}},)"
                     R"({"serviceId":null,"serviceType":{"Purchase":"消费"}},)"
                     R"({"serviceId":{"id":"a"},"serviceType":{"Purchase":"消费"}},)"
                     R"({"serviceId":["a"],"serviceType":{"Purchase":"消费"}},)"
                     R"({"serviceId":7,"serviceName":"number","serviceType":{"Refund":"退款"}}])";
  const std::string handshake = LiteralTerminal(options).handshake();
  startScan();
  for (int round = 0; round < 2; ++round) {
    auto connection = peer->connectToLibrary();
    ASSERT_TRUE(pump([&] { return connection->connected(); }));
    connection->write(handshake);
    ASSERT_TRUE(pump([&] { return connection->closed(); }));
  }
  ASSERT_EQ(recorder->services.size(), 2u);
  EXPECT_EQ(recorder->calls[1], "service " + kSn + " Refund 7");
  const Rows rows = db.fetchTerminalServicesWithSn(kSn);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rowText(rows[0], "serviceId"), "7");
}

// Reports the first stored service it hears of and stops (or restarts)
// the scan from inside that report.
struct StopsOnReport final : DiscoverManagerDelegate {
  void onScanTerminal(const ServiceInfo&) override {
    ++reports;
    if (manager == nullptr) return;
    DiscoverManager* m = std::exchange(manager, nullptr);
    m->stopScan();
    if (restart) m->startScan();
  }
  DiscoverManager* manager = nullptr;
  bool restart = false;
  int reports = 0;
};

TEST_F(DiscoveryLoopbackTest, StopFromAReportDuringStartLeavesNothingListening) {
  // A first scan finds the terminal, so a second start reports it at once.
  startScan();
  auto first = peer->connectToLibrary();
  ASSERT_TRUE(pump([&] { return first->connected(); }));
  first->write(peer->handshake());
  ASSERT_TRUE(reported());
  const std::uint16_t udpPort = manager->udpListeningPort();
  manager->stopScan();
  advanceSeconds(1.0);

  auto stopper = std::make_shared<StopsOnReport>();
  stopper->manager = manager.get();
  manager->setDelegate(stopper);
  manager->startScan();
  EXPECT_EQ(stopper->reports, 1);
  EXPECT_FALSE(manager->isScanning());
  EXPECT_EQ(receiver.listeningPort(), 0);
  EXPECT_EQ(server.listeningPort(), 0);

  // A discover packet to where the scan listened finds no one, now or
  // after a tick.
  const std::size_t answered = peer->datagrams().size();
  peer->setLibraryPorts(udpPort, 0);
  peer->sendDiscoverPacket();
  advanceSeconds(3.0);
  main().runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(peer->datagrams().size(), answered);
  EXPECT_EQ(receiver.listeningPort(), 0);

  // A restart from the report runs one scan, the inner one: the stored
  // terminal gets one discover packet, not one from each.
  stopper->manager = manager.get();
  stopper->restart = true;
  manager->startScan();
  EXPECT_TRUE(manager->isScanning());
  EXPECT_EQ(receiver.listeningPort(), udpPort);
  ASSERT_TRUE(pump([&] { return peer->datagrams().size() == answered + 1; }));
  main().runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(peer->datagrams().size(), answered + 1);
  manager->stopScan();
  EXPECT_EQ(receiver.listeningPort(), 0);
}

TEST_F(DiscoveryLoopbackTest, PairingRequestCarriesTheFirstFourDigits) {
  AuthManager auth(*manager);
  const std::string code = auth.createRandom();
  ASSERT_EQ(code.size(), 8u);
  // Without a scan there is no connection to send it on.
  EXPECT_FALSE(auth.auth(Json{{"address", "127.0.0.2:9999"}}));

  startScan();
  EXPECT_FALSE(auth.auth(Json{{"address", "127.0.0.1:8422"}}));
  EXPECT_TRUE(auth.auth(Json{{"sn", kSn}, {"address", "127.0.0.2:9999"}}));
  ASSERT_TRUE(pump([&] { return !peer->texts().empty(); }));
  const auto request = platform::parseJson(peer->texts()[0]);
  ASSERT_TRUE(request);
  std::string model = transport::KVISOUtils::platformName();
  std::erase(model, ' ');
  EXPECT_EQ(*request, (Json{{"authType", "DCA"},
                            {"initiation", "auto"},
                            {"model", model},
                            {"msgType", "request_auth"},
                            {"random", code.substr(0, 4)},
                            {"sn", transport::KVISOUtils::getUUID().value_or("")}}));
  const auto file = logFile.getLogFileData();
  ASSERT_TRUE(file);
  EXPECT_NE(file->find("auth tcp client discover ip:127.0.0.2,msg:"), std::string::npos);
  EXPECT_EQ(file->find(code), std::string::npos);
}

TEST_F(DiscoveryLoopbackTest, GarbageAndAFloodLeaveDiscoveryWorking) {
  startScan();
  // Datagrams that are no text, no JSON, no packet, or a packet cut short,
  // sent as fast as the peer can.
  const std::string packet = peer->discoverPacket();
  const std::vector<std::string> garbage = {std::string("\x00\xff\xfe\x01\x02", 5),
                                            "not json",
                                            "[1,2,3]",
                                            "{}",
                                            R"({"time":1})",
                                            packet.substr(0, packet.size() / 2),
                                            std::string(60000, '{'),
                                            "\xC3"};
  constexpr int kDatagrams = 2000;
  for (int i = 0; i < kDatagrams; ++i) peer->sendDatagram(garbage[i % garbage.size()]);
  // Handshakes cut short, and bytes that are none, on many connections at
  // once, each closed by the peer.
  std::vector<std::shared_ptr<LiteralTerminal::Connection>> connections;
  const std::string handshake = peer->handshake();
  for (int i = 0; i < 32; ++i) connections.push_back(peer->connectToLibrary());
  ASSERT_TRUE(pump([&] {
    return std::all_of(connections.begin(), connections.end(),
                       [](const auto& c) { return c->connected(); });
  }));
  for (std::size_t i = 0; i < connections.size(); ++i) {
    connections[i]->write(i % 2 == 0 ? handshake.substr(0, handshake.size() - 1 - i)
                                     : std::string("\x00\x01\x02 garbage", 12));
  }
  for (auto& connection : connections) connection->close();
  ASSERT_TRUE(pump([&] { return manager->bufferedTextBytes() == 0; }));
  main().runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_TRUE(recorder->calls.empty());
  // The library answers a flood by host and tick, not datagram by datagram.
  EXPECT_LT(peer->datagrams().size(), 50u);

  // The terminal is then found once, by its packet and over TCP.
  peer->sendDiscoverPacket();
  ASSERT_TRUE(reported());
  main().runUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(terminalReports(), 1u);
  EXPECT_EQ(rowText(db.fetchDiscoveredTerminal(kSn), "sn"), kSn);
}

class EchoingTerminalTest : public DiscoveryLoopbackTest {
 protected:
  EchoingTerminalTest() : DiscoveryLoopbackTest(echoing()) {}
  static LiteralTerminal::Options echoing() {
    LiteralTerminal::Options options;
    options.echoDatagrams = true;
    return options;
  }
};

TEST_F(EchoingTerminalTest, APeerThatAnswersEveryPacketGetsOneAnswerPerTick) {
  startScan();
  peer->sendDiscoverPacket();
  // The terminal echoes the library's answer; the echo is not answered.
  ASSERT_TRUE(pump([&] {
    return log.contains("discover packet from 127.0.0.2 already answered in this tick");
  }));
  main().runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(peer->datagrams().size(), 1u);
  EXPECT_EQ(log.count("Send broadcast to 127.0.0.2:"), 1u);
  EXPECT_LE(peer->accepted(), 2);
}

}  // namespace
}  // namespace veltrix::registry
