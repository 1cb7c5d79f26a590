// What the settings screens' gallery pages share: a database of the page's
// own with the settings environment over it, and a screen pushed over
// another as the user reaches it.
//
// Thread: the main loop. PageSettings shares its database with the
// environment; the documents folder keeps the file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/paths.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/setting_view_controller.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::gallery {

struct PageSettings {
  std::shared_ptr<registry::DatabaseManager> db;
  ui::settings::SettingsEnvironment env;
};

// An empty database <documents>/<page>.sqlite (what an earlier run left
// there is removed), with the settings environment over it.
inline PageSettings settingsFor(const std::string& page) {
  const auto path = platform::documentsDir() / (page + ".sqlite");
  std::filesystem::remove(path);
  auto db = std::make_shared<registry::DatabaseManager>(path);
  return {db, ui::settings::SettingsEnvironment::over(db)};
}

// `screen` pushed without animation over `root` in a navigation controller
// on the stage, settled.
inline std::shared_ptr<ui::NavigationController> pushedOver(
    Stage& stage, std::shared_ptr<ui::ViewController> root,
    std::shared_ptr<ui::ViewController> screen) {
  auto nav = std::make_shared<ui::NavigationController>(std::move(root));
  stage.show(nav);
  nav->pushViewController(std::move(screen), false);
  stage.settle();
  return nav;
}

// A plain screen titled `title` to push over.
inline std::shared_ptr<ui::ViewController> plainRoot(const std::string& title) {
  auto root = std::make_shared<ui::ViewController>();
  root->setTitle(title);
  return root;
}

// `screen` pushed over the settings hub, as the user reaches it.
inline std::shared_ptr<ui::NavigationController> overHub(
    Stage& stage, const ui::settings::SettingsEnvironment& env,
    std::shared_ptr<ui::ViewController> screen) {
  return pushedOver(stage, std::make_shared<ui::settings::SettingViewController>(env),
                    std::move(screen));
}

}  // namespace veltrix::gallery
