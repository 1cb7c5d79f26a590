// BLEDiscoveryAdapter: the Bluetooth LE transport as discovery and the
// facade see it (ble_discovery.h). It lists the terminals that are ready for
// messages, writes discovery handshakes without touching a terminal's open
// request, passes connects and scans on, and hands the terminals' "discover"
// messages from the transport's delegate slot to its own delegate.
//
// The adapter takes the transport's delegate slot when it is made: make one
// adapter per transport.
//
// Threads: lives on the main loop with the transport; call it there. Every
// callback comes from there. Ownership: shares the transport; its delegate
// is held weakly. One process-wide instance (shared(), over
// BLECommunicateService::sharedServicePtr()), which the discovery manager
// and the facade use; tests build their own. Non-copyable.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/transport/ble_communicate_service.h"
#include "veltrix/transport/ble_discovery.h"

namespace veltrix::transport {

class BLEDiscoveryAdapter final : public BleDiscoveryTransport {
 public:
  static BLEDiscoveryAdapter& shared();

  explicit BLEDiscoveryAdapter(std::shared_ptr<BLECommunicateService> service);
  ~BLEDiscoveryAdapter() override;
  BLEDiscoveryAdapter(const BLEDiscoveryAdapter&) = delete;
  BLEDiscoveryAdapter& operator=(const BLEDiscoveryAdapter&) = delete;

  const std::shared_ptr<BLECommunicateService>& service() const { return service_; }

  void setDelegate(std::weak_ptr<BleDiscoveryDelegate> delegate) override;
  // Only terminals whose connection is Ready: one still connecting could
  // not take a message yet.
  std::vector<std::string> connectedDeviceSns() const override;
  // Written as a send without an exchange identifier, so the terminal's
  // open request keeps its blocks; a failure only reaches the log.
  void sendDiscoveryText(std::string_view text, const std::string& sn) override;
  // Hands on each terminal the transport's scan-and-connect reports with a
  // connection (its serial number) and each failed attempt (absent); the
  // end of the run is not passed on.
  void scanAndAutoConnect(BleAutoConnectCompletion completion) override;
  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               BleConnectCompletion completion) override;
  // The transport's scan for terminals; a terminal is named by its serial
  // number (its identifier text when it advertises none).
  void startScan(BleScanNameBlock block) override;
  void stopScan() override;

 private:
  struct Forwarder;

  std::shared_ptr<BLECommunicateService> service_;
  std::shared_ptr<Forwarder> forwarder_;
};

}  // namespace veltrix::transport
