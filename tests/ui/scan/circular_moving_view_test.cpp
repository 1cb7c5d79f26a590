// The terminal bubble on its own: motion, the drag into the centre zone,
// taps, and the "more" bubble.
#include "veltrix/ui/scan/circular_moving_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/outside_text.h"
#include "veltrix/platform/ui/render/renderer.h"

namespace veltrix::ui::scan {
namespace {

class Readjust final : public CircularMovingDelegate {
 public:
  void onReadjustView() override { ++calls; }
  int calls = 0;
};

class BubbleTest : public testing::UiTest {
 protected:
  BubbleTest() {
    makeWindow();
    root = std::make_shared<View>(window().bounds());
    window().addSubview(root);
  }

  std::shared_ptr<CircularMovingView> make(ServiceInfoDict info, double angle = 0) {
    auto b = CircularMovingView::create({0, 0, 200, 100}, 150, centre, angle, std::move(info));
    b->delgate = readjust;
    b->tapHandler = [this](CircularMovingView&) { events.push_back("tap"); };
    b->centerZoneHandler = [this](CircularMovingView&, bool in) {
      events.push_back(in ? "YES" : "NO");
    };
    root->addSubview(b);
    return b;
  }

  static ServiceInfoDict terminal(std::string sn = "TAVIO-A1B2") {
    ServiceInfoDict d;
    d.sn = std::move(sn);
    d.model = "T420";
    d.serviceType = "Purchase";
    d.serviceId = "1";
    d.serviceName = "Card";
    return d;
  }

  const Point centre{195, 422};
  std::shared_ptr<View> root;
  std::shared_ptr<Readjust> readjust = std::make_shared<Readjust>();
  std::vector<std::string> events;
};

TEST_F(BubbleTest, TurnsAnticlockwiseOneThousandthPerFrame) {
  auto b = make(terminal(), 0.5);
  EXPECT_NEAR(b->currentAngle(), 0.5, 1e-12);
  driver().advance(10.0 / 60 + 1e-6);
  EXPECT_NEAR(b->currentAngle(), 0.5 - 0.010, 1e-9);
  EXPECT_NEAR(b->center().x, centre.x + 150 * std::cos(0.49), 1e-9);
  EXPECT_NEAR(b->center().y, centre.y + 150 * std::sin(0.49), 1e-9);
  driver().advance(200.0);
  EXPECT_LE(std::abs(b->currentAngle()), 3.15) << "kept within one turn";
}

TEST_F(BubbleTest, ShowsModelShortSerialAndService) {
  auto b = make(terminal("AB"));
  EXPECT_TRUE(driver().isTextVisible("T420"));
  EXPECT_TRUE(driver().isTextVisible("(*AB)"));
  EXPECT_TRUE(driver().isTextVisible("Card"));
  EXPECT_EQ(b->imageView()->image()->name(), "icon_t420_enabled");

  // The terminal's own texts cannot break their lines or reorder.
  ServiceInfoDict hostile = terminal("SIM-12\u202E34");
  hostile.model = "T420\nTMIX";
  hostile.serviceName = "Card\nPayment";
  make(hostile);
  for (const char* raw : {"T420\nTMIX", "(*2\u202E34)", "Card\nPayment"}) {
    Label* label = driver().labelWithText(raw);
    ASSERT_NE(label, nullptr) << raw;
    const TextLayout shown = drawnText(*label);
    EXPECT_EQ(shown.lines.size(), 1u) << raw;
    EXPECT_EQ(shown.text(), displayableOutsideText(raw)) << raw;
  }
}

TEST_F(BubbleTest, DragCrossingsSayNoAndAReleaseInsideSaysYesAfterHalfASecond) {
  auto b = make(terminal(), 0);  // at (345, 422)
  const Point start = b->center();
  // In, out, in again, release at 50 points from the centre (inside).
  driver().drag(
      start,
      {{start.x - 20, 422}, {centre.x + 40, 422}, {centre.x + 80, 422}, {centre.x + 50, 422}});
  EXPECT_EQ(events, (std::vector<std::string>{"NO", "NO", "NO"}));
  EXPECT_FALSE(b->isMoving());
  driver().advance(0.4);
  EXPECT_EQ(events.size(), 3u);
  driver().advance(0.2);
  EXPECT_EQ(events.back(), "YES");
  EXPECT_EQ(b->superview(), nullptr) << "removed after the release";
  EXPECT_EQ(readjust->calls, 0);
}

TEST_F(BubbleTest, AReleaseOutsideAsksToReadjust) {
  auto b = make(terminal(), 0);
  const Point start = b->center();
  driver().drag(start, {{start.x - 30, 422}, {centre.x + 50.5, 422}});
  driver().advance(1.0);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(readjust->calls, 1);
  EXPECT_EQ(b->superview(), root.get());
}

TEST_F(BubbleTest, TapsAndDrags) {
  auto b = make(terminal(), 0);
  driver().tapAt(b->center());
  EXPECT_EQ(events, (std::vector<std::string>{"tap"}));
  events.clear();
  const Point p = b->center();
  driver().drag(p, {{p.x - 15, p.y}, {p.x - 30, p.y}});
  EXPECT_TRUE(std::find(events.begin(), events.end(), "tap") == events.end())
      << "a tap that turns into a drag is no tap";
}

TEST_F(BubbleTest, TheMoreBubbleIgnoresDragsButTakesTaps) {
  auto b = make(ServiceInfoDict::more(), 0);
  EXPECT_TRUE(driver().isTextVisible("(*.more)"));
  EXPECT_EQ(b->imageView()->image()->name(), "icon_more_enabled");
  const Point p = b->center();
  driver().drag(p, {{p.x - 80, p.y}, {centre.x, centre.y}});
  EXPECT_FALSE(b->isDragging());
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(readjust->calls, 0);
  driver().tapAt(b->center());
  EXPECT_EQ(events, (std::vector<std::string>{"tap"}));
}

TEST_F(BubbleTest, CleanedBubblesReportNothing) {
  auto b = make(terminal(), 0);
  b->cleanAllResources();
  EXPECT_FALSE(b->isMoving());
  driver().tapAt(b->center());
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace veltrix::ui::scan
