// What the settings screens use of the library: the settings table and the
// list of discovered terminals (SettingsDatabase), the settings facade
// (SettingsFacade) and the library's bundle. SettingsEnvironment::shared()
// joins the process-wide singletons; tests and the gallery build one over a
// database of their own, or put a fake in one place.
//
// Thread: the main loop (every screen call comes from there).
// Ownership: an environment shares its parts; each adapter keeps alive what
// it wraps (the singletons live for the process anyway).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/ui/settings/library_bundle.h"

namespace veltrix::registry {
class DatabaseManager;
}
namespace veltrix::facade {
class RetailerSettingManager;
}

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
};

struct SettingsEnvironment {
  std::shared_ptr<SettingsDatabase> database;
  std::shared_ptr<SettingsFacade> facade;
  std::shared_ptr<const LibraryBundle> bundle;

  // The shared database, the shared settings facade and the built bundle.
  static SettingsEnvironment shared();
  // A database of the caller's with a settings facade of its own over it
  // (coupled to no discovery), and the built bundle.
  static SettingsEnvironment over(std::shared_ptr<registry::DatabaseManager> database);
  // The same with the caller's settings facade, which must use `database`.
  static SettingsEnvironment over(std::shared_ptr<registry::DatabaseManager> database,
                                  std::shared_ptr<facade::RetailerSettingManager> facade);
};

}  // namespace veltrix::ui::settings
