#include "veltrix/platform/process_exit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/uuid.h"

namespace veltrix::platform {
namespace {

using namespace std::chrono_literals;

TEST(OwnedThreadTest, FinishJoinsOrGivesUpAtTheDeadline) {
  OwnedThread quick;
  std::atomic<bool> ran{false};
  quick.start([&] { ran = true; });
  quick.finish();
  EXPECT_TRUE(ran.load());
  quick.finish();  // once only

  // A thread blocked on something that never comes (a main loop that no
  // longer runs) is left behind at the deadline instead of hanging exit.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  auto blocked = std::make_unique<OwnedThread>();
  blocked->start([released] { released.wait(); });
  const auto started = std::chrono::steady_clock::now();
  blocked->finish(std::chrono::steady_clock::now() + 20ms);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  blocked.reset();  // detached: the object may go while the thread still runs
  release.set_value();
}

TEST(OwnedThreadTest, ReleasedByItsOwnBodyItDetaches) {
  auto owner = std::make_shared<OwnedThread>();
  std::promise<void> done;
  std::future<void> doneFuture = done.get_future();
  std::weak_ptr<OwnedThread> weak = owner;
  owner->start([weak, &done]() mutable {
    if (auto self = weak.lock()) self->finish();
    done.set_value();
  });
  ASSERT_EQ(doneFuture.wait_for(5s), std::future_status::ready);
  owner.reset();
}

constexpr const char* kChildVariable = "VELTRIX_EXIT_CHILD";

// exit() while every kind of library thread is busy with work that reads the
// clock, draws random bytes, logs and posts: the child ends with 0, its stops
// in stage order, every worker thread over before the queues' stage.
TEST(ProcessExitTest, ExitWhileEveryThreadIsBusyEndsCleanly) {
  for (int run = 0; run < 3; ++run) {
    std::string error;
    auto child = testing::ChildProcess::spawn(testing::testChildCommand("ProcessExitChild.*"),
                                              {{kChildVariable, "1"}, {"VELTRIX_LOG", ""}}, &error);
    ASSERT_TRUE(child) << error;
    const std::optional<int> status = child->wait(20000ms);
    ASSERT_TRUE(status) << "the child did not end:\n" << child->output();
    EXPECT_EQ(*status, 0) << child->output();
    const std::string& out = child->output();
    EXPECT_EQ(out.find("Sanitizer"), std::string::npos) << out;
    const std::size_t input = out.find("stop: input");
    const std::size_t queues = out.find("stop: queues");
    ASSERT_NE(input, std::string::npos) << out;
    ASSERT_NE(queues, std::string::npos) << out;
    EXPECT_LT(input, queues) << out;
    const std::size_t workerEnded = out.rfind("worker ended");
    ASSERT_NE(workerEnded, std::string::npos) << out;
    EXPECT_LT(workerEnded, queues) << out;
    EXPECT_NE(out.find("queued task ran at exit"), std::string::npos) << out;
  }
}

// The child's side of the test above.
TEST(ProcessExitChild, DISABLED_ExitsWhileBusy) {
  if (std::getenv(kChildVariable) == nullptr) GTEST_SKIP() << "runs only as a child";
  setLogSink([](std::string_view) {});
  // Registered first but of a later stage: runs second.
  static auto* queuesStop = new ExitStop(ExitStage::kQueues, [](ExitDeadline) {
    std::fputs("stop: queues\n", stdout);
    std::fflush(stdout);
  });
  // Holds a serial queue's first task until exit has begun.
  static auto* exitBegun = new std::promise<void>;
  static auto* inputStop = new ExitStop(ExitStage::kInput, [](ExitDeadline) {
    std::fputs("stop: input\n", stdout);
    std::fflush(stdout);
    exitBegun->set_value();
  });
  (void)queuesStop;
  (void)inputStop;

  // A worker's own end (its thread-local clean-up, OpenSSL's among it) is
  // slowed down: it must still be over before the later stages run.
  struct SlowEnd {
    ~SlowEnd() {
      std::this_thread::sleep_for(20ms);
      std::fputs("worker ended\n", stdout);
      std::fflush(stdout);
    }
  };
  // Set once a global-queue worker holds a SlowEnd: exit waits for it, so
  // a loaded machine cannot exit before any worker has begun.
  static auto* workerBusy = new std::promise<void>;
  // Work that keeps itself going until the process exits.
  struct Busy {
    static void on(TaskQueue& queue) {
      queue.post([&queue] {
        if (&queue == &GlobalQueue::shared()) {
          static thread_local SlowEnd slowEnd;
          (void)&slowEnd;
          static std::once_flag once;
          std::call_once(once, [] { workerBusy->set_value(); });
        }
        (void)clock().now();
        (void)newUuid();  // random bytes: OpenSSL must outlive the threads
        logf("busy on {}", queue.label());
        if (!processExiting()) on(queue);
      });
    }
  };
  MainLoop::shared().startOwnThread();
  Busy::on(MainLoop::shared());
  static auto* serial = new std::shared_ptr<SerialQueue>(SerialQueue::create("exit.busy"));
  Busy::on(**serial);
  for (int i = 0; i < 4; ++i) Busy::on(GlobalQueue::shared());
  static auto* timer = new std::shared_ptr<RepeatingTimer>(
      RepeatingTimer::start(MainLoop::shared(), 1ms, [] { logf("tick"); }));
  (void)timer;

  // A serial queue's waiting task still runs at exit.
  static auto* queue = new std::shared_ptr<SerialQueue>(SerialQueue::create("exit.drain"));
  (*queue)->post([begun = exitBegun->get_future().share()] { begun.wait(); });
  (*queue)->post([] {
    std::fputs("queued task ran at exit\n", stdout);
    std::fflush(stdout);
  });
  workerBusy->get_future().wait_for(10s);
  std::exit(0);
}

}  // namespace
}  // namespace veltrix::platform
