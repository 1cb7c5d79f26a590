// Reachability of a host as the platform's flags describe it, from the
// Linux interface list and routing table, and a monitor of network changes
// (netlink: links, IPv4 addresses and routes).
//
// The flags keep the platform's bit values, so code that tests them reads
// as on the phone. A route check is a UDP connect(), which sends nothing.
//
// Thread-safety: flags() may be called from any thread (it blocks for a
// name lookup when the host is not a numeric address). The monitor calls its
// block on a thread of its own; start and stop from any one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veltrix::platform {

namespace reachability_flag {
inline constexpr std::uint32_t kTransientConnection = 1u << 0;
inline constexpr std::uint32_t kReachable = 1u << 1;
inline constexpr std::uint32_t kConnectionRequired = 1u << 2;
inline constexpr std::uint32_t kConnectionOnTraffic = 1u << 3;
inline constexpr std::uint32_t kInterventionRequired = 1u << 4;
inline constexpr std::uint32_t kConnectionOnDemand = 1u << 5;
inline constexpr std::uint32_t kIsLocalAddress = 1u << 16;
inline constexpr std::uint32_t kIsDirect = 1u << 17;
inline constexpr std::uint32_t kIsWWAN = 1u << 18;
}  // namespace reachability_flag

// Where reachability flags come from; tests substitute their own.
class ReachabilitySource {
 public:
  virtual ~ReachabilitySource() = default;
  // Flags for reaching `host` (a name or a numeric address; "0.0.0.0" asks
  // for any Internet connection). nullopt when they cannot be read.
  virtual std::optional<std::uint32_t> flags(const std::string& host) = 0;
  // Calls `onChange` (on another thread) whenever the network may have
  // changed; false when changes cannot be watched.
  virtual bool startMonitoring(std::function<void()> onChange) = 0;
  virtual void stopMonitoring() = 0;
};

// The Linux source: a new one per caller (each has its own monitor).
std::unique_ptr<ReachabilitySource> makeSystemReachabilitySource();

// True when `host` is a numeric IPv4 or IPv6 address.
bool isNumericAddress(const std::string& host);

}  // namespace veltrix::platform
