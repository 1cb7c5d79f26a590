// Fixture for tests of screens and of the UI layer: a manual clock bound to
// the test thread, fixed text metrics, a fresh UI state and a window of the
// chosen device profile.
#pragma once

#include <memory>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/driver.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/text_metrics.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::testing {

class UiTest : public LoopTest {
 public:
  // The phone, the small phone and the pad, upright: what a layout must
  // suit.
  static std::vector<ui::DeviceProfile> everyDevice();
  // Each of them upright, then turned.
  static std::vector<ui::DeviceProfile> everyOrientation();

 protected:
  UiTest();
  ~UiTest() override;

  // Makes the window (key and visible) for `profile`, replacing an earlier
  // one.
  ui::Window& makeWindow(const ui::DeviceProfile& profile = ui::DeviceProfile::phone());
  ui::Window& window();
  ui::Driver& driver();
  // Shows `root` as the window's root controller and settles.
  void show(std::shared_ptr<ui::ViewController> root);
  // Whether `view` lies inside the window's safe area, where a finger reaches
  // it.
  bool onScreen(ui::View& view);
  // `view`'s bounds in window coordinates.
  static ui::Rect inWindow(const ui::View& view) { return view.convert(view.bounds(), nullptr); }
  // Whether `inner` lies inside `outer`, give or take `slack` points.
  static bool encloses(const ui::Rect& outer, const ui::Rect& inner, double slack = 0.5);
  // Whether `label` draws its whole text inside its bounds, in the size it
  // is drawn in.
  static bool textFits(const ui::Label& label);

 private:
  ui::ScopedTextMetrics metrics_;
  std::shared_ptr<ui::Window> window_;
  std::unique_ptr<ui::Driver> driver_;
};

}  // namespace veltrix::testing
