// What terminal discovery and the facade need of the Bluetooth LE
// transport: the terminals connected now, a way to write a handshake to one
// of them, the scan that connects every terminal it sees, connecting one
// terminal, a plain scan that names what it sees, and the delivery of the
// terminals' "discover" messages.
//
// BLEDiscoveryAdapter (ble_discovery_adapter.h) implements this interface
// over the Bluetooth LE transport; RadioOffBleTransport behaves like a
// transport whose radio is switched off (nothing connected, nothing found).
//
// Threads: called on the main loop; every callback and delegate call
// arrives on the main loop. Ownership: the delegate is held weakly.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::transport {

class BleDiscoveryDelegate {
 public:
  virtual ~BleDiscoveryDelegate() = default;
  // A complete message whose "contentType" is "discover" and whose
  // "protocolVersion" is "1.0.01", from the terminal known as `sn`.
  virtual void didReceiveData(const std::string& /*text*/, const std::string& /*sn*/) {}
};

// (connected, failure text, serial number).
using BleConnectCompletion = std::function<void(bool connected, const std::optional<std::string>&,
                                                const std::optional<std::string>&)>;
// The serial number of a terminal just connected (or connected already);
// absent when an attempt failed.
using BleAutoConnectCompletion = std::function<void(const std::optional<std::string>& sn)>;
// A terminal a scan saw, by the name it is known under: its serial number,
// or its identifier text when it advertises none.
using BleScanNameBlock = std::function<void(const std::string& name)>;

class BleDiscoveryTransport {
 public:
  virtual ~BleDiscoveryTransport() = default;

  virtual void setDelegate(std::weak_ptr<BleDiscoveryDelegate> delegate) = 0;
  // The serial numbers of the terminals connected now.
  virtual std::vector<std::string> connectedDeviceSns() const = 0;
  // Frames and writes `text` to the connected terminal `sn`; the outcome
  // is not reported (discovery repeats its handshakes).
  virtual void sendDiscoveryText(std::string_view text, const std::string& sn) = 0;
  // Keeps `completion`, scans and connects every newly seen terminal,
  // calling `completion` once per device.
  virtual void scanAndAutoConnect(BleAutoConnectCompletion completion) = 0;
  // Connects the terminal `sn` (scanning for it first when unknown).
  virtual void connectPeripheralWithSN(const std::optional<std::string>& sn,
                                       BleConnectCompletion completion) = 0;
  // Scans for terminals and calls `block` for every one seen, until
  // stopScan() or another scan takes over; nothing while Bluetooth is off.
  virtual void startScan(BleScanNameBlock /*block*/) {}
  virtual void stopScan() {}
};

// A Bluetooth LE transport with its radio off. Lives on the main loop.
class RadioOffBleTransport final : public BleDiscoveryTransport {
 public:
  static RadioOffBleTransport& shared();

  RadioOffBleTransport() = default;
  RadioOffBleTransport(const RadioOffBleTransport&) = delete;
  RadioOffBleTransport& operator=(const RadioOffBleTransport&) = delete;

  void setDelegate(std::weak_ptr<BleDiscoveryDelegate> delegate) override;
  // Nothing is connected.
  std::vector<std::string> connectedDeviceSns() const override { return {}; }
  // Nothing to write to.
  void sendDiscoveryText(std::string_view /*text*/, const std::string& /*sn*/) override {}
  // The scan sees nothing, so the completion is never called.
  void scanAndAutoConnect(BleAutoConnectCompletion /*completion*/) override {}
  // Completes on the main loop: "Invalid SN" for an absent or empty serial
  // number, else "Device not found".
  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               BleConnectCompletion completion) override;

 private:
  std::weak_ptr<BleDiscoveryDelegate> delegate_;
};

}  // namespace veltrix::transport
