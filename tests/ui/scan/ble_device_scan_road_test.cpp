// The Bluetooth device list end to end: the screen on the library's
// Bluetooth LE transport and the simulated radio with tavio-sim's Bluetooth
// LE terminal, then payments through RetailerManager to the terminal the
// screen connected: one chosen on the library's scan screen, one naming the
// terminal's serial number.
#include <gtest/gtest.h>

#include <memory>

#include "ui/ble_road_fixture.h"
#include "veltrix/ui/scan/ble_device_scan_view_controller.h"

namespace veltrix::ui::scan {
namespace {

class BleDeviceScanRoadTest : public testing::BleRoadTest {
 protected:
  // The scan screen over the host, a second into its scan.
  std::shared_ptr<BLEDeviceScanViewController> showScan() {
    auto screen = std::make_shared<BLEDeviceScanViewController>(
        BLEDeviceScanViewController::Collaborators{makeBleDeviceLink(service), settings});
    showOverHost(screen);
    driver().advance(1);
    return screen;
  }
};

TEST_F(BleDeviceScanRoadTest, ATappedTerminalIsConnectedStoredAndCarriesThePayment) {
  sim::BleSimulator terminal(radio, {});
  auto screen = showScan();

  ASSERT_EQ(screen->deviceArray().size(), 1u);
  EXPECT_EQ(screen->deviceArray()[0].manufacturerName, terminal.sn());
  EXPECT_TRUE(driver().isTextVisible("Tavio T1 Pro"));
  EXPECT_TRUE(driver().isTextVisible(terminal.sn() + "\n-60 dBm"));
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "");

  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(0)));
  driver().advance(1);
  EXPECT_EQ(alertText(), "Connected Success");
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "1");
  EXPECT_TRUE(screen->scanBtn()->isEnabled());
  EXPECT_TRUE(service->isDeviceConnectedWithSN(terminal.sn()));
  driver().advance(2);
  EXPECT_EQ(driver().alert(), nullptr);

  payTwiceOverBluetooth(terminal);
}

// The user goes back while the terminal connects: the screen is gone when
// the connection reports back, and Bluetooth LE is turned on all the same.
TEST_F(BleDeviceScanRoadTest, AConnectionThatEndsAfterTheUserLeftIsStored) {
  sim::BleSimulator terminal(radio, {});
  auto screen = showScan();
  ASSERT_EQ(screen->deviceArray().size(), 1u);
  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(0)));
  nav->popViewController(false);
  std::weak_ptr<BLEDeviceScanViewController> gone = screen;
  screen.reset();
  runPending();
  ASSERT_TRUE(gone.expired());
  EXPECT_FALSE(service->isDeviceConnectedWithSN(terminal.sn())) << "still connecting";

  driver().advance(1);
  EXPECT_TRUE(service->isDeviceConnectedWithSN(terminal.sn()));
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "1");
  driver().advance(2);
  payTwiceOverBluetooth(terminal, /*leave=*/false);
}

// A terminal the LAN once knew, at an address where nothing answers now:
// once the device list has connected it, a payment naming it goes over
// Bluetooth LE, although its stored access parameter says "http".
TEST_F(BleDeviceScanRoadTest, ATerminalWhoseLanAddressIsSilentIsPaidOverBluetooth) {
  sim::BleSimulator terminal(radio, {});
  const std::string gone = "127.0.0.1:1";
  ASSERT_TRUE(db.insertDiscoveredTerminal(terminal.sn(), "T1 Pro", gone, "http", gone, 1, 0, 0,
                                          "1000", "1000", std::nullopt));
  ASSERT_TRUE(db.insertTerminalServices(terminal.sn(), "Purchase", "Purchase", std::nullopt, "pay",
                                        "Cashier", 1, "1000", "1000", "payment"));
  auto screen = showScan();
  ASSERT_TRUE(driver().tapRow(*screen->tableView(), IndexPath::forRow(0)));
  driver().advance(1);
  EXPECT_EQ(alertText(), "Connected Success");
  driver().advance(2);
  ASSERT_TRUE(driver().back());
  driver().settle();

  std::shared_ptr<Payment> payment = pay(terminal.sn(), "ORDER-26");
  ASSERT_NO_FATAL_FAILURE(expectOverBluetooth(terminal, *payment, 0));
  EXPECT_EQ(nav->viewControllers().size(), 1u) << "no scan screen";
}

}  // namespace
}  // namespace veltrix::ui::scan
