#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class TimeTest : public UiTest {
 protected:
  std::vector<std::string> events_;
};

TEST_F(TimeTest, ModelValuesChangeAtOnceAndCompletionsWaitForTheDuration) {
  auto v = std::make_shared<View>(Rect{0, 0, 200, 100});
  animate(
      0.5,
      [&] {
        v->setTransform(Transform::scale(2, 2));
        v->setAlpha(0);
      },
      [&](bool finished) { events_.push_back(finished ? "done" : "cut"); });
  EXPECT_EQ(v->alpha(), 0);
  EXPECT_EQ(v->transform(), Transform::scale(2, 2));
  // Drawn half way meanwhile.
  const platform::TimePoint start = clock().now();
  EXPECT_DOUBLE_EQ(presentationAlpha(*v, start + platform::seconds(0.25)), 0.5);
  EXPECT_DOUBLE_EQ(presentationAlpha(*v, start + platform::seconds(0.6)), 0);
  advanceSeconds(0.499);
  EXPECT_TRUE(events_.empty());
  advanceSeconds(0.001);
  EXPECT_EQ(events_, (std::vector<std::string>{"done"}));
}

TEST_F(TimeTest, ChainedAndDelayedAnimationsCompleteAtTheirSummedTimes) {
  auto v = std::make_shared<View>(Rect{0, 0, 200, 100});
  // The bubble's pulse: 0.2 s up, then 0.2 s back.
  animate(
      0.2, [&] { v->setTransform(v->transform().scaled(1.3, 1.3)); },
      [&](bool) {
        events_.push_back("up");
        animate(
            0.2, [&] { v->setTransform(Transform::identity()); },
            [&](bool) { events_.push_back("back"); });
      });
  animateSpring(
      0.3, 0, 0.7, 0, [&] { v->setAlpha(1); }, [&](bool) { events_.push_back("spring"); });
  animate(
      0.3, 2.0, AnimationCurve::EaseInOut, [&] { v->setAlpha(0); },
      [&](bool) { events_.push_back("delayed"); });
  advanceSeconds(0.2);
  EXPECT_EQ(events_, (std::vector<std::string>{"up"}));
  advanceSeconds(0.1);
  EXPECT_EQ(events_, (std::vector<std::string>{"up", "spring"}));
  advanceSeconds(0.1);
  EXPECT_EQ(events_, (std::vector<std::string>{"up", "spring", "back"}));
  advanceSeconds(1.9);
  EXPECT_EQ(events_.back(), "delayed");
}

TEST_F(TimeTest, UnanimatedChangesCompleteOnTheNextTurnOfTheLoop) {
  auto v = std::make_shared<View>();
  animate(
      0, [&] { v->setAlpha(0.5); }, [&](bool) { events_.push_back("done"); });
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(v->animations().empty()) << "nothing to draw in between";
  runPending();
  EXPECT_EQ(events_, (std::vector<std::string>{"done"}));
}

TEST_F(TimeTest, DisplayLinkDeliversSixtyFramesASecondUntilInvalidated) {
  int frames = 0;
  auto link = DisplayLink::create([&](DisplayLink& l) {
    if (++frames == 90) l.invalidate();
  });
  link->start();
  std::weak_ptr<DisplayLink> weak = link;
  link.reset();  // a running link keeps itself alive
  advanceSeconds(1);
  EXPECT_EQ(frames, 60);
  ASSERT_FALSE(weak.expired());
  weak.lock()->paused = true;
  advanceSeconds(1);
  EXPECT_EQ(frames, 60);
  weak.lock()->paused = false;
  advanceSeconds(1);
  EXPECT_EQ(frames, 90) << "invalidated from its own callback";
  advanceSeconds(1);
  EXPECT_EQ(frames, 90);
  EXPECT_TRUE(weak.expired());
}

TEST_F(TimeTest, AnUnwatchedStretchDeliversOnlyTheFramesAtItsEnds) {
  std::vector<platform::TimePoint> frames;
  auto link = DisplayLink::create([&](DisplayLink& l) { frames.push_back(l.timestamp()); });
  link->start();
  const platform::TimePoint start = clock().now();
  driver().advanceUnwatched(30);
  ASSERT_EQ(frames.size(), 2u) << "the one already due, then the stretch's last";
  EXPECT_EQ(frames.back(), start + platform::seconds(30));
  driver().advance(1);
  EXPECT_EQ(frames.size(), 62u) << "sixty a second again";
  link->invalidate();
}

TEST_F(TimeTest, TransitionChangesAtOnceAndCompletesLater) {
  auto v = std::make_shared<View>();
  transition(
      *v, 0.3, TransitionStyle::CrossDissolve, [&] { v->setHidden(true); },
      [&](bool) { events_.push_back("done"); });
  EXPECT_TRUE(v->isHidden());
  advanceSeconds(0.3);
  EXPECT_EQ(events_, (std::vector<std::string>{"done"}));
}

}  // namespace
}  // namespace veltrix::ui
