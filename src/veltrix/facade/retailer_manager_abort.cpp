// Abort: finds the terminal of the exchange to abort by itself, without the
// choice of the terminal service, and answers its own block directly.
#include <utility>

#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade {

using detail::hasText;
using detail::textLength;
using registry::rowText;

void RetailerManager::startAbort(const ContextPtr& context) {
  const auto* param = std::get_if<model::AbortParam>(&context->param);
  const std::optional<std::string> target = param ? param->orgExchangeIdentification : std::nullopt;
  const std::optional<std::string> address =
      context->destination ? context->destination->address : std::nullopt;

  ServiceDictionary service;
  auto sendTo = [&service](std::string to) {
    service["address"] = std::move(to);
    service["parameter"] = "http";
    service["netWorkTp"] = "LAN";
  };
  std::string defaultTerminal;
  if (hasText(address)) {
    sendTo(*address);
  } else if (!(defaultTerminal = databaseManager_.fetchSetting(Defult_Terminsl_ByIp)).empty()) {
    sendTo(defaultTerminal);
  } else {
    const registry::Row exchange = databaseManager_.fetchCaspExchange(target);
    if (exchange.empty()) {
      // Nothing will call the block later, whatever request comes next.
      AbortResultBlock result = std::exchange(context->abortResult, {});
      if (result) result(kErrorAbortCheck, std::string(kMsgAbortCheck));
      endRequest(context->exchangeId);
      return;
    }
    // The aborted exchange's host block hears nothing more, whatever the
    // terminal still sends for it.
    if (target) resultManager_.removeCallbackForId(*target);
    platform::logf("exchangeDict = {}", detail::describe(exchange));
    const std::optional<std::string> sn = rowText(exchange, "sn");
    const std::optional<std::string> channelSource = rowText(exchange, "channelSource");
    if (hasText(sn) && textLength(channelSource) <= 8) {
      // Sent without an address: go where the terminal is now.
      const registry::Row terminal = databaseManager_.fetchDiscoveredTerminal(*sn);
      for (const char* key : {"model", "address", "parameter"}) {
        if (std::optional<std::string> value = rowText(terminal, key)) service[key] = *value;
      }
      service["sn"] = *sn;
    } else {
      if (channelSource) service["address"] = *channelSource;
      service["parameter"] = "http";
      service["netWorkTp"] = "LAN";
    }
    for (const char* key : {"packageName", "serviceId"}) {
      if (std::optional<std::string> value = rowText(exchange, key)) service[key] = *value;
    }
  }
  service["serviceType"] = context->serviceType;
  platform::logf("newDict = {}", detail::describe(service));
  startHostService(context, std::move(service));
}

}  // namespace veltrix::facade
