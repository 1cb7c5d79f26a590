// tavio-sim's discovery side, checked from the wire: its MD5 and signatures
// against known vectors, its literal messages, and what its terminals answer
// to plain UDP and TCP peers (no library code on either side).
#include "sim/discovery_simulator.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "sim/discovery_messages.h"
#include "sim/md5.h"

namespace veltrix::sim {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;
using asio::ip::udp;
using nlohmann::json;

TEST(SimMd5Test, KnownDigestsAcrossBlockBoundaries) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {std::string(55, 'x'), "04364420E25C512FD958A70738AA8F72"},
      {std::string(56, 'x'), "668A72D5BA17F08E62DABCAFAD6DB14B"},
      {std::string(64, 'x'), "C1BB4F81D892B2D57947682AEB252456"},
      {std::string(1000, 'x'), "398533D48111E9F664B1F64CB10C4B63"},
      {"收银台", "5CBDDD0EA2A7F824B40BE22C4945B20E"},
  };
  for (const auto& [text, digest] : vectors) EXPECT_EQ(md5Hex(text), digest) << text.size();
}

TEST(SimMessagesTest, SignaturesMatchTheGoldenVectors) {
  EXPECT_EQ(packetSignature("1700000000000"), "6A673E756A51E98A9A8B8AFAA030E6C1");
  EXPECT_EQ(handshakeSignature("00000000-0000-0000-0000-000000000001", "127.0.0.1:8080", "http",
                               "x86_64", "1700000000000"),
            "2CA9BBE49B07751D192AE58DA5DCEAAE");
}

TEST(SimMessagesTest, LiteralPacketAndHandshake) {
  EXPECT_EQ(discoverPacket("1700000000000"),
            R"({"isP2p":false,"time":"1700000000000","signature":)"
            R"("6A673E756A51E98A9A8B8AFAA030E6C1","protocolVersion":"1.0.01"})");
  EXPECT_TRUE(isValidDiscoverPacket(discoverPacket("1")));
  EXPECT_TRUE(isValidDiscoverPacket(
      R"({"signature":"6A673E756A51E98A9A8B8AFAA030E6C1","extra":1,"time":"1700000000000"})"));
  EXPECT_FALSE(isValidDiscoverPacket(
      R"({"time":"1700000000000","signature":"6a673e756a51e98a9a8b8afaa030e6c1"})"));
  EXPECT_FALSE(isValidDiscoverPacket(R"({"time":1700000000000,"signature":"x"})"));
  EXPECT_FALSE(isValidDiscoverPacket("[1]"));
  EXPECT_FALSE(isValidDiscoverPacket("{"));

  TerminalIdentity terminal{"SN-1",     R"(T1 "Pro")",      "127.0.0.2:8080",
                            "http,ble", defaultServices(2), false};
  const std::string text = handshakeText(terminal, "1700000000000");
  EXPECT_TRUE(text.starts_with(R"({"sn":"SN-1","address":"127.0.0.2:8080","parameter":)"));
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const json handshake = json::parse(text);
  EXPECT_EQ(handshake["model"], R"(T1 "Pro")");
  EXPECT_EQ(handshake["contentType"], "discover");
  EXPECT_EQ(handshake["protocolVersion"], "1.0.01");
  EXPECT_EQ(handshake["isCommuincationDevice"], true);
  EXPECT_EQ(handshake["signature"], handshakeSignature("SN-1", "127.0.0.2:8080", "http,ble",
                                                       R"(T1 "Pro")", "1700000000000"));
  // Two payment entries and the device entry; types keep their order.
  ASSERT_EQ(handshake["services"].size(), 3u);
  EXPECT_EQ(handshake["services"][1]["serviceId"], "pay-2");
  EXPECT_EQ(handshake["services"][0]["serviceType"].begin().key(), "Abort");  // sorted by json
  EXPECT_LT(text.find("\"Purchase\":\"消费\""), text.find("\"Refund\":\"退款\""));
  EXPECT_EQ(handshake["services"][2]["serviceType"]["Display"], "显示");
}

TEST(SimMessagesTest, PairingRequestsAndTerminalSets) {
  const auto request = readPairingRequest(
      R"({"authType":"DCA","initiation":"auto","model":"Simulator","msgType":"request_auth",)"
      R"("random":"0123","sn":"ABC"})");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->random, "0123");
  EXPECT_EQ(request->model, "Simulator");
  EXPECT_FALSE(readPairingRequest(R"({"msgType":"approve_auth"})"));
  EXPECT_FALSE(readPairingRequest("request_auth"));

  const auto terminals = virtualTerminals(3, "127.0.0.2", 9000, 4);
  ASSERT_EQ(terminals.size(), 3u);
  EXPECT_EQ(terminals[0].sn, "TAVIO-SIM-0001");
  EXPECT_EQ(terminals[2].sn, "TAVIO-SIM-0003");
  EXPECT_EQ(terminals[2].ip, "127.0.0.4");
  EXPECT_EQ(terminals[2].identity().address, "127.0.0.4:9000");
  EXPECT_NE(terminals[0].model, terminals[1].model);
  // Four payment entries each: twelve purchase services over the set.
  EXPECT_EQ(terminals[1].services.size(), 5u);
}

