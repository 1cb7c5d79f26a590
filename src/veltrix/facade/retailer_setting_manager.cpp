#include "veltrix/facade/retailer_setting_manager.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <utility>

#include "veltrix/platform/log.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/terminal_service_helper.h"

namespace veltrix::facade {

namespace {

using registry::TerminalServiceHelper;

// clearOptionWithService() reaches service numbers 0 to 22 only.
constexpr std::int64_t kClearedStrategyServices = 23;

bool nonEmpty(const registry::TextArg& text) { return text && !text->empty(); }

}  // namespace

std::string destinationServiceTypeKey(std::string_view serviceName) {
  return fmt::format("{}-{}", destination_servicetype, serviceName);
}

RetailerSettingManager& RetailerSettingManager::sharedManager() { return *sharedPtr(); }

std::shared_ptr<RetailerSettingManager> RetailerSettingManager::sharedPtr() {
  // Never destroyed, like every process-wide object.
  static const auto* manager = new std::shared_ptr<RetailerSettingManager>(create(
      registry::DatabaseManager::sharedManager(), &registry::DiscoverManager::sharedInstance()));
  return *manager;
}

std::shared_ptr<RetailerSettingManager> RetailerSettingManager::create(
    registry::DatabaseManager& database, registry::DiscoveryControl* discovery) {
  auto manager = std::make_shared<RetailerSettingManager>(database, discovery);
  if (discovery) {
    discovery->setScanType(1);
    // Whoever already receives discovery's reports (the scan screen) keeps
    // them.
    if (!discovery->delegate()) discovery->setDelegate(manager);
  }
  return manager;
}

RetailerSettingManager::RetailerSettingManager(registry::DatabaseManager& database,
                                               registry::DiscoveryControl* discovery)
    : databaseManager_(database), discoverManager_(discovery) {}

RetailerSettingManager::~RetailerSettingManager() = default;

// Settings are written by upsert: the read-then-update-or-insert it replaces
// could never change a key once it held "".
bool RetailerSettingManager::writeSetting(std::string_view key, std::string_view value) {
  return databaseManager_.upsertSetting(key, value);
}

void RetailerSettingManager::setCommunicateType(std::int64_t type, bool state) {
  const std::string_view value = state ? "1" : "0";
  if (type == kCommunicateTypeLan) {
    writeSetting(communicate_type_by_lan, value);
  } else if (type == kCommunicateTypeBluetooth) {
    writeSetting(communicate_type_by_bluetooth, value);
  }
}

bool RetailerSettingManager::getCommunicateTypeState(std::int64_t type) {
  std::string_view key;
  bool unsetState = false;
  if (type == kCommunicateTypeLan) {
    key = communicate_type_by_lan;
    unsetState = true;
  } else if (type == kCommunicateTypeBluetooth) {
    key = communicate_type_by_bluetooth;
  } else {
    return false;
  }
  const std::string value = databaseManager_.fetchSetting(key);
  if (value.empty()) return unsetState;
  return registry::leadingInteger(value) > 0;
}

void RetailerSettingManager::resetDestinations() {
  databaseManager_.deleteRememberServiceAll();
  clearAllDestination();
}

void RetailerSettingManager::destinationPort(TextArg ip, TextArg port) {
  if (!ip || !port) return;
  resetDestinations();
  writeSetting(Defult_Terminsl_ByIp, fmt::format("{}:{}", *ip, *port));
}

void RetailerSettingManager::destinationPort(TextArg ip, std::int64_t port) {
  destinationPort(ip, std::string_view(std::to_string(port)));
}

void RetailerSettingManager::destination(TextArg sn) {
  if (!nonEmpty(sn)) return;
  resetDestinations();
  writeSetting(destination_sn, *sn);
}

void RetailerSettingManager::destinationServiceType(TextArg sn, std::int64_t serviceType) {
  if (!sn) return;
  resetDestinations();
  // The reset does not reach per-type keys; without this a second terminal
  // for the same type could never replace the first.
  const std::string serviceName = TerminalServiceHelper::stringForService(serviceType);
  const std::string key = destinationServiceTypeKey(serviceName);
  databaseManager_.deleteSetting(key);
  if (!databaseManager_.fetchTerminalServicesWithServiceTypeSn(serviceName, sn).empty()) {
    writeSetting(key, *sn);
  }
}

void RetailerSettingManager::destinationServiceId(TextArg sn, TextArg serviceId) {
  if (!nonEmpty(sn) || !nonEmpty(serviceId)) return;
  resetDestinations();
  if (!databaseManager_.fetchTerminalServicesWithServiceId(sn, serviceId).empty()) {
    writeSetting(destination_sn_serviceid, fmt::format("{}:{}", *sn, *serviceId));
  }
}

void RetailerSettingManager::destinationService(TextArg serviceId) {
  platform::logf("serviceId = {}", serviceId.value_or(""));
  clearAllDestination();
}

void RetailerSettingManager::chooseRememberStragety(std::int64_t strategy,
                                                    std::int64_t serviceType) {
  if (strategy < 0 || strategy > 2) return;
  writeSetting(TerminalServiceHelper::stringForService(serviceType), std::to_string(strategy));
}

void RetailerSettingManager::isShowSetting(bool show) {
  platform::logLine("isShowSetting");
  writeSetting(show_setting, show ? "1" : "0");
}

void RetailerSettingManager::isShowRememberOption(bool show) {
  platform::logLine("isShowRememberOption");
  writeSetting(show_remember, show ? "1" : "0");
}

bool RetailerSettingManager::deviceAcessList(const std::optional<std::vector<std::string>>& sns) {
  if (!sns || sns->empty()) return false;
  // Leaving such a terminal out keeps it off the scan screen: the
  // whitelist fails closed.
  std::vector<std::string_view> allowed;
  for (const std::string& sn : *sns) {
    if (sn.find(':') != std::string::npos) {
      platform::logf("deviceAcessList: serial number '{}' contains ':', not stored", sn);
    } else {
      allowed.push_back(sn);
    }
  }
  if (allowed.empty()) return false;
  return writeSetting(device_Acess_List, fmt::format("{}", fmt::join(allowed, ":")));
}

void RetailerSettingManager::clearAllDestination() {
  clearOptionWithService();
  databaseManager_.deleteSetting(Defult_Terminsl_ByIp);
  databaseManager_.deleteSetting(destination_sn);
  databaseManager_.deleteSetting(remember_service);
  databaseManager_.deleteSetting(destination_sn_serviceid);
}

void RetailerSettingManager::clearOptionWithSn(TextArg sn) {
  databaseManager_.deleteRememberServiceWithSn(sn);
}

void RetailerSettingManager::clearOptionWithService() {
  for (std::int64_t number = 0; number < kClearedStrategyServices; ++number) {
    databaseManager_.deleteSetting(TerminalServiceHelper::stringForService(number));
  }
}

void RetailerSettingManager::clearOptionWithCategory() {
  databaseManager_.deleteSetting(remember_stragety);
}

void RetailerSettingManager::clearAllOption() {
  clearOptionWithService();
  clearOptionWithCategory();
  databaseManager_.deleteSetting();
}

void RetailerSettingManager::clearRemember() {
  clearAllOption();
  databaseManager_.deleteRememberServiceAll();
  databaseManager_.deleteTerminalServiceAll();
  databaseManager_.deleteDiscoverTerminalAll();
  databaseManager_.deleteDeviceAuthInfo();
  databaseManager_.deleteDeviceCertKeyInfo();
  databaseManager_.deleteCaspExchangeAll();
}

}  // namespace veltrix::facade
