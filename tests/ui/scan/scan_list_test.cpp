// The scan screen's list presentation and remember choice on a navigation
// stack: rows by idiom, choosing and the detail button, the blank-area
// rule, what a choice stores for each remember option, the remember sheet
// and the narrowing to the remembered terminal; what terminals that name
// themselves with hostile text can show.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui/scan/scan_fixture.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/ui/scan/remember_option_view.h"
#include "veltrix/ui/scan/screen_factory.h"

namespace veltrix::ui::scan::test {
namespace {

std::string serial(int i) { return "TAVIO-LIST-" + std::to_string(1000 + i); }

class ScanListTest : public ScanScreenTest {
 protected:
  ScanListTest() { db.updateSetting("preferencesMode", "2"); }
  ~ScanListTest() override { screenMakers() = {}; }

  // A stored terminal last seen `ageMillis` ago.
  void storeTerminal(const std::string& sn, std::int64_t ageMillis = 0) {
    const std::string t = std::to_string(platform::nowMillis() - ageMillis);
    db.insertDiscoveredTerminal(sn, "T420", "127.0.0.9:8080", "http", "", 1, 1, 0, t, t, "");
  }
  void rememberTerminal(const std::string& sn) {
    db.insertRememberServices(sn, "ALL", "", "", std::nullopt, "1");
  }
  // Stores the service in the database without reporting it.
  void storeService(const std::string& sn, const std::string& id = "1") {
    const std::string t = std::to_string(platform::nowMillis());
    db.insertTerminalServices(sn, "Purchase", "Payment", std::nullopt, id, "Card " + id, 1, t, t,
                              "payment");
  }
  TerminalCollectionViewCell* cellAt(std::int64_t item) {
    return dynamic_cast<TerminalCollectionViewCell*>(
        screen->collectionView()->cellForItem(IndexPath::forItem(item)).get());
  }
  RememberOptionView* openSheet() {
    EXPECT_TRUE(driver().tap(*screen->rememberBtn()));
    driver().advance(0.1);
    return driver().find<RememberOptionView>();
  }
  void pickInSheet(int row) {
    RememberOptionView* sheet = openSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(driver().tap(*sheet->buttons().at(static_cast<std::size_t>(row))));
    driver().advance(0.1);
  }
  std::string title() { return screen->rememberBtn()->currentTitle().value_or(""); }
};

TEST_F(ScanListTest, OneColumnOnAPhone) {
  ScanViewController& s = open();
  for (int i = 0; i < 3; ++i) report(serial(i));
  driver().advance(0.5);
  CollectionView& list = *s.collectionView();
  EXPECT_FALSE(list.isHidden());
  EXPECT_TRUE(s.backgroundCenterView()->isHidden());
  EXPECT_TRUE(s.movingViews()[0]->isHidden());
  // Safe top + 130 down to safe bottom - 50.
  const Insets safe = s.view().safeAreaInsets();
  EXPECT_EQ(list.frame().y(), safe.top + 130);
  EXPECT_EQ(list.frame().maxY(), s.view().bounds().height() - safe.bottom - 50);

  ASSERT_EQ(list.numberOfItems(0), 3);
  const Rect first = *list.frameForItem(IndexPath::forItem(0));
  const Rect second = *list.frameForItem(IndexPath::forItem(1));
  EXPECT_EQ(first, (Rect{24, 16, 342, 90}));
  EXPECT_EQ(second, (Rect{24, 16 + 90 + 16, 342, 90}));
  ASSERT_NE(cellAt(1), nullptr);
  EXPECT_EQ(cellAt(1)->snLabel()->text(), serial(1));
  EXPECT_TRUE(driver().isTextVisible(serial(2)));
}

// On a phone on its side the cards keep clear of the unsafe sides, whole.
TEST_F(ScanListTest, TurnedPhoneKeepsTheCardsInTheSafeArea) {
  open(purchase(), DeviceProfile::phone().inOrientation(true));
  report(serial(0));
  driver().advance(0.5);
  ASSERT_NE(cellAt(0), nullptr);
  EXPECT_TRUE(onScreen(*cellAt(0)));
}

// The ageing reads the rows in view only: a silent terminal's row below the
// fold stays until it is scrolled into view, and goes at the next pass.
TEST_F(ScanListTest, OnlyRowsInViewAreAged) {
  ScanViewController& s = open();
  for (int i = 0; i < 12; ++i) report(serial(i), "1", i == 11 ? 25000 : 0);
  driver().advance(0.5);
  ASSERT_EQ(cellAt(11), nullptr) << "below the fold";
  for (int t = 0; t < 8; ++t) {
    for (int i = 0; i < 11; ++i) answer(serial(i));
    driver().advance(1.0);
  }
  EXPECT_EQ(s.terminalItems().size(), 12u) << "gone, but never in view";

  driver().scroll(*s.collectionView(), 2000);
  driver().advance(0.5);
  ASSERT_NE(cellAt(11), nullptr);
  for (int i = 0; i < 11; ++i) answer(serial(i));
  driver().advance(1.0);
  EXPECT_EQ(s.terminalItems().size(), 11u);
  EXPECT_FALSE(driver().isTextVisible(serial(11)));
}

TEST_F(ScanListTest, TwoColumnsOnAPad) {
  ScanViewController& s = open(purchase(), DeviceProfile::pad());
  for (int i = 0; i < 3; ++i) report(serial(i));
  driver().advance(0.5);
  CollectionView& list = *s.collectionView();
  EXPECT_EQ(*list.frameForItem(IndexPath::forItem(0)), (Rect{16, 16, 386, 90}));
  EXPECT_EQ(*list.frameForItem(IndexPath::forItem(1)), (Rect{418, 16, 386, 90}));
  // A line of one card is centred.
  EXPECT_EQ(*list.frameForItem(IndexPath::forItem(2)), (Rect{217, 122, 386, 90}));
}

TEST_F(ScanListTest, TheOrbitKeepsTheListHiddenUntilItSwitches) {
  db.updateSetting("preferencesMode", "1");
  ScanViewController& s = open();
  report(serial(1));
  driver().advance(0.5);
  EXPECT_TRUE(s.collectionView()->isHidden());
  EXPECT_EQ(s.terminalItems().size(), 1u);
  db.updateSetting("preferencesMode", "2");
  s.viewWillAppear(false);
  driver().advance(0.1);
  EXPECT_FALSE(s.collectionView()->isHidden());
  EXPECT_TRUE(driver().isTextVisible(serial(1)));
}

TEST_F(ScanListTest, ARowChoosesItsServiceEvenWhenStale) {
  db.insertSetting("Purchase", "1");
  ScanViewController& s = open();
  report(serial(1));
  report(serial(2), "7", 20000);  // grey from the first pass on
  driver().advance(1.0);
  ASSERT_NE(cellAt(1), nullptr);
  EXPECT_EQ(cellAt(1)->iconImageView()->image()->name(), "icon_t420_disabled");
  EXPECT_EQ(cellAt(0)->iconImageView()->image()->name(), "icon_t420_enabled");

  ASSERT_TRUE(driver().tapItem(*s.collectionView(), IndexPath::forItem(1)));
  ASSERT_EQ(answers->chosen.size(), 1u);
  EXPECT_EQ(answers->chosen[0].at("sn"), serial(2));
  EXPECT_EQ(answers->chosen[0].at("serviceId"), "7");
  EXPECT_EQ(answers->chosen[0].at("serviceName"), "Card 7");
  // "Remember this service" stored the choice for the service type.
  EXPECT_EQ(db.fetchSetting("Purchase"), "1");
  const registry::Rows rows = db.fetchRememberServices();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(registry::rowText(rows[0], "sn"), serial(2));
  EXPECT_EQ(registry::rowText(rows[0], "serviceType"), "Purchase");
  EXPECT_EQ(registry::rowText(rows[0], "serviceId"), "7");
  EXPECT_EQ(rows[0].count("screenId"), 0u);
  driver().advance(1.0);
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_EQ(s.collectionView(), nullptr);
  driver().advanceUnwatched(40.0);
  EXPECT_EQ(answers->answers(), 1u);
}

// Terminals choose their own serial numbers and models: one cannot pose as
// another, draw over the lines below or run under the detail button, and
// the service it returns is named exactly as it answered.
TEST_F(ScanListTest, AHostileTerminalCannotLookLikeAnother) {
  // Laid out in the fonts the renderer draws with.
  ScopedTextMetrics pango(std::make_shared<PangoMetrics>());
  ScanViewController& s = open();
  const std::string honest = "TAVIO-SIM-1234";
  const std::string poser = "TAVIO-SIM-\u202E4321";
  const std::string longSerial(200, '9');
  report(honest);
  report(poser, "1", 0, "Purchase", "T420\nTMIX Z3");
  report(longSerial);
  driver().advance(0.5);
  ASSERT_NE(cellAt(2), nullptr);
  const TextLayout honestSerial = drawnText(*cellAt(0)->snLabel());
  const TextLayout poserSerial = drawnText(*cellAt(1)->snLabel());
  EXPECT_EQ(honestSerial.text(), honest);
  EXPECT_NE(poserSerial.text(), honestSerial.text());
  EXPECT_EQ(drawnText(*cellAt(1)->nameLabel()).lines.size(), 1u) << "one line over the serial";

  TerminalCollectionViewCell& card = *cellAt(2);
  const TextLayout cut = drawnText(*card.snLabel());
  ASSERT_EQ(cut.lines.size(), 1u);
  EXPECT_TRUE(cut.lines[0].ends_with("\u2026"));
  EXPECT_LE(card.snLabel()->frame().maxX(), card.moreButton()->frame().minX() - 8);

  ASSERT_TRUE(driver().tapItem(*s.collectionView(), IndexPath::forItem(1)));
  ASSERT_EQ(answers->chosen.size(), 1u);
  EXPECT_EQ(answers->chosen[0].at("sn"), poser);
  EXPECT_EQ(answers->chosen[0].at("model"), "T420\nTMIX Z3");
}

TEST_F(ScanListTest, DetailButtonAndBubbleTapOpenTheDetailWithTheStoredRecords) {
  std::vector<TerminalDetailInput> seen;
  screenMakers().terminalDetail = [&](const TerminalDetailInput& input) {
    seen.push_back(input);
    return std::make_shared<ViewController>();
  };
  storeTerminal(serial(2));
  ScanViewController& s = open();
  report(serial(1));
  report(serial(2), "1");
  report(serial(2), "2");
  driver().advance(0.5);
  ASSERT_NE(cellAt(2), nullptr);
  ASSERT_TRUE(driver().tap(*cellAt(2)->moreButton()));
  driver().advance(0.5);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].service.sn, serial(2));
  EXPECT_EQ(seen[0].service.serviceId, "2");
  EXPECT_EQ(registry::rowText(seen[0].terminalInfo, "sn"), serial(2));
  EXPECT_EQ(seen[0].serviceArray.size(), 2u);
  EXPECT_EQ(answers->answers(), 0u) << "the detail only covers the screen";

