#include "gallery/gallery.h"

#include <gtest/gtest.h>

#include <set>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::gallery {
namespace {

using testing::TempDir;
using testing::UiTest;

// The pages lay out with the installed fonts, as the tool does.
class GalleryTest : public UiTest {
 protected:
  ui::ScopedTextMetrics fonts_{std::make_shared<ui::PangoMetrics>()};
  TempDir out_;
};

// Every page at 1x (quick), on a phone and on a pad turned sideways.
TEST_F(GalleryTest, EveryPageWritesItsPictures) {
  for (const auto& device :
       {ui::DeviceProfile::phone(), ui::DeviceProfile::pad().inOrientation(true)}) {
    Options options;
    options.device = device;
    options.out = out_.path() / device.name;
    options.scale = 1;
    const Result result = run(options);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front();
    std::set<std::string> names;
    for (const auto& file : result.files) {
      names.insert(file.stem().string());
      EXPECT_EQ(ui::imagePixelSize(file), device.size()) << file;
    }
    EXPECT_GE(names.size(), pages().size()) << "a picture per page at least";
    for (const char* expected : {"controls", "labels", "artwork", "alert", "sheet", "motion"}) {
      EXPECT_TRUE(names.count(expected)) << expected;
    }
  }
}

}  // namespace
}  // namespace veltrix::gallery
