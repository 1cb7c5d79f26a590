// The device settings screen: its rows, the pairing switch's row of this
// device, "Forget All", and what the remember popup's answer does to the
// tapped row.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/settings/settings_test_env.h"
#include "veltrix/platform/clock.h"
#include "veltrix/ui/settings/device_settings_controller.h"
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using registry::rowInt;
using registry::rowText;

constexpr const char* kDevice = "5D1E3C0A-0000-4000-8000-00000000D3C1";

class DeviceSettingsTest : public testing::SettingsScreenTest {
 protected:
  DeviceSettingsTest() {
    env.deviceIdentifier = [] { return std::string(kDevice); };
  }

  void addService(const std::string& sn, const std::string& type, const std::string& id,
                  std::int64_t enabled = 1) {
    ASSERT_TRUE(db->insertTerminalServices(sn, type, type, "com.tavio.cashier", id, "Cashier",
                                           enabled, "1000", "1000", "payment"));
  }
  void remember(const std::string& type, const std::string& sn) {
    ASSERT_TRUE(db->insertRememberServices(sn, type, std::nullopt, "pay", "", "1000"));
  }
  std::shared_ptr<DeviceSettingsController> open() {
    auto screen =
        std::make_shared<DeviceSettingsController>(registry::Row{}, registry::Rows{}, env);
    screen->rememberPopupMaker = [this](RememberPopupRequest request, const SettingsEnvironment&) {
      popups.push_back(std::move(request));
      return std::make_shared<ViewController>();
    };
    return pushOverRoot(screen);
  }
  TerminalServicesCell* typeRow(DeviceSettingsController& screen, std::int64_t row) {
    screen.tableView()->scrollToRow(IndexPath::forRow(row, 2));
    driver().settle();
    return dynamic_cast<TerminalServicesCell*>(
        screen.tableView()->cellForRow(IndexPath::forRow(row, 2)).get());
  }
  AuthenticationCell* authRow(DeviceSettingsController& screen) {
    return dynamic_cast<AuthenticationCell*>(
        screen.tableView()->cellForRow(IndexPath::forRow(0, 1)).get());
  }
  // The type whose row is `row`, in the order the screen lists them.
  std::string typeOf(DeviceSettingsController& screen, std::int64_t row) {
    return rowText(screen.serviceTypeList().at(static_cast<std::size_t>(row - 1)), "serviceType")
        .value_or("");
  }

  std::vector<RememberPopupRequest> popups;
};

