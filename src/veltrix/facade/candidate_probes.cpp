#include "veltrix/facade/candidate_probes.h"

#include <atomic>
#include <chrono>
#include <utility>

#include "veltrix/facade/facade_detail.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::facade {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

double toSeconds(platform::Duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

void TcpPinger::pingHost(std::string host, std::int64_t port, double timeoutSeconds,
                         std::function<void(bool reachable)> completion) {
  // Here rather than on another worker with the answer on the main loop:
  // the wait for it then depends on the network only, and the probe costs
  // no hand-over between threads.
  const bool reachable = transport::KVISOUtils::pingHostNow(host, port, timeoutSeconds);
  if (completion) completion(reachable);
}

ReachChecker::ReachChecker(std::shared_ptr<Pinger> pinger, std::shared_ptr<BleProbeService> ble,
                           ProbeTimeouts timeouts)
    : pinger_(std::move(pinger)), ble_(std::move(ble)), timeouts_(timeouts) {}

bool ReachChecker::checkPingHost(const std::optional<std::string>& hostPort) const {
  if (!hostPort || detail::textLength(*hostPort) < 6) return false;
  platform::logf("checkPingHost = {}", *hostPort);
  const std::size_t colon = hostPort->find(':');
  if (colon == std::string::npos || hostPort->find(':', colon + 1) != std::string::npos) {
    return false;
  }
  const std::string ip = hostPort->substr(0, colon);
  const std::string port = hostPort->substr(colon + 1);
  platform::logf("解析 ip 地址 :{} 和端口 {}", ip, port);

  // The answer may come on another thread while this one waits; a late one
  // only lands in the shared flag.
  platform::DispatchGroup group;
  group.enter();
  auto result = std::make_shared<std::atomic<bool>>(false);
  platform::logLine("开始 ping 终端");
  pinger_->pingHost(ip, registry::leadingInteger(port), toSeconds(timeouts_.ping),
                    [group, result](bool reachable) mutable {
                      *result = reachable;
                      group.leave();
                    });
  platform::logLine("等待 ping 结果");
  if (!group.wait(timeouts_.pingWait)) {
    platform::logLine("Ping 超时");
    return false;
  }
  const bool reachable = *result;
  platform::logf("ping 完成 = {}", reachable ? "1" : "0");
  return reachable;
}

bool ReachChecker::checkBleHost(const std::optional<std::string>& sn) const {
  if (!detail::hasText(sn)) return false;
  platform::logf("checkBleHost: sn={}", *sn);

  // Ended once, by a find, by the radio's state, by the scan's guard or by
  // the wait's time-out; the first to end it decides the outcome in the
  // same step, so no reader sees it ended without its outcome.
  enum : int { kSearching, kFound, kNotFound };
  auto outcome = std::make_shared<std::atomic<int>>(kSearching);
  platform::DispatchGroup group;
  group.enter();
  // True for the caller that ended the search.
  auto leaveOnce = [outcome, group](bool found) mutable {
    int searching = kSearching;
    if (!outcome->compare_exchange_strong(searching, found ? kFound : kNotFound)) return false;
    group.leave();
    return true;
  };

  platform::postToMain([ble = ble_, target = *sn, leaveOnce, guard = timeouts_.bleGuard]() mutable {
    if (ble->isConnected(target)) {
      platform::logLine("checkBleHost: device already connected");
      leaveOnce(true);
      return;
    }
    if (!ble->isPoweredOn()) {
      platform::logLine("checkBleHost: Bluetooth is off");
      leaveOnce(false);
      return;
    }
    ble->startScan([target, leaveOnce](const BleSighting& peripheral) mutable {
      const std::optional<std::string>& name =
          peripheral.manufacturerName ? peripheral.manufacturerName : peripheral.uuidString;
      if (name && equalsIgnoringCase(*name, target)) {
        platform::logLine("checkBleHost: found target device");
        leaveOnce(true);
      }
    });
    // Counted from here, later than the wait: when the waiting thread wakes
    // late, the guard ends the search, and so it stops the scan.
    platform::after(platform::mainLoop(), guard, [ble, leaveOnce]() mutable {
      if (leaveOnce(false)) ble->stopScan();
    });
  });

  if (!group.wait(timeouts_.bleWait) && leaveOnce(false)) {
    platform::logLine("checkBleHost: timeout");
    platform::postToMain([ble = ble_] { ble->stopScan(); });
    return false;
  }
  const bool found = outcome->load() == kFound;
  platform::logf("checkBleHost: result={}", found ? "YES" : "NO");
  return found;
}

Reach ReachChecker::reach(const std::optional<std::string>& address,
                          const std::optional<std::string>& sn) const {
  if (checkPingHost(address)) return Reach::kLan;
  if (detail::hasText(sn) && checkBleHost(sn)) return Reach::kBle;
  return Reach::kNone;
}

}  // namespace veltrix::facade
