// The Bluetooth device list screen over a fake transport link and the real
// settings facade on a temporary database, pushed in a navigation
// controller and driven on the manual clock.
#include "veltrix/ui/scan/ble_device_scan_view_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_ble_link.h"
#include "support/ui_test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/registry/database_manager.h"

namespace veltrix::ui::scan {
namespace {

using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;

using FakeLink = testing::FakeBleLink;
using testing::peripheral;

class BleDeviceScanTest : public testing::UiTest {
 protected:
  BleDeviceScanTest()
      : db(docs() / "screen.sqlite"),
        settings(std::make_shared<facade::RetailerSettingManager>(db)),
        link(std::make_shared<FakeLink>()),
        screen(makeScreen()),
        nav(std::make_shared<NavigationController>(screen)) {
    show(nav);
  }
  // Transitions and timers still pending hold views: let them end here.
  ~BleDeviceScanTest() override { driver().advance(3); }

  // A screen of its own on the test's link and settings.
  std::shared_ptr<BLEDeviceScanViewController> makeScreen() {
    return std::make_shared<BLEDeviceScanViewController>(
        BLEDeviceScanViewController::Collaborators{link, settings});
  }

  std::string bluetoothSetting() { return db.fetchSetting("CommunicateTypeByBluetooth"); }
  bool busy() {
    return !screen->scanBtn()->isEnabled() && screen->loadingView()->isAnimating() &&
           !screen->loadingView()->isHidden();
  }
  std::optional<std::string> alertText() {
    AlertController* alert = driver().alert();
    if (!alert) return std::nullopt;
    return alert->message();
  }

  registry::DatabaseManager db;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  std::shared_ptr<FakeLink> link;
  std::shared_ptr<BLEDeviceScanViewController> screen;
  std::shared_ptr<NavigationController> nav;
};

TEST_F(BleDeviceScanTest, ListsNamedTerminalsOnceEachWithSerialAndSignal) {
  EXPECT_TRUE(driver().isTextVisible("Ble Device Scan"));
  ASSERT_EQ(link->scans, 1) << "showing the screen scans";
  link->report(peripheral(std::nullopt, "U0"));
  link->report(peripheral("", "U1"));
  link->report(peripheral("Unknown Device", "U2"));
  link->report(peripheral("Tavio T1", "A", -58, "TAVIO-0001"));
  link->report(peripheral("Tavio T1 (again)", "A", -40, "TAVIO-0001"));
  link->report(peripheral("Tavio T2", "B", std::nullopt, "TAVIO-0002"));
  driver().settle();

  ASSERT_EQ(screen->deviceArray().size(), 2u);
  EXPECT_EQ(screen->tableView()->numberOfRows(0), 2);
  EXPECT_TRUE(driver().isTextVisible("Tavio T1"));
  EXPECT_TRUE(driver().isTextVisible("TAVIO-0001\n-58 dBm"));
  EXPECT_TRUE(driver().isTextVisible("Tavio T2"));
  EXPECT_TRUE(driver().isTextVisible("TAVIO-0002\nUnknown RSSI"));
  EXPECT_FALSE(driver().isTextVisible("Tavio T1 (again)"));
  EXPECT_FALSE(driver().isTextVisible("Unknown Device"));
}

// On a phone on its side the rows' texts and the button keep clear of the
// sensor housing and the home indicator; on every device the list and the
// button follow the screen when it turns, the list ending above the button.
TEST_F(BleDeviceScanTest, RowsAndButtonStayInTheSafeAreaAndFollowATurn) {
  for (const DeviceProfile& device : everyDevice()) {
    makeWindow(device.inOrientation(true));
    screen = makeScreen();
    show(std::make_shared<NavigationController>(screen));
    link->report(peripheral("Tavio T1", "A", -58, "TAVIO-0001"));
    for (const bool landscape : {true, false, true}) {
      SCOPED_TRACE(device.name + (landscape ? " landscape" : " portrait"));
      window().rotate(landscape);
      driver().settle();
      auto cell = screen->tableView()->visibleCells().at(0);
      EXPECT_TRUE(onScreen(*cell->textLabel()));
      EXPECT_TRUE(onScreen(*cell->detailTextLabel()));
      EXPECT_TRUE(onScreen(*screen->scanBtn()));
      EXPECT_LE(screen->tableView()->frame().maxY(), screen->scanBtn()->frame().minY());
      EXPECT_EQ(screen->tableView()->frame().width(), window().bounds().width());
    }
  }
}

TEST_F(BleDeviceScanTest, AScanEndsAfterFiveSecondsAndANewOneIsNotCutShort) {
  EXPECT_TRUE(busy());
  EXPECT_EQ(screen->scanBtn()->currentTitle(), "Scanning...");
  EXPECT_EQ(screen->scanBtn()->currentTitleColor(), Color::white(1, 0.7)) << "readable on blue";
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(3);
  ASSERT_EQ(screen->deviceArray().size(), 1u);

  // Coming back to the screen within those five seconds scans anew.
  nav->pushViewController(std::make_shared<ViewController>(), false);
  driver().settle();
  nav->popViewController(false);
  driver().settle();
  EXPECT_EQ(link->scans, 2);
  EXPECT_TRUE(screen->deviceArray().empty());
  EXPECT_EQ(screen->tableView()->numberOfRows(0), 0);

  driver().advance(2.5);  // the first scan's five seconds are over
  EXPECT_TRUE(busy());
  EXPECT_EQ(link->stops, 0);
  driver().advance(2.5);
  EXPECT_FALSE(busy());
  EXPECT_EQ(link->stops, 1);
  EXPECT_TRUE(screen->loadingView()->isHidden());
  EXPECT_EQ(screen->scanBtn()->currentTitle(), "Start Scan");

  // The button starts the next one.
  ASSERT_TRUE(driver().tap(*screen->scanBtn()));
  EXPECT_EQ(link->scans, 3);
  EXPECT_TRUE(busy());
}

TEST_F(BleDeviceScanTest, ASuccessfulConnectionTurnsBluetoothOnFromTheMainLoop) {
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(1);
  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(0)));
  ASSERT_EQ(link->connects.size(), 1u);
  EXPECT_EQ(link->connects[0].uuidString, "A");
  EXPECT_FALSE(link->scanBlock) << "the scan stops for the connection";
  EXPECT_TRUE(busy());
  EXPECT_FALSE(screen->tableView()->indexPathForSelectedRow());

