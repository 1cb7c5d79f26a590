// A fixed network environment for tests: the interface list is whatever the
// test says, so nothing depends on (or sends to) the machine's real network.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "veltrix/platform/net_interfaces.h"

namespace veltrix::testing {

class FixedNetworkEnvironment final : public platform::NetworkEnvironment {
 public:
  explicit FixedNetworkEnvironment(std::optional<std::vector<platform::InterfaceAddress>> entries)
      : entries_(std::move(entries)) {}
  std::optional<std::vector<platform::InterfaceAddress>> interfaceAddresses() const override {
    return entries_;
  }

 private:
  std::optional<std::vector<platform::InterfaceAddress>> entries_;
};

// Installs a fixed environment (and no Wi-Fi interface name) for the scope;
// the system's environment comes back afterwards.
class ScopedNetworkEnvironment {
 public:
  explicit ScopedNetworkEnvironment(
      std::optional<std::vector<platform::InterfaceAddress>> entries) {
    platform::setNetworkEnvironment(std::make_shared<FixedNetworkEnvironment>(std::move(entries)));
    platform::setWifiInterfaceName(std::nullopt);
  }
  ~ScopedNetworkEnvironment() {
    platform::setNetworkEnvironment(nullptr);
    platform::setWifiInterfaceName(std::nullopt);
  }
  ScopedNetworkEnvironment(const ScopedNetworkEnvironment&) = delete;
  ScopedNetworkEnvironment& operator=(const ScopedNetworkEnvironment&) = delete;
};

// One entry of an interface list.
inline platform::InterfaceAddress interfaceEntry(std::string name, std::optional<std::string> ipv4,
                                                 bool up = true, bool loopback = false) {
  platform::InterfaceAddress entry;
  entry.name = std::move(name);
  entry.up = up;
  entry.loopback = loopback;
  entry.ipv4 = std::move(ipv4);
  if (entry.ipv4) entry.ipv4Netmask = "255.255.255.0";
  return entry;
}

}  // namespace veltrix::testing
