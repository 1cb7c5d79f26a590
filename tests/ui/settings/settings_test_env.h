// Fixture of the settings screens' tests: the real database in the test's
// documents folder behind the screens' narrow interfaces, a navigation
// controller in a phone window, and recorders of what the screens write.
#pragma once

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/sqlite.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings::testing {

using Calls = std::vector<std::string>;

// Forwards to the real database and records every write.
class RecordingDatabase final : public ForwardingSettingsDatabase {
  static std::string_view text(registry::TextArg arg) { return arg.value_or("(null)"); }

 public:
  using ForwardingSettingsDatabase::ForwardingSettingsDatabase;
  bool insertSetting(std::string_view key, std::string_view value) override {
    return write(fmt::format("insert {} {}", key, value),
                 [&] { return inner().insertSetting(key, value); });
  }
  bool updateSetting(std::string_view key, std::string_view value) override {
    return write(fmt::format("update {} {}", key, value),
                 [&] { return inner().updateSetting(key, value); });
  }
  bool deleteSetting(std::string_view key) override {
    return write(fmt::format("delete {}", key), [&] { return inner().deleteSetting(key); });
  }
  bool insertRememberServices(registry::TextArg sn, registry::TextArg type,
                              registry::TextArg packageName, registry::TextArg serviceId,
                              registry::TextArg screenId, registry::TextArg createTime) override {
    return write(fmt::format("insertRemember {} {} {}", text(sn), text(type), text(serviceId)),
                 [&] {
                   return inner().insertRememberServices(sn, type, packageName, serviceId, screenId,
                                                         createTime);
                 });
  }
  bool replaceRememberServices(registry::TextArg sn, registry::TextArg type,
                               registry::TextArg packageName, registry::TextArg serviceId,
                               registry::TextArg screenId, registry::TextArg createTime) override {
    return write(fmt::format("replaceRemember {} {} {}", text(sn), text(type), text(serviceId)),
                 [&] {
                   return inner().replaceRememberServices(sn, type, packageName, serviceId,
                                                          screenId, createTime);
                 });
  }
  bool deleteRememberServiceWithType(registry::TextArg type) override {
    return write(fmt::format("deleteRemember {}", text(type)),
                 [&] { return inner().deleteRememberServiceWithType(type); });
  }
  bool deleteRememberServiceAll() override {
    return write("deleteRememberAll", [&] { return inner().deleteRememberServiceAll(); });
  }
  bool updateTerminalStatus(registry::TextArg sn, std::int64_t status) override {
    return write(fmt::format("updateTerminalStatus {} {}", text(sn), status),
                 [&] { return inner().updateTerminalStatus(sn, status); });
  }
  bool updataTerminalServiceStatus(std::int64_t tsId, std::int64_t status) override {
    return write(fmt::format("updataTerminalServiceStatus {} {}", tsId, status),
                 [&] { return inner().updataTerminalServiceStatus(tsId, status); });
  }
  bool insertDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status,
                            registry::TextArg authType, registry::TextArg supportAuthType,
                            registry::TextArg authTime) override {
    return write(fmt::format("insertDeviceAuthInfo {} {}", status, text(authType)), [&] {
      return inner().insertDeviceAuthInfo(deviceId, status, authType, supportAuthType, authTime);
    });
  }
  bool updateDeviceAuthInfo(registry::TextArg deviceId, std::int64_t status) override {
    return write(fmt::format("updateDeviceAuthInfo {}", status),
                 [&] { return inner().updateDeviceAuthInfo(deviceId, status); });
  }

  Calls writes;
  // Writes recorded while this is set fail without reaching the database.
  bool failWrites = false;

 private:
  template <typename Write>
  bool write(std::string call, Write&& forward) {
    writes.push_back(std::move(call));
    return !failWrites && forward();
  }
};

