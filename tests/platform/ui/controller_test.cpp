#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/layout.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;
using Log = std::vector<std::string>;

class Probe : public ViewController {
 public:
  Probe(std::string name, std::shared_ptr<Log> log)
      : name_(std::move(name)), log_(*log), keep_(log) {}
  ~Probe() override { log_.push_back(name_ + ".deinit"); }
  void viewDidLoad() override { log_.push_back(name_ + ".load"); }
  void viewWillAppear(bool) override { log_.push_back(name_ + ".willAppear"); }
  void viewDidAppear(bool) override { log_.push_back(name_ + ".didAppear"); }
  void viewWillDisappear(bool) override {
    log_.push_back(name_ + ".willDisappear" +
                   (isMovingFromParentViewController() ? " leaving" : ""));
  }
  void viewDidDisappear(bool) override { log_.push_back(name_ + ".didDisappear"); }
  std::string typeName() const override { return name_; }

 private:
  std::string name_;
  Log& log_;
  std::shared_ptr<Log> keep_;  // probes may outlive the test's members
};

class ControllerTest : public UiTest {
 protected:
  std::shared_ptr<Probe> probe(const std::string& name) {
    return std::make_shared<Probe>(name, logHolder_);
  }
  // A navigation controller with `root` shown in the window.
  std::shared_ptr<NavigationController> showNav(std::shared_ptr<ViewController> root) {
    auto nav = std::make_shared<NavigationController>(std::move(root));
    show(nav);
    log_.clear();
    return nav;
  }
  std::shared_ptr<Log> logHolder_ = std::make_shared<Log>();
  Log& log_ = *logHolder_;
  platform::ScopedLogCapture captured_;
};

TEST_F(ControllerTest, ViewLoadsOnFirstUseNotAtConstruction) {
  auto a = probe("a");
  EXPECT_FALSE(a->isViewLoaded());
  a->modalPresentationStyle = ModalPresentationStyle::FormSheet;  // set before showing
  EXPECT_TRUE(log_.empty());
  a->view();
  a->view();
  EXPECT_EQ(log_, (Log{"a.load"}));
}

TEST_F(ControllerTest, PushAndPopCallTheAppearanceCallbacksInOrder) {
  auto a = probe("a");
  auto nav = showNav(a);
  auto b = probe("b");
  nav->pushViewController(b, true);
  EXPECT_EQ(log_, (Log{"b.load", "a.willDisappear", "b.willAppear"}));
  advanceSeconds(0.34);
  EXPECT_EQ(log_.size(), 3u) << "the transition takes 0.35 s";
  advanceSeconds(0.01);
  EXPECT_EQ(log_,
            (Log{"b.load", "a.willDisappear", "b.willAppear", "a.didDisappear", "b.didAppear"}));
  EXPECT_EQ(b->navigationController(), nav.get());

  log_.clear();
  std::weak_ptr<Probe> weakB = b;
  b.reset();
  nav->popViewController(true);
  EXPECT_EQ(log_, (Log{"b.willDisappear leaving", "a.willAppear"}));
  advanceSeconds(0.35);
  EXPECT_EQ(log_, (Log{"b.willDisappear leaving", "a.willAppear", "b.didDisappear", "a.didAppear",
                       "b.deinit"}));
  EXPECT_TRUE(weakB.expired());
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_EQ(nav->popViewController(true), nullptr) << "the root stays";
}

TEST_F(ControllerTest, ChildViewLeavesRoomForTheNavigationBarInItsSafeArea) {
  auto a = probe("a");
  auto nav = showNav(a);
  EXPECT_EQ(a->view().frame(), (Rect{0, 0, 390, 844})) << "content extends under the bar";
  EXPECT_EQ(a->view().safeAreaInsets(), (Insets{91, 0, 34, 0}));
  EXPECT_EQ(nav->navigationBar().frame(), (Rect{0, 47, 390, 44}));
  // The controller's superview holds the content only: a dimming view pinned
  // to it lies under the bar, which still takes taps.
  EXPECT_FALSE(nav->navigationBar().isDescendantOf(*a->view().superview()));
}

