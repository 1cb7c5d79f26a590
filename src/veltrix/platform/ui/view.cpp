#include "veltrix/platform/ui/view.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui {
namespace {

// Geometry changes made while the layout pass applies its own solution do not
// ask for another solve.
bool& applyingLayout() {
  static bool applying = false;
  return applying;
}

Point toSuperview(const View& v, Point p) {
  const Rect b = v.bounds();
  const Transform& t = v.transform();
  return {(p.x - b.midX()) * t.sx + v.center().x, (p.y - b.midY()) * t.sy + v.center().y};
}

Point fromSuperview(const View& v, Point p) {
  const Rect b = v.bounds();
  const Transform& t = v.transform();
  const double sx = t.sx == 0 ? 1 : t.sx;
  const double sy = t.sy == 0 ? 1 : t.sy;
  return {(p.x - v.center().x) / sx + b.midX(), (p.y - v.center().y) / sy + b.midY()};
}

Point fromRoot(const View& v, Point p) {
  if (v.superview())
    p = fromRoot(*v.superview(), p);
  else
    return p;
  return fromSuperview(v, p);
}

}  // namespace

namespace detail {
// Used by the layout pass around applying solved frames.
void setApplyingLayout(bool applying) { applyingLayout() = applying; }
}  // namespace detail

View::View() : safeAreaGuide_(this) {}

View::View(const Rect& frame) : View() { setFrame(frame); }

View::~View() {
  for (auto& sub : subviews_) sub->superview_ = nullptr;
  for (auto& r : recognizers_) r->attach(nullptr);
  for (auto& slot : sublayers_) slot.layer->host_ = nullptr;
  for (auto& c : constraints_) {
    c->active_ = false;
    c->installedOn_ = nullptr;
  }
}

// --- Geometry ----------------------------------------------------------------

Rect View::frame() const {
  const double w = bounds_.width() * std::fabs(transform_.sx);
  const double h = bounds_.height() * std::fabs(transform_.sy);
  // The frame is kept as centre and size: round away the drift of halving
  // so a frame set is the frame read.
  auto clean = [](double v) { return std::round(v * 1e9) / 1e9; };
  return {clean(center_.x - w / 2), clean(center_.y - h / 2), w, h};
}

void View::setFrame(const Rect& frame) {
  const double sx = transform_.sx == 0 ? 1 : std::fabs(transform_.sx);
  const double sy = transform_.sy == 0 ? 1 : std::fabs(transform_.sy);
  const Size size{std::max(0.0, frame.width()) / sx, std::max(0.0, frame.height()) / sy};
  setBounds(Rect{bounds_.origin, size});
  setCenter(frame.mid());
}

void View::setBounds(const Rect& bounds) {
  if (bounds == bounds_) return;
  const bool sizeChanged = bounds.size != bounds_.size;
  if (sizeChanged) {
    recordAnimation(static_cast<int>(AnimatedProperty::BoundsSize),
                    {bounds_.width(), bounds_.height()}, {bounds.width(), bounds.height()});
  }
  bounds_ = bounds;
  geometryChanged(sizeChanged);
  if (sizeChanged) boundsSizeChanged();
}

void View::setCenter(Point center) {
  if (center == center_) return;
  recordAnimation(static_cast<int>(AnimatedProperty::Center), {center_.x, center_.y},
                  {center.x, center.y});
  center_ = center;
  geometryChanged(false);
}

void View::setTransform(const Transform& transform) {
  if (transform == transform_) return;
  recordAnimation(static_cast<int>(AnimatedProperty::Transform), {transform_.sx, transform_.sy},
                  {transform.sx, transform.sy});
  transform_ = transform;
  geometryChanged(false);
}

void View::geometryChanged(bool sizeChanged) {
  if (sizeChanged) setNeedsLayout();
  if (!applyingLayout()) detail::constraintsChanged();
}

// --- Appearance --------------------------------------------------------------

void View::setHidden(bool hidden) { hidden_ = hidden; }

void View::setAlpha(double alpha) {
  alpha = std::clamp(alpha, 0.0, 1.0);
  if (alpha == alpha_) return;
  recordAnimation(static_cast<int>(AnimatedProperty::Alpha), {alpha_}, {alpha});
  alpha_ = alpha;
}

