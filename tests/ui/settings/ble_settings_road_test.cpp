// The Bluetooth settings screen end to end: the screen on the library's
// Bluetooth LE transport and the simulated radio with tavio-sim's Bluetooth
// LE terminal, then a payment through RetailerManager to the terminal the
// screen connected.
#include <gtest/gtest.h>

#include <memory>

#include "ui/ble_road_fixture.h"
#include "veltrix/ui/settings/ble_settings_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using BleSettingsRoadTest = testing::BleRoadTest;

TEST_F(BleSettingsRoadTest, ATappedTerminalIsConnectedStoredAndCarriesThePayment) {
  sim::BleSimulator terminal(radio, {});
  auto screen = std::make_shared<BleSettingsViewController>(
      BleSettingsViewController::Collaborators{makeBleSettingsLink(service), settings, &db});
  show(std::make_shared<NavigationController>(screen));
  driver().advance(1);

  ASSERT_EQ(screen->deviceArray().size(), 1u);
  const transport::BLEPeripheralModel found = screen->deviceArray()[0];
  EXPECT_EQ(found.manufacturerName, terminal.sn());
  EXPECT_EQ(found.uuidString, terminal.identifier());
  for (const std::string& text : {std::string("Tavio T1 Pro"), terminal.sn(),
                                  std::string("-60 dBm"), std::string("Unpaired")}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  EXPECT_FALSE(screen->isBleEnabled());

  ASSERT_TRUE(driver().tapRow(*screen->deviceTableView(), IndexPath::forRow(0)));
  EXPECT_FALSE(screen->isScanning());
  driver().advance(1);
  EXPECT_EQ(alertText(), "Device connected and ready for communication");
  EXPECT_EQ(db.fetchSetting("CommunicateTypeByBluetooth"), "1");
  EXPECT_TRUE(screen->isBleEnabled());
  EXPECT_TRUE(screen->pairButton()->isEnabled());
  EXPECT_TRUE(service->isDeviceConnectedWithSN(terminal.sn()));
  EXPECT_TRUE(screen->isDevicePaired(found));
  driver().advance(2);
  EXPECT_TRUE(driver().isTextVisible("Paired"));
  EXPECT_EQ(driver().alert(), nullptr);

  payAndExpectItOverBluetooth(terminal);
}

TEST_F(BleSettingsRoadTest, AConnectedTerminalIsPairedByTheRadioWhenTheTransportHasAUuid) {
  sim::BleSimulator terminal(radio, {});
  // An address that is the terminal service's UUID: the radio is asked.
  service->initWithServiceAddress(std::string(transport::kBleServiceUUID));
  auto link = makeBleSettingsLink(service);
  auto screen = std::make_shared<BleSettingsViewController>(
      BleSettingsViewController::Collaborators{link, settings, &db});
  show(std::make_shared<NavigationController>(screen));
  driver().advance(1);
  ASSERT_EQ(screen->deviceArray().size(), 1u);
  transport::BLEPeripheralModel found = screen->deviceArray()[0];
  EXPECT_FALSE(screen->isDevicePaired(found));

  screen->connectDevice(found);
  driver().advance(1);
  ASSERT_TRUE(service->isDeviceConnectedWithSN(terminal.sn()));
  // Under another serial number the transport has no record: only the
  // radio's connected peripherals tell.
  found.manufacturerName = "TAVIO-ELSEWHERE";
  EXPECT_TRUE(screen->isDevicePaired(found));
  service->initWithServiceAddress(terminal.sn());
  EXPECT_FALSE(screen->isDevicePaired(found));
}

}  // namespace
}  // namespace veltrix::ui::settings
