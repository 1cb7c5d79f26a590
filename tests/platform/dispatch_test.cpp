#include "veltrix/platform/dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "support/test_env.h"

namespace veltrix::platform {
namespace {

using testing::LoopTest;

class DispatchTest : public LoopTest {};

TEST_F(DispatchTest, SerialQueueRunsTasksInOrderOnItsOwnThread) {
  auto queue = SerialQueue::create("test.serial");
  std::vector<int> order;
  std::mutex m;
  std::atomic<bool> allCurrent{true};
  for (int i = 0; i < 200; ++i) {
    queue->post([&, i] {
      if (!queue->isCurrent() || MainLoop::shared().isCurrent()) allCurrent = false;
      std::lock_guard<std::mutex> lock(m);
      order.push_back(i);
    });
  }
  runSync(*queue, [] {});
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
  EXPECT_TRUE(allCurrent);
  EXPECT_FALSE(queue->isCurrent());
  EXPECT_EQ(queue->label(), "test.serial");
}

TEST_F(DispatchTest, MainLoopRunsPostedTasksFifoOnlyWhenPumped) {
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) main().post([&, i] { order.push_back(i); });
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(runPending(), 5u);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(DispatchTest, TaskPostedFromAnotherThreadReachesMain) {
  auto queue = SerialQueue::create("test.hop");
  bool ranOnMain = false;
  queue->post([&] { postToMain([&] { ranOnMain = MainLoop::shared().isCurrent(); }); });
  EXPECT_TRUE(main().runUntil([&] { return ranOnMain; }));
}

// Tasks that keep coming, each costing a while, as bytes a terminal keeps
// writing do: a wait still ends once what it waits for holds, and once its
// time is up, long before they stop.
TEST_F(DispatchTest, RunUntilEndsWhileTasksKeepComing) {
  using Steady = std::chrono::steady_clock;
  const auto floodEnd = Steady::now() + std::chrono::seconds(10);
  bool coming = true;
  int ran = 0;
  std::function<void()> again = [&] {
    ++ran;
    const auto busyUntil = Steady::now() + std::chrono::microseconds(100);
    while (Steady::now() < busyUntil) {
    }
    if (coming && Steady::now() < floodEnd) main().post(again);
  };
  main().post(again);
  EXPECT_TRUE(main().runUntil([&] { return ran >= 10; }));
  EXPECT_LT(Steady::now(), floodEnd) << "done unasked while tasks came";
  EXPECT_FALSE(main().runUntil([] { return false; }, std::chrono::milliseconds(50)));
  EXPECT_LT(Steady::now(), floodEnd) << "time-out unseen while tasks came";
  coming = false;
  runPending();
}

TEST_F(DispatchTest, AfterRunsOnceDueAndCancelStopsIt) {
  int fired = 0;
  int cancelledFired = 0;
  after(main(), seconds(2), [&] { ++fired; });
  DelayedCall call = after(main(), seconds(1), [&] { ++cancelledFired; });
  advanceSeconds(0.5);
  call.cancel();
  EXPECT_TRUE(call.isCancelled());
  advanceSeconds(1.0);
  EXPECT_EQ(fired, 0);
  advanceSeconds(0.5);
  EXPECT_EQ(fired, 1);
  advanceSeconds(10);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(cancelledFired, 0);
}

TEST_F(DispatchTest, ManualClockFiresEverythingInDeadlineOrder) {
  std::vector<std::string> order;
  after(main(), seconds(3), [&] { order.push_back("c3"); });
  after(main(), seconds(1), [&] {
    order.push_back("a1");
    // Scheduled while firing: due at 1.5 s, so it runs before "b2".
    after(main(), seconds(0.5), [&] { order.push_back("a1+0.5"); });
  });
  after(main(), seconds(2), [&] { order.push_back("b2"); });
  after(main(), seconds(2), [&] { order.push_back("b2'"); });
  auto timer = RepeatingTimer::start(main(), seconds(1.2), [&] { order.push_back("t"); });
  advanceSeconds(3);
  timer->invalidate();
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "t", "a1+0.5", "b2", "b2'", "t", "c3"}));
}