  // The scan's pending stop would have come now.
  driver().advance(4.5);
  EXPECT_TRUE(busy());

  link->completeOffMain(true, "Device connected and ready for communication");
  EXPECT_EQ(bluetoothSetting(), "") << "written on the main loop, not on the completion's thread";
  driver().settle();
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_TRUE(settings->getCommunicateTypeState(facade::kCommunicateTypeBluetooth));
  EXPECT_FALSE(busy());
  EXPECT_EQ(alertText(), "Device connected and ready for communication");
  EXPECT_EQ(screen->deviceArray().size(), 1u);
}

TEST_F(BleDeviceScanTest, AFailedConnectionLeavesTheSettingAlone) {
  ASSERT_TRUE(db.insertSetting("CommunicateTypeByBluetooth", "0"));
  link->report(peripheral("Tavio T1", "A"));
  driver().settle();
  screen->connectDevice(screen->deviceArray()[0]);
  link->statusBlock(BLEConnectStatus::Failed, "Discover services failed", "TAVIO-0001");
  driver().settle();
  EXPECT_EQ(alertText(), "Connect Failed");
  EXPECT_TRUE(screen->scanBtn()->isEnabled()) << "status 3 gives the button back";
  EXPECT_TRUE(screen->loadingView()->isAnimating()) << "but leaves the indicator";

  link->completeOffMain(false, "Discover services failed");
  driver().settle();
  EXPECT_EQ(bluetoothSetting(), "0");
  EXPECT_FALSE(busy());
  EXPECT_EQ(alertText(), "Discover services failed");
  EXPECT_EQ(screen->deviceArray().size(), 1u);

  // A later success updates the stored "0".
  screen->connectDevice(screen->deviceArray()[0]);
  link->completeOffMain(true, "Device connected and ready for communication");
  driver().settle();
  EXPECT_EQ(bluetoothSetting(), "1");
}

