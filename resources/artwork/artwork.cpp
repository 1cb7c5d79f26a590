#include "artwork.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "veltrix/platform/ui/render/canvas.h"
#include "veltrix/platform/ui/render/symbols.h"

namespace veltrix::artwork {
namespace {

using ui::Canvas;
using ui::Color;
using ui::LineCap;
using ui::LineJoin;
using ui::Point;
using ui::Rect;

constexpr double kPi = std::numbers::pi;

const Color kBlue = Color::systemBlue();
const Color kInk = Color::rgb255(28, 28, 30);
const Color kGray = Color::systemGray();

// Colours of a terminal drawing: the lit one, and the stale one in greys.
struct Palette {
  Color bodyTop;
  Color bodyBottom;
  Color edge;
  Color screenTop;
  Color screenBottom;
  Color glyph;
  Color key;
  Color keyRed;
  Color keyYellow;
  Color keyGreen;
  Color paper;
  Color paperLine;
  Color shadow;
};

Palette lit() {
  return {Color::rgb255(64, 70, 80),
          Color::rgb255(36, 40, 47),
          Color::rgb255(20, 22, 26),
          Color::rgb255(52, 152, 255),
          Color::rgb255(10, 96, 220),
          Color::white(),
          Color::rgb255(92, 99, 110),
          Color::rgb255(235, 77, 61),
          Color::rgb255(247, 190, 40),
          Color::rgb255(52, 190, 89),
          Color::white(),
          Color::rgb255(200, 204, 210),
          Color::black().withAlpha(0.18)};
}

Palette stale() {
  return {Color::rgb255(206, 209, 214),  Color::rgb255(184, 188, 195), Color::rgb255(160, 164, 171),
          Color::rgb255(226, 229, 234),  Color::rgb255(212, 216, 222), Color::white(0.97),
          Color::rgb255(222, 225, 230),  Color::rgb255(214, 217, 222), Color::rgb255(222, 224, 228),
          Color::rgb255(214, 218, 222),  Color::white(0.98),           Color::rgb255(222, 225, 230),
          Color::black().withAlpha(0.08)};
}

void roundRect(Canvas& c, const Rect& r, double radius, const Color& color) {
  c.addRoundedRect(r, radius);
  c.fill(color);
}

void gradientRect(Canvas& c, const Rect& r, double radius, const Color& top, const Color& bottom) {
  c.addRoundedRect(r, radius);
  c.fillLinearGradient(Point{r.x(), r.minY()}, top, Point{r.x(), r.maxY()}, bottom);
}

// A soft shadow under a rounded shape: a few widening, fading copies.
void shadow(Canvas& c, const Rect& r, double radius, const Color& color) {
  for (int i = 3; i >= 1; --i) {
    const double grow = i * 0.9;
    c.addRoundedRect(Rect{r.x() - grow / 2, r.y() + 1.5 + grow / 2, r.width() + grow, r.height()},
                     radius + grow / 2);
    c.fill(color.withAlpha(color.a / (i + 1)));
  }
}

void body(Canvas& c, const Rect& r, double radius, const Palette& p) {
  shadow(c, r, radius, p.shadow);
  gradientRect(c, r, radius, p.bodyTop, p.bodyBottom);
  c.addRoundedRect(r.inset(ui::Insets{0.4, 0.4, 0.4, 0.4}), radius - 0.4);
  c.stroke(p.edge, 0.8);
}

void screen(Canvas& c, const Rect& r, double radius, const Palette& p) {
  gradientRect(c, r, radius, p.screenTop, p.screenBottom);
  // A sheen across the upper half.
  c.moveTo(Point{r.minX(), r.minY() + r.height() * 0.45});
  c.lineTo(Point{r.maxX(), r.minY() + r.height() * 0.25});
  c.lineTo(Point{r.maxX(), r.minY()});
  c.lineTo(Point{r.minX(), r.minY()});
  c.closePath();
  c.save();
  c.addRoundedRect(r, radius);
  c.clip();
  c.moveTo(Point{r.minX(), r.minY() + r.height() * 0.45});
  c.lineTo(Point{r.maxX(), r.minY() + r.height() * 0.25});
  c.lineTo(Point{r.maxX(), r.minY()});
  c.lineTo(Point{r.minX(), r.minY()});
  c.closePath();
  c.fill(Color::white(1, 0.12));
  c.restore();
  c.clearPath();
}

// The contactless mark: three arcs opening to the right.
void contactless(Canvas& c, Point centre, double size, const Color& color) {
  for (int i = 0; i < 3; ++i) {
    const double r = size * (0.28 + 0.24 * i);
    c.arc(Point{centre.x - size * 0.45, centre.y}, r, -kPi / 4, kPi / 4);
    c.stroke(color, size * 0.11, LineCap::Round);
  }
}

void keypad(Canvas& c, double x, double y, double w, double h, int cols, int rows, double gap,
            const Palette& p, bool functionRow) {
  const double kw = (w - gap * (cols - 1)) / cols;
  const int total = rows + (functionRow ? 1 : 0);
  const double kh = (h - gap * (total - 1)) / total;
  for (int row = 0; row < total; ++row) {
    for (int col = 0; col < cols; ++col) {
      Color k = p.key;
      if (functionRow && row == rows) k = col == 0 ? p.keyRed : col == 1 ? p.keyYellow : p.keyGreen;
      roundRect(c, Rect{x + col * (kw + gap), y + row * (kh + gap), kw, kh}, std::min(kw, kh) / 3,
                k);
    }
  }
}

void receipt(Canvas& c, const Rect& r, const Palette& p) {
  // Paper with a torn top edge.
  const int teeth = 6;
  const double tw = r.width() / teeth;
  c.moveTo(Point{r.minX(), r.maxY()});
  c.lineTo(Point{r.minX(), r.minY() + 1});
  for (int i = 0; i < teeth; ++i) {
    c.lineTo(Point{r.minX() + (i + 0.5) * tw, r.minY()});
    c.lineTo(Point{r.minX() + (i + 1) * tw, r.minY() + 1});
  }
  c.lineTo(Point{r.maxX(), r.maxY()});
  c.closePath();
  c.fill(p.paper, ui::FillRule::NonZero, true);
  c.stroke(p.paperLine, 0.6, LineCap::Butt, LineJoin::Round);
  for (int i = 0; i < 2; ++i) {
    const double y = r.minY() + 3 + i * 2.6;
    if (y > r.maxY() - 1) break;
    c.fillRect(Rect{r.minX() + 2.5, y, r.width() * (i == 0 ? 0.55 : 0.75) - 2.5, 1}, p.paperLine);
  }
}

// A countertop terminal with a printer, a screen and a full keypad.
void t420(Canvas& c, const Palette& p) {
  receipt(c, Rect{20, 1.5, 20, 9}, p);
  const Rect b{13, 7, 34, 50};
  body(c, b, 7, p);
  roundRect(c, Rect{18, 9.5, 24, 2.2}, 1.1, p.edge);  // the paper slot
  const Rect s{17.5, 14.5, 25, 16};
  screen(c, s, 2.5, p);
  contactless(c, Point{s.midX() + 1, s.midY()}, 9, p.glyph);
  keypad(c, 18, 33.5, 24, 19.5, 3, 4, 1.5, p, true);
}

// A compact handheld: a larger screen, fewer keys and a card slot.
void t310(Canvas& c, const Palette& p) {
  const Rect b{15, 4, 30, 52};
  body(c, b, 8, p);
  const Rect s{18.5, 8, 23, 22};
  screen(c, s, 3, p);
  // A card on the screen.
  roundRect(c, Rect{s.x() + 5, s.y() + 6, 13, 9}, 1.6, p.glyph.withAlpha(0.9));
  c.fillRect(Rect{s.x() + 5, s.y() + 8, 13, 1.8}, p.screenBottom);
  keypad(c, 19, 33, 22, 17, 3, 3, 1.6, p, true);
  roundRect(c, Rect{21, 52.5, 18, 1.5}, 0.75, p.edge);  // the card slot
}

// A smart terminal: a printer on top of a tall touch screen.
void tmixZ3(Canvas& c, const Palette& p) {
  receipt(c, Rect{21, 1, 18, 8}, p);
  const Rect b{14, 5, 32, 53};
  body(c, b, 6.5, p);
  gradientRect(c, Rect{14, 5, 32, 10}, 6.5, p.bodyTop, p.bodyTop);
  roundRect(c, Rect{19, 7.5, 22, 2}, 1, p.edge);
  const Rect s{17, 16.5, 26, 36};
  screen(c, s, 3, p);
  // A grid of app tiles.
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      roundRect(c, Rect{s.x() + 3.5 + col * 6.8, s.y() + 4 + row * 7.5, 5, 5}, 1.4,
                p.glyph.withAlpha(row == 0 && col == 0 ? 0.95 : 0.55));
    }
  }
  roundRect(c, Rect{s.midX() - 4, s.maxY() - 3, 8, 1.2}, 0.6, p.glyph.withAlpha(0.8));
  roundRect(c, Rect{26, 54.3, 8, 1.4}, 0.7, p.edge);
}

