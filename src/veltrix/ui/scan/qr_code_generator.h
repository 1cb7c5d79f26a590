// QR code images: text rendered as a QR code at the highest correction
// level, scaled to exactly the size asked for, and a code placed on a
// background picture.
//
// A struct of static functions; no state. Thread: the main loop (it reads
// the main screen's scale).
#pragma once

#include <string_view>

#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/image.h"

namespace veltrix::ui::scan {

struct QRCodeGenerator {
  // The UTF-8 bytes of `text` as a QR code (correction level H) filling
  // exactly `size` points at `scale` pixels per point, each pixel taking
  // the module under it. nullptr when the text is empty or too long for one
  // code, or the size has no pixels.
  static ImagePtr generateQRCodeFromString(std::string_view text, Size size,
                                           double scale = mainScreen().scale);

  // `image` at its own size with `qrCode` drawn over it at `position`, at
  // its own size; nullptr when the background has no area.
  static ImagePtr addQRCode(const Image& qrCode, const Image& image, Point position,
                            double scale = mainScreen().scale);
};

}  // namespace veltrix::ui::scan
