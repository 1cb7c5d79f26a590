#include "veltrix/ui/settings/settings_environment.h"

#include <utility>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/registry/database_manager.h"

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

 private:
  std::shared_ptr<registry::DatabaseManager> db_;
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

 private:
  std::shared_ptr<registry::DatabaseManager> db_;
  std::shared_ptr<facade::RetailerSettingManager> facade_;
};

}  // namespace

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
  env.bundle = LibraryBundle::shared();
  return env;
}

}  // namespace veltrix::ui::settings
