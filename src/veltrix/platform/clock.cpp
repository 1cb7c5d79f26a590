#include "veltrix/platform/clock.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <thread>
#include <vector>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/process_exit.h"

namespace veltrix::platform {
namespace {

struct TimerItem {
  TimePoint deadline;
  std::uint64_t seq;
  std::weak_ptr<TaskQueue> target;
  Task task;
};

struct LaterFirst {
  bool operator()(const TimerItem& a, const TimerItem& b) const {
    if (a.deadline != b.deadline) return a.deadline > b.deadline;
    return a.seq > b.seq;
  }
};

using TimerHeap = std::priority_queue<TimerItem, std::vector<TimerItem>, LaterFirst>;

void deliver(TimerItem& item) {
  if (auto queue = item.target.lock()) queue->post(std::move(item.task));
}

std::mutex& clockMutex() {
  static std::mutex m;
  return m;
}

// Never destroyed: threads that still run during exit read the clock.
std::shared_ptr<Clock>& clockSlot() {
  static auto* slot = new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
  return *slot;
}

// Clocks that were replaced stay here so references to them stay valid.
std::vector<std::shared_ptr<Clock>>& retiredClocks() {
  static auto* retired = new std::vector<std::shared_ptr<Clock>>;
  return *retired;
}

}  // namespace

Duration seconds(double s) {
  return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(s));
}

Duration millis(std::int64_t ms) { return std::chrono::milliseconds(ms); }

std::shared_ptr<Clock> currentClock() {
  std::lock_guard<std::mutex> lock(clockMutex());
  return clockSlot();
}

Clock& clock() { return *currentClock(); }

void setClock(std::shared_ptr<Clock> clock) {
  std::lock_guard<std::mutex> lock(clockMutex());
  retiredClocks().push_back(clockSlot());
  clockSlot() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

std::int64_t nowMillis() { return clock().wallMillis(); }

// --- SystemClock -----------------------------------------------------------

struct SystemClock::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  TimerHeap heap;
  std::uint64_t seq = 0;
  bool stopping = false;
  OwnedThread thread;
  ExitStop exitStop;

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    cv.notify_all();
  }

  void loop() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
      if (heap.empty()) {
        cv.wait(lock);
        continue;
      }
      auto deadline = heap.top().deadline;
      if (std::chrono::steady_clock::now() < deadline) {
        cv.wait_until(lock, deadline);
        continue;
      }
      TimerItem item = heap.top();
      heap.pop();
      lock.unlock();
      deliver(item);
      lock.lock();
    }
  }
};

SystemClock::SystemClock() : impl_(std::make_shared<Impl>()) {}

SystemClock::~SystemClock() {
  impl_->exitStop.reset();
  impl_->stop();
  impl_->thread.finish();
}

TimePoint SystemClock::now() const { return std::chrono::steady_clock::now(); }

std::int64_t SystemClock::wallMillis() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void SystemClock::schedule(TimePoint deadline, std::weak_ptr<TaskQueue> target, Task task) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->stopping) return;
    if (!impl_->thread.started()) {
      // The timer thread starts with the first delayed task and is the last
      // to end at exit: the other threads' time-outs run on it.
      impl_->thread.start([impl = impl_] { impl->loop(); });
      impl_->exitStop =
          ExitStop(ExitStage::kClock, [weak = std::weak_ptr<Impl>(impl_)](ExitDeadline deadline) {
            if (auto impl = weak.lock()) {
              impl->stop();
              impl->thread.finish(deadline);
            }
          });
    }
    const std::uint64_t seq = impl_->seq++;
    impl_->heap.push(TimerItem{deadline, seq, std::move(target), std::move(task)});
    // The timer thread sleeps until the earliest deadline: only a new
    // earliest one needs it awake (a transfer's time-out check, due in a
    // minute, is scheduled with every request).
    if (impl_->heap.top().seq != seq) return;
  }
  impl_->cv.notify_all();
}

bool SystemClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            TimePoint deadline, const std::function<bool()>& done) {
  return cv.wait_until(lock, deadline, done);
}

// --- ManualClock -----------------------------------------------------------

struct ManualClock::Impl {
  mutable std::mutex mutex;
  TimePoint now{std::chrono::hours(24)};
  TimePoint wallOrigin{std::chrono::hours(24)};
  std::int64_t wallMillisAtOrigin = 0;
  TimerHeap heap;
  std::uint64_t seq = 0;
};

ManualClock::ManualClock(std::int64_t wallMillis) : impl_(std::make_unique<Impl>()) {
  impl_->wallMillisAtOrigin = wallMillis;
}

ManualClock::~ManualClock() = default;

TimePoint ManualClock::now() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->now;
}

std::int64_t ManualClock::wallMillis() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(impl_->now - impl_->wallOrigin);
  return impl_->wallMillisAtOrigin + elapsed.count();
}

void ManualClock::setWallMillis(std::int64_t wallMillis) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->wallOrigin = impl_->now;
  impl_->wallMillisAtOrigin = wallMillis;
}

void ManualClock::schedule(TimePoint deadline, std::weak_ptr<TaskQueue> target, Task task) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->heap.push(TimerItem{deadline, impl_->seq++, std::move(target), std::move(task)});
}

std::size_t ManualClock::pendingCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->heap.size();
}

void ManualClock::advance(Duration delta) {
  TimePoint target;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    target = impl_->now + std::max(delta, Duration::zero());
  }
  MainLoop& main = MainLoop::shared();
  const bool onMain = main.isCurrent();
  if (onMain) main.runPending();
  // Bounded: each round fires one item; items that keep scheduling at "now"
  // cannot hold time still for ever.
  for (std::size_t round = 0; round < 1000000; ++round) {
    TimerItem item;
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (impl_->heap.empty() || impl_->heap.top().deadline > target) break;
      item = impl_->heap.top();
      impl_->heap.pop();
      impl_->now = std::max(impl_->now, item.deadline);
    }
    deliver(item);
    if (onMain) main.runPending();
  }
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->now = std::max(impl_->now, target);
  }
  if (onMain) main.runPending();
}

bool ManualClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            TimePoint deadline, const std::function<bool()>& done) {
  // Time moves only through advance() on another thread, so poll it in short
  // real-time slices.
  while (!done()) {
    if (now() >= deadline) return done();
    cv.wait_for(lock, std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace veltrix::platform
