#include "veltrix/platform/ui/window.h"

#include <algorithm>
#include <cmath>

#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/table_view.h"

namespace veltrix::ui {

namespace detail {
void resetRuntimeForTesting();
void resetLayoutForTesting();
}  // namespace detail

namespace {

std::vector<Window*>& windows() {
  static auto& list = *new std::vector<Window*>;
  return list;
}

Window*& keyWindowSlot() {
  static Window* key = nullptr;
  return key;
}

constexpr double kMoveThreshold = 10;
// How far outside a control a touch may end and still count as inside.
constexpr double kControlSlop = 70;

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

void collectControllers(ViewController* vc, std::vector<std::shared_ptr<ViewController>>& out) {
  if (!vc) return;
  if (auto p = vc->weak_from_this().lock()) out.push_back(p);
  for (ViewController* child : vc->childControllers()) collectControllers(child, out);
  if (ViewController* presented = vc->presentedViewController();
      presented && vc->parentViewController() == nullptr) {
    collectControllers(presented, out);
  }
}

// Whether a navigation controller in the window is pushing or popping with
// animation: the platform ignores touches until it ends, so a second tap
// cannot act on a screen that is leaving or on the one beneath it.
bool navigationAnimating(const Window& window) {
  std::vector<std::shared_ptr<ViewController>> controllers;
  collectControllers(window.rootViewController(), controllers);
  return std::any_of(controllers.begin(), controllers.end(), [](const auto& vc) {
    const auto* nav = dynamic_cast<const NavigationController*>(vc.get());
    return nav && nav->isInAnimatedTransition();
  });
}

}  // namespace

// --- Touch dispatch ----------------------------------------------------------

class TouchDispatch {
 public:
  void began(Window& window, Point p) {
    reset();
    if (navigationAnimating(window)) return;
    window_ = &window;
    window.layoutIfNeeded();
    View* hit = window.hitTest(p);
    if (!hit) return;
    active_ = true;
    start_ = p;
    hit_ = hit->weak_from_this().lock();
    // The control nearest the hit view, if any.
    View* controlView = nullptr;
    for (View* v = hit; v; v = v->superview()) {
      if (auto* c = dynamic_cast<Control*>(v)) {
        control_ = std::static_pointer_cast<Control>(c->weak_from_this().lock());
        controlView = v;
        break;
      }
    }
    for (View* v = hit; v; v = v->superview()) {
      const bool aboveControl = controlView && v != controlView && controlView->isDescendantOf(*v);
      for (const auto& r : v->gestureRecognizers()) {
        if (!r->enabled) continue;
        if (aboveControl && !r->isPan()) continue;  // a control wins over its ancestors' taps
        r->state_ = GestureState::Possible;
        r->start_ = p;
        r->current_ = p;
        r->resetForTouch();
        recognizers_.push_back(r);
      }
    }
  }

  void moved(Point p) {
    if (!active_) return;
    for (auto& r : recognizers_) r->current_ = p;
    if (winner_) {
      if (winner_->isPan() &&
          (winner_->state_ == GestureState::Began || winner_->state_ == GestureState::Changed)) {
        winner_->state_ = GestureState::Changed;
        winner_->fire();
      }
      return;
    }
    if (distance(p, start_) <= kMoveThreshold) return;
    for (auto& r : recognizers_) {
      if (!r->isPan() && r->state_ == GestureState::Possible) r->state_ = GestureState::Failed;
    }
    for (auto& r : recognizers_) {
      if (!r->isPan() || r->state_ != GestureState::Possible) continue;
      if (!winner_) {
        winner_ = r;
        r->state_ = GestureState::Began;
        if (r->cancelsTouchesInView) cancelled_ = true;
        r->fire();
      } else {
        r->state_ = GestureState::Failed;
      }
    }
  }

  void ended(Point p) {
    if (!active_) return;
    // A transition that began during the touch takes it away.
    if (window_ && navigationAnimating(*window_)) {
      cancelled();
      return;
    }
    for (auto& r : recognizers_) r->current_ = p;
    if (winner_ && winner_->isPan()) {
      winner_->state_ = GestureState::Ended;
      winner_->fire();
    }
    for (auto& r : recognizers_) {
      if (r->isPan() && r->state_ == GestureState::Possible) r->state_ = GestureState::Failed;
    }
    if (!winner_) {
      for (auto& r : recognizers_) {
        if (r->isPan() || r->state_ != GestureState::Possible) continue;
        if (winner_ || !requirementsFailed(*r)) {
          r->state_ = GestureState::Failed;
          continue;
        }
        winner_ = r;
        r->state_ = GestureState::Ended;
        if (r->cancelsTouchesInView) cancelled_ = true;
        r->fire();
      }
    }
    if (!cancelled_) deliver(p);
    reset();
  }

