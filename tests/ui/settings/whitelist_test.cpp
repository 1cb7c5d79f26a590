// The device whitelist: the selection it starts from, the switch, the
// rows, and what CONFIRM stores.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/ui/settings/whitelist_device_manager_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using facade::device_Acess_List;

class WhitelistTest : public testing::SettingsScreenTest {
 protected:
  std::shared_ptr<WhitelistDeviceManagerViewController> open() {
    return pushOverRoot(std::make_shared<WhitelistDeviceManagerViewController>(env));
  }
  bool ticked(WhitelistDeviceManagerViewController& screen, std::int64_t row) {
    auto cell = screen.snTableView()->cellForRow(IndexPath::forRow(row));
    EXPECT_TRUE(cell && cell->accessoryView());
    return cell && cell->accessoryView() &&
           cell->accessoryView()->findDescendant<Label>(
               [](const Label& l) { return l.text() == "✓"; });
  }
  void tapRow(WhitelistDeviceManagerViewController& screen, std::int64_t row) {
    ASSERT_TRUE(driver().tapRow(*screen.snTableView(), IndexPath::forRow(row)));
  }
  void confirm(WhitelistDeviceManagerViewController& screen) {
    ASSERT_TRUE(driver().tap(*screen.confirmButton()));
  }
};

TEST_F(WhitelistTest, StartsFromTheStoredListAndKeepsUnlistedSerialNumbers) {
  addTerminal("A1");
  addTerminal("C3");
  db->insertSetting(device_Acess_List, "A1:B2");
  auto screen = open();
  EXPECT_EQ(screen->title(), "Whitelist Device Manager");
  EXPECT_TRUE(screen->whitelistSwitch()->isOn());
  EXPECT_FALSE(screen->snTableView()->isHidden());
  EXPECT_EQ(screen->snTableView()->frame().height(), 88);
  EXPECT_TRUE(ticked(*screen, 0));
  EXPECT_FALSE(ticked(*screen, 1));
  EXPECT_EQ(screen->selectedSNSet(), (std::set<std::string>{"A1", "B2"}));

  // B2 is not listed but survives CONFIRM; the toast outlives the screen.
  confirm(*screen);
  EXPECT_EQ(setting(device_Acess_List), "A1:B2");
  EXPECT_EQ(top(), nav->viewControllers().front().get()) << "popped";
  EXPECT_EQ(driver().toast(), std::string(kWhitelistSaved));
  driver().advance(1.0);
  EXPECT_EQ(driver().toast(), std::string(kWhitelistSaved));
}

TEST_F(WhitelistTest, WithoutAStoredListTheSwitchIsOffAndTheListHidden) {
  addTerminal("A1");
  auto screen = open();
  EXPECT_FALSE(screen->whitelistSwitch()->isOn());
  EXPECT_TRUE(screen->snTableView()->isHidden());
  EXPECT_EQ(screen->deviceSNList(), (std::vector<std::string>{"A1"}));

  // Turning it on shows the list, unticked, and stores nothing.
  record();
  auto recorded = open();
  ASSERT_TRUE(driver().flip(*recorded->whitelistSwitch()));
  EXPECT_FALSE(recorded->snTableView()->isHidden());
  EXPECT_EQ(recorded->tableViewHeightConstraint()->constant(), 44);
  EXPECT_FALSE(ticked(*recorded, 0));
  EXPECT_TRUE(database->writes.empty());
  EXPECT_TRUE(facade->writes.empty());
}

