#include "veltrix/platform/ui/runtime.h"

#include <utility>
#include <vector>

#include "veltrix/platform/clock.h"

namespace veltrix::ui {
namespace {

struct KeepAlivePool {
  std::vector<std::shared_ptr<const void>> objects;
  bool drainPosted = false;
};

KeepAlivePool& pool() {
  static auto& p = *new KeepAlivePool;
  return p;
}

double& transitionSeconds() {
  static double seconds = 0.35;
  return seconds;
}

}  // namespace

void later(double seconds, std::function<void()> task) {
  if (!task) return;
  if (seconds <= 0) {
    platform::postToMain(std::move(task));
    return;
  }
  platform::after(platform::mainLoop(), platform::seconds(seconds), std::move(task));
}

void keepAlive(std::shared_ptr<const void> object) {
  if (!object) return;
  KeepAlivePool& p = pool();
  p.objects.push_back(std::move(object));
  if (p.drainPosted) return;
  p.drainPosted = true;
  platform::postToMain([] {
    // Released outside the pool: a destructor may keep something else alive.
    auto objects = std::move(pool().objects);
    pool().objects.clear();
    pool().drainPosted = false;
    objects.clear();
  });
}

double transitionDuration() { return transitionSeconds(); }
void setTransitionDuration(double seconds) { transitionSeconds() = seconds < 0 ? 0 : seconds; }

namespace detail {
void resetRuntimeForTesting() {
  auto objects = std::move(pool().objects);
  pool().objects.clear();
  pool().drainPosted = false;
  transitionSeconds() = 0.35;
  objects.clear();
}
}  // namespace detail

}  // namespace veltrix::ui
