#include "veltrix/platform/io_queue.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <asio/post.hpp>
#include <mutex>
#include <utility>

#include "veltrix/platform/asio_detail.h"

namespace veltrix::platform {
namespace {

// Descriptors the process table holds room for before the first socket.
constexpr rlim_t kReservedDescriptors = 4096;

// Grows the process's descriptor table once, on a socket thread. The kernel
// grows it by doubling when a new descriptor does not fit, and in a process
// with several threads each growth waits for a grace period (tens of
// milliseconds without any work). Opening a socket on the main loop must not
// be the one that pays for that while many terminals connect at once.
void reserveDescriptorTable() {
  static std::once_flag once;
  std::call_once(once, [] {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < 2) return;
    const rlim_t room = std::min<rlim_t>(limit.rlim_cur, kReservedDescriptors);
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, static_cast<int>(room - 1));
    if (high >= 0) ::close(high);
    ::close(fd);
  });
}

}  // namespace

std::shared_ptr<IoQueue> IoQueue::create(std::string label) {
  return std::shared_ptr<IoQueue>(new IoQueue(std::move(label)));
}

IoQueue::IoQueue(std::string label) : impl_(std::make_shared<Impl>()) {
  impl_->label = std::move(label);
  impl_->work.emplace(impl_->io.get_executor());
  impl_->thread.start([impl = impl_] {
    impl->threadId.store(std::this_thread::get_id());
    reserveDescriptorTable();
    for (;;) {
      // Tasks guard themselves; this only keeps a stray throw from a
      // completion handler from ending the thread.
      try {
        impl->io.run();
        return;
      } catch (...) {
      }
    }
  });
  // At exit no more socket events are handled: operations still pending
  // never complete.
  impl_->exitStop =
      ExitStop(ExitStage::kInput, [weak = std::weak_ptr<Impl>(impl_)](ExitDeadline deadline) {
        if (auto impl = weak.lock()) {
          impl->io.stop();
          impl->thread.finish(deadline);
        }
      });
}

IoQueue::~IoQueue() {
  // Without the guard, run() returns once the queued tasks and pending
  // operations are done. Sockets hold the queue, so none is open here.
  impl_->exitStop.reset();
  impl_->work.reset();
  // Released by one of its own tasks, the thread keeps the state alive
  // (finish() detaches it).
  impl_->thread.finish();
}

void IoQueue::post(Task task) {
  asio::post(impl_->io, [task = std::move(task)] {
    try {
      if (task) task();
    } catch (...) {
    }
  });
}

bool IoQueue::isCurrent() const { return impl_->threadId.load() == std::this_thread::get_id(); }

std::string_view IoQueue::label() const { return impl_->label; }

void runOnQueueAndWait(TaskQueue& queue, const Task& task) {
  if (queue.isCurrent()) {
    task();
  } else {
    runSync(queue, task);
  }
}

void settle(IoQueue& queue) {
  if (queue.isCurrent()) return;
  // The first pass runs the queued tasks; the completions they queue run
  // before the second.
  runSync(queue, [] {});
  runSync(queue, [] {});
}

SocketError toSocketError(const asio::error_code& ec) {
  const auto& category = ec.category();
  if (category == asio::system_category() || category == std::generic_category()) {
    return SocketError::posix(ec.value());
  }
  if (category == asio::error::get_netdb_category() ||
      category == asio::error::get_addrinfo_category()) {
    return SocketError{std::string(kResolverErrorDomain), ec.value(), ec.message()};
  }
  if (ec == asio::error::eof) {
    return SocketError::socket(SocketErrorCode::kClosed, "Socket closed by remote peer");
  }
  return SocketError{std::string(kSocketErrorDomain), ec.value(),
                     std::string(category.name()) + ": " + ec.message()};
}

}  // namespace veltrix::platform
