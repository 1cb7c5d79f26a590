// The settings facade's discovery for the host: start and stop, the list of
// discovered services, and what discovery reports, passed on to the host.
#include <algorithm>
#include <utility>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade {

void RetailerSettingManager::setDelegate(std::weak_ptr<RetailerSettingManagerDelegate> delegate) {
  delegate_ = std::move(delegate);
}

void RetailerSettingManager::startDiscoverServices() {
  if (!discoverManager_) {
    platform::logLine("startDiscoverServices: no discovery manager");
    return;
  }
  discoverManager_->setScanType(1);
  discoverManager_->setDelegate(weak_from_this());
  discoverServicesArray_.emplace();
  discoverManager_->stopScan();
  discoverManager_->startScan();
  if (auto host = delegate()) host->onStartDiscoverServices();
}

void RetailerSettingManager::stopDiscoverServices() {
  if (discoverManager_) discoverManager_->stopScan();
  if (auto host = delegate()) host->onStopDiscoverServices();
}

std::optional<std::vector<registry::ServiceInfo>> RetailerSettingManager::showAllService() const {
  return discoverServicesArray_;
}

std::optional<std::vector<registry::ServiceInfo>> RetailerSettingManager::getDiscoverDeviceInfos()
    const {
  return discoverServicesArray_;
}

void RetailerSettingManager::onScanTerminal(const registry::ServiceInfo& info) {
  // Before the first start there is no list to add to.
  if (discoverServicesArray_) {
    const bool known =
        std::any_of(discoverServicesArray_->begin(), discoverServicesArray_->end(),
                    [&](const registry::ServiceInfo& held) { return held.isSameService(info); });
    if (!known) discoverServicesArray_->push_back(info);
  }
  if (auto host = delegate()) host->onDiscoverServices(info);
}

void RetailerSettingManager::onScanTerminalInfo(const registry::TerminalInfo& info) {
  if (auto host = delegate()) {
    host->onDiscoverTerminal(registry::DiscoverDeviceInfo::initWithData(
        info.sn, info.address, info.parameter, info.time, info.model));
  }
}

void RetailerSettingManager::finishedScan() {
  if (auto host = delegate()) host->onStopDiscoverServices();
}

}  // namespace veltrix::facade
