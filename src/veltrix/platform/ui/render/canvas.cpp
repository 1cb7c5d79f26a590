#include "veltrix/platform/ui/render/canvas.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "veltrix/platform/ui/render/pango_text.h"
#include "veltrix/platform/ui/render/symbols.h"

namespace veltrix::ui {
namespace {

// A component that is not a number counts as 0.
double unit(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

void setSource(cairo_t* cr, const Color& c) {
  cairo_set_source_rgba(cr, unit(c.r), unit(c.g), unit(c.b), unit(c.a));
}

cairo_fill_rule_t cairoRule(FillRule rule) {
  return rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

Color unpremultiply(std::uint32_t argb) {
  const double a = static_cast<double>((argb >> 24) & 0xFF);
  if (a <= 0) return Color::clear();
  auto channel = [&](int shift) {
    return std::min(1.0, static_cast<double>((argb >> shift) & 0xFF) / a);
  };
  return {channel(16), channel(8), channel(0), a / 255.0};
}

PangoEllipsizeMode ellipsizeFor(LineBreakMode mode) {
  switch (mode) {
    case LineBreakMode::TruncateHead:
      return PANGO_ELLIPSIZE_START;
    case LineBreakMode::TruncateMiddle:
      return PANGO_ELLIPSIZE_MIDDLE;
    case LineBreakMode::TruncateTail:
      return PANGO_ELLIPSIZE_END;
    case LineBreakMode::WordWrap:
    case LineBreakMode::CharWrap:
    case LineBreakMode::Clip:
      break;
  }
  return PANGO_ELLIPSIZE_NONE;
}

// libpng reports a failure by longjmp to here: nothing in this function may
// need a destructor.
bool encodePng(png_structp png, png_infop info, std::FILE* file, int width, int height,
               png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

// The surface as Cairo's own writer writes it (straight-alpha RGBA, 8 bits a
// channel), packed at zlib's level 1.
bool writeFastPng(cairo_surface_t* surface, const std::string& path) {
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  std::vector<png_byte> rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  std::vector<png_bytep> rows(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    png_bytep out = rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4;
    rows[static_cast<std::size_t>(y)] = out;
    for (int x = 0; x < w; ++x, out += 4) {
      const std::uint32_t argb = row[x];
      const std::uint32_t a = argb >> 24;
      auto channel = [&](int shift) {
        return a == 0 ? png_byte{0}
                      : static_cast<png_byte>((((argb >> shift) & 0xFF) * 255 + a / 2) / a);
      };
      out[0] = channel(16);
      out[1] = channel(8);
      out[2] = channel(0);
      out[3] = static_cast<png_byte>(a);
    }
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool encoded = info && encodePng(png, info, file, w, h, rows.data());
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && encoded;
}

// A surface over a copy of the bitmap's pixels (Cairo's own layout).
cairo_surface_t* surfaceFromBitmap(const Bitmap& bitmap) {
  if (bitmap.width <= 0 || bitmap.height <= 0 ||
      bitmap.pixels.size() < static_cast<std::size_t>(bitmap.width) * bitmap.height) {
    return nullptr;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < bitmap.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    std::copy_n(bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.width, bitmap.width,
                row);
  }
  cairo_surface_mark_dirty(s);
  return s;
}

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool finite(const Rect& r) {
  return finite(r.origin) && std::isfinite(r.width()) && std::isfinite(r.height());
}

}  // namespace

struct Canvas::Impl {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoContext* pango = nullptr;
  Size size;
  double scale = 1;
  platform::TimePoint time;
  // Decoded image files by path; nullptr for a file that cannot be read.
  std::map<std::string, cairo_surface_t*> files;
  std::map<std::pair<double, FontWeight>, double> lineHeights;

  ~Impl() {
    for (auto& [path, s] : files) {
      if (s) cairo_surface_destroy(s);
    }
    if (pango) g_object_unref(pango);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }

  PangoLayout* layout(std::string_view text, const Font& font) {
    pango_cairo_update_context(cr, pango);
    PangoLayout* l = detail::newLayout(pango, text, font);
    return l;
  }

  double lineHeight(const Font& font) {
    auto key = std::make_pair(font.size, font.weight);
    if (auto it = lineHeights.find(key); it != lineHeights.end()) return it->second;
    PangoLayout* l = layout("Ag", font);
    PangoRectangle logical{};
    pango_layout_get_extents(l, nullptr, &logical);
    g_object_unref(l);
    const double h = static_cast<double>(logical.height) / PANGO_SCALE;
    lineHeights[key] = h;
    return h;
  }

  cairo_surface_t* file(const std::filesystem::path& path) {
    const std::string key = path.string();
    if (auto it = files.find(key); it != files.end()) return it->second;
    cairo_surface_t* s = cairo_image_surface_create_from_png(key.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(s);
      s = nullptr;
    }
    files[key] = s;
    return s;
  }

  // Paints `source` stretched into `rect`: in its own colours, or as a mask
  // of `tint`.
  void paintSurface(cairo_surface_t* source, const Rect& rect, const std::optional<Color>& tint,
                    bool smooth) {
    const int w = cairo_image_surface_get_width(source);
    const int h = cairo_image_surface_get_height(source);
    if (w <= 0 || h <= 0 || rect.isEmpty() || !finite(rect)) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr);
    cairo_translate(cr, rect.x(), rect.y());
    cairo_scale(cr, rect.width() / w, rect.height() / h);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
    cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    // Edge pixels repeat outwards, so a stretched image keeps hard edges.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    if (tint) {
      setSource(cr, *tint);
      cairo_mask(cr, pattern);
    } else {
      cairo_set_source(cr, pattern);
      cairo_paint(cr);
    }
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
  }

  void placeholder(const Rect& rect) {
    cairo_save(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    setSource(cr, Color::systemGray5());
    cairo_fill_preserve(cr);
    cairo_clip(cr);
    cairo_move_to(cr, rect.minX(), rect.minY());
    cairo_line_to(cr, rect.maxX(), rect.maxY());
    cairo_move_to(cr, rect.maxX(), rect.minY());
    cairo_line_to(cr, rect.minX(), rect.maxY());
    setSource(cr, Color::systemGray3());
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
};

Canvas::Canvas(Size size, double scale) : impl_(std::make_unique<Impl>()) {
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
  impl_->scale = scale;
  impl_->size = {std::max(0.0, size.width), std::max(0.0, size.height)};
  const int w = std::max(1, static_cast<int>(std::lround(impl_->size.width * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(impl_->size.height * scale)));
  impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  impl_->cr = cairo_create(impl_->surface);
  cairo_scale(impl_->cr, scale, scale);
  impl_->pango = pango_cairo_create_context(impl_->cr);
  detail::configureTextContext(impl_->pango);
  impl_->time = platform::clock().now();
}

Canvas::~Canvas() = default;
Canvas::Canvas(Canvas&&) noexcept = default;
Canvas& Canvas::operator=(Canvas&&) noexcept = default;

Size Canvas::size() const { return impl_->size; }
double Canvas::scale() const { return impl_->scale; }
int Canvas::pixelWidth() const { return cairo_image_surface_get_width(impl_->surface); }
int Canvas::pixelHeight() const { return cairo_image_surface_get_height(impl_->surface); }
platform::TimePoint Canvas::time() const { return impl_->time; }
void Canvas::setTime(platform::TimePoint time) { impl_->time = time; }

// --- State -------------------------------------------------------------------

void Canvas::save() { cairo_save(impl_->cr); }
void Canvas::restore() { cairo_restore(impl_->cr); }
// A transform that is not finite would put Cairo's context in an error
// state that ends all drawing on the canvas; such a step is ignored.
void Canvas::translate(double dx, double dy) {
  if (std::isfinite(dx) && std::isfinite(dy)) cairo_translate(impl_->cr, dx, dy);
}
void Canvas::scaleBy(double sx, double sy) {
  if (!std::isfinite(sx) || !std::isfinite(sy)) return;
  // A zero scale would make the transform singular too: shrink to nothing
  // visible instead.
  if (sx == 0) sx = 1e-9;
  if (sy == 0) sy = 1e-9;
  cairo_scale(impl_->cr, sx, sy);
}
void Canvas::rotate(double radians) {
  if (std::isfinite(radians)) cairo_rotate(impl_->cr, radians);
}
void Canvas::setBlendMode(BlendMode mode) {
  cairo_set_operator(impl_->cr,
                     mode == BlendMode::Erase ? CAIRO_OPERATOR_DEST_OUT : CAIRO_OPERATOR_OVER);
}

// --- Paths -------------------------------------------------------------------

// Points that are not numbers are dropped, as transforms are.
void Canvas::moveTo(Point p) {
  if (finite(p)) cairo_move_to(impl_->cr, p.x, p.y);
}
void Canvas::lineTo(Point p) {
  if (!finite(p)) return;
  if (!cairo_has_current_point(impl_->cr)) {
    cairo_move_to(impl_->cr, p.x, p.y);
  } else {
    cairo_line_to(impl_->cr, p.x, p.y);
  }
}
void Canvas::curveTo(Point c1, Point c2, Point end) {
  if (!finite(c1) || !finite(c2) || !finite(end)) return;
  if (!cairo_has_current_point(impl_->cr)) cairo_move_to(impl_->cr, c1.x, c1.y);
  cairo_curve_to(impl_->cr, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}
void Canvas::arc(Point centre, double radius, double from, double to) {
  if (!(radius > 0) || !std::isfinite(radius) || !finite(centre) || !std::isfinite(from) ||
      !std::isfinite(to)) {
    return;
  }
  cairo_arc(impl_->cr, centre.x, centre.y, radius, from, to);
}
void Canvas::closePath() { cairo_close_path(impl_->cr); }
void Canvas::addRect(const Rect& r) {
  if (finite(r)) cairo_rectangle(impl_->cr, r.x(), r.y(), r.width(), r.height());
}

void Canvas::addRoundedRect(const Rect& r, double radius, unsigned corners) {
  if (!finite(r)) return;
  if (!(radius > 0)) radius = 0;
  radius = std::min(radius, std::max(0.0, std::min(r.width(), r.height()) / 2));
  if (radius <= 0 || (corners & corner::kAll) == 0) {
    addRect(r);
    return;
  }
  cairo_t* cr = impl_->cr;
  constexpr double kHalfPi = 1.5707963267948966;
  auto rr = [&](unsigned c) { return (corners & c) ? radius : 0.0; };
  const double tl = rr(corner::kTopLeft);
  const double tr = rr(corner::kTopRight);
  const double br = rr(corner::kBottomRight);
  const double bl = rr(corner::kBottomLeft);
  cairo_new_sub_path(cr);
  cairo_move_to(cr, r.minX() + tl, r.minY());
  if (tr > 0) {
    cairo_arc(cr, r.maxX() - tr, r.minY() + tr, tr, -kHalfPi, 0);
  } else {
    cairo_line_to(cr, r.maxX(), r.minY());
  }
  if (br > 0) {
    cairo_arc(cr, r.maxX() - br, r.maxY() - br, br, 0, kHalfPi);
  } else {
    cairo_line_to(cr, r.maxX(), r.maxY());
  }
  if (bl > 0) {
    cairo_arc(cr, r.minX() + bl, r.maxY() - bl, bl, kHalfPi, 2 * kHalfPi);
  } else {
    cairo_line_to(cr, r.minX(), r.maxY());
  }
  if (tl > 0) {
    cairo_arc(cr, r.minX() + tl, r.minY() + tl, tl, 2 * kHalfPi, 3 * kHalfPi);
  } else {
    cairo_line_to(cr, r.minX(), r.minY());
  }
  cairo_close_path(cr);
}

void Canvas::addOval(const Rect& r) {
  if (r.isEmpty() || !finite(r)) return;
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_translate(cr, r.midX(), r.midY());
  cairo_scale(cr, r.width() / 2, r.height() / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * 3.141592653589793);
  cairo_close_path(cr);
  cairo_restore(cr);
}

void Canvas::clearPath() { cairo_new_path(impl_->cr); }

void Canvas::fill(const Color& color, FillRule rule, bool keepPath) {
  cairo_t* cr = impl_->cr;
  setSource(cr, color);
  cairo_set_fill_rule(cr, cairoRule(rule));
  if (keepPath) {
    cairo_fill_preserve(cr);
  } else {
    cairo_fill(cr);
  }
}

void Canvas::stroke(const Color& color, double width, LineCap cap, LineJoin join, bool keepPath) {
  cairo_t* cr = impl_->cr;
  if (!(width > 0) || !std::isfinite(width)) {
    if (!keepPath) cairo_new_path(cr);
    return;
  }
  setSource(cr, color);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                         : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                  : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, join == LineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                          : join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                    : CAIRO_LINE_JOIN_MITER);
  if (keepPath) {
    cairo_stroke_preserve(cr);
  } else {
    cairo_stroke(cr);
  }
}

void Canvas::fillLinearGradient(Point from, const Color& fromColor, Point to, const Color& toColor,
                                bool keepPath) {
  cairo_t* cr = impl_->cr;
  if (!finite(from) || !finite(to)) {
    if (!keepPath) cairo_new_path(cr);
    return;
  }
  cairo_pattern_t* p = cairo_pattern_create_linear(from.x, from.y, to.x, to.y);
  cairo_pattern_add_color_stop_rgba(p, 0, unit(fromColor.r), unit(fromColor.g), unit(fromColor.b),
                                    unit(fromColor.a));
  cairo_pattern_add_color_stop_rgba(p, 1, unit(toColor.r), unit(toColor.g), unit(toColor.b),
                                    unit(toColor.a));
  cairo_set_source(cr, p);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  if (keepPath) {
    cairo_fill_preserve(cr);
  } else {
    cairo_fill(cr);
  }
  cairo_pattern_destroy(p);
}

void Canvas::clip(FillRule rule) {
  cairo_set_fill_rule(impl_->cr, cairoRule(rule));
  cairo_clip(impl_->cr);
}

void Canvas::fillRect(const Rect& rect, const Color& color) {
  cairo_new_path(impl_->cr);
  addRect(rect);
  fill(color);
}

void Canvas::clipRect(const Rect& rect) {
  cairo_new_path(impl_->cr);
  addRect(rect);
  clip();
}

// --- Groups ------------------------------------------------------------------

void Canvas::beginGroup() { cairo_push_group(impl_->cr); }

void Canvas::endGroup(double alpha) {
  cairo_t* cr = impl_->cr;
  cairo_pop_group_to_source(cr);
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_paint_with_alpha(cr, unit(alpha));
  cairo_restore(cr);
}

// --- Text --------------------------------------------------------------------

namespace {

// Byte length of the line break at the front of `text` (a mandatory break
// of the line-breaking rules), 0 when there is none.
std::size_t breakAt(std::string_view text) {
  if (text.starts_with("\r\n")) return 2;
  if (text[0] == '\n' || text[0] == '\r' || text[0] == '\v' || text[0] == '\f') return 1;
  if (text.starts_with("\xC2\x85")) return 2;  // next line
  if (text.starts_with("\xE2\x80\xA8") || text.starts_with("\xE2\x80\xA9")) return 3;
  return 0;
}

// `text` with its line breaks turned into spaces.
std::string onOneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    if (const std::size_t n = breakAt(text); n > 0) {
      out.push_back(' ');
      text.remove_prefix(n);
    } else {
      out.push_back(text[0]);
      text.remove_prefix(1);
    }
  }
  return out;
}

// Where each paragraph of `text` starts (Pango's paragraph separators).
std::vector<std::size_t> paragraphStarts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  int delimiter = 0;
  int next = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    pango_find_paragraph_boundary(text.data() + at, static_cast<int>(text.size() - at), &delimiter,
                                  &next);
    if (static_cast<std::size_t>(next) >= text.size() - at) break;
    at += static_cast<std::size_t>(next);
    starts.push_back(at);
  }
  return starts;
}

// One laid-out line as a reader sees it, left to right: the characters of
// right-to-left runs in their on-screen order, "…" for an ellipsis, and
// characters that draw nothing (controls, joiners) left out.
std::string visualLine(PangoLayoutLine* line, const char* text) {
  std::string out;
  for (GSList* r = line->runs; r; r = r->next) {
    const auto* run = static_cast<const PangoLayoutRun*>(r->data);
    const PangoItem* item = run->item;
    if (item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) {
      out += "\xE2\x80\xA6";
      continue;
    }
    const PangoGlyphString* glyphs = run->glyphs;
    std::vector<int> clusters(glyphs->log_clusters, glyphs->log_clusters + glyphs->num_glyphs);
    std::sort(clusters.begin(), clusters.end());
    clusters.erase(std::unique(clusters.begin(), clusters.end()), clusters.end());
    int previous = -1;
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
      const int cluster = glyphs->log_clusters[i];
      if (cluster == previous) continue;
      previous = cluster;
      if (glyphs->glyphs[i].glyph == PANGO_GLYPH_EMPTY) continue;
      const auto after = std::upper_bound(clusters.begin(), clusters.end(), cluster);
      const int end = after == clusters.end() ? item->length : *after;
      out.append(text + item->offset + cluster, static_cast<std::size_t>(end - cluster));
    }
  }
  return out;
}

// Text set as drawText sets it: the layout, the lines it shows, their
// height, where it starts and whether it must be clipped to them.
struct SetText {
  PangoLayout* layout = nullptr;
  std::string text;
  int lines = 0;
  double shown = 0;
  double y = 0;
  double xOffset = 0;
  bool clip = false;

