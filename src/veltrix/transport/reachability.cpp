#include "veltrix/transport/reachability.h"

#include "veltrix/platform/log.h"
#include "veltrix/platform/notification_center.h"

namespace veltrix::transport {

namespace flag = platform::reachability_flag;

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(const std::string& hostName) {
  if (hostName.empty()) return nullptr;
  return std::make_shared<Reachability>(hostName, platform::makeSystemReachabilitySource());
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const std::string& address) {
  if (!platform::isNumericAddress(address)) return nullptr;
  return std::make_shared<Reachability>(address, platform::makeSystemReachabilitySource());
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
  return reachabilityWithAddress("0.0.0.0");
}

Reachability::Reachability(std::string target, std::unique_ptr<platform::ReachabilitySource> source)
    : target_(std::move(target)), source_(std::move(source)) {}

Reachability::~Reachability() { stopNotifier(); }

bool Reachability::startNotifier() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastFlags_ = source_->flags(target_);
  }
  std::weak_ptr<Reachability> weak = weak_from_this();
  return source_->startMonitoring([weak] {
    if (auto self = weak.lock()) self->flagsMayHaveChanged();
  });
}

void Reachability::stopNotifier() { source_->stopMonitoring(); }

void Reachability::flagsMayHaveChanged() {
  const std::optional<std::uint32_t> flags = source_->flags(target_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (flags == lastFlags_) return;
    lastFlags_ = flags;
  }
  platform::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification,
                                                     shared_from_this());
}

Reachability::NetworkStatus Reachability::currentReachabilityStatus() const {
  const std::optional<std::uint32_t> flags = source_->flags(target_);
  return flags ? networkStatusForFlags(*flags) : NetworkStatus::kNotReachable;
}

bool Reachability::connectionRequired() const {
  const std::optional<std::uint32_t> flags = source_->flags(target_);
  return flags && (*flags & flag::kConnectionRequired) != 0;
}

Reachability::NetworkStatus Reachability::networkStatusForFlags(std::uint32_t flags) const {
  auto mark = [flags](std::uint32_t bit, char letter) { return (flags & bit) != 0 ? letter : '-'; };
  platform::logf("Reachability Flag Status: {}{} {}{}{}{}{}{}{} {}\n", mark(flag::kIsWWAN, 'W'),
                 mark(flag::kReachable, 'R'), mark(flag::kTransientConnection, 't'),
                 mark(flag::kConnectionRequired, 'c'), mark(flag::kConnectionOnTraffic, 'C'),
                 mark(flag::kInterventionRequired, 'i'), mark(flag::kConnectionOnDemand, 'D'),
                 mark(flag::kIsLocalAddress, 'l'), mark(flag::kIsDirect, 'd'),
                 "networkStatusForFlags");
  if ((flags & flag::kReachable) == 0) return NetworkStatus::kNotReachable;
  NetworkStatus status = NetworkStatus::kNotReachable;
  if ((flags & flag::kConnectionRequired) == 0) status = NetworkStatus::kReachableViaWiFi;
  if ((flags & (flag::kConnectionOnDemand | flag::kConnectionOnTraffic)) != 0 &&
      (flags & flag::kInterventionRequired) == 0) {
    status = NetworkStatus::kReachableViaWiFi;
  }
  if ((flags & flag::kIsWWAN) != 0) status = NetworkStatus::kReachableViaWWAN;
  return status;
}

}  // namespace veltrix::transport