void View::setBackgroundColor(const Color& color) {
  if (color == backgroundColor_) return;
  recordAnimation(static_cast<int>(AnimatedProperty::Background),
                  {backgroundColor_.r, backgroundColor_.g, backgroundColor_.b, backgroundColor_.a},
                  {color.r, color.g, color.b, color.a});
  backgroundColor_ = color;
}

Color View::tintColor() const {
  for (const View* v = this; v; v = v->superview_) {
    if (v->tintColor_) return *v->tintColor_;
  }
  return Color::systemBlue();
}

void View::setTintColor(std::optional<Color> color) { tintColor_ = color; }

void View::recordAnimation(int property, const std::vector<double>& from,
                           const std::vector<double>& to) {
  const detail::AnimationContext* ctx = detail::currentAnimation();
  const platform::TimePoint now = platform::clock().now();
  // Finished animations are dropped whenever a property changes.
  std::erase_if(animations_, [&](const PropertyAnimation& a) {
    return a.start + platform::seconds(a.duration) <= now;
  });
  if (!ctx || ctx->duration <= 0) return;
  PropertyAnimation a;
  a.property = static_cast<AnimatedProperty>(property);
  for (std::size_t i = 0; i < from.size() && i < 4; ++i) a.from[i] = from[i];
  for (std::size_t i = 0; i < to.size() && i < 4; ++i) a.to[i] = to[i];
  a.start = now + platform::seconds(ctx->delay);
  a.duration = ctx->duration;
  a.curve = ctx->curve;
  a.damping = ctx->damping;
  std::erase_if(animations_, [&](const PropertyAnimation& o) { return o.property == a.property; });
  animations_.push_back(a);
}

// --- Hierarchy ---------------------------------------------------------------

void View::addSubview(ViewPtr view) { insertSubview(std::move(view), subviews_.size()); }

void View::insertSubview(ViewPtr view, std::size_t index) {
  VELTRIX_UI_CHECK_MAIN();
  if (!view || view.get() == this || isDescendantOf(*view)) return;
  if (view->superview_ == this) {
    // Moving within the same superview keeps constraints.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    const std::size_t from = static_cast<std::size_t>(it - subviews_.begin());
    subviews_.erase(it);
    if (index > from) --index;
    subviews_.insert(
        subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
    return;
  }
  if (view->superview_) view->removeFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
  view->superview_ = this;
  setNeedsLayout();
  view->setNeedsLayout();
  detail::constraintsChanged();
  view->didMoveToSuperview();
}

void View::insertSubviewBelow(ViewPtr view, const View& sibling) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [&](const ViewPtr& v) { return v.get() == &sibling; });
  insertSubview(std::move(view), static_cast<std::size_t>(it - subviews_.begin()));
}

void View::insertSubviewAbove(ViewPtr view, const View& sibling) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [&](const ViewPtr& v) { return v.get() == &sibling; });
  const std::size_t index = it == subviews_.end()
                                ? subviews_.size()
                                : static_cast<std::size_t>(it - subviews_.begin()) + 1;
  insertSubview(std::move(view), index);
}

void View::bringSubviewToFront(const View& view) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [&](const ViewPtr& v) { return v.get() == &view; });
  if (it == subviews_.end()) return;
  ViewPtr keep = *it;
  subviews_.erase(it);
  subviews_.push_back(std::move(keep));
}

void View::sendSubviewToBack(const View& view) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [&](const ViewPtr& v) { return v.get() == &view; });
  if (it == subviews_.end()) return;
  ViewPtr keep = *it;
  subviews_.erase(it);
  subviews_.insert(subviews_.begin(), std::move(keep));
}

void View::removeFromSuperview() {
  VELTRIX_UI_CHECK_MAIN();
  if (!superview_) return;
  // Whoever called this may be a callback of this very view.
  keepAlive(weak_from_this().lock());
  for (View* a = superview_; a; a = a->superview_) {
    auto installed = a->constraints_;
    for (auto& c : installed) {
      auto involves = [&](const LayoutItem& item) {
        auto v = item.view.lock();
        return v && (v.get() == this || v->isDescendantOf(*this));
      };
      if (involves(c->first_) || (c->second_ && involves(*c->second_))) c->setActive(false);
    }
  }
  detachFromSuperview();
}

