// Colours and fonts of the UI layer.
//
// The platform's dynamic system colours are fixed here at their light-mode
// values (the screens never switch to a dark appearance); the values are
// listed in the report of the UI layer and below. Fonts are the system font at
// a size and a weight; the renderer maps them to installed faces.
#pragma once

#include <cstdint>
#include <string>

namespace veltrix::ui {

struct Color {
  double r = 0;
  double g = 0;
  double b = 0;
  double a = 0;

  friend bool operator==(const Color&, const Color&) = default;

  static Color rgb(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
  // Components on the 0..255 scale, as the screens give them.
  static Color rgb255(int r, int g, int b, double a = 1) {
    return {r / 255.0, g / 255.0, b / 255.0, a};
  }
  static Color white(double level, double a = 1) { return {level, level, level, a}; }
  Color withAlpha(double alpha) const { return {r, g, b, alpha}; }
  bool isClear() const { return a <= 0; }

  // Fixed colours of the platform (components in 0..1).
  static Color clear() { return {0, 0, 0, 0}; }
  static Color black() { return {0, 0, 0, 1}; }
  static Color white() { return {1, 1, 1, 1}; }
  static Color gray() { return white(0.5); }           // legacy gray
  static Color lightGray() { return white(2.0 / 3); }  // legacy light gray
  static Color darkGray() { return white(1.0 / 3); }   // legacy dark gray
  static Color red() { return {1, 0, 0, 1}; }
  static Color green() { return {0, 1, 0, 1}; }
  static Color blue() { return {0, 0, 1, 1}; }

  // System colours at their light-mode values.
  static Color systemBlue() { return rgb255(0, 122, 255); }
  static Color systemGreen() { return rgb255(52, 199, 89); }
  static Color systemRed() { return rgb255(255, 59, 48); }
  static Color systemGray() { return rgb255(142, 142, 147); }
  static Color systemGray2() { return rgb255(174, 174, 178); }
  static Color systemGray3() { return rgb255(199, 199, 204); }
  static Color systemGray4() { return rgb255(209, 209, 214); }
  static Color systemGray5() { return rgb255(229, 229, 234); }
  static Color systemGray6() { return rgb255(242, 242, 247); }
  static Color systemBackground() { return white(); }
  static Color secondarySystemBackground() { return rgb255(242, 242, 247); }
  static Color label() { return black(); }
  static Color secondaryLabel() { return rgb255(60, 60, 67, 0.6); }
  static Color tertiaryLabel() { return rgb255(60, 60, 67, 0.3); }
  static Color separator() { return rgb255(60, 60, 67, 0.29); }
};

std::string toString(const Color& c);

enum class FontWeight : std::int64_t { Light, Regular, Medium, Semibold, Bold };

struct Font {
  double size = 17;
  FontWeight weight = FontWeight::Regular;

  friend bool operator==(const Font&, const Font&) = default;

  static Font system(double size, FontWeight weight = FontWeight::Regular) {
    return {size, weight};
  }
  static Font bold(double size) { return {size, FontWeight::Bold}; }
};

std::string toString(const Font& f);

}  // namespace veltrix::ui
