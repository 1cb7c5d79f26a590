#include "veltrix/platform/dispatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "veltrix/platform/process_exit.h"

namespace veltrix::platform {
namespace {

// The serial queue or pool whose task the current thread is running.
thread_local const void* tlsCurrentQueue = nullptr;

class ScopedCurrentQueue {
 public:
  explicit ScopedCurrentQueue(const void* queue) : previous_(tlsCurrentQueue) {
    tlsCurrentQueue = queue;
  }
  ~ScopedCurrentQueue() { tlsCurrentQueue = previous_; }
  ScopedCurrentQueue(const ScopedCurrentQueue&) = delete;
  ScopedCurrentQueue& operator=(const ScopedCurrentQueue&) = delete;

 private:
  const void* previous_;
};

// The main-loop bindings of this thread, let go when the thread ends: a
// thread started later may be given the same id, and must not pass for the
// main thread.
using BoundThread = std::atomic<std::thread::id>;

class ThreadBindings {
 public:
  ThreadBindings() = default;
  ThreadBindings(const ThreadBindings&) = delete;
  ThreadBindings& operator=(const ThreadBindings&) = delete;
  ~ThreadBindings() {
    const std::thread::id self = std::this_thread::get_id();
    for (const auto& weak : cells_) {
      if (auto cell = weak.lock()) {
        std::thread::id expected = self;
        cell->compare_exchange_strong(expected, std::thread::id{});
      }
    }
  }

  void add(const std::shared_ptr<BoundThread>& cell) {
    std::erase_if(cells_, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : cells_) {
      if (weak.lock() == cell) return;
    }
    cells_.push_back(cell);
  }

 private:
  std::vector<std::weak_ptr<BoundThread>> cells_;
};

thread_local ThreadBindings tlsBindings;

// Runs a task and keeps anything it throws away from the queue's thread: a
// host block that throws must not take the loop down with it.
void runTask(Task& task) {
  try {
    if (task) task();
  } catch (...) {
  }
}

}  // namespace

void TaskQueue::postDelayed(Duration delay, Task task) {
  Clock& c = clock();
  c.schedule(c.now() + std::max(delay, Duration::zero()), weak_from_this(), std::move(task));
}

// --- MainLoop --------------------------------------------------------------

struct MainLoop::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Task> tasks;
  std::function<void()> wakeUp;
  // The main thread; shared with that thread's bindings, which clear it
  // when the thread ends.
  std::shared_ptr<BoundThread> thread = std::make_shared<BoundThread>();
  bool stopRequested = false;
  OwnedThread ownThread;
  ExitStop exitStop;
};

MainLoop& MainLoop::shared() { return *sharedPtr(); }

std::shared_ptr<MainLoop> MainLoop::sharedPtr() {
  // Never destroyed: threads still running at exit post to it.
  static const auto* loop = new std::shared_ptr<MainLoop>(std::make_shared<MainLoop>());
  return *loop;
}

MainLoop::MainLoop() : impl_(std::make_unique<Impl>()) {}

MainLoop::~MainLoop() {
  impl_->exitStop.reset();
  stop();
  impl_->ownThread.finish();
}

void MainLoop::post(Task task) {
  std::function<void()> wakeUp;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->tasks.push_back(std::move(task));
    wakeUp = impl_->wakeUp;
  }
  impl_->cv.notify_all();
  if (wakeUp) wakeUp();
}

bool MainLoop::isCurrent() const { return impl_->thread->load() == std::this_thread::get_id(); }

void MainLoop::bindCurrentThread() {
  tlsBindings.add(impl_->thread);
  impl_->thread->store(std::this_thread::get_id());
}

void MainLoop::setWakeUp(std::function<void()> wakeUp) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->wakeUp = std::move(wakeUp);
}

