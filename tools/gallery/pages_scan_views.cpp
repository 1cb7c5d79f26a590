// Gallery pages of the scan screen's overflow grid and dialogs, each over the
// real screen with an orbit of its own: the grid (named for the device it
// is drawn on), the add-device chooser, the QR code dialog and the pairing
// code card.
#include <memory>
#include <string>

#include "gallery/scan_stage.h"

namespace veltrix::gallery {
namespace {

// A scan screen in the orbit presentation with `terminals` terminals, over a
// database of the page's own.
class ScreenWithTerminals {
 public:
  ScreenWithTerminals(Stage& stage, int terminals) : setup_(stage) {
    static const char* const kModels[] = {"T420", "T310", "TMIX Z3", "T420", "Q7"};
    static const char* const kNames[] = {"Card Payment", "Refund", "Pre-Authorization",
                                         "Balance Inquiry", "Reconciliation"};
    for (int i = 0; i < terminals; ++i) {
      setup_.report("TAVIO20240" + std::to_string(5811 + 97 * i), kModels[i % 5], kNames[i % 5], i);
    }
    stage.advance(1.0);
  }

  ui::scan::ScanViewController& screen() { return setup_.screen(); }

 private:
  ScanStage setup_;
};

void grid(Stage& stage) {
  // Eight bubbles and "more"; the other seven wait in the grid.
  ScreenWithTerminals s(stage, 15);
  s.screen().showGridPopup();
  stage.advance(1.0);
  stage.snapshot(stage.device().isPad() ? "scan_grid_pad" : "scan_grid_phone");
}

void addDevice(Stage& stage) {
  ScreenWithTerminals s(stage, 3);
  s.screen().plusQRCode();
  stage.snapshot("scan_add_device");
}

void qrDialog(Stage& stage) {
  ScreenWithTerminals s(stage, 3);
  s.screen().showQRCodeDialog();
  stage.snapshot("scan_qr_dialog");
}

// A code of our own: the page sends nothing.
struct ShownCode : ui::scan::PairingAuth {
  std::string createRandom() override { return "04271385"; }
  bool auth(const platform::Json&) override { return false; }
};

void pairingCard(Stage& stage) {
  ScreenWithTerminals s(stage, 3);
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
