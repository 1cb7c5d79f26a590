// The scan screen on a navigation stack: load, orbit, ageing, endings and
// the hand-back of discovery, on the manual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ui/scan/scan_fixture.h"
#include "veltrix/platform/ui/text_metrics.h"
#include "veltrix/ui/scan/screen_factory.h"
#include "veltrix/ui/settings/remote_device_controller.h"
#include "veltrix/ui/settings/setting_view_controller.h"

namespace veltrix::ui::scan::test {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

std::string scanSerial(int i) { return "TAVIO-SCAN-" + std::to_string(1000 + i); }

TEST_F(ScanScreenTest, LoadTakesDiscoveryAndShowsTheOrbit) {
  ScanViewController& s = open();
  EXPECT_EQ(discovery.delegate().get(), static_cast<registry::DiscoverManagerDelegate*>(&s));
  EXPECT_TRUE(discovery.running);
  EXPECT_GE(discovery.stops, 1) << "discovery restarts for the screen";
  EXPECT_EQ(s.headerLabel()->text(), "Purchase Service");
  EXPECT_EQ(s.headerLabel()->font(), Font::bold(40));
  EXPECT_EQ(s.label2()->text(), "Drag a device to the center to ");
  EXPECT_EQ(s.label3()->text(), "interact with it.");
  EXPECT_EQ(s.optionType(), 2);
  EXPECT_EQ(db.fetchSetting("Purchase"), "2") << "a missing remember mode is inserted";
  EXPECT_TRUE(driver().isTextVisible("Purchase Service"));
  EXPECT_TRUE(s.navigationItem().hidesBackButton());
}

TEST_F(ScanScreenTest, InstructionLinesFollowIdiomAndPresentation) {
  ScanViewController& pad = open(purchase(), DeviceProfile::pad());
  EXPECT_EQ(pad.label2()->text(), "Drag a device to the center to interact with it.");
  EXPECT_EQ(pad.label3()->text(), "");
  EXPECT_EQ(pad.orbitRadius(), 170);

  // The list presentation, also on the screen that was built for the orbit.
  db.updateSetting("preferencesMode", "2");
  pad.viewWillAppear(false);
  EXPECT_EQ(pad.label2()->text(), "Select a target device to interact.");
  EXPECT_EQ(pad.label3()->text(), "");
  EXPECT_TRUE(pad.backgroundCenterView()->isHidden());
}

TEST_F(ScanScreenTest, WithoutAStoredPresentationTheListIsShown) {
  db.deleteSetting("preferencesMode");
  ScanViewController& s = open();
  EXPECT_EQ(db.fetchSetting("preferencesMode"), "") << "the load creates no row";
  EXPECT_EQ(s.label2()->text(), "Select a target device to interact.");
  EXPECT_EQ(s.label3()->text(), "");
}

TEST_F(ScanScreenTest, LongServiceTypesGetSmallerHeaders) {
  facade::ScanRequest request = purchase();
  request.serviceType = "PreAuthorisation";  // 16 characters
  ScanViewController& s = open(request);
  EXPECT_EQ(s.headerLabel()->font(), Font::bold(26));
}

// The specified size is the largest: a header wider than the screen is
// drawn smaller until it fits, on the small phone too and after a turn, and
// the texts and the remember button keep out of a turned phone's sensor
// housing, in both presentations.
TEST_F(ScanScreenTest, HeadersShrinkToFitTheScreen) {
  for (const DeviceProfile& profile : {DeviceProfile::phone(), DeviceProfile::smallPhone()}) {
    // The list presentation ("2") for one of them.
    using TypeAndMode = std::pair<const char*, const char*>;
    for (const auto& [type, mode] : {TypeAndMode{"Card Auth", "1"}, TypeAndMode{"ESCPrinter", "2"},
                                     TypeAndMode{"Cash Purchase", "1"}}) {
      db.updateSetting("preferencesMode", mode);
      facade::ScanRequest request = purchase();
      request.serviceType = type;
      ScanViewController& s = open(request, profile);
      for (bool landscape : {false, true}) {
        window().rotate(landscape);
        driver().advance(1);
        const Label& header = *s.headerLabel();
        EXPECT_EQ(header.font(), Font::bold(40)) << type;
        EXPECT_LE(header.displayFont().size, 40) << type;
        EXPECT_LE(textMetrics().measure(header.text(), header.displayFont(), 0, 1).width,
                  header.bounds().width())
            << type << " on " << profile.name << (landscape ? " turned" : "");
        for (View* v : std::initializer_list<View*>{s.headerLabel(), s.label2(), s.label3(),
                                                    s.rememberBtn()}) {
          EXPECT_TRUE(onScreen(*v))
              << type << " on " << profile.name << (landscape ? " turned" : "");
        }
      }
    }
  }
  ScanViewController& pad = open(purchase(), DeviceProfile::pad());
  EXPECT_EQ(pad.headerLabel()->displayFont(), Font::bold(40)) << "what fits keeps its size";
}

// The specified radius is the largest: on the small phone the orbit shrinks
// into the band between the instruction lines and the remember button, and
// the centre disc follows it.
TEST_F(ScanScreenTest, OrbitFitsBetweenInstructionsAndRememberButton) {
  for (const DeviceProfile& profile : {DeviceProfile::phone(), DeviceProfile::smallPhone()}) {
    ScanViewController& s = open(purchase(), profile);
    report(scanSerial(1));
    driver().advance(1);
    const Point c = s.orbitCenter();
    const double r = s.orbitRadius();
    EXPECT_LE(r, 150);
    EXPECT_GE(c.y - r - kBubbleReachUp, s.label3()->frame().maxY()) << profile.name;
    EXPECT_LE(c.y + r + kBubbleReachDown, s.rememberBtn()->frame().minY()) << profile.name;
    EXPECT_EQ(s.backgroundCenterView()->frame().mid(), c) << profile.name;
    EXPECT_EQ(s.movingViews().front()->circleRadius, r) << profile.name;
  }
}

std::string nameOf(const DeviceProfile& p) { return p.name + (p.landscape ? " turned" : ""); }

// The orbit's drawing as the user sees it, at any moment of its turn.
class OrbitGeometryTest : public ScanScreenTest {
 protected:
  // The screen on `profile`, turned as it says, with `count` services of
  // terminals of `model`.
  ScanViewController& openWith(const DeviceProfile& profile, int count,
                               const std::string& model = "T420") {
    ScanViewController& s = open(purchase(), profile.inOrientation(false));
    window().rotate(profile.landscape);
    for (int i = 0; i < count; ++i) report(scanSerial(i), "1", 0, "Purchase", model);
    driver().advance(1);
    return s;
  }

