// The settings hub: its four sections, what each row opens, the whitelist
// row's toast and the version line.
#include "veltrix/ui/settings/setting_view_controller.h"

#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/preferences_view_controller.h"

namespace veltrix::ui::settings {
namespace {

class SettingHubTest : public testing::SettingsScreenTest {
 protected:
  std::shared_ptr<SettingViewController> showHub() {
    return showInNavigation(std::make_shared<SettingViewController>(env));
  }
  void tapSection(SettingViewController& hub, std::int64_t section) {
    ASSERT_TRUE(driver().tapRow(*hub.tableView(), IndexPath::forRow(0, section)));
  }
};

TEST_F(SettingHubTest, ShowsFourSectionsWithTitlesAndDescriptions) {
  auto hub = showHub();
  EXPECT_EQ(hub->title(), "Settings");
  for (const char* text :
       {"LAN", "Connection Setting", "Configure network connections", "SERVICES",
        "Services Manager", "Manage background services", "PREFERENCES", "Preferences",
        "App preferences and settings", "WHITELIST", "Whitelist Device Manager"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  TableView& table = *hub->tableView();
  EXPECT_EQ(table.numberOfSections(), 4);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 2)).height(), 60);
  EXPECT_EQ(table.rectForHeader(1).height(), 40);
  EXPECT_EQ(table.rectForFooter(0).height(), 20);
  EXPECT_EQ(table.rectForFooter(3).height(), 40);
  EXPECT_EQ(table.cellForRow(IndexPath::forRow(0, 0))->accessoryType,
            AccessoryType::DisclosureIndicator);
  // The list ends 10 above the version line, which sits 10 above the safe area.
  const Rect version = hub->versionLabel()->frame();
  EXPECT_EQ(table.frame().maxY(), version.minY() - 10);
  EXPECT_EQ(version.maxY(), hub->view().bounds().height() - 34 - 10);
}

TEST_F(SettingHubTest, EveryTapPushesANewScreenOfItsRow) {
  platform::ScopedLogCapture log;
  auto hub = showHub();
  tapSection(*hub, 0);
  ASSERT_NE(dynamic_cast<ConnectionMethodViewController*>(top()), nullptr);
  std::weak_ptr<ViewController> first = nav->viewControllers().back();
  EXPECT_TRUE(log.contains("Connection Setting: This is Connection Setting section"));
  ASSERT_TRUE(driver().back());
  EXPECT_EQ(top(), hub.get());
  EXPECT_FALSE(hub->tableView()->indexPathForSelectedRow()) << "the row is deselected";
  EXPECT_TRUE(first.expired()) << "the hub keeps no reference to what it pushed";

  // The same row again: a fresh screen.
  tapSection(*hub, 0);
  EXPECT_NE(dynamic_cast<ConnectionMethodViewController*>(top()), nullptr);
  ASSERT_TRUE(driver().back());

  tapSection(*hub, 1);
  EXPECT_EQ(top()->typeName(), "ServicesManagerViewController");
  EXPECT_EQ(top()->title(), "Services Manager");
  ASSERT_TRUE(driver().back());

  tapSection(*hub, 2);
  EXPECT_NE(dynamic_cast<PreferencesViewController*>(top()), nullptr);
  EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(SettingHubTest, TheWhitelistRowOnlyShowsAToast) {
  platform::ScopedLogCapture log;
  auto hub = showHub();
  tapSection(*hub, 3);
  EXPECT_EQ(top(), hub.get());
  EXPECT_EQ(driver().toast(), std::string(kWhitelistUnavailable));
  EXPECT_TRUE(log.contains("Whitelist: Whitelist Device Manager"));
  driver().advance(0.3 + 2.0 + 0.3 + 0.1);
  EXPECT_FALSE(driver().toast());
}

TEST_F(SettingHubTest, WithoutNavigationNothingIsPushedButTheToastShows) {
  auto hub = std::make_shared<SettingViewController>(env);
  show(hub);
  tapSection(*hub, 0);
  tapSection(*hub, 2);
  EXPECT_EQ(top(), hub.get());
  tapSection(*hub, 3);
  EXPECT_EQ(driver().toast(), std::string(kWhitelistUnavailable));
}

TEST_F(SettingHubTest, VersionFromTheLibraryBundle) {
  using Info = LibraryBundle::Info;
  EXPECT_EQ(versionText(LibraryBundle(
                Info{{"CFBundleShortVersionString", "1.0"}, {"CFBundleVersion", "7"}})),
            "Version 1.0.7");
  EXPECT_EQ(versionText(LibraryBundle(Info{{"CFBundleShortVersionString", "1.0"}})),
            "Version 1.0.Unknown");
  EXPECT_EQ(versionText(LibraryBundle()), "Version Unknown.Unknown");

  env.bundle = std::make_shared<const LibraryBundle>();
  auto hub = showHub();
  EXPECT_EQ(hub->versionLabel()->text(), "Version Unknown.Unknown");
  // The build's own bundle has both keys.
  EXPECT_EQ(versionText(*LibraryBundle::shared()).find("Unknown"), std::string::npos);
}

}  // namespace
}  // namespace veltrix::ui::settings
