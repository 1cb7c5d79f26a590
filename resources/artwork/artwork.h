// The library's artwork: every image the screens load by name, drawn in
// code (our own simple, flat designs) so no picture file is kept in the
// repository. The build runs veltrix-artwork, which writes each one at 2x and
// 3x into resources/images.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {
class Canvas;
}

namespace veltrix::artwork {

struct Artwork {
  std::string name;
  ui::Size size;  // points
  std::function<void(ui::Canvas&)> draw;
};

// Every image, in a fixed order.
const std::vector<Artwork>& all();

// The image of that name, or nullptr.
const Artwork* find(const std::string& name);

}  // namespace veltrix::artwork
