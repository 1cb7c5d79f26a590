// Toasts: a short message over a view that fades in, stays and fades out.
//
// Thread: the main loop only.
#pragma once

#include <cstdint>
#include <string_view>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {

class View;

// The tag of a toast's label.
inline constexpr std::int64_t kToastTag = 9999;

// Shows `message` centred on `position` (in `view`'s coordinates): every
// earlier toast label of `view` goes at once; the new label (white text on
// black at alpha 0.7, corner radius 10, centred text on as many lines as
// needed) is as wide as the text measured for 0.8 x the view's width less 40
// points, plus 40, and as high as the text plus 20. It fades in over 0.3 s,
// stays `duration` seconds, fades out over 0.3 s and is removed.
void showToastInView(View& view, std::string_view message, double duration, Point position);
// The same, centred horizontally with its centre 100 points above the bottom
// of the view's bounds.
void showToastInView(View& view, std::string_view message, double duration);

}  // namespace veltrix::ui