void View::detachFromSuperview() {
  View* parent = superview_;
  auto it = std::find_if(parent->subviews_.begin(), parent->subviews_.end(),
                         [&](const ViewPtr& v) { return v.get() == this; });
  ViewPtr keep = *it;
  parent->subviews_.erase(it);
  superview_ = nullptr;
  for (auto& slot : parent->sublayers_) {
    if (slot.below.lock().get() == this) slot.below.reset();
  }
  parent->setNeedsLayout();
  detail::constraintsChanged();
  didMoveToSuperview();
}

bool View::isDescendantOf(const View& ancestor) const {
  for (const View* v = this; v; v = v->superview_) {
    if (v == &ancestor) return true;
  }
  return false;
}

Window* View::window() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  return dynamic_cast<Window*>(const_cast<View*>(v));
}

View& View::root() {
  View* v = this;
  while (v->superview_) v = v->superview_;
  return *v;
}

View* View::viewWithTag(std::int64_t t) {
  if (tag == t) return this;
  for (auto& sub : subviews_) {
    if (View* found = sub->viewWithTag(t)) return found;
  }
  return nullptr;
}

// --- Coordinates -------------------------------------------------------------

Point View::convert(Point p, const View* to) const {
  for (const View* v = this; v->superview_; v = v->superview_) p = toSuperview(*v, p);
  if (!to) return p;
  return fromRoot(*to, p);
}

Point View::convertFrom(Point p, const View* from) const {
  if (from) p = from->convert(p, nullptr);
  return fromRoot(*this, p);
}

Rect View::convert(const Rect& r, const View* to) const {
  const Point a = convert(r.origin, to);
  const Point b = convert(Point{r.maxX(), r.maxY()}, to);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

// --- Hit testing -------------------------------------------------------------

View* View::hitTest(Point p) {
  if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled) return nullptr;
  if (!pointInside(p)) return nullptr;
  // A subview may remove views while being asked: walk a copy.
  auto subviews = subviews_;
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    if (View* hit = (*it)->hitTest(fromSuperview(**it, p))) return hit;
  }
  return this;
}

bool View::pointInside(Point p) const { return bounds_.contains(p); }

// --- Safe area ---------------------------------------------------------------

Insets View::safeAreaInsets() const {
  Insets in;
  if (!superview_) {
    if (auto* w = dynamic_cast<const Window*>(this)) in = w->device().safeArea();
  } else {
    const Insets pi = superview_->safeAreaInsets();
    const Rect safe = superview_->bounds().inset(pi);
    const Rect f = frame();
    const double sx = transform_.sx == 0 ? 1 : std::fabs(transform_.sx);
    const double sy = transform_.sy == 0 ? 1 : std::fabs(transform_.sy);
    in.top = std::clamp(safe.minY() - f.minY(), 0.0, f.height()) / sy;
    in.bottom = std::clamp(f.maxY() - safe.maxY(), 0.0, f.height()) / sy;
    in.left = std::clamp(safe.minX() - f.minX(), 0.0, f.width()) / sx;
    in.right = std::clamp(f.maxX() - safe.maxX(), 0.0, f.width()) / sx;
  }
  in.top += additionalSafeArea_.top;
  in.left += additionalSafeArea_.left;
  in.bottom += additionalSafeArea_.bottom;
  in.right += additionalSafeArea_.right;
  return in;
}

void View::setAdditionalSafeAreaInsets(const Insets& insets) {
  if (insets == additionalSafeArea_) return;
  additionalSafeArea_ = insets;
  setNeedsLayout();
  detail::constraintsChanged();
}

// --- Auto Layout -------------------------------------------------------------

void View::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
  if (translates == translatesMask_) return;
  translatesMask_ = translates;
  detail::constraintsChanged();
}

Size View::intrinsicContentSize() const { return {kNoIntrinsicMetric, kNoIntrinsicMetric}; }

