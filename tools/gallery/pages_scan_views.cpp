// Gallery pages of the scan screen's overflow grid and dialogs, each over the
// real screen with an orbit of its own: the grid (named for the device it
// is drawn on), the add-device chooser, the QR code dialog and the pairing
// code card.
#include <filesystem>
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/paths.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::gallery {
namespace {

// Discovery that finds only what the page reports.
class QuietDiscovery final : public registry::DiscoveryControl {
 public:
  void startScan() override {}
  void stopScan() override {}
  void setScanType(std::int32_t) override {}
  std::shared_ptr<registry::DiscoverManagerDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<registry::DiscoverManagerDelegate> d) override { delegate_ = d; }

 private:
  std::weak_ptr<registry::DiscoverManagerDelegate> delegate_;
};

// A scan screen in the orbit presentation with `terminals` terminals, over a
// database of the page's own in the gallery's documents folder.
class ScreenWithTerminals {
 public:
  ScreenWithTerminals(Stage& stage, const std::string& page, int terminals)
      : stage_(stage), db_(folder(page) / "scan.sqlite") {
    db_.insertSetting("preferencesMode", "1");
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    screen_ = ui::scan::ScanViewController::create(request, nullptr, {db_, &discovery_});
    stage.show(std::make_shared<ui::NavigationController>(screen_));
    stage.advance(0.5);
    for (int i = 0; i < terminals; ++i) report(i);
    stage.advance(1.0);
  }
  ~ScreenWithTerminals() {
    stage_.window().setRootViewController(nullptr);
    platform::mainLoop().runPending();
    screen_.reset();
  }

  ui::scan::ScanViewController& screen() { return *screen_; }

 private:
  static std::filesystem::path folder(const std::string& page) {
    auto dir = platform::documentsDir() / ("scan-views-" + page);
    std::filesystem::create_directories(dir);
    return dir;
  }

  void report(int i) {
    static const char* const kModels[] = {"T420", "T310", "TMIX Z3", "T420", "Q7"};
    static const char* const kNames[] = {"Card Payment", "Refund", "Pre-Authorization",
                                         "Balance Inquiry", "Reconciliation"};
    const std::string sn = "TAVIO20240" + std::to_string(5811 + 97 * i);
    const std::string t = std::to_string(platform::nowMillis());
    const char* name = kNames[i % 5];
    db_.insertTerminalServices(sn, "Purchase", "Payment", std::nullopt, "1", name, 1, t, t,
                               "payment");
    registry::ServiceInfo info;
    info.serviceSn = sn;
    info.model = kModels[i % 5];
    info.address = "192.168.1." + std::to_string(20 + i) + ":8080";
    info.parameter = "http";
    info.serviceType = "Purchase";
    info.serviceTypeName = "Payment";
    info.serviceId = "1";
    info.serviceName = name;
    screen_->onScanTerminal(info);
  }

  Stage& stage_;
  registry::DatabaseManager db_;
  QuietDiscovery discovery_;
  std::shared_ptr<ui::scan::ScanViewController> screen_;
};

void grid(Stage& stage) {
  // Eight bubbles and "more"; the other seven wait in the grid.
  ScreenWithTerminals s(stage, "grid", 15);
  s.screen().showGridPopup();
  stage.advance(1.0);
  stage.snapshot(stage.device().isPad() ? "scan_grid_pad" : "scan_grid_phone");
}

void addDevice(Stage& stage) {
  ScreenWithTerminals s(stage, "add_device", 3);
  s.screen().plusQRCode();
  stage.snapshot("scan_add_device");
}

void qrDialog(Stage& stage) {
  ScreenWithTerminals s(stage, "qr_dialog", 3);
  s.screen().showQRCodeDialog();
  stage.snapshot("scan_qr_dialog");
}

// A code of our own: the page sends nothing.
struct ShownCode : ui::scan::PairingAuth {
  std::string createRandom() override { return "04271385"; }
  bool auth(const platform::Json&) override { return false; }
};

void pairingCard(Stage& stage) {
  ScreenWithTerminals s(stage, "pairing_card", 3);
  s.screen().dialogServices.auth = std::make_shared<ShownCode>();
  s.screen().showAuthRandomView(
      platform::Json{{"sn", "TAVIO202405811"}, {"address", "192.168.1.20:8080"}});
  stage.snapshot("scan_pairing_card");
}

}  // namespace

VELTRIX_GALLERY_PAGE("scan_grid", grid);
VELTRIX_GALLERY_PAGE("scan_add_device", addDevice);
VELTRIX_GALLERY_PAGE("scan_qr_dialog", qrDialog);
VELTRIX_GALLERY_PAGE("scan_pairing_card", pairingCard);

}  // namespace veltrix::gallery
