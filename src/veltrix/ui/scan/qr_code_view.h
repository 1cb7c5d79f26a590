// The QR code card: the text as a QR code over two lines asking the user to
// scan it with the terminal's Tavio app. The scan screen's QR code dialog
// shows it, 320 x 350 points, with this device's handshake record.
//
// Threads: the main loop only. Owned like every view.
#pragma once

#include <memory>
#include <string>

#include "veltrix/platform/ui/controls.h"

namespace veltrix::ui::scan {

class QRCodeView : public View {
 public:
  // A text too long for one code leaves the image view empty.
  explicit QRCodeView(std::string qrCodeString);

  const std::string& qrCodeString() const { return qrCodeString_; }
  const std::shared_ptr<ImageView>& imageView() const { return imageView_; }

  std::string typeName() const override { return "QRCodeView"; }

 private:
  void setupUI();
  std::string qrCodeString_;
  std::shared_ptr<ImageView> imageView_;
};

}  // namespace veltrix::ui::scan
