#include "veltrix/platform/ui/render/renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/camera.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/render/symbols.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/table_view.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui {
namespace {

constexpr double kInvisible = 0.001;
constexpr double kPi = 3.141592653589793;

struct Context {
  Canvas& canvas;
  platform::TimePoint now;
  double hairline = 1;  // one device pixel, in points
};

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

double secondsSince(platform::TimePoint from, platform::TimePoint to) {
  return std::chrono::duration<double>(to - from).count();
}

// --- Layer animations ----------------------------------------------------------

// Values of animated key paths at one moment; unset ones keep the model value.
struct LayerValues {
  std::optional<double> opacity;
  std::optional<double> scaleX;
  std::optional<double> scaleY;
  std::optional<double> rotation;
  std::optional<double> positionX;
  std::optional<double> positionY;
};

// Time inside one cycle of `a` at `t` seconds after its start, or nullopt
// when it has no effect then (not started, or over and removed).
std::optional<double> cycleTime(const LayerAnimation& a, double t) {
  const double d = a.duration > 0 ? a.duration : 0.25;
  const double cycle = a.autoreverses ? 2 * d : d;
  const bool forever = std::isinf(a.repeatCount);
  const double total = forever ? std::numeric_limits<double>::infinity()
                               : cycle * (a.repeatCount > 0 ? a.repeatCount : 1);
  const bool fillsBackwards = a.fillMode == LayerAnimation::FillMode::Backwards ||
                              a.fillMode == LayerAnimation::FillMode::Both;
  const bool fillsForwards = a.fillMode == LayerAnimation::FillMode::Forwards ||
                             a.fillMode == LayerAnimation::FillMode::Both;
  if (t < 0) return fillsBackwards ? std::optional<double>(0) : std::nullopt;
  if (t >= total) {
    if (a.removedOnCompletion || !fillsForwards) return std::nullopt;
    t = total;
    if (std::fmod(total, cycle) == 0) return a.autoreverses ? 0 : d;
  }
  double local = std::fmod(t, cycle);
  if (a.autoreverses && local > d) local = 2 * d - local;
  return local;
}

void apply(const LayerAnimation& a, double t, const Layer& layer, LayerValues& out) {
  const auto local = cycleTime(a, t);
  if (!local) return;
  if (a.keyPath.empty()) {
    for (const LayerAnimation& member : a.animations) apply(member, *local, layer, out);
    return;
  }
  const double d = a.duration > 0 ? a.duration : 0.25;
  const double progress = std::clamp(*local / d, 0.0, 1.0);
  auto model = [&]() -> double {
    if (a.keyPath == "opacity") return layer.opacity;
    if (a.keyPath == "transform.scale" || a.keyPath == "transform.scale.x") {
      return layer.transform.sx;
    }
    if (a.keyPath == "transform.scale.y") return layer.transform.sy;
    if (a.keyPath == "position.x") return layer.position.x;
    if (a.keyPath == "position.y") return layer.position.y;
    return 0;
  };
  const double from = a.fromValue.value_or(model());
  const double to = a.toValue.value_or(model());
  const double v = from + (to - from) * progress;
  if (a.keyPath == "opacity") {
    out.opacity = v;
  } else if (a.keyPath == "transform.scale") {
    out.scaleX = v;
    out.scaleY = v;
  } else if (a.keyPath == "transform.scale.x") {
    out.scaleX = v;
  } else if (a.keyPath == "transform.scale.y") {
    out.scaleY = v;
  } else if (a.keyPath == "transform.rotation" || a.keyPath == "transform.rotation.z") {
    out.rotation = v;
  } else if (a.keyPath == "position.x") {
    out.positionX = v;
  } else if (a.keyPath == "position.y") {
    out.positionY = v;
  }
}

void drawLayer(const Layer& layer, Context& ctx, double delay);

// The camera's picture placed in the layer by its video gravity, as
// metadataOutputRectOfInterestForRect maps it.
void drawPreviewPicture(const VideoPreviewLayer& preview, Canvas& c) {
  const auto& session = preview.session();
  if (!session || session->inputs().empty()) return;
  const auto& device = session->inputs().front()->device();
  const std::shared_ptr<const Bitmap> picture = device->currentPicture();
  if (!picture) return;
  const Rect whole = preview.metadataOutputRectOfInterestForRect(preview.bounds);
  if (!(whole.width() > 0) || !(whole.height() > 0)) return;
  // The layer's bounds cover `whole` of the picture: scale back out.
  const double w = preview.bounds.width() / whole.width();
  const double h = preview.bounds.height() / whole.height();
  const Rect shown{-whole.x() * w, -whole.y() * h, w, h};
  c.save();
  c.clipRect(preview.bounds);
  c.drawBitmap(*picture, shown, true);
  c.restore();
}

void drawLayerContent(const Layer& layer, Context& ctx, double delay) {
  Canvas& c = ctx.canvas;
  if (!layer.backgroundColor.isClear()) c.fillRect(layer.bounds, layer.backgroundColor);
  if (const auto* shape = dynamic_cast<const ShapeLayer*>(&layer)) {
    if (shape->path != ShapeLayer::Path::None && !shape->pathRect.isEmpty()) {
      const bool strokes = !shape->strokeColor.isClear() && shape->lineWidth > 0;
      auto addPath = [&] {
        if (shape->path == ShapeLayer::Path::Oval) {
          c.addOval(shape->pathRect);
        } else {
          c.addRect(shape->pathRect);
        }
      };
      if (!shape->fillColor.isClear()) {
        addPath();
        c.fill(shape->fillColor);
      }
      if (strokes) {
        addPath();
        c.stroke(shape->strokeColor, shape->lineWidth);
      }
    }
  }
  if (const auto* preview = dynamic_cast<const VideoPreviewLayer*>(&layer)) {
    // A dark viewfinder, with the camera's picture when it has one.
    c.fillRect(layer.bounds, Color::rgb255(28, 28, 30));
    drawPreviewPicture(*preview, c);
  }
  if (const auto* custom = dynamic_cast<const CustomDrawing*>(&layer)) {
    c.save();
    custom->draw(c, layer.bounds);
    c.restore();
  }
  if (const auto* replicator = dynamic_cast<const ReplicatorLayer*>(&layer)) {
    const Point mid = layer.bounds.mid();
    double sx = 1;
    double sy = 1;
    for (int i = 0; i < replicator->instanceCount; ++i) {
      c.save();
      c.translate(mid.x, mid.y);
      c.scaleBy(sx, sy);
      c.translate(-mid.x, -mid.y);
      for (const auto& sub : layer.sublayers()) {
        drawLayer(*sub, ctx, delay + i * replicator->instanceDelay);
      }
      c.restore();
      sx *= replicator->instanceTransform.sx;
      sy *= replicator->instanceTransform.sy;
    }
    return;
  }
  for (const auto& sub : layer.sublayers()) drawLayer(*sub, ctx, delay);
}

void drawLayer(const Layer& layer, Context& ctx, double delay) {
  if (layer.hidden) return;
  LayerValues values;
  for (const std::string& key : layer.animationKeys()) {
    const LayerAnimation* a = layer.animation(key);
    if (a) apply(*a, secondsSince(a->beginTime, ctx.now) - delay, layer, values);
  }
  const double opacity = values.opacity.value_or(layer.opacity);
  if (!(opacity > kInvisible)) return;  // NaN too
  const double sx = values.scaleX.value_or(layer.transform.sx);
  const double sy = values.scaleY.value_or(layer.transform.sy);
  const Point position{values.positionX.value_or(layer.position.x),
                       values.positionY.value_or(layer.position.y)};
  if (sx == 0 || sy == 0 || !finite(sx, sy) || !finite(position.x, position.y)) return;
  Canvas& c = ctx.canvas;
  c.save();
  c.translate(position.x, position.y);
  if (values.rotation) c.rotate(*values.rotation);
  c.scaleBy(sx, sy);
  c.translate(-layer.bounds.midX(), -layer.bounds.midY());
  const bool group = opacity < 1;
  if (group) c.beginGroup();
  drawLayerContent(layer, ctx, delay);
  if (group) c.endGroup(opacity);
  c.restore();
}

// --- Views -------------------------------------------------------------------

// The rounded outline a view's background, clipping and border follow.
struct Outline {
  Rect rect;
  double radius = 0;
  unsigned corners = corner::kAll;
  bool clips = false;
};

bool isSheetStyle(ModalPresentationStyle style) {
  return style == ModalPresentationStyle::Automatic || style == ModalPresentationStyle::PageSheet ||
         style == ModalPresentationStyle::FormSheet;
}

Outline outlineOf(View& v, Size size) {
  Outline o{Rect{Point{0, 0}, size}, v.cornerRadius, v.maskedCorners, v.clipsToBounds};
  auto* container = dynamic_cast<PresentationContainer*>(v.superview());
  if (container && isSheetStyle(container->style()) && container->dimmingView().get() != &v) {
    // Sheets have rounded tops; on a pad they float with every corner round.
    const bool pad = v.window() && v.window()->device().isPad();
    o.radius = std::max(o.radius, 10.0);
    o.corners = pad ? corner::kAll : (corner::kTopLeft | corner::kTopRight);
    o.clips = true;
  }
  auto* cell = dynamic_cast<TableViewCell*>(&v);
  auto* table = cell ? dynamic_cast<TableView*>(v.superview()) : nullptr;
  if (table && table->style() == TableViewStyle::InsetGrouped) {
    if (auto ip = table->indexPathForCell(*cell)) {
      unsigned corners = 0;
      if (ip->item == 0) corners |= corner::kTopLeft | corner::kTopRight;
      if (ip->item == table->numberOfRows(ip->section) - 1) {
        corners |= corner::kBottomLeft | corner::kBottomRight;
      }
      if (corners) {
        o.radius = std::max(o.radius, 10.0);
        o.corners = corners;
        o.clips = true;
      }
    }
  }
  return o;
}

void addOutline(Canvas& c, const Outline& o) {
  if (o.radius > 0) {
    c.addRoundedRect(o.rect, o.radius, o.corners);
  } else {
    c.addRect(o.rect);
  }
}

Rect imageRect(ContentMode mode, Size image, const Rect& box) {
  if (image.width <= 0 || image.height <= 0) return box;
  switch (mode) {
    case ContentMode::ScaleToFill:
      return box;
    case ContentMode::AspectFit:
    case ContentMode::AspectFill: {
      const double fx = box.width() / image.width;
      const double fy = box.height() / image.height;
      const double f = mode == ContentMode::AspectFit ? std::min(fx, fy) : std::max(fx, fy);
      const Size s{image.width * f, image.height * f};
      return {box.midX() - s.width / 2, box.midY() - s.height / 2, s.width, s.height};
    }
    case ContentMode::Center:
      return {box.midX() - image.width / 2, box.midY() - image.height / 2, image.width,
              image.height};
  }
  return box;
}

TextStyle labelStyle(const Label& label) {
  TextStyle style;
  style.font = label.displayFont();
  style.color = label.textColor;
  style.alignment = label.textAlignment;
  style.lineBreak = label.lineBreakMode;
  style.maxLines = label.numberOfLines();
  return style;
}

void drawLabel(Label& label, const Rect& box, Context& ctx) {
  ctx.canvas.drawText(label.displayText(), box, labelStyle(label));
}

void drawImageView(ImageView& view, const Rect& box, Context& ctx) {
  const ImagePtr& image = view.image();
  if (!image) return;
  const Rect r = imageRect(view.contentMode, image->size(), box);
  ctx.canvas.drawImage(*image, r,
                       image->isTemplate() ? std::optional(view.tintColor()) : std::nullopt);
}

void drawSwitch(Switch& s, const Rect& box, Context& ctx) {
  Canvas& c = ctx.canvas;
  const bool dim = !s.isEnabled();
  if (dim) c.beginGroup();
  const double h = box.height();
  c.addRoundedRect(box, h / 2);
  c.fill(s.isOn() ? s.onTintColor.value_or(Color::systemGreen())
                  : Color::rgb255(120, 120, 128, 0.16));
  const double d = h - 4;
  const double x = s.isOn() ? box.maxX() - 2 - d : box.minX() + 2;
  const Rect thumb{x, box.minY() + 2, d, d};
  c.addOval(thumb.offset(0, 1.5));
  c.fill(Color::black().withAlpha(0.1));
  c.addOval(thumb);
  c.fill(s.thumbTintColor.value_or(Color::white()));
  c.addOval(thumb);
  c.stroke(Color::black().withAlpha(0.04), 0.5);
  if (dim) c.endGroup(0.5);
}

void drawActivityIndicator(ActivityIndicator& a, const Rect& box, Context& ctx) {
  Canvas& c = ctx.canvas;
  const int spokes = 8;
  const double side = std::min(box.width(), box.height());
  const double outer = side / 2;
  const double inner = side * 0.22;
  const double width = side * 0.1;
  // One turn a second, a spoke at a time, while it animates.
  int lead = 0;
  if (a.isAnimating()) {
    const double s = std::chrono::duration<double>(ctx.now.time_since_epoch()).count();
    lead = static_cast<int>(std::floor(std::fmod(s, 1.0) * spokes));
  }
  for (int i = 0; i < spokes; ++i) {
    const double angle = -kPi / 2 + i * 2 * kPi / spokes;
    const int age = ((lead - i) % spokes + spokes) % spokes;
    const double alpha = 1.0 - 0.8 * age / (spokes - 1);
    const double cx = box.midX();
    const double cy = box.midY();
    const double r0 = inner + width / 2;
    const double r1 = outer - width / 2;
    c.moveTo(Point{cx + r0 * std::cos(angle), cy + r0 * std::sin(angle)});
    c.lineTo(Point{cx + r1 * std::cos(angle), cy + r1 * std::sin(angle)});
    c.stroke(a.color.withAlpha(a.color.a * alpha), width, LineCap::Round);
  }
}

void drawTextField(TextField& f, const Rect& box, Context& ctx) {
  Canvas& c = ctx.canvas;
  double inset = 0;
  if (f.borderStyle == TextBorderStyle::RoundedRect) {
    inset = 7;
    if (f.backgroundColor().isClear()) {
      c.addRoundedRect(box, 5);
      c.fill(Color::white());
    }
    const double half = ctx.hairline / 2;
    c.addRoundedRect(
        Rect{box.x() + half, box.y() + half, box.width() - 2 * half, box.height() - 2 * half}, 5);
    c.stroke(Color::black().withAlpha(0.2), ctx.hairline);
  } else if (f.borderStyle == TextBorderStyle::Line) {
    inset = 4;
    c.addRect(Rect{box.x() + 0.5, box.y() + 0.5, box.width() - 1, box.height() - 1});
    c.stroke(Color::darkGray(), 1);
  }
  const Rect text = box.inset(Insets{0, inset, 0, inset});
  TextStyle style;
  style.font = f.font;
  style.alignment = f.textAlignment;
  style.lineBreak = LineBreakMode::TruncateTail;
  const bool placeholder = f.text().empty();
  style.color = placeholder ? Color::rgb255(60, 60, 67, 0.3) : f.textColor;
  c.drawText(placeholder ? f.placeholder : f.text(), text, style);
  if (f.isEditing()) {
    const double w =
        placeholder ? 0 : std::min(text.width(), c.measureText(f.text(), f.font).width);
    const double h = f.font.size * 1.2;
    double x = text.x() + w;
    if (f.textAlignment == TextAlignment::Center) x = text.midX() + w / 2;
    if (f.textAlignment == TextAlignment::Right) x = text.maxX();
    c.fillRect(Rect{x + 1, text.midY() - h / 2, 2, h}, f.tintColor());
  }
}

void drawCell(TableViewCell& cell, const Outline& outline, Context& ctx) {
  Canvas& c = ctx.canvas;
  const Rect box = outline.rect;
  if (cell.isSelected() && cell.selectionStyle == SelectionStyle::Default) {
    addOutline(c, outline);
    c.fill(Color::systemGray4());
  }
  if (cell.accessoryView()) return;
  // Drawn accessories keep out of the unsafe side, as the content does.
  const double w = box.width() - cell.safeAreaInsets().right;
  const double mid = box.midY();
  switch (cell.accessoryType) {
    case AccessoryType::None:
      break;
    case AccessoryType::DisclosureIndicator:
      drawSymbol(c, "chevron.right", Rect{w - 16 - 13, mid - 7, 14, 14},
                 Color::rgb255(60, 60, 67, 0.3));
      break;
    case AccessoryType::Checkmark:
      drawSymbol(c, "checkmark", Rect{w - 16 - 16, mid - 8, 16, 16}, cell.tintColor());
      break;
    case AccessoryType::DetailButton: {
      const Rect r{w - 16 - 22, mid - 11, 22, 22};
      drawSymbol(c, "circle", r, cell.tintColor());
      TextStyle style;
      style.font = Font::system(14, FontWeight::Bold);
      style.color = cell.tintColor();
      style.alignment = TextAlignment::Center;
      c.drawText("i", r, style);
      break;
    }
  }
}

void drawNavigationBar(View& bar, const Rect& box, Context& ctx) {
  // The bar's backdrop runs up behind the status bar, as on the platform.
  const double top = bar.convert(Point{0, 0}, nullptr).y;
  const Color backdrop = presentationBackground(bar, ctx.now);
  if (top > 0.5 && top <= 64 && !backdrop.isClear()) {
    ctx.canvas.fillRect(Rect{box.x(), box.y() - top, box.width(), top}, backdrop);
  }
  ctx.canvas.fillRect(Rect{box.x(), box.maxY(), box.width(), ctx.hairline},
                      Color::black().withAlpha(0.3));
}

bool isAlertAction(const View& v) {
  const View* box = v.superview();
  const View* root = box ? box->superview() : nullptr;
  return root && dynamic_cast<AlertController*>(root->viewController()) &&
         dynamic_cast<const Button*>(&v);
}

void drawAlertDivider(View& button, const Rect& box, Context& ctx) {
  const Color line = Color::rgb255(60, 60, 67, 0.29);
  ctx.canvas.fillRect(Rect{box.x(), box.y(), box.width(), ctx.hairline}, line);
  if (button.frame().x() > 0.5) {
    ctx.canvas.fillRect(Rect{box.x(), box.y(), ctx.hairline, box.height()}, line);
  }
}

// What the view itself shows, above its background and below its subviews.
void drawContent(View& v, const Outline& outline, Context& ctx) {
  const Rect& box = outline.rect;
  if (auto* label = dynamic_cast<Label*>(&v)) {
    drawLabel(*label, box, ctx);
  } else if (auto* image = dynamic_cast<ImageView*>(&v)) {
    drawImageView(*image, box, ctx);
  } else if (auto* s = dynamic_cast<Switch*>(&v)) {
    drawSwitch(*s, box, ctx);
  } else if (auto* a = dynamic_cast<ActivityIndicator*>(&v)) {
    drawActivityIndicator(*a, box, ctx);
  } else if (auto* f = dynamic_cast<TextField*>(&v)) {
    drawTextField(*f, box, ctx);
  } else if (auto* cell = dynamic_cast<TableViewCell*>(&v)) {
    drawCell(*cell, outline, ctx);
  } else if (dynamic_cast<NavigationBar*>(&v)) {
    drawNavigationBar(v, box, ctx);
  } else if (isAlertAction(v)) {
    drawAlertDivider(v, box, ctx);
  }
  if (auto* custom = dynamic_cast<CustomDrawing*>(&v)) {
    ctx.canvas.save();
    ctx.canvas.translate(-v.bounds().x(), -v.bounds().y());
    custom->draw(ctx.canvas, Rect{v.bounds().origin, box.size});
    ctx.canvas.restore();
  }
}

void drawView(View& v, Context& ctx, bool root);

void drawSeparators(TableView& table, Context& ctx) {
  // Grouped sections end with their rounded edge, not with a separator.
  std::vector<Rect> lastRows;
  if (table.style() != TableViewStyle::Plain) {
    for (const auto& cell : table.visibleCells()) {
      auto ip = table.indexPathForCell(*cell);
      if (ip && ip->item == table.numberOfRows(ip->section) - 1) lastRows.push_back(cell->frame());
    }
  }
  for (const Rect& r : table.separatorRects()) {
    const bool last = std::any_of(lastRows.begin(), lastRows.end(), [&](const Rect& f) {
      return nearlyEqual(r.maxY(), f.maxY(), 1) && r.x() >= f.x() - 1e-6 &&
             r.maxX() <= f.maxX() + 1e-6;
    });
    if (last) continue;
    ctx.canvas.fillRect(Rect{r.x(), r.maxY() - ctx.hairline, r.width(), ctx.hairline},
                        table.separatorColor);
  }
}

void drawSubviewsAndLayers(View& v, Context& ctx) {
  // Layers placed below a subview go right before it; the rest on top.
  std::map<const View*, std::vector<const Layer*>> below;
  std::vector<const Layer*> above;
  for (const SublayerSlot& slot : v.sublayers()) {
    if (slot.bottom) {
      drawLayer(*slot.layer, ctx, 0);
      continue;
    }
    auto anchor = slot.below.lock();
    if (anchor && anchor->superview() == &v) {
      below[anchor.get()].push_back(slot.layer.get());
    } else {
      above.push_back(slot.layer.get());
    }
  }
  const auto subviews = v.subviews();  // a copy: drawing must not see the list change
  for (const auto& sub : subviews) {
    if (auto it = below.find(sub.get()); it != below.end()) {
      for (const Layer* layer : it->second) drawLayer(*layer, ctx, 0);
    }
    drawView(*sub, ctx, false);
  }
  for (const Layer* layer : above) drawLayer(*layer, ctx, 0);
  if (auto* table = dynamic_cast<TableView*>(&v)) drawSeparators(*table, ctx);
}

void drawView(View& v, Context& ctx, bool root) {
  if (v.isHidden()) return;
  const double alpha = std::min(1.0, presentationAlpha(v, ctx.now));
  if (!(alpha > kInvisible)) return;  // NaN too
  const Size size = root ? v.bounds().size : presentationBoundsSize(v, ctx.now);
  const Transform t = root ? Transform::identity() : presentationTransform(v, ctx.now);
  const Point centre = root ? Point{} : presentationCenter(v, ctx.now);
  // A view whose geometry is not a number cannot be placed: it is skipped.
  if (t.sx == 0 || t.sy == 0 || !finite(t.sx, t.sy) || !finite(size.width, size.height) ||
      !finite(centre.x, centre.y) || !finite(v.bounds().x(), v.bounds().y())) {
    return;
  }
  Canvas& c = ctx.canvas;
  c.save();
  if (!root) {
    c.translate(centre.x, centre.y);
    c.scaleBy(t.sx, t.sy);
    c.translate(-size.width / 2, -size.height / 2);
  }
  const bool group = alpha < 1;
  if (group) c.beginGroup();

  const Outline outline = outlineOf(v, size);
  for (const Color& fill : {v.layerBackgroundColor, presentationBackground(v, ctx.now)}) {
    if (fill.isClear()) continue;
    addOutline(c, outline);
    c.fill(fill);
  }
  if (outline.clips) {
    c.save();
    addOutline(c, outline);
    c.clip();
  }
  drawContent(v, outline, ctx);
  c.save();
  c.translate(-v.bounds().x(), -v.bounds().y());
  drawSubviewsAndLayers(v, ctx);
  c.restore();
  if (outline.clips) c.restore();

  if (v.borderWidth > 0 && !v.borderColor.isClear()) {
    // The border lies inside the outline, over everything the view holds.
    const double half = v.borderWidth / 2;
    Outline inner = outline;
    inner.rect = outline.rect.inset(Insets{half, half, half, half});
    inner.radius = std::max(0.0, outline.radius - half);
    addOutline(c, inner);
    c.stroke(v.borderColor, v.borderWidth);
  }
  if (group) c.endGroup(alpha);
  c.restore();
}

// --- Device chrome -----------------------------------------------------------

void drawChrome(const Window& window, Context& ctx) {
  Canvas& c = ctx.canvas;
  const DeviceProfile& device = window.device();
  const Size size = window.bounds().size;
  const Color ink =
      window.statusBarStyle() == StatusBarStyle::LightContent ? Color::white() : Color::black();
  const double bar = device.statusBarHeight();
  if (bar > 0) {
    // A phone with a sensor housing has a tall bar with the time centred in
    // its left ear; a short bar (the small phone's 20 points, the pad's 24) has one
    // plain line.
    const bool phone = !device.isPad() && bar >= 40;
    const double textY = phone ? bar - 31 : 2;
    const double textH = phone ? 22 : bar - 4;
    TextStyle style;
    style.font = Font::system(phone ? 16 : 13, FontWeight::Semibold);
    style.color = ink;
    style.alignment = phone ? TextAlignment::Center : TextAlignment::Left;
    c.drawText("9:41", Rect{phone ? 20.0 : 16.0, textY, phone ? 70.0 : 60.0, textH}, style);
    // Battery: a body, its charge and a nub.
    const double bw = phone ? 25 : 22;
    const double bh = phone ? 12 : 10.5;
    const Rect battery{size.width - (phone ? 26 : 16) - bw, textY + (textH - bh) / 2, bw, bh};
    c.addRoundedRect(battery.inset(Insets{0.5, 0.5, 0.5, 0.5}), 3);
    c.stroke(ink.withAlpha(0.4), 1);
    c.addRoundedRect(battery.inset(Insets{2, 2, 2, 2}), 1.5);
    c.fill(ink);
    c.addRoundedRect(Rect{battery.maxX() + 1, battery.midY() - 2, 1.5, 4}, 0.7,
                     corner::kTopRight | corner::kBottomRight);
    c.fill(ink.withAlpha(0.4));
    // Wi-Fi: three arcs over a dot.
    const Point base{battery.minX() - 14, battery.maxY() + 0.5};
    for (int i = 0; i < 3; ++i) {
      const double r = 3.2 + i * 3.3;
      c.arc(base, r, -kPi * 0.75, -kPi * 0.25);
      c.stroke(ink, 1.7, LineCap::Round);
    }
  }
  if (device.safeArea().bottom > 0) {
    const double w = device.isPad() ? 320 : 134;
    c.addRoundedRect(Rect{(size.width - w) / 2, size.height - 8 - 5, w, 5}, 2.5);
    c.fill(ink);
  }
}

}  // namespace

Canvas renderView(View& view, const RenderOptions& options) {
  VELTRIX_UI_CHECK_MAIN();
  view.layoutIfNeeded();
  Window* window = view.window();
  double scale = options.scale;
  if (!(scale > 0)) scale = window ? window->device().scale : currentDevice().scale;
  Canvas canvas(view.bounds().size, scale);
  const platform::TimePoint now = options.time.value_or(platform::clock().now());
  canvas.setTime(now);
  Context ctx{canvas, now, 1 / scale};
  drawView(view, ctx, true);
  if (options.deviceChrome && window == &view) drawChrome(*window, ctx);
  return canvas;
}

bool renderViewToPng(View& view, const std::filesystem::path& path, const RenderOptions& options) {
  Canvas canvas = renderView(view, options);
  if (canvas.writePng(path, options.compression)) return true;
  platform::logLine("Could not write the picture " + path.string());
  return false;
}

TextLayout drawnText(const Label& label) {
  // Layout in points does not depend on the scale (unhinted metrics).
  const Canvas canvas(Size{1, 1}, 1);
  return canvas.layoutText(label.displayText(), Rect{Point{0, 0}, label.bounds().size},
                           labelStyle(label));
}

}  // namespace veltrix::ui