void more(Canvas& c) {
  c.addOval(Rect{6, 6, 48, 48});
  c.fill(Color::rgb255(238, 240, 243));
  c.addOval(Rect{6.5, 6.5, 47, 47});
  c.stroke(Color::rgb255(209, 213, 219), 1);
  for (double x : {21.0, 30.0, 39.0}) {
    c.addOval(Rect{x - 2.8, 30 - 2.8, 5.6, 5.6});
    c.fill(Color::rgb255(99, 104, 112));
  }
}

void back(Canvas& c) {
  c.moveTo(Point{15, 4.5});
  c.lineTo(Point{7.5, 12});
  c.lineTo(Point{15, 19.5});
  c.stroke(kInk, 2.4, LineCap::Round, LineJoin::Round);
}

// The preferences screen tints the two mode pictures as templates, so
// they are drawn in one colour and shade only by alpha.
void radar(Canvas& c) {
  const Point o{50, 50};
  c.addOval(Rect{4, 4, 92, 92});
  c.fill(kBlue.withAlpha(0.1));
  // The sweep: a fading wedge behind the hand.
  for (int i = 0; i < 12; ++i) {
    const double a1 = -kPi / 2 + 0.5;
    const double a0 = a1 - (12 - i) * 0.09;
    c.moveTo(o);
    c.arc(o, 44, a0, a1);
    c.closePath();
    c.fill(kBlue.withAlpha(0.035));
  }
  for (double r : {14.0, 27.0, 40.0}) {
    c.addOval(Rect{o.x - r, o.y - r, 2 * r, 2 * r});
    c.stroke(kBlue.withAlpha(0.45), 1.6);
  }
  const double hand = -kPi / 2 + 0.5;
  c.moveTo(o);
  c.lineTo(Point{o.x + 44 * std::cos(hand), o.y + 44 * std::sin(hand)});
  c.stroke(kBlue, 2, LineCap::Round);
  c.addOval(Rect{o.x - 5, o.y - 5, 10, 10});
  c.fill(kBlue);
  for (auto [r, a] : {std::pair{27.0, -2.3}, std::pair{40.0, 0.9}, std::pair{14.0, 2.5}}) {
    const Point d{o.x + r * std::cos(a), o.y + r * std::sin(a)};
    c.addOval(Rect{d.x - 3.6, d.y - 3.6, 7.2, 7.2});
    c.fill(kBlue);
  }
}