TEST_F(WhitelistTest, SwitchingOffDeletesTheListAtOnce) {
  addTerminal("A1");
  addTerminal("C3");
  db->insertSetting(device_Acess_List, "A1:C3");
  auto screen = open();
  ASSERT_TRUE(driver().flip(*screen->whitelistSwitch()));
  EXPECT_EQ(setting(device_Acess_List), "");
  EXPECT_TRUE(screen->selectedSNSet().empty());
  EXPECT_TRUE(screen->snTableView()->isHidden());
  EXPECT_EQ(screen->tableViewHeightConstraint()->constant(), 0);

  // On again: the list is back with no ticks.
  ASSERT_TRUE(driver().flip(*screen->whitelistSwitch()));
  EXPECT_EQ(screen->snTableView()->frame().height(), 88);
  EXPECT_FALSE(ticked(*screen, 0));
  EXPECT_FALSE(ticked(*screen, 1));
  // Leaving by the back button keeps it deleted.
  ASSERT_TRUE(driver().back());
  EXPECT_EQ(setting(device_Acess_List), "");
}

TEST_F(WhitelistTest, RowsToggleAndNeverStaySelected) {
  addTerminal("A1");
  addTerminal("C3");
  db->insertSetting(device_Acess_List, "A1");
  auto screen = open();
  tapRow(*screen, 1);
  EXPECT_TRUE(ticked(*screen, 1));
  EXPECT_TRUE(screen->snTableView()->indexPathsForSelectedRows().empty());
  tapRow(*screen, 0);
  EXPECT_FALSE(ticked(*screen, 0));
  EXPECT_TRUE(screen->snTableView()->indexPathsForSelectedRows().empty());
  EXPECT_EQ(screen->selectedSNSet(), (std::set<std::string>{"C3"}));
  EXPECT_EQ(setting(device_Acess_List), "A1") << "nothing stored before CONFIRM";

  confirm(*screen);
  EXPECT_EQ(setting(device_Acess_List), "C3");
}

TEST_F(WhitelistTest, ConfirmWithNothingTickedDeletesTheList) {
  addTerminal("A1");
  db->insertSetting(device_Acess_List, "A1");
  auto screen = open();
  tapRow(*screen, 0);
  confirm(*screen);
  EXPECT_EQ(setting(device_Acess_List), "");
  EXPECT_EQ(driver().toast(), std::string(kWhitelistSaved));
}

TEST_F(WhitelistTest, ASerialNumberWithTheSeparatorIsNeverStored) {
  platform::ScopedLogCapture log;
  addTerminal("A1");
  addTerminal("X:1");
  db->insertSetting(device_Acess_List, "OLD");
  auto screen = open();
  tapRow(*screen, 1);
  tapRow(*screen, 0);
  tapRow(*screen, 0);
  ASSERT_EQ(screen->selectedSNSet(), (std::set<std::string>{"OLD", "X:1"}));
  confirm(*screen);
  EXPECT_EQ(setting(device_Acess_List), "OLD");
  EXPECT_TRUE(log.contains("'X:1' contains ':'"));

  // Nothing else ticked: nothing to store, and the screen says so and stays.
  auto lone = open();
  tapRow(*lone, 1);
  ASSERT_TRUE(driver().flip(*lone->whitelistSwitch()));  // off: deletes, clears
  ASSERT_TRUE(driver().flip(*lone->whitelistSwitch()));
  tapRow(*lone, 1);
  confirm(*lone);
  EXPECT_EQ(setting(device_Acess_List), "");
  EXPECT_EQ(top(), lone.get());
  EXPECT_EQ(driver().toast(), std::string(kWhitelistSaveFailed));
}

// A row shows the serial number safely and keeps it as stored.
TEST_F(WhitelistTest, AHostileSerialNumberShowsOnItsOwnLine) {
  addTerminal("SIM-\u202E4321\n2");
  auto screen = open();
  auto cell = screen->snTableView()->cellForRow(IndexPath::forRow(0));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->textLabel()->text(), "SIM-\u202E4321\n2");
  EXPECT_EQ(drawnText(*cell->textLabel()).text(), "SIM-\uFFFD4321\uFFFD2");
}

TEST_F(WhitelistTest, ASerialNumberWithAQuoteIsStoredAndReadBack) {
  const std::string sn = "A\"1'; DROP TABLE setting; --";
  addTerminal(sn);
  auto screen = open();
  ASSERT_TRUE(driver().flip(*screen->whitelistSwitch()));
  tapRow(*screen, 0);
  confirm(*screen);
  EXPECT_EQ(setting(device_Acess_List), sn);

  auto again = open();
  EXPECT_TRUE(again->whitelistSwitch()->isOn());
  EXPECT_TRUE(ticked(*again, 0));
}