  void cancelled() {
    if (!active_) return;
    for (auto& r : recognizers_) {
      if (r.get() == winner_.get() && r->isPan()) {
        r->state_ = GestureState::Cancelled;
        r->fire();
      } else if (r->state_ == GestureState::Possible) {
        r->state_ = GestureState::Failed;
      }
    }
    reset();
  }

 private:
  bool requirementsFailed(const GestureRecognizer& r) const {
    for (const auto& weak : r.mustFail_) {
      auto other = weak.lock();
      if (!other) continue;
      const bool watching =
          std::find(recognizers_.begin(), recognizers_.end(), other) != recognizers_.end();
      // One that does not watch this touch cannot recognise it.
      if (watching && other->state_ != GestureState::Failed) return false;
    }
    return true;
  }

  void deliver(Point p) {
    if (control_) {
      if (!control_->isEnabled()) return;
      const Point local = control_->convertFrom(p, nullptr);
      const Rect b = control_->bounds();
      const Rect slop{b.x() - kControlSlop, b.y() - kControlSlop, b.width() + 2 * kControlSlop,
                      b.height() + 2 * kControlSlop};
      if (control_->window() && slop.contains(local)) control_->handleUserTap();
      return;
    }
    for (View* v = hit_.get(); v; v = v->superview()) {
      if (auto* cell = dynamic_cast<TableViewCell*>(v)) {
        if (auto* table = dynamic_cast<TableView*>(cell->superview())) {
          table->userTapped(*cell);
          return;
        }
      }
      if (auto* cell = dynamic_cast<CollectionViewCell*>(v)) {
        if (auto* list = dynamic_cast<CollectionView*>(cell->superview())) {
          list->userTapped(*cell);
          return;
        }
      }
    }
  }

  void reset() {
    active_ = false;
    window_ = nullptr;
    cancelled_ = false;
    hit_.reset();
    control_.reset();
    winner_.reset();
    recognizers_.clear();
  }