std::size_t MainLoop::runPending(std::size_t limit) {
  if (impl_->thread->load() == std::thread::id{}) bindCurrentThread();
  VELTRIX_DCHECK(isCurrent());
  std::size_t ran = 0;
  while (ran < limit) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (impl_->tasks.empty()) break;
      task = std::move(impl_->tasks.front());
      impl_->tasks.pop_front();
    }
    runTask(task);
    ++ran;
  }
  return ran;
}

void MainLoop::run() {
  bindCurrentThread();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(impl_->mutex);
      impl_->cv.wait(lock, [this] { return impl_->stopRequested || !impl_->tasks.empty(); });
      if (impl_->stopRequested) {
        impl_->stopRequested = false;
        return;
      }
    }
    runPending(1);
  }
}

void MainLoop::stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopRequested = true;
  }
  impl_->cv.notify_all();
}

void MainLoop::startOwnThread() {
  if (impl_->ownThread.started()) return;
  std::promise<void> bound;
  auto boundFuture = bound.get_future();
  impl_->ownThread.start([this, &bound] {
    bindCurrentThread();
    bound.set_value();
    run();
  });
  boundFuture.wait();
  // At exit the own thread ends after its current task; a loop that the
  // host runs on its own thread is the host's to end.
  impl_->exitStop = ExitStop(ExitStage::kMainLoop, [this](ExitDeadline deadline) {
    stop();
    impl_->ownThread.finish(deadline);
  });
}

void MainLoop::resetForTesting() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->tasks.clear();
  impl_->wakeUp = nullptr;
  impl_->stopRequested = false;
  impl_->thread->store(std::thread::id{});
}

bool MainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + realTimeout;
  // Every task queued when a pass begins runs, then those they and other
  // threads post, for a slice of time: tasks that keep coming faster than
  // they run (bytes a terminal keeps writing) must not keep `done` unasked
  // or the time-out unseen.
  const auto pass = [&] {
    std::size_t queued = 0;
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      queued = impl_->tasks.size();
    }
    const auto sliceEnd = Steady::now() + std::chrono::milliseconds(100);
    for (std::size_t ran = 0; runPending(1) == 1;) {
      if (++ran >= queued && Steady::now() >= sliceEnd) break;
    }
  };
  for (;;) {
    pass();
    if (done()) return true;
    if (Steady::now() >= deadline) break;
    std::unique_lock<std::mutex> lock(impl_->mutex);
    if (!impl_->tasks.empty()) continue;
    // Wake at least every few milliseconds: `done` may watch state that
    // changes without a task being posted.
    impl_->cv.wait_until(lock, std::min(deadline, Steady::now() + std::chrono::milliseconds(5)));
  }
  pass();
  return done();
}

// --- SerialQueue -----------------------------------------------------------

struct SerialQueue::Impl {
  std::string label;
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Task> tasks;
  bool closing = false;
  OwnedThread thread;
  ExitStop exitStop;

  void close() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      closing = true;
    }
    cv.notify_all();
  }

  void loop() {
    ScopedCurrentQueue current(this);
    for (;;) {
      Task task;
      {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [this] { return closing || !tasks.empty(); });
        if (tasks.empty()) return;  // closing and drained
        task = std::move(tasks.front());
        tasks.pop_front();
      }
      runTask(task);
    }
  }
};

std::shared_ptr<SerialQueue> SerialQueue::create(std::string label) {
  return std::shared_ptr<SerialQueue>(new SerialQueue(std::move(label)));
}

SerialQueue::SerialQueue(std::string label) : impl_(std::make_shared<Impl>()) {
  impl_->label = std::move(label);
  impl_->thread.start([impl = impl_] { impl->loop(); });
  // At exit the queue runs what it holds, then its thread ends.
  impl_->exitStop =
      ExitStop(ExitStage::kQueues, [weak = std::weak_ptr<Impl>(impl_)](ExitDeadline deadline) {
        if (auto impl = weak.lock()) {
          impl->close();
          impl->thread.finish(deadline);
        }
      });
}

