// The socket layer over loopback: TCP connect, accept, reads, writes and
// their ends; time-outs on the process clock; UDP sends and closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/async_tcp.h"
#include "veltrix/platform/async_udp.h"
#include "veltrix/platform/io_queue.h"

namespace veltrix::platform {
namespace {

const std::optional<std::string> kLoopback = std::string("127.0.0.1");

// What one TCP socket reported, collected on the main loop.
struct TcpLog {
  bool connected = false;
  std::string bytes;
  std::vector<std::int64_t> readTags;
  std::vector<std::int64_t> writeTags;
  std::optional<std::optional<SocketError>> ended;

  AsyncTcpSocket::Events events() {
    AsyncTcpSocket::Events e;
    e.onConnect = [this](const AsyncTcpSocket::Ptr&) { postToMain([this] { connected = true; }); };
    e.onRead = [this](const AsyncTcpSocket::Ptr&, std::vector<std::uint8_t> b, std::int64_t tag) {
      postToMain([this, b = std::move(b), tag] {
        bytes.append(b.begin(), b.end());
        readTags.push_back(tag);
      });
    };
    e.onWrite = [this](const AsyncTcpSocket::Ptr&, std::int64_t tag) {
      postToMain([this, tag] { writeTags.push_back(tag); });
    };
    e.onDisconnect = [this](const AsyncTcpSocket::Ptr&, const std::optional<SocketError>& err) {
      postToMain([this, err] { ended = err; });
    };
    return e;
  }
};

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

class AsyncTcpTest : public testing::LoopTest {
 protected:
  AsyncTcpTest() {
    listener = AsyncTcpListener::create(queue, {[this](const AsyncTcpSocket::Ptr& s) {
                                          s->setEvents(serverLog.events());
                                          postToMain([this, s] { accepted = s; });
                                        }});
  }
  ~AsyncTcpTest() override {
    listener->close();
    if (accepted) accepted->disconnect();
    if (client) client->disconnect();
    // The ends are reported; deliver them while the logs still exist.
    settle(*queue);
    runPending();
  }

  // Listens, connects a client and waits for both ends.
  void connectPair() {
    ASSERT_TRUE(listener->acceptOnPort(0, kLoopback, nullptr));
    client = AsyncTcpSocket::create(queue, clientLog.events());
    ASSERT_TRUE(client->connectToHost("127.0.0.1", listener->localPort(), seconds(5), nullptr));
    ASSERT_TRUE(main().runUntil([&] { return clientLog.connected && accepted; }));
  }

