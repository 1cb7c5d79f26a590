// Gallery pages of the services screens: the services manager in flexible
// and designated mode, its remember-mode and designated-terminal dialogs,
// the service list and the remember popup (phone and pad). Each page keeps
// its data in a database of its own in the gallery's documents folder.
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/paths.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"
#include "veltrix/ui/settings/service_list_view_controller.h"
#include "veltrix/ui/settings/services_manager_view_controller.h"
#include "veltrix/ui/settings/setting_view_controller.h"

namespace veltrix::gallery {
namespace {

using ui::settings::SettingsEnvironment;

const char* const kSn1 = "TAVIO-T420-000123";
const char* const kSn2 = "TAVIO-T310-005678";

struct Services {
  std::shared_ptr<registry::DatabaseManager> db;
  SettingsEnvironment env;
};

// Two terminals as discovery records them, with payment, print, display
// and scan-code services.
Services servicesFor(const std::string& page) {
  const auto path = platform::documentsDir() / (page + ".sqlite");
  std::filesystem::remove(path);
  auto db = std::make_shared<registry::DatabaseManager>(path);
  auto add = [&](const char* sn, const char* type, const char* id, const char* category) {
    db->insertTerminalServices(sn, type, type, std::nullopt, id, id, 1, "1000", "1000", category);
  };
  add(kSn1, "Purchase", "com.tavio.pay", "payment");
  add(kSn1, "Refund", "com.tavio.pay", "payment");
  add(kSn1, "PreAuth", "com.tavio.pay", "payment");
  add(kSn1, "Printer", "com.tavio.print", "print");
  add(kSn1, "Scan Code Purchase", "com.tavio.qr", "scan code");
  add(kSn2, "Purchase", "com.tavio.pay", "payment");
  add(kSn2, "Purchase", "com.acme.wallet", "payment");
  add(kSn2, "Display", "com.tavio.display", "display");
  db->insertRememberServices(kSn2, "Refund", std::nullopt, "com.tavio.pay", "", "1000");
  return {db, SettingsEnvironment::over(db)};
}

// The manager pushed over the hub, as the user reaches it.
std::shared_ptr<ui::settings::ServicesManagerViewController> openManager(Stage& stage,
                                                                         const Services& s) {
  auto nav = std::make_shared<ui::NavigationController>(
      std::make_shared<ui::settings::SettingViewController>(s.env));
  stage.show(nav);
  auto manager = std::make_shared<ui::settings::ServicesManagerViewController>(s.env);
  nav->pushViewController(manager, false);
  stage.settle();
  return manager;
}

void managerFlexible(Stage& stage) {
  Services s = servicesFor("services_manager_flexible");
  auto manager = openManager(stage, s);
  stage.snapshot("services_manager_flexible");
  // The remember-mode dialog over it.
  manager->showRememberModeSelector();
  stage.advance(1.0);
  stage.snapshot("services_remember_mode_dialog");
}

void managerDesignated(Stage& stage) {
  Services s = servicesFor("services_manager_designated");
  s.db->insertSetting("remember_mode", "1");
  s.db->insertRememberServices(kSn1, "ALL", "", "", std::nullopt, "1000");
  auto manager = openManager(stage, s);
  stage.snapshot("services_manager_designated");
  manager->showDeviceSelector();
  stage.advance(1.0);
  stage.snapshot("services_device_dialog");
}

void serviceList(Stage& stage) {
  Services s = servicesFor("services_list");
  auto manager = openManager(stage, s);
  std::size_t payment = 0;
  for (const auto& [key, title] : manager->serviceTitlesList()) {
    if (key == "payment") break;
    ++payment;
  }
  manager->openCategory(payment);
  stage.advance(1.0);
  stage.snapshot("services_list");
}

void rememberPopup(Stage& stage) {
  Services s = servicesFor("services_remember_popup");
  auto list = std::make_shared<ui::settings::ServiceListViewController>(s.env);
  list->setServiceItems({
      ui::settings::ServiceItem::itemWithTitle("Purchase", "No default target", "", "3"),
      ui::settings::ServiceItem::itemWithTitle("Refund", "com.tavio.pay", kSn2, "1"),
  });
  list->setTitleName("Payment Service");
  auto nav = std::make_shared<ui::NavigationController>(
      std::make_shared<ui::settings::SettingViewController>(s.env));
  stage.show(nav);
  nav->pushViewController(list, false);
  stage.settle();
  s.db->insertRememberServices(kSn2, "Purchase", std::nullopt, "com.acme.wallet", "", "1000");
  list->didSelectRow(list->tableView(), ui::IndexPath::forRow(0));
  stage.advance(1.0);
  stage.snapshot(stage.device().isPad() ? "services_remember_popup_pad"
                                        : "services_remember_popup_phone");
}

}  // namespace

VELTRIX_GALLERY_PAGE("services_manager_flexible", managerFlexible);
VELTRIX_GALLERY_PAGE("services_manager_designated", managerDesignated);
VELTRIX_GALLERY_PAGE("services_list", serviceList);
VELTRIX_GALLERY_PAGE("services_remember_popup", rememberPopup);

}  // namespace veltrix::gallery
