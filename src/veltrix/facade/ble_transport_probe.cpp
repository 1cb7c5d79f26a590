#include "veltrix/facade/ble_transport_probe.h"

#include <utility>

#include "veltrix/platform/ble/ble.h"

namespace veltrix::facade {

BleTransportProbeService::BleTransportProbeService(
    std::shared_ptr<transport::BLECommunicateService> service)
    : service_(std::move(service)) {}

bool BleTransportProbeService::isPoweredOn() const {
  const auto& central = service_->centralManager();
  return central && central->state() == platform::ble::ManagerState::PoweredOn;
}

bool BleTransportProbeService::isConnected(const std::string& sn) const {
  const std::shared_ptr<transport::BLEDeviceConnection> connection =
      service_->getConnectionBySN(sn);
  return connection && connection->connectStatus == transport::BLEConnectStatus::Ready;
}

void BleTransportProbeService::startScan(std::function<void(const BleSighting&)> onPeripheral) {
  if (!onPeripheral) return;
  service_->startScan(
      [onPeripheral = std::move(onPeripheral)](const transport::BLEPeripheralModel& model) {
        onPeripheral(BleSighting{model.manufacturerName, model.uuidString});
      });
}

void BleTransportProbeService::stopScan() { service_->stopScan(); }

}  // namespace veltrix::facade
