// Gallery pages of the Bluetooth settings screen: scanning, the terminals a
// scan found (one of them stored, so paired), and the alert after a
// connection.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gallery/gallery.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/ble_settings_view_controller.h"

namespace veltrix::gallery {
namespace {

using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;
using ui::settings::BleSettingsViewController;

// Three terminals in range; none connected until the user taps one.
class InRangeLink final : public ui::BleSettingsLink {
 public:
  void startScan(transport::BLEScanSingleBlock block) override { scan_ = std::move(block); }
  void stopScan() override { scan_ = nullptr; }
  void connectPeripheralWithModel(const BLEPeripheralModel& model,
                                  transport::BLEConnectCompletion completion) override {
    if (model.manufacturerName) ready_ = *model.manufacturerName;
    completion(true, "Device connected and ready for communication", model.manufacturerName);
  }
  void setConnectStatusChangeBlock(transport::BLEConnectStatusChangeBlock) override {}
  std::optional<BLEConnectStatus> connectStatus(const std::string& sn) override {
    if (sn == ready_) return BLEConnectStatus::Ready;
    return std::nullopt;
  }
  std::optional<std::string> serviceUUIDString() override { return std::nullopt; }
  std::vector<std::string> connectedPeripheralIdentifiers(const platform::ble::BleUuid&) override {
    return {};
  }
  void clearLastConnectDevice() override {}

  void advertise() {
    const std::vector<BLEPeripheralModel> inRange{
        {nullptr, "Tavio T1 Pro", "9B3E61C2-05D4-4E7A-A1F8-2C6D8B0E4F13", -52, "TAVIO-T1P-00412"},
        {nullptr, "Tavio T420", "17A4F0D9-6C2B-4B38-9E5A-D1F2C3B4A596", -67, "TAVIO-T420-01876"},
        {nullptr, "Tavio Mix Z3", "E0C5B7A1-3F92-48D6-B2E4-7A9C1D3F5B28", std::nullopt,
         "TAVIO-Z3-02231"},
    };
    for (const BLEPeripheralModel& model : inRange) {
      if (scan_) scan_(model);
    }
  }

 private:
  transport::BLEScanSingleBlock scan_;
  std::string ready_;
};

// The screen as a host pushes it, over a database of the page's own that
// outlives it, with the T420 among the stored terminals.
class BleSettingsStage {
 public:
  explicit BleSettingsStage(Stage& stage)
      : stage_(stage),
        database_(std::make_unique<registry::DatabaseManager>(
            platform::documentsDir() /
            ("gallery-ble-settings-" + platform::newUuid() + ".sqlite"))),
        settings_(std::make_shared<facade::RetailerSettingManager>(*database_)) {
    database_->insertDiscoveredTerminal("TAVIO-T420-01876", "T420", "192.168.1.31:8080", "http,ble",
                                        std::nullopt, 1, 0, 0, "1", "1", std::nullopt);
    screen_ = std::make_shared<BleSettingsViewController>(
        BleSettingsViewController::Collaborators{link_, settings_, database_.get()});
    stage_.show(std::make_shared<ui::NavigationController>(screen_));
  }
  ~BleSettingsStage() {
    screen_.reset();
    stage_.show(nullptr);
  }
  BleSettingsStage(const BleSettingsStage&) = delete;
  BleSettingsStage& operator=(const BleSettingsStage&) = delete;

  InRangeLink& link() { return *link_; }
  BleSettingsViewController& screen() { return *screen_; }

 private:
  Stage& stage_;
  std::unique_ptr<registry::DatabaseManager> database_;
  std::shared_ptr<facade::RetailerSettingManager> settings_;
  std::shared_ptr<InRangeLink> link_ = std::make_shared<InRangeLink>();
  std::shared_ptr<BleSettingsViewController> screen_;
};

void scanning(Stage& stage) {
  BleSettingsStage ble(stage);
  stage.advance(0.5);
  stage.snapshot("ble_settings_scanning");
}

void found(Stage& stage) {
  BleSettingsStage ble(stage);
  ble.link().advertise();
  stage.advance(3.5);
  stage.snapshot("ble_settings_found");
}

void connectAlert(Stage& stage) {
  BleSettingsStage ble(stage);
  ble.link().advertise();
  stage.advance(3.5);
  stage.driver().tapRow(*ble.screen().deviceTableView(), ui::IndexPath::forRow(0));
  stage.advance(0.5);
  stage.snapshot("ble_settings_connect_alert");
}

}  // namespace

VELTRIX_GALLERY_PAGE("ble_settings_scanning", scanning);
VELTRIX_GALLERY_PAGE("ble_settings_found", found);
VELTRIX_GALLERY_PAGE("ble_settings_connect_alert", connectAlert);

}  // namespace veltrix::gallery
