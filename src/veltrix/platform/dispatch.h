// Task queues: the library's main loop, serial queues, the global pool,
// delayed calls, repeating timers and dispatch groups.
//
// The "main queue" of the library is MainLoop::shared(). The host picks how
// it runs: run() on its own main thread, startOwnThread(), or integration
// with the host's event loop through setWakeUp() plus runPending(). Every
// callback the library hands to the host arrives through it.
//
// Every queue is owned through a std::shared_ptr (delayed tasks refer to it
// weakly). The main loop and the global queue are never destroyed; at exit
// the threads of every queue end in order (process_exit.h). Thread-safety:
// post(), isCurrent() and the free functions may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "veltrix/platform/check.h"
#include "veltrix/platform/clock.h"

namespace veltrix::platform {

class TaskQueue : public std::enable_shared_from_this<TaskQueue> {
 public:
  TaskQueue() = default;
  virtual ~TaskQueue() = default;
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  // Queues `task`; tasks of one serial queue run one at a time, in order.
  virtual void post(Task task) = 0;
  // True when the calling thread is currently running this queue's tasks.
  virtual bool isCurrent() const = 0;
  virtual std::string_view label() const = 0;

  // Queues `task` once `delay` has passed on the process clock.
  void postDelayed(Duration delay, Task task);
};

// The library's main queue. One per process.
class MainLoop final : public TaskQueue {
 public:
  static MainLoop& shared();
  static std::shared_ptr<MainLoop> sharedPtr();

  MainLoop();
  ~MainLoop() override;

  void post(Task task) override;
  bool isCurrent() const override;
  std::string_view label() const override { return "main"; }

  // Runs tasks on the calling thread until stop(). The calling thread
  // becomes the main thread.
  void run();
  // Ends run() (or the own thread) after the task running now.
  void stop();
  // Starts a library-owned thread that acts as the main thread. It ends at
  // exit after the task it is running.
  void startOwnThread();

  // Integration with a host event loop: `wakeUp` is called (from any thread)
  // whenever a task is queued; the host then calls runPending() on its main
  // thread.
  void setWakeUp(std::function<void()> wakeUp);
  // Runs queued tasks on the calling thread until none is left (at most
  // `limit`, so a task that requeues itself cannot spin for ever). The first
  // call binds the calling thread as main. Returns how many ran.
  std::size_t runPending(std::size_t limit = 100000);

  // Makes the calling thread the main thread (tests and hosts that pump).
  // The binding ends with the thread: a thread started later under the same
  // id is not the main thread.
  void bindCurrentThread();
  // Forgets the bound thread and drops queued tasks (between tests).
  void resetForTesting();

  // Runs tasks on the calling (main) thread as they arrive until `done()`
  // holds or `realTimeout` of real time has passed; tasks that keep coming
  // do not hold it past either. Returns done().
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds realTimeout = std::chrono::milliseconds(5000));

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A serial queue on a thread of its own. Tasks still queued when the last
// owner lets go, or when the process exits, are run before the thread ends.
class SerialQueue final : public TaskQueue {
 public:
  static std::shared_ptr<SerialQueue> create(std::string label);
  ~SerialQueue() override;

  void post(Task task) override;
  bool isCurrent() const override;
  std::string_view label() const override;

 private:
  struct Impl;
  explicit SerialQueue(std::string label);
  std::shared_ptr<Impl> impl_;
};

// The global concurrent queue: a pool of worker threads. Tasks may run at
// the same time and in any order.
//
// A worker may wait for work queued on the same pool (a probe waits for the
// connect it posted). So while workers wait (DispatchGroup::wait, runSync,
// or any ScopedWait), the pool starts threads to keep `workers` of them free
// for queued tasks, up to a hard bound; threads beyond `workers` end once
// the queue is empty. The destructor waits for every thread to end.
// At exit, tasks not yet started are dropped.
class GlobalQueue final : public TaskQueue {
 public:
  static GlobalQueue& shared();

  explicit GlobalQueue(std::size_t workers);
  ~GlobalQueue() override;

  void post(Task task) override;
  bool isCurrent() const override;
  std::string_view label() const override { return "global"; }

  // Threads running now, waiting ones included.
  std::size_t threadCount() const;

  // Marks the calling thread as waiting for other work for its lifetime.
  // On a worker of a GlobalQueue the pool then starts a thread when a task
  // would find no free worker; on any other thread it does nothing.
  class ScopedWait {
   public:
    ScopedWait();
    ~ScopedWait();
    ScopedWait(const ScopedWait&) = delete;
    ScopedWait& operator=(const ScopedWait&) = delete;

   private:
    void* pool_;
  };

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// Handle of a one-shot delayed call; copies share the call.
class DelayedCall {
 public:
  DelayedCall() = default;
  // Keeps the task from running if it has not started yet.
  void cancel();
  bool isCancelled() const;

 private:
  friend DelayedCall after(TaskQueue& queue, Duration delay, Task task);
  std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Runs `task` on `queue` once `delay` has passed, unless cancelled first.
DelayedCall after(TaskQueue& queue, Duration delay, Task task);

// Runs `task` on `queue` and waits for it. Waiting on a queue from that same
// queue would never end: debug builds abort on it.
void runSync(TaskQueue& queue, Task task);

// A timer that fires its block on a queue every `interval` until invalidated.
// A scheduled timer keeps itself alive; invalidate() releases it. A fire that
// comes late is not repeated: the next one is the next interval after now.
class RepeatingTimer : public std::enable_shared_from_this<RepeatingTimer> {
 public:
  static std::shared_ptr<RepeatingTimer> start(TaskQueue& queue, Duration interval,
                                               std::function<void()> block, bool repeats = true);

  // Stops the timer; safe from any thread and from inside its own block.
  void invalidate();
  bool isValid() const;
  Duration interval() const { return interval_; }

  RepeatingTimer(const RepeatingTimer&) = delete;
  RepeatingTimer& operator=(const RepeatingTimer&) = delete;

 private:
  RepeatingTimer(std::weak_ptr<TaskQueue> queue, Duration interval, std::function<void()> block,
                 bool repeats);
  void scheduleAt(TimePoint deadline);
  void fire(TimePoint deadline);

  std::weak_ptr<TaskQueue> queue_;
  Duration interval_;
  std::function<void()> block_;
  bool repeats_;
  std::atomic<bool> valid_{true};
};

// Counts outstanding work; notify() and wait() learn when it reaches zero.
// Copies share one group.
class DispatchGroup {
 public:
  DispatchGroup();

  void enter();
  // One leave() per enter(); extra leaves are ignored in release builds.
  void leave();
  // Blocks until every enter() has its leave() or `timeout` passes on the
  // process clock. Returns true when the group emptied. Never call it on the
  // main loop: debug builds abort.
  bool wait(Duration timeout);
  // Posts `task` to `queue` once the group is empty (at once if it is).
  void notify(TaskQueue& queue, Task task);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Shorthands for the library's queues.
inline MainLoop& mainLoop() { return MainLoop::shared(); }
inline void postToMain(Task task) { MainLoop::shared().post(std::move(task)); }

}  // namespace veltrix::platform