  // Back, then the orbit: a bubble tap pulses and opens the same sheet; a
  // terminal never stored gives an empty record.
  nav->popViewController(false);
  driver().advance(0.5);
  db.updateSetting("preferencesMode", "1");
  s.viewWillAppear(false);
  auto bubble = s.movingViews()[0];
  ASSERT_TRUE(driver().tap(*bubble));
  EXPECT_EQ(bubble->transform(), Transform::scale(1.3, 1.3));
  driver().advance(0.5);
  EXPECT_EQ(bubble->transform(), Transform::identity());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].service.sn, serial(1));
  EXPECT_TRUE(seen[1].terminalInfo.empty());
  EXPECT_EQ(seen[1].serviceArray.size(), 1u);
}

TEST_F(ScanListTest, BlankAreaTapClosesOnlyADialogThatShows) {
  ScanViewController& s = open();
  report(serial(1));
  driver().advance(0.5);
  // Between the navigation bar and the header: no view of the screen.
  const Point blank{5, s.view().safeAreaInsets().top + 10};
  driver().tapAt(s.view().convert(blank, nullptr));
  driver().advance(0.1);
  EXPECT_FALSE(s.isShowQRView());
  EXPECT_EQ(answers->answers(), 0u);

  s.plusQRCode();
  driver().advance(0.1);
  ASSERT_TRUE(s.isShowQRView());
  // The chooser's dimming covers the view, so the rule finds no blank area.
  s.handleBlankAreaTap(blank);
  EXPECT_TRUE(s.isShowQRView());
  // A tap on the dimming outside the card closes it.
  driver().tapAt(s.view().convert(blank, nullptr));
  driver().advance(0.1);
  EXPECT_FALSE(s.isShowQRView());
  EXPECT_EQ(s.dialogs().dialogView(), nullptr);
}

