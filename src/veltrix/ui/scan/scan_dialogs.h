// The scan screen's dialogs over its view: the add-device chooser (a
// ScanOptionView on a dimming overlay), the QR code dialog with this
// device's handshake record, and the pairing code card.
//
// The screen owns one ScanDialogs and forwards its operations to it:
// plusQRCode: opens the chooser, whose "Device Code" closes it and opens the
// QR code dialog; showAuthRandomView: makes a pairing code, shows the card
// and sends the pairing request. A tap on the dimming outside the chooser's
// or the QR code's card closes that dialog; the pairing card stays until
// the screen ends (cleanUp).
//
// Threads: the main loop only. Ownership: made with create() and owned by
// the screen; it refers to the screen's controller without owning it, and
// every block it gives a view captures it weakly. It owns the views it adds
// until they are removed. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/json.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/scan/auth_random_view.h"

namespace veltrix::ui::scan {

class ScanDialogs : public std::enable_shared_from_this<ScanDialogs> {
 public:
  struct Services {
    // Pairing; AuthManager::sharedInstance() when empty.
    std::shared_ptr<PairingAuth> auth;
    // This device's handshake record as JSON text; the process-wide one
    // (HandshakeBean::initBeanWithSelfInfo) when empty.
    std::function<std::optional<std::string>()> handshakeText;
  };

  static std::shared_ptr<ScanDialogs> create(ViewController& screen, Services services = {});
  ScanDialogs(const ScanDialogs&) = delete;
  ScanDialogs& operator=(const ScanDialogs&) = delete;

  // --- Add-device chooser and QR code dialog (over the screen's view) ---
  void plusQRCode();
  void showCustomRadioDialog();
  void handleDaySelection(std::int64_t index);
  // Removes the chooser or QR code dialog showing; nothing when none is.
  void dismissDialog();
  void showQRCodeDialog();
  bool isShowQRView() const { return isShowQRView_; }
  // The screen's blank-area rule found a tap on no view: a dialog that is
  // showing closes.
  void blankAreaTapped();
  View* dialogView() const { return dialog_.get(); }

  // --- Pairing code card (over the screen view's superview) ---
  void showAuthRandomView(const platform::Json& terminal);

  // The dimming view slot the pairing card shares with the remember sheet:
  // storing a new view removes the earlier one from the screen.
  View* backgroundView() const { return backgroundView_.get(); }
  void setBackgroundView(std::shared_ptr<View> view);

  // A black dimming view at alpha 0.5 pinned to `host`'s edges, on top.
  std::shared_ptr<View> addDimmingView(View& host);

  // The screen ends: every dialog and the background view go.
  void cleanUp();

 private:
  ScanDialogs(ViewController& screen, Services services);
  // Closes the dialog on a tap on its dimming outside `card`.
  void closeOnTapOutside(View& dimming, const std::shared_ptr<View>& card);

  ViewController& screen_;
  Services services_;
  std::shared_ptr<View> dialog_;
  std::shared_ptr<View> backgroundView_;
  bool isShowQRView_ = false;
};

}  // namespace veltrix::ui::scan
