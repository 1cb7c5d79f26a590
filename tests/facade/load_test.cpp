// Payments under load through RetailerManager against the simulated
// terminal: one after another, and many in flight at once. Small counts
// here; bench/load_bench.cpp runs the full ones. Open files and memory must
// come back to where they were once the first round has set up what lives
// for the process.
#include <gtest/gtest.h>

#include <chrono>

#include "support/payment_load.h"
#include "support/test_env.h"

namespace veltrix::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kOneAfterAnother = 40;
constexpr std::size_t kInFlight = 16;
// Generous for a sanitizer build on a loaded machine.
constexpr auto kLimit = 120000ms;

class LoadTest : public LoopTest {
 protected:
  PaymentLoad load{docs()};
};

void expectClean(const PaymentLoad::Report& report, std::size_t payments) {
  EXPECT_EQ(report.payments, payments);
  EXPECT_EQ(report.approved, payments);
  EXPECT_EQ(report.wrong, 0u);
  EXPECT_EQ(report.unanswered, 0u);
  EXPECT_EQ(report.loggedOnce, payments);
}

TEST_F(LoadTest, EveryResultReachesItsOwnBlockOnceAndResourcesComeBack) {
  // The first round sets up what lives for the process (pools, caches).
  expectClean(load.oneAfterAnother(4, kLimit), 4);
  expectClean(load.inFlight(4, kLimit), 4);
  ASSERT_TRUE(load.settle(10s));
  const std::size_t files = openFileCount();
  const std::size_t memory = residentBytes();

  expectClean(load.oneAfterAnother(kOneAfterAnother, kLimit), kOneAfterAnother);
  expectClean(load.inFlight(kInFlight, kLimit), kInFlight);
  EXPECT_EQ(load.terminalRequests(), 8 + kOneAfterAnother + kInFlight);

  ASSERT_TRUE(load.settle(10s));
  EXPECT_LE(openFileCount(), files);
  // Bounded, not zero: allocators keep freed pages, a sanitizer holds
  // freed blocks in quarantine.
  EXPECT_LT(residentBytes(), memory + (48u << 20))
      << "from " << (memory >> 10) << " KiB to " << (residentBytes() >> 10) << " KiB";
}

// A point-of-sale host calls from a pool of worker threads: every call is
// carried out on the main loop, none races another. ThreadSanitizer sees a
// race in a few calls; the others need many for its effects to show.
TEST_F(LoadTest, PaymentsFromHostThreadsAreEachAnsweredOnce) {
  constexpr std::size_t kThreads = 8;
#if defined(VELTRIX_TEST_TSAN)
  constexpr std::size_t kEach = 4;
#else
  constexpr std::size_t kEach = 50;
#endif
  expectClean(load.fromHostThreads(kThreads, kEach, kLimit), kThreads * kEach);
  EXPECT_EQ(load.terminalRequests(), kThreads * kEach);
}

}  // namespace
}  // namespace veltrix::testing
