#include "veltrix/platform/ui/controls.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/toast.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class ControlsTest : public UiTest {};

TEST_F(ControlsTest, ButtonShowsTheTitleAndImageOfItsState) {
  Button scan(ButtonType::System);
  scan.setTitle("Start Scan", ControlState::Normal);
  scan.setTitle("Scanning...", ControlState::Disabled);
  scan.setImage(Image::systemNamed("circle"), ControlState::Normal);
  scan.setImage(Image::systemNamed("checkmark.circle.fill"), ControlState::Selected);
  EXPECT_EQ(scan.currentTitle(), "Start Scan");
  scan.setEnabled(false);
  EXPECT_EQ(scan.currentTitle(), "Scanning...");
  EXPECT_EQ(scan.titleLabel()->text(), "Scanning...");
  scan.setEnabled(true);
  scan.setSelected(true);
  EXPECT_EQ(scan.currentTitle(), "Start Scan") << "no selected title: the normal one";
  EXPECT_EQ(scan.currentImage()->name(), "checkmark.circle.fill");
  EXPECT_EQ(scan.imageView()->image()->name(), "checkmark.circle.fill");
}

TEST_F(ControlsTest, ImageAfterTitleWhenForcedRightToLeft) {
  Button remember(ButtonType::Custom, Rect{0, 0, 390, 46});
  remember.setTitle("Remember this service    ", ControlState::Normal);
  remember.setImage(Image::systemNamed("chevron.down"), ControlState::Normal);
  remember.semanticContentAttribute = SemanticContentAttribute::ForceRightToLeft;
  remember.layoutIfNeeded();
  EXPECT_GT(remember.imageView()->frame().minX(), remember.titleLabel()->frame().minX());
  EXPECT_NEAR(remember.imageView()->frame().maxX() + remember.titleLabel()->frame().minX(), 390,
              1e-9)
      << "the pair is centred";
}

TEST_F(ControlsTest, ActivityIndicatorHidesWhenStopped) {
  ActivityIndicator spinner(ActivityIndicatorStyle::Large);
  EXPECT_EQ(spinner.frame().size, (Size{37, 37}));
  EXPECT_TRUE(spinner.isHidden());
  spinner.startAnimating();
  EXPECT_TRUE(spinner.isAnimating());
  EXPECT_FALSE(spinner.isHidden());
  spinner.stopAnimating();
  EXPECT_TRUE(spinner.isHidden());
  spinner.setHidesWhenStopped(false);
  spinner.setHidden(false);
  spinner.startAnimating();
  spinner.stopAnimating();
  EXPECT_FALSE(spinner.isHidden());
}

TEST_F(ControlsTest, LabelSizeFollowsLinesAndWidth) {
  Label label;
  label.setFont(Font::bold(19));
  label.setText("Drag a device to the center to ");
  const Size one = label.intrinsicContentSize();
  EXPECT_EQ(one.height, 23);
  label.setNumberOfLines(0);
  EXPECT_EQ(label.intrinsicContentSizeForWidth(100).height, 4 * 23);
  label.setNumberOfLines(2);
  EXPECT_EQ(label.intrinsicContentSizeForWidth(100).height, 2 * 23);
  label.setText("");
  EXPECT_EQ(label.intrinsicContentSize(), (Size{0, 0}));
}

TEST_F(ControlsTest, LabelFitsInOneOfItsFittingFonts) {
  // The fonts prepared ahead for a label are the ones it can pick.
  Label label;
  label.setFont(Font::bold(16));
  label.setText("TAVIO-SIM-0001 T2 Lite");
  label.adjustsFontSizeToFitWidth = true;
  label.minimumScaleFactor = 0.8;
  const std::vector<Font> fonts = Label::fittingFonts(label.font(), label.minimumScaleFactor);
  EXPECT_EQ(fonts.front(), label.font());
  EXPECT_EQ(fonts.back().size, 12.8);
  for (double width = 250; width > 100; width -= 3) {
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), label.fittedFont(width)), fonts.end()) << width;
  }
}

TEST_F(ControlsTest, LayersLeaveTheirViewAndDropTheirAnimations) {
  auto screen = std::make_shared<View>(window().bounds());
  auto centre = std::make_shared<ImageView>(Rect{155, 382, 80, 80});
  screen->addSubview(centre);
  auto ripple = std::make_shared<ReplicatorLayer>();
  ripple->instanceCount = 4;
  ripple->instanceDelay = 5.0;
  auto circle = std::make_shared<ShapeLayer>();
  circle->path = ShapeLayer::Path::Oval;
  circle->pathRect = Rect{0, 0, 50, 50};
  ripple->addSublayer(circle);
  auto group = LayerAnimation::group(
      {LayerAnimation::basic("transform.scale", 1, 10), LayerAnimation::basic("opacity", 1, 0)});
  group.duration = 5.8;
  group.repeatCount = LayerAnimation::kRepeatForever;
  circle->addAnimation(group, "groupAnimation");
  screen->insertSublayerBelow(ripple, *centre);
  ASSERT_EQ(screen->sublayers().size(), 1u);
  EXPECT_EQ(screen->sublayers()[0].below.lock(), centre);
  EXPECT_EQ(circle->animationKeys(), (std::vector<std::string>{"groupAnimation"}));

  circle->removeAllAnimations();
  ripple->removeFromSuperlayer();
  EXPECT_TRUE(screen->sublayers().empty());
  EXPECT_EQ(ripple->hostView(), nullptr);
  EXPECT_TRUE(circle->animationKeys().empty());
}

TEST_F(ControlsTest, DriverReadsOnlyWhatIsVisible) {
  auto screen = std::make_shared<View>(window().bounds());
  window().addSubview(screen);
  auto shown = std::make_shared<Label>();
  shown->setText("Select a target device to interact.");
  auto hidden = std::make_shared<Label>();
  hidden->setText("interact with it.");
  hidden->setHidden(true);
  screen->addSubview(shown);
  screen->addSubview(hidden);
  showToastInView(*screen, "The whitelist Device Manager is unavailable", 2.0);
  EXPECT_EQ(driver().visibleTexts(),
            (std::vector<std::string>{"Select a target device to interact.",
                                      "The whitelist Device Manager is unavailable"}));
  EXPECT_EQ(driver().toast(), "The whitelist Device Manager is unavailable");
  EXPECT_EQ(driver().labelWithText("interact with it."), nullptr);
}

}  // namespace
}  // namespace veltrix::ui
