// What the settings screens use of the library: the settings table, the
// terminal registry, the remembered services and this device's pairing row
// (SettingsDatabase), the settings facade (SettingsFacade), the service
// facade's Display request (ServiceFacade), this device's identifier and the
// library's bundle.
// SettingsEnvironment::shared() joins the process-wide singletons; tests and
// the gallery build one over a database of their own, or put a fake in one
// place.
//
// Thread: the main loop (every screen call comes from there).
// Ownership: an environment shares its parts; each adapter keeps alive what
// it wraps (the singletons live for the process anyway).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "veltrix/facade/result_back_manager.h"
#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/nonfinancial_results.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/settings/library_bundle.h"

namespace veltrix::facade {
class RetailerManager;
class RetailerSettingManager;
}  // namespace veltrix::facade

namespace veltrix::ui::settings {

// The database operations the screens make.
class SettingsDatabase {
 public:
  virtual ~SettingsDatabase() = default;
  // "" for a key without a value.
  virtual std::string fetchSetting(std::string_view key) = 0;
  virtual bool insertSetting(std::string_view key, std::string_view value) = 0;
  virtual bool updateSetting(std::string_view key, std::string_view value) = 0;
  virtual bool deleteSetting(std::string_view key) = 0;
  // The "sn" of every discovered terminal, in the registry's row order.
  virtual std::vector<std::string> discoveredTerminalSns() = 0;

  // Terminal services and remembered services, as DatabaseManager reads
  // and writes them (rows keyed by column).
  virtual std::vector<std::string> getDeviceSNArray() = 0;
  // Category key to title, ordered by key.
  virtual std::map<std::string, std::string> getServiceCategoryArray() = 0;
  virtual std::map<std::string, std::string> getServiceCategoryArrayBySN(registry::TextArg sn) = 0;
  virtual registry::Rows groupCountByTerminaService(registry::TextArg category) = 0;
  virtual registry::Rows groupCountByTerminaService(registry::TextArg category,
                                                    registry::TextArg sn) = 0;
  // Enabled and disabled rows of the type, every terminal's.
  virtual registry::Rows fetchTerminalServicesWithServiceType(registry::TextArg type) = 0;
  // Enabled rows of the type on one terminal.
  virtual registry::Rows fetchTerminalServicesWithServiceTypeSn(registry::TextArg type,
                                                                registry::TextArg sn) = 0;
  virtual registry::Row fetchRememberServicesWithType(registry::TextArg type) = 0;
  virtual bool insertRememberServices(registry::TextArg sn, registry::TextArg type,
                                      registry::TextArg packageName, registry::TextArg serviceId,
                                      registry::TextArg screenId, registry::TextArg createTime) = 0;
  // The type's rows replaced by one, all or nothing.
  virtual bool replaceRememberServices(registry::TextArg sn, registry::TextArg type,
                                       registry::TextArg packageName, registry::TextArg serviceId,
                                       registry::TextArg screenId,
                                       registry::TextArg createTime) = 0;
  virtual bool deleteRememberServiceWithType(registry::TextArg type) = 0;
  virtual bool deleteRememberServiceAll() = 0;
  // The terminal registry, as DatabaseManager has it (empty rows when none).
  virtual registry::Row fetchDiscoveredTerminal(registry::TextArg sn) = 0;
  virtual bool updateTerminalStatus(registry::TextArg sn, std::int64_t status) = 0;
  virtual registry::Rows fetchTerminalServicesWithSn(registry::TextArg sn) = 0;
  virtual bool updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status) = 0;
  virtual registry::Rows groupCountByTerminaService() = 0;
  // This device's pairing row, keyed by its identifier.
  virtual registry::Row fetchDeviceAuthInfoWithSn(registry::TextArg deviceId) = 0;
  virtual bool insertDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status,
                                    registry::TextArg authType, registry::TextArg supportAuthType,
                                    registry::TextArg authTime) = 0;
  virtual bool updateDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status) = 0;
};

// A SettingsDatabase that hands every call to another: fakes and wrappers
// override only the calls they watch or change.
class ForwardingSettingsDatabase : public SettingsDatabase {
 public:
  explicit ForwardingSettingsDatabase(std::shared_ptr<SettingsDatabase> inner)
      : inner_(std::move(inner)) {}

