#include "veltrix/platform/process_exit.h"

#include <openssl/crypto.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace veltrix::platform {
namespace {

struct Entry {
  ExitStage stage = ExitStage::kInput;
  ExitStop::Stop stop;
};

struct Registry {
  std::mutex mutex;
  std::condition_variable cv;
  std::map<std::uint64_t, Entry> entries;
  std::uint64_t nextId = 1;
  bool handlerInstalled = false;
  // The process whose threads the stops end: a forked child has none of them.
  pid_t owner = 0;
  std::atomic<bool> exiting{false};
  // The stop running now, and on which thread.
  std::uint64_t running = 0;
  std::thread::id runner;
};

// Never destroyed: owners unregister from their destructors, some of them
// during exit.
Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

void runExitStops() {
  Registry& r = registry();
  std::vector<std::pair<ExitStage, std::uint64_t>> order;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.exiting.exchange(true)) return;
    if (r.owner != ::getpid()) return;
    for (const auto& [id, entry] : r.entries) order.emplace_back(entry.stage, id);
  }
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.second > b.second;
  });
  const ExitDeadline deadline = std::chrono::steady_clock::now() + kExitGrace;
  for (const auto& [stage, id] : order) {
    ExitStop::Stop stop;
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      auto found = r.entries.find(id);
      if (found == r.entries.end()) continue;  // its owner went meanwhile
      stop = std::move(found->second.stop);
      r.entries.erase(found);
      r.running = id;
      r.runner = std::this_thread::get_id();
    }
    try {
      if (stop) stop(deadline);
    } catch (...) {
      // One owner's failure must not keep the others running.
    }
    stop = nullptr;
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      r.running = 0;
    }
    r.cv.notify_all();
  }
}

void installHandler() {
  // Handlers run in the reverse order of their registration: OpenSSL's own
  // clean-up must come after the threads that may still use it have ended,
  // so its handler is registered first. Only an initialisation that does
  // something registers it: with no options OpenSSL returns at once. When
  // these options were already set up, so was OpenSSL's handler, earlier
  // still.
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  std::atexit(&runExitStops);
}

}  // namespace

ExitStop::ExitStop(ExitStage stage, Stop stop) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.exiting.load()) return;  // started during exit: left to the end of the process
  if (!r.handlerInstalled) {
    installHandler();
    r.handlerInstalled = true;
    r.owner = ::getpid();
  }
  id_ = r.nextId++;
  r.entries.emplace(id_, Entry{stage, std::move(stop)});
}

ExitStop::~ExitStop() { reset(); }

ExitStop::ExitStop(ExitStop&& other) noexcept : id_(std::exchange(other.id_, 0)) {}

ExitStop& ExitStop::operator=(ExitStop&& other) noexcept {
  if (this != &other) {
    reset();
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void ExitStop::reset() {
  if (id_ == 0) return;
  Entry removed;
  {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    // An owner going while exit runs its stop waits for the stop, unless the
    // stop itself let the owner go.
    r.cv.wait(lock, [&] { return r.running != id_ || r.runner == std::this_thread::get_id(); });
    auto found = r.entries.find(id_);
    if (found != r.entries.end()) {
      removed = std::move(found->second);
      r.entries.erase(found);
    }
  }
  id_ = 0;
  // `removed` goes out of scope here, outside the lock: its captures may
  // own objects whose destructors register or unregister stops.
}

bool processExiting() { return registry().exiting.load(); }

// --- OwnedThread -------------------------------------------------------------

OwnedThread::~OwnedThread() { finish(); }

void OwnedThread::start(std::function<void()> body) {
  std::lock_guard<std::mutex> guard(finishMutex_);
  if (thread_.joinable()) return;
  thread_ = std::thread([ended = ended_, body = std::move(body)]() mutable {
    body();
    // The body's captures go before the end is announced: whoever waits
    // may then destroy what they refer to.
    body = nullptr;
    {
      std::lock_guard<std::mutex> lock(ended->mutex);
      ended->ended = true;
    }
    ended->cv.notify_all();
  });
  id_.store(thread_.get_id());
}

void OwnedThread::finish(std::optional<ExitDeadline> deadline) {
  std::lock_guard<std::mutex> guard(finishMutex_);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  if (deadline) {
    std::unique_lock<std::mutex> lock(ended_->mutex);
    if (!ended_->cv.wait_until(lock, *deadline, [&] { return ended_->ended; })) {
      lock.unlock();
      thread_.detach();
      return;
    }
  }
  thread_.join();
}

}  // namespace veltrix::platform