TEST_F(ControllerTest, BackButtonAndBarItems) {
  auto a = probe("a");
  auto nav = showNav(a);
  EXPECT_FALSE(nav->navigationBar().backButton()) << "no back button on the root";
  auto b = probe("b");
  b->setTitle("Settings");
  int rightTaps = 0;
  auto gear =
      std::make_shared<BarButtonItem>(Image::systemNamed("gearshape"), [&] { ++rightTaps; });
  b->navigationItem().setRightBarButtonItem(gear);
  nav->pushViewController(b, false);
  driver().settle();
  EXPECT_TRUE(driver().isTextVisible("Settings"));
  ASSERT_TRUE(driver().tapBarItem(true));
  EXPECT_EQ(rightTaps, 1);
  gear->setHidden(true);
  driver().settle();
  EXPECT_FALSE(driver().tapBarItem(true)) << "a hidden item has no button";
  b->navigationItem().setHidesBackButton(true);
  driver().settle();
  EXPECT_FALSE(driver().back());
  b->navigationItem().setHidesBackButton(false);
  driver().settle();
  ASSERT_TRUE(driver().back());
  driver().advance(0.35);
  EXPECT_EQ(nav->topViewController(), a.get());
}

// The bar spans the screen, but its items and title keep out of a turned
// phone's sensor housing, on every device and after a turn.
TEST_F(ControllerTest, BarItemsAndTitleStayInTheSafeArea) {
  for (const DeviceProfile& device : everyDevice()) {
    makeWindow(device);
    auto nav = showNav(probe("a"));
    auto b = probe("b");
    b->setTitle("Settings");
    b->navigationItem().setRightBarButtonItem(
        std::make_shared<BarButtonItem>(Image::systemNamed("gearshape"), [] {}));
    nav->pushViewController(b, false);
    for (const bool landscape : {true, false}) {
      SCOPED_TRACE(device.name + (landscape ? " landscape" : " portrait"));
      window().rotate(landscape);
      driver().settle();
      NavigationBar& bar = nav->navigationBar();
      EXPECT_EQ(bar.frame().width(), window().bounds().width());
      ASSERT_TRUE(bar.backButton() && bar.rightButton() && bar.titleLabel());
      EXPECT_TRUE(onScreen(*bar.backButton()));
      EXPECT_TRUE(onScreen(*bar.rightButton()));
      EXPECT_TRUE(onScreen(*bar.titleLabel()));
      EXPECT_DOUBLE_EQ(bar.titleLabel()->frame().midX(), window().bounds().width() / 2);
    }
  }
}

