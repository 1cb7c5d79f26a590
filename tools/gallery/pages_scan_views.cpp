// Gallery pages of the scan screen's secondary views: the overflow grid
// (named for the device it is drawn on), the add-device chooser, the QR
// code dialog and the pairing code card, each over a stand-in scan screen.
#include <memory>
#include <string>
#include <vector>

#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/scan/grid_view_controller.h"
#include "veltrix/ui/scan/scan_dialogs.h"

namespace veltrix::gallery {
namespace {

using ui::scan::ScanDialogs;
using ui::scan::ServiceInfoDict;

// What lies under the dialogs: the scan screen's bar and backdrop with its
// centre image.
std::shared_ptr<ui::ViewController> scanScreen() {
  return std::make_shared<demo::Composition>("Select Terminal", [](ui::View& root) {
    const double side = 120;
    auto centre = std::make_shared<ui::ImageView>(ui::Rect{
        (root.bounds().width() - side) / 2, (root.bounds().height() - side) / 2, side, side});
    centre->setImage(ui::loadImageNamed("radarview"));
    root.addSubview(centre);
  });
}

std::vector<ServiceInfoDict> overflow() {
  const char* models[] = {"T420", "T310", "TMIX Z3", "T420", "Q7", "T310", "T420"};
  const char* names[] = {"Purchase", "Refund",         "Pre-Authorization",  "Balance Inquiry",
                         "Purchase", "Reconciliation", "Card Authentication"};
  std::vector<ServiceInfoDict> out;
  for (int i = 0; i < 7; ++i) {
    ServiceInfoDict s;
    s.model = models[i];
    s.sn = "TAVIO20240" + std::to_string(5811 + 97 * i);
    s.serviceName = names[i];
    out.push_back(s);
  }
  return out;
}

void grid(Stage& stage) {
  auto nav = demo::inNavigation(scanScreen());
  stage.show(nav);
  auto popup = std::make_shared<ui::scan::GridViewController>(overflow());
  nav->present(popup, true);
  stage.advance(1.0);
  stage.snapshot(stage.device().isPad() ? "scan_grid_pad" : "scan_grid_phone");
}

// Dialogs of a stand-in screen, kept with it for the page's life.
struct DialogScreen {
  std::shared_ptr<ui::ViewController> screen = scanScreen();
  std::shared_ptr<ScanDialogs> dialogs;
  explicit DialogScreen(Stage& stage, ScanDialogs::Services services = {}) {
    stage.show(demo::inNavigation(screen));
    dialogs = ScanDialogs::create(*screen, std::move(services));
  }
};

void addDevice(Stage& stage) {
  DialogScreen s(stage);
  s.dialogs->plusQRCode();
  stage.snapshot("scan_add_device");
}

void qrDialog(Stage& stage) {
  DialogScreen s(stage);
  s.dialogs->showQRCodeDialog();
  stage.snapshot("scan_qr_dialog");
}

// A code of our own: the page sends nothing.
struct ShownCode : ui::scan::PairingAuth {
  std::string createRandom() override { return "04271385"; }
  bool auth(const platform::Json&) override { return false; }
};

void pairingCard(Stage& stage) {
  ScanDialogs::Services services;
  services.auth = std::make_shared<ShownCode>();
  DialogScreen s(stage, services);
  s.dialogs->showAuthRandomView(
      platform::Json{{"sn", "TAVIO202405811"}, {"address", "192.168.1.37:8080"}});
  stage.snapshot("scan_pairing_card");
}

}  // namespace

VELTRIX_GALLERY_PAGE("scan_grid", grid);
VELTRIX_GALLERY_PAGE("scan_add_device", addDevice);
VELTRIX_GALLERY_PAGE("scan_qr_dialog", qrDialog);
VELTRIX_GALLERY_PAGE("scan_pairing_card", pairingCard);

}  // namespace veltrix::gallery
