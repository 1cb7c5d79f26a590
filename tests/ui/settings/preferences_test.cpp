// The preferences screen: the writes of its opening, the mode tiles and the
// two switch rows.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/ui/settings/preferences_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using facade::show_remember;
using facade::show_setting;
using testing::Calls;

class PreferencesTest : public testing::SettingsScreenTest {
 protected:
  std::shared_ptr<PreferencesViewController> open() {
    return showInNavigation(std::make_shared<PreferencesViewController>(env));
  }
  // What the screen shows of the chosen mode: 0 Radar View, 1 List View.
  static std::int64_t shownIndex(PreferencesViewController& screen) {
    const bool radar = !screen.radarCheckBtn()->isSelected() &&
                       !screen.radarViewContainer()->backgroundColor().isClear();
    const bool list = !screen.listCheckBtn()->isSelected() &&
                      !screen.listViewContainer()->backgroundColor().isClear();
    return radar && !list ? 0 : list && !radar ? 1 : -1;
  }
};

TEST_F(PreferencesTest, OpeningOnAnEmptyTableWritesTheDefaultsInOrder) {
  record();
  auto screen = open();
  EXPECT_EQ(database->writes,
            (Calls{"insert preferencesMode 2", "insert SHOW_SETTING 1", "insert SHOW_REMEMBER 1",
                   "update preferencesMode 2", "update SHOW_SETTING 1", "update SHOW_REMEMBER 1"}));
  EXPECT_TRUE(facade->writes.empty());
  EXPECT_EQ(setting(kPreferencesModeKey), "2");
  EXPECT_EQ(setting(show_setting), "1");
  EXPECT_EQ(setting(show_remember), "1");
  EXPECT_EQ(screen->selectedIndex(), 1);
  EXPECT_EQ(shownIndex(*screen), 1);
  EXPECT_TRUE(screen->settingSwitch()->isOn());
  EXPECT_TRUE(screen->rememberSwitch()->isOn());
  EXPECT_EQ(screen->title(), "Preferences");
  for (const char* text : {"Services Display", "Radar View", "List View", "Show Setting icon",
                           "Show Remember Option"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
}

TEST_F(PreferencesTest, StoredModesAreShownAndNormalised) {
  struct Case {
    const char* stored;
    std::int64_t index;
    const char* after;
  };
  for (const Case& c : {Case{"1", 0, "1"}, Case{"2", 1, "2"}, Case{"3", 1, "2"},
                        Case{"abc", 1, "2"}, Case{"1x", 0, "1"}}) {
    db->deleteSetting(kPreferencesModeKey);
    db->insertSetting(kPreferencesModeKey, c.stored);
    auto screen = open();
    EXPECT_EQ(screen->selectedIndex(), c.index) << c.stored;
    EXPECT_EQ(shownIndex(*screen), c.index) << c.stored;
    EXPECT_EQ(setting(kPreferencesModeKey), c.after) << c.stored;
  }
  EXPECT_EQ(preferencesIndexForMode("1"), 0);
  EXPECT_EQ(preferencesIndexForMode(" 1"), 0);
  EXPECT_EQ(preferencesIndexForMode("-1"), 1);
}

TEST_F(PreferencesTest, StoredSwitchValuesAreShownAndWrittenBackUnchanged) {
  db->insertSetting(show_setting, "0");
  db->insertSetting(show_remember, "yes");
  record();
  auto screen = open();
  EXPECT_FALSE(screen->settingSwitch()->isOn());
  EXPECT_FALSE(screen->rememberSwitch()->isOn());
  EXPECT_EQ(database->writes, (Calls{"insert preferencesMode 2", "update preferencesMode 2",
                                     "update SHOW_SETTING 0", "update SHOW_REMEMBER yes"}));
}

TEST_F(PreferencesTest, TilesAndCheckButtonsChooseTheMode) {
  record();
  auto screen = open();
  database->writes.clear();

  ASSERT_TRUE(driver().tap(*screen->radarViewContainer()));
  EXPECT_EQ(shownIndex(*screen), 0);
  EXPECT_EQ(setting(kPreferencesModeKey), "1");
  ASSERT_TRUE(driver().tap(*screen->listCheckBtn()));
  EXPECT_EQ(shownIndex(*screen), 1);
  EXPECT_EQ(setting(kPreferencesModeKey), "2");
  // The chosen tile again: the same value once more, nothing else.
  ASSERT_TRUE(driver().tap(*screen->listViewContainer()));
  ASSERT_TRUE(driver().tap(*screen->radarCheckBtn()));
  // A tap on a check button is the button's alone, not also its tile's.
  EXPECT_EQ(database->writes, (Calls{"update preferencesMode 1", "update preferencesMode 2",
                                     "update preferencesMode 2", "update preferencesMode 1"}));
  EXPECT_TRUE(facade->writes.empty());
}

TEST_F(PreferencesTest, SwitchRowsWriteThroughTheSettingsFacade) {
  record();
  auto screen = open();
  database->writes.clear();

  ASSERT_TRUE(driver().tap(*screen->settingSwitchContainer()));
  EXPECT_FALSE(screen->settingSwitch()->isOn());
  EXPECT_EQ(setting(show_setting), "0");
  ASSERT_TRUE(driver().flip(*screen->settingSwitch()));
  EXPECT_EQ(setting(show_setting), "1");
  ASSERT_TRUE(driver().tap(*screen->rememberSwitchContainer()));
  EXPECT_EQ(setting(show_remember), "0");
  // A flip of the switch is not also a tap on its row.
  ASSERT_TRUE(driver().flip(*screen->rememberSwitch()));
  EXPECT_TRUE(screen->rememberSwitch()->isOn());
  EXPECT_EQ(setting(show_remember), "1");
  EXPECT_EQ(facade->writes, (Calls{"isShowSetting false", "isShowSetting true",
                                   "isShowRememberOption false", "isShowRememberOption true"}));

  // Set from code, a switch sends nothing and nothing is written.
  screen->settingSwitch()->setOn(false);
  screen->rememberSwitch()->setOn(false, true);
  driver().settle();
  EXPECT_EQ(facade->writes.size(), 4u);
  EXPECT_TRUE(database->writes.empty());
}

TEST_F(PreferencesTest, TileLayout) {
  auto screen = open();
  const Rect radar = screen->radarViewContainer()->frame();
  const Rect list = screen->listViewContainer()->frame();
  const double cardWidth = screen->view().bounds().width() - 40;
  EXPECT_EQ(radar.width(), cardWidth / 2 - 25);
  EXPECT_EQ(radar.height(), 200);
  EXPECT_EQ(list.minX(), radar.maxX() + 10);
  EXPECT_EQ(list.maxX(), cardWidth - 20);
  EXPECT_EQ(list.width(), radar.width());
}

// In the installed fonts: on the small phone every title is whole and clear
// of its switch; on a phone on its side the rows below the screen's edge
// scroll into reach.
TEST_F(PreferencesTest, TitlesStayWholeAndRowsReachableOnSmallAndTurnedPhones) {
  ScopedTextMetrics fonts{std::make_shared<PangoMetrics>()};
  makeWindow(DeviceProfile::smallPhone());
  auto small = open();
  for (const auto& title :
       {small->radarTitleLabel(), small->listTitleLabel(), small->rememberTitleLabel()}) {
    EXPECT_TRUE(textFits(*title)) << title->text();
  }
  EXPECT_LE(small->rememberTitleLabel()->frame().maxX(), small->rememberSwitch()->frame().minX());

  makeWindow(DeviceProfile::phone().inOrientation(true));
  auto turned = open();
  View& row = *turned->rememberSwitchContainer();
  EXPECT_FALSE(onScreen(row));
  turned->page()->scrollBy({0, turned->page()->contentSize().height});
  EXPECT_TRUE(onScreen(row));
  ASSERT_TRUE(driver().tap(row));
  EXPECT_FALSE(turned->rememberSwitch()->isOn());
}

}  // namespace
}  // namespace veltrix::ui::settings
