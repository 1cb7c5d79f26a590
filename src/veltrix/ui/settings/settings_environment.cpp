#include "veltrix/ui/settings/settings_environment.h"

#include <utility>

#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/handshake_bean.h"

namespace veltrix::ui::settings {

namespace {

class DatabaseAdapter final : public SettingsDatabase {
 public:
  explicit DatabaseAdapter(std::shared_ptr<registry::DatabaseManager> db) : db_(std::move(db)) {}

  std::string fetchSetting(std::string_view key) override { return db_->fetchSetting(key); }
  bool insertSetting(std::string_view key, std::string_view value) override {
    return db_->insertSetting(key, value);
  }
  bool updateSetting(std::string_view key, std::string_view value) override {
    return db_->updateSetting(key, value);
  }
  bool deleteSetting(std::string_view key) override { return db_->deleteSetting(key); }
  std::vector<std::string> discoveredTerminalSns() override {
    std::vector<std::string> sns;
    for (const registry::Row& row : db_->fetchDiscoveredAllTerminal()) {
      if (auto sn = registry::rowText(row, "sn")) sns.push_back(std::move(*sn));
    }
    return sns;
  }

  std::vector<std::string> getDeviceSNArray() override { return db_->getDeviceSNArray(); }
  std::map<std::string, std::string> getServiceCategoryArray() override {
    return db_->getServiceCategoryArray();
  }
  std::map<std::string, std::string> getServiceCategoryArrayBySN(registry::TextArg sn) override {
    return db_->getServiceCategoryArrayBySN(sn);
  }
  registry::Rows groupCountByTerminaService(registry::TextArg category) override {
    return db_->groupCountByTerminaService(category);
  }
  registry::Rows groupCountByTerminaService(registry::TextArg category,
                                            registry::TextArg sn) override {
    return db_->groupCountByTerminaService(category, sn);
  }
  registry::Rows fetchTerminalServicesWithServiceType(registry::TextArg type) override {
    return db_->fetchTerminalServicesWithServiceType(type);
  }
  registry::Rows fetchTerminalServicesWithServiceTypeSn(registry::TextArg type,
                                                        registry::TextArg sn) override {
    return db_->fetchTerminalServicesWithServiceTypeSn(type, sn);
  }
  registry::Row fetchRememberServicesWithType(registry::TextArg type) override {
    return db_->fetchRememberServicesWithType(type);
  }
  bool insertRememberServices(registry::TextArg sn, registry::TextArg type,
                              registry::TextArg packageName, registry::TextArg serviceId,
                              registry::TextArg screenId, registry::TextArg createTime) override {
    return db_->insertRememberServices(sn, type, packageName, serviceId, screenId, createTime);
  }
  bool replaceRememberServices(registry::TextArg sn, registry::TextArg type,
                               registry::TextArg packageName, registry::TextArg serviceId,
                               registry::TextArg screenId, registry::TextArg createTime) override {
    return db_->replaceRememberServices(sn, type, packageName, serviceId, screenId, createTime);
  }
  bool deleteRememberServiceWithType(registry::TextArg type) override {
    return db_->deleteRememberServiceWithType(type);
  }
  bool deleteRememberServiceAll() override { return db_->deleteRememberServiceAll(); }
  registry::Row fetchDiscoveredTerminal(registry::TextArg sn) override {
    return db_->fetchDiscoveredTerminal(sn);
  }
  bool updateTerminalStatus(registry::TextArg sn, std::int64_t status) override {
    return db_->updateTerminalStatus(sn, status);
  }
  registry::Rows fetchTerminalServicesWithSn(registry::TextArg sn) override {
    return db_->fetchTerminalServicesWithSn(sn);
  }
  bool updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status) override {
    return db_->updataTerminalServiceStatus(tsId, status);
  }
  registry::Rows groupCountByTerminaService() override { return db_->groupCountByTerminaService(); }
  registry::Row fetchDeviceAuthInfoWithSn(registry::TextArg deviceId) override {
    return db_->fetchDeviceAuthInfoWithSn(deviceId);
  }
  bool insertDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status,
                            registry::TextArg authType, registry::TextArg supportAuthType,
                            registry::TextArg authTime) override {
    return db_->insertDeviceAuthInfo(deviceId, status, authType, supportAuthType, authTime);
  }
  bool updateDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status) override {
    return db_->updateDeviceAuthInfo(deviceId, status);
  }

 private:
  std::shared_ptr<registry::DatabaseManager> db_;
};

class ServiceFacadeAdapter final : public ServiceFacade {
 public:
  explicit ServiceFacadeAdapter(std::shared_ptr<facade::RetailerManager> manager)
      : manager_(std::move(manager)) {}

  void display(const model::DisplayParam& param, ExchangeIdBlock block,
               facade::ResultBlock<model::DisplayResult> result) override {
    facade::RetailerManager& manager =
        manager_ ? *manager_ : facade::RetailerManager::sharedManager();
    manager.display(param, std::move(block), std::move(result));
  }

 private:
  std::shared_ptr<facade::RetailerManager> manager_;
};

class FacadeAdapter final : public SettingsFacade {
 public:
  // `db` only stays alive for as long as the facade refers to it.
  FacadeAdapter(std::shared_ptr<facade::RetailerSettingManager> facade,
                std::shared_ptr<registry::DatabaseManager> db)
      : db_(std::move(db)), facade_(std::move(facade)) {}

  bool getCommunicateTypeState(std::int64_t type) override {
    return facade_->getCommunicateTypeState(type);
  }
  void setCommunicateType(std::int64_t type, bool state) override {
    facade_->setCommunicateType(type, state);
  }
  void isShowSetting(bool show) override { facade_->isShowSetting(show); }
  void isShowRememberOption(bool show) override { facade_->isShowRememberOption(show); }
  bool deviceAcessList(const std::vector<std::string>& sns) override {
    return facade_->deviceAcessList(sns);
  }
  std::optional<std::vector<registry::ServiceInfo>> showAllService() override {
    return facade_->showAllService();
  }

 private:
  std::shared_ptr<registry::DatabaseManager> db_;
  std::shared_ptr<facade::RetailerSettingManager> facade_;
};

}  // namespace

std::shared_ptr<ServiceFacade> serviceFacadeOver(std::shared_ptr<facade::RetailerManager> manager) {
  return std::make_shared<ServiceFacadeAdapter>(std::move(manager));
}

SettingsEnvironment SettingsEnvironment::shared() {
  // The database singleton lives for the process: share it without owning.
  std::shared_ptr<registry::DatabaseManager> db(std::shared_ptr<void>{},
                                                &registry::DatabaseManager::sharedManager());
  return over(db, facade::RetailerSettingManager::sharedPtr());
}

SettingsEnvironment SettingsEnvironment::over(std::shared_ptr<registry::DatabaseManager> database) {
  auto facade = std::make_shared<facade::RetailerSettingManager>(*database);
  return over(std::move(database), std::move(facade));
}

SettingsEnvironment SettingsEnvironment::over(
    std::shared_ptr<registry::DatabaseManager> database,
    std::shared_ptr<facade::RetailerSettingManager> facade) {
  SettingsEnvironment env;
  env.database = std::make_shared<DatabaseAdapter>(database);
  env.facade = std::make_shared<FacadeAdapter>(std::move(facade), std::move(database));
  env.services = serviceFacadeOver(nullptr);
  env.deviceIdentifier = &registry::HandshakeBean::getUUID;
  env.bundle = LibraryBundle::shared();
  return env;
}

}  // namespace veltrix::ui::settings
