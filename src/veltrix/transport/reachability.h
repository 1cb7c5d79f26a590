// Whether a host, an address or the Internet can be reached, and a
// notification when that changes. A probe for the host application.
//
// The status is read synchronously from the flags of the platform source
// (the interface list and routes on Linux), so it is always known. When the
// notifier runs, every change of the flags posts
// kReachabilityChangedNotification, with the Reachability object as the
// notification's object, on the main queue.
//
// Threads: any thread. Ownership: the object owns its source and monitor;
// destroying it stops the notifier. Made through the factories (shared
// ownership: the notifier refers to the object weakly).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "veltrix/platform/network_reachability.h"

namespace veltrix::transport {

inline constexpr const char* kReachabilityChangedNotification =
    "kNetworkReachabilityChangedNotification";

class Reachability : public std::enable_shared_from_this<Reachability> {
 public:
  enum class NetworkStatus : std::int64_t {
    kNotReachable = 0,
    kReachableViaWiFi = 1,
    kReachableViaWWAN = 2,
  };

  // nullptr for an empty host name.
  static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& hostName);
  // nullptr unless `address` is a numeric IPv4 or IPv6 address.
  static std::shared_ptr<Reachability> reachabilityWithAddress(const std::string& address);
  // The all-zero IPv4 address: any way to the Internet.
  static std::shared_ptr<Reachability> reachabilityForInternetConnection();

  Reachability(std::string target, std::unique_ptr<platform::ReachabilitySource> source);
  ~Reachability();
  Reachability(const Reachability&) = delete;
  Reachability& operator=(const Reachability&) = delete;

  // Starts posting change notifications; false when changes cannot be watched.
  bool startNotifier();
  void stopNotifier();

  NetworkStatus currentReachabilityStatus() const;
  bool connectionRequired() const;
  NetworkStatus networkStatusForFlags(std::uint32_t flags) const;

  const std::string& target() const { return target_; }

 private:
  void flagsMayHaveChanged();

  const std::string target_;
  const std::unique_ptr<platform::ReachabilitySource> source_;
  std::mutex mutex_;
  std::optional<std::uint32_t> lastFlags_;
};

}  // namespace veltrix::transport