TEST_F(ScanListTest, TitlesCarryFourSpacesAndTheRememberedTerminal) {
  db.insertSetting("Purchase", "1");
  open();
  EXPECT_EQ(title(), "Remember this service    ");
  db.updateSetting("Purchase", "0");
  open();
  EXPECT_EQ(title(), "Choose service every time    ");

  // Remember mode "2" with a remembered terminal that has services of the
  // type and answered lately: its serial number follows.
  db.updateSetting("Purchase", "2");
  storeTerminal(serial(5));
  storeService(serial(5));
  rememberTerminal(serial(5));
  open();
  EXPECT_EQ(screen->optionSN(), serial(5));
  EXPECT_EQ(title(), "Remember this terminal    : " + serial(5));
  // The small phone draws it smaller on one line.
  auto& line = *open(purchase(), DeviceProfile::smallPhone()).rememberBtn()->titleLabel();
  driver().advance(1);
  EXPECT_LE(textMetrics().measure(line.text(), line.displayFont(), 0, 1).width,
            line.bounds().width());
  // Last seen long ago: every terminal is scanned, and the suffix goes.
  db.updateLastDiscoverTime(serial(5), std::to_string(platform::nowMillis() - 60000));
  open();
  EXPECT_EQ(title(), "Remember this terminal    ");

  facade::ScanRequest request = purchase();
  request.showString = "No Purchase in X,  Showing all supported devices.";
  open(request);
  EXPECT_EQ(screen->optionType(), 3);
  EXPECT_EQ(title(), "No Purchase in X,  Showing all supported devices.");
}

