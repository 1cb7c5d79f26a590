#include "veltrix/platform/ui/toast.h"

#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/controls.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class ToastTest : public UiTest {
 protected:
  ToastTest() {
    screen_ = std::make_shared<View>(window().bounds());
    window().addSubview(screen_);
  }
  std::vector<Label*> toasts() {
    std::vector<Label*> out;
    for (auto& v : screen_->subviews()) {
      if (v->tag == kToastTag) out.push_back(dynamic_cast<Label*>(v.get()));
    }
    return out;
  }
  std::shared_ptr<View> screen_;
};

TEST_F(ToastTest, SitsCentredAHundredPointsAboveTheBottom) {
  showToastInView(*screen_, "Saved", 2.0);
  ASSERT_EQ(toasts().size(), 1u);
  Label& t = *toasts()[0];
  // "Saved": 5 x 9.35 wide and one 21-point line, plus 40 and 20.
  EXPECT_EQ(t.frame(), (Rect{195 - 86.75 / 2, 744 - 41.0 / 2, 86.75, 41}));
  EXPECT_EQ(t.text(), "Saved");
  EXPECT_EQ(t.textColor, Color::white());
  EXPECT_EQ(t.backgroundColor(), Color::black().withAlpha(0.7));
  EXPECT_EQ(t.textAlignment, TextAlignment::Center);
  EXPECT_EQ(driver().toast(), "Saved");
}

TEST_F(ToastTest, LongMessagesWrapToEightTenthsOfTheWidthLessForty) {
  showToastInView(*screen_, std::string(60, 'w'), 1.0);
  const Rect f = toasts()[0]->frame();
  // 0.8 x 390 - 40 = 272 points hold 29 characters a line: three lines.
  EXPECT_DOUBLE_EQ(f.width(), 29 * 9.35 + 40);
  EXPECT_EQ(f.height(), 3 * 21 + 20);
}

TEST_F(ToastTest, FadesInStaysAndFadesOutThenGoes) {
  showToastInView(*screen_, "Whitelist", 2.0);
  Label* t = toasts()[0];
  EXPECT_EQ(t->alpha(), 1) << "the model value is final at once";
  ASSERT_EQ(t->animations().size(), 1u);
  advanceSeconds(0.3 + 2.0 + 0.3 - 0.01);
  EXPECT_EQ(toasts().size(), 1u);
  EXPECT_EQ(t->alpha(), 0) << "fading out";
  advanceSeconds(0.01);
  EXPECT_TRUE(toasts().empty());
  EXPECT_EQ(driver().toast(), std::nullopt);
}

TEST_F(ToastTest, ASecondToastReplacesTheFirstAtOnceAndKeepsItsOwnTime) {
  showToastInView(*screen_, "first", 2.0);
  advanceSeconds(1.0);
  showToastInView(*screen_, "second", 2.0);
  ASSERT_EQ(toasts().size(), 1u);
  EXPECT_EQ(toasts()[0]->text(), "second");
  // The first toast's own fade-out (due at 2.6 s) must not take the second.
  advanceSeconds(1.7);
  ASSERT_EQ(toasts().size(), 1u);
  EXPECT_EQ(toasts()[0]->text(), "second");
  advanceSeconds(0.9);
  EXPECT_TRUE(toasts().empty());
}

TEST_F(ToastTest, OtherLabelsWithTheTagAreRemovedToo) {
  auto stale = std::make_shared<Label>();
  stale->tag = kToastTag;
  auto other = std::make_shared<View>();
  other->tag = kToastTag;  // not a label: stays
  screen_->addSubview(stale);
  screen_->addSubview(other);
  showToastInView(*screen_, "x", -5);  // a negative duration counts as none
  EXPECT_EQ(stale->superview(), nullptr);
  EXPECT_EQ(other->superview(), screen_.get());
  advanceSeconds(0.6);
  EXPECT_EQ(toasts().size(), 1u) << "only the non-label view with the tag is left";
}

}  // namespace
}  // namespace veltrix::ui
