#include "veltrix/platform/net_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <mutex>

namespace veltrix::platform {
namespace {

std::optional<std::string> ipv4Text(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) return std::nullopt;
  char buf[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(address);
  if (inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf) == nullptr) return std::nullopt;
  return std::string(buf);
}

class SystemNetworkEnvironment final : public NetworkEnvironment {
 public:
  std::optional<std::vector<InterfaceAddress>> interfaceAddresses() const override {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::vector<InterfaceAddress> out;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
      InterfaceAddress entry;
      entry.name = it->ifa_name != nullptr ? it->ifa_name : "";
      entry.up = (it->ifa_flags & IFF_UP) != 0;
      entry.loopback = (it->ifa_flags & IFF_LOOPBACK) != 0;
      entry.ipv4 = ipv4Text(it->ifa_addr);
      if (entry.ipv4) entry.ipv4Netmask = ipv4Text(it->ifa_netmask);
      out.push_back(std::move(entry));
    }
    ::freeifaddrs(list);
    return out;
  }
};

struct State {
  std::mutex mutex;
  std::shared_ptr<const NetworkEnvironment> environment;
  std::optional<std::string> wifiName;
};

State& state() {
  static State* s = new State;
  return *s;
}

}  // namespace

std::shared_ptr<const NetworkEnvironment> networkEnvironment() {
  std::lock_guard<std::mutex> lock(state().mutex);
  if (!state().environment) state().environment = std::make_shared<SystemNetworkEnvironment>();
  return state().environment;
}

void setNetworkEnvironment(std::shared_ptr<const NetworkEnvironment> environment) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().environment = std::move(environment);
}

void setWifiInterfaceName(std::optional<std::string> name) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().wifiName = std::move(name);
}

std::optional<std::string> wifiInterfaceName(const std::vector<InterfaceAddress>& entries) {
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (state().wifiName) return state().wifiName;
  }
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read here.
  if (const char* name = std::getenv("VELTRIX_WIFI_INTERFACE"); name && *name) return name;
  for (const InterfaceAddress& entry : entries) {
    if (entry.name == "en0") return entry.name;
  }
  for (const InterfaceAddress& entry : entries) {
    if (entry.up && !entry.loopback && entry.ipv4) return entry.name;
  }
  return std::nullopt;
}

}  // namespace veltrix::platform
