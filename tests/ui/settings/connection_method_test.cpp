// The connection-method list and the LAN settings: what the list shows of
// the stored methods, what each switch and row writes, and the port alert.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/lan_settings_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using facade::communicate_type_by_bluetooth;
using facade::communicate_type_by_lan;

class ConnectionMethodTest : public testing::SettingsScreenTest {
 protected:
  std::shared_ptr<ConnectionMethodViewController> showList() {
    return showInNavigation(std::make_shared<ConnectionMethodViewController>(env));
  }
  // The status label of a row of the list ("ON" or "OFF").
  std::string status(ConnectionMethodViewController& list, std::int64_t row) {
    auto cell = list.contentTableView()->cellForRow(IndexPath::forRow(row));
    if (!cell) return "no cell";
    auto labels = cell->contentView()->findAll<Label>();
    return labels.size() == 2 ? labels[1]->text() : "no status";
  }
  LANSettingsViewController* openLan(ConnectionMethodViewController& list) {
    EXPECT_TRUE(driver().tapRow(*list.contentTableView(), IndexPath::forRow(0)));
    return dynamic_cast<LANSettingsViewController*>(top());
  }
  Switch* rowSwitch(LANSettingsViewController& lan, std::int64_t row) {
    auto cell = lan.contentTableView()->cellForRow(IndexPath::forRow(row));
    return cell ? cell->findDescendant<Switch>() : nullptr;
  }
};

TEST_F(ConnectionMethodTest, StatusesFollowTheStoredSettings) {
  struct Case {
    const char* lan;
    const char* bluetooth;
    const char* lanShown;
    const char* bluetoothShown;
  };
  // Unset: LAN on, Bluetooth off; otherwise on when the number is above 0.
  const Case cases[] = {{nullptr, nullptr, "ON", "OFF"}, {"0", "1", "OFF", "ON"},
                        {"-1", "2", "OFF", "ON"},        {"2", "abc", "ON", "OFF"},
                        {"abc", "", "OFF", "OFF"},       {"", "0", "ON", "OFF"}};
  for (const Case& c : cases) {
    db->deleteSetting(communicate_type_by_lan);
    db->deleteSetting(communicate_type_by_bluetooth);
    if (c.lan) db->insertSetting(communicate_type_by_lan, c.lan);
    if (c.bluetooth) db->insertSetting(communicate_type_by_bluetooth, c.bluetooth);
    auto list = showList();
    EXPECT_EQ(status(*list, 0), c.lanShown) << (c.lan ? c.lan : "unset");
    EXPECT_EQ(status(*list, 1), c.bluetoothShown) << (c.bluetooth ? c.bluetooth : "unset");
  }
}

TEST_F(ConnectionMethodTest, ListLayout) {
  auto list = showList();
  EXPECT_EQ(list->title(), "Connection Setting");
  EXPECT_TRUE(driver().isTextVisible("Connection method"));
  EXPECT_TRUE(driver().isTextVisible("LAN"));
  EXPECT_TRUE(driver().isTextVisible("Bluetooth"));
  // 20 + 28 + 20 + 100 + 20.
  EXPECT_EQ(list->mainContainerView()->frame().height(), 188);
  // One line, between the rows; none under the last, also once a turn has
  // widened the rows.
  EXPECT_EQ(list->contentTableView()->separatorRects().size(), 1u);
  window().rotate(true);
  driver().advance(1);
  EXPECT_EQ(list->contentTableView()->separatorRects().size(), 1u);
}

TEST_F(ConnectionMethodTest, TheBluetoothRowOpensNothing) {
  auto list = showList();
  ASSERT_TRUE(driver().tapRow(*list->contentTableView(), IndexPath::forRow(1)));
  EXPECT_EQ(top(), list.get());
  EXPECT_FALSE(list->contentTableView()->indexPathForSelectedRow());
  EXPECT_EQ(setting(communicate_type_by_bluetooth), "");
}

