// QR codes: our stand-in for the platform's QR generator filter (encoding)
// and for its code detector (decoding pictures, used by the camera stand-in
// and by tests).
//
// Thread-safety: free of shared state; any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/image.h"

namespace veltrix::ui {

enum class QrCorrection : std::int64_t { L, M, Q, H };

// The modules of a code, `size` x `size`, row by row; true is dark.
struct QrCode {
  int size = 0;
  std::vector<bool> modules;
  bool dark(int x, int y) const {
    return modules[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                   static_cast<std::size_t>(x)];
  }
};

// Encodes the bytes of `text` (8-bit mode, the smallest version that holds
// them); nullopt when the text is empty or too long for one code.
std::optional<QrCode> encodeQr(std::string_view text, QrCorrection level);

// The code drawn to fill exactly `width` x `height` pixels (each pixel takes
// the module under it; no quiet zone), black on white, opaque.
std::shared_ptr<Bitmap> renderQr(const QrCode& code, int width, int height);

struct DecodedQr {
  std::string text;
  Rect bounds;  // in the picture's pixels
};

// The QR codes found in `picture` (a white margin is added around it first,
// so a code that fills the picture is found too), in the detector's order.
std::vector<DecodedQr> decodeQr(const Bitmap& picture);

}  // namespace veltrix::ui