// Plain sockets on 127.0.0.1 in the library's place.
class SimPeerTest : public ::testing::Test {
 protected:
  void start(std::vector<VirtualTerminal> terminals = {VirtualTerminal{}},
             bool receiveBroadcasts = false) {
    udpSocket.open(udp::v4());
    udpSocket.bind({asio::ip::make_address("127.0.0.1"), 0});
    acceptor.open(tcp::v4());
    acceptor.bind({asio::ip::make_address("127.0.0.1"), 0});
    acceptor.listen();
    DiscoveryOptions options;
    options.terminals = std::move(terminals);
    options.udpPort = 0;
    options.tcpPort = 0;
    options.libraryUdpPort = udpSocket.local_endpoint().port();
    options.libraryTcpPort = acceptor.local_endpoint().port();
    options.receiveBroadcasts = receiveBroadcasts;
    std::string error;
    sim = DiscoverySimulator::start(options, &error);
    ASSERT_TRUE(sim) << error;
  }

  void sendTo(const std::string& ip, const std::string& text) {
    udpSocket.send_to(asio::buffer(text),
                      udp::endpoint(asio::ip::make_address(ip), sim->udpPort()));
  }

  // The next datagram within `timeout`, with its sender.
  std::optional<std::pair<std::string, udp::endpoint>> receive(
      std::chrono::milliseconds timeout = 2000ms) {
    std::array<char, 65536> buffer{};
    udp::endpoint from;
    std::optional<std::size_t> size;
    udpSocket.async_receive_from(asio::buffer(buffer), from,
                                 [&](asio::error_code ec, std::size_t n) {
                                   if (!ec) size = n;
                                 });
    io.restart();
    io.run_for(timeout);
    if (!size) {
      udpSocket.cancel();
      io.restart();
      io.run();
      return std::nullopt;
    }
    return std::make_pair(std::string(buffer.data(), *size), from);
  }

  // Reads from `socket` until a complete JSON text, the peer's close, or
  // the time-out; the text read and whether the peer closed.
  std::pair<std::string, bool> readText(tcp::socket& socket,
                                        std::chrono::milliseconds timeout = 2000ms) {
    std::string text;
    bool closed = false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 4096> buffer{};
    while (!json::accept(text) && std::chrono::steady_clock::now() < deadline) {
      bool done = false;
      socket.async_read_some(asio::buffer(buffer), [&](asio::error_code ec, std::size_t n) {
        done = true;
        if (ec) {
          closed = true;
        } else {
          text.append(buffer.data(), n);
        }
      });
      io.restart();
      io.run_until(deadline);
      if (!done) {
        socket.cancel();
        io.restart();
        io.run();
      }
      if (closed) break;
    }
    return {text, closed};
  }

  tcp::socket connect(const std::string& ip) {
    tcp::socket socket(io);
    socket.connect({asio::ip::make_address(ip), sim->tcpPort()});
    return socket;
  }

  asio::io_context io;
  udp::socket udpSocket{io};
  tcp::acceptor acceptor{io};
  std::unique_ptr<DiscoverySimulator> sim;
};

TEST_F(SimPeerTest, AnswersValidPacketsFromItsOwnAddressAndRecordsEveryDatagram) {
  start(virtualTerminals(2));
  sendTo("127.0.0.3", discoverPacket("1700000000000"));
  const auto answer = receive();
  ASSERT_TRUE(answer);
  EXPECT_TRUE(isValidDiscoverPacket(answer->first)) << answer->first;
  EXPECT_EQ(answer->second.address().to_string(), "127.0.0.3");
  EXPECT_EQ(answer->second.port(), sim->udpPort());

  sendTo("127.0.0.2", R"({"time":"1","signature":"wrong"})");
  // Recorded before it is answered or not: wait for the record, not for a
  // silence long enough for a busy machine.
  ASSERT_TRUE(sim->waitUntil([&] { return sim->datagrams().size() == 2; }, 5000ms));
  EXPECT_FALSE(receive(200ms));
  const auto datagrams = sim->datagrams();
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[0].terminalSn, "TAVIO-SIM-0002");
  EXPECT_TRUE(datagrams[0].answered);
  EXPECT_EQ(datagrams[1].terminalSn, "TAVIO-SIM-0001");
  EXPECT_FALSE(datagrams[1].validPacket);
  EXPECT_FALSE(datagrams[1].answered);
}

