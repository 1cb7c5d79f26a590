// TCP client and server over loopback: connection ids, end events, the
// server's listener replacement and its limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/tcp_socket_client.h"
#include "veltrix/transport/tcp_socket_server.h"

namespace veltrix::transport {
namespace {

using platform::AsyncTcpSocket;
using platform::SocketError;

struct ClientEvents : TCPSocketClientDelegate {
  struct End {
    std::int64_t id;
    std::optional<SocketError> error;
  };
  std::vector<std::int64_t> connected;
  std::vector<End> ended;
  std::vector<std::pair<std::int64_t, std::int64_t>> written;  // (tag, id)
  std::string received;
  int reads = 0;
  bool offMain = false;

  void didConnectToHost(const std::string&, std::int64_t id) override {
    check();
    connected.push_back(id);
  }
  void didDisconnectWithConnectionId(std::int64_t id,
                                     const std::optional<SocketError>& error) override {
    check();
    ended.push_back({id, error});
  }
  void didReceiveData(const std::vector<std::uint8_t>& data, const AsyncTcpSocket::Ptr&) override {
    check();
    received.append(data.begin(), data.end());
    ++reads;
  }
  void didWriteDataWithTag(std::int64_t tag, std::int64_t id) override {
    check();
    written.emplace_back(tag, id);
  }
  void check() { offMain |= !platform::MainLoop::shared().isCurrent(); }
};

struct ServerEvents : TCPSocketServerDelegate {
  std::vector<AsyncTcpSocket::Ptr> connected;
  std::vector<AsyncTcpSocket::Ptr> disconnected;
  std::string received;
  int reads = 0;

  void clientDidConnect(const AsyncTcpSocket::Ptr& s) override { connected.push_back(s); }
  void clientDidDisconnect(const AsyncTcpSocket::Ptr& s) override { disconnected.push_back(s); }
  void didReceiveDataFromClient(const std::vector<std::uint8_t>& data,
                                const AsyncTcpSocket::Ptr&) override {
    received.append(data.begin(), data.end());
    ++reads;
  }
};

class TcpSocketTest : public testing::LoopTest {
 protected:
  TcpSocketTest() {
    client.setDelegate(clientEvents);
    server.setDelegate(serverEvents);
  }

  std::uint16_t listen() {
    EXPECT_TRUE(server.startOnPort(0, std::string("127.0.0.1")));
    return server.listeningPort();
  }
  bool pump(const std::function<bool()>& done) { return main().runUntil(done); }

  // A port nothing listens on (just freed by a listener of our own).
  std::uint16_t closedPort() {
    TCPSocketServer probe;
    EXPECT_TRUE(probe.startOnPort(0, std::string("127.0.0.1")));
    const std::uint16_t port = probe.listeningPort();
    probe.stop();
    return port;
  }

  platform::ScopedLogCapture log;
  std::shared_ptr<ClientEvents> clientEvents = std::make_shared<ClientEvents>();
  std::shared_ptr<ServerEvents> serverEvents = std::make_shared<ServerEvents>();
  std::shared_ptr<platform::IoQueue> serverQueue =
      platform::IoQueue::create("com.orvane.tcpserver");
  TCPSocketServer server{serverQueue};
  TCPSocketClient client;
};

TEST_F(TcpSocketTest, IdsGrowAreNeverReusedAndEndEventsCarryThem) {
  const std::uint16_t port = listen();
  EXPECT_EQ(client.connectToHost("127.0.0.1", port), 1);
  EXPECT_EQ(client.connectToHost("127.0.0.1", port), 2);
  EXPECT_EQ(client.connectToHost("127.0.0.1", port), 3);
  EXPECT_TRUE(
      log.contains(fmt::format("TCP连接请求已发起 - host:127.0.0.1 port:{} connectionId:2", port)));
  ASSERT_TRUE(pump([&] { return clientEvents->connected.size() == 3; }));
  // Connections may complete in any order; each reports its own id.
  auto connected = clientEvents->connected;
  std::sort(connected.begin(), connected.end());
  EXPECT_EQ(connected, (std::vector<std::int64_t>{1, 2, 3}));

  client.disconnectConnection(2);
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 1; }));
  EXPECT_EQ(clientEvents->ended[0].id, 2);

  // After a disconnect-all, every end still names its own connection, so
  // whoever keeps per-connection state can drop it.
  client.disconnectConnection();
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 3; }));
  std::vector<std::int64_t> ids;
  for (const auto& end : clientEvents->ended) {
    ids.push_back(end.id);
    EXPECT_FALSE(end.error.has_value());
  }
  EXPECT_EQ(ids, (std::vector<std::int64_t>{2, 1, 3}));
  EXPECT_TRUE(log.contains("❌ 连接正常断开 - connectionId:3"));

  EXPECT_EQ(client.connectToHost("127.0.0.1", port), 4);
  EXPECT_FALSE(clientEvents->offMain);
}

