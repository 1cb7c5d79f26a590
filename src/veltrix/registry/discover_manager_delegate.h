// The discovery manager's delegate protocol, and the part of the discovery
// manager that other objects set: its scan type and its delegate.
//
// Every operation has an empty default, so an adopter overrides only what it
// uses.
//
// Threads: discovery reports to its delegate on the main loop; the control
// operations are called on the main loop. The delegate is held weakly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace veltrix::registry {

struct ServiceInfo;
struct TerminalInfo;

class DiscoverManagerDelegate {
 public:
  virtual ~DiscoverManagerDelegate() = default;

  // One service type of a terminal: of each accepted handshake, and at the
  // start of a scan of each stored service of a recently seen terminal.
  virtual void onScanTerminal(const ServiceInfo& /*info*/) {}
  // An accepted handshake, before its services.
  virtual void onScanTerminalInfo(const TerminalInfo& /*info*/) {}
  virtual void scanPercent(float /*percent*/) {}
  virtual void finishedScan() {}
  virtual void onError(std::int32_t /*code*/, const std::string& /*message*/) {}
};

// What the settings facade and the scan screen do with the discovery
// manager: set its scan type and delegate, start and stop it.
class DiscoveryControl {
 public:
  virtual ~DiscoveryControl() = default;

  // Starts a scan (a running one goes on); stops it.
  virtual void startScan() = 0;
  virtual void stopScan() = 0;

  // Set by callers; discovery itself does not read it.
  virtual void setScanType(std::int32_t scanType) = 0;
  // The delegate now set; null when none is set or it has gone away.
  virtual std::shared_ptr<DiscoverManagerDelegate> delegate() const = 0;
  // The last delegate set receives the reports.
  virtual void setDelegate(std::weak_ptr<DiscoverManagerDelegate> delegate) = 0;
};

}  // namespace veltrix::registry
