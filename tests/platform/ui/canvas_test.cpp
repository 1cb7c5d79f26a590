#include "veltrix/platform/ui/render/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace veltrix::ui {
namespace {

using testing::TempDir;

// Columns (pixels) with ink, first and last; {-1, -1} for none.
std::pair<int, int> inkColumns(const Canvas& c) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < c.pixelWidth(); ++x) {
    for (int y = 0; y < c.pixelHeight(); ++y) {
      if (c.pixel(x, y).a > 0.2) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

TEST(CanvasTest, StepsThatAreNotNumbersAreIgnored) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  Canvas c(Size{20, 20}, 1);
  c.translate(nan, 1);
  c.scaleBy(inf, 1);
  c.rotate(nan);
  c.addRect(Rect{nan, 0, 5, 5});
  c.addRoundedRect(Rect{0, 0, 10, 10}, nan);
  c.fill(Color::black());
  c.moveTo(Point{0, nan});
  c.arc(Point{10, 10}, inf, 0, 1);
  c.stroke(Color::black(), 1);
  c.drawText("x", Rect{0, 0, nan, 10}, TextStyle{});
  // The canvas still draws, where it should.
  c.fillRect(Rect{15, 15, 5, 5}, Color::systemBlue());
  EXPECT_EQ(c.pixel(17, 17), Color::systemBlue().withAlpha(1)) << toString(c.pixel(17, 17));
  EXPECT_EQ(c.pixel(2, 2).a, 1) << "the square of radius NaN is square";
  EXPECT_EQ(c.pixel(12, 12).a, 0);
  EXPECT_EQ(c.pixel(-1, 0), Color::clear());
  EXPECT_EQ(c.pixel(20, 0), Color::clear());
}

TEST(CanvasTest, TextIsAlignedInItsRectangle) {
  for (TextAlignment align : {TextAlignment::Left, TextAlignment::Center, TextAlignment::Right}) {
    for (bool truncating : {true, false}) {
      Canvas c(Size{200, 30}, 1);
      TextStyle style;
      style.alignment = align;
      style.lineBreak = truncating ? LineBreakMode::TruncateTail : LineBreakMode::Clip;
      c.drawText("Purchase", Rect{0, 0, 200, 30}, style);
      const auto [first, last] = inkColumns(c);
      ASSERT_GE(first, 0);
      const double mid = (first + last) / 2.0;
      switch (align) {
        case TextAlignment::Center:
          EXPECT_NEAR(mid, 100, 3);
          break;
        case TextAlignment::Right:
          EXPECT_GT(last, 195);
          break;
        default:
          EXPECT_LT(first, 4);
          break;
      }
    }
  }
}

TEST(CanvasTest, WrappedTextKeepsToItsLines) {
  const std::string text = "one two three four five six seven eight nine ten eleven twelve";
  Canvas c(Size{100, 200}, 1);
  TextStyle style;
  style.maxLines = 2;
  style.centerVertically = false;
  c.drawText(text, Rect{0, 0, 100, 200}, style);
  const double line = c.measureText("Ag", style.font).height;
  int lowest = -1;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (c.pixel(x, y).a > 0.2) lowest = y;
    }
  }
  EXPECT_GT(lowest, line) << "a second line";
  EXPECT_LT(lowest, 2 * line + 1) << "and no third";
  EXPECT_LE(inkColumns(c).second, 100);
}

// A label's line limit holds for the whole text, whatever line breaks it
// holds: the last line shown takes the rest and ends in an ellipsis.
TEST(CanvasTest, LineLimitCountsEveryLineOfTheText) {
  const Canvas c(Size{1, 1}, 1);
  const std::string serial(200, '7');
  struct Case {
    std::string text;
    double width;
    int maxLines;
    std::vector<std::string> shown;
  } cases[] = {
      {"Tavio T420\nTMIX Z3", 300, 1, {"Tavio T420 TMIX Z3"}},
      {"Tavio T420\r\nTMIX Z3\u2028X", 60, 1, {"Tavi\u2026"}},
      // Breaks that fill the lines give each its own: a long first one is
      // cut, not wrapped over the second.
      {serial + "\nUnknown RSSI", 150, 2, {"777777777777\u2026", "Unknown RSSI"}},
      {"one two three four five six\nseven", 100, 3, {"one two", "three four", "five six s\u2026"}},
      {"one two three four", 100, 0, {"one two", "three four"}},
  };
  for (const Case& k : cases) {
    TextStyle style;
    style.maxLines = k.maxLines;
    const TextLayout l = c.layoutText(k.text, Rect{0, 0, k.width, 200}, style);
    EXPECT_EQ(l.lines, k.shown) << k.text;
  }
  TextStyle clip;
  clip.lineBreak = LineBreakMode::Clip;
  EXPECT_EQ(c.layoutText("A\nB", Rect{0, 0, 100, 40}, clip).text(), "A");
}

TEST(CanvasTest, PicturesThatCannotBeReadLeaveAPlaceholder) {
  TempDir dir;
  // A PNG header with no pixels behind it: its size reads, its picture not.
  const auto path = dir.path() / "broken.png";
  {
    std::ofstream out(path, std::ios::binary);
    const unsigned char head[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                  'I',  'H', 'D', 'R', 0,    0,    0,    8,    0, 0, 0, 8};
    out.write(reinterpret_cast<const char*>(head), sizeof head);
  }
  ImagePtr broken = Image::fromFile(path, "broken");
  ASSERT_NE(broken, nullptr);
  Canvas c(Size{20, 20}, 1);
  c.drawImage(*broken, Rect{0, 0, 20, 20});
  EXPECT_EQ(c.pixel(10, 2), Color::systemGray5()) << toString(c.pixel(10, 2));

  Canvas written(Size{4, 4}, 2);
  written.fillRect(Rect{0, 0, 4, 4}, Color::systemRed());
  ASSERT_TRUE(written.writePng(dir.path() / "red.png"));
  ImagePtr red = Image::fromFile(dir.path() / "red.png", "red", 2);
  ASSERT_NE(red, nullptr);
  EXPECT_EQ(red->size(), (Size{4, 4}));
  Canvas again(Size{4, 4}, 1);
  again.drawImage(*red, Rect{0, 0, 4, 4}, Color::systemGreen());
  EXPECT_EQ(again.pixel(2, 2), Color::systemGreen()) << "a tint paints over the picture's shape";
}

TEST(CanvasTest, FastPackedPicturesKeepEveryPixel) {
  TempDir dir;
  Canvas c(Size{8, 4}, 1);
  c.fillRect(Rect{0, 0, 4, 4}, Color::systemRed());
  // Translucent, over red and over nothing.
  c.fillRect(Rect{2, 0, 6, 4}, Color{0, 0.5, 1, 0.5});
  ASSERT_TRUE(c.writePng(dir.path() / "small.png"));
  ASSERT_TRUE(c.writePng(dir.path() / "fast.png", PngCompression::Fast));
  auto small = loadBitmap(dir.path() / "small.png");
  auto fast = loadBitmap(dir.path() / "fast.png");
  ASSERT_TRUE(small && fast);
  EXPECT_EQ(fast->pixels, small->pixels);
}

}  // namespace
}  // namespace veltrix::ui
