// The candidate probes' presence check over the library's Bluetooth LE
// transport: a terminal counts as connected when its record is Ready, and a
// scan reports every terminal the transport's scan for the terminal service
// sees, by serial number and identifier text.
//
// Threads: main loop only, like the transport (the probes call it there).
// Ownership: shares the transport. Non-copyable.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "veltrix/facade/candidate_probes.h"
#include "veltrix/transport/ble_communicate_service.h"

namespace veltrix::facade {

class BleTransportProbeService final : public BleProbeService {
 public:
  explicit BleTransportProbeService(std::shared_ptr<transport::BLECommunicateService> service);
  BleTransportProbeService(const BleTransportProbeService&) = delete;
  BleTransportProbeService& operator=(const BleTransportProbeService&) = delete;

  bool isPoweredOn() const override;
  bool isConnected(const std::string& sn) const override;
  // The transport's scan: it replaces any scan block before it, and stopScan()
  // also ends a pending scan-and-connect of the transport.
  void startScan(std::function<void(const BleSighting&)> onPeripheral) override;
  void stopScan() override;

 private:
  std::shared_ptr<transport::BLECommunicateService> service_;
};

}  // namespace veltrix::facade
