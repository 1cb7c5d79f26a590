#include "veltrix/transport/ble_discovery.h"

#include <utility>

#include "veltrix/platform/dispatch.h"

namespace veltrix::transport {

RadioOffBleTransport& RadioOffBleTransport::shared() {
  static auto& transport = *new RadioOffBleTransport;
  return transport;
}

void RadioOffBleTransport::setDelegate(std::weak_ptr<BleDiscoveryDelegate> delegate) {
  delegate_ = std::move(delegate);
}

void RadioOffBleTransport::connectPeripheralWithSN(const std::optional<std::string>& sn,
                                                   BleConnectCompletion completion) {
  if (!completion) return;
  const bool invalid = !sn || sn->empty();
  platform::postToMain([completion = std::move(completion), invalid, sn] {
    completion(false, std::string(invalid ? "Invalid SN" : "Device not found"), sn);
  });
}

}  // namespace veltrix::transport
