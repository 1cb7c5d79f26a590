#include "veltrix/platform/ui/view.h"

#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class ViewTest : public UiTest {};

std::shared_ptr<View> box(Rect frame, const char* name) {
  auto v = std::make_shared<View>(frame);
  v->debugName = name;
  return v;
}

TEST_F(ViewTest, HitTestSkipsHiddenTransparentAndNonInteractiveViews) {
  auto root = box({0, 0, 300, 300}, "root");
  auto back = box({0, 0, 100, 100}, "back");
  auto front = box({0, 0, 100, 100}, "front");
  root->addSubview(back);
  root->addSubview(front);

  EXPECT_EQ(root->hitTest({50, 50}), front.get()) << "the front-most subview wins";
  front->setHidden(true);
  EXPECT_EQ(root->hitTest({50, 50}), back.get());
  front->setHidden(false);
  front->setAlpha(0.005);
  EXPECT_EQ(root->hitTest({50, 50}), back.get()) << "nearly transparent views take no touch";
  front->setAlpha(0.01);
  EXPECT_EQ(root->hitTest({50, 50}), front.get());
  front->userInteractionEnabled = false;
  EXPECT_EQ(root->hitTest({50, 50}), back.get());
  // A label takes no touch by default: the tap reaches what lies under it.
  auto label = std::make_shared<Label>(Rect{0, 0, 100, 100});
  root->addSubview(label);
  EXPECT_EQ(root->hitTest({50, 50}), back.get());
}

TEST_F(ViewTest, HitTestIgnoresSubviewsOutsideTheirSuperviewsBounds) {
  auto root = box({0, 0, 300, 300}, "root");
  auto parent = box({0, 0, 100, 100}, "parent");
  auto overhang = box({80, 80, 100, 100}, "overhang");  // sticks out, not clipped
  root->addSubview(parent);
  parent->addSubview(overhang);

  EXPECT_EQ(root->hitTest({90, 90}), overhang.get());
  EXPECT_EQ(root->hitTest({150, 150}), root.get()) << "outside the parent's bounds";
  EXPECT_EQ(root->hitTest({300, 10}), nullptr) << "the far edge is outside";
}

TEST_F(ViewTest, ConvertFollowsScaleTransformsAndScrollOffsets) {
  auto root = box({0, 0, 400, 400}, "root");
  auto scaled = box({100, 100, 100, 100}, "scaled");
  auto scrolled = box({0, 0, 200, 200}, "scrolled");
  root->addSubview(scaled);
  root->addSubview(scrolled);
  scaled->setTransform(Transform::scale(2, 2));

  EXPECT_EQ(scaled->frame(), (Rect{50, 50, 200, 200})) << "scaled about the centre";
  EXPECT_EQ(scaled->convert(Point{0, 0}, root.get()), (Point{50, 50}));
  EXPECT_EQ(root->convert(Point{150, 150}, scaled.get()), (Point{50, 50}));

  scrolled->setBounds(Rect{0, 30, 200, 200});
  EXPECT_EQ(scrolled->convert(Point{10, 30}, root.get()), (Point{10, 0}));
  EXPECT_EQ(scaled->convert(Point{0, 0}, scrolled.get()), (Point{50, 80}));
  EXPECT_EQ(scrolled->convertFrom(Point{50, 50}, scaled.get()), (Point{150, 180}));
}

TEST_F(ViewTest, SubviewOrderOperations) {
  auto root = box({0, 0, 100, 100}, "root");
  auto a = box({}, "a");
  auto b = box({}, "b");
  auto c = box({}, "c");
  root->addSubview(a);
  root->addSubview(b);
  root->insertSubviewBelow(c, *a);
  auto names = [&] {
    std::string out;
    for (auto& v : root->subviews()) out += v->debugName;
    return out;
  };
  EXPECT_EQ(names(), "cab");
  root->bringSubviewToFront(*c);
  EXPECT_EQ(names(), "abc");
  root->insertSubviewAbove(b, *c);
  EXPECT_EQ(names(), "acb");
  b->removeFromSuperview();
  EXPECT_EQ(names(), "ac");
  EXPECT_EQ(b->superview(), nullptr);
  c->tag = 7;
  EXPECT_EQ(root->viewWithTag(7), c.get());
  a->addSubview(c);  // moves it
  EXPECT_EQ(names(), "a");
  EXPECT_EQ(c->superview(), a.get());
}

TEST_F(ViewTest, SafeAreaComesFromTheWindowWhereAViewOverlapsIt) {
  auto& w = makeWindow(DeviceProfile::phone());  // 390 x 844, top 47, bottom 34
  auto full = box({0, 0, 390, 844}, "full");
  auto middle = box({0, 100, 390, 600}, "middle");
  auto top = box({0, 20, 390, 100}, "top");
  w.addSubview(full);
  w.addSubview(middle);
  w.addSubview(top);
  EXPECT_EQ(full->safeAreaInsets(), (Insets{47, 0, 34, 0}));
  EXPECT_EQ(middle->safeAreaInsets(), (Insets{0, 0, 0, 0}));
  EXPECT_EQ(top->safeAreaInsets(), (Insets{27, 0, 0, 0}));
  full->setAdditionalSafeAreaInsets({44, 0, 0, 0});
  EXPECT_EQ(full->safeAreaInsets().top, 91);
  EXPECT_EQ(full->safeAreaLayoutGuide().layoutFrame(), (Rect{0, 91, 390, 719}));
}

TEST_F(ViewTest, RemovingAViewDeactivatesConstraintsThatLeaveItsSubtree) {
  auto root = box({0, 0, 300, 300}, "root");
  auto card = box({}, "card");
  auto inner = box({}, "inner");
  root->addSubview(card);
  card->addSubview(inner);
  card->setTranslatesAutoresizingMaskIntoConstraints(false);
  inner->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto outside = card->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 10);
  auto within = inner->widthAnchor().constraintEqualTo(card->widthAnchor());
  activate({outside, within});
  EXPECT_TRUE(outside->isActive());
  card->removeFromSuperview();
  EXPECT_FALSE(outside->isActive());
  EXPECT_TRUE(within->isActive()) << "constraints inside the removed subtree stay";
}

TEST_F(ViewTest, DumpTreeShowsTheHierarchy) {
  auto root = box({0, 0, 100, 50}, "root");
  auto label = std::make_shared<Label>(Rect{1, 2, 30, 20});
  label->setText("Hi");
  root->addSubview(label);
  EXPECT_EQ(root->dumpTree(), "View 'root' (0, 0, 100, 50)\n  Label (1, 2, 30, 20) \"Hi\"\n");
}

}  // namespace
}  // namespace veltrix::ui
