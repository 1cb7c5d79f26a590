#include "veltrix/platform/ui/scroll_view.h"

#include <fmt/format.h>

#include <algorithm>

namespace veltrix::ui {

std::string toString(const IndexPath& ip) { return fmt::format("[{}, {}]", ip.section, ip.item); }

ScrollView::ScrollView() { setup(); }

ScrollView::ScrollView(const Rect& frame) : View(frame) { setup(); }

void ScrollView::setup() {
  clipsToBounds = true;
  pan_ = std::make_shared<PanGestureRecognizer>([this](GestureRecognizer& g) {
    auto& pan = static_cast<PanGestureRecognizer&>(g);
    if (pan.state() == GestureState::Began) dragStartOffset_ = contentOffset();
    if (pan.state() == GestureState::Began || pan.state() == GestureState::Changed) {
      const Point t = pan.translationInView(this);
      setContentOffset(clamp(Point{dragStartOffset_.x - t.x, dragStartOffset_.y - t.y}));
    }
  });
  // Added directly: the recogniser is part of the view (not shared_from_this).
  View::addGestureRecognizer(pan_);
}

void ScrollView::setContentOffset(Point offset, bool /*animated*/) {
  if (offset == bounds().origin) return;
  setBounds(Rect{offset, bounds().size});
  setNeedsLayout();
}

void ScrollView::setContentSize(Size size) {
  if (size == contentSize_) return;
  contentSize_ = size;
  setNeedsLayout();
}

Point ScrollView::maxContentOffset() const {
  return {
      std::max(-contentInset.left, contentSize_.width + contentInset.right - bounds().width()),
      std::max(-contentInset.top, contentSize_.height + contentInset.bottom - bounds().height())};
}

Point ScrollView::clamp(Point offset) const {
  const Point max = maxContentOffset();
  return {std::clamp(offset.x, -contentInset.left, max.x),
          std::clamp(offset.y, -contentInset.top, max.y)};
}

void ScrollView::setScrollEnabled(bool enabled) {
  scrollEnabled_ = enabled;
  pan_->enabled = enabled;
}

void ScrollView::scrollBy(Point delta) {
  if (!scrollEnabled_) return;
  setContentOffset(clamp(contentOffset() + delta));
}

}  // namespace veltrix::ui