TEST_F(ConnectionMethodTest, TurningLanOffByTheSwitchOrTheRowIsStoredAndShown) {
  auto list = showList();
  LANSettingsViewController* lan = openLan(*list);
  ASSERT_NE(lan, nullptr);
  EXPECT_FALSE(lan->title());
  Switch* lanSwitch = rowSwitch(*lan, 0);
  ASSERT_NE(lanSwitch, nullptr);
  EXPECT_TRUE(lanSwitch->isOn()) << "unset means on";

  ASSERT_TRUE(driver().flip(*lanSwitch));
  EXPECT_FALSE(lan->isLANEnabled());
  EXPECT_EQ(setting(communicate_type_by_lan), "0");
  ASSERT_TRUE(driver().back());
  EXPECT_EQ(status(*list, 0), "OFF") << "the list reads the setting again when it appears";

  lan = openLan(*list);
  ASSERT_NE(lan, nullptr);
  EXPECT_FALSE(rowSwitch(*lan, 0)->isOn());
  ASSERT_TRUE(driver().tapRow(*lan->contentTableView(), IndexPath::forRow(0)));
  EXPECT_EQ(setting(communicate_type_by_lan), "1");
  EXPECT_TRUE(rowSwitch(*lan, 0)->isOn()) << "the row is reloaded";
  ASSERT_TRUE(driver().tapRow(*lan->contentTableView(), IndexPath::forRow(0)));
  EXPECT_EQ(setting(communicate_type_by_lan), "0");
  ASSERT_TRUE(driver().back());
  EXPECT_EQ(status(*list, 0), "OFF");
}

TEST_F(ConnectionMethodTest, AuthenticationStaysInMemoryAndFollowsItsSwitch) {
  record();
  auto list = showList();
  LANSettingsViewController* lan = openLan(*list);
  ASSERT_NE(lan, nullptr);
  EXPECT_FALSE(lan->isAuthEnabled());
  ASSERT_TRUE(driver().tapRow(*lan->contentTableView(), IndexPath::forRow(1)));
  EXPECT_TRUE(lan->isAuthEnabled());
  EXPECT_TRUE(rowSwitch(*lan, 1)->isOn());

  // The switch itself moves the flag, so a later row tap keeps them together.
  ASSERT_TRUE(driver().flip(*rowSwitch(*lan, 1)));
  EXPECT_FALSE(lan->isAuthEnabled());
  ASSERT_TRUE(driver().tapRow(*lan->contentTableView(), IndexPath::forRow(1)));
  EXPECT_TRUE(lan->isAuthEnabled());
  EXPECT_TRUE(rowSwitch(*lan, 1)->isOn());

  EXPECT_TRUE(facade->writes.empty());
  EXPECT_TRUE(database->writes.empty());
}

TEST_F(ConnectionMethodTest, PortAlert) {
  auto lan = showInNavigation(std::make_shared<LANSettingsViewController>(env));
  EXPECT_TRUE(driver().isTextVisible("Passthrough Port Number"));
  EXPECT_TRUE(driver().isTextVisible("8423"));

  auto openAlert = [&]() -> AlertController* {
    EXPECT_TRUE(driver().tap(*lan->portContainerView()));
    EXPECT_EQ(lan->portContainerView()->transform(), Transform::scale(0.98, 0.98));
    driver().advance(0.1);
    EXPECT_TRUE(lan->portContainerView()->transform().isIdentity());
    return driver().alert();
  };
  AlertController* alert = openAlert();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->alertTitle(), "Passthrough Port Number");
  EXPECT_EQ(alert->message(), "");
  ASSERT_EQ(alert->textFields().size(), 1u);
  TextField& field = *alert->textFields()[0];
  EXPECT_EQ(field.text(), "8423");
  EXPECT_EQ(field.placeholder, "Port Number");
  EXPECT_EQ(field.keyboardType, KeyboardType::NumberPad);
  ASSERT_EQ(alert->actions().size(), 2u);
  EXPECT_EQ(alert->actions()[0].title, "Save");
  EXPECT_EQ(alert->actions()[0].style, AlertActionStyle::Default);
  EXPECT_EQ(alert->actions()[1].title, "Cancel");
  EXPECT_EQ(alert->actions()[1].style, AlertActionStyle::Cancel);

  // An empty field and anything but digits leave the port as it is.
  // Each save dismisses the alert: type into the field of the one open now.
  for (const char* text : {"", "80a", "-1", "80 80"}) {
    ASSERT_TRUE(driver().type(*alert->textFields()[0], text));
    ASSERT_TRUE(driver().tapAlertAction("Save"));
    EXPECT_FALSE(driver().alert());
    EXPECT_EQ(lan->portNumber(), "8423") << text;
    alert = openAlert();
    ASSERT_NE(alert, nullptr);
  }
  // No range check.
  ASSERT_TRUE(driver().type(*alert->textFields()[0], "99999"));
  ASSERT_TRUE(driver().tapAlertAction("Save"));
  EXPECT_EQ(lan->portNumber(), "99999");
  EXPECT_TRUE(driver().isTextVisible("99999"));

  alert = openAlert();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->textFields()[0]->text(), "99999");
  ASSERT_TRUE(driver().type(*alert->textFields()[0], "1234"));
  ASSERT_TRUE(driver().tapAlertAction("Cancel"));
  EXPECT_EQ(lan->portNumber(), "99999");

  // Never stored: a new screen starts again at 8423.
  auto again = std::make_shared<LANSettingsViewController>(env);
  nav->pushViewController(again, false);
  driver().settle();
  EXPECT_EQ(again->portNumber(), "8423");
}

