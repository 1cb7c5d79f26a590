// Discovery end to end against tavio-sim's terminals (the simulator in
// process): the three roads by which a terminal is found, handshakes in
// pieces, the storm throttle against a terminal that answers every packet,
// silence, and the pairing request. The library binds 127.0.0.1, the
// terminals 127.0.0.2 and up; all on free ports.
#include "support/sim_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "registry/discovery_fakes.h"
#include "sim/discovery_messages.h"
#include "sim/discovery_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/auth_manager.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {
namespace {

using platform::Json;
using namespace std::chrono_literals;

const std::string kSimSn = "TAVIO-SIM-0001";
// The simulator's default terminal offers 11 payment and 5 device types.
constexpr std::size_t kDefaultServiceTypes = 16;

class SimDiscoveryTest : public testing::LoopTest {
 protected:
  void start(std::vector<sim::VirtualTerminal> terminals = {sim::VirtualTerminal{}}) {
    std::string error;
    sim = sim::DiscoverySimulator::start(testing::loopbackSimOptions(std::move(terminals)), &error);
    ASSERT_TRUE(sim) << error;
    library = std::make_unique<testing::LoopbackDiscovery>(docs(), *sim);
    library->manager->setDelegate(recorder);
  }
  void startScan() { ASSERT_TRUE(library->startScan(*sim)); }

  bool pump(const std::function<bool()>& done) { return main().runUntil(done); }
  // Lets real time pass while the main loop runs (the manual clock stands).
  void settle(std::chrono::milliseconds time = 200ms) {
    main().runUntil([] { return false; }, time);
  }
  std::size_t terminalReports(const std::string& sn = kSimSn) const {
    return static_cast<std::size_t>(
        std::count(recorder->calls.begin(), recorder->calls.end(), "terminal " + sn));
  }
  bool found(const std::string& sn = kSimSn, std::size_t services = kDefaultServiceTypes) {
    return pump([&] {
      return terminalReports(sn) >= 1 &&
             library->db.fetchTerminalServicesWithSn(sn).size() >= services;
    });
  }
  // The texts the library wrote to terminals, parsed.
  std::vector<Json> textsReceived() const {
    std::vector<Json> out;
    for (const auto& text : sim->texts()) {
      if (auto json = platform::parseJson(text.text)) out.push_back(*json);
    }
    return out;
  }