TEST_F(ControllerTest, OnlyFullScreenPresentationsGiveThePresenterCallbacks) {
  auto a = probe("a");
  auto nav = showNav(a);
  for (auto style :
       {ModalPresentationStyle::OverCurrentContext, ModalPresentationStyle::FormSheet}) {
    log_.clear();
    auto sheet = probe("sheet");
    sheet->modalPresentationStyle = style;
    bool presented = false;
    a->present(sheet, true, [&] { presented = true; });
    advanceSeconds(0.35);
    EXPECT_TRUE(presented);
    EXPECT_EQ(a->presentedViewController(), sheet.get()) << "the context presents it";
    EXPECT_EQ(sheet->presentingViewController(), nav.get());
    sheet->dismiss(true);
    advanceSeconds(0.35);
    EXPECT_EQ(log_, (Log{"sheet.load", "sheet.willAppear", "sheet.didAppear", "sheet.willDisappear",
                         "sheet.didDisappear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
  }
  log_.clear();
  auto full = probe("full");
  full->modalPresentationStyle = ModalPresentationStyle::FullScreen;
  a->present(full, false);
  driver().settle();
  EXPECT_EQ(log_, (Log{"full.load", "a.willDisappear", "full.willAppear", "a.didDisappear",
                       "full.didAppear"}));
}

TEST_F(ControllerTest, PresentingTwiceIsRefusedAndDismissingTwiceIsHarmless) {
  auto a = probe("a");
  showNav(a);
  auto first = probe("first");
  auto second = probe("second");
  a->present(first, false);
  a->present(second, false);
  EXPECT_TRUE(
      captured_.contains("Attempt to present second on NavigationController which is "
                         "already presenting first"));
  driver().settle();
  int done = 0;
  first->dismiss(true, [&] { ++done; });
  first->dismiss(true, [&] { ++done; });  // while the first one runs
  advanceSeconds(0.35);
  EXPECT_EQ(done, 1);
  a->dismiss(true, [&] { ++done; });  // nothing is presented any more
  advanceSeconds(1);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "first.didDisappear"), 1);
}

TEST_F(ControllerTest, DismissFromInsideAPresentedNavigationControllerClosesIt) {
  auto a = probe("a");
  showNav(a);
  auto dialog = probe("dialog");
  auto wrapper = std::make_shared<NavigationController>(dialog);
  wrapper->modalPresentationStyle = ModalPresentationStyle::FormSheet;
  a->present(wrapper, true);
  advanceSeconds(0.35);
  EXPECT_EQ(wrapper->view().frame(), (Rect{0, 57, 390, 787})) << "a phone's sheet";
  EXPECT_EQ(driver().topViewController(), dialog.get());
  dialog->dismiss(true);
  advanceSeconds(0.35);
  EXPECT_EQ(a->presentedViewController(), nullptr);
  EXPECT_EQ(driver().topViewController(), a.get());
}

TEST_F(ControllerTest, FormSheetOnAPadIsCentredAtItsPreferredSize) {
  makeWindow(DeviceProfile::pad());
  auto a = probe("a");
  showNav(a);
  auto sheet = probe("sheet");
  sheet->modalPresentationStyle = ModalPresentationStyle::FormSheet;
  a->present(sheet, false);
  driver().settle();
  EXPECT_EQ(sheet->view().frame(), (Rect{140, 280, 540, 620}));
  sheet->dismiss(false);
  driver().settle();
  auto small = probe("small");
  small->modalPresentationStyle = ModalPresentationStyle::FormSheet;
  small->preferredContentSize = {300, 350};
  a->present(small, false);
  driver().settle();
  EXPECT_EQ(small->view().frame(), (Rect{260, 415, 300, 350}));
}

TEST_F(ControllerTest, TouchesGoToTheTopMostPresentation) {
  auto a = probe("a");
  showNav(a);
  auto button = std::make_shared<Button>(ButtonType::System, Rect{0, 400, 390, 44});
  int taps = 0;
  button->addTarget(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
  a->view().addSubview(button);
  auto overlay = probe("overlay");
  overlay->modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
  a->present(overlay, false);
  driver().settle();
  driver().tapAt({195, 420});
  EXPECT_EQ(taps, 0) << "the overlay lies over the button";
  overlay->dismiss(false);
  driver().settle();
  driver().tapAt({195, 420});
  EXPECT_EQ(taps, 1);
}

TEST_F(ControllerTest, PoppingFromACallbackKeepsTheCallerAlive) {
  auto a = probe("a");
  auto nav = showNav(a);
  auto b = probe("b");
  nav->pushViewController(b, false);
  driver().settle();
  auto button = std::make_shared<Button>(ButtonType::System, Rect{0, 400, 390, 44});
  std::weak_ptr<Probe> weakB = b;
  button->addTarget(ControlEvent::TouchUpInside, [weakB, &nav, this](Control&) {
    auto self = weakB.lock();
    nav->popViewController(false);
    self.reset();
    log_.push_back(weakB.expired() ? "gone" : "alive");
  });
  b->view().addSubview(button);
  b.reset();
  log_.clear();
  ASSERT_TRUE(driver().tap(*button));
  EXPECT_EQ(log_.front(), "b.willDisappear leaving");
  EXPECT_NE(std::find(log_.begin(), log_.end(), "alive"), log_.end());
  EXPECT_EQ(log_.back(), "b.deinit");
}

TEST_F(ControllerTest, PoppingAControllerEndsWhatItPresented) {
  auto a = probe("a");
  auto nav = showNav(a);
  auto b = probe("b");
  nav->pushViewController(b, false);
  driver().settle();
  auto grid = probe("grid");
  grid->modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
  b->present(grid, false);
  driver().settle();
  nav->popViewController(false);
  EXPECT_EQ(nav->presentedViewController(), nullptr);
  driver().settle();
  EXPECT_EQ(driver().topViewController(), a.get());
}

TEST_F(ControllerTest, AlertActionDismissesThenRunsItsHandler) {
  auto a = probe("a");
  showNav(a);
  auto alert = std::make_shared<AlertController>("Passthrough Port Number", "");
  std::string saved;
  alert->addTextField([](TextField& f) {
    f.setText("8423");
    f.keyboardType = KeyboardType::NumberPad;
    f.placeholder = "Port Number";
  });
  std::weak_ptr<AlertController> weak = alert;
  alert->addAction({"Save", AlertActionStyle::Default, [&, weak](const AlertAction&) {
                      saved = weak.lock() ? weak.lock()->textFields()[0]->text() : "(gone)";
                      log_.push_back(a->presentedViewController() ? "still shown" : "dismissed");
                    }});
  alert->addAction({"Cancel", AlertActionStyle::Cancel, nullptr});
  a->present(alert, true);
  advanceSeconds(0.35);
  EXPECT_TRUE(driver().isTextVisible("Passthrough Port Number"));
  EXPECT_TRUE(driver().isTextVisible("8423"));
  ASSERT_TRUE(driver().type(*alert->textFields()[0], "99999"));
  ASSERT_TRUE(driver().tapAlertAction("Save"));
  EXPECT_TRUE(saved.empty()) << "the handler waits for the dismissal";
  advanceSeconds(0.35);
  EXPECT_EQ(saved, "99999");
  EXPECT_EQ(log_.back(), "dismissed");
}

TEST_F(ControllerTest, AlertWithoutActionsStaysUntilDismissedByTheProgram) {
  auto a = probe("a");
  showNav(a);
  auto alert = std::make_shared<AlertController>(std::nullopt, "Connecting...");
  a->present(alert, true);
  later(1.2, [&] { alert->dismiss(true); });
  advanceSeconds(1.0);
  EXPECT_TRUE(driver().isTextVisible("Connecting..."));
  EXPECT_FALSE(driver().tapAlertAction("OK"));
  advanceSeconds(0.2 + 0.35);
  EXPECT_FALSE(driver().isTextVisible("Connecting..."));
  EXPECT_EQ(driver().alert(), nullptr);
}

class Turning : public ViewController {
 public:
  void viewWillTransitionToSize(Size size, TransitionCoordinator& c) override {
    log.push_back("will " + toString(size) + " at " + toString(view().bounds().size));
    c.animateAlongsideTransition(
        [this](TransitionCoordinator&) {
          log.push_back("along " + toString(view().bounds().size));
        },
        [this](TransitionCoordinator&) { log.push_back("done"); });
  }
  Log log;
};

TEST_F(ControllerTest, RotationRunsTheCoordinatorsBlocksAroundTheNewSize) {
  auto turning = std::make_shared<Turning>();
  showNav(turning);
  window().rotate(true);
  EXPECT_EQ(turning->log, (Log{"will 844 x 390 at 390 x 844", "along 844 x 390"}));
  EXPECT_EQ(mainScreen().bounds.size, (Size{844, 390}));
  EXPECT_EQ(turning->view().safeAreaInsets(), (Insets{44, 47, 21, 47}));
  advanceSeconds(0.35);
  EXPECT_EQ(turning->log.back(), "done");
}

TEST_F(ControllerTest, PresentingFromAControllerOutsideAWindowIsRefused) {
  auto loose = probe("loose");
  auto sheet = probe("sheet");
  loose->present(sheet, false);
  driver().settle();
  EXPECT_EQ(loose->presentedViewController(), nullptr);
  EXPECT_TRUE(captured_.contains("whose view is not in the window hierarchy"));
  EXPECT_FALSE(sheet->isViewLoaded());
}

TEST_F(ControllerTest, APushDuringATransitionFinishesTheEarlierOneFirst) {
  auto a = probe("a");
  auto nav = showNav(a);
  auto b = probe("b");
  auto c = probe("c");
  nav->pushViewController(b, true);
  nav->pushViewController(c, true);
  advanceSeconds(0.35);
  EXPECT_EQ(log_,
            (Log{"b.load", "a.willDisappear", "b.willAppear", "a.didDisappear", "b.didAppear",
                 "c.load", "b.willDisappear", "c.willAppear", "b.didDisappear", "c.didAppear"}));
  EXPECT_EQ(nav->viewControllers().size(), 3u);
  nav->popToRootViewController(false);
  driver().settle();
  EXPECT_EQ(nav->topViewController(), a.get());
  EXPECT_EQ(b->parentViewController(), nullptr);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "b.willDisappear leaving"), 0)
      << "only the top controller sees the pop";
}

