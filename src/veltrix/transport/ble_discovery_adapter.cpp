#include "veltrix/transport/ble_discovery_adapter.h"

#include <utility>

#include "veltrix/platform/log.h"

namespace veltrix::transport {

// Sits in the transport's delegate slot and passes handshakes on.
struct BLEDiscoveryAdapter::Forwarder final : BLECommunicateServiceDelegate {
  std::weak_ptr<BleDiscoveryDelegate> delegate;

  void didReceiveData(const std::string& text, const std::string& sn) override {
    if (const auto d = delegate.lock()) d->didReceiveData(text, sn);
  }
};

BLEDiscoveryAdapter& BLEDiscoveryAdapter::shared() {
  // Never destroyed: the transport may still call into it while the process
  // exits.
  static auto* adapter = new BLEDiscoveryAdapter(BLECommunicateService::sharedServicePtr());
  return *adapter;
}

BLEDiscoveryAdapter::BLEDiscoveryAdapter(std::shared_ptr<BLECommunicateService> service)
    : service_(std::move(service)), forwarder_(std::make_shared<Forwarder>()) {
  service_->setDelegate(forwarder_);
}

BLEDiscoveryAdapter::~BLEDiscoveryAdapter() = default;

void BLEDiscoveryAdapter::setDelegate(std::weak_ptr<BleDiscoveryDelegate> delegate) {
  forwarder_->delegate = std::move(delegate);
}

std::vector<std::string> BLEDiscoveryAdapter::connectedDeviceSns() const {
  std::vector<std::string> sns;
  for (const auto& [sn, record] : service_->connectedDevices()) {
    if (record && record->connectStatus == BLEConnectStatus::Ready) sns.push_back(sn);
  }
  return sns;
}

void BLEDiscoveryAdapter::sendDiscoveryText(std::string_view text, const std::string& sn) {
  service_->sendRequest(
      std::string(text), std::nullopt, std::nullopt, sn, {},
      [sn](std::optional<std::string>, std::optional<std::string>, bool, std::optional<std::string>,
           std::int64_t code, std::optional<std::string> msg) {
        platform::logf("discover handshake not sent: sn = {}, code = {}, {}", sn, code,
                       msg.value_or("(null)"));
      });
}

void BLEDiscoveryAdapter::scanAndAutoConnect(BleAutoConnectCompletion completion) {
  service_->scanAndAutoConnectWithCompletion(
      [completion = std::move(completion)](bool finished,
                                           std::shared_ptr<BLEDeviceConnection> connection,
                                           std::optional<std::string> /*sn*/) {
        if (!completion) return;
        if (connection) {
          completion(connection->manufacturerName);
        } else if (!finished) {
          completion(std::nullopt);
        }
      });
}

void BLEDiscoveryAdapter::connectPeripheralWithSN(const std::optional<std::string>& sn,
                                                  BleConnectCompletion completion) {
  service_->connectPeripheralWithSN(
      sn, [completion = std::move(completion)](bool success, std::optional<std::string> message,
                                               std::optional<std::string> connectedSn) {
        if (completion) completion(success, message, connectedSn);
      });
}

void BLEDiscoveryAdapter::startScan(BleScanNameBlock block) {
  service_->startScan([block = std::move(block)](const BLEPeripheralModel& model) {
    const std::optional<std::string> name =
        model.manufacturerName ? model.manufacturerName : model.uuidString;
    if (block && name) block(*name);
  });
}

void BLEDiscoveryAdapter::stopScan() { service_->stopScan(); }

}  // namespace veltrix::transport