  std::shared_ptr<IoQueue> queue = IoQueue::create("test.tcp");
  AsyncTcpListener::Ptr listener;
  AsyncTcpSocket::Ptr client;
  AsyncTcpSocket::Ptr accepted;
  TcpLog clientLog;
  TcpLog serverLog;
};

TEST_F(AsyncTcpTest, ExchangesBytesAndReportsEachEnd) {
  ASSERT_TRUE(listener->acceptOnPort(0, kLoopback, nullptr));
  client = AsyncTcpSocket::create(queue, clientLog.events());
  // A read queued before the connection is up is served once it is.
  client->readData(7);
  ASSERT_TRUE(client->connectToHost("127.0.0.1", listener->localPort(), seconds(5), nullptr));
  SocketError error;
  EXPECT_FALSE(client->connectToHost("127.0.0.1", listener->localPort(), seconds(5), &error));
  EXPECT_TRUE(error.is(SocketErrorCode::kBadConfig));
  ASSERT_TRUE(main().runUntil([&] { return clientLog.connected && accepted; }));
  EXPECT_TRUE(client->isConnected());
  EXPECT_EQ(client->connectedHost(), "127.0.0.1");
  EXPECT_EQ(client->connectedPort(), listener->localPort());
  EXPECT_EQ(accepted->connectedPort(), client->localPort());

  accepted->writeData(bytesOf("pong"), Duration::zero(), 3);
  accepted->readData(1);
  client->writeData(bytesOf("ping"), seconds(10), 9);
  ASSERT_TRUE(main().runUntil([&] {
    return clientLog.bytes == "pong" && serverLog.bytes == "ping" && !clientLog.writeTags.empty();
  }));
  EXPECT_EQ(clientLog.readTags, std::vector<std::int64_t>{7});
  EXPECT_EQ(clientLog.writeTags, std::vector<std::int64_t>{9});

  // Closed here: no error; seen from the peer: closed by the remote side.
  client->disconnect();
  accepted->readData(2);
  ASSERT_TRUE(main().runUntil([&] { return clientLog.ended && serverLog.ended; }));
  EXPECT_EQ(*clientLog.ended, std::nullopt);
  ASSERT_TRUE(serverLog.ended->has_value());
  EXPECT_TRUE((*serverLog.ended)->is(SocketErrorCode::kClosed));
  EXPECT_TRUE(accepted->isDisconnected());
  EXPECT_EQ(accepted->connectedHost(), "127.0.0.1");
}

TEST_F(AsyncTcpTest, ConnectsToAHostName) {
  ASSERT_TRUE(listener->acceptOnPort(0, kLoopback, nullptr));
  client = AsyncTcpSocket::create(queue, clientLog.events());
  ASSERT_TRUE(client->connectToHost("localhost", listener->localPort(), seconds(5), nullptr));
  ASSERT_TRUE(main().runUntil([&] { return clientLog.connected; }));
  EXPECT_EQ(client->connectedHost(), "127.0.0.1");
}

TEST_F(AsyncTcpTest, ReadTimeOutFollowsTheProcessClock) {
  connectPair();
  accepted->readData(0, seconds(30));
  runOnQueueAndWait(*queue, [] {});  // the read and its time-out are armed
  advanceSeconds(29.9);
  runOnQueueAndWait(*queue, [] {});
  EXPECT_TRUE(accepted->isConnected());
  advanceSeconds(0.1);
  ASSERT_TRUE(main().runUntil([&] { return serverLog.ended.has_value(); }));
  ASSERT_TRUE(serverLog.ended->has_value());
  EXPECT_TRUE((*serverLog.ended)->isPosix(std::errc::timed_out));
}

TEST_F(AsyncTcpTest, ClosedListenerFreesItsPortAtOnce) {
  ASSERT_TRUE(listener->acceptOnPort(0, kLoopback, nullptr));
  const std::uint16_t port = listener->localPort();
  auto other = AsyncTcpListener::create(queue, {});
  SocketError error;
  EXPECT_FALSE(other->acceptOnPort(port, kLoopback, &error));
  EXPECT_TRUE(error.isPosix(std::errc::address_in_use));
  EXPECT_EQ(error.toString(), "EADDRINUSE (Address already in use)");

  listener->close();
  EXPECT_FALSE(listener->isListening());
  EXPECT_TRUE(other->acceptOnPort(port, kLoopback, nullptr));
  other->close();
}

// The first value on the line of /proc/self/`file` that starts with `key`.
long procValue(const std::string& file, const std::string& key) {
  std::ifstream in("/proc/self/" + file);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  }
  return -1;
}

// Growing the descriptor table in a threaded process waits tens of
// milliseconds; a socket opened on the main loop must find it grown.
TEST(IoQueueTest, ItsThreadLeavesRoomInTheDescriptorTable) {
  auto queue = IoQueue::create("test.fdtable");
  settle(*queue);
  const long limit = procValue("limits", "Max open files");
  const long size = procValue("status", "FDSize:");
  if (limit < 0 || size < 0) GTEST_SKIP() << "no /proc";
  EXPECT_GE(size, std::min(limit, 4096L));
}

TEST(AsyncUdpSocketTest, RefusesWhatItCannotSend) {
  auto queue = IoQueue::create("test.udp");
  std::vector<std::pair<std::int64_t, SocketError>> notSent;
  std::mutex mutex;
  AsyncUdpSocket::Events events;
  events.onNotSent = [&](std::int64_t tag, const SocketError& e) {
    std::lock_guard<std::mutex> guard(mutex);
    notSent.emplace_back(tag, e);
  };
  auto socket = AsyncUdpSocket::create(queue, events);
  EXPECT_TRUE(socket->isClosed());
  SocketError error;
  EXPECT_FALSE(socket->beginReceiving(&error));
  EXPECT_TRUE(error.is(SocketErrorCode::kBadConfig));
  ASSERT_TRUE(socket->bindToPort(0, kLoopback, nullptr));
  EXPECT_FALSE(socket->isClosed());
  EXPECT_NE(socket->localPort(), 0);

  socket->send(bytesOf("x"), std::nullopt, 9, 1);
  socket->close();
  EXPECT_TRUE(socket->isClosed());
  socket->send(bytesOf("x"), std::string("127.0.0.1"), 9, 2);
  runOnQueueAndWait(*queue, [] {});
  std::lock_guard<std::mutex> guard(mutex);
  ASSERT_EQ(notSent.size(), 2u);
  EXPECT_EQ(notSent[0].first, 1);
  EXPECT_TRUE(notSent[0].second.is(SocketErrorCode::kBadParam));
  EXPECT_EQ(notSent[1].first, 2);
}

TEST(SocketErrorTest, NamesErrnoValuesByTheirConstants) {
  EXPECT_EQ(errnoName(ECONNREFUSED), "ECONNREFUSED");
  EXPECT_EQ(errnoName(ETIMEDOUT), "ETIMEDOUT");
  EXPECT_EQ(errnoName(-5), std::nullopt);
  EXPECT_EQ(SocketError::posix(ECONNREFUSED).toString(), "ECONNREFUSED (Connection refused)");
  EXPECT_EQ(SocketError::posix(9999, "odd").toString(), "errno 9999 (odd)");
  EXPECT_EQ(SocketError::socket(SocketErrorCode::kClosed, "gone").toString(),
            "AsyncSocket error 7 (gone)");
}

}  // namespace
}  // namespace veltrix::platform
