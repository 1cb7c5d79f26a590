#include "support/ui_test_env.h"

namespace veltrix::testing {

UiTest::UiTest() : metrics_(std::make_shared<ui::FixedMetrics>()) { ui::resetForTesting(); }

UiTest::~UiTest() {
  driver_.reset();
  if (window_) window_->setRootViewController(nullptr);
  runPending();
  window_.reset();
  ui::resetForTesting();
}

ui::Window& UiTest::makeWindow(const ui::DeviceProfile& profile) {
  driver_.reset();
  window_ = std::make_shared<ui::Window>(profile);
  window_->makeKeyAndVisible();
  driver_ = std::make_unique<ui::Driver>(*window_);
  return *window_;
}

ui::Window& UiTest::window() {
  if (!window_) makeWindow();
  return *window_;
}

ui::Driver& UiTest::driver() {
  if (!window_) makeWindow();
  return *driver_;
}

void UiTest::show(std::shared_ptr<ui::ViewController> root) {
  window().setRootViewController(std::move(root));
  driver().settle();
}

}  // namespace veltrix::testing

// Fontconfig keeps its caches for the life of the process in a way the leak
// checker cannot follow; text measured through Pango would fail every
// sanitizer run on them.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
