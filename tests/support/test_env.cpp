#include "support/test_env.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>

#include "veltrix/platform/paths.h"

namespace veltrix::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("veltrix-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

// NOLINTBEGIN(concurrency-mt-unsafe): tests change TZ on the test thread only.
ScopedTimeZone::ScopedTimeZone(const std::string& tz) {
  if (const char* old = std::getenv("TZ")) {
    hadValue_ = true;
    previous_ = old;
  }
  ::setenv("TZ", tz.c_str(), 1);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadValue_) {
    ::setenv("TZ", previous_.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}
// NOLINTEND(concurrency-mt-unsafe)

std::filesystem::path sourceTree() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read only
  const char* source = std::getenv("VELTRIX_TEST_SOURCE_DIR");
  if (source && *source) return source;
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

LoopTest::LoopTest() : clock_(std::make_shared<platform::ManualClock>()) {
  platform::MainLoop::shared().resetForTesting();
  platform::MainLoop::shared().bindCurrentThread();
  platform::setClock(clock_);
  platform::setDocumentsDirForTesting(docs_.path());
}

LoopTest::~LoopTest() {
  platform::MainLoop::shared().runPending();
  platform::setClock(nullptr);
  platform::MainLoop::shared().resetForTesting();
}

}  // namespace veltrix::testing
