#include "veltrix/platform/ui/text_metrics.h"

#include <gtest/gtest.h>

namespace veltrix::ui {
namespace {

TEST(TextMetricsTest, FixedMetricsWrapAtWordsAndHonourLineLimits) {
  FixedMetrics m;
  const Font f = Font::system(10);  // 5.5 a character, 12 a line
  EXPECT_EQ(m.measure("", f, 0, 0), (Size{0, 0}));
  EXPECT_EQ(m.measure("abc", f, 0, 1), (Size{16.5, 12}));
  EXPECT_EQ(m.measure("ab cd ef", f, 30, 0), (Size{27.5, 24})) << "two words a line";
  EXPECT_EQ(m.measure("ab cd ef", f, 30, 1).height, 12);
  EXPECT_EQ(m.measure("ab\ncd", f, 0, 0), (Size{11, 24})) << "a line break always breaks";
  EXPECT_EQ(m.measure("中文", f, 0, 0).width, 11) << "characters, not bytes";
}

TEST(TextMetricsTest, PangoMetricsMeasureTheInstalledFonts) {
  PangoMetrics m;
  const Font f = Font::system(17);
  const Size one = m.measure("Purchase Service", f, 0, 0);
  EXPECT_GT(one.width, 50);
  EXPECT_GE(one.height, 17);
  EXPECT_GT(m.measure("Purchase Service", Font::bold(17), 0, 0).width, one.width * 0.99);
  const Size wrapped = m.measure("Drag a device to the center to interact with it.", f, 120, 0);
  EXPECT_LE(wrapped.width, 120);
  EXPECT_GT(wrapped.height, 2 * one.height - 1);
  EXPECT_EQ(m.measure("Drag a device to the center to interact with it.", f, 120, 1).height,
            one.height);
  EXPECT_GT(m.measure("将二维码放入框内", f, 0, 0).width, 0);
}

}  // namespace
}  // namespace veltrix::ui
