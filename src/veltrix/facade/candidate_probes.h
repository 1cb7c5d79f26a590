// How the choice of the terminal service finds out whether a candidate
// terminal answers: a TCP connect probe on its local-network address, then a
// Bluetooth LE presence check by serial number.
//
// The probes reach the network through two small interfaces, so tests put
// fakes in their place: a Pinger (production: KVISOUtils::pingHost) and a
// BleProbeService (production: createBleProbeService() in
// transport_hooks.cpp, a BleTransportProbeService over the shared Bluetooth
// LE transport). Every wait comes from ProbeTimeouts.
//
// Threads: ReachChecker's checks block the calling thread (up to
// pingWait, then up to bleWait) and must run off the main loop, normally on
// the global queue. The TCP probe runs on that same thread and answers
// there, so the ping wait times the network alone: a host main loop that is
// busy for a while cannot fail a terminal that answered. Every
// BleProbeService call runs on the main loop, which must keep running
// meanwhile. Ownership: a
// ReachChecker shares its Pinger and BleProbeService; it is held through a
// std::shared_ptr by whoever runs a check, so it outlives the check.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::facade {

// The waits of the probes. Tests shrink them.
struct ProbeTimeouts {
  // Time-out of one TCP connect probe.
  platform::Duration ping = platform::millis(500);
  // How long a check waits for the probe's answer.
  platform::Duration pingWait = platform::millis(1000);
  // How long a check waits for the terminal to show up in a scan.
  platform::Duration bleWait = platform::millis(2000);
  // When the scan's own guard gives up (after the check has stopped waiting).
  platform::Duration bleGuard = platform::millis(2500);
};

class Pinger {
 public:
  virtual ~Pinger() = default;
  // Tries a TCP connection to `host`:`port` within `timeoutSeconds`.
  // `completion` runs exactly once, on any thread (before pingHost returns,
  // or later).
  virtual void pingHost(std::string host, std::int64_t port, double timeoutSeconds,
                        std::function<void(bool reachable)> completion) = 0;
};

// The TCP connect probe of KVISOUtils::pingHostNow, run on the calling thread,
// which it blocks for at most the time-out; answers there.
class TcpPinger final : public Pinger {
 public:
  void pingHost(std::string host, std::int64_t port, double timeoutSeconds,
                std::function<void(bool reachable)> completion) override;
};

// One peripheral a Bluetooth LE scan reported.
struct BleSighting {
  // The terminal's serial number from the advertisement, when it has one.
  std::optional<std::string> manufacturerName;
  // The peripheral's identifier.
  std::optional<std::string> uuidString;
};

// What the presence check needs of the Bluetooth LE transport. Every
// member is called on the main loop.
class BleProbeService {
 public:
  virtual ~BleProbeService() = default;
  // False while the radio is off or missing: the check answers NO at once
  // instead of scanning into the void.
  virtual bool isPoweredOn() const = 0;
  // True when the terminal `sn` is connected and ready.
  virtual bool isConnected(const std::string& sn) const = 0;
  // Scans for terminals, calling `onPeripheral` on the main loop for every
  // one seen, until stopScan(). A new scan replaces the callback.
  virtual void startScan(std::function<void(const BleSighting&)> onPeripheral) = 0;
  virtual void stopScan() = 0;
};

// A radio that is switched off: nothing connected, nothing to scan.
class RadioOffBleProbeService final : public BleProbeService {
 public:
  bool isPoweredOn() const override { return false; }
  bool isConnected(const std::string& /*sn*/) const override { return false; }
  void startScan(std::function<void(const BleSighting&)> /*onPeripheral*/) override {}
  void stopScan() override {}
};

// The Bluetooth LE side of the probes; defined in transport_hooks.cpp.
std::shared_ptr<BleProbeService> createBleProbeService();

// How a reach check reached its terminal.
enum class Reach : std::int64_t {
  kNone = 0,  // neither by the local network nor by Bluetooth LE
  kLan = 1,   // the TCP probe answered
  kBle = 2,   // only the Bluetooth LE presence check found it
};

class ReachChecker {
 public:
  ReachChecker(std::shared_ptr<Pinger> pinger, std::shared_ptr<BleProbeService> ble,
               ProbeTimeouts timeouts);
  ReachChecker(const ReachChecker&) = delete;
  ReachChecker& operator=(const ReachChecker&) = delete;

  // True when "ip:port" accepts a TCP connection within the ping time-out
  // and the answer comes within pingWait. Absent, shorter than 6
  // characters, or not exactly one ":" gives false without a probe.
  bool checkPingHost(const std::optional<std::string>& hostPort) const;
  // True when the terminal `sn` is connected, or a scan reports it (its
  // serial number, else its identifier, equal to `sn` ignoring case)
  // within bleWait. An empty `sn` or a radio that is off gives false at
  // once. A found terminal leaves the scan running; a time-out stops it.
  bool checkBleHost(const std::optional<std::string>& sn) const;
  // The probe first; when it fails and `sn` is known, the presence check.
  Reach reach(const std::optional<std::string>& address,
              const std::optional<std::string>& sn) const;

  const ProbeTimeouts& timeouts() const { return timeouts_; }

 private:
  std::shared_ptr<Pinger> pinger_;
  std::shared_ptr<BleProbeService> ble_;
  ProbeTimeouts timeouts_;
};

}  // namespace veltrix::facade