SerialQueue::~SerialQueue() {
  impl_->exitStop.reset();
  impl_->close();
  // Released by one of its own tasks, the thread keeps the state alive and
  // ends once the queue is drained (finish() detaches it).
  impl_->thread.finish();
}

void SerialQueue::post(Task task) {
  // The task may release the last owner of this queue once the queue thread
  // can take it: the state is held here until the notify. Notified after
  // the lock is let go, so the woken thread does not block on it at once.
  const std::shared_ptr<Impl> impl = impl_;
  {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->tasks.push_back(std::move(task));
  }
  impl->cv.notify_one();
}

bool SerialQueue::isCurrent() const { return tlsCurrentQueue == impl_.get(); }

std::string_view SerialQueue::label() const { return impl_->label; }

// --- GlobalQueue -----------------------------------------------------------

// A worker that waits (DispatchGroup::wait, runSync) may be waiting for a
// task queued behind it on the same pool. So the pool keeps `base` workers
// that are not waiting: it starts a thread when a worker begins to wait while
// tasks are queued and no worker is free, and a thread beyond that count ends
// once it finds the queue empty.
struct GlobalQueue::Impl : std::enable_shared_from_this<GlobalQueue::Impl> {
  // Hard bound on threads, so a storm of waits cannot exhaust the process.
  static constexpr std::size_t kMaxThreads = 256;

  std::mutex mutex;
  std::condition_variable cv;
  std::condition_variable ended;
  std::deque<Task> tasks;
  bool closing = false;
  std::size_t base = 1;
  std::size_t live = 0;     // threads in loop()
  std::size_t idle = 0;     // threads waiting for a task
  std::size_t waiting = 0;  // threads inside a blocking wait
  ExitStop exitStop;

  // Every worker is joined once it has left loop(), so no thread of the pool
  // is still ending (its thread-local clean-up, OpenSSL's among them) when
  // the process goes on to clean up the libraries below.
  std::map<std::thread::id, std::thread> threads;  // in loop()
  std::vector<std::thread> left;                   // left loop(), not yet joined

  // Ends the pool: with `dropQueued`, tasks not yet started never run. Waits
  // until every thread but the calling one has left loop(), or `deadline`,
  // and joins those that left.
  void close(bool dropQueued, std::optional<ExitDeadline> deadline, bool callerIsWorker) {
    std::deque<Task> dropped;
    std::vector<std::thread> gone;
    std::vector<std::thread> running;
    {
      std::unique_lock<std::mutex> lock(mutex);
      closing = true;
      if (dropQueued) dropped.swap(tasks);
      cv.notify_all();
      const std::size_t self = callerIsWorker ? 1 : 0;
      const auto done = [&] { return live <= self; };
      if (deadline) {
        ended.wait_until(lock, *deadline, done);
      } else {
        ended.wait(lock, done);
      }
      gone = std::exchange(left, {});
      for (auto& [id, thread] : threads) running.push_back(std::move(thread));
      threads.clear();
    }
    join(gone);
    // The caller itself, and threads still busy at the deadline, end on their
    // own (they hold the state they use).
    for (auto& thread : running) thread.detach();
  }

  static void join(std::vector<std::thread>& gone) {
    for (auto& thread : gone) {
      if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
      } else {
        thread.join();
      }
    }
  }

  // Starts one more thread when no free worker could take a queued task.
  // Caller holds `mutex`; joins the threads handed back outside it.
  [[nodiscard]] std::vector<std::thread> growIfStarvedLocked() {
    if (closing || tasks.empty() || idle > 0) return {};
    if (live - waiting >= base || live >= kMaxThreads) return {};
    startWorkerLocked();
    return std::exchange(left, {});
  }

  void startWorkerLocked() {
    ++live;
    std::thread worker([self = shared_from_this()] { self->loop(); });
    threads.emplace(worker.get_id(), std::move(worker));
  }

  void loop();
};

