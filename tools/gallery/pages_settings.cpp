// Gallery pages of the settings screens: the hub, the connection methods,
// the LAN settings and their port alert, the device whitelist and the
// preferences in each mode. Each page keeps its settings in a database of
// its own in the gallery's documents folder.
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/paths.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/lan_settings_view_controller.h"
#include "veltrix/ui/settings/preferences_view_controller.h"
#include "veltrix/ui/settings/setting_view_controller.h"
#include "veltrix/ui/settings/whitelist_device_manager_view_controller.h"

namespace veltrix::gallery {
namespace {

using ui::settings::SettingsEnvironment;

struct Settings {
  std::shared_ptr<registry::DatabaseManager> db;
  SettingsEnvironment env;
};

Settings settingsFor(const std::string& page) {
  const auto path = platform::documentsDir() / (page + ".sqlite");
  std::filesystem::remove(path);
  auto db = std::make_shared<registry::DatabaseManager>(path);
  return {db, SettingsEnvironment::over(db)};
}

// `screen` pushed over the hub, as the user reaches it.
std::shared_ptr<ui::NavigationController> overHub(Stage& stage, const SettingsEnvironment& env,
                                                  std::shared_ptr<ui::ViewController> screen) {
  auto nav = std::make_shared<ui::NavigationController>(
      std::make_shared<ui::settings::SettingViewController>(env));
  stage.show(nav);
  nav->pushViewController(std::move(screen), false);
  stage.settle();
  return nav;
}

void hub(Stage& stage) {
  Settings s = settingsFor("settings_hub");
  stage.show(std::make_shared<ui::NavigationController>(
      std::make_shared<ui::settings::SettingViewController>(s.env)));
  stage.snapshot("settings_hub");
}

void connectionMethods(Stage& stage) {
  Settings s = settingsFor("connection_methods");
  s.env.facade->setCommunicateType(facade::kCommunicateTypeBluetooth, true);
  overHub(stage, s.env, std::make_shared<ui::settings::ConnectionMethodViewController>(s.env));
  stage.snapshot("connection_methods");
}

void lanSettings(Stage& stage) {
  Settings s = settingsFor("lan_settings");
  auto lan = std::make_shared<ui::settings::LANSettingsViewController>(s.env);
  overHub(stage, s.env, lan);
  stage.snapshot("lan_settings");
  lan->showPortEditAlert();
  stage.settle();
  stage.snapshot("lan_port_alert");
}

void whitelist(Stage& stage) {
  Settings s = settingsFor("whitelist");
  for (const char* sn : {"TAVIO-T420-0001", "TAVIO-T310-5678", "TAVIO-Z3-9012"}) {
    s.db->insertDiscoveredTerminal(sn, "T420", "192.168.1.20:8080", "http", sn, 1, 0, 0, "1000",
                                   "1000", std::nullopt);
  }
  s.db->insertSetting(facade::device_Acess_List, "TAVIO-T310-5678");
  overHub(stage, s.env,
          std::make_shared<ui::settings::WhitelistDeviceManagerViewController>(s.env));
  stage.snapshot("whitelist_selected");
}

void preferences(Stage& stage) {
  for (const char* mode : {"1", "2"}) {
    Settings s = settingsFor(std::string("preferences_") + mode);
    s.db->insertSetting(ui::settings::kPreferencesModeKey, mode);
    if (mode[0] == '1') s.db->insertSetting(facade::show_remember, "0");
    overHub(stage, s.env, std::make_shared<ui::settings::PreferencesViewController>(s.env));
    stage.snapshot(mode[0] == '1' ? "preferences_radar" : "preferences_list");
  }
}

}  // namespace

VELTRIX_GALLERY_PAGE("settings_hub", hub);
VELTRIX_GALLERY_PAGE("connection_methods", connectionMethods);
VELTRIX_GALLERY_PAGE("lan_settings", lanSettings);
VELTRIX_GALLERY_PAGE("whitelist", whitelist);
VELTRIX_GALLERY_PAGE("preferences", preferences);

}  // namespace veltrix::gallery
