#include "veltrix/facade/result_back_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade {
namespace {

using platform::ScopedLogCapture;
using testing::LoopTest;

struct FakePaymentResult {
  std::string reference;
};
struct FakeRefundResult {
  int value = 0;
};

// One call of a host block, as the block saw it.
struct Delivery {
  std::string tag;
  std::shared_ptr<const FakePaymentResult> result;
  std::int64_t code = 0;
  std::optional<std::string> message;
  bool onMain = false;
};

class ResultBackManagerTest : public LoopTest {
 protected:
  // Nothing may be left to deliver into this fixture once it goes away.
  void TearDown() override { drain(registry_); }

  // A host block that records each call under `tag`.
  HostBlock recorder(std::string tag) {
    return [this, tag](ResultObject result, std::int64_t code, std::optional<std::string> message) {
      std::lock_guard<std::mutex> lock(mutex_);
      deliveries_.push_back(
          {tag, result.get<FakePaymentResult>(), code, std::move(message), main().isCurrent()});
    };
  }

  std::vector<Delivery> deliveries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return deliveries_;
  }
  std::size_t deliveryCount() { return deliveries().size(); }

  bool waitForDeliveries(std::size_t n) {
    return main().runUntil([&] { return deliveryCount() >= n; });
  }

  // Pumps the main loop until everything sent to `registry` before this
  // call has been handled: the serial queue and the main loop are both
  // FIFO, so once a marker delivery arrives, every earlier one has.
  void drain(ResultBackManager& registry) {
    auto reached = std::make_shared<std::atomic<bool>>(false);
    const std::string marker = "drain-marker";
    registry.registerCallback(
        [reached](ResultObject, std::int64_t, std::optional<std::string>) { *reached = true; },
        marker);
    registry.executeCallbackForId(marker, nullptr, 0, std::nullopt);
    registry.removeCallbackForId(marker);
    ASSERT_TRUE(main().runUntil([&] { return reached->load(); }));
  }

  static std::shared_ptr<const FakePaymentResult> payment(std::string reference) {
    return std::make_shared<const FakePaymentResult>(FakePaymentResult{std::move(reference)});
  }

  ResultBackManager registry_;

 private:
  std::mutex mutex_;
  std::vector<Delivery> deliveries_;
};

TEST_F(ResultBackManagerTest, DeliversOnTheMainLoopAfterTheCallReturns) {
  registry_.registerCallback(recorder("A"), "A1");
  registry_.executeCallbackForId("A1", payment("r1"), 0, std::nullopt);
  // Nothing runs inside the call, even though it was made on the main loop.
  EXPECT_EQ(deliveryCount(), 0u);

  ASSERT_TRUE(waitForDeliveries(1));
  const Delivery d = deliveries().front();
  EXPECT_TRUE(d.onMain);
  ASSERT_NE(d.result, nullptr);
  EXPECT_EQ(d.result->reference, "r1");
  EXPECT_EQ(d.code, 0);
  EXPECT_EQ(d.message, std::nullopt);
}

TEST_F(ResultBackManagerTest, ExecuteThenRemoveDeliversExactlyOnce) {
  registry_.registerCallback(recorder("A"), "A1");
  registry_.executeCallbackForId("A1", nullptr, -200, "fail to connect");
  registry_.removeCallbackForId("A1");
  // A result that arrives after the removal finds no block.
  registry_.executeCallbackForId("A1", payment("late"), 0, std::nullopt);
  drain(registry_);

  ASSERT_EQ(deliveryCount(), 1u);
  const Delivery d = deliveries().front();
  EXPECT_EQ(d.result, nullptr);
  EXPECT_EQ(d.code, -200);
  EXPECT_EQ(d.message, "fail to connect");
}

TEST_F(ResultBackManagerTest, IntermediateAndFinalResultsArriveInOrder) {
  registry_.registerCallback(recorder("A"), "A1");
  registry_.executeCallbackForId("A1", payment("first"), 0, std::nullopt);
  registry_.executeCallbackForId("A1", payment("second"), 0, std::nullopt);
  registry_.removeCallbackForId("A1");
  drain(registry_);

  const auto all = deliveries();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].result->reference, "first");
  EXPECT_EQ(all[1].result->reference, "second");
}

TEST_F(ResultBackManagerTest, ExchangesInFlightNeverCross) {
  registry_.registerCallback(recorder("A"), "EXCHANGE-A");
  registry_.registerCallback(recorder("B"), "EXCHANGE-B");
  // B's answer comes first.
  registry_.executeCallbackForId("EXCHANGE-B", payment("for B"), 0, std::nullopt);
  registry_.removeCallbackForId("EXCHANGE-B");
  registry_.executeCallbackForId("EXCHANGE-A", payment("for A"), 0, std::nullopt);
  registry_.removeCallbackForId("EXCHANGE-A");
  drain(registry_);

  const auto all = deliveries();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].tag, "B");
  EXPECT_EQ(all[0].result->reference, "for B");
  EXPECT_EQ(all[1].tag, "A");
  EXPECT_EQ(all[1].result->reference, "for A");
}

