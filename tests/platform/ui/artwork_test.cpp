// The library's artwork, as the screens load it: by name, from the resources
// the build draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/render/canvas.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

// Every image the screens name.
const std::vector<std::string>& screenImages() {
  static const std::vector<std::string> names = {"icon_t420_enabled",
                                                 "icon_t420_disabled",
                                                 "icon_t310_enabled",
                                                 "icon_t310_disabled",
                                                 "icon_tmix_z3_enabled",
                                                 "icon_tmix_z3_disabled",
                                                 "icon_more_enabled",
                                                 "ic_back",
                                                 "line",
                                                 "radarview",
                                                 "listview",
                                                 "icon_scan",
                                                 "icon_qrcode",
                                                 "icon_more_setting",
                                                 "icon_unverified",
                                                 "icon_check_disable",
                                                 "icon_check_enable",
                                                 "refresh@2x",
                                                 "icon_unknown",
                                                 "bluetooth_unselected",
                                                 "bluetooth_selected"};
  return names;
}

int ink(const Canvas& c) {
  int n = 0;
  for (int y = 0; y < c.pixelHeight(); ++y) {
    for (int x = 0; x < c.pixelWidth(); ++x) n += c.pixel(x, y).a > 0.1 ? 1 : 0;
  }
  return n;
}

class ArtworkTest : public UiTest {
 protected:
  // The source tree's resources, where the build draws the artwork (also
  // the library's default when nothing else is set).
  ArtworkTest() : previous_(platform::resourceDir()) {
    platform::setResourceDir(testing::sourceTree() / "resources");
  }
  ~ArtworkTest() override { platform::setResourceDir(previous_); }
  std::filesystem::path previous_;
};

TEST_F(ArtworkTest, EveryImageTheScreensNameLoadsAtTheScreensScale) {
  for (const auto& device : {DeviceProfile::phone(), DeviceProfile::pad()}) {
    makeWindow(device);
    for (const std::string& name : screenImages()) {
      ImagePtr image = loadImageNamed(name);
      ASSERT_NE(image, nullptr) << name;
      EXPECT_EQ(image->scale(), device.scale) << name;
      EXPECT_GT(image->size().width, 0) << name;
      Canvas c(image->size(), device.scale);
      c.drawImage(*image, Rect{Point{0, 0}, image->size()});
      EXPECT_GT(ink(c), c.pixelWidth()) << name << " has a picture";
    }
  }
  EXPECT_EQ(loadImageNamed("icon_t999_enabled"), nullptr) << "unknown models fall back by name";
}

TEST_F(ArtworkTest, StaleTerminalsLookDifferentFromLitOnes) {
  makeWindow(DeviceProfile::phone());
  for (const std::string model : {"t420", "t310", "tmix_z3"}) {
    Canvas lit(Size{60, 60}, 1);
    lit.drawImage(*loadImageNamed("icon_" + model + "_enabled"), Rect{0, 0, 60, 60});
    Canvas stale(Size{60, 60}, 1);
    stale.drawImage(*loadImageNamed("icon_" + model + "_disabled"), Rect{0, 0, 60, 60});
    // The lit screen is blue, the stale one grey (a point of every screen
    // that no glyph covers).
    const Color on = lit.pixel(21, 26);
    const Color off = stale.pixel(21, 26);
    EXPECT_GT(on.b, on.r + 0.3) << model << " " << toString(on);
    EXPECT_LT(std::abs(off.b - off.r), 0.1) << model << " " << toString(off);
  }
}

}  // namespace
}  // namespace veltrix::ui
