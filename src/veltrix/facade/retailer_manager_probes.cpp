// The candidate probes: each way of reaching a terminal, checked off the
// main loop, dispatching the request when the terminal answers.
#include <fmt/format.h>

#include <string_view>
#include <utility>

#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade {

using detail::textLength;
using registry::Row;
using registry::rowInt;
using registry::rowText;

ServiceDictionary RetailerManager::buildServiceDictWithTerminal(const Row& terminal,
                                                                const Row& service) {
  ServiceDictionary dict = detail::dictionaryFromRow(service);
  for (std::string_view key : {"model", "address", "uuidString", "parameter"}) {
    if (std::optional<std::string> value = rowText(terminal, key)) {
      dict.insert_or_assign(std::string(key), std::move(*value));
    } else if (auto found = dict.find(key); found != dict.end()) {
      dict.erase(found);
    }
  }
  return dict;
}

void RetailerManager::resetTerminalServiceStatus() {
  for (const Row& row : databaseManager_.fetchTerminalServicesByLatestUpdate()) {
    if (row.find("tsId") != row.end()) {
      databaseManager_.updataTerminalServiceStatus(rowInt(row, "tsId"), 2);
    }
  }
}

void RetailerManager::tryUseServiceWithStaticIP(const ContextPtr& context,
                                                const std::optional<std::string>& ip,
                                                const std::optional<std::string>& serviceId,
                                                ProbeCompletion completion) {
  if (!ip || textLength(*ip) <= 8) {
    completion(false);
    return;
  }
  // Only the probe: an address the host typed has no Bluetooth LE side.
  probeQueue_.post([weak = weak_from_this(), context, ip = *ip, serviceId, checker = reachChecker_,
                    completion = std::move(completion)]() mutable {
    const bool reachable = checker->checkPingHost(ip);
    platform::postToMain([weak, context, ip = std::move(ip), serviceId = std::move(serviceId),
                          reachable, completion = std::move(completion)] {
      context->isOffline = !reachable;
      std::shared_ptr<RetailerManager> self = weak.lock();
      const bool started = reachable && self;
      if (started) {
        ServiceDictionary service{
            {"model", ""}, {"address", ip}, {"parameter", "http"}, {"netWorkTp", "LAN"}};
        if (serviceId) service["serviceId"] = *serviceId;
        detail::logBoth(self->logFile_,
                        fmt::format("terminalDiscover 1= {}", detail::describe(service)));
        self->startHostService(context, std::move(service));
      }
      completion(started);
    });
  });
}

void RetailerManager::tryUseRememberedServiceWithSN(const ContextPtr& context,
                                                    const std::string& sn,
                                                    const std::string& serviceType,
                                                    ProbeCompletion completion) {
  registry::Rows rows = databaseManager_.fetchTerminalServicesWithServiceTypeSn(serviceType, sn);
  if (rows.size() != 1) {
    completion(false);
    return;
  }
  probeAndStart(context, databaseManager_.fetchDiscoveredTerminal(sn), std::move(rows.front()),
                "ping 成功，发起交易", std::move(completion));
}

void RetailerManager::tryUseRememberedServiceWithSN(const ContextPtr& context,
                                                    const std::string& sn,
                                                    const std::string& serviceType,
                                                    const std::string& serviceId,
                                                    ProbeCompletion completion) {
  registry::Rows rows =
      databaseManager_.fetchTerminalServicesWithServiceTypeSnServiceId(serviceType, sn, serviceId);
  if (rows.size() != 1) {
    completion(false);
    return;
  }
  probeAndStart(context, databaseManager_.fetchDiscoveredTerminal(sn), std::move(rows.front()),
                "ping 成功，发起交易", std::move(completion));
}

void RetailerManager::tryUseRememberedTerminal(const ContextPtr& context,
                                               const std::string& serviceType,
                                               ProbeCompletion completion) {
  Row remembered = databaseManager_.fetchRememberServicesWithType(serviceType);
  auto found = remembered.find("sn");
  const auto* sn = found == remembered.end() ? nullptr : std::get_if<std::string>(&found->second);
  if (sn == nullptr || textLength(*sn) <= 10) {
    completion(false);
    return;
  }
  probeAndStart(context, databaseManager_.fetchDiscoveredTerminal(*sn), std::move(remembered),
                "ping 成功，发起交易", std::move(completion));
}

void RetailerManager::tryUseRememberedRow(const ContextPtr& context, const Row& terminal,
                                          const Row& service, ProbeCompletion completion) {
  probeAndStart(context, terminal, service, {}, std::move(completion));
}

void RetailerManager::tryUseTerminalOnly(const ContextPtr& context, const Row& terminal,
                                         ProbeCompletion completion) {
  probeQueue_.post([context, address = rowText(terminal, "address"), sn = rowText(terminal, "sn"),
                    checker = reachChecker_, completion = std::move(completion)]() mutable {
    const Reach reach = checker->reach(address, sn);
    platform::postToMain([context, reach, completion = std::move(completion)] {
      context->isOffline = reach == Reach::kNone;
      completion(false);
    });
  });
}

void RetailerManager::probeAndStart(const ContextPtr& context, Row terminal, Row service,
                                    std::string_view successLine, ProbeCompletion completion) {
  probeQueue_.post([weak = weak_from_this(), context, terminal = std::move(terminal),
                    service = std::move(service), successLine = std::string(successLine),
                    checker = reachChecker_, completion = std::move(completion)]() mutable {
    const Reach reach = checker->reach(rowText(terminal, "address"), rowText(terminal, "sn"));
    platform::postToMain([weak, context, terminal = std::move(terminal),
                          service = std::move(service), successLine = std::move(successLine), reach,
                          completion = std::move(completion)] {
      context->isOffline = reach == Reach::kNone;
      std::shared_ptr<RetailerManager> self = weak.lock();
      const bool started = reach != Reach::kNone && self;
      if (started) {
        if (!successLine.empty()) platform::logLine(successLine);
        // A terminal found only by its Bluetooth LE presence did not answer
        // at its address: it is reached over Bluetooth LE.
        context->isOffline = reach == Reach::kBle;
        self->startHostService(context, buildServiceDictWithTerminal(terminal, service));
      }
      completion(started);
    });
  });
}

}  // namespace veltrix::facade