// In the installed fonts the port's title and value share the row without
// overlapping on every phone, whatever the number of digits; a very long
// number keeps both ends in view.
TEST_F(ConnectionMethodTest, ThePortRowKeepsTitleAndValueApart) {
  ScopedTextMetrics fonts{std::make_shared<PangoMetrics>()};
  struct Case {
    DeviceProfile device;
    const char* port;
  };
  for (const Case& c :
       {Case{DeviceProfile::smallPhone(), "8423"}, Case{DeviceProfile::phone(), "1234567"},
        Case{DeviceProfile::phone(), "12345678901234567890123456789"}}) {
    makeWindow(c.device);
    auto lan = showInNavigation(std::make_shared<LANSettingsViewController>(env));
    ASSERT_TRUE(driver().tap(*lan->portContainerView()));
    driver().advance(0.1);
    ASSERT_NE(driver().alert(), nullptr);
    ASSERT_TRUE(driver().type(*driver().alert()->textFields()[0], c.port));
    ASSERT_TRUE(driver().tapAlertAction("Save"));
    driver().settle();
    const Label& title = *lan->portTitleLabel();
    const Label& value = *lan->portValueLabel();
    EXPECT_EQ(value.text(), c.port) << "kept as typed";
    EXPECT_TRUE(textFits(title)) << c.port;
    EXPECT_LE(title.frame().maxX(), value.frame().minX()) << c.port;
    EXPECT_GE(value.frame().minX(), 0) << c.port;
    EXPECT_LE(value.frame().maxX(), lan->portContainerView()->bounds().width()) << c.port;
    if (std::string(c.port).size() < 10) {
      EXPECT_TRUE(textFits(value)) << c.port;
    }
  }
}

TEST_F(ConnectionMethodTest, TheDeviceSettingsRowAlwaysShowsLan) {
  makeWindow();  // the main screen: 390 wide
  ConnectionMethodCell cell({{"sn", "A1"}, {"parameter", "ble"}});
  auto labels = cell.contentView()->findAll<Label>();
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0]->text(), "Connection Method");
  EXPECT_EQ(labels[1]->text(), "LAN");
  EXPECT_EQ(labels[1]->frame(), Rect(240, 10, 60, 40));
  auto* icon = cell.contentView()->findDescendant<ImageView>();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->frame(), Rect(308, 15, 30, 30)) << "clear of the value";
  ASSERT_TRUE(icon->image());
  EXPECT_EQ(icon->image()->name(), "icon_more_setting");
}

TEST_F(ConnectionMethodTest, AcceptedPorts) {
  EXPECT_EQ(acceptedPort("8423"), "8423");
  EXPECT_EQ(acceptedPort("0"), "0");
  EXPECT_EQ(acceptedPort("99999"), "99999");
  EXPECT_FALSE(acceptedPort(""));
  EXPECT_FALSE(acceptedPort("８４"));  // full-width digits are not digits here
  EXPECT_FALSE(acceptedPort("+1"));
}

}  // namespace
}  // namespace veltrix::ui::settings
