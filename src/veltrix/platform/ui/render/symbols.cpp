#include "veltrix/platform/ui/render/symbols.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "veltrix/platform/ui/render/canvas.h"

namespace veltrix::ui {
namespace {

constexpr double kLine = 1.7;

using Draw = std::function<void(Canvas&, const Color&)>;

void polyline(Canvas& c, std::initializer_list<Point> points, const Color& color,
              double width = kLine) {
  bool first = true;
  for (Point p : points) {
    if (first) {
      c.moveTo(p);
      first = false;
    } else {
      c.lineTo(p);
    }
  }
  c.stroke(color, width, LineCap::Round, LineJoin::Round);
}

void ring(Canvas& c, const Color& color, double radius = 8.6) {
  c.addOval(Rect{10 - radius, 10 - radius, 2 * radius, 2 * radius});
  c.stroke(color, kLine);
}

void disc(Canvas& c, Point centre, double radius, const Color& color) {
  c.addOval(Rect{centre.x - radius, centre.y - radius, 2 * radius, 2 * radius});
  c.fill(color);
}

// A gear: eight teeth around a ring, the hole punched out.
void gear(Canvas& c, const Color& color) {
  const int teeth = 8;
  const double outer = 9.4;
  const double inner = 7.2;
  const double step = 2 * std::numbers::pi / teeth;
  for (int i = 0; i < teeth; ++i) {
    const double a = -std::numbers::pi / 2 + i * step;
    const double half = step * 0.22;
    auto at = [](double r, double angle) {
      return Point{10 + r * std::cos(angle), 10 + r * std::sin(angle)};
    };
    const Point p0 = at(inner, a - step / 2 + half * 0.3);
    if (i == 0) {
      c.moveTo(p0);
    } else {
      c.lineTo(p0);
    }
    c.lineTo(at(inner, a - half * 1.25));
    c.lineTo(at(outer, a - half));
    c.lineTo(at(outer, a + half));
    c.lineTo(at(inner, a + half * 1.25));
    c.lineTo(at(inner, a + step / 2 - half * 0.3));
  }
  c.closePath();
  c.addOval(Rect{10 - 3.1, 10 - 3.1, 6.2, 6.2});
  c.fill(color, FillRule::EvenOdd);
}

void arrowClockwise(Canvas& c, const Color& color) {
  // Most of a circle, open at the top right, with the head at its end.
  const double r = 7;
  const double from = -std::numbers::pi / 2 + 0.35;
  const double to = from + 2 * std::numbers::pi - 0.95;
  c.arc(Point{10, 10.4}, r, from, to);
  c.stroke(color, kLine, LineCap::Round, LineJoin::Round);
  const Point tip{10 + r * std::cos(to), 10.4 + r * std::sin(to)};
  c.moveTo(Point{tip.x - 3.4, tip.y - 1.6});
  c.lineTo(Point{tip.x + 0.6, tip.y});
  c.lineTo(Point{tip.x - 0.8, tip.y + 3.6});
  c.stroke(color, kLine, LineCap::Round, LineJoin::Round);
}

const std::vector<std::pair<std::string, Draw>>& table() {
  static const auto& symbols = *new std::vector<std::pair<std::string, Draw>>{
      {"chevron.down",
       [](Canvas& c, const Color& k) {
         polyline(c, {{4.5, 7.2}, {10, 12.8}, {15.5, 7.2}}, k, 2);
       }},
      {"chevron.right",
       [](Canvas& c, const Color& k) {
         polyline(c, {{7.2, 4.5}, {12.8, 10}, {7.2, 15.5}}, k, 2);
       }},
      {"chevron.left",
       [](Canvas& c, const Color& k) {
         polyline(c, {{12.8, 4.5}, {7.2, 10}, {12.8, 15.5}}, k, 2);
       }},
      {"gearshape", gear},
      {"ellipsis.circle",
       [](Canvas& c, const Color& k) {
         ring(c, k);
         for (double x : {6.0, 10.0, 14.0}) disc(c, Point{x, 10}, 1.25, k);
       }},
      {"checkmark.circle.fill",
       [](Canvas& c, const Color& k) {
         c.beginGroup();
         disc(c, Point{10, 10}, 9.4, k);
         c.setBlendMode(BlendMode::Erase);
         polyline(c, {{5.8, 10.4}, {8.7, 13.3}, {14.3, 7.3}}, Color::black(), 1.9);
         c.setBlendMode(BlendMode::Normal);
         c.endGroup(1);
       }},
      {"circle", [](Canvas& c, const Color& k) { ring(c, k); }},
      {"largecircle.fill.circle",
       [](Canvas& c, const Color& k) {
         ring(c, k);
         disc(c, Point{10, 10}, 5, k);
       }},
      {"arrow.clockwise", arrowClockwise},
      {"checkmark",
       [](Canvas& c, const Color& k) {
         polyline(c, {{4, 10.6}, {8.2, 14.6}, {16, 5.6}}, k, 2.1);
       }},
      {"xmark",
       [](Canvas& c, const Color& k) {
         polyline(c, {{5, 5}, {15, 15}}, k, 2);
         polyline(c, {{15, 5}, {5, 15}}, k, 2);
       }},
  };
  return symbols;
}

}  // namespace

const std::vector<std::string>& symbolNames() {
  static const auto& names = *new std::vector<std::string>([] {
    std::vector<std::string> out;
    for (const auto& [name, draw] : table()) out.push_back(name);
    return out;
  }());
  return names;
}

bool drawSymbol(Canvas& canvas, std::string_view name, const Rect& rect, const Color& color) {
  const auto& symbols = table();
  auto it = std::find_if(symbols.begin(), symbols.end(),
                         [&](const auto& entry) { return entry.first == name; });
  if (it == symbols.end()) return false;
  if (rect.isEmpty()) return true;
  const double side = std::min(rect.width(), rect.height());
  canvas.save();
  canvas.translate(rect.midX() - side / 2, rect.midY() - side / 2);
  canvas.scaleBy(side / 20, side / 20);
  canvas.clearPath();
  it->second(canvas, color);
  canvas.restore();
  return true;
}

}  // namespace veltrix::ui
