// What the Bluetooth screens need of the Bluetooth LE transport, and the
// scan-list rules they share.
//
// Thread: the main loop. Blocks given to a link may come on any thread; the
// screens move them to the main loop before they touch a view.
// Ownership: a link over the library's transport holds that transport.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/ble/ble.h"
#include "veltrix/transport/ble_communicate_service.h"

namespace veltrix::ui {

// Scanning and connecting: the Bluetooth device list screen.
class BleDeviceLink {
 public:
  virtual ~BleDeviceLink() = default;
  virtual void startScan(transport::BLEScanSingleBlock block) = 0;
  virtual void stopScan() = 0;
  virtual void connectPeripheralWithModel(const transport::BLEPeripheralModel& model,
                                          transport::BLEConnectCompletion completion) = 0;
  // Replaces the transport's single connection-status handler.
  virtual void setConnectStatusChangeBlock(transport::BLEConnectStatusChangeBlock block) = 0;
};

// Also what the Bluetooth settings screen reads to tell a paired terminal,
// and the forgetting of the last connected device.
class BleSettingsLink : public BleDeviceLink {
 public:
  // The state of the transport's connection record for `sn`, if it has one.
  virtual std::optional<transport::BLEConnectStatus> connectStatus(const std::string& sn) = 0;
  // The address last given to the transport; it need not be a UUID.
  virtual std::optional<std::string> serviceUUIDString() = 0;
  // Identifier texts of the peripherals connected to the system that offer
  // `service`.
  virtual std::vector<std::string> connectedPeripheralIdentifiers(
      const platform::ble::BleUuid& service) = 0;
  virtual void clearLastConnectDevice() = 0;
};

// Links over the library's transport (the process-wide one by default).
std::shared_ptr<BleSettingsLink> makeBleSettingsLink(
    std::shared_ptr<transport::BLECommunicateService> service =
        transport::BLECommunicateService::sharedServicePtr());
std::shared_ptr<BleDeviceLink> makeBleDeviceLink(
    std::shared_ptr<transport::BLECommunicateService> service =
        transport::BLECommunicateService::sharedServicePtr());

// Connects `model` through `link`. On the main loop, a success turns the
// Bluetooth connection method on whether or not the screen that asked is
// still there (the terminal is connected either way), then `done` runs with
// the transport's message; `done` holds its screen weakly.
using BleConnectDone = std::function<void(bool success, const std::optional<std::string>& message)>;
void connectAndStoreBluetooth(BleDeviceLink& link,
                              std::shared_ptr<facade::RetailerSettingManager> settings,
                              const transport::BLEPeripheralModel& model, BleConnectDone done);

// A scan result worth a row: it has a name other than "" and "Unknown
// Device".
bool isListedPeripheral(const transport::BLEPeripheralModel& model);
// Appends `model` when it is listed and no entry has its identifier (an
// absent identifier never matches); true when it was appended.
bool addScannedPeripheral(std::vector<transport::BLEPeripheralModel>& devices,
                          const transport::BLEPeripheralModel& model);

}  // namespace veltrix::ui
