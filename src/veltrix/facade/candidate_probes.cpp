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

  // Touched on the main loop only, then read here after the wait.
  struct Search {
    std::atomic<bool> found{false};
    std::atomic<bool> left{false};
  };
  auto search = std::make_shared<Search>();
  platform::DispatchGroup group;
  group.enter();
  auto leaveOnce = [search, group](bool found) mutable {
    if (search->left.exchange(true)) return;
    search->found = found;
    group.leave();
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
    platform::after(platform::mainLoop(), guard, [leaveOnce]() mutable { leaveOnce(false); });
  });

  if (!group.wait(timeouts_.bleWait)) {
    platform::logLine("checkBleHost: timeout");
    platform::postToMain([ble = ble_] { ble->stopScan(); });
    return false;
  }
  const bool found = search->found;
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
