#include "veltrix/ui/scan/qr_code_generator.h"

#include <cmath>
#include <memory>

#include "veltrix/platform/ui/qr.h"
#include "veltrix/platform/ui/render/canvas.h"

namespace veltrix::ui::scan {
namespace {

// Whole pixels for a length in points, rounding away the float error of
// sizes like 260 x 3.
int pixels(double points, double scale) {
  const double px = std::round(points * scale);
  return std::isfinite(px) && px > 0 && px < 1e5 ? static_cast<int>(px) : 0;
}

}  // namespace

ImagePtr QRCodeGenerator::generateQRCodeFromString(std::string_view text, Size size, double scale) {
  if (!(scale > 0)) scale = 1;
  const int width = pixels(size.width, scale);
  const int height = pixels(size.height, scale);
  if (width == 0 || height == 0) return nullptr;
  const auto code = encodeQr(text, QrCorrection::H);
  if (!code) return nullptr;
  return Image::fromBitmap(renderQr(*code, width, height), scale, "qrcode");
}

ImagePtr QRCodeGenerator::addQRCode(const Image& qrCode, const Image& image, Point position,
                                    double scale) {
  if (!(scale > 0)) scale = 1;
  const Size size = image.size();
  if (pixels(size.width, scale) == 0 || pixels(size.height, scale) == 0) return nullptr;
  Canvas canvas(size, scale);
  canvas.drawImage(image, Rect{Point{0, 0}, size});
  canvas.drawImage(qrCode, Rect{position, qrCode.size()});
  return Image::fromBitmap(std::make_shared<Bitmap>(canvas.toBitmap()), scale);
}

}  // namespace veltrix::ui::scan