  // Every bubble `offset` radians on from its place, as the motion takes it.
  void turnOrbit(double offset) {
    const auto& bubbles = screen->movingViews();
    for (std::size_t i = 0; i < bubbles.size(); ++i) {
      CircularMovingView& b = *bubbles[i];
      b.setCenter(orbitPoint(b.circleCenter, b.circleRadius,
                             slotAngle(static_cast<std::int64_t>(i), bubbles.size()) - offset));
    }
  }

  // The rest of a bubble's slot, in steps.
  static std::vector<double> turns(std::size_t places) {
    std::vector<double> out;
    for (int k = 0; k < 12; ++k) out.push_back(kTwoPi / static_cast<double>(places) * k / 12);
    return out;
  }

  // A bubble's lines as shown: the text's size in the font drawn, about the
  // label's middle, in window points.
  static std::vector<Rect> shownLines(const CircularMovingView& bubble) {
    std::vector<Rect> out;
    for (const auto& sub : bubble.subviews()) {
      const auto* label = dynamic_cast<const Label*>(sub.get());
      if (!label) continue;
      const Size text = textMetrics().measure(label->displayText(), label->displayFont(), 0, 1);
      const Rect b = label->bounds();
      const double w = std::min(text.width, b.width());
      const double h = std::min(text.height, b.height());
      out.push_back(label->convert(Rect{b.midX() - w / 2, b.midY() - h / 2, w, h}, nullptr));
    }
    return out;
  }

  // Its icon and lines.
  static std::vector<Rect> drawing(const CircularMovingView& bubble) {
    std::vector<Rect> out = shownLines(bubble);
    out.push_back(inWindow(*bubble.imageView()));
    return out;
  }

  // The screen view's safe area (below the navigation bar), in window points.
  Rect safeFrame() {
    return screen->view().convert(screen->view().safeAreaLayoutGuide().layoutFrame(), nullptr);
  }