TEST_F(TcpSocketTest, RefusedConnectReportsItsIdThenTheRefusal) {
  const std::uint16_t port = closedPort();
  EXPECT_EQ(client.connectToHost("127.0.0.1", port), 1);
  ASSERT_TRUE(pump([&] { return !clientEvents->ended.empty(); }));
  ASSERT_EQ(clientEvents->ended.size(), 1u);
  EXPECT_EQ(clientEvents->ended[0].id, 1);
  ASSERT_TRUE(clientEvents->ended[0].error.has_value());
  EXPECT_TRUE(clientEvents->ended[0].error->isPosix(std::errc::connection_refused));
  EXPECT_TRUE(clientEvents->connected.empty());
  EXPECT_TRUE(log.contains("❌ 连接断开 - connectionId:1 error:ECONNREFUSED"));
  EXPECT_TRUE(log.contains("   注意：ECONNREFUSED 在连接成功后出现可能是服务端主动断开"));
}

TEST_F(TcpSocketTest, ConnectThatCannotStartGivesMinusOneAndTakesNoId) {
  EXPECT_EQ(client.connectToHost("", 8422), kNoConnectionId);
  ASSERT_TRUE(pump([&] { return !clientEvents->ended.empty(); }));
  EXPECT_EQ(clientEvents->ended[0].id, kNoConnectionId);
  ASSERT_TRUE(clientEvents->ended[0].error.has_value());
  EXPECT_TRUE(clientEvents->ended[0].error->is(platform::SocketErrorCode::kBadParam));
  EXPECT_TRUE(log.contains("TCP连接失败 - host: port:8422 error:"));
  EXPECT_TRUE(log.contains("⚠️ TCP连接错误 - code:2 domain:AsyncSocket description:"));

  EXPECT_EQ(client.connectToHost("127.0.0.1", listen()), 1);
}

TEST_F(TcpSocketTest, BytesPassUnframedBothWays) {
  const std::uint16_t port = listen();
  const std::int64_t id = client.connectToHost("127.0.0.1", port);
  client.sendData("nowhere", 99);
  EXPECT_TRUE(log.contains("⚠️ 发送失败：连接不存在 connectionId:99"));
  ASSERT_TRUE(pump([&] { return !clientEvents->connected.empty(); }));

  client.sendData("hello ", id);
  client.sendData("world", id);
  ASSERT_TRUE(pump([&] { return serverEvents->received == "hello world"; }));
  ASSERT_TRUE(pump([&] { return clientEvents->written.size() == 2; }));
  EXPECT_EQ(clientEvents->written[0], std::make_pair(id, id));
  EXPECT_TRUE(log.contains("📤 数据发送请求已提交 - connectionId:1 length:6"));
  EXPECT_TRUE(log.contains("📥 数据写入完成 - connectionId:1 tag:1"));

  // A large text reaches the other side in several pieces, in order.
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  ASSERT_EQ(serverEvents->connected.size(), 1u);
  server.sendData(std::vector<std::uint8_t>(big.begin(), big.end()), serverEvents->connected[0]);
  ASSERT_TRUE(pump([&] { return clientEvents->received.size() == big.size(); }));
  EXPECT_EQ(clientEvents->received, big);
  EXPECT_GT(clientEvents->reads, 1);
}

TEST_F(TcpSocketTest, AcceptedSocketKeepsItsPeerAfterTheEnd) {
  const std::int64_t id = client.connectToHost("127.0.0.1", listen());
  // The client drops texts until its own side has connected.
  ASSERT_TRUE(
      pump([&] { return !serverEvents->connected.empty() && !clientEvents->connected.empty(); }));
  client.sendData("{}", id);
  // A disconnect drops writes still queued, so wait until the text is out.
  ASSERT_TRUE(pump([&] { return serverEvents->received == "{}"; }));
  client.disconnectConnection(id);
  ASSERT_TRUE(pump([&] { return !serverEvents->disconnected.empty(); }));
  EXPECT_EQ(serverEvents->received, "{}");
  const auto& socket = serverEvents->disconnected[0];
  EXPECT_EQ(socket, serverEvents->connected[0]);
  EXPECT_EQ(socket->connectedHost(), "127.0.0.1");
  EXPECT_TRUE(server.connectedSockets().empty());
}

