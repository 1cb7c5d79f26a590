// A serial queue that also drives asynchronous socket I/O.
//
// One thread runs the queue's tasks and the completions of every socket
// bound to it, one at a time, in order. It is a TaskQueue like the others:
// delayed calls and timers can target it, so socket time-outs follow the
// process clock (tests move them with a ManualClock).
//
// Owned through std::shared_ptr; every socket bound to the queue holds it.
// When the last owner lets go, tasks still queued run before the thread
// ends. At exit the thread ends at once: pending operations never complete. Thread-safety: post()
// and isCurrent() may be called from any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "veltrix/platform/dispatch.h"

namespace veltrix::platform {

class IoQueue final : public TaskQueue {
 public:
  static std::shared_ptr<IoQueue> create(std::string label);
  ~IoQueue() override;

  void post(Task task) override;
  bool isCurrent() const override;
  std::string_view label() const override;

  // The queue's I/O state; defined only inside the platform layer.
  struct Impl;
  Impl& impl() const { return *impl_; }

 private:
  explicit IoQueue(std::string label);
  std::shared_ptr<Impl> impl_;
};

// Runs `task` on `queue` and waits for it; runs it at once when called on
// the queue itself. Never call it while holding a lock that the queue's
// tasks take.
void runOnQueueAndWait(TaskQueue& queue, const Task& task);

// Waits until `queue` has run what was queued before the call and the
// completions that those tasks caused at once (closing a socket completes
// its pending operations right away). Owners call it after closing their
// sockets, so that nothing of theirs still runs once they are gone.
void settle(IoQueue& queue);

}  // namespace veltrix::platform