Size View::intrinsicContentSizeForWidth(double) const { return intrinsicContentSize(); }

void View::invalidateIntrinsicContentSize() {
  setNeedsLayout();
  detail::constraintsChanged();
}

double View::contentHuggingPriority(LayoutAxis axis) const {
  return hugging_[static_cast<int>(axis)];
}

void View::setContentHuggingPriority(double p, LayoutAxis axis) {
  hugging_[static_cast<int>(axis)] = p;
  detail::constraintsChanged();
}

double View::contentCompressionResistancePriority(LayoutAxis axis) const {
  return compression_[static_cast<int>(axis)];
}

void View::setContentCompressionResistancePriority(double p, LayoutAxis axis) {
  compression_[static_cast<int>(axis)] = p;
  detail::constraintsChanged();
}

void View::setNeedsLayout() {
  needsLayout_ = true;
  detail::scheduleLayoutPass();
}

// --- Gestures ----------------------------------------------------------------

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
  VELTRIX_UI_CHECK_MAIN();
  if (!recognizer) return;
  if (View* old = recognizer->view()) old->removeGestureRecognizer(*recognizer);
  recognizer->attach(this);
  recognizers_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(const GestureRecognizer& recognizer) {
  auto it = std::find_if(recognizers_.begin(), recognizers_.end(),
                         [&](const auto& r) { return r.get() == &recognizer; });
  if (it == recognizers_.end()) return;
  auto keep = *it;
  recognizers_.erase(it);
  keep->attach(nullptr);
  keepAlive(keep);
}

void View::removeAllGestureRecognizers() {
  auto all = std::move(recognizers_);
  recognizers_.clear();
  for (auto& r : all) {
    r->attach(nullptr);
    keepAlive(r);
  }
}

// --- Layers ------------------------------------------------------------------

void View::addSublayer(std::shared_ptr<Layer> layer) {
  if (!layer) return;
  layer->removeFromSuperlayer();
  layer->host_ = this;
  sublayers_.push_back({std::move(layer), {}});
}

void View::insertSublayerBelow(std::shared_ptr<Layer> layer, const View& subview) {
  if (!layer) return;
  layer->removeFromSuperlayer();
  layer->host_ = this;
  std::weak_ptr<View> below;
  for (auto& s : subviews_) {
    if (s.get() == &subview) below = s;
  }
  sublayers_.push_back({std::move(layer), below});
}

void View::insertSublayerAtBottom(std::shared_ptr<Layer> layer) {
  if (!layer) return;
  layer->removeFromSuperlayer();
  layer->host_ = this;
  sublayers_.insert(sublayers_.begin(), SublayerSlot{std::move(layer), {}, true});
}

void View::removeSublayer(const Layer& layer) {
  std::erase_if(sublayers_, [&](const SublayerSlot& s) {
    if (s.layer.get() != &layer) return false;
    s.layer->host_ = nullptr;
    return true;
  });
}

// --- Tests and debugging -----------------------------------------------------

std::string View::describe() const {
  std::string out = typeName();
  if (!debugName.empty()) out += fmt::format(" '{}'", debugName);
  out += ' ';
  out += toString(frame());
  if (tag != 0) out += fmt::format(" tag={}", tag);
  if (hidden_) out += " hidden";
  if (alpha_ < 1) out += fmt::format(" alpha={:g}", alpha_);
  if (!translatesMask_) out += " constraints";
  return out;
}

std::string View::dumpTree() const {
  std::string out;
  std::function<void(const View&, int)> dump = [&](const View& v, int depth) {
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + v.describe() + "\n";
    for (const auto& sub : v.subviews_) dump(*sub, depth + 1);
  };
  dump(*this, 0);
  return out;
}

bool View::isVisibleInTree() const {
  for (const View* v = this; v; v = v->superview_) {
    if (v->hidden_ || v->alpha_ < 0.01) return false;
  }
  return true;
}

void View::visit(const std::function<bool(View&)>& f) {
  if (!f(*this)) return;
  auto subviews = subviews_;
  for (auto& sub : subviews) sub->visit(f);
}

}  // namespace veltrix::ui
