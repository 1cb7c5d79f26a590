// What the host hears of the discovery it runs through the settings facade
// (startDiscoverServices): the start and the stop, every discovered service
// and every discovered terminal. Every operation has an empty default, so a
// host overrides only what it uses.
//
// Threads: every call arrives on the main loop. The facade holds the
// delegate weakly.
#pragma once

#include "veltrix/registry/terminal_info.h"

namespace veltrix::facade {

class RetailerSettingManagerDelegate {
 public:
  virtual ~RetailerSettingManagerDelegate() = default;

  // Discovery has been started by startDiscoverServices.
  virtual void onStartDiscoverServices() {}
  // Discovery was stopped by stopDiscoverServices, or ended by itself.
  virtual void onStopDiscoverServices() {}
  // One service of a terminal, each time discovery reports it (repeats
  // included).
  virtual void onDiscoverServices(const registry::ServiceInfo& /*info*/) {}
  // A terminal whose handshake was accepted, before its services.
  virtual void onDiscoverTerminal(const registry::DiscoverDeviceInfo& /*info*/) {}
};

}  // namespace veltrix::facade