TEST_F(DispatchTest, TimerInvalidatedFromItsOwnBlockStopsAndIsReleased) {
  int fires = 0;
  std::weak_ptr<RepeatingTimer> weak;
  {
    std::shared_ptr<RepeatingTimer> timer;
    timer = RepeatingTimer::start(main(), seconds(1), [&] {
      if (++fires == 3) weak.lock()->invalidate();
    });
    weak = timer;
  }
  advanceSeconds(10);
  EXPECT_EQ(fires, 3);
  EXPECT_TRUE(weak.expired()) << "an invalidated timer must not keep itself alive";
}

TEST_F(DispatchTest, LateTimerSkipsMissedFiresInsteadOfBursting) {
  int fires = 0;
  auto timer = RepeatingTimer::start(main(), seconds(1), [&] { ++fires; });
  // Time moves 5.5 s while the main loop is busy elsewhere (advanced from
  // another thread): the timer's task is queued once, so it runs once, and
  // then the timer keeps its phase.
  std::thread([&] { clock().advance(seconds(5.5)); }).join();
  runPending();
  EXPECT_EQ(fires, 1);
  advanceSeconds(0.4);  // now 5.9 s: next fire is at 6 s
  EXPECT_EQ(fires, 1);
  advanceSeconds(0.1);
  EXPECT_EQ(fires, 2);
  timer->invalidate();
}

TEST_F(DispatchTest, OneShotTimerFiresOnceAndBecomesInvalid) {
  int fires = 0;
  auto timer = RepeatingTimer::start(
      main(), seconds(1), [&] { ++fires; }, false);
  advanceSeconds(5);
  EXPECT_EQ(fires, 1);
  EXPECT_FALSE(timer->isValid());
}

TEST_F(DispatchTest, GroupWaitOnWorkerEndsWhenMainLeaves) {
  DispatchGroup group;
  group.enter();
  group.enter();
  std::atomic<int> outcome{-1};
  GlobalQueue::shared().post([&, group]() mutable { outcome = group.wait(seconds(1)) ? 1 : 0; });
  main().post([group]() mutable { group.leave(); });
  main().post([group]() mutable { group.leave(); });
  EXPECT_TRUE(main().runUntil([&] { return outcome.load() != -1; }));
  EXPECT_EQ(outcome.load(), 1);
}

TEST_F(DispatchTest, GroupWaitTimesOutOnTheClockWhileMainIsPumped) {
  DispatchGroup group;
  group.enter();
  std::atomic<bool> waiting{false};
  std::atomic<int> outcome{-1};
  GlobalQueue::shared().post([&, group]() mutable {
    waiting = true;
    outcome = group.wait(seconds(1)) ? 1 : 0;
  });
  ASSERT_TRUE(main().runUntil([&] { return waiting.load(); }));
  const auto start = clock().now();
  advanceSeconds(0.5);
  EXPECT_FALSE(
      main().runUntil([&] { return outcome.load() != -1; }, std::chrono::milliseconds(30)));
  // The worker may have read the clock after `start`, as late as a busy
  // machine lets it; step time on until its wait gives up.
  EXPECT_TRUE(main().runUntil([&] {
    if (outcome.load() != -1) return true;
    advanceSeconds(0.1);
    return false;
  }));
  EXPECT_EQ(outcome.load(), 0);
  EXPECT_GE(clock().now() - start, seconds(1));
  group.leave();
}

