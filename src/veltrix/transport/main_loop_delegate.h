// The weak delegate of the TCP client and server and the road of their
// callbacks: socket events happen on the socket queue, the delegate hears of
// them on the main loop.
//
// MainLoopDelegate is safe from any thread; it owns nothing of the delegate.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

#include "veltrix/platform/dispatch.h"

namespace veltrix::transport {

template <typename Delegate>
class MainLoopDelegate {
 public:
  void set(std::weak_ptr<Delegate> delegate) {
    std::lock_guard<std::mutex> guard(mutex_);
    delegate_ = std::move(delegate);
  }
  std::shared_ptr<Delegate> current() {
    std::lock_guard<std::mutex> guard(mutex_);
    return delegate_.lock();
  }

 private:
  std::mutex mutex_;
  std::weak_ptr<Delegate> delegate_;
};

// Posts `call` to the main loop; it reaches the delegate current then
// (`owner->delegate`), if the owner still exists.
template <typename Owner, typename Call>
void notifyOnMain(const std::weak_ptr<Owner>& owner, Call call) {
  platform::postToMain([owner, call = std::move(call)]() mutable {
    auto state = owner.lock();
    if (!state) return;
    if (auto delegate = state->delegate.current()) call(*delegate);
  });
}

}  // namespace veltrix::transport