TEST_F(SimPeerTest, AnswersAHandshakeOnTheSameConnectionAndRecordsPairing) {
  start();
  tcp::socket socket = connect("127.0.0.2");
  asio::write(socket, asio::buffer(std::string(R"({"contentType":"discover","sn":"LIB")")));
  asio::write(socket, asio::buffer(std::string(R"(,"address":"127.0.0.1:8080"})")));
  const auto [text, closed] = readText(socket);
  const json handshake = json::parse(text, nullptr, false);
  ASSERT_TRUE(handshake.is_object()) << text;
  EXPECT_EQ(handshake["sn"], "TAVIO-SIM-0001");
  EXPECT_EQ(handshake["address"], "127.0.0.2:8080");
  EXPECT_TRUE(sim->waitUntil([&] { return sim->handshakesSent() == 1; }, 2000ms));

  // A pairing request is recorded and not answered.
  tcp::socket pairing = connect("127.0.0.2");
  asio::write(
      pairing,
      asio::buffer(std::string(R"({"msgType":"request_auth","random":"4711","sn":"LIB"})")));
  ASSERT_TRUE(sim->waitUntil([&] { return sim->pairingRequests().size() == 1; }, 2000ms));
  EXPECT_EQ(sim->pairingRequests()[0].random, "4711");
  EXPECT_EQ(sim->pairingRequests()[0].from, "127.0.0.1");
  EXPECT_EQ(readText(pairing, 200ms).first, "");
  EXPECT_EQ(sim->texts().size(), 2u);
  EXPECT_EQ(sim->acceptedConnections(), 2u);
}

TEST_F(SimPeerTest, SpeaksFirstFromItsOwnAddress) {
  start();
  sim->speakFirst("TAVIO-SIM-0001");
  tcp::socket accepted(io);
  bool ok = false;
  acceptor.async_accept(accepted, [&](asio::error_code ec) { ok = !ec; });
  io.restart();
  io.run_for(2000ms);
  ASSERT_TRUE(ok);
  EXPECT_EQ(accepted.remote_endpoint().address().to_string(), "127.0.0.2");
  const auto [text, closed] = readText(accepted);
  EXPECT_EQ(json::parse(text, nullptr, false)["sn"], "TAVIO-SIM-0001");
  // Nothing was accepted: the terminal opened this one.
  EXPECT_EQ(sim->acceptedConnections(), 0u);
}

TEST_F(SimPeerTest, SilentTerminalsAnswerNothing) {
  auto terminals = virtualTerminals(2);
  terminals[1].silentAfter = 0ms;
  start(terminals);
  sim->setSilent("TAVIO-SIM-0001", true);
  for (const char* ip : {"127.0.0.2", "127.0.0.3"}) {
    sendTo(ip, discoverPacket("1700000000000"));
    EXPECT_FALSE(receive(200ms)) << ip;
    tcp::socket socket = connect(ip);
    asio::write(socket, asio::buffer(std::string(R"({"contentType":"discover"})")));
    const auto [text, closed] = readText(socket);
    EXPECT_EQ(text, "") << ip;
    EXPECT_TRUE(closed) << ip;
  }
  sim->speakFirst();
  sim->announce();
  EXPECT_FALSE(receive(200ms));
  EXPECT_EQ(sim->handshakesSent(), 0u);

  sim->setSilent("TAVIO-SIM-0001", false);
  sendTo("127.0.0.2", discoverPacket("1700000000000"));
  EXPECT_TRUE(receive());
}

TEST_F(SimPeerTest, BroadcastSocketHandsDatagramsToEveryTerminal) {
  start(virtualTerminals(2), true);
  // An address no terminal holds reaches the socket for broadcasts.
  sendTo("127.0.0.9", discoverPacket("1700000000000"));
  ASSERT_TRUE(receive());
  ASSERT_TRUE(receive());
  const auto datagrams = sim->datagrams();
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_TRUE(datagrams[0].broadcast);
  EXPECT_NE(datagrams[0].terminalSn, datagrams[1].terminalSn);
}

TEST(SimStartTest, AnAddressItCannotBindIsAClearError) {
  DiscoveryOptions options;
  options.terminals = virtualTerminals(1, "192.0.2.1");
  options.udpPort = 0;
  options.tcpPort = 0;
  std::string error;
  EXPECT_FALSE(DiscoverySimulator::start(options, &error));
  EXPECT_NE(error.find("TAVIO-SIM-0001 cannot bind on 192.0.2.1"), std::string::npos) << error;

  options.terminals.clear();
  EXPECT_FALSE(DiscoverySimulator::start(options, &error));
  EXPECT_EQ(error, "no terminals to simulate");
}

}  // namespace
}  // namespace veltrix::sim