TEST_F(ScanListTest, SheetGeometryAndRowsChangeOnlyTheScreensState) {
  ScanViewController& s = open();
  report(serial(1));
  RememberOptionView* sheet = openSheet();
  ASSERT_NE(sheet, nullptr);
  View* dimming = s.backgroundView();
  ASSERT_NE(dimming, nullptr);
  EXPECT_EQ(dimming->superview(), s.view().superview()) << "over the screen view's superview";
  EXPECT_EQ(dimming->superview()->subviews().back().get(), dimming) << "in front";
  EXPECT_EQ(dimming->backgroundColor(), Color::black().withAlpha(0.5));
  EXPECT_EQ(dimming->frame(), dimming->superview()->bounds());
  EXPECT_EQ(sheet->frame().size, (Size{320, 220}));
  EXPECT_EQ(sheet->center(), dimming->bounds().mid());
  EXPECT_EQ(sheet->backgroundColor(), Color::white());
  EXPECT_EQ(sheet->titleLabel()->frame(), (Rect{10, 10, 200, 40}));
  EXPECT_EQ(sheet->titleLabel()->text(), "Remember option");
  EXPECT_EQ(sheet->titleLabel()->font(), Font::bold(17));
  ASSERT_EQ(sheet->buttons().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const Button& b = *sheet->buttons()[i];
    EXPECT_EQ(b.frame(), (Rect{20, 50 + 50.0 * static_cast<double>(i), 250, 50}));
    EXPECT_EQ(b.tag, static_cast<std::int64_t>(i));
    EXPECT_EQ(b.currentTitle(), ScanViewController::rememberOptions()[i]);
    EXPECT_EQ(b.currentTitleColor(), Color::black());
  }
  ASSERT_EQ(sheet->separators().size(), 2u);
  EXPECT_EQ(sheet->separators()[0]->frame(), (Rect{20, 100, 250, 1}));
  EXPECT_EQ(sheet->separators()[1]->frame(), (Rect{20, 150, 250, 1}));

  ASSERT_TRUE(driver().tap(*sheet->buttons()[1]));
  driver().advance(0.1);
  EXPECT_TRUE(dimming->isHidden()) << "the sheet closes";
  EXPECT_EQ(s.optionType(), 1);
  EXPECT_TRUE(s.isScanAllService);
  EXPECT_EQ(title(), "Remember this service    ");
  EXPECT_EQ(db.fetchSetting("Purchase"), "2") << "nothing is stored before a choice";
  EXPECT_TRUE(db.fetchRememberServices().empty());

  // Opening again makes a new dimming view; the earlier one goes.
  std::shared_ptr<View> earlier = dimming->shared_from_this();
  pickInSheet(0);
  EXPECT_EQ(s.optionType(), 0);
  EXPECT_EQ(title(), "Choose service every time    ");
  EXPECT_EQ(earlier->superview(), nullptr);
  EXPECT_NE(s.backgroundView(), earlier.get());
}

