#include "veltrix/platform/ui/qr.h"

#include <qrencode.h>
#include <zbar.h>

#include <algorithm>
#include <climits>

namespace veltrix::ui {

std::optional<QrCode> encodeQr(std::string_view text, QrCorrection level) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  QRecLevel l = QR_ECLEVEL_H;
  switch (level) {
    case QrCorrection::L:
      l = QR_ECLEVEL_L;
      break;
    case QrCorrection::M:
      l = QR_ECLEVEL_M;
      break;
    case QrCorrection::Q:
      l = QR_ECLEVEL_Q;
      break;
    case QrCorrection::H:
      l = QR_ECLEVEL_H;
      break;
  }
  QRcode* qr = QRcode_encodeData(static_cast<int>(text.size()),
                                 reinterpret_cast<const unsigned char*>(text.data()), 0, l);
  if (!qr) return std::nullopt;
  QrCode code;
  code.size = qr->width;
  code.modules.resize(static_cast<std::size_t>(qr->width) * static_cast<std::size_t>(qr->width));
  for (std::size_t i = 0; i < code.modules.size(); ++i) code.modules[i] = (qr->data[i] & 1) != 0;
  QRcode_free(qr);
  return code;
}

std::shared_ptr<Bitmap> renderQr(const QrCode& code, int width, int height) {
  if (code.size <= 0 || width <= 0 || height <= 0) return nullptr;
  auto bitmap = std::make_shared<Bitmap>(width, height, 0xFFFFFFFFu);
  for (int y = 0; y < height; ++y) {
    const int my = static_cast<int>(static_cast<long long>(y) * code.size / height);
    for (int x = 0; x < width; ++x) {
      const int mx = static_cast<int>(static_cast<long long>(x) * code.size / width);
      if (code.dark(mx, my)) bitmap->set(x, y, 0xFF000000u);
    }
  }
  return bitmap;
}

std::vector<DecodedQr> decodeQr(const Bitmap& picture) {
  using namespace zbar;  // the C API, declared in this namespace for C++
  std::vector<DecodedQr> out;
  if (picture.width <= 0 || picture.height <= 0) return out;
  const int margin = std::max(16, std::min(picture.width, picture.height) / 10);
  const int w = picture.width + 2 * margin;
  const int h = picture.height + 2 * margin;
  // Grey levels from premultiplied ARGB over white.
  std::vector<unsigned char> grey(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 255);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t p = picture.at(x, y);
      const int a = static_cast<int>((p >> 24) & 0xFF);
      const int r = static_cast<int>((p >> 16) & 0xFF) + (255 - a);
      const int g = static_cast<int>((p >> 8) & 0xFF) + (255 - a);
      const int b = static_cast<int>(p & 0xFF) + (255 - a);
      grey[static_cast<std::size_t>(y + margin) * static_cast<std::size_t>(w) +
           static_cast<std::size_t>(x + margin)] =
          static_cast<unsigned char>(std::min(255, (r * 299 + g * 587 + b * 114) / 1000));
    }
  }
  zbar_image_scanner_t* scanner = zbar_image_scanner_create();
  zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
  zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
  zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
  zbar_image_t* image = zbar_image_create();
  zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
  zbar_image_set_size(image, static_cast<unsigned>(w), static_cast<unsigned>(h));
  zbar_image_set_data(image, grey.data(), grey.size(), nullptr);
  if (zbar_scan_image(scanner, image) > 0) {
    for (const zbar_symbol_t* s = zbar_image_first_symbol(image); s; s = zbar_symbol_next(s)) {
      DecodedQr code;
      code.text.assign(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s));
      int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
      const unsigned n = zbar_symbol_get_loc_size(s);
      for (unsigned i = 0; i < n; ++i) {
        minX = std::min(minX, zbar_symbol_get_loc_x(s, i));
        maxX = std::max(maxX, zbar_symbol_get_loc_x(s, i));
        minY = std::min(minY, zbar_symbol_get_loc_y(s, i));
        maxY = std::max(maxY, zbar_symbol_get_loc_y(s, i));
      }
      if (n > 0) {
        code.bounds = Rect{static_cast<double>(minX - margin), static_cast<double>(minY - margin),
                           static_cast<double>(maxX - minX), static_cast<double>(maxY - minY)};
      }
      out.push_back(std::move(code));
    }
  }
  zbar_image_destroy(image);
  zbar_image_scanner_destroy(scanner);
  return out;
}

}  // namespace veltrix::ui
