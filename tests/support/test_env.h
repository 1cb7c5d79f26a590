// Shared test fixtures: a manual clock bound to the test thread's main
// loop, a private documents directory, and a pinned time zone.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

#if defined(__SANITIZE_THREAD__)
#define VELTRIX_TEST_TSAN 1
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELTRIX_TEST_ASAN 1
#endif
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELTRIX_TEST_TSAN 1
#endif
#if __has_feature(address_sanitizer)
#define VELTRIX_TEST_ASAN 1
#endif
#endif

namespace veltrix::testing {

// How many times slower this build runs the library than a plain one. A
// bound on real time that guards against a cost growing too fast (minutes
// instead of seconds) is multiplied by it, so a sanitizer build on a loaded
// machine does not fail it while a quadratic cost still would.
#if defined(VELTRIX_TEST_TSAN)
inline constexpr int kSlowdown = 10;
#elif defined(VELTRIX_TEST_ASAN)
inline constexpr int kSlowdown = 3;
#else
inline constexpr int kSlowdown = 1;
#endif

// The project's source tree: ctest's environment names it; __FILE__ may be
// relative to the build directory (compiler caches rewrite it), which ctest
// does not run from, so it is only the fallback of a program run by hand.
std::filesystem::path sourceTree();

// A fresh empty directory below the system temp dir, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets TZ for the scope and restores it afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool hadValue_ = false;
  std::string previous_;
};

// Binds the test thread as the main loop, installs a ManualClock and points
// the documents directory at a temp dir. Restores the system clock after.
class LoopTest : public ::testing::Test {
 protected:
  LoopTest();
  ~LoopTest() override;

  platform::ManualClock& clock() { return *clock_; }
  platform::MainLoop& main() { return platform::MainLoop::shared(); }
  const std::filesystem::path& docs() const { return docs_.path(); }
  // Advances the manual clock, running main-loop tasks on the way.
  void advance(platform::Duration d) { clock_->advance(d); }
  void advanceSeconds(double s) { clock_->advance(platform::seconds(s)); }
  std::size_t runPending() { return main().runPending(); }

 private:
  std::shared_ptr<platform::ManualClock> clock_;
  TempDir docs_;
};

}  // namespace veltrix::testing
