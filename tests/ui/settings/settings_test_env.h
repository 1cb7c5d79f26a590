// Fixture of the settings screens' tests: the real database in the test's
// documents folder behind the screens' narrow interfaces, a navigation
// controller in a phone window, and recorders of what the screens write.
#pragma once

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings::testing {

using Calls = std::vector<std::string>;

// Forwards to the real database and records every write.
class RecordingDatabase final : public SettingsDatabase {
 public:
  explicit RecordingDatabase(std::shared_ptr<SettingsDatabase> inner) : inner_(std::move(inner)) {}
  std::string fetchSetting(std::string_view key) override { return inner_->fetchSetting(key); }
  bool insertSetting(std::string_view key, std::string_view value) override {
    writes.push_back(fmt::format("insert {} {}", key, value));
    return inner_->insertSetting(key, value);
  }
  bool updateSetting(std::string_view key, std::string_view value) override {
    writes.push_back(fmt::format("update {} {}", key, value));
    return inner_->updateSetting(key, value);
  }
  bool deleteSetting(std::string_view key) override {
    writes.push_back(fmt::format("delete {}", key));
    return inner_->deleteSetting(key);
  }
  std::vector<std::string> discoveredTerminalSns() override {
    return inner_->discoveredTerminalSns();
  }
  Calls writes;

 private:
  std::shared_ptr<SettingsDatabase> inner_;
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
  Calls writes;

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
  void addTerminal(const std::string& sn) {
    ASSERT_TRUE(db->insertDiscoveredTerminal(sn, "T1", "10.0.0.2:8080", "http", sn, 1, 0, 0, "1000",
                                             "1000", std::nullopt));
  }
  ViewController* top() { return driver().topViewController(); }

  std::shared_ptr<registry::DatabaseManager> db;
  SettingsEnvironment env;
  std::shared_ptr<RecordingDatabase> database;
  std::shared_ptr<RecordingFacade> facade;
  std::shared_ptr<NavigationController> nav;
};

}  // namespace veltrix::ui::settings::testing
