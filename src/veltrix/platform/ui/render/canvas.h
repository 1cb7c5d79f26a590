// A drawing surface in points over an image of pixels: paths, fills,
// strokes, clipping, groups with alpha, text and images. Cairo and Pango sit
// behind it, so the renderer, views that draw themselves and the artwork
// generator draw without touching either.
//
// Coordinates are points, origin top left, y downwards; the canvas maps them
// to pixels at its scale. Text is set in the same faces as the layout's
// PangoMetrics (DejaVu Sans, a CJK face by fallback).
//
// Thread: any, one thread at a time per canvas (canvases share nothing).
// Owns its pixels; movable, not copyable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

enum class LineCap : std::int64_t { Butt, Round, Square };
enum class LineJoin : std::int64_t { Miter, Round, Bevel };
// Normal paints over what is there; Erase clears where it paints.
enum class BlendMode : std::int64_t { Normal, Erase };
enum class FillRule : std::int64_t { NonZero, EvenOdd };

// How a text is set in its rectangle, as a label sets it.
struct TextStyle {
  Font font;
  Color color = Color::black();
  TextAlignment alignment = TextAlignment::Natural;
  LineBreakMode lineBreak = LineBreakMode::TruncateTail;
  // Lines at most (0: no limit); never more than the rectangle holds (at
  // least one line is always drawn).
  int maxLines = 1;
  // The lines are centred vertically in the rectangle, else set at its top.
  bool centerVertically = true;
};

// What a text set in a rectangle shows: its lines as a reader sees them,
// left to right (right-to-left runs in their on-screen order, "…" where
// the text was cut, characters that draw nothing left out).
struct TextLayout {
  std::vector<std::string> lines;
  // The lines joined by "\n".
  std::string text() const;
};

// How hard a PNG file is packed: Small is zlib's default level; Fast its
// level 1, which encodes several times faster for somewhat larger files.
enum class PngCompression : std::int64_t { Small, Fast };

class Canvas {
 public:
  // A transparent canvas of `size` points at `scale` pixels per point (at
  // least one pixel each way).
  Canvas(Size size, double scale);
  ~Canvas();
  Canvas(Canvas&&) noexcept;
  Canvas& operator=(Canvas&&) noexcept;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  Size size() const;
  double scale() const;
  int pixelWidth() const;
  int pixelHeight() const;

  // The moment animations drawn on this canvas show (views that draw
  // themselves read it); the clock's time when the canvas was made.
  platform::TimePoint time() const;
  void setTime(platform::TimePoint time);

  // --- Drawing state (transform, clip, blend mode) -----------------------
  void save();
  void restore();
  void translate(double dx, double dy);
  void scaleBy(double sx, double sy);
  // Clockwise on screen.
  void rotate(double radians);
  void setBlendMode(BlendMode mode);

  // --- Paths -----------------------------------------------------------
  void moveTo(Point p);
  void lineTo(Point p);
  void curveTo(Point control1, Point control2, Point end);
  // An arc around `centre` from angle `from` to `to` (radians, clockwise on
  // screen, 0 pointing right), joined to the path by a line.
  void arc(Point centre, double radius, double from, double to);
  void closePath();
  void addRect(const Rect& rect);
  // `corners` (corner::k...) are rounded with `radius` (at most half the
  // shorter side); the others stay square.
  void addRoundedRect(const Rect& rect, double radius, unsigned corners = corner::kAll);
  void addOval(const Rect& rect);
  void clearPath();

  // Paint the current path; they clear it unless `keepPath`.
  void fill(const Color& color, FillRule rule = FillRule::NonZero, bool keepPath = false);
  void stroke(const Color& color, double width, LineCap cap = LineCap::Butt,
              LineJoin join = LineJoin::Miter, bool keepPath = false);
  void fillLinearGradient(Point from, const Color& fromColor, Point to, const Color& toColor,
                          bool keepPath = false);
  // Narrows the clip to the current path, and clears the path.
  void clip(FillRule rule = FillRule::NonZero);
  void fillRect(const Rect& rect, const Color& color);
  void clipRect(const Rect& rect);

  // --- Groups ------------------------------------------------------------
  // What is drawn between the two is composited at once with `alpha`, so
  // overlapping parts of a translucent view do not add up.
  void beginGroup();
  void endGroup(double alpha);

  // --- Text --------------------------------------------------------------
  // Sets `text` in `rect` (wrapped, truncated and aligned as `style` says).
  void drawText(std::string_view text, const Rect& rect, const TextStyle& style);
  // The lines drawText would draw.
  TextLayout layoutText(std::string_view text, const Rect& rect, const TextStyle& style) const;
  // Size of `text` set in `font` on one line (`maxWidth` 0) or wrapped.
  Size measureText(std::string_view text, const Font& font, double maxWidth = 0) const;

  // --- Images -----------------------------------------------------------
  // Draws `image` stretched into `rect`. A template image is drawn in
  // `tint` (black without one); symbols come from the symbol set. An image
  // whose pixels cannot be read (a missing file, a JPEG) leaves a grey
  // placeholder, so the gap shows.
  void drawImage(const Image& image, const Rect& rect, std::optional<Color> tint = std::nullopt);
  // Pixels stretched into `rect`; `smooth` false keeps hard pixel edges (QR
  // codes).
  void drawBitmap(const Bitmap& bitmap, const Rect& rect, bool smooth);

  // --- Reading the pixels -------------------------------------------------
  // The colour of a pixel (straight alpha); clear outside the canvas.
  Color pixel(int x, int y) const;
  // The colour of the pixel under a point.
  Color colorAt(Point p) const;
  Bitmap toBitmap() const;
  // Writes a PNG through a temporary file beside `path` that is renamed over
  // it, so a reader never sees half a file. False when it cannot be written.
  bool writePng(const std::filesystem::path& path,
                PngCompression compression = PngCompression::Small) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Views and layers that draw their own content (the scan screen's ripple and
// orbit) derive from this as well as from View or Layer. The renderer calls
// draw() in the object's own coordinates after its background and before
// its subviews and sublayers; `bounds` is its bounds rectangle as shown now.
class CustomDrawing {
 public:
  virtual ~CustomDrawing() = default;
  virtual void draw(Canvas& canvas, const Rect& bounds) const = 0;
};

// False when an installed face lacks a glyph of `text` (it would show as a
// box).
bool fontsCanDisplay(std::string_view text, const Font& font);

}  // namespace veltrix::ui
