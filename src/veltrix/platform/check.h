// Debug-build invariant checks. They compile to nothing in release builds.
#pragma once

#include <string_view>

namespace veltrix::platform {

// Reports a broken invariant and aborts. Only reached from debug builds.
[[noreturn]] void checkFailed(std::string_view file, int line, std::string_view what);

}  // namespace veltrix::platform

#ifndef NDEBUG
#define VELTRIX_DCHECK_IS_ON 1
#define VELTRIX_DCHECK(cond)                                                  \
  do {                                                                        \
    if (!(cond)) ::veltrix::platform::checkFailed(__FILE__, __LINE__, #cond); \
  } while (false)
#else
#define VELTRIX_DCHECK_IS_ON 0
#define VELTRIX_DCHECK(cond) \
  do {                       \
  } while (false && (cond))
#endif

// Asserts that the caller runs on `queue` (a TaskQueue).
#define VELTRIX_DCHECK_RUN_ON(queue) VELTRIX_DCHECK((queue).isCurrent())
