#include "veltrix/platform/ui/gesture.h"

#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

GestureRecognizer::GestureRecognizer(Action action) {
  if (action) actions_.push_back(std::move(action));
}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addAction(Action action) {
  if (action) actions_.push_back(std::move(action));
}

void GestureRecognizer::requireToFail(const std::shared_ptr<GestureRecognizer>& other) {
  if (other && other.get() != this) mustFail_.push_back(other);
}

Point GestureRecognizer::locationInView(const View* view) const {
  if (!view) return current_;
  return view->convertFrom(current_, nullptr);
}

void GestureRecognizer::fire() {
  // The action may remove this recogniser from its view.
  keepAlive(weak_from_this().lock());
  auto actions = actions_;
  for (auto& a : actions) a(*this);
}

Point PanGestureRecognizer::translationInView(const View* view) const {
  const Point a = startPoint();
  const Point b{currentPoint().x + offset_.x, currentPoint().y + offset_.y};
  if (!view) return b - a;
  return view->convertFrom(b, nullptr) - view->convertFrom(a, nullptr);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
  // Work in window space: the offset makes translationInView(view) read
  // `translation` now.
  const Point now = translationInView(view);
  Point delta = translation - now;
  if (view) {
    const Point o = view->convert(Point{0, 0}, nullptr);
    const Point d = view->convert(delta, nullptr);
    delta = d - o;
  }
  offset_ = offset_ + delta;
}

}  // namespace veltrix::ui
