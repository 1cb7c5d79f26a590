// Time source and timer scheduling for the whole library.
//
// Every delay, timer and timed wait of the library goes through the process
// clock, so tests can swap in a ManualClock and drive time by hand. The
// system clock runs one timer thread; the manual clock runs nothing by itself
// and fires what is due inside advance().
//
// Thread-safety: every member may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace veltrix::platform {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;
using Task = std::function<void()>;

class TaskQueue;

// Converts seconds given as a floating point value (as the material states
// intervals: 3.0 s, 0.1 s) to a Duration.
Duration seconds(double s);
Duration millis(std::int64_t ms);

class Clock {
 public:
  virtual ~Clock() = default;

  // Monotonic time: measures intervals and orders timers.
  virtual TimePoint now() const = 0;
  // Wall time in milliseconds since 1970, for stamps in records and logs.
  virtual std::int64_t wallMillis() const = 0;

  // Posts `task` to `target` once `deadline` has come. A target that has
  // gone away by then drops the task.
  virtual void schedule(TimePoint deadline, std::weak_ptr<TaskQueue> target, Task task) = 0;

  // Blocks the calling thread until `done()` holds or `deadline` (on this
  // clock) has passed. `lock` holds the mutex that guards what `done` reads;
  // whoever changes that state notifies `cv`. Returns done().
  virtual bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                         TimePoint deadline, const std::function<bool()>& done) = 0;
};

// The process clock. A SystemClock unless a test installed another.
Clock& clock();
std::shared_ptr<Clock> currentClock();
// Installs `clock` as the process clock (nullptr restores the system clock).
// The previous clock stays alive until the process ends, so references that
// other threads hold stay valid. The process clock is never destroyed; the
// system clock's timer thread is the last library thread to end at exit.
void setClock(std::shared_ptr<Clock> clock);

// Wall time in milliseconds since 1970 from the process clock.
std::int64_t nowMillis();

// Real time, with one thread that posts delayed tasks when they are due.
class SystemClock final : public Clock {
 public:
  SystemClock();
  ~SystemClock() override;
  SystemClock(const SystemClock&) = delete;
  SystemClock& operator=(const SystemClock&) = delete;

  TimePoint now() const override;
  std::int64_t wallMillis() const override;
  void schedule(TimePoint deadline, std::weak_ptr<TaskQueue> target, Task task) override;
  bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                 TimePoint deadline, const std::function<bool()>& done) override;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// Time that moves only when a test calls advance(). Delayed tasks and timers
// fire inside advance(), in deadline order; tasks for the main loop run right
// there when advance() is called on the main loop's thread, so what they post
// for "now" runs before later deadlines.
class ManualClock final : public Clock {
 public:
  // Starts at an arbitrary monotonic origin and at `wallMillis` wall time.
  explicit ManualClock(std::int64_t wallMillis = 1767225600000);  // 2026-01-01T00:00:00Z
  ~ManualClock() override;
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  TimePoint now() const override;
  std::int64_t wallMillis() const override;
  void schedule(TimePoint deadline, std::weak_ptr<TaskQueue> target, Task task) override;
  bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                 TimePoint deadline, const std::function<bool()>& done) override;

  // Moves time forward by `delta`, firing everything due on the way.
  void advance(Duration delta);
  // Sets the wall time without moving monotonic time.
  void setWallMillis(std::int64_t wallMillis);
  // Number of delayed tasks not yet fired (cancelled ones included).
  std::size_t pendingCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace veltrix::platform