TEST_F(ScanListTest, WhatAChoiceStoresForEachOption) {
  ScanViewController& s = open();
  report(serial(1), "1");
  report(serial(2), "2");
  const ServiceInfoDict first = s.activedIps()[0];
  const ServiceInfoDict second = s.activedIps()[1];
  db.insertSetting("Refund", "1");

  s.rememberOptionChosen(0);
  s.saveToDatabase(first);
  EXPECT_EQ(db.fetchSetting("Purchase"), "0");
  EXPECT_TRUE(db.fetchRememberServices().empty());

  // Twice for the same type: one row, the last chosen.
  s.rememberOptionChosen(1);
  s.saveToDatabase(first);
  s.saveToDatabase(second);
  EXPECT_EQ(db.fetchSetting("Purchase"), "1");
  registry::Rows rows = db.fetchRememberServices();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(registry::rowText(rows[0], "sn"), serial(2));
  EXPECT_EQ(registry::rowText(rows[0], "serviceId"), "2");
  const std::string created = registry::rowText(rows[0], "createTime").value_or("");
  EXPECT_EQ(created, std::to_string(platform::nowMillis()));

  // The terminal for every type: the single "ALL" row is replaced; only
  // this type's mode becomes "2".
  rememberTerminal(serial(9));
  s.rememberOptionChosen(2);
  s.saveToDatabase(first);
  EXPECT_EQ(db.fetchSetting("Purchase"), "2");
  EXPECT_EQ(db.fetchSetting("Refund"), "1");
  rows = db.fetchRememberServices();
  ASSERT_EQ(rows.size(), 2u) << "the service row stays beside the terminal row";
  const registry::Row all = db.fetchRememberServicesWithType("ALL");
  EXPECT_EQ(registry::rowText(all, "sn"), serial(1));
  EXPECT_EQ(registry::rowText(all, "serviceId"), "");
  EXPECT_EQ(all.count("screenId"), 0u);
}

TEST_F(ScanListTest, AShownMessageStoresNothing) {
  facade::ScanRequest request = purchase();
  request.showString = "No Purchase in X,  Showing all supported devices.";
  ScanViewController& s = open(request);
  report(serial(1));
  driver().advance(0.5);
  ASSERT_TRUE(driver().tapItem(*s.collectionView(), IndexPath::forItem(0)));
  ASSERT_EQ(answers->chosen.size(), 1u);
  EXPECT_EQ(db.fetchSetting("Purchase"), "2") << "as the load inserted it";
  EXPECT_TRUE(db.fetchRememberServices().empty());
}

TEST_F(ScanListTest, RememberThisTerminalNarrowsToItBubblesRowsAndOverflow) {
  storeTerminal(serial(5));
  storeService(serial(5));
  rememberTerminal(serial(5));
  ScanViewController& s = open();
  ASSERT_EQ(s.optionType(), 2);
  report(serial(1));
  EXPECT_TRUE(s.activedIps().empty()) << "only the remembered terminal";

  pickInSheet(0);
  for (int i = 0; i < 9; ++i) report(serial(10 + i));
  report(serial(5));
  driver().advance(0.5);
  ASSERT_EQ(s.activedIps().size(), 10u);
  ASSERT_EQ(s.moreActivedIps().size(), 2u);
  EXPECT_EQ(s.moreActivedIps()[1].sn, serial(5)) << "the remembered terminal overflowed";

  pickInSheet(2);
  EXPECT_EQ(s.optionType(), 2);
  EXPECT_FALSE(s.isScanAllService);
  ASSERT_EQ(s.activedIps().size(), 1u);
  EXPECT_EQ(s.activedIps()[0].sn, serial(5));
  EXPECT_TRUE(s.moreActivedIps().empty());
  ASSERT_EQ(s.movingViews().size(), 1u);
  EXPECT_EQ(s.movingViews()[0]->getServiceInfo().sn, serial(5));
  ASSERT_EQ(s.terminalItems().size(), 1u);
  EXPECT_EQ(s.collectionView()->numberOfItems(0), 1);
  EXPECT_EQ(title(), "Remember this terminal    : " + serial(5));
  report(serial(2));
  EXPECT_EQ(s.activedIps().size(), 1u) << "others are rejected again";
}

TEST_F(ScanListTest, RememberThisTerminalWithoutItOnScreenChangesOnlyTheTitle) {
  ScanViewController& s = open();
  report(serial(1));
  pickInSheet(2);
  EXPECT_EQ(s.optionType(), 2);
  EXPECT_EQ(s.activedIps().size(), 1u);
  EXPECT_EQ(title(), "Remember this terminal    ");
}

TEST_F(ScanListTest, ARegisteredSheetTakesThePlaceOfTheScreensOwn) {
  std::vector<std::string> offered;
  RememberChoice choose;
  screenMakers().rememberOptions = [&](const std::vector<std::string>& options, RememberChoice c) {
    offered = options;
    choose = std::move(c);
    return std::make_shared<ViewController>();
  };
  ScanViewController& s = open();
  ASSERT_TRUE(driver().tap(*s.rememberBtn()));
  driver().advance(0.5);
  EXPECT_EQ(offered, ScanViewController::rememberOptions());
  EXPECT_EQ(s.backgroundView(), nullptr);
  ASSERT_TRUE(choose);
  choose(1);
  EXPECT_EQ(s.optionType(), 1);
}

}  // namespace
}  // namespace veltrix::ui::scan::test