TEST_F(TcpSocketTest, StartingAgainReplacesTheListener) {
  const std::uint16_t first = listen();
  // The same port again: the old listener is gone before the new one binds.
  ASSERT_TRUE(server.startOnPort(first, std::string("127.0.0.1")));
  client.connectToHost("127.0.0.1", first);
  ASSERT_TRUE(pump([&] { return serverEvents->connected.size() == 1; }));

  ASSERT_TRUE(server.startOnPort(0, std::string("127.0.0.1")));
  const std::uint16_t second = server.listeningPort();
  EXPECT_NE(second, first);
  client.connectToHost("127.0.0.1", first);
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 1; }));
  EXPECT_EQ(clientEvents->ended[0].id, 2);
  EXPECT_TRUE(clientEvents->ended[0].error->isPosix(std::errc::connection_refused));
  // Accepted connections outlive the listener they came from.
  EXPECT_EQ(server.connectedSockets().size(), 1u);

  server.stop();
  EXPECT_FALSE(server.isListening());
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 2; }));
  EXPECT_EQ(clientEvents->ended[1].id, 1);
}

TEST_F(TcpSocketTest, ServerKeepsAtMostSixtyFourConnections) {
  const std::uint16_t port = listen();
  const std::size_t total = TCPSocketServer::kMaxConnections + 1;
  for (std::size_t i = 0; i < total; ++i) client.connectToHost("127.0.0.1", port);
  ASSERT_TRUE(pump([&] {
    return serverEvents->connected.size() == total && serverEvents->disconnected.size() == 1;
  }));
  EXPECT_EQ(serverEvents->disconnected[0], serverEvents->connected[0]);
  EXPECT_EQ(server.connectedSockets().size(), TCPSocketServer::kMaxConnections);
  // The client side of the closed connection learns of it.
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 1; }));
  EXPECT_TRUE(clientEvents->ended[0].error->is(platform::SocketErrorCode::kClosed));
}

TEST_F(TcpSocketTest, ServerDropsConnectionsThatStaySilent) {
  // Time jumps here, so both ends finish each step before the clock moves:
  // a jump could otherwise overtake the connect's or the write's completion.
  const std::int64_t id = client.connectToHost("127.0.0.1", listen());
  ASSERT_TRUE(
      pump([&] { return !serverEvents->connected.empty() && !clientEvents->connected.empty(); }));
  advanceSeconds(29);
  client.sendData("x", id);
  ASSERT_TRUE(
      pump([&] { return serverEvents->received == "x" && !clientEvents->written.empty(); }));
  // The silence is counted from the last bytes, not from the accept.
  advanceSeconds(29);
  platform::settle(*serverQueue);  // the time-out has looked at the clock
  runPending();
  EXPECT_TRUE(serverEvents->disconnected.empty());
  advanceSeconds(1);
  ASSERT_TRUE(pump([&] { return serverEvents->disconnected.size() == 1; }));
  ASSERT_TRUE(pump([&] { return clientEvents->ended.size() == 1; }));
  EXPECT_EQ(clientEvents->ended[0].id, id);
}

TEST(TcpSocketClientLog, ExplainsStartFailuresByTheirConstants) {
  platform::ScopedLogCapture log;
  TCPSocketClient::logConnectionError(std::nullopt, "h", 1);
  EXPECT_TRUE(log.lines().empty());
  TCPSocketClient::logConnectionError(SocketError::posix(std::errc::connection_refused), "h", 1);
  TCPSocketClient::logConnectionError(SocketError::posix(std::errc::timed_out), "h", 2);
  TCPSocketClient::logConnectionError(SocketError::posix(std::errc::address_not_available), "h", 3);
  TCPSocketClient::logConnectionError(SocketError::posix(std::errc::network_unreachable), "h", 4);
  TCPSocketClient::logConnectionError(SocketError::posix(std::errc::permission_denied), "h", 5);
  const std::vector<std::string> expected = {
      "⚠️ TCP连接被拒绝(ECONNREFUSED) - host:h port:1",
      "   可能原因：1.远端终端未启动TCP Server 2.端口号不匹配 3.终端防火墙拦截",
      "⚠️ TCP连接超时(ETIMEDOUT) - host:h port:2",
      "   可能原因：1.网络不通 2.终端不可达 3.网络延迟过高",
      "⚠️ TCP无法分配请求的地址(EADDRNOTAVAIL) - host:h port:3",
      "⚠️ TCP网络不可达(ENETUNREACH) - host:h port:4",
      fmt::format("⚠️ TCP连接错误(未知) - code:{} domain:POSIX", EACCES),
  };
  EXPECT_EQ(log.lines(), expected);
}

}  // namespace
}  // namespace veltrix::transport
