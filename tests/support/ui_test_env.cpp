#include "support/ui_test_env.h"

#include <string>

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

bool UiTest::onScreen(ui::View& view) {
  driver().settle();
  return encloses(window().bounds().inset(window().device().safeArea()), inWindow(view));
}

bool UiTest::encloses(const ui::Rect& outer, const ui::Rect& inner, double slack) {
  return inner.minX() >= outer.minX() - slack && inner.maxX() <= outer.maxX() + slack &&
         inner.minY() >= outer.minY() - slack && inner.maxY() <= outer.maxY() + slack;
}

bool UiTest::textFits(const ui::Label& label) {
  const ui::Font font = label.displayFont();
  const ui::Size box = label.bounds().size;
  const ui::TextMetrics& metrics = ui::textMetrics();
  if (label.numberOfLines() == 1)
    return metrics.measure(label.text(), font, 0, 1).width <= box.width;
  // Wrapped: no word wider than the label, no more lines than it has room for.
  for (std::size_t from = 0; from < label.text().size();) {
    std::size_t to = label.text().find(' ', from);
    if (to == std::string::npos) to = label.text().size();
    if (metrics.measure(label.text().substr(from, to - from), font, 0, 1).width > box.width) {
      return false;
    }
    from = to + 1;
  }
  const ui::Size text = metrics.measure(label.text(), font, box.width, 0);
  const int lines = label.numberOfLines();
  return text.height <= box.height + 0.5 &&
         (lines == 0 || text.height <= lines * metrics.lineHeight(font) + 0.5);
}

std::vector<ui::DeviceProfile> UiTest::everyDevice() {
  return {ui::DeviceProfile::phone(), ui::DeviceProfile::smallPhone(), ui::DeviceProfile::pad()};
}

std::vector<ui::DeviceProfile> UiTest::everyOrientation() {
  std::vector<ui::DeviceProfile> out;
  for (const ui::DeviceProfile& device : everyDevice()) {
    out.push_back(device);
    out.push_back(device.inOrientation(true));
  }
  return out;
}

}  // namespace veltrix::testing

// Fontconfig keeps its caches for the life of the process in a way the leak
// checker cannot follow; text measured through Pango would fail every
// sanitizer run on them.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
