// Gallery pages of the terminal detail sheet (services on, services off on
// a removed terminal, a store that failed) and of the device settings
// screen. Each page keeps its rows in a database of its own.
#include <memory>
#include <string>
#include <vector>

#include "gallery/gallery.h"
#include "veltrix/platform/paths.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/device_settings_controller.h"
#include "veltrix/ui/settings/remote_device_controller.h"
#include "veltrix/ui/settings/terminal_detail_cells.h"

namespace veltrix::gallery {
namespace {

using registry::Row;
using registry::Rows;
using registry::TextArg;
using ui::settings::ForwardingSettingsDatabase;
using ui::settings::SettingsDatabase;
using ui::settings::SettingsEnvironment;

constexpr const char* kSn = "TAVIO-T420-00017";

// Reads from the page's database; every service store fails.
class UnwritableServices final : public ForwardingSettingsDatabase {
 public:
  using ForwardingSettingsDatabase::ForwardingSettingsDatabase;
  bool updataTerminalServiceStatus(std::int64_t, std::int64_t) override { return false; }
};

struct Detail {
  std::shared_ptr<registry::DatabaseManager> db;
  SettingsEnvironment env;
};

// A T420 with a payment app and the device services, each `enabled` (1) or
// not (2), in a database of the page's own.
Detail detailFor(const std::string& page, std::int64_t status, std::int64_t enabled) {
  const auto path = platform::documentsDir() / (page + ".sqlite");
  std::filesystem::remove(path);
  auto db = std::make_shared<registry::DatabaseManager>(path);
  db->insertDiscoveredTerminal(kSn, "T420", "192.168.1.31:8080", "http,ble", std::nullopt, status,
                               1, 0, "1000", "1000", std::nullopt);
  struct Service {
    const char* type;
    const char* id;
    const char* name;
  };
  for (const Service& s :
       {Service{"Purchase", "pay", "Cashier"}, Service{"Refund", "pay", "Cashier"},
        Service{"Display", "device", "Terminal services"},
        Service{"Printer", "device", "Terminal services"}}) {
    db->insertTerminalServices(kSn, s.type, s.type, "com.tavio.cashier", s.id, s.name, enabled,
                               "1000", "1000", "payment");
  }
  return {db, SettingsEnvironment::over(db)};
}

// The sheet pushed over a plain list, as a tap on the scan screen leaves it.
std::shared_ptr<ui::settings::RemoteDeviceController> showSheet(Stage& stage, const Detail& d) {
  auto root = std::make_shared<ui::ViewController>();
  root->setTitle("Select Terminal");
  auto nav = std::make_shared<ui::NavigationController>(root);
  stage.show(nav);
  auto sheet = std::make_shared<ui::settings::RemoteDeviceController>(
      d.db->fetchDiscoveredTerminal(kSn), d.db->fetchTerminalServicesWithSn(kSn), d.env);
  nav->pushViewController(sheet, false);
  stage.settle();
  return sheet;
}

void servicesOn(Stage& stage) {
  Detail d = detailFor("terminal_detail_services_on", 1, 1);
  showSheet(stage, d);
  stage.snapshot("terminal_detail_services_on");
}

void servicesOff(Stage& stage) {
  Detail d = detailFor("terminal_detail_services_off", 2, 2);
  showSheet(stage, d);
  stage.snapshot("terminal_detail_services_off");
}

void saveFailed(Stage& stage) {
  Detail d = detailFor("terminal_detail_save_failed", 1, 1);
  d.env.database = std::make_shared<UnwritableServices>(d.env.database);
  auto sheet = showSheet(stage, d);
  auto* row = dynamic_cast<ui::settings::DeviceCapabilityCell*>(
      sheet->tableView()->cellForRow(ui::IndexPath::forRow(1, 3)).get());
  if (row) stage.driver().tap(*row->updateBtn());
  stage.advance(0.5);
  stage.snapshot("terminal_detail_save_failed");
}

void deviceSettings(Stage& stage) {
  const auto path = platform::documentsDir() / "device_settings.sqlite";
  std::filesystem::remove(path);
  auto db = std::make_shared<registry::DatabaseManager>(path);
  const char* terminals[] = {"TAVIO-T420-00017", "TAVIO-T310-00342", "TAVIO-Z3-02231"};
  for (const char* sn : terminals) {
    for (const char* type : {"Purchase", "Refund"}) {
      db->insertTerminalServices(sn, type, type, "com.tavio.cashier", "pay", "Cashier", 1, "1000",
                                 "1000", "payment");
    }
  }
  db->insertTerminalServices(terminals[0], "Display", "Display", "com.tavio.device", "device",
                             "Terminal services", 1, "1000", "1000", "device");
  db->insertRememberServices(terminals[1], "Purchase", std::nullopt, "pay", "", "1000");
  SettingsEnvironment env = SettingsEnvironment::over(db);
  db->insertDeviceAuthInfo(env.deviceIdentifier(), 1, "DCA", "DCA", "1000");
  auto root = std::make_shared<ui::ViewController>();
  root->setTitle("Settings");
  auto nav = std::make_shared<ui::NavigationController>(root);
  stage.show(nav);
  nav->pushViewController(
      std::make_shared<ui::settings::DeviceSettingsController>(Row{}, Rows{}, env), false);
  stage.settle();
  stage.snapshot("device_settings");
}

}  // namespace

VELTRIX_GALLERY_PAGE("terminal_detail_services_on", servicesOn);
VELTRIX_GALLERY_PAGE("terminal_detail_services_off", servicesOff);
VELTRIX_GALLERY_PAGE("terminal_detail_save_failed", saveFailed);
VELTRIX_GALLERY_PAGE("device_settings", deviceSettings);

}  // namespace veltrix::gallery