TEST_F(ResultBackManagerTest, RegistrationReplacesAndAnEmptyBlockRemoves) {
  registry_.registerCallback(recorder("first"), "A1");
  registry_.registerCallback(recorder("second"), "A1");
  registry_.executeCallbackForId("A1", nullptr, 0, std::nullopt);
  drain(registry_);
  ASSERT_EQ(deliveryCount(), 1u);
  EXPECT_EQ(deliveries().front().tag, "second");

  registry_.registerCallback(HostBlock{}, "A1");
  registry_.executeCallbackForId("A1", nullptr, 0, std::nullopt);
  drain(registry_);
  EXPECT_EQ(deliveryCount(), 1u);
}

TEST_F(ResultBackManagerTest, NoIdentifierMeansNothingAtAll) {
  ScopedLogCapture log;
  registry_.registerCallback(recorder("empty"), "");
  registry_.registerCallback(recorder("absent"), std::nullopt);
  registry_.executeCallbackForId("", nullptr, 0, std::nullopt);
  registry_.executeCallbackForId(std::nullopt, nullptr, 0, std::nullopt);
  registry_.removeCallbackForId("");
  registry_.removeCallbackForId(std::nullopt);
  EXPECT_FALSE(log.contains("----executeCallbackForId"));

  registry_.executeCallbackForId("unknown", nullptr, 0, std::nullopt);
  EXPECT_EQ(log.count("----executeCallbackForId"), 1u);
  drain(registry_);
  EXPECT_EQ(deliveryCount(), 0u);
}

TEST_F(ResultBackManagerTest, CallsFromManyThreadsEachReachTheirOwnBlock) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 50;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string id = std::to_string(t) + "-" + std::to_string(i);
      registry_.registerCallback(recorder(id), id);
    }
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::string id = std::to_string(t) + "-" + std::to_string(i);
        registry_.executeCallbackForId(id, payment(id), 0, std::nullopt);
        registry_.removeCallbackForId(id);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  drain(registry_);

  const auto all = deliveries();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kPerThread));
  for (const Delivery& d : all) {
    ASSERT_NE(d.result, nullptr);
    EXPECT_EQ(d.result->reference, d.tag);
    EXPECT_TRUE(d.onMain);
  }
}

TEST_F(ResultBackManagerTest, AThrowingHostBlockDoesNotStopLaterDeliveries) {
  registry_.registerCallback(
      [](ResultObject, std::int64_t, std::optional<std::string>) {
        throw std::runtime_error("host bug");
      },
      "BAD");
  registry_.registerCallback(recorder("good"), "GOOD");
  registry_.executeCallbackForId("BAD", nullptr, 0, std::nullopt);
  registry_.executeCallbackForId("GOOD", nullptr, 0, std::nullopt);
  drain(registry_);
  EXPECT_EQ(deliveryCount(), 1u);
}

TEST_F(ResultBackManagerTest, WorkQueuedBeforeDestructionStillCompletes) {
  {
    ResultBackManager shortLived;
    shortLived.registerCallback(recorder("A"), "A1");
    shortLived.executeCallbackForId("A1", payment("r"), 0, std::nullopt);
  }
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries().front().result->reference, "r");
}

// --- type erasure of the typed host blocks -----------------------------------

TEST(ResultObjectTest, HandsTheObjectBackOnlyAsItsOwnType) {
  auto result = std::make_shared<FakePaymentResult>(FakePaymentResult{"x"});
  const ResultObject object(result);
  EXPECT_FALSE(object.empty());
  EXPECT_EQ(object.get<FakePaymentResult>(), result);
  EXPECT_EQ(object.get<const FakePaymentResult>(), result);
  EXPECT_EQ(object.get<FakeRefundResult>(), nullptr);

  EXPECT_TRUE(ResultObject().empty());
  EXPECT_TRUE(ResultObject(std::shared_ptr<FakePaymentResult>()).empty());
  EXPECT_EQ(ResultObject(nullptr).get<FakePaymentResult>(), nullptr);
}

TEST(EraseResultBlockTest, PassesTypedResultsAndGuardsAgainstWrongTypes) {
  std::vector<std::shared_ptr<const FakePaymentResult>> seen;
  std::vector<std::int64_t> codes;
  const HostBlock block =
      eraseResultBlock<FakePaymentResult>([&](std::shared_ptr<const FakePaymentResult> result,
                                              std::int64_t code, std::optional<std::string>) {
        seen.push_back(std::move(result));
        codes.push_back(code);
      });
  ASSERT_TRUE(block);

  auto ok = std::make_shared<const FakePaymentResult>(FakePaymentResult{"ok"});
  block(ok, 0, std::nullopt);
  block(nullptr, -200, "fail");
  ScopedLogCapture log;
  block(std::make_shared<const FakeRefundResult>(), 0, std::nullopt);
  EXPECT_TRUE(log.contains("result type mismatch"));

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], ok);
  EXPECT_EQ(seen[1], nullptr);
  EXPECT_EQ(codes[1], -200);
  EXPECT_EQ(seen[2], nullptr);

  EXPECT_FALSE(eraseResultBlock<FakePaymentResult>({}));
}

}  // namespace
}  // namespace veltrix::facade