TEST_F(DeviceSettingsTest, WithoutServicesOnlyForgetAllIsListed) {
  auto screen = open();
  EXPECT_EQ(screen->title(), "Device Setting");
  TableView& table = *screen->tableView();
  ASSERT_EQ(table.numberOfSections(), 3);
  EXPECT_EQ(table.numberOfRows(0), 1);
  EXPECT_EQ(table.numberOfRows(1), 1);
  EXPECT_EQ(table.numberOfRows(2), 1);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 0)).height(), 70);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 1)).height(), 70);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 2)).height(), 50);
  for (const char* text :
       {"Connection Method", "LAN", "Authentication", "Remember options", "Forget All"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  EXPECT_FALSE(screen->authFlag());
  EXPECT_FALSE(authRow(*screen)->authSwitch()->isOn());
}

// On the small phone, in the installed fonts, the titles and a remembered
// serial number are whole and the options' title stays clear of "Forget All".
TEST_F(DeviceSettingsTest, TheSmallPhoneKeepsTheTitlesWholeAndApart) {
  ScopedTextMetrics fonts{std::make_shared<PangoMetrics>()};
  makeWindow(DeviceProfile::smallPhone());
  addService("TAVIO-T310-00342", "Purchase", "pay");
  remember("Purchase", "TAVIO-T310-00342");
  auto screen = open();
  ASSERT_NE(typeRow(*screen, 1), nullptr);
  for (const char* text : {"Connection Method", "Remember options", "TAVIO-T310-00342"}) {
    const Label* label = driver().labelWithText(text);
    ASSERT_NE(label, nullptr) << text;
    EXPECT_TRUE(textFits(*label)) << text;
  }
  const Button* forget = driver().buttonWithTitle("Forget All");
  ASSERT_NE(forget, nullptr);
  EXPECT_LE(driver().labelWithText("Remember options")->frame().maxX(), forget->frame().minX());
}

TEST_F(DeviceSettingsTest, OneRowPerServiceTypeCountingDisabledServices) {
  addService("TAVIO-A-0001", "Purchase", "pay");
  addService("TAVIO-B-0002", "Purchase", "pay");
  addService("TAVIO-C-0003", "Purchase", "pay", 2);
  addService("TAVIO-A-0001", "Refund", "pay");
  remember("Refund", "TAVIO-A-0001");
  auto screen = open();
  ASSERT_EQ(screen->tableView()->numberOfRows(2), 3);
  EXPECT_EQ(screen->tableView()->rectForRow(IndexPath::forRow(2, 2)).height(), 80);
  for (std::int64_t row : {1, 2}) {
    TerminalServicesCell* cell = typeRow(*screen, row);
    ASSERT_NE(cell, nullptr);
    if (typeOf(*screen, row) == "Purchase") {
      EXPECT_EQ(cell->countLabel()->text(), "Remote 3");
      EXPECT_EQ(cell->snLabel()->text(), "");
    } else {
      EXPECT_EQ(cell->countLabel()->text(), "Remote 1");
      EXPECT_EQ(cell->snLabel()->text(), "TAVIO-A-0001");
    }
  }
  EXPECT_EQ(remoteCountText({{"serviceType", std::string("Print")}}), "Remote 0");
}

TEST_F(DeviceSettingsTest, ThePairingRowIsInsertedOnceThenUpdated) {
  record();
  const std::int64_t before = platform::nowMillis();
  auto screen = open();
  ASSERT_TRUE(driver().flip(*authRow(*screen)->authSwitch()));
  registry::Row stored = db->fetchDeviceAuthInfoWithSn(kDevice);
  EXPECT_EQ(rowInt(stored, "status"), 1);
  EXPECT_EQ(rowText(stored, "authType"), "DCA");
  EXPECT_EQ(rowText(stored, "supportauthType"), "DCA");
  const std::optional<std::string> firstTime = rowText(stored, "authTime");
  EXPECT_EQ(firstTime, std::to_string(before));
  EXPECT_TRUE(screen->authFlag());

  advanceSeconds(5);
  ASSERT_TRUE(driver().flip(*authRow(*screen)->authSwitch()));
  stored = db->fetchDeviceAuthInfoWithSn(kDevice);
  EXPECT_EQ(rowInt(stored, "status"), 0);
  EXPECT_EQ(rowText(stored, "authType"), "DCA");
  EXPECT_EQ(rowText(stored, "authTime"), firstTime);
  EXPECT_EQ(database->writes,
            (testing::Calls{"insertDeviceAuthInfo 1 DCA", "updateDeviceAuthInfo 0"}));

  // The flag follows the store, so a rebuilt row shows it.
  EXPECT_FALSE(screen->authFlag());
  screen->tableView()->reloadData();
  driver().settle();
  EXPECT_FALSE(authRow(*screen)->authSwitch()->isOn());
}

TEST_F(DeviceSettingsTest, TheSwitchStartsFromTheStoredRowAndGoesBackWhenNotStored) {
  ASSERT_TRUE(db->insertDeviceAuthInfo(kDevice, 1, "DCA", "DCA", "1000"));
  record();
  database->failWrites = true;
  auto screen = open();
  EXPECT_TRUE(screen->authFlag());
  Switch& control = *authRow(*screen)->authSwitch();
  EXPECT_TRUE(control.isOn());
  ASSERT_TRUE(driver().flip(control));
  EXPECT_TRUE(control.isOn());
  EXPECT_TRUE(screen->authFlag());
  EXPECT_EQ(rowInt(db->fetchDeviceAuthInfoWithSn(kDevice), "status"), 1);
}

TEST_F(DeviceSettingsTest, ForgetAllClearsTheDatabaseAndTheVisibleRows) {
  addService("TAVIO-A-0001", "Purchase", "pay");
  addService("TAVIO-A-0001", "Refund", "pay");
  remember("Purchase", "TAVIO-A-0001");
  remember("Refund", "TAVIO-A-0001");
  remember("ALL", "TAVIO-A-0001");
  auto screen = open();
  EXPECT_EQ(typeRow(*screen, 1)->snLabel()->text(), "TAVIO-A-0001");
  EXPECT_EQ(typeRow(*screen, 2)->snLabel()->text(), "TAVIO-A-0001");

  screen->tableView()->scrollToRow(IndexPath::forRow(0, 2));
  driver().settle();
  ASSERT_TRUE(driver().tap(*driver().buttonWithTitle("Forget All")));
  EXPECT_TRUE(db->fetchRememberServices().empty());
  EXPECT_EQ(typeRow(*screen, 1)->snLabel()->text(), "");
  EXPECT_EQ(typeRow(*screen, 2)->snLabel()->text(), "");
  EXPECT_EQ(driver().toast(), std::nullopt);
  EXPECT_TRUE(popups.empty()) << "the button's tap does not reach the row";

  auto again = open();
  EXPECT_EQ(typeRow(*again, 1)->snLabel()->text(), "");
}

TEST_F(DeviceSettingsTest, TheRememberPopupsAnswerUpdatesItsRow) {
  addService("TAVIO-A-0001", "Purchase", "pay");
  addService("TAVIO-B-0002", "Purchase", "pay", 2);
  remember("Purchase", "TAVIO-B-0002");
  auto screen = open();
  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(1, 2)));
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0].options.size(), 2u) << "every terminal's, enabled or not";
  EXPECT_EQ(rowText(popups[0].remembered, "sn"), "TAVIO-B-0002");
  EXPECT_EQ(popups[0].sn, std::nullopt);
  driver().advance(0.5);
  EXPECT_NE(screen->presentedViewController(), nullptr);

  popups[0].completion("1", "TAVIO-A-0001");
  EXPECT_EQ(typeRow(*screen, 1)->snLabel()->text(), "TAVIO-A-0001");
  popups[0].completion("2", "TAVIO-A-0001");
  EXPECT_EQ(typeRow(*screen, 1)->snLabel()->text(), "");
}

TEST_F(DeviceSettingsTest, TheRememberPopupStoresAndItsRowFollows) {
  addService("TAVIO-A-0001", "Purchase", "pay");
  auto screen = pushOverRoot(
      std::make_shared<DeviceSettingsController>(registry::Row{}, registry::Rows{}, env));
  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(1, 2)));
  driver().advance(0.5);
  auto* popup = dynamic_cast<MultiSelectPopupViewController*>(screen->presentedViewController());
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(driver().isTextVisible("Remember Option"));
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tap(*driver().buttonWithTitle("Save")));
  driver().advance(0.5);
  EXPECT_EQ(screen->presentedViewController(), nullptr);
  EXPECT_EQ(rowText(db->fetchRememberServicesWithType("Purchase"), "sn"), "TAVIO-A-0001");
  EXPECT_EQ(typeRow(*screen, 1)->snLabel()->text(), "TAVIO-A-0001");
}

}  // namespace
}  // namespace veltrix::ui::settings
