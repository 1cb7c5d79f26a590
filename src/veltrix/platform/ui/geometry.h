// Geometry of the UI layer: points, sizes, rectangles, edge insets and the
// scale transform that views carry. Plain values in points (double), with the
// origin at the top left and y growing downwards.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

namespace veltrix::ui {

struct Point {
  double x = 0;
  double y = 0;

  friend bool operator==(const Point&, const Point&) = default;
  Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
  Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
};

struct Size {
  double width = 0;
  double height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct Insets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;

  friend bool operator==(const Insets&, const Insets&) = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(Point o, Size s) : origin(o), size(s) {}
  Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

  friend bool operator==(const Rect&, const Rect&) = default;

  double x() const { return origin.x; }
  double y() const { return origin.y; }
  double width() const { return size.width; }
  double height() const { return size.height; }
  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  double midX() const { return origin.x + size.width / 2; }
  double midY() const { return origin.y + size.height / 2; }
  Point mid() const { return {midX(), midY()}; }
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }

  // Half-open on the far edges, as the platform's hit tests are.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  // True when the two rectangles share an area (touching edges do not count).
  bool intersects(const Rect& o) const {
    return !isEmpty() && !o.isEmpty() && minX() < o.maxX() && o.minX() < maxX() &&
           minY() < o.maxY() && o.minY() < maxY();
  }
  Rect inset(const Insets& in) const {
    return {origin.x + in.left, origin.y + in.top, std::max(0.0, size.width - in.left - in.right),
            std::max(0.0, size.height - in.top - in.bottom)};
  }
  Rect offset(double dx, double dy) const {
    return {origin.x + dx, origin.y + dy, width(), height()};
  }
};

// The transforms the screens use are scales about the view's centre.
struct Transform {
  double sx = 1;
  double sy = 1;

  static Transform identity() { return {}; }
  static Transform scale(double x, double y) { return {x, y}; }
  Transform scaled(double x, double y) const { return {sx * x, sy * y}; }
  bool isIdentity() const { return sx == 1 && sy == 1; }

  friend bool operator==(const Transform&, const Transform&) = default;
};

inline bool nearlyEqual(double a, double b, double eps = 1e-6) { return std::fabs(a - b) <= eps; }

std::string toString(const Point& p);
std::string toString(const Size& s);
std::string toString(const Rect& r);
std::string toString(const Insets& i);

}  // namespace veltrix::ui