  SetText() = default;
  SetText(const SetText&) = delete;
  SetText& operator=(const SetText&) = delete;
  ~SetText() {
    if (layout) g_object_unref(layout);
  }
};

// Sets `set.text`, laid out in `set.layout`, in `rect`.
void setText(SetText& set, double lineHeight, const Rect& rect, const TextStyle& style) {
  PangoLayout* l = set.layout;
  const PangoEllipsizeMode ellipsize = ellipsizeFor(style.lineBreak);
  PangoAlignment align = PANGO_ALIGN_LEFT;
  if (style.alignment == TextAlignment::Center) align = PANGO_ALIGN_CENTER;
  if (style.alignment == TextAlignment::Right) align = PANGO_ALIGN_RIGHT;

  // Lines the rectangle holds (a label always shows its first line).
  const int fit = std::max(1, static_cast<int>(std::floor((rect.height() + 0.5) / lineHeight)));
  const int lines = style.maxLines > 0 ? std::min(style.maxLines, fit) : fit;
  if (style.maxLines == 1 && ellipsize == PANGO_ELLIPSIZE_NONE) {
    // One line, cut at the edge: set unwrapped and aligned by hand (a width
    // would make Pango wrap).
    PangoRectangle logical{};
    pango_layout_get_extents(l, nullptr, &logical);
    const double w = static_cast<double>(logical.width) / PANGO_SCALE;
    if (align == PANGO_ALIGN_CENTER) set.xOffset = (rect.width() - w) / 2;
    if (align == PANGO_ALIGN_RIGHT) set.xOffset = rect.width() - w;
    if (w > rect.width()) set.xOffset = 0;
    set.clip = true;
  } else {
    pango_layout_set_width(l, static_cast<int>(rect.width() * PANGO_SCALE));
    pango_layout_set_wrap(
        l, style.lineBreak == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(l, align);
    if (pango_layout_get_line_count(l) <= lines) {
      // Fits; nothing to cut (Pango's default would keep one line per
      // paragraph once it ellipsizes).
      pango_layout_set_height(l, -lines);
    } else if (ellipsize == PANGO_ELLIPSIZE_NONE) {
      set.clip = true;
    } else {
      // Pango counts its line limit per paragraph, so a text with line
      // breaks would show more lines than the label has. The lines that fit
      // stay; the last one holds the rest of the text on one line and ends
      // with the ellipsis. When the text's own breaks fill the lines, each
      // of them keeps one line (its end cut by an ellipsis where it is too
      // long), so a first paragraph that is too long does not push out the
      // others.
      const std::vector<std::size_t> paragraphs = paragraphStarts(set.text);
      const bool byParagraph = paragraphs.size() >= static_cast<std::size_t>(lines);
      const std::size_t cut =
          byParagraph
              ? paragraphs[static_cast<std::size_t>(lines) - 1]
              : static_cast<std::size_t>(pango_layout_get_line_readonly(l, lines - 1)->start_index);
      set.text = set.text.substr(0, cut) + onOneLine(std::string_view(set.text).substr(cut));
      pango_layout_set_text(l, set.text.data(), static_cast<int>(set.text.size()));
      // The layout's height in lines per paragraph, or (with wrapped
      // paragraphs before the cut) in points, half a line to spare.
      pango_layout_set_height(
          l, byParagraph ? -1 : static_cast<int>((lines + 0.5) * lineHeight * PANGO_SCALE));
    }
    if (ellipsize != PANGO_ELLIPSIZE_NONE) pango_layout_set_ellipsize(l, ellipsize);
  }
  // Every line of the layout is drawn, unless it is clipped to those that fit.
  const int count = pango_layout_get_line_count(l);
  set.lines = set.clip ? std::min(lines, count) : count;

  // The height of the lines shown, for vertical centring.
  PangoLayoutIter* iter = pango_layout_get_iter(l);
  int n = 0;
  do {
    if (++n > set.lines) break;
    int y0 = 0;
    int y1 = 0;
    pango_layout_iter_get_line_yrange(iter, &y0, &y1);
    set.shown = static_cast<double>(y1) / PANGO_SCALE;
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  set.y = style.centerVertically ? rect.y() + (rect.height() - set.shown) / 2 : rect.y();
}

}  // namespace

std::string TextLayout::text() const {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += '\n';
    out += line;
  }
  return out;
}

void Canvas::drawText(std::string_view text, const Rect& rect, const TextStyle& style) {
  if (text.empty() || !(rect.width() > 0) || !finite(rect) || style.color.isClear()) return;
  cairo_t* cr = impl_->cr;
  SetText set;
  set.text = std::string(text);
  set.layout = impl_->layout(set.text, style.font);
  setText(set, std::max(1.0, impl_->lineHeight(style.font)), rect, style);
  cairo_save(cr);
  if (set.clip) {
    // Whole lines only, and nothing past the rectangle's sides.
    cairo_rectangle(cr, rect.x(), set.y, rect.width(), set.shown);
    cairo_clip(cr);
  }
  setSource(cr, style.color);
  cairo_move_to(cr, rect.x() + set.xOffset, set.y);
  pango_cairo_show_layout(cr, set.layout);
  cairo_restore(cr);
}

TextLayout Canvas::layoutText(std::string_view text, const Rect& rect,
                              const TextStyle& style) const {
  TextLayout out;
  if (text.empty() || !(rect.width() > 0) || !finite(rect)) return out;
  SetText set;
  set.text = std::string(text);
  set.layout = impl_->layout(set.text, style.font);
  setText(set, std::max(1.0, impl_->lineHeight(style.font)), rect, style);
  for (int i = 0; i < set.lines; ++i) {
    out.lines.push_back(
        visualLine(pango_layout_get_line_readonly(set.layout, i), set.text.c_str()));
  }
  return out;
}

Size Canvas::measureText(std::string_view text, const Font& font, double maxWidth) const {
  if (text.empty()) return {0, 0};
  PangoLayout* l = impl_->layout(text, font);
  if (maxWidth > 0) {
    pango_layout_set_width(l, static_cast<int>(maxWidth * PANGO_SCALE));
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
  }
  PangoRectangle logical{};
  pango_layout_get_extents(l, nullptr, &logical);
  g_object_unref(l);
  return {static_cast<double>(logical.width) / PANGO_SCALE,
          static_cast<double>(logical.height) / PANGO_SCALE};
}

// --- Images ------------------------------------------------------------------

void Canvas::drawImage(const Image& image, const Rect& rect, std::optional<Color> tint) {
  if (rect.isEmpty() || !finite(rect)) return;
  const bool templated = image.isTemplate();
  const std::optional<Color> mask = templated ? std::optional(tint.value_or(Color::black())) : tint;
  switch (image.kind()) {
    case Image::Kind::Symbol:
      if (!drawSymbol(*this, image.name(), rect, mask.value_or(Color::black()))) {
        impl_->placeholder(rect);
      }
      return;
    case Image::Kind::Bitmap: {
      cairo_surface_t* s = image.bitmap() ? surfaceFromBitmap(*image.bitmap()) : nullptr;
      if (!s) {
        impl_->placeholder(rect);
        return;
      }
      impl_->paintSurface(s, rect, mask, false);
      cairo_surface_destroy(s);
      return;
    }
    case Image::Kind::File: {
      cairo_surface_t* s = image.path() ? impl_->file(*image.path()) : nullptr;
      if (!s) {
        impl_->placeholder(rect);
        return;
      }
      impl_->paintSurface(s, rect, mask, true);
      return;
    }
  }
}

void Canvas::drawBitmap(const Bitmap& bitmap, const Rect& rect, bool smooth) {
  cairo_surface_t* s = surfaceFromBitmap(bitmap);
  if (!s) return;
  impl_->paintSurface(s, rect, std::nullopt, smooth);
  cairo_surface_destroy(s);
}

// --- Pixels ------------------------------------------------------------------

Color Canvas::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return Color::clear();
  cairo_surface_flush(impl_->surface);
  const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
  const int stride = cairo_image_surface_get_stride(impl_->surface);
  const auto* row =
      reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
  return unpremultiply(row[x]);
}

Color Canvas::colorAt(Point p) const {
  return pixel(static_cast<int>(std::floor(p.x * impl_->scale)),
               static_cast<int>(std::floor(p.y * impl_->scale)));
}

Bitmap Canvas::toBitmap() const {
  const int w = pixelWidth();
  const int h = pixelHeight();
  Bitmap out(w, h);
  cairo_surface_flush(impl_->surface);
  const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
  const int stride = cairo_image_surface_get_stride(impl_->surface);
  for (int y = 0; y < h; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    std::copy_n(row, w, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * w);
  }
  return out;
}

bool Canvas::writePng(const std::filesystem::path& path, PngCompression compression) const {
  static std::atomic<int> counter{0};
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  // "<stem>.<pid>-<n>.png.tmp": unique per writer, so two builds drawing the
  // same file at once do not write into each other's half.
  const std::filesystem::path tmp =
      path.parent_path() / (path.stem().string() + "." + std::to_string(::getpid()) + "-" +
                            std::to_string(counter++) + ".png.tmp");
  cairo_surface_flush(impl_->surface);
  const bool written =
      compression == PngCompression::Fast
          ? writeFastPng(impl_->surface, tmp.string())
          : cairo_surface_write_to_png(impl_->surface, tmp.c_str()) == CAIRO_STATUS_SUCCESS;
  if (!written) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

// --- Fonts -------------------------------------------------------------------

bool fontsCanDisplay(std::string_view text, const Font& font) {
  if (text.empty()) return true;
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  detail::configureTextContext(context);
  PangoLayout* l = detail::newLayout(context, text, font);
  const int unknown = pango_layout_get_unknown_glyphs_count(l);
  g_object_unref(l);
  g_object_unref(context);
  return unknown == 0;
}

}  // namespace veltrix::ui