TEST_F(BleDeviceScanTest, StatusAlertsReplaceEachOtherAndGoAfterOnePointTwoSeconds) {
  link->statusBlock(BLEConnectStatus::Disconnected, "gone", "TAVIO-0001");
  link->statusBlock(static_cast<BLEConnectStatus>(7), "odd", "TAVIO-0001");
  driver().settle();
  EXPECT_EQ(driver().alert(), nullptr);

  link->statusBlock(BLEConnectStatus::Connecting, "Start connecting device", "TAVIO-0001");
  driver().advance(1.0);
  EXPECT_EQ(alertText(), "Connecting...");
  EXPECT_EQ(driver().alert()->alertTitle(), std::nullopt);
  EXPECT_TRUE(driver().alert()->actions().empty());

  // Two more before the loop turns: the last one shows.
  link->statusBlock(BLEConnectStatus::Failed, "failed", "TAVIO-0001");
  link->statusBlock(BLEConnectStatus::Ready, "ready", "TAVIO-0001");
  driver().settle();
  EXPECT_EQ(alertText(), "Connected Success");
  // The first alert's 1.2 s are over; the second's are not.
  driver().advance(0.5);
  EXPECT_EQ(alertText(), "Connected Success");
  driver().advance(0.65);
  EXPECT_EQ(alertText(), "Connected Success");
  driver().advance(0.1);
  driver().advance(0.4);  // the animated dismissal
  EXPECT_EQ(driver().alert(), nullptr);
  EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(BleDeviceScanTest, TheStatusHandlerOutlivesTheScreenHarmlessly) {
  const int stops = link->stops;
  window().setRootViewController(nullptr);
  nav.reset();
  screen.reset();
  driver().settle();
  EXPECT_EQ(link->stops, stops + 1) << "leaving stops the scan";
  ASSERT_TRUE(link->statusBlock);
  link->statusBlock(BLEConnectStatus::Ready, "ready", "TAVIO-0001");
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(6);
  EXPECT_EQ(driver().alert(), nullptr);
}

// The connection answers during the Back transition: its alert sits on the
// host's navigation controller and goes after 1.2 s, screen or no screen.
TEST_F(BleDeviceScanTest, AnAlertShownWhileTheScreenLeavesStillGoes) {
  auto host = std::make_shared<NavigationController>(std::make_shared<ViewController>());
  show(host);
  auto leaving = makeScreen();
  host->pushViewController(leaving, false);
  driver().settle();
  link->report(peripheral("Tavio T1", "A"));
  driver().settle();
  leaving->connectDevice(leaving->deviceArray().at(0));

  ASSERT_TRUE(driver().back());
  link->completeOffMain(true, "Device connected and ready for communication");
  driver().settle();
  EXPECT_EQ(alertText(), "Device connected and ready for communication");
  std::weak_ptr<BLEDeviceScanViewController> gone = leaving;
  leaving.reset();
  driver().advance(0.5);
  EXPECT_TRUE(gone.expired());
  driver().advance(1.5);
  EXPECT_EQ(driver().alert(), nullptr);
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

// Before its view loads the screen only asks the transport: nothing to show
// the scan or the connection on, and no crash.
TEST_F(BleDeviceScanTest, CallsBeforeTheViewLoadedOnlyReachTheTransport) {
  auto unloaded = makeScreen();
  const int scans = link->scans;
  unloaded->scanBtnClick();
  unloaded->stopScan();
  unloaded->connectDevice(peripheral("Tavio T1", "A"));
  link->completeOffMain(true, "Device connected and ready for communication");
  driver().advance(6);
  EXPECT_EQ(link->scans, scans + 1);
  EXPECT_EQ(link->connects.size(), 1u);
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_FALSE(unloaded->isViewLoaded());
}

TEST(BleDeviceScanTexts, DetailAndStatusTexts) {
  EXPECT_EQ(peripheralDetailText(peripheral("T", "A", -71, "SN1")), "SN1\n-71 dBm");
  EXPECT_EQ(peripheralDetailText(peripheral("T", "A", std::nullopt, "SN1")), "SN1\nUnknown RSSI");
  // The serial number cannot add a line or reorder itself; the break is ours.
  EXPECT_EQ(peripheralDetailText(peripheral("T", "A", -71, "S\nN\u202E1")),
            "S\uFFFDN\uFFFD1\n-71 dBm");
  EXPECT_FALSE(bleStatusDisplay(BLEConnectStatus::Disconnected));
  EXPECT_EQ(bleStatusDisplay(BLEConnectStatus::Connecting)->text, "Connecting...");
  EXPECT_FALSE(bleStatusDisplay(BLEConnectStatus::Ready)->enablesScanButton);
  EXPECT_TRUE(bleStatusDisplay(BLEConnectStatus::Failed)->enablesScanButton);
}

}  // namespace
}  // namespace veltrix::ui::scan