  std::string fetchSetting(std::string_view key) override { return inner_->fetchSetting(key); }
  bool insertSetting(std::string_view key, std::string_view value) override {
    return inner_->insertSetting(key, value);
  }
  bool updateSetting(std::string_view key, std::string_view value) override {
    return inner_->updateSetting(key, value);
  }
  bool deleteSetting(std::string_view key) override { return inner_->deleteSetting(key); }
  std::vector<std::string> discoveredTerminalSns() override {
    return inner_->discoveredTerminalSns();
  }
  std::vector<std::string> getDeviceSNArray() override { return inner_->getDeviceSNArray(); }
  std::map<std::string, std::string> getServiceCategoryArray() override {
    return inner_->getServiceCategoryArray();
  }
  std::map<std::string, std::string> getServiceCategoryArrayBySN(registry::TextArg sn) override {
    return inner_->getServiceCategoryArrayBySN(sn);
  }
  registry::Rows groupCountByTerminaService(registry::TextArg category) override {
    return inner_->groupCountByTerminaService(category);
  }
  registry::Rows groupCountByTerminaService(registry::TextArg category,
                                            registry::TextArg sn) override {
    return inner_->groupCountByTerminaService(category, sn);
  }
  registry::Rows fetchTerminalServicesWithServiceType(registry::TextArg type) override {
    return inner_->fetchTerminalServicesWithServiceType(type);
  }
  registry::Rows fetchTerminalServicesWithServiceTypeSn(registry::TextArg type,
                                                        registry::TextArg sn) override {
    return inner_->fetchTerminalServicesWithServiceTypeSn(type, sn);
  }
  registry::Row fetchRememberServicesWithType(registry::TextArg type) override {
    return inner_->fetchRememberServicesWithType(type);
  }
  bool insertRememberServices(registry::TextArg sn, registry::TextArg type,
                              registry::TextArg packageName, registry::TextArg serviceId,
                              registry::TextArg screenId, registry::TextArg createTime) override {
    return inner_->insertRememberServices(sn, type, packageName, serviceId, screenId, createTime);
  }
  bool replaceRememberServices(registry::TextArg sn, registry::TextArg type,
                               registry::TextArg packageName, registry::TextArg serviceId,
                               registry::TextArg screenId, registry::TextArg createTime) override {
    return inner_->replaceRememberServices(sn, type, packageName, serviceId, screenId, createTime);
  }
  bool deleteRememberServiceWithType(registry::TextArg type) override {
    return inner_->deleteRememberServiceWithType(type);
  }
  bool deleteRememberServiceAll() override { return inner_->deleteRememberServiceAll(); }
  registry::Row fetchDiscoveredTerminal(registry::TextArg sn) override {
    return inner_->fetchDiscoveredTerminal(sn);
  }
  bool updateTerminalStatus(registry::TextArg sn, std::int64_t status) override {
    return inner_->updateTerminalStatus(sn, status);
  }
  registry::Rows fetchTerminalServicesWithSn(registry::TextArg sn) override {
    return inner_->fetchTerminalServicesWithSn(sn);
  }
  bool updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status) override {
    return inner_->updataTerminalServiceStatus(tsId, status);
  }
  registry::Rows groupCountByTerminaService() override {
    return inner_->groupCountByTerminaService();
  }
  registry::Row fetchDeviceAuthInfoWithSn(registry::TextArg deviceId) override {
    return inner_->fetchDeviceAuthInfoWithSn(deviceId);
  }
  bool insertDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status,
                            registry::TextArg authType, registry::TextArg supportAuthType,
                            registry::TextArg authTime) override {
    return inner_->insertDeviceAuthInfo(deviceId, status, authType, supportAuthType, authTime);
  }
  bool updateDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status) override {
    return inner_->updateDeviceAuthInfo(deviceId, status);
  }

 protected:
  SettingsDatabase& inner() { return *inner_; }

 private:
  std::shared_ptr<SettingsDatabase> inner_;
};

// The settings-facade operations the screens make.
class SettingsFacade {
 public:
  virtual ~SettingsFacade() = default;
  virtual bool getCommunicateTypeState(std::int64_t type) = 0;
  virtual void setCommunicateType(std::int64_t type, bool state) = 0;
  virtual void isShowSetting(bool show) = 0;
  virtual void isShowRememberOption(bool show) = 0;
  // True when the list was stored.
  virtual bool deviceAcessList(const std::vector<std::string>& sns) = 0;
  // The services collected from discovery for the host, in arrival order;
  // none before the host's first discovery.
  virtual std::optional<std::vector<registry::ServiceInfo>> showAllService() = 0;
};

// The service-facade requests the screens send (FIND DEVICE).
class ServiceFacade {
 public:
  using ExchangeIdBlock = std::function<void(const std::string& exchangeId)>;
  virtual ~ServiceFacade() = default;
  virtual void display(const model::DisplayParam& param, ExchangeIdBlock block,
                       facade::ResultBlock<model::DisplayResult> result) = 0;
};

// `manager`'s requests; null takes the process-wide facade, made on the
// first request (not before: it starts the library's singletons).
std::shared_ptr<ServiceFacade> serviceFacadeOver(std::shared_ptr<facade::RetailerManager> manager);

struct SettingsEnvironment {
  std::shared_ptr<SettingsDatabase> database;
  std::shared_ptr<SettingsFacade> facade;
  std::shared_ptr<ServiceFacade> services;
  // This device's identifier, the key of its pairing row (the one the
  // library's handshake reads).
  std::function<std::string()> deviceIdentifier;
  std::shared_ptr<const LibraryBundle> bundle;

  // The shared database, the shared settings facade and the built bundle.
  static SettingsEnvironment shared();
  // A database of the caller's with a settings facade of its own over it
  // (coupled to no discovery), the process-wide service facade (replace it
  // to keep requests off the shared one), this device's identifier and the
  // built bundle.
  static SettingsEnvironment over(std::shared_ptr<registry::DatabaseManager> database);
  // The same with the caller's settings facade, which must use `database`.
  static SettingsEnvironment over(std::shared_ptr<registry::DatabaseManager> database,
                                  std::shared_ptr<facade::RetailerSettingManager> facade);
};

}  // namespace veltrix::ui::settings