TEST_F(DispatchTest, WorkersWaitingForWorkQueuedBehindThemAreNotStarved) {
  // One worker, and six tasks that each wait for a task they queue on the
  // same pool: a fixed pool would wait until the clock ran out.
  auto pool = std::make_shared<GlobalQueue>(1);
  constexpr int kWaiters = 6;
  std::atomic<int> answered{0};
  std::atomic<int> timedOut{0};
  for (int i = 0; i < kWaiters; ++i) {
    pool->post([&, weak = std::weak_ptr<GlobalQueue>(pool)] {
      DispatchGroup group;
      group.enter();
      weak.lock()->post([group]() mutable { group.leave(); });
      ++(group.wait(seconds(1)) ? answered : timedOut);
    });
  }
  const bool done = main().runUntil([&] { return answered + timedOut == kWaiters; });
  // Stuck waits end on the clock before the pool goes.
  for (int i = 0; i < 4 * kWaiters && answered + timedOut < kWaiters; ++i) {
    advanceSeconds(1.1);
    main().runUntil([&] { return answered + timedOut == kWaiters; }, std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(done) << answered.load() << " answered";
  EXPECT_EQ(answered.load(), kWaiters);
  EXPECT_EQ(timedOut.load(), 0);
  EXPECT_LE(pool->threadCount(), 1u + kWaiters);
  // The extra threads end once the burst is over.
  EXPECT_TRUE(main().runUntil([&] { return pool->threadCount() == 1; }));
}

TEST_F(DispatchTest, GlobalQueueRunsQueuedTasksBeforeItGoes) {
  std::atomic<int> ran{0};
  {
    auto pool = std::make_shared<GlobalQueue>(2);
    for (int i = 0; i < 50; ++i) pool->post([&] { ++ran; });
  }
  EXPECT_EQ(ran.load(), 50);
}

TEST_F(DispatchTest, GroupNotifyPostsOnceEmpty) {
  DispatchGroup group;
  int notified = 0;
  group.notify(main(), [&] { ++notified; });  // empty: posted at once
  runPending();
  EXPECT_EQ(notified, 1);
  group.enter();
  group.notify(main(), [&] { ++notified; });
  runPending();
  EXPECT_EQ(notified, 1);
  group.leave();
  runPending();
  EXPECT_EQ(notified, 2);
}

TEST_F(DispatchTest, ThrowingTaskDoesNotStopTheQueue) {
  auto queue = SerialQueue::create("test.throw");
  std::atomic<bool> after{false};
  queue->post([] { throw std::runtime_error("host block failed"); });
  queue->post([&] { after = true; });
  runSync(*queue, [] {});
  EXPECT_TRUE(after);
}

TEST_F(DispatchTest, SerialQueueDrainsWhenReleasedFromItsOwnTask) {
  auto queue = SerialQueue::create("test.release");
  std::atomic<int> ran{0};
  std::atomic<bool> done{false};
  queue->post([&] { ++ran; });
  queue->post([&, q = std::move(queue)]() mutable {
    q.reset();  // last owner, from inside the queue
    ++ran;
    done = true;
  });
  EXPECT_TRUE(main().runUntil([&] { return done.load(); }));
  EXPECT_EQ(ran.load(), 2);
}

TEST(MainLoopOwnThread, RunsTasksOnItsThreadAndStops) {
  MainLoop loop;
  loop.startOwnThread();
  std::atomic<bool> onLoop{false};
  auto ready = std::make_shared<std::atomic<bool>>(false);
  loop.post([&, ready] {
    onLoop = loop.isCurrent();
    *ready = true;
  });
  for (int i = 0; i < 1000 && !*ready; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(onLoop);
  EXPECT_FALSE(loop.isCurrent());
  loop.stop();
}

// The thread library hands an ended thread's id to the next thread it
// starts, commonly at once: that thread must not pass for the main one.
TEST(MainLoopOwnThread, ForgetsItsThreadWhenItEnds) {
  MainLoop loop;
  std::thread::id ended;
  std::thread([&] {
    loop.bindCurrentThread();
    ended = std::this_thread::get_id();
  }).join();
  bool sameId = false;
  bool current = false;
  std::thread([&] {
    sameId = std::this_thread::get_id() == ended;
    current = loop.isCurrent();
  }).join();
  EXPECT_FALSE(current) << "the new thread " << (sameId ? "took" : "did not take")
                        << " the ended one's id";
}

TEST(MainLoopWakeUp, HostIsWokenAndPumps) {
  MainLoop loop;
  std::atomic<int> wakeUps{0};
  loop.setWakeUp([&] { ++wakeUps; });
  int ran = 0;
  loop.post([&] { ++ran; });
  loop.post([&] { ++ran; });
  EXPECT_EQ(wakeUps.load(), 2);
  EXPECT_EQ(loop.runPending(), 2u);
  EXPECT_EQ(ran, 2);
  EXPECT_TRUE(loop.isCurrent());
}

// The timer thread sleeps until the earliest deadline and is woken only for
// a new earliest one: one due sooner than those waiting must still fire on
// time, and the later one not with it.
TEST(SystemClockTimers, SoonerDeadlineScheduledAfterALaterOneFiresOnTime) {
  SystemClock clock;
  auto queue = SerialQueue::create("test.timers");
  std::atomic<bool> lateFired{false};
  std::promise<void> soon;
  clock.schedule(clock.now() + std::chrono::minutes(1), queue, [&] { lateFired = true; });
  clock.schedule(clock.now() + millis(5), queue, [&] { soon.set_value(); });
  EXPECT_EQ(soon.get_future().wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(lateFired.load());
}

}  // namespace
}  // namespace veltrix::platform
