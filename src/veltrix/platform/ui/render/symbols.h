// The platform's symbol images that the screens use ("chevron.right",
// "gearshape", ...), drawn as paths: our own simple line-art in the spirit
// of the platform's, on a 20 x 20 grid with 1.7-point lines.
//
// Thread: any (draws on the canvas it is given).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

class Canvas;

// Every symbol drawSymbol knows, in a fixed order.
const std::vector<std::string>& symbolNames();

// Draws the symbol `name` in `color`, its 20 x 20 grid fitted (aspect kept)
// and centred in `rect`. False, and nothing drawn, for an unknown name.
bool drawSymbol(Canvas& canvas, std::string_view name, const Rect& rect, const Color& color);

}  // namespace veltrix::ui
