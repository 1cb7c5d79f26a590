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

TEST(TextMetricsTest, PangoMetricsPreparedMeasureAsUnprepared) {
  // Fonts load on the global queue while the caller measures in them.
  PangoMetrics fresh;
  PangoMetrics prepared;
  const std::vector<Font> fonts = {Font::bold(16), Font::bold(15.5), Font::system(14),
                                   Font::system(16, FontWeight::Medium), Font::bold(12.8)};
  prepared.prepare(fonts);
  prepared.prepare(fonts);
  for (int pass = 0; pass < 2; ++pass) {
    for (const Font& f : fonts) {
      for (const char* text : {"T2 Lite", "TAVIO-SIM-0001", "收银台"}) {
        EXPECT_EQ(prepared.measure(text, f, 0, 1), fresh.measure(text, f, 0, 1)) << text;
        EXPECT_EQ(prepared.measure(text, f, 40, 0), fresh.measure(text, f, 40, 0)) << text;
      }
      EXPECT_EQ(prepared.lineHeight(f), fresh.lineHeight(f));
    }
  }
}

}  // namespace
}  // namespace veltrix::ui