// A second tap while a screen leaves reaches nothing: CONFIRM stores once
// and Back pops one screen, never the one beneath.
TEST_F(WhitelistTest, TapsWhileAScreenLeavesAreIgnored) {
  setTransitionDuration(0.35);
  addTerminal("A1");
  record();
  showInNavigation(std::make_shared<ViewController>());
  auto beneath = std::make_shared<ViewController>();
  nav->pushViewController(beneath, false);
  auto screen = std::make_shared<WhitelistDeviceManagerViewController>(env);
  nav->pushViewController(screen, false);
  driver().settle();
  ASSERT_TRUE(driver().flip(*screen->whitelistSwitch()));
  tapRow(*screen, 0);
  confirm(*screen);
  driver().tap(*screen->confirmButton());
  driver().advance(1.0);
  EXPECT_EQ(facade->writes, (testing::Calls{"deviceAcessList A1"}));
  EXPECT_EQ(top(), beneath.get());

  nav->pushViewController(std::make_shared<ViewController>(), false);
  driver().settle();
  ASSERT_TRUE(driver().back());
  driver().back();
  driver().advance(1.0);
  EXPECT_EQ(top(), beneath.get());
}

TEST_F(WhitelistTest, TheServiceListsOfTheInterface) {
  auto screen = open();
  EXPECT_EQ(screen->getServiceArray(), std::nullopt) << "no terminal";
  EXPECT_EQ(screen->getSeriviceList(), std::nullopt) << "nothing discovered";
  addTerminal("B2");
  addTerminal("A1");
  EXPECT_EQ(screen->getServiceArray(), (std::vector<std::string>{"B2", "A1"}));

  record();
  auto withFacade = open();
  const auto service = [](const std::string& sn, const std::string& id) {
    registry::ServiceInfo s;
    s.serviceSn = sn;
    s.serviceId = id;
    s.serviceType = "Purchase";
    return s;
  };
  facade->discovered = std::vector{service("A1", "pay"), service("B2", "pay"),
                                   service("A1", "refund"), registry::ServiceInfo{}};
  const auto bySn = withFacade->getSeriviceList();
  ASSERT_TRUE(bySn);
  ASSERT_EQ(bySn->size(), 2u);
  ASSERT_EQ(bySn->at("A1").size(), 2u);
  EXPECT_EQ(bySn->at("A1")[1].serviceId, "refund") << "in arrival order";
  EXPECT_EQ(bySn->at("B2").size(), 1u);
}

TEST_F(WhitelistTest, SelectionSplitsTheStoredValue) {
  EXPECT_TRUE(whitelistSelection("").empty());
  EXPECT_EQ(whitelistSelection("A1"), (std::set<std::string>{"A1"}));
  EXPECT_EQ(whitelistSelection("A1:B2:A1"), (std::set<std::string>{"A1", "B2"}));
}

TEST_F(WhitelistTest, TheCheckmarkView) {
  auto empty = WhitelistDeviceManagerViewController::createCheckmarkView(false);
  EXPECT_EQ(empty->frame(), Rect(0, 0, 24, 24));
  ASSERT_EQ(empty->subviews().size(), 1u);
  const View& square = *empty->subviews()[0];
  EXPECT_EQ(square.frame(), Rect(2, 2, 20, 20));
  EXPECT_EQ(square.borderWidth, 1.5);
  EXPECT_EQ(square.borderColor, Color::systemBlue());
  EXPECT_TRUE(square.subviews().empty());
  auto full = WhitelistDeviceManagerViewController::createCheckmarkView(true);
  EXPECT_NE(full->findDescendant<Label>([](const Label& l) { return l.text() == "✓"; }), nullptr);
}

}  // namespace
}  // namespace veltrix::ui::settings
