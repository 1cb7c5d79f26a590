#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/loopback_listener.h"
#include "support/test_env.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using std::chrono::milliseconds;
using U = KVISOUtils;

class PingHost : public testing::LoopTest {
 protected:
  struct Outcome {
    int calls = 0;
    bool reachable = false;
    bool onMainThread = false;
  };

  // Probes and pumps the main loop until the completion came (real time,
  // bounded), then a little longer to catch a second call.
  Outcome ping(const std::string& host, std::int64_t port, double timeout) {
    auto outcome = std::make_shared<Outcome>();
    U::pingHost(host, port, timeout, [this, outcome](bool reachable) {
      ++outcome->calls;
      outcome->reachable = reachable;
      outcome->onMainThread = main().isCurrent();
    });
    EXPECT_EQ(outcome->calls, 0) << "the completion must not run inside the call";
    main().runUntil([&] { return outcome->calls > 0; }, milliseconds(3000));
    main().runUntil([] { return false; }, milliseconds(20));
    return *outcome;
  }
};

TEST_F(PingHost, ReachesALoopbackListener) {
  testing::LoopbackListener listener;
  ASSERT_TRUE(listener.ok());
  const Outcome o = ping("127.0.0.1", listener.port(), 0.5);
  EXPECT_EQ(o.calls, 1);
  EXPECT_TRUE(o.reachable);
  EXPECT_TRUE(o.onMainThread);
}

TEST_F(PingHost, OnlyTheLow16BitsOfThePortCount) {
  testing::LoopbackListener listener;
  ASSERT_TRUE(listener.ok());
  const Outcome o = ping("127.0.0.1", (std::int64_t{7} << 16) | listener.port(), 0.5);
  EXPECT_TRUE(o.reachable);
}

TEST_F(PingHost, AClosedPortIsRefusedQuickly) {
  testing::ClosedLoopbackPort closed;
  ASSERT_TRUE(closed.ok());
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = ping("127.0.0.1", closed.port(), 5.0);
  EXPECT_EQ(o.calls, 1);
  EXPECT_FALSE(o.reachable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
}

TEST_F(PingHost, AHostNameIsNotProbed) {
  for (const char* host : {"localhost", "", "127.0.0.1:80", "127.1"}) {
    const Outcome o = ping(host, 80, 0.5);
    EXPECT_EQ(o.calls, 1) << host;
    EXPECT_FALSE(o.reachable) << host;
  }
}

TEST_F(PingHost, AnUnansweredConnectEndsWithTheTimeout) {
  testing::LoopbackListener listener(0);
  ASSERT_TRUE(listener.ok());
  if (!listener.saturate()) GTEST_SKIP() << "the kernel kept answering connection requests";
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = ping("127.0.0.1", listener.port(), 0.2);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(o.calls, 1);
  EXPECT_FALSE(o.reachable);
  EXPECT_GE(took, milliseconds(150));
  EXPECT_LT(took, milliseconds(2000));
}

TEST_F(PingHost, ATimeoutOfZeroNeverHangs) {
  testing::LoopbackListener listener(0);
  ASSERT_TRUE(listener.ok());
  if (!listener.saturate()) GTEST_SKIP() << "the kernel kept answering connection requests";
  for (const double timeout : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = ping("127.0.0.1", listener.port(), timeout);
    EXPECT_EQ(o.calls, 1);
    EXPECT_FALSE(o.reachable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
  }
}

TEST_F(PingHost, ManyProbesEachCompleteOnce) {
  testing::LoopbackListener listener;
  testing::ClosedLoopbackPort closed;
  ASSERT_TRUE(listener.ok() && closed.ok());
  auto yes = std::make_shared<int>(0);
  auto no = std::make_shared<int>(0);
  for (int i = 0; i < 10; ++i) {
    const std::uint16_t port = i % 2 == 0 ? listener.port() : closed.port();
    U::pingHost("127.0.0.1", port, 1.0, [yes, no](bool ok) { ++*(ok ? yes : no); });
  }
  main().runUntil([&] { return *yes + *no == 10; }, milliseconds(5000));
  EXPECT_EQ(*yes, 5);
  EXPECT_EQ(*no, 5);
  U::pingHost("127.0.0.1", listener.port(), 0.5, nullptr);  // no completion: no crash
  main().runUntil([] { return false; }, milliseconds(50));
}

}  // namespace
}  // namespace veltrix::transport