  platform::ScopedLogCapture log;
  std::shared_ptr<fakes::Recorder> recorder = std::make_shared<fakes::Recorder>();
  std::unique_ptr<sim::DiscoverySimulator> sim;
  std::unique_ptr<testing::LoopbackDiscovery> library;
};

TEST_F(SimDiscoveryTest, FoundByItsPacketThenOverTcp) {
  start();
  startScan();
  sim->announce();
  ASSERT_TRUE(found());
  EXPECT_EQ(recorder->calls.front(), "terminal " + kSimSn);
  EXPECT_EQ(recorder->services.size(), kDefaultServiceTypes);

  // The library answered with a packet the terminal could verify (recorded
  // on the terminal's own thread, maybe after the handshake was reported) ...
  ASSERT_TRUE(pump([&] { return !sim->datagrams().empty(); }));
  const auto datagrams = sim->datagrams();
  EXPECT_TRUE(datagrams[0].validPacket);
  EXPECT_TRUE(datagrams[0].from.starts_with("127.0.0.1:"));
  // ... and handed over its handshake, signed by the terminal's own rule.
  ASSERT_TRUE(pump([&] { return !textsReceived().empty(); }));
  const Json own = textsReceived()[0];
  EXPECT_EQ(own["contentType"], "discover");
  EXPECT_EQ(own["address"], "127.0.0.1:8080");
  EXPECT_EQ(own["signature"], sim::handshakeSignature(own["sn"], own["address"], own["parameter"],
                                                      own["model"], own["time"]));

  const Row terminal = library->db.fetchDiscoveredTerminal(kSimSn);
  EXPECT_EQ(rowText(terminal, "address"), "127.0.0.2:8080");
  EXPECT_EQ(rowText(terminal, "model"), "T1 Pro");
  EXPECT_EQ(rowText(terminal, "parameter"), "http");
  const Rows services = library->db.fetchTerminalServicesWithSn(kSimSn);
  ASSERT_EQ(services.size(), kDefaultServiceTypes);
  EXPECT_EQ(rowText(services[0], "serviceName"), "收银台");
  EXPECT_EQ(rowText(services[0], "serviceTypeName"), "消费");
  EXPECT_EQ(rowText(services[0], "serviceCategory"), "payment");
  // The library closes each handshake connection once the text is in.
  EXPECT_TRUE(pump([&] { return sim->acceptedConnections() >= 1 && sim->openConnections() == 0; }));
}

TEST_F(SimDiscoveryTest, FoundAsAStoredTerminal) {
  start();
  const std::string old = std::to_string(clock().wallMillis() - 60000);
  ASSERT_TRUE(library->db.insertDiscoveredTerminal(kSimSn, "T1", "127.0.0.2:8080", "ble", "Till 1",
                                                   1, 0, 0, old, old, std::nullopt));
  startScan();
  ASSERT_TRUE(found());
  // Probed on both ports without any packet of the terminal's.
  EXPECT_TRUE(pump([&] { return !sim->datagrams().empty(); }));
  EXPECT_GE(sim->acceptedConnections(), 1u);
  const Row terminal = library->db.fetchDiscoveredTerminal(kSimSn);
  EXPECT_EQ(rowText(terminal, "parameter"), "ble,http");
  EXPECT_EQ(rowText(terminal, "alias"), "Till 1");
  EXPECT_EQ(rowText(terminal, "model"), "T1");
  EXPECT_EQ(rowText(terminal, "lastDiscoverTime"), std::to_string(clock().wallMillis()));
}

TEST_F(SimDiscoveryTest, FoundWhenItSpeaksFirst) {
  start();
  startScan();
  sim->speakFirst();
  ASSERT_TRUE(found());
  EXPECT_EQ(sim->acceptedConnections(), 0u);
  EXPECT_TRUE(sim->datagrams().empty());
  // The terminal counts its handshake once its write completes, which may be
  // after the library has already read it.
  EXPECT_TRUE(pump([&] { return sim->handshakesSent() == 1u; }));
  EXPECT_EQ(library->manager->bufferedTextBytes(), 0u);
}

TEST_F(SimDiscoveryTest, HandshakeInPiecesIsHandledOnceWhenComplete) {
  sim::VirtualTerminal terminal;
  // Same length as any handshake it writes later (times have 13 digits).
  const std::string text = sim::handshakeText(terminal.identity(), "1700000000000");
  const std::size_t second = text.find("收银台") + 1;  // inside the three bytes of "收"
  const std::size_t first = second / 2;
  terminal.handshakeCuts = {first, second};
  terminal.holdPieces = true;
  start({terminal});
  startScan();
  sim->speakFirst();
  ASSERT_TRUE(pump([&] { return library->manager->bufferedTextBytes() == first; }));
  sim->release();
  ASSERT_TRUE(pump([&] { return library->manager->bufferedTextBytes() == second; }));
  settle(50ms);
  EXPECT_EQ(terminalReports(), 0u);
  sim->release();
  ASSERT_TRUE(found());
  EXPECT_EQ(terminalReports(), 1u);
  EXPECT_EQ(rowText(library->db.fetchTerminalServicesWithSn(kSimSn)[0], "serviceName"), "收银台");
  EXPECT_EQ(library->manager->bufferedTextBytes(), 0u);
}

TEST_F(SimDiscoveryTest, AnswerInSmallPiecesOnTheLibrarysConnection) {
  sim::VirtualTerminal terminal;
  // Seven-byte pieces split most of the three-byte characters.
  for (std::size_t cut = 7; cut < 4096; cut += 7) terminal.handshakeCuts.push_back(cut);
  terminal.pieceDelay = 1ms;
  start({terminal});
  startScan();
  sim->announce();
  ASSERT_TRUE(found());
  EXPECT_EQ(terminalReports(), 1u);
  const Rows services = library->db.fetchTerminalServicesWithSn(kSimSn);
  ASSERT_EQ(services.size(), kDefaultServiceTypes);
  EXPECT_EQ(rowText(services.back(), "serviceName"), "终端服务");
}

TEST_F(SimDiscoveryTest, ATerminalAnsweringEveryPacketGetsOneAnswerPerTick) {
  start();
  startScan();
  sim->announce();
  ASSERT_TRUE(found());
  // The library answered the announcement once; the terminal answered that,
  // and its answer went unanswered. The terminal records a datagram before
  // it answers it, so the count is whole once the refusal is logged.
  ASSERT_TRUE(
      pump([&] { return log.contains("discover packet from 127.0.0.2 already answered"); }));
  ASSERT_EQ(sim->datagrams().size(), 1u);
  EXPECT_EQ(log.count("Send broadcast to 127.0.0.2:"), 1u);
  EXPECT_LE(sim->acceptedConnections(), 2u);

  // Each tick probes the now stored terminal and answers it at most once:
  // the exchange stays bounded however long the scan runs. The datagrams
  // are counted by the tick whose time they carry, as they may arrive
  // late; the terminal's answer to the probe may also be lost to the
  // listening socket the tick opens anew.
  const std::int64_t startMillis = platform::nowMillis();
  const auto sentInTick = [&](int tick) {
    std::size_t n = 0;
    for (const auto& datagram : sim->datagrams()) {
      const auto json = platform::parseJson(datagram.text);
      if (json && testing::libraryStamp(*json) == startMillis + 3000 * tick) ++n;
    }
    return n;
  };
  for (int tick = 1; tick <= 3; ++tick) {
    advanceSeconds(3.0);
    ASSERT_TRUE(pump([&] { return sentInTick(tick) >= 1; })) << "tick " << tick;
  }
  settle();
  for (int tick = 1; tick <= 3; ++tick) EXPECT_LE(sentInTick(tick), 2u) << "tick " << tick;
  EXPECT_LE(sim->acceptedConnections(), 2u * 4);
}

TEST_F(SimDiscoveryTest, SilentTerminalsAreNoLongerFound) {
  start(sim::virtualTerminals(3));
  startScan();
  sim->speakFirst();
  for (const char* sn : {"TAVIO-SIM-0001", "TAVIO-SIM-0002", "TAVIO-SIM-0003"}) {
    ASSERT_TRUE(found(sn)) << sn;
  }
  EXPECT_EQ(rowText(library->db.fetchDiscoveredTerminal("TAVIO-SIM-0002"), "model"), "T2");
  EXPECT_EQ(library->manager->activedIps().size(), 3u);

  // A new scan probes the three stored terminals; the silent one accepts
  // the connection and closes it without a word. A terminal whose answer
  // to the probe's datagram comes after the probe's handshake has ended is
  // handshaken, and reported, once more.
  sim->setSilent("TAVIO-SIM-0002", true);
  library->manager->stopScan();
  recorder->calls.clear();
  startScan();
  ASSERT_TRUE(main().runUntil(
      [&] {
        return terminalReports("TAVIO-SIM-0001") >= 1 && terminalReports("TAVIO-SIM-0003") >= 1 &&
               sim->acceptedConnections() >= 3 && sim->openConnections() == 0;
      },
      std::chrono::seconds(15)))
      << "reports " << terminalReports("TAVIO-SIM-0001") << "/" << terminalReports("TAVIO-SIM-0003")
      << ", accepted " << sim->acceptedConnections() << ", open " << sim->openConnections();
  settle();
  EXPECT_EQ(terminalReports("TAVIO-SIM-0002"), 0u);
  for (const auto& datagram : sim->datagrams()) {
    if (datagram.terminalSn == "TAVIO-SIM-0002") {
      EXPECT_FALSE(datagram.answered);
    }
  }
}

TEST_F(SimDiscoveryTest, PairingRequestCarriesTheFirstFourDigits) {
  start();
  AuthManager auth(*library->manager);
  const std::string code = auth.createRandom();
  ASSERT_EQ(code.size(), 8u);
  // No scan, no connection to send it on.
  EXPECT_FALSE(auth.auth(Json{{"sn", kSimSn}, {"address", "127.0.0.2:8080"}}));

  startScan();
  ASSERT_TRUE(auth.auth(Json{{"sn", kSimSn}, {"address", "127.0.0.2:8080"}}));
  ASSERT_TRUE(pump([&] { return !sim->pairingRequests().empty(); }));
  const sim::PairingRequest request = sim->pairingRequests()[0];
  EXPECT_EQ(request.terminalSn, kSimSn);
  EXPECT_EQ(request.from, "127.0.0.1");
  EXPECT_EQ(request.random, code.substr(0, 4));
  EXPECT_EQ(request.authType, "DCA");
  EXPECT_EQ(request.initiation, "auto");
  EXPECT_EQ(request.sn, transport::KVISOUtils::getUUID());
  std::string model = transport::KVISOUtils::platformName();
  std::erase(model, ' ');
  EXPECT_EQ(request.model, model);
  // Not a handshake: the terminal does not answer it with its own.
  settle(100ms);
  EXPECT_EQ(sim->handshakesSent(), 0u);
  EXPECT_EQ(terminalReports(), 0u);
}

}  // namespace
}  // namespace veltrix::registry
