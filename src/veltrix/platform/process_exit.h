// The library's orderly end when the process exits.
//
// There is no tear-down call for the host: the process-wide objects (main
// loop, global queue, clock, log sink, the library's singletons) live until
// the process ends and are never destroyed, like the platform's own. Their
// threads end first, in order: every owner of a thread registers an
// ExitStop, and at exit() one handler runs the stops stage by stage, so no
// outside bytes arrive while the queues finish, and no thread still runs
// when the libraries below (OpenSSL) clean up.
//
// A thread that does not end within kExitGrace in all (one blocked on a main
// loop that no longer runs) is left to the end of the process; it only
// touches objects that are never destroyed.
//
// Threads: everything here may be used from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace veltrix::platform {

using ExitDeadline = std::chrono::steady_clock::time_point;

// The order in which threads end at exit.
enum class ExitStage {
  kInput = 0,  // HTTP transfers, sockets, monitors: no more outside bytes
  kMainLoop,   // the main loop's own thread ends after its current task
  kWorkers,    // the global queue drops what waits and lets its workers end
  kQueues,     // serial queues run what is queued (results, log lines)
  kClock,      // the timer thread
  kLogFile,    // the log file's writer: every line logged so far reaches storage
};

// How long exit waits, in all, for the library's threads.
inline constexpr std::chrono::milliseconds kExitGrace{2000};

// A stop run at exit while registered. Stops of one stage run in the reverse
// order of their registration. Move-only; destroying it unregisters.
// Once exit has begun a stop is no longer registered (registered() is
// false): whatever it would have ended, its owner ends itself.
class ExitStop {
 public:
  using Stop = std::function<void(ExitDeadline deadline)>;

  ExitStop() = default;
  ExitStop(ExitStage stage, Stop stop);
  ~ExitStop();
  ExitStop(ExitStop&& other) noexcept;
  ExitStop& operator=(ExitStop&& other) noexcept;
  ExitStop(const ExitStop&) = delete;
  ExitStop& operator=(const ExitStop&) = delete;

  bool registered() const { return id_ != 0; }
  void reset();

 private:
  std::uint64_t id_ = 0;
};

// True once the process has begun to exit.
bool processExiting();

// A library thread that both its owner and the exit sequence may end.
// Owner side: start() once, then finish(); the destructor finishes too.
class OwnedThread {
 public:
  OwnedThread() = default;
  ~OwnedThread();
  OwnedThread(const OwnedThread&) = delete;
  OwnedThread& operator=(const OwnedThread&) = delete;

  void start(std::function<void()> body);
  bool started() const { return id_.load() != std::thread::id{}; }
  // True on the thread itself.
  bool isCurrent() const { return id_.load() == std::this_thread::get_id(); }

  // Waits for the body to return and joins the thread. On the thread itself
  // it detaches instead (the body then keeps what it needs alive). With a
  // deadline, a thread still running then is detached. Safe from several
  // threads at once; only the first call does anything.
  void finish(std::optional<ExitDeadline> deadline = std::nullopt);

 private:
  struct Ended {
    std::mutex mutex;
    std::condition_variable cv;
    bool ended = false;
  };
  std::shared_ptr<Ended> ended_ = std::make_shared<Ended>();
  std::atomic<std::thread::id> id_{};
  std::mutex finishMutex_;
  std::thread thread_;
};

}  // namespace veltrix::platform
