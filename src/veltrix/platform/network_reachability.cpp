#include "veltrix/platform/network_reachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "veltrix/platform/process_exit.h"

namespace veltrix::platform {
namespace {

// An address from the documentation range: asking for a route to it asks
// whether there is a way out at all (a default route), and nothing is sent.
constexpr const char* kAnyInternetProbe = "192.0.2.1";

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family() const { return storage.ss_family; }
};

std::optional<Address> resolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), "9", &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  const addrinfo* pick = found;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET) {
      pick = a;
      break;
    }
  }
  Address out;
  std::memcpy(&out.storage, pick->ai_addr, pick->ai_addrlen);
  out.length = pick->ai_addrlen;
  ::freeaddrinfo(found);
  return out;
}

// The raw address bytes (4 or 16) of an IPv4 or IPv6 socket address.
std::string_view addressBytes(const sockaddr* address) {
  if (address == nullptr) return {};
  if (address->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return {reinterpret_cast<const char*>(&in->sin_addr), 4};
  }
  if (address->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
    return {reinterpret_cast<const char*>(&in6->sin6_addr), 16};
  }
  return {};
}

bool isAllZero(std::string_view bytes) {
  return !bytes.empty() && bytes.find_first_not_of('\0') == std::string_view::npos;
}

bool sameSubnet(std::string_view a, std::string_view b, std::string_view mask) {
  if (a.size() != b.size() || a.size() != mask.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] & mask[i]) != (b[i] & mask[i])) return false;
  }
  return true;
}

std::optional<std::uint32_t> readFlags(const std::string& host) {
  const std::optional<Address> target = resolve(host);
  if (!target) return 0u;  // a name that does not resolve cannot be reached
  const auto* targetAddress = reinterpret_cast<const sockaddr*>(&target->storage);
  const std::string_view targetBytes = addressBytes(targetAddress);
  const bool anyInternet = isAllZero(targetBytes);
  std::optional<Address> probe = anyInternet ? resolve(kAnyInternetProbe) : target;
  if (!probe) return std::nullopt;

  const int fd = ::socket(probe->family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const bool routed =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&probe->storage), probe->length) == 0;
  sockaddr_storage local{};
  socklen_t localLength = sizeof(local);
  const bool haveLocal =
      routed && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0;
  ::close(fd);
  if (!routed) return 0u;

  std::uint32_t flags = reachability_flag::kReachable;
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return flags;
  const std::string_view localBytes =
      haveLocal ? addressBytes(reinterpret_cast<const sockaddr*>(&local)) : std::string_view{};
  for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if ((i->ifa_flags & IFF_UP) == 0 || i->ifa_addr == nullptr) continue;
    const std::string_view bytes = addressBytes(i->ifa_addr);
    if (bytes.empty() || bytes.size() != targetBytes.size()) continue;
    if (!anyInternet && bytes == targetBytes) flags |= reachability_flag::kIsLocalAddress;
    if (bytes != localBytes) continue;
    // The interface the route leaves by.
    if (!anyInternet && sameSubnet(bytes, targetBytes, addressBytes(i->ifa_netmask))) {
      flags |= reachability_flag::kIsDirect;
    }
    if (std::strncmp(i->ifa_name, "wwan", 4) == 0) flags |= reachability_flag::kIsWWAN;
  }
  ::freeifaddrs(interfaces);
  return flags;
}

// The monitor's wake-up eventfd, closed by whichever of the monitor thread
// and its source lets go last: a thread that ended on an error must not
// close a descriptor the source may still write to (or one the number of
// which is already reused).
struct WakeFd {
  explicit WakeFd(int fd) : fd(fd) {}
  ~WakeFd() { ::close(fd); }
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;
  const int fd;
};

class SystemReachabilitySource final : public ReachabilitySource {
 public:
  ~SystemReachabilitySource() override { stopMonitoring(); }

  std::optional<std::uint32_t> flags(const std::string& host) override { return readFlags(host); }

  bool startMonitoring(std::function<void()> onChange) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable()) return true;
    const int netlink = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (netlink < 0) return false;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(netlink, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      ::close(netlink);
      return false;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
      ::close(netlink);
      return false;
    }
    auto wake = std::make_shared<WakeFd>(wakeFd);
    thread_ = std::thread([netlink, wake, onChange = std::move(onChange)] {
      std::array<char, 8192> buffer{};
      for (;;) {
        std::array<pollfd, 2> fds{pollfd{netlink, POLLIN, 0}, pollfd{wake->fd, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
          if (errno == EINTR) continue;
          break;
        }
        if (fds[1].revents != 0) {
          std::uint64_t count = 0;
          [[maybe_unused]] const ssize_t drained = ::read(wake->fd, &count, sizeof count);
          break;
        }
        if (fds[0].revents == 0) continue;
        const ssize_t n = ::recv(netlink, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != ENOBUFS) break;
        if (onChange) onChange();
      }
      ::close(netlink);
    });
    wake_ = std::move(wake);
    // At exit the monitor ends with the other sources of outside events.
    exitStop_ = ExitStop(ExitStage::kInput, [this](ExitDeadline) { stopMonitoring(); });
    return true;
  }

  void stopMonitoring() override {
    std::thread thread;
    ExitStop exitStop;
    std::shared_ptr<WakeFd> wake;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!thread_.joinable()) return;
      exitStop = std::move(exitStop_);
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t written = ::write(wake_->fd, &one, sizeof(one));
      thread = std::move(thread_);
      wake = std::move(wake_);
    }
    exitStop.reset();
    // The monitor's own block may drop the last owner of this source.
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else {
      thread.join();
    }
  }

 private:
  std::mutex mutex_;
  std::thread thread_;
  std::shared_ptr<WakeFd> wake_;
  ExitStop exitStop_;
};

}  // namespace

std::unique_ptr<ReachabilitySource> makeSystemReachabilitySource() {
  return std::make_unique<SystemReachabilitySource>();
}

bool isNumericAddress(const std::string& host) {
  in6_addr buffer{};
  return ::inet_pton(AF_INET, host.c_str(), &buffer) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &buffer) == 1;
}

}  // namespace veltrix::platform
