// The host's network interfaces, and which of them stands in for the
// phone's Wi-Fi interface.
//
// The interface list comes from a NetworkEnvironment: the system's by
// default; tests install a fixed one so that nothing depends on, or sends
// to, the real network of the machine. Thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrix::platform {

// One entry of the interface list: an interface with one of its addresses.
// An interface with several addresses has several entries.
struct InterfaceAddress {
  std::string name;
  bool up = false;
  bool loopback = false;
  // Dotted IPv4 address and netmask; absent for entries of other families
  // and for entries without an address.
  std::optional<std::string> ipv4;
  std::optional<std::string> ipv4Netmask;
};

class NetworkEnvironment {
 public:
  virtual ~NetworkEnvironment() = default;
  // The interface list in the system's order; nullopt when it cannot be read.
  virtual std::optional<std::vector<InterfaceAddress>> interfaceAddresses() const = 0;
};

// The environment in force (the system's unless one was installed).
std::shared_ptr<const NetworkEnvironment> networkEnvironment();
// Installs `environment`; nullptr restores the system's.
void setNetworkEnvironment(std::shared_ptr<const NetworkEnvironment> environment);

// Names the Wi-Fi interface explicitly; nullopt returns to
// $VELTRIX_WIFI_INTERFACE and then to the automatic choice.
void setWifiInterfaceName(std::optional<std::string> name);

// The interface that plays the part of the phone's "en0": the name set
// through setWifiInterfaceName(), else $VELTRIX_WIFI_INTERFACE, else "en0"
// when the list has it, else the first interface that is up, not loopback
// and has an IPv4 address. nullopt when none qualifies.
std::optional<std::string> wifiInterfaceName(const std::vector<InterfaceAddress>& entries);

}  // namespace veltrix::platform
