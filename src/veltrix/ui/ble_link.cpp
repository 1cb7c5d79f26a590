#include "veltrix/ui/ble_link.h"

#include <algorithm>
#include <utility>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"

namespace veltrix::ui {
namespace {

using transport::BLEPeripheralModel;

constexpr const char* kUnknownDevice = "Unknown Device";

class TransportLink final : public BleSettingsLink {
 public:
  explicit TransportLink(std::shared_ptr<transport::BLECommunicateService> service)
      : service_(std::move(service)) {}

  void startScan(transport::BLEScanSingleBlock block) override {
    service_->startScan(std::move(block));
  }
  void stopScan() override { service_->stopScan(); }
  void connectPeripheralWithModel(const BLEPeripheralModel& model,
                                  transport::BLEConnectCompletion completion) override {
    service_->connectPeripheralWithModel(model, std::move(completion));
  }
  void setConnectStatusChangeBlock(transport::BLEConnectStatusChangeBlock block) override {
    service_->setConnectStatusChangeBlock(std::move(block));
  }

  std::optional<transport::BLEConnectStatus> connectStatus(const std::string& sn) override {
    const auto& devices = service_->connectedDevices();
    const auto it = devices.find(sn);
    if (it == devices.end() || !it->second) return std::nullopt;
    return it->second->connectStatus;
  }
  std::optional<std::string> serviceUUIDString() override { return service_->serviceUUIDString(); }
  std::vector<std::string> connectedPeripheralIdentifiers(
      const platform::ble::BleUuid& service) override {
    std::vector<std::string> ids;
    const auto& central = service_->centralManager();
    if (!central) return ids;
    for (const auto& peripheral : central->retrieveConnectedPeripherals({service})) {
      if (peripheral) ids.push_back(peripheral->identifier());
    }
    return ids;
  }
  void clearLastConnectDevice() override { service_->clearLastConnectDevice(); }

 private:
  std::shared_ptr<transport::BLECommunicateService> service_;
};

}  // namespace

std::shared_ptr<BleSettingsLink> makeBleSettingsLink(
    std::shared_ptr<transport::BLECommunicateService> service) {
  return std::make_shared<TransportLink>(std::move(service));
}

std::shared_ptr<BleDeviceLink> makeBleDeviceLink(
    std::shared_ptr<transport::BLECommunicateService> service) {
  return makeBleSettingsLink(std::move(service));
}

void connectAndStoreBluetooth(BleDeviceLink& link,
                              std::shared_ptr<facade::RetailerSettingManager> settings,
                              const BLEPeripheralModel& model, BleConnectDone done) {
  link.connectPeripheralWithModel(
      model, [settings = std::move(settings), done = std::move(done)](
                 bool success, std::optional<std::string> message, std::optional<std::string>) {
        platform::postToMain([settings, done, success, message = std::move(message)] {
          platform::logf("Bluetooth connection: {}", message.value_or("(null)"));
          if (success && settings) {
            settings->setCommunicateType(facade::kCommunicateTypeBluetooth, true);
          }
          if (done) done(success, message);
        });
      });
}

bool isListedPeripheral(const BLEPeripheralModel& model) {
  return model.name && !model.name->empty() && *model.name != kUnknownDevice;
}

bool addScannedPeripheral(std::vector<BLEPeripheralModel>& devices,
                          const BLEPeripheralModel& model) {
  if (!isListedPeripheral(model)) return false;
  const bool known = model.uuidString &&
                     std::any_of(devices.begin(), devices.end(),
                                 [&](const auto& d) { return d.uuidString == model.uuidString; });
  if (known) return false;
  devices.push_back(model);
  return true;
}

}  // namespace veltrix::ui
