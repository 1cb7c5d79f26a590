// Run-loop glue of the UI layer: the main-thread check, delayed work on the
// main loop and keeping objects alive while they are being called.
//
// Every entry point of the UI layer runs on platform::MainLoop; debug builds
// abort when one is called from another thread.
#pragma once

#include <functional>
#include <memory>

#include "veltrix/platform/check.h"
#include "veltrix/platform/dispatch.h"

// Asserts (debug builds) that the caller runs on the main loop.
#define VELTRIX_UI_CHECK_MAIN() VELTRIX_DCHECK(::veltrix::platform::MainLoop::shared().isCurrent())

namespace veltrix::ui {

// Runs `task` on the main loop once `seconds` have passed on the process
// clock; 0 or less runs it on the next turn of the loop.
void later(double seconds, std::function<void()> task);

// Keeps `object` alive until the main-loop task running now has ended, so a
// callback that pops or dismisses its own caller does not destroy the caller
// in the middle of a call.
void keepAlive(std::shared_ptr<const void> object);

// Duration of the animated push, pop, present and dismiss transitions
// (0.35 s). Tests may set 0 for transitions that end on the next loop turn.
double transitionDuration();
void setTransitionDuration(double seconds);

// Forgets process-wide UI state between tests: objects kept alive, the key
// window, the device profile and the transition duration.
void resetForTesting();

}  // namespace veltrix::ui
