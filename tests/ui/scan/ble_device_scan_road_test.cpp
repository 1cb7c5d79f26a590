// The Bluetooth device list end to end: the screen on the library's
// Bluetooth LE transport and the simulated radio with tavio-sim's Bluetooth
// LE terminal, then a payment through RetailerManager to the terminal the
// screen connected.
#include <gtest/gtest.h>

#include <memory>

#include "ui/ble_road_fixture.h"
#include "veltrix/ui/scan/ble_device_scan_view_controller.h"

namespace veltrix::ui::scan {
namespace {

using BleDeviceScanRoadTest = testing::BleRoadTest;

TEST_F(BleDeviceScanRoadTest, ATappedTerminalIsConnectedStoredAndCarriesThePayment) {
  sim::BleSimulator terminal(radio, {});
  auto screen = std::make_shared<BLEDeviceScanViewController>(
      BLEDeviceScanViewController::Collaborators{makeBleDeviceLink(service), settings});
  show(std::make_shared<NavigationController>(screen));
  driver().advance(1);

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

  payAndExpectItOverBluetooth(terminal);
}

}  // namespace
}  // namespace veltrix::ui::scan
