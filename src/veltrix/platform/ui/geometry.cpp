#include "veltrix/platform/ui/geometry.h"

#include <fmt/format.h>

#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

std::string toString(const Point& p) { return fmt::format("({:g}, {:g})", p.x, p.y); }
std::string toString(const Size& s) { return fmt::format("{:g} x {:g}", s.width, s.height); }
std::string toString(const Rect& r) {
  return fmt::format("({:g}, {:g}, {:g}, {:g})", r.x(), r.y(), r.width(), r.height());
}
std::string toString(const Insets& i) {
  return fmt::format("{{{:g}, {:g}, {:g}, {:g}}}", i.top, i.left, i.bottom, i.right);
}
std::string toString(const Color& c) {
  return fmt::format("rgba({:.3g}, {:.3g}, {:.3g}, {:.3g})", c.r, c.g, c.b, c.a);
}
std::string toString(const Font& f) {
  static constexpr const char* kWeights[] = {"light", "regular", "medium", "semibold", "bold"};
  return fmt::format("system {:g} {}", f.size, kWeights[static_cast<int>(f.weight)]);
}

}  // namespace veltrix::ui