namespace {
// The GlobalQueue::Impl whose worker the current thread is.
thread_local void* tlsPool = nullptr;
}  // namespace

void GlobalQueue::Impl::loop() {
  ScopedCurrentQueue current(this);
  tlsPool = this;
  for (;;) {
    Task task;
    {
      std::unique_lock<std::mutex> lock(mutex);
      while (!closing && tasks.empty()) {
        if (live - waiting > base) break;  // surplus: end this thread
        ++idle;
        cv.wait(lock);
        --idle;
      }
      if (tasks.empty()) {
        if (auto self = threads.find(std::this_thread::get_id()); self != threads.end()) {
          left.push_back(std::move(self->second));
          threads.erase(self);
        }
        --live;
        ended.notify_all();
        return;
      }
      task = std::move(tasks.front());
      tasks.pop_front();
    }
    runTask(task);
  }
}

GlobalQueue& GlobalQueue::shared() {
  // Probes block a worker for up to a few seconds each, so keep a few more
  // workers than cores; waits add threads beyond that. Never destroyed: its
  // workers end at exit.
  static const auto* pool = new std::shared_ptr<GlobalQueue>(
      std::make_shared<GlobalQueue>(std::max<std::size_t>(8, std::thread::hardware_concurrency())));
  return **pool;
}

GlobalQueue::GlobalQueue(std::size_t workers) : impl_(std::make_shared<Impl>()) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->base = std::clamp<std::size_t>(workers, 1, Impl::kMaxThreads);
  for (std::size_t i = 0; i < impl_->base; ++i) impl_->startWorkerLocked();
  // At exit waiting tasks are dropped; running ones finish (a probe waits a
  // few seconds at most).
  impl_->exitStop =
      ExitStop(ExitStage::kWorkers, [weak = std::weak_ptr<Impl>(impl_)](ExitDeadline deadline) {
        if (auto impl = weak.lock()) {
          impl->close(/*dropQueued=*/true, deadline, tlsPool == impl.get());
        }
      });
}

GlobalQueue::~GlobalQueue() {
  impl_->exitStop.reset();
  // Released from one of its own tasks: that thread ends after the task.
  impl_->close(/*dropQueued=*/false, std::nullopt, isCurrent());
}

void GlobalQueue::post(Task task) {
  // Held until the notify: a task may let the last owner of the pool go.
  const std::shared_ptr<Impl> impl = impl_;
  std::vector<std::thread> gone;
  {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->tasks.push_back(std::move(task));
    gone = impl->growIfStarvedLocked();
  }
  // After the lock is let go, so the woken worker does not block on it.
  impl->cv.notify_one();
  Impl::join(gone);
}

bool GlobalQueue::isCurrent() const { return tlsCurrentQueue == impl_.get(); }

std::size_t GlobalQueue::threadCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->live;
}

GlobalQueue::ScopedWait::ScopedWait() : pool_(tlsPool) {
  if (pool_ == nullptr) return;
  auto* impl = static_cast<Impl*>(pool_);
  std::vector<std::thread> gone;
  {
    std::lock_guard<std::mutex> lock(impl->mutex);
    ++impl->waiting;
    gone = impl->growIfStarvedLocked();
  }
  Impl::join(gone);
}

GlobalQueue::ScopedWait::~ScopedWait() {
  if (pool_ == nullptr) return;
  auto* impl = static_cast<Impl*>(pool_);
  std::lock_guard<std::mutex> lock(impl->mutex);
  --impl->waiting;
}

// --- DelayedCall, runSync ----------------------------------------------------

void DelayedCall::cancel() {
  if (cancelled_) cancelled_->store(true);
}

bool DelayedCall::isCancelled() const { return cancelled_ && cancelled_->load(); }

DelayedCall after(TaskQueue& queue, Duration delay, Task task) {
  DelayedCall call;
  call.cancelled_ = std::make_shared<std::atomic<bool>>(false);
  queue.postDelayed(delay, [flag = call.cancelled_, task = std::move(task)]() mutable {
    if (!flag->load()) runTask(task);
  });
  return call;
}

