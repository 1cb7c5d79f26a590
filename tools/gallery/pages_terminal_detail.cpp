// Gallery pages of the terminal detail sheet (services on, services off on
// a removed terminal, a store that failed) and of the device settings
// screen. Each page keeps its rows in a database of its own.
#include <memory>
#include <string>
#include <vector>

#include "gallery/settings_page.h"
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

constexpr const char* kSn = "TAVIO-T420-00017";

// Reads from the page's database; every service store fails.
class UnwritableServices final : public ForwardingSettingsDatabase {
 public:
  using ForwardingSettingsDatabase::ForwardingSettingsDatabase;
  bool updataTerminalServiceStatus(std::int64_t, std::int64_t) override { return false; }
};

// A T420 with a payment app and the device services, each `enabled` (1) or
// not (2), in a database of the page's own.
PageSettings detailFor(const std::string& page, std::int64_t status, std::int64_t enabled) {
  PageSettings d = settingsFor(page);
  d.db->insertDiscoveredTerminal(kSn, "T420", "192.168.1.31:8080", "http,ble", std::nullopt, status,
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
    d.db->insertTerminalServices(kSn, s.type, s.type, "com.tavio.cashier", s.id, s.name, enabled,
                                 "1000", "1000", "payment");
  }
  return d;
}

// The sheet pushed over a plain list, as a tap on the scan screen leaves it.
std::shared_ptr<ui::settings::RemoteDeviceController> showSheet(Stage& stage,
                                                                const PageSettings& d) {
  auto sheet = std::make_shared<ui::settings::RemoteDeviceController>(
      d.db->fetchDiscoveredTerminal(kSn), d.db->fetchTerminalServicesWithSn(kSn), d.env);
  pushedOver(stage, plainRoot("Select Terminal"), sheet);
  return sheet;
}

void servicesOn(Stage& stage) {
  PageSettings d = detailFor("terminal_detail_services_on", 1, 1);
  showSheet(stage, d);
  stage.snapshot("terminal_detail_services_on");
}

void servicesOff(Stage& stage) {
  PageSettings d = detailFor("terminal_detail_services_off", 2, 2);
  showSheet(stage, d);
  stage.snapshot("terminal_detail_services_off");
}

void saveFailed(Stage& stage) {
  PageSettings d = detailFor("terminal_detail_save_failed", 1, 1);
  d.env.database = std::make_shared<UnwritableServices>(d.env.database);
  auto sheet = showSheet(stage, d);
  // A turned phone shows the row only once scrolled to it.
  sheet->tableView()->scrollToRow(ui::IndexPath::forRow(1, 3));
  auto* row = dynamic_cast<ui::settings::DeviceCapabilityCell*>(
      sheet->tableView()->cellForRow(ui::IndexPath::forRow(1, 3)).get());
  if (row) stage.driver().tap(*row->updateBtn());
  stage.advance(0.5);
  stage.snapshot("terminal_detail_save_failed");
}

void deviceSettings(Stage& stage) {
  PageSettings s = settingsFor("device_settings");
  const auto& db = s.db;
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
  db->insertDeviceAuthInfo(s.env.deviceIdentifier(), 1, "DCA", "DCA", "1000");
  pushedOver(stage, plainRoot("Settings"),
             std::make_shared<ui::settings::DeviceSettingsController>(Row{}, Rows{}, s.env));
  stage.snapshot("device_settings");
}

}  // namespace

VELTRIX_GALLERY_PAGE("terminal_detail_services_on", servicesOn);
VELTRIX_GALLERY_PAGE("terminal_detail_services_off", servicesOff);
VELTRIX_GALLERY_PAGE("terminal_detail_save_failed", saveFailed);
VELTRIX_GALLERY_PAGE("device_settings", deviceSettings);

}  // namespace veltrix::gallery