void list(Canvas& c) {
  c.addOval(Rect{4, 4, 92, 92});
  c.fill(kBlue.withAlpha(0.1));
  for (int i = 0; i < 3; ++i) {
    const double y = 31 + i * 15;
    roundRect(c, Rect{25, y - 5, 10, 10}, 2.5, kBlue);
    roundRect(c, Rect{40, y - 2, i == 1 ? 28.0 : 35.0, 4}, 2, kBlue.withAlpha(0.55));
  }
}

void scan(Canvas& c) {
  const double a = 3;
  const double b = 25;
  const double l = 6.5;
  for (auto [x, y, dx, dy] : {std::tuple{a, a, 1.0, 1.0}, std::tuple{b, a, -1.0, 1.0},
                              std::tuple{a, b, 1.0, -1.0}, std::tuple{b, b, -1.0, -1.0}}) {
    c.moveTo(Point{x, y + dy * l});
    c.lineTo(Point{x, y});
    c.lineTo(Point{x + dx * l, y});
    c.stroke(kBlue, 2.2, LineCap::Round, LineJoin::Round);
  }
  c.moveTo(Point{6.5, 14});
  c.lineTo(Point{21.5, 14});
  c.stroke(kBlue, 2, LineCap::Round);
}

void qrcode(Canvas& c) {
  auto finder = [&](double x, double y) {
    c.addRoundedRect(Rect{x + 0.9, y + 0.9, 8.2, 8.2}, 1.6);
    c.stroke(kInk, 1.8);
    roundRect(c, Rect{x + 3.2, y + 3.2, 3.6, 3.6}, 0.8, kInk);
  };
  finder(3, 3);
  finder(16, 3);
  finder(3, 16);
  for (auto [x, y] : {std::pair{16.5, 16.5}, std::pair{21.5, 16.5}, std::pair{19.0, 19.0},
                      std::pair{16.5, 21.5}, std::pair{21.5, 21.5}}) {
    roundRect(c, Rect{x, y, 2.6, 2.6}, 0.5, kBlue);
  }
}