void runSync(TaskQueue& queue, Task task) {
  VELTRIX_DCHECK(!queue.isCurrent());
  GlobalQueue::ScopedWait waiting;
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto done = std::make_shared<Done>();
  queue.post([done, task = std::move(task)]() mutable {
    runTask(task);
    {
      std::lock_guard<std::mutex> lock(done->mutex);
      done->done = true;
    }
    done->cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(done->mutex);
  done->cv.wait(lock, [&] { return done->done; });
}

// --- RepeatingTimer ----------------------------------------------------------

std::shared_ptr<RepeatingTimer> RepeatingTimer::start(TaskQueue& queue, Duration interval,
                                                      std::function<void()> block, bool repeats) {
  // A non-positive interval would fire without end; use the smallest step.
  if (interval <= Duration::zero()) interval = std::chrono::microseconds(100);
  std::shared_ptr<RepeatingTimer> timer(
      new RepeatingTimer(queue.weak_from_this(), interval, std::move(block), repeats));
  timer->scheduleAt(clock().now() + interval);
  return timer;
}

RepeatingTimer::RepeatingTimer(std::weak_ptr<TaskQueue> queue, Duration interval,
                               std::function<void()> block, bool repeats)
    : queue_(std::move(queue)), interval_(interval), block_(std::move(block)), repeats_(repeats) {}

void RepeatingTimer::invalidate() { valid_.store(false); }

bool RepeatingTimer::isValid() const { return valid_.load(); }

void RepeatingTimer::scheduleAt(TimePoint deadline) {
  // The scheduled task holds the timer: a running timer needs no other owner.
  clock().schedule(deadline, queue_,
                   [self = shared_from_this(), deadline] { self->fire(deadline); });
}

void RepeatingTimer::fire(TimePoint deadline) {
  if (!valid_.load()) return;
  runTask(block_);
  if (!repeats_) {
    valid_.store(false);
    return;
  }
  if (!valid_.load()) return;
  const TimePoint now = clock().now();
  TimePoint next = deadline + interval_;
  if (next <= now) {
    // Late: skip the missed fires instead of bursting through them.
    auto missed = (now - deadline) / interval_;
    next = deadline + interval_ * (missed + 1);
  }
  scheduleAt(next);
}

// --- DispatchGroup -----------------------------------------------------------

struct DispatchGroup::State {
  std::mutex mutex;
  std::condition_variable cv;
  std::int64_t count = 0;
  std::vector<std::pair<std::weak_ptr<TaskQueue>, Task>> notifications;
};

DispatchGroup::DispatchGroup() : state_(std::make_shared<State>()) {}

void DispatchGroup::enter() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  ++state_->count;
}

void DispatchGroup::leave() {
  std::vector<std::pair<std::weak_ptr<TaskQueue>, Task>> ready;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    VELTRIX_DCHECK(state_->count > 0);
    if (state_->count == 0) return;
    if (--state_->count == 0) ready.swap(state_->notifications);
  }
  state_->cv.notify_all();
  for (auto& [queue, task] : ready) {
    if (auto q = queue.lock()) q->post(std::move(task));
  }
}

bool DispatchGroup::wait(Duration timeout) {
  VELTRIX_DCHECK(!MainLoop::shared().isCurrent());
  GlobalQueue::ScopedWait waiting;
  Clock& c = clock();
  const TimePoint deadline = c.now() + timeout;
  std::unique_lock<std::mutex> lock(state_->mutex);
  return c.waitUntil(lock, state_->cv, deadline, [this] { return state_->count == 0; });
}

void DispatchGroup::notify(TaskQueue& queue, Task task) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->count > 0) {
      state_->notifications.emplace_back(queue.weak_from_this(), std::move(task));
      return;
    }
  }
  queue.post(std::move(task));
}

}  // namespace veltrix::platform
