#include "veltrix/transport/port_checker.h"

#include <chrono>
#include <cmath>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/tcp_probe.h"

namespace veltrix::transport {

bool PortChecker::isPortReachable(const std::optional<std::string>& host, std::int64_t port,
                                  double timeout) {
  if (!host || host->empty() || port < 1 || port > 65535) return false;
  const double seconds = std::isfinite(timeout) && timeout > 0 ? timeout : 0.0;
  const auto micros = std::chrono::microseconds(static_cast<std::int64_t>(seconds * 1e6));
  switch (platform::probeTcpPort(*host, static_cast<std::uint16_t>(port), micros)) {
    case platform::TcpProbeResult::kOpen:
      return true;
    case platform::TcpProbeResult::kSocketFailed:
      platform::logLine("❌ 创建socket失败");
      return false;
    case platform::TcpProbeResult::kClosed:
    case platform::TcpProbeResult::kResolveFailed:
      return false;
  }
  return false;
}

void PortChecker::checkPortReachable(const std::optional<std::string>& host, std::int64_t port,
                                     double timeout, std::function<void(bool)> completion) {
  if (!completion) return;
  platform::GlobalQueue::shared().post([host, port, timeout, completion = std::move(completion)] {
    const bool reachable = isPortReachable(host, port, timeout);
    platform::postToMain([completion, reachable] { completion(reachable); });
  });
}

void PortChecker::checkMultiplePorts(const std::optional<std::string>& host,
                                     const std::vector<std::int64_t>& ports, double timeout,
                                     std::function<void(std::map<std::int64_t, bool>)> completion) {
  if (!completion) return;
  if (ports.empty()) {
    completion({});
    return;
  }
  platform::GlobalQueue::shared().post([host, ports, timeout, completion = std::move(completion)] {
    std::map<std::int64_t, bool> results;
    for (std::int64_t port : ports) {
      const bool open = isPortReachable(host, port, timeout);
      results[port] = open;
      platform::logf("端口 {}: {}", port, open ? "✅ 开放" : "❌ 关闭");
    }
    platform::postToMain([completion, results] { completion(results); });
  });
}

}  // namespace veltrix::transport