void moreSetting(Canvas& c) {
  c.addOval(Rect{1, 1, 28, 28});
  c.fill(Color::systemGray6());
  c.moveTo(Point{12.5, 9});
  c.lineTo(Point{18.5, 15});
  c.lineTo(Point{12.5, 21});
  c.stroke(kGray, 2.2, LineCap::Round, LineJoin::Round);
}

void unverified(Canvas& c) {
  const Color orange = Color::rgb255(255, 149, 0);
  c.moveTo(Point{15, 2.5});
  c.curveTo(Point{19, 5}, Point{23, 5.5}, Point{26, 5.5});
  c.curveTo(Point{26, 16}, Point{23, 23.5}, Point{15, 27.5});
  c.curveTo(Point{7, 23.5}, Point{4, 16}, Point{4, 5.5});
  c.curveTo(Point{7, 5.5}, Point{11, 5}, Point{15, 2.5});
  c.closePath();
  c.fill(orange);
  c.moveTo(Point{15, 8.5});
  c.lineTo(Point{15, 16.5});
  c.stroke(Color::white(), 2.6, LineCap::Round);
  c.addOval(Rect{13.5, 19.5, 3, 3});
  c.fill(Color::white());
}

void checkOff(Canvas& c) {
  c.addRoundedRect(Rect{3, 3, 19, 19}, 5);
  c.stroke(Color::systemGray3(), 1.8);
}

void checkOn(Canvas& c) {
  roundRect(c, Rect{2.1, 2.1, 20.8, 20.8}, 5.5, kBlue);
  c.moveTo(Point{7, 12.8});
  c.lineTo(Point{10.8, 16.4});
  c.lineTo(Point{18, 8.6});
  c.stroke(Color::white(), 2.3, LineCap::Round, LineJoin::Round);
}

void refresh(Canvas& c) { ui::drawSymbol(c, "arrow.clockwise", Rect{0, 0, 20, 20}, kGray); }

void unknown(Canvas& c) {
  roundRect(c, Rect{1, 1, 28, 28}, 7, Color::rgb255(229, 240, 255));
  c.addRoundedRect(Rect{6.5, 9, 17, 12}, 2);
  c.stroke(kBlue, 1.7);
  c.fillRect(Rect{6.5, 12, 17, 2.2}, kBlue);
  roundRect(c, Rect{9, 17, 5, 1.6}, 0.8, kBlue);
}

void radio(Canvas& c, bool selected) {
  c.addOval(Rect{9, 9, 22, 22});
  c.stroke(selected ? kBlue : Color::systemGray3(), 2);
  if (selected) {
    c.addOval(Rect{14, 14, 12, 12});
    c.fill(kBlue);
  }
}

void line(Canvas& c) { c.fillRect(Rect{0, 0, 100, 1}, Color::rgb255(227, 229, 232)); }

std::vector<Artwork> make() {
  std::vector<Artwork> out;
  auto terminal = [&](const std::string& model, void (*draw)(Canvas&, const Palette&)) {
    out.push_back({"icon_" + model + "_enabled", {60, 60}, [draw](Canvas& c) { draw(c, lit()); }});
    out.push_back(
        {"icon_" + model + "_disabled", {60, 60}, [draw](Canvas& c) { draw(c, stale()); }});
  };
  terminal("t420", t420);
  terminal("t310", t310);
  terminal("tmix_z3", tmixZ3);
  out.push_back({"icon_more_enabled", {60, 60}, more});
  out.push_back({"ic_back", {24, 24}, back});
  out.push_back({"line", {100, 1}, line});
  out.push_back({"radarview", {100, 100}, radar});
  out.push_back({"listview", {100, 100}, list});
  out.push_back({"icon_scan", {28, 28}, scan});
  out.push_back({"icon_qrcode", {28, 28}, qrcode});
  out.push_back({"icon_more_setting", {30, 30}, moreSetting});
  out.push_back({"icon_unverified", {30, 30}, unverified});
  out.push_back({"icon_check_disable", {25, 25}, checkOff});
  out.push_back({"icon_check_enable", {25, 25}, checkOn});
  out.push_back({"refresh@2x", {20, 20}, refresh});
  out.push_back({"icon_unknown", {30, 30}, unknown});
  out.push_back({"bluetooth_unselected", {40, 40}, [](Canvas& c) { radio(c, false); }});
  out.push_back({"bluetooth_selected", {40, 40}, [](Canvas& c) { radio(c, true); }});
  return out;
}

}  // namespace

const std::vector<Artwork>& all() {
  static const std::vector<Artwork> images = make();
  return images;
}

const Artwork* find(const std::string& name) {
  for (const Artwork& a : all()) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

}  // namespace veltrix::artwork
