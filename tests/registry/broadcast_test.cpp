// UDP broadcast sender and receiver over loopback. The receiver's own
// address is 127.0.0.1; the "terminal" sends from 127.0.0.2.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/async_udp.h"
#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"

namespace veltrix::registry {
namespace {

const std::string kOwn = "127.0.0.1";
const std::string kPeer = "127.0.0.2";

struct Datagram {
  std::optional<std::string> message;
  std::string host;
  bool onMain;
};

class BroadcastTest : public testing::LoopTest {
 protected:
  BroadcastTest() {
    receiver.setMessageHandler([this](const std::optional<std::string>& m, const std::string& h) {
      got.push_back({m, h, main().isCurrent()});
    });
  }

  std::uint16_t listen(std::uint16_t port = 0) {
    EXPECT_TRUE(receiver.startListeningOnPort(port, kOwn));
    return receiver.listeningPort();
  }
  // Waits until the receiver has looked at `n` datagrams and finished with
  // them, then delivers whatever it passed on.
  bool seen(int n) {
    const bool ok = main().runUntil([&] { return lookups.load() >= n; });
    platform::runOnQueueAndWait(*queue, [] {});
    runPending();
    return ok;
  }

  platform::ScopedLogCapture log;
  std::atomic<int> lookups{0};
  std::vector<Datagram> got;
  std::shared_ptr<platform::IoQueue> queue = platform::IoQueue::create("com.orvane.tavio");
  BroadcastReceiver receiver{queue, [this]() -> std::optional<std::string> {
                               ++lookups;
                               return kOwn;
                             }};
  BroadcastSender own{kOwn};
  BroadcastSender peer{kPeer};
};

TEST_F(BroadcastTest, HandsOtherHostsDatagramsToTheMainLoopAndDropsItsOwn) {
  const std::uint16_t port = listen();
  own.sendBroadcastMessage("mine", port, kOwn);
  peer.sendBroadcastMessage("{\"time\":\"1\"}", port, kOwn);
  peer.sendBroadcastMessage(std::string("\xFF\xFE", 2), port, kOwn);
  ASSERT_TRUE(seen(3));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, "{\"time\":\"1\"}");
  EXPECT_EQ(got[0].host, kPeer);
  EXPECT_TRUE(got[0].onMain);
  // Bytes that are not UTF-8 still arrive, without a message.
  EXPECT_EQ(got[1].message, std::nullopt);
  EXPECT_EQ(got[1].host, kPeer);
  EXPECT_TRUE(log.contains(fmt::format("Send broadcast to 127.0.0.1:{} - mine", port)));
}

TEST_F(BroadcastTest, ListeningAgainOnThePortLosesNothing) {
  const std::uint16_t port = listen();
  auto first = receiver.udpSocket();
  ASSERT_EQ(listen(port), port);
  EXPECT_TRUE(first->isClosed());
  // Had the old socket stayed open, the system would have refused the port
  // or, with port reuse, handed it part of these (it spreads senders by
  // their ports).
  const int count = 20;
  for (int i = 0; i < count; ++i) {
    peer.setupSocket();
    peer.sendBroadcastMessage(std::to_string(i), port, kOwn);
  }
  ASSERT_TRUE(seen(count));
  EXPECT_EQ(got.size(), static_cast<std::size_t>(count));

  receiver.stopListening();
  EXPECT_EQ(receiver.udpSocket(), nullptr);
  EXPECT_EQ(receiver.listeningPort(), 0);
}

// With port reuse the system may pick, for port 0, a port that another
// reusing socket holds (another program's, say), and then splits the
// datagrams between the two: a picked port takes no reuse, so no socket can
// share it. A port asked for by number is still shared, as broadcast ports
// are among programs.
TEST_F(BroadcastTest, APickedPortIsTheReceiversOwnANamedOneIsShared) {
  const auto reusing = [] {
    auto socket = platform::AsyncUdpSocket::create(platform::IoQueue::create("other program"));
    EXPECT_TRUE(socket->enableReusePort(true, nullptr));
    return socket;
  };
  const std::uint16_t picked = listen();
  EXPECT_FALSE(reusing()->bindToPort(picked, kOwn, nullptr));
  ASSERT_EQ(listen(picked), picked);
  EXPECT_FALSE(reusing()->bindToPort(picked, kOwn, nullptr)) << "listening again";

  auto holder = reusing();
  ASSERT_TRUE(holder->bindToPort(0, kOwn, nullptr));
  const std::uint16_t named = holder->localPort();
  ASSERT_EQ(listen(named), named);
  EXPECT_TRUE(reusing()->bindToPort(named, kOwn, nullptr));
  holder->close();
}

TEST_F(BroadcastTest, BindFailureIsLoggedAndTheSocketKept) {
  // A socket without port reuse holds the port.
  auto holder = platform::AsyncUdpSocket::create(platform::IoQueue::create("holder"));
  ASSERT_TRUE(holder->bindToPort(0, kOwn, nullptr));
  const std::uint16_t port = holder->localPort();
  EXPECT_FALSE(receiver.startListeningOnPort(port, kOwn));
  EXPECT_TRUE(log.contains(fmt::format("Error binding to port {}: EADDRINUSE", port)));
  EXPECT_NE(receiver.udpSocket(), nullptr);
  holder->close();
}

TEST_F(BroadcastTest, ClosedSenderDropsOneMessageAndSetsUpAgain) {
  const std::uint16_t port = listen();
  auto old = peer.udpSocket();
  old->close();
  peer.sendBroadcastMessage("lost", port, kOwn);
  EXPECT_TRUE(log.contains("Socket is closed, cannot send message"));
  EXPECT_FALSE(log.contains("lost"));
  ASSERT_NE(peer.udpSocket(), old);
  EXPECT_FALSE(peer.udpSocket()->isClosed());

  // An absent host is logged as sent but goes nowhere.
  peer.sendBroadcastMessage("nobody", port, std::nullopt);
  EXPECT_TRUE(log.contains(fmt::format("Send broadcast to (null):{} - nobody", port)));
  peer.sendBroadcastMessage("found", port, kOwn);
  ASSERT_TRUE(seen(1));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, "found");
  EXPECT_EQ(lookups.load(), 1);
}

}  // namespace
}  // namespace veltrix::registry