  bool active_ = false;
  bool cancelled_ = false;
  const Window* window_ = nullptr;  // of the touch under way
  Point start_;
  std::shared_ptr<View> hit_;
  std::shared_ptr<Control> control_;
  std::shared_ptr<GestureRecognizer> winner_;
  std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
};

// --- PresentationContainer ---------------------------------------------------

PresentationContainer::PresentationContainer(ModalPresentationStyle style) : style_(style) {
  debugName = "presentation";
  if (style == ModalPresentationStyle::Automatic || style == ModalPresentationStyle::PageSheet ||
      style == ModalPresentationStyle::FormSheet) {
    dimming_ = std::make_shared<View>();
    dimming_->debugName = "dimming";
    dimming_->setBackgroundColor(Color::black().withAlpha(0.4));
    addSubview(dimming_);
  }
}

void PresentationContainer::layoutSubviews() {
  if (dimming_) dimming_->setFrame(bounds());
  auto vc = presented.lock();
  Window* w = window();
  if (!vc || !w || !vc->isViewLoaded()) return;
  vc->view().setFrame(w->presentedFrame(style_, bounds(), vc->preferredContentSize));
}

// --- Window ------------------------------------------------------------------

Window::Window(const DeviceProfile& profile)
    : device_(profile), touches_(std::make_unique<TouchDispatch>()) {
  setCurrentDevice(profile);
  setFrame(Rect{Point{0, 0}, profile.size()});
  setBackgroundColor(Color::black());
  windows().push_back(this);
}

Window::~Window() {
  std::erase(windows(), this);
  if (keyWindowSlot() == this) keyWindowSlot() = nullptr;
}

Window* Window::keyWindow() { return keyWindowSlot(); }

void Window::makeKeyAndVisible() {
  VELTRIX_UI_CHECK_MAIN();
  keyWindowSlot() = this;
  setCurrentDevice(device_);
  if (visible_) return;
  visible_ = true;
  if (root_) {
    root_->beginAppearanceTransition(true, false);
    root_->endAppearanceTransition();
  }
  layoutIfNeeded();
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  VELTRIX_UI_CHECK_MAIN();
  if (controller == root_) return;
  if (root_) {
    keepAlive(root_);
    if (visible_) root_->beginAppearanceTransition(false, false);
    if (root_->isViewLoaded()) root_->view().removeFromSuperview();
    if (visible_) root_->endAppearanceTransition();
  }
  root_ = std::move(controller);
  if (!root_) return;
  const ViewPtr& v = root_->viewPtr();
  v->setFrame(bounds());
  insertSubview(v, 0);
  if (visible_) {
    root_->beginAppearanceTransition(true, false);
    root_->endAppearanceTransition();
  }
  layoutIfNeeded();
}

ViewController* Window::topViewController() const {
  ViewController* vc = root_.get();
  if (!vc) return nullptr;
  for (int guard = 0; guard < 64; ++guard) {
    if (ViewController* p = vc->presentedViewController(); p && !p->isBeingDismissed()) {
      vc = p;
      continue;
    }
    if (auto* nav = dynamic_cast<NavigationController*>(vc); nav && nav->topViewController()) {
      vc = nav->topViewController();
      continue;
    }
    break;
  }
  return vc;
}

StatusBarStyle Window::statusBarStyle() const {
  ViewController* vc = root_.get();
  if (!vc) return StatusBarStyle::Default;
  // Sheets leave the presenter's top edge, and so its status bar, in view.
  for (int guard = 0; guard < 64; ++guard) {
    ViewController* p = vc->presentedViewController();
    if (!p || p->isBeingDismissed()) break;
    if (p->modalPresentationStyle != ModalPresentationStyle::FullScreen &&
        p->modalPresentationStyle != ModalPresentationStyle::OverFullScreen) {
      break;
    }
    vc = p;
  }
  return vc->preferredStatusBarStyle();
}

Rect Window::presentedFrame(ModalPresentationStyle style, const Rect& container,
                            Size preferred) const {
  const double w = container.width();
  const double h = container.height();
  switch (style) {
    case ModalPresentationStyle::FullScreen:
    case ModalPresentationStyle::OverFullScreen:
    case ModalPresentationStyle::OverCurrentContext:
      return Rect{Point{0, 0}, container.size};
    case ModalPresentationStyle::Automatic:
    case ModalPresentationStyle::PageSheet:
    case ModalPresentationStyle::FormSheet:
      break;
  }
  if (!device_.isPad()) {
    // A phone shows sheets from below the status bar; in landscape they fill
    // the screen.
    if (device_.landscape) return Rect{Point{0, 0}, container.size};
    const double top = device_.statusBarHeight() + 10;
    return Rect{0, top, w, std::max(0.0, h - top)};
  }
  Size size;
  if (style == ModalPresentationStyle::FormSheet) {
    size = (preferred.width > 0 && preferred.height > 0) ? preferred : Size{540, 620};
  } else {
    size = Size{704, h - device_.statusBarHeight() - 30};
  }
  size.width = std::min(size.width, w - 40);
  size.height = std::min(size.height, h - 40);
  return Rect{(w - size.width) / 2, (h - size.height) / 2, size.width, size.height};
}

void Window::rotate(bool landscape) {
  VELTRIX_UI_CHECK_MAIN();
  if (landscape == device_.landscape) return;
  const DeviceProfile next = device_.inOrientation(landscape);
  const Size size = next.size();
  const double duration = transitionDuration();
  TransitionCoordinator coordinator(size, duration);
  std::vector<std::shared_ptr<ViewController>> controllers;
  collectControllers(root_.get(), controllers);
  for (auto& vc : controllers) {
    keepAlive(vc);
    vc->viewWillTransitionToSize(size, coordinator);
  }
  device_ = next;
  if (isKeyWindow() || !keyWindow()) setCurrentDevice(next);
  setFrame(Rect{Point{0, 0}, size});
  setNeedsLayout();
  animate(duration, [&] {
    layoutIfNeeded();
    for (auto& block : coordinator.alongside_) block(coordinator);
    layoutIfNeeded();
  });
  later(duration, [completions = coordinator.completions_, coordinator]() mutable {
    for (auto& block : completions) block(coordinator);
  });
}

void Window::layoutSubviews() {
  if (root_ && root_->isViewLoaded()) root_->view().setFrame(bounds());
  for (const auto& sub : subviews()) {
    auto* container = dynamic_cast<PresentationContainer*>(sub.get());
    if (!container) continue;
    Rect frame = bounds();
    if (container->style() == ModalPresentationStyle::OverCurrentContext) {
      if (auto host = container->host.lock(); host && host->isViewLoaded()) {
        frame = host->view().convert(host->view().bounds(), nullptr);
      }
    }
    container->setFrame(frame);
    container->setNeedsLayout();
  }
}

void Window::touchBegan(Point p) { touches_->began(*this, p); }
void Window::touchMoved(Point p) { touches_->moved(p); }
void Window::touchEnded(Point p) { touches_->ended(p); }
void Window::touchCancelled() { touches_->cancelled(); }

namespace detail {

void layoutAllWindows() {
  auto list = windows();
  for (Window* w : list) {
    if (std::find(windows().begin(), windows().end(), w) != windows().end()) w->layoutIfNeeded();
  }
}

}  // namespace detail

void resetForTesting() {
  detail::resetRuntimeForTesting();
  detail::resetLayoutForTesting();
  keyWindowSlot() = nullptr;
  setCurrentDevice(DeviceProfile::phone());
}

}  // namespace veltrix::ui