  // Slack for rounding only: the drawing keeps to the safe area exactly.
  static constexpr double kExact = 1e-6;
};

// A phone on its side has no room for the orbit between the instruction
// lines and the remember button: the texts go beside it, and the orbit
// keeps clear of them, of the navigation bar and of the sensor housing.
TEST_F(OrbitGeometryTest, TurnedPhonesKeepTheOrbitClearOfTheTexts) {
  for (const DeviceProfile& profile : {DeviceProfile::phone().inOrientation(true),
                                       DeviceProfile::smallPhone().inOrientation(true)}) {
    ScanViewController& s = openWith(profile, 9);
    std::vector<Rect> texts;
    for (const View* v :
         {static_cast<const View*>(s.headerLabel()), static_cast<const View*>(s.label2()),
          static_cast<const View*>(s.label3()), static_cast<const View*>(s.rememberBtn())}) {
      texts.push_back(inWindow(*v));
    }
    const Rect safe = safeFrame();
    for (double offset : turns(s.movingViews().size())) {
      turnOrbit(offset);
      for (const auto& bubble : s.movingViews()) {
        for (const Rect& part : drawing(*bubble)) {
          EXPECT_TRUE(encloses(safe, part, kExact)) << nameOf(profile) << " " << toString(part);
          for (const Rect& text : texts) {
            EXPECT_FALSE(part.intersects(text)) << nameOf(profile) << " " << toString(part);
          }
        }
      }
    }
    EXPECT_TRUE(s.textsBesideOrbit());
    window().rotate(false);
    driver().advance(1);
    EXPECT_FALSE(s.textsBesideOrbit()) << "upright, the texts go back across";
    EXPECT_EQ(s.label2()->frame().midX(), s.view().bounds().midX());
  }
}

// Nine bubbles on the small phone's shrunken circle: neighbours' lines
// never run into each other, whatever the angle.
TEST_F(OrbitGeometryTest, NeighboursLinesNeverOverlap) {
  for (const DeviceProfile& profile : everyOrientation()) {
    ScanViewController& s = openWith(profile, 9);
    const auto& bubbles = s.movingViews();
    ASSERT_EQ(bubbles.size(), 9u);
    for (double offset : turns(bubbles.size())) {
      turnOrbit(offset);
      for (std::size_t i = 0; i < bubbles.size(); ++i) {
        const auto next = (i + 1) % bubbles.size();
        for (const Rect& a : shownLines(*bubbles[i])) {
          for (const Rect& b : shownLines(*bubbles[next])) {
            EXPECT_FALSE(a.intersects(b)) << nameOf(profile) << " bubbles " << i << ", " << next;
          }
        }
      }
    }
  }
}

// A terminal's long name cannot carry a bubble's lines past the screen's
// edges at angle 0 and pi.
TEST_F(OrbitGeometryTest, BubbleLinesStayInsideTheSafeArea) {
  for (const DeviceProfile& profile : everyOrientation()) {
    ScanViewController& s = openWith(profile, 2, "TMIX Z3 " + std::string(60, 'W'));
    const Rect safe = safeFrame();
    for (double offset : turns(2)) {
      turnOrbit(offset);
      for (const auto& bubble : s.movingViews()) {
        for (const Rect& part : drawing(*bubble)) {
          EXPECT_TRUE(encloses(safe, part, kExact)) << nameOf(profile) << " " << toString(part);
        }
      }
    }
  }
}

TEST_F(ScanScreenTest, NineServicesGiveEightBubblesMoreAndOneOverflowEntry) {
  ScanViewController& s = open();
  for (int i = 0; i < 9; ++i) report(scanSerial(i));
  report(scanSerial(0));  // again: a duplicate
  driver().advance(1.0);

  EXPECT_EQ(s.activedIps().size(), 9u);
  ASSERT_EQ(s.movingViews().size(), 9u);
  EXPECT_TRUE(s.isHaveMore());
  ASSERT_EQ(s.moreActivedIps().size(), 1u);
  EXPECT_EQ(s.moreActivedIps()[0].sn, scanSerial(8));
  EXPECT_TRUE(s.movingViews().back()->isMore());
  EXPECT_TRUE(driver().isTextVisible("(*.more)"));
  EXPECT_TRUE(driver().isTextVisible("(*1003)"));

  // Each bubble sits at 2π·i/9 of the orbit (the phone's 150 points, less
  // what the lines need at its sides) around its centre (less what it has
  // turned since).
  const Point c = s.orbitCenter();
  EXPECT_GT(s.orbitRadius(), 140);
  EXPECT_LE(s.orbitRadius(), 150);
  for (std::size_t i = 0; i < s.movingViews().size(); ++i) {
    auto& b = *s.movingViews()[i];
    EXPECT_EQ(b.circleCenter, c);
    EXPECT_NEAR(std::hypot(b.center().x - c.x, b.center().y - c.y), s.orbitRadius(), 1e-6);
    const double expected = kTwoPi * static_cast<double>(i) / 9;
    // One second of frames since the re-lay.
    EXPECT_NEAR(std::remainder(b.currentAngle() - expected, kTwoPi), -0.06, 0.005) << i;
  }

  report(scanSerial(9));
  EXPECT_EQ(s.movingViews().size(), 9u) << "the tenth service only overflows";
  EXPECT_EQ(s.moreActivedIps().size(), 2u);
}

TEST_F(ScanScreenTest, StaleTurnsGreyThenGoes) {
  ScanViewController& s = open();
  // Last heard of 10 s ago: grey between 5 and 6 s from now, gone between
  // 20 and 21 s (the screen itself ends at 30 s).
  report(scanSerial(1), "1", 10000);
  report(scanSerial(2), "1", 0);
  report(scanSerial(3), "1", 10000);
  ASSERT_EQ(s.movingViews().size(), 3u);
  auto* first = s.movingViews()[0].get();
  auto* third = s.movingViews()[2].get();

  driver().advanceUnwatched(4.9);
  EXPECT_TRUE(first->isEnable);
  driver().advanceUnwatched(1.0);
  EXPECT_FALSE(first->isEnable);
  EXPECT_FALSE(third->isEnable);
  EXPECT_EQ(first->imageView()->image()->name(), "icon_t420_disabled");

  answer(scanSerial(3));
  driver().advanceUnwatched(1.0);
  EXPECT_TRUE(third->isEnable) << "fresh again once its terminal answers";
  EXPECT_EQ(third->imageView()->image()->name(), "icon_t420_enabled");

  for (int t = 0; t < 13; ++t) {
    answer(scanSerial(2));
    answer(scanSerial(3));
    driver().advanceUnwatched(1.0);
  }
  // 29.9 s since serial 1 answered.
  EXPECT_EQ(s.movingViews().size(), 3u);
  answer(scanSerial(2));
  answer(scanSerial(3));
  driver().advanceUnwatched(1.0);
  ASSERT_EQ(s.movingViews().size(), 2u);
  EXPECT_EQ(s.movingViews()[0]->getServiceInfo().sn, scanSerial(2));
  EXPECT_EQ(s.activedIps().size(), 2u);
  EXPECT_EQ(s.terminalItems().size(), 2u);
  EXPECT_EQ(answers->answers(), 0u);

  // Gone services are accepted again when reported.
  report(scanSerial(1));
  EXPECT_EQ(s.activedIps().size(), 3u);
}

TEST_F(ScanScreenTest, AGoneBubbleMakesRoomForTheLatestOverflowEntry) {
  ScanViewController& s = open();
  report(scanSerial(0), "1", 20000);  // goes after 10 s
  for (int i = 1; i < 9; ++i) report(scanSerial(i));
  ASSERT_EQ(s.moreActivedIps().size(), 1u);
  ASSERT_TRUE(s.isHaveMore());

  for (int t = 0; t < 11; ++t) {
    for (int i = 1; i < 9; ++i) answer(scanSerial(i));
    driver().advanceUnwatched(1.0);
  }
  EXPECT_TRUE(s.moreActivedIps().empty());
  EXPECT_FALSE(s.isHaveMore()) << "the overflow emptied";
  ASSERT_EQ(s.movingViews().size(), 8u);
  EXPECT_EQ(s.movingViews().back()->getServiceInfo().sn, scanSerial(8)) << "promoted";
  EXPECT_EQ(s.activedIps().size(), 8u);
}

TEST_F(ScanScreenTest, TimeOutAnswersOnceAndHandsDiscoveryBack) {
  ScanViewController& s = open();
  report(scanSerial(1));
  driver().advanceUnwatched(29.0);
  EXPECT_EQ(answers->answers(), 0u);
  driver().advance(1.5);
  ASSERT_EQ(answers->errors.size(), 1u);
  EXPECT_EQ(answers->errors[0], (std::pair<std::int64_t, std::string>{-101, "Service not found"}));
  EXPECT_TRUE(answers->chosen.empty());
  EXPECT_FALSE(discovery.running);
  EXPECT_EQ(discovery.delegate(), host) << "the earlier delegate is back";
  EXPECT_FALSE(s.hasTimers());
  EXPECT_TRUE(s.movingViews().empty());
  EXPECT_EQ(nav->viewControllers().size(), 1u) << "popped";

  driver().advanceUnwatched(60.0);
  screen.reset();
  nav.reset();
  makeWindow();
  runPending();
  EXPECT_EQ(answers->answers(), 1u) << "never twice";
}

TEST_F(ScanScreenTest, BackItemEndsWithServiceNotFound) {
  open();
  ASSERT_TRUE(driver().tapBarItem(/*right=*/false));
  driver().advance(0.5);
  ASSERT_EQ(answers->errors.size(), 1u);
  EXPECT_EQ(answers->errors[0].first, -101);
}

TEST_F(ScanScreenTest, HostPopAnswersOnce) {
  open();
  nav->popViewController(true);
  driver().advance(1.0);
  ASSERT_EQ(answers->errors.size(), 1u);
  EXPECT_EQ(answers->errors[0].first, -101);
  EXPECT_FALSE(discovery.running);
  driver().advanceUnwatched(40.0);
  EXPECT_EQ(answers->answers(), 1u);
}

TEST_F(ScanScreenTest, DestroyedWithItsNavigationControllerAnswersOnce) {
  open();
  screen.reset();
  nav.reset();
  makeWindow();
  runPending();
  ASSERT_EQ(answers->errors.size(), 1u);
  EXPECT_EQ(answers->errors[0].first, -101);
  EXPECT_FALSE(discovery.running);
  EXPECT_EQ(discovery.delegate(), host);
}

TEST_F(ScanScreenTest, ANewerDelegateKeepsDiscovery) {
  ScanViewController& s = open();
  auto newer = std::make_shared<HostDiscoveryDelegate>();
  discovery.setDelegate(newer);
  s.timerFired();
  EXPECT_EQ(discovery.delegate(), newer);
  EXPECT_TRUE(discovery.running);
}

TEST_F(ScanScreenTest, CoveringStopsTimersAndReturningRestartsThem) {
  ScanViewController& s = open();
  driver().advanceUnwatched(20.0);
  ASSERT_TRUE(driver().tapBarItem(/*right=*/true));  // the gear: settings
  driver().advance(0.5);
  EXPECT_NE(dynamic_cast<settings::SettingViewController*>(nav->topViewController()), nullptr);
  EXPECT_FALSE(s.hasTimers());
  EXPECT_FALSE(discovery.running);
  driver().advanceUnwatched(60.0);
  EXPECT_EQ(answers->answers(), 0u);

  nav->popViewController(true);
  driver().advance(0.5);
  EXPECT_TRUE(s.hasTimers());
  EXPECT_EQ(discovery.delegate().get(), static_cast<registry::DiscoverManagerDelegate*>(&s));
  driver().advanceUnwatched(29.0);
  EXPECT_EQ(answers->answers(), 0u) << "a fresh 30 s";
  driver().advance(1.5);
  EXPECT_EQ(answers->errors.size(), 1u);
}

TEST_F(ScanScreenTest, SettingsHideTheGearFromSystem16AndTheRememberButton) {
  db.insertSetting("SHOW_SETTING", "0");
  db.insertSetting("SHOW_REMEMBER", "0");
  ScanViewController& s = open();
  EXPECT_TRUE(s.rightItem()->isHidden());
  EXPECT_TRUE(s.rememberBtn()->isHidden());

  db.updateSetting("SHOW_SETTING", "1");
  db.updateSetting("SHOW_REMEMBER", "");
  s.viewDidAppear(false);
  EXPECT_FALSE(s.rightItem()->isHidden());
  EXPECT_FALSE(s.rememberBtn()->isHidden());
}

TEST_F(ScanScreenTest, GearStaysBeforeSystem16) {
  db.insertSetting("SHOW_SETTING", "0");
  ScanViewController& s = open(purchase(), DeviceProfile::phone().withSystem(15));
  EXPECT_FALSE(s.rightItem()->isHidden());
}

TEST_F(ScanScreenTest, RotationMovesTheCentre) {
  ScanViewController& s = open();
  report(scanSerial(1));
  report(scanSerial(2));
  const Point before = s.orbitCenter();
  window().rotate(true);
  driver().advance(1.0);
  const Point after = s.orbitCenter();
  EXPECT_NE(before, after);
  for (auto& b : s.movingViews()) {
    EXPECT_EQ(b->circleCenter, after);
    EXPECT_NEAR(std::hypot(b->center().x - after.x, b->center().y - after.y), s.orbitRadius(),
                1e-6);
  }
  EXPECT_EQ(s.headerLabel()->frame().y() - s.view().safeAreaInsets().top, 30);
}

TEST_F(ScanScreenTest, DroppingABubbleOnTheCentreChoosesItsService) {
  ScanViewController& s = open();
  report(scanSerial(1));
  report(scanSerial(2), "5");
  driver().advance(0.5);
  auto bubble = s.movingViews()[1];
  const Point from = s.view().convert(bubble->center(), nullptr);
  const Point to = s.view().convert(s.orbitCenter(), nullptr);
  driver().drag(from, {{from.x + (to.x - from.x) / 2, from.y + (to.y - from.y) / 2}, to});
  EXPECT_EQ(answers->answers(), 0u) << "only after the vanishing animation";
  driver().advance(0.6);
  ASSERT_EQ(answers->chosen.size(), 1u);
  EXPECT_TRUE(answers->errors.empty());
  EXPECT_EQ(answers->chosen[0].at("sn"), scanSerial(2));
  EXPECT_EQ(answers->chosen[0].at("serviceId"), "5");
  EXPECT_EQ(answers->chosen[0].at("address"), "127.0.0.9:8080");
  EXPECT_FALSE(discovery.running);
  driver().advance(1.0);
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  driver().advanceUnwatched(40.0);
  EXPECT_EQ(answers->answers(), 1u);
}

TEST_F(ScanScreenTest, NarrowingToTheStaticSerialDropsOtherTerminals) {
  facade::ScanRequest request = purchase();
  request.sn = scanSerial(7);  // nothing stored: every terminal until it answers
  ScanViewController& s = open(request);
  report(scanSerial(1));
  report(scanSerial(2));
  EXPECT_EQ(s.activedIps().size(), 2u);
  report(scanSerial(7));
  ASSERT_EQ(s.activedIps().size(), 1u);
  EXPECT_EQ(s.activedIps()[0].sn, scanSerial(7));
  ASSERT_EQ(s.movingViews().size(), 1u);
  EXPECT_EQ(s.terminalItems().size(), 1u);
  report(scanSerial(3));
  EXPECT_EQ(s.activedIps().size(), 1u) << "no longer scanning all";
}

TEST_F(ScanScreenTest, BubbleTapOpensTheTerminalsDetailSheet) {
  ASSERT_TRUE(db.insertDiscoveredTerminal(scanSerial(1), "T420", "127.0.0.9:8080", "http",
                                          std::nullopt, 1, 1, 0, "1", "1", std::nullopt));
  ScanViewController& s = open();
  report(scanSerial(1));
  report(scanSerial(1), "2");
  driver().advance(0.5);
  ASSERT_TRUE(driver().tap(*s.movingViews()[0]));
  driver().advance(0.5);
  auto* detail = dynamic_cast<settings::RemoteDeviceController*>(nav->topViewController());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(registry::rowText(detail->terminalInfo(), "sn"), scanSerial(1));
  EXPECT_EQ(detail->serviceArray().size(), 2u) << "the terminal's services";
  EXPECT_TRUE(driver().isTextVisible("FIND DEVICE"));
}

TEST_F(ScanScreenTest, RegisteredMakersAreUsed) {
  TerminalDetailInput seen;
  screenMakers().terminalDetail = [&](const TerminalDetailInput& input) {
    seen = input;
    return std::make_shared<ViewController>();
  };
  ScanViewController& s = open();
  report(scanSerial(1));
  driver().advance(0.5);
  ASSERT_TRUE(driver().tap(*s.movingViews()[0]));
  screenMakers() = {};
  EXPECT_EQ(seen.service.sn, scanSerial(1));
  EXPECT_EQ(seen.database, &db);
  EXPECT_EQ(seen.serviceArray.size(), 1u);
}

}  // namespace
}  // namespace veltrix::ui::scan::test
