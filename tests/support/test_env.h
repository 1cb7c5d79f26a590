// Shared test fixtures: a manual clock bound to the test thread's main
// loop, a private documents directory, and a pinned time zone.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::testing {

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