// Forwards to the real settings facade and records every write.
class RecordingFacade final : public SettingsFacade {
 public:
  explicit RecordingFacade(std::shared_ptr<SettingsFacade> inner) : inner_(std::move(inner)) {}
  bool getCommunicateTypeState(std::int64_t type) override {
    return inner_->getCommunicateTypeState(type);
  }
  void setCommunicateType(std::int64_t type, bool state) override {
    writes.push_back(fmt::format("setCommunicateType {} {}", type, state));
    inner_->setCommunicateType(type, state);
  }
  void isShowSetting(bool show) override {
    writes.push_back(fmt::format("isShowSetting {}", show));
    inner_->isShowSetting(show);
  }
  void isShowRememberOption(bool show) override {
    writes.push_back(fmt::format("isShowRememberOption {}", show));
    inner_->isShowRememberOption(show);
  }
  bool deviceAcessList(const std::vector<std::string>& sns) override {
    writes.push_back(fmt::format("deviceAcessList {}", fmt::join(sns, ",")));
    return inner_->deviceAcessList(sns);
  }
  std::optional<std::vector<registry::ServiceInfo>> showAllService() override {
    return discovered ? discovered : inner_->showAllService();
  }
  Calls writes;
  // What showAllService answers in place of the facade's list, when set.
  std::optional<std::vector<registry::ServiceInfo>> discovered;

 private:
  std::shared_ptr<SettingsFacade> inner_;
};

class SettingsScreenTest : public veltrix::testing::UiTest {
 protected:
  SettingsScreenTest()
      : db(std::make_shared<registry::DatabaseManager>(docs() / "settings.sqlite")),
        env(SettingsEnvironment::over(db)) {
    setTransitionDuration(0);
  }

  // Screens made after this see every write recorded.
  void record() {
    database = std::make_shared<RecordingDatabase>(env.database);
    facade = std::make_shared<RecordingFacade>(env.facade);
    env.database = database;
    env.facade = facade;
  }

  // `root` at the bottom of a navigation controller in the window.
  template <typename T>
  std::shared_ptr<T> showInNavigation(std::shared_ptr<T> root) {
    nav = std::make_shared<NavigationController>(root);
    show(nav);
    return root;
  }
  // `screen` pushed over a plain root, so that a pop shows.
  template <typename T>
  std::shared_ptr<T> pushOverRoot(std::shared_ptr<T> screen) {
    showInNavigation(std::make_shared<ViewController>());
    nav->pushViewController(screen, false);
    driver().settle();
    return screen;
  }

  std::string setting(std::string_view key) { return db->fetchSetting(key); }
  // From now on every write to `table` fails in the database itself.
  void refuseWrites(std::string_view table) {
    platform::Db peer;
    ASSERT_TRUE(peer.open(db->path()));
    for (const char* op : {"INSERT", "UPDATE", "DELETE"}) {
      ASSERT_TRUE(
          peer.exec(fmt::format("CREATE TRIGGER refuse_{0}_{1} BEFORE {1} ON {0} BEGIN "
                                "SELECT RAISE(ABORT, 'refused'); END",
                                table, op)))
          << peer.errorMessage();
    }
  }
  void addTerminal(const std::string& sn) {
    ASSERT_TRUE(db->insertDiscoveredTerminal(sn, "T1", "10.0.0.2:8080", "http", sn, 1, 0, 0, "1000",
                                             "1000", std::nullopt));
  }
  // A terminal service as discovery records it.
  void addService(const std::string& sn, const std::string& type, const std::string& serviceId,
                  const std::string& category = "payment", std::int64_t enabled = 1) {
    ASSERT_TRUE(db->insertTerminalServices(sn, type, type, std::nullopt, serviceId,
                                           serviceId + " app", enabled, "1000", "1000", category));
  }
  void remember(const std::string& sn, const std::string& type, const std::string& serviceId) {
    ASSERT_TRUE(db->insertRememberServices(sn, type, std::nullopt, serviceId, "", "1000"));
  }
  std::optional<std::string> rememberedSn(const std::string& type) {
    return registry::rowText(db->fetchRememberServicesWithType(type), "sn");
  }
  ViewController* top() { return driver().topViewController(); }

  std::shared_ptr<registry::DatabaseManager> db;
  SettingsEnvironment env;
  std::shared_ptr<RecordingDatabase> database;
  std::shared_ptr<RecordingFacade> facade;
  std::shared_ptr<NavigationController> nav;
};

}  // namespace veltrix::ui::settings::testing