class Rotating : public ViewController {
 public:
  void viewDidLoad() override {
    header = std::make_shared<Label>();
    header->setTranslatesAutoresizingMaskIntoConstraints(false);
    header->setText("Purchase Service");
    view().addSubview(header);
    top = header->topAnchor().constraintEqualTo(view().safeAreaLayoutGuide().topAnchor(), offset());
    activate({top, header->centerXAnchor().constraintEqualTo(view().centerXAnchor()),
              header->widthAnchor().constraintEqualTo(view().widthAnchor())});
  }
  double offset() { return view().bounds().width() > view().bounds().height() ? 30 : 40; }
  void viewWillTransitionToSize(Size, TransitionCoordinator& c) override {
    c.animateAlongsideTransition({}, [this](TransitionCoordinator&) {
      top->setConstant(offset());
      view().layoutIfNeeded();
    });
  }
  std::shared_ptr<Label> header;
  ConstraintPtr top;
};

TEST_F(ControllerTest, HeldConstraintFollowsTheOrientationAfterRotation) {
  auto screen = std::make_shared<Rotating>();
  showNav(screen);
  EXPECT_EQ(screen->header->frame().y(), 91 + 40);
  window().rotate(true);
  advanceSeconds(0.35);
  EXPECT_EQ(screen->header->frame().y(), 44 + 30);
  EXPECT_EQ(screen->header->frame().width(), 844);
  window().rotate(false);
  advanceSeconds(0.35);
  EXPECT_EQ(screen->header->frame().y(), 91 + 40);
}

}  // namespace
}  // namespace veltrix::ui
