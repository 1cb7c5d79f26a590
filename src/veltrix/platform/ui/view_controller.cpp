#include "veltrix/platform/ui/view_controller.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui {
namespace {

// The navigation controller's own view: it places the bar and the children.
class NavigationRootView : public View {
 public:
  explicit NavigationRootView(NavigationController* owner) : owner(owner) {}
  void layoutSubviews() override {
    if (owner) owner->layoutChildren();
  }
  std::string typeName() const override { return "NavigationView"; }
  NavigationController* owner;
};

// The alert's own view: dims what is behind and centres the box.
class AlertView : public View {
 public:
  void layoutSubviews() override {
    if (box) box->setCenter(bounds().mid());
  }
  std::string typeName() const override { return "AlertView"; }
  std::shared_ptr<View> box;
};

}  // namespace

// --- TransitionCoordinator, items --------------------------------------------

void TransitionCoordinator::animateAlongsideTransition(Block alongside, Block completion) {
  if (alongside) alongside_.push_back(std::move(alongside));
  if (completion) completions_.push_back(std::move(completion));
}

BarButtonItem::BarButtonItem(ImagePtr image, std::function<void()> action)
    : image_(std::move(image)), action_(std::move(action)) {}

BarButtonItem::BarButtonItem(std::string title, std::function<void()> action)
    : title_(std::move(title)), action_(std::move(action)) {}

void BarButtonItem::setImage(ImagePtr image) {
  image_ = std::move(image);
  changed();
}

void BarButtonItem::setHidden(bool hidden) {
  hidden_ = hidden;
  changed();
}

void BarButtonItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  changed();
}

void BarButtonItem::trigger() {
  if (!enabled_ || !action_) return;
  auto action = action_;
  action();
}

void BarButtonItem::changed() {
  if (auto bar = std::dynamic_pointer_cast<NavigationBar>(bar_.lock())) bar->invalidateItems();
}

void NavigationItem::setTitle(std::optional<std::string> title) {
  title_ = std::move(title);
  changed();
}

void NavigationItem::setHidesBackButton(bool hides) {
  hidesBackButton_ = hides;
  changed();
}

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) {
  left_ = std::move(item);
  changed();
}

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) {
  right_ = std::move(item);
  changed();
}

void NavigationItem::changed() {
  if (auto bar = std::dynamic_pointer_cast<NavigationBar>(bar_.lock())) bar->invalidateItems();
}

// --- ViewController ----------------------------------------------------------

ViewController::ViewController() = default;

ViewController::~ViewController() {
  if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
  if (presented_ && presented_->presentationContainer_) {
    presented_->presentationContainer_->removeFromSuperview();
  }
}

View& ViewController::view() { return *viewPtr(); }

const ViewPtr& ViewController::viewPtr() {
  VELTRIX_UI_CHECK_MAIN();
  if (!view_) {
    loadView();
    if (!view_) setView(std::make_shared<View>(mainScreen().bounds));
    viewDidLoad();
  }
  return view_;
}

void ViewController::loadView() { setView(std::make_shared<View>(mainScreen().bounds)); }

void ViewController::setView(ViewPtr view) {
  if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
  view_ = std::move(view);
  if (view_) view_->controller_ = this;
}

void ViewController::setTitle(std::optional<std::string> title) {
  title_ = std::move(title);
  navigationItem_.changed();
}

NavigationController* ViewController::navigationController() const {
  for (ViewController* p = parent_; p; p = p->parent_) {
    if (auto* nav = dynamic_cast<NavigationController*>(p)) return nav;
  }
  return nullptr;
}

ViewController* ViewController::outermost() {
  ViewController* vc = this;
  while (vc->parent_) vc = vc->parent_;
  return vc;
}

ViewController* ViewController::presentedViewController() const {
  return const_cast<ViewController*>(this)->outermost()->presented_.get();
}

ViewController* ViewController::presentingViewController() const {
  return const_cast<ViewController*>(this)->outermost()->presenting_.lock().get();
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
  if (appearing) {
    if (appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared) return;
    view();
    appearance_ = Appearance::Appearing;
    appearanceAnimated_ = animated;
    viewWillAppear(animated);
  } else {
    if (appearance_ == Appearance::Disappearing || appearance_ == Appearance::Disappeared) return;
    appearance_ = Appearance::Disappearing;
    appearanceAnimated_ = animated;
    viewWillDisappear(animated);
  }
  for (ViewController* child : appearanceChildren()) {
    child->beginAppearanceTransition(appearing, animated);
  }
}

void ViewController::endAppearanceTransition() {
  if (appearance_ == Appearance::Appearing) {
    appearance_ = Appearance::Appeared;
    viewDidAppear(appearanceAnimated_);
  } else if (appearance_ == Appearance::Disappearing) {
    appearance_ = Appearance::Disappeared;
    viewDidDisappear(appearanceAnimated_);
  } else {
    return;
  }
  for (ViewController* child : appearanceChildren()) child->endAppearanceTransition();
}

void ViewController::present(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion) {
  VELTRIX_UI_CHECK_MAIN();
  if (!controller || controller.get() == this) return;
  ViewController* host = outermost();
  auto hostPtr = host->weak_from_this().lock();
  if (!hostPtr) return;
  if (host->presented_) {
    platform::logLine(fmt::format("Attempt to present {} on {} which is already presenting {}",
                                  controller->typeName(), host->typeName(),
                                  host->presented_->typeName()));
    return;
  }
  if (controller->parent_ || !controller->presenting_.expired()) {
    platform::logLine(fmt::format(
        "Application tried to present modally a view controller {} that is already presented",
        controller->typeName()));
    return;
  }
  Window* window = host->isViewLoaded() ? host->view_->window() : nullptr;
  if (!window) {
    platform::logLine(
        fmt::format("Attempt to present {} on {} whose view is not in the window hierarchy",
                    controller->typeName(), host->typeName()));
    return;
  }
  keepAlive(hostPtr);
  keepAlive(controller);

  auto style = controller->modalPresentationStyle;
  auto container = std::make_shared<PresentationContainer>(style);
  container->host = hostPtr;
  container->presented = controller;
  container->setFrame(style == ModalPresentationStyle::OverCurrentContext
                          ? host->view_->convert(host->view_->bounds(), nullptr)
                          : window->bounds());
  controller->presentationContainer_ = container;
  host->presented_ = controller;
  controller->presenting_ = hostPtr;
  controller->presentationSource_ = weak_from_this();

  const ViewPtr& presentedView = controller->viewPtr();  // viewDidLoad
  container->addSubview(presentedView);
  window->addSubview(container);
  container->layoutIfNeeded();

  const bool full = style == ModalPresentationStyle::FullScreen;
  controller->beingPresented_ = true;
  if (full) host->beginAppearanceTransition(false, animated);
  controller->beginAppearanceTransition(true, animated);
  later(animated ? transitionDuration() : 0,
        [hostPtr, controller, full, completion = std::move(completion)] {
          if (full) hostPtr->endAppearanceTransition();
          controller->endAppearanceTransition();
          controller->beingPresented_ = false;
          if (completion) completion();
        });
}

void ViewController::dismiss(bool animated, std::function<void()> completion) {
  VELTRIX_UI_CHECK_MAIN();
  ViewController* host = outermost();
  if (host->presented_) {
    host->presented_->dismissPresentation(animated, std::move(completion));
  } else if (!host->presenting_.expired()) {
    host->dismissPresentation(animated, std::move(completion));
  }
}

void ViewController::dismissPresentation(bool animated, std::function<void()> completion) {
  if (beingDismissed_) return;
  auto presenter = presenting_.lock();
  auto self = weak_from_this().lock();
  if (!presenter || !self) return;
  // Whatever this one presents goes first, at once.
  if (auto above = presented_) {
    above->dismissPresentation(false, {});
    above->finishPresentation(false);
  }
  beingDismissed_ = true;
  keepAlive(self);
  keepAlive(presenter);
  const bool full = modalPresentationStyle == ModalPresentationStyle::FullScreen;
  beginAppearanceTransition(false, animated);
  if (full) presenter->beginAppearanceTransition(true, animated);
  pendingDismissal_ = [self, presenter, full, completion = std::move(completion)] {
    if (auto container = self->presentationContainer_) {
      container->removeFromSuperview();
      self->presentationContainer_.reset();
    }
    if (presenter->presented_ == self) presenter->presented_.reset();
    self->presenting_.reset();
    self->endAppearanceTransition();
    if (full) presenter->endAppearanceTransition();
    self->beingDismissed_ = false;
    if (completion) completion();
  };
  later(animated ? transitionDuration() : 0, [self] { self->finishPresentation(false); });
}

void ViewController::finishPresentation(bool /*presenting*/) {
  if (!pendingDismissal_) return;
  auto finish = std::move(pendingDismissal_);
  pendingDismissal_ = nullptr;
  finish();
}

// --- NavigationController ----------------------------------------------------

NavigationBar::NavigationBar(NavigationController& owner) : owner_(owner) {
  setBackgroundColor(Color::white(0.97, 0.94));
  debugName = "navigationBar";
}

void NavigationBar::invalidateItems() {
  needsSync_ = true;
  setNeedsLayout();
}

void NavigationBar::layoutSubviews() {
  if (!needsSync_) return;
  needsSync_ = false;
  sync();
}

void NavigationBar::sync() {
  for (auto* b : {&back_, &left_, &right_}) {
    if (*b) (*b)->removeFromSuperview();
    b->reset();
  }
  if (title_) title_->removeFromSuperview();
  title_.reset();
  ViewController* top = owner_.topViewController();
  if (!top) return;
  NavigationItem& item = top->navigationItem();
  item.bar_ = weak_from_this();
  const double w = bounds().width();
  const double h = bounds().height();
  // The bar spans the screen; its items and title keep 8 points inside the
  // safe area's sides (a turned phone's sensor housing covers 47 a side).
  const Insets safe = safeAreaInsets();
  const double leftEdge = safe.left + 8;
  const double rightEdge = w - safe.right - 8;
  auto makeButton = [&](const std::shared_ptr<BarButtonItem>& it, const char* name) {
    it->bar_ = weak_from_this();
    if (it->isHidden()) return std::shared_ptr<Button>();
    auto b = std::make_shared<Button>(ButtonType::System);
    b->debugName = name;
    if (it->image()) b->setImage(it->image(), ControlState::Normal);
    if (it->title()) b->setTitle(*it->title(), ControlState::Normal);
    if (it->tintColor) b->setTintColor(*it->tintColor);
    b->setEnabled(it->isEnabled());
    std::weak_ptr<BarButtonItem> weak = it;
    b->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
      if (auto item = weak.lock()) item->trigger();
    });
    const Size s = b->intrinsicContentSize();
    b->setFrame(Rect{0, (h - 44) / 2, std::max(44.0, s.width + 16), 44});
    addSubview(b);
    return b;
  };
  if (item.leftBarButtonItem()) left_ = makeButton(item.leftBarButtonItem(), "left");
  if (!item.leftBarButtonItem() && owner_.viewControllers().size() > 1 && !item.hidesBackButton()) {
    back_ = std::make_shared<Button>(ButtonType::System);
    back_->debugName = "back";
    back_->setImage(Image::systemNamed("chevron.left"), ControlState::Normal);
    back_->setTitle("Back", ControlState::Normal);
    std::weak_ptr<ViewController> nav = owner_.weak_from_this();
    back_->addTarget(ControlEvent::TouchUpInside, [nav](Control&) {
      if (auto n = std::dynamic_pointer_cast<NavigationController>(nav.lock())) {
        n->popViewController(true);
      }
    });
    const Size s = back_->intrinsicContentSize();
    back_->setFrame(Rect{leftEdge, (h - 44) / 2, s.width + 16, 44});
    addSubview(back_);
  }
  if (left_) left_->setFrame(left_->frame().offset(leftEdge, 0));
  if (item.rightBarButtonItem()) {
    right_ = makeButton(item.rightBarButtonItem(), "right");
    if (right_) {
      const Rect f = right_->frame();
      right_->setFrame(Rect{rightEdge - f.width(), f.y(), f.width(), f.height()});
    }
  }
  title_ = std::make_shared<Label>();
  title_->debugName = "title";
  title_->setFont(Font::system(17, FontWeight::Semibold));
  title_->textAlignment = TextAlignment::Center;
  title_->setText(item.title().value_or(top->title().value_or("")));
  // Centred, as wide as the nearer item leaves on both sides; a title wider
  // than that takes the whole room between the items, off centre, before it
  // is cut (the small phone's back button leaves a centred title 120 points).
  double lo = leftEdge;
  double hi = rightEdge;
  for (const auto& b : {back_, left_}) {
    if (b) lo = std::max(lo, b->frame().maxX() + 8);
  }
  if (right_) hi = std::min(hi, right_->frame().minX() - 8);
  const double mid = (leftEdge + rightEdge) / 2;
  const double half = std::max(0.0, std::min(mid - lo, hi - mid));
  if (title_->intrinsicContentSize().width <= 2 * half) {
    title_->setFrame(Rect{mid - half, 0, 2 * half, h});
  } else {
    title_->setFrame(Rect{lo, 0, std::max(0.0, hi - lo), h});
  }
  addSubview(title_);
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root) {
  if (root) {
    root->parent_ = this;
    stack_.push_back(std::move(root));
  }
}

NavigationController::~NavigationController() {
  for (auto& child : stack_) {
    if (child->parent_ == this) child->parent_ = nullptr;
  }
  if (auto* root = dynamic_cast<NavigationRootView*>(view_.get())) root->owner = nullptr;
}

void NavigationController::loadView() {
  auto root = std::make_shared<NavigationRootView>(this);
  root->setFrame(mainScreen().bounds);
  container_ = std::make_shared<View>(Rect{Point{0, 0}, root->bounds().size});
  container_->debugName = "navigationContent";
  bar_ = std::make_shared<NavigationBar>(*this);
  root->addSubview(container_);
  root->addSubview(bar_);
  setView(root);
  if (!stack_.empty()) install(*stack_.back());
}

NavigationBar& NavigationController::navigationBar() {
  view();
  return *bar_;
}

void NavigationController::setNavigationBarHidden(bool hidden) {
  barHidden_ = hidden;
  if (view_) view_->setNeedsLayout();
}

void NavigationController::install(ViewController& child) {
  const ViewPtr& v = child.viewPtr();
  if (v->superview() != container_.get()) container_->addSubview(v);
  v->setFrame(container_->bounds());
  view_->setNeedsLayout();
}

void NavigationController::layoutChildren() {
  const Rect b = view_->bounds();
  container_->setFrame(Rect{Point{0, 0}, b.size});
  const double barHeight = currentDevice().navigationBarHeight;
  const double top = view_->safeAreaInsets().top - view_->additionalSafeAreaInsets().top;
  bar_->setFrame(Rect{0, top, b.width(), barHeight});
  bar_->setHidden(barHidden_);
  for (const auto& child : container_->subviews()) {
    child->setFrame(container_->bounds());
    child->setAdditionalSafeAreaInsets(Insets{barHidden_ ? 0 : barHeight, 0, 0, 0});
  }
}

void NavigationController::finishTransition() {
  if (!pendingFinish_) return;
  auto finish = std::move(pendingFinish_);
  pendingFinish_ = nullptr;
  finish();
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller,
                                              bool animated) {
  VELTRIX_UI_CHECK_MAIN();
  if (!controller || controller->parent_ || !controller->presenting_.expired() ||
      std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) {
    platform::logLine("Pushing the same view controller instance more than once is not supported");
    return;
  }
  finishTransition();
  std::shared_ptr<ViewController> old = stack_.empty() ? nullptr : stack_.back();
  controller->parent_ = this;
  stack_.push_back(controller);
  if (!isViewLoaded()) return;
  keepAlive(weak_from_this().lock());
  install(*controller);  // viewDidLoad of the new controller comes first
  bar_->invalidateItems();
  if (!isVisible()) {
    if (old && old->view_) old->view_->removeFromSuperview();
    return;
  }
  controller->movingToParent_ = true;
  if (old) old->beginAppearanceTransition(false, animated);
  controller->beginAppearanceTransition(true, animated);
  pendingFinish_ = [this, old, controller] {
    if (old && old->view_ && old->view_->superview() == container_.get()) {
      old->view_->removeFromSuperview();
    }
    if (old) old->endAppearanceTransition();
    controller->endAppearanceTransition();
    controller->movingToParent_ = false;
  };
  transitionAnimated_ = animated;
  const std::uint64_t id = ++transitionId_;
  std::weak_ptr<ViewController> weak = weak_from_this();
  later(animated ? transitionDuration() : 0, [weak, id] {
    auto self = std::static_pointer_cast<NavigationController>(weak.lock());
    if (self && self->transitionId_ == id) self->finishTransition();
  });
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
  VELTRIX_UI_CHECK_MAIN();
  if (stack_.size() < 2) return nullptr;
  finishTransition();
  std::shared_ptr<ViewController> old = stack_.back();
  keepAlive(old);
  keepAlive(weak_from_this().lock());
  // A presentation made by the leaving controller goes with it.
  ViewController* host = outermost();
  if (auto shown = host->presented_; shown && shown->presentationSource_.lock() == old) {
    shown->dismissPresentation(false, {});
    shown->finishPresentation(false);
  }
  stack_.pop_back();
  std::shared_ptr<ViewController> top = stack_.back();
  if (!isViewLoaded()) {
    old->parent_ = nullptr;
    return old;
  }
  install(*top);
  container_->sendSubviewToBack(*top->view_);
  bar_->invalidateItems();
  if (!isVisible()) {
    if (old->view_) old->view_->removeFromSuperview();
    old->parent_ = nullptr;
    return old;
  }
  old->movingFromParent_ = true;
  old->beginAppearanceTransition(false, animated);
  top->beginAppearanceTransition(true, animated);
  pendingFinish_ = [this, old, top] {
    if (old->view_ && old->view_->superview() == container_.get())
      old->view_->removeFromSuperview();
    old->endAppearanceTransition();
    old->movingFromParent_ = false;
    if (old->parent_ == this) old->parent_ = nullptr;
    top->endAppearanceTransition();
  };
  transitionAnimated_ = animated;
  const std::uint64_t id = ++transitionId_;
  std::weak_ptr<ViewController> weak = weak_from_this();
  later(animated ? transitionDuration() : 0, [weak, id] {
    auto self = std::static_pointer_cast<NavigationController>(weak.lock());
    if (self && self->transitionId_ == id) self->finishTransition();
  });
  return old;
}

void NavigationController::popToRootViewController(bool animated) {
  if (stack_.size() < 2) return;
  finishTransition();
  // The controllers between the root and the top leave without callbacks.
  while (stack_.size() > 2) {
    auto middle = stack_[stack_.size() - 2];
    keepAlive(middle);
    if (middle->view_ && middle->view_->superview() == container_.get()) {
      middle->view_->removeFromSuperview();
    }
    middle->parent_ = nullptr;
    stack_.erase(stack_.end() - 2);
  }
  popViewController(animated);
}

std::vector<ViewController*> NavigationController::appearanceChildren() const {
  if (stack_.empty()) return {};
  return {stack_.back().get()};
}

std::vector<ViewController*> NavigationController::childControllers() const {
  std::vector<ViewController*> out;
  for (const auto& c : stack_) out.push_back(c.get());
  return out;
}

// --- AlertController ---------------------------------------------------------

AlertController::AlertController(std::optional<std::string> title,
                                 std::optional<std::string> message)
    : alertTitle_(std::move(title)), message_(std::move(message)) {
  modalPresentationStyle = ModalPresentationStyle::OverFullScreen;
  modalTransitionStyle = ModalTransitionStyle::CrossDissolve;
}

void AlertController::addAction(AlertAction action) { actions_.push_back(std::move(action)); }

void AlertController::addTextField(const std::function<void(TextField&)>& configure) {
  auto field = std::make_shared<TextField>();
  field->borderStyle = TextBorderStyle::RoundedRect;
  field->font = Font::system(13);
  if (configure) configure(*field);
  textFields_.push_back(std::move(field));
}

Button* AlertController::buttonForAction(std::string_view title) {
  for (auto& b : buttons_) {
    if (b->currentTitle() == title) return b.get();
  }
  return nullptr;
}

void AlertController::loadView() {
  auto root = std::make_shared<AlertView>();
  root->setFrame(mainScreen().bounds);
  root->setBackgroundColor(Color::black().withAlpha(0.2));
  auto box = std::make_shared<View>();
  box->debugName = "alert";
  box->setBackgroundColor(Color::white(0.97));
  box->cornerRadius = 14;
  box->clipsToBounds = true;
  const double width = 270;
  const double inner = width - 32;
  double y = 20;
  auto addLabel = [&](const std::string& text, const Font& font, const char* name) {
    auto label = std::make_shared<Label>();
    label->debugName = name;
    label->setText(text);
    label->setFont(font);
    label->setNumberOfLines(0);
    label->textAlignment = TextAlignment::Center;
    const Size s = label->sizeThatFits(Size{inner, 0});
    label->setFrame(Rect{16, y, inner, s.height});
    box->addSubview(label);
    y += s.height + 4;
  };
  if (alertTitle_ && !alertTitle_->empty()) addLabel(*alertTitle_, Font::bold(17), "alertTitle");
  if (message_ && !message_->empty()) addLabel(*message_, Font::system(13), "alertMessage");
  for (auto& field : textFields_) {
    y += 8;
    field->setFrame(Rect{16, y, inner, 30});
    box->addSubview(field);
    y += 30;
  }
  y += 16;
  buttons_.clear();
  std::weak_ptr<ViewController> weak = weak_from_this();
  const bool sideBySide = actions_.size() == 2;
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    const AlertAction& action = actions_[i];
    auto button = std::make_shared<Button>(ButtonType::System);
    button->setTitle(action.title, ControlState::Normal);
    button->debugName = "action";
    button->titleLabel()->setFont(Font::system(
        17, action.style == AlertActionStyle::Cancel ? FontWeight::Semibold : FontWeight::Regular));
    if (action.style == AlertActionStyle::Destructive) {
      button->setTitleColor(Color::systemRed(), ControlState::Normal);
    }
    button->setEnabled(action.enabled);
    if (sideBySide) {
      button->setFrame(Rect{i == 0 ? 0 : width / 2, y, width / 2, 44});
    } else {
      button->setFrame(Rect{0, y + 44.0 * static_cast<double>(i), width, 44});
    }
    button->addTarget(ControlEvent::TouchUpInside, [weak, action](Control&) {
      auto self = weak.lock();
      if (!self) return;
      self->dismiss(true, [action] {
        if (action.handler) action.handler(action);
      });
    });
    box->addSubview(button);
    buttons_.push_back(button);
  }
  if (!actions_.empty())
    y += sideBySide ? 44 : 44.0 * static_cast<double>(actions_.size());
  else
    y += 4;
  box->setFrame(Rect{0, 0, width, y});
  root->addSubview(box);
  root->box = box;
  setView(root);
}

// --- TableViewController -----------------------------------------------------

TableViewController::TableViewController(TableViewStyle style) : style_(style) {}

TableView& TableViewController::tableView() {
  view();
  return *table_;
}

void TableViewController::loadView() {
  table_ = std::make_shared<TableView>(mainScreen().bounds, style_);
  setView(table_);
  if (auto self = std::dynamic_pointer_cast<TableViewController>(weak_from_this().lock())) {
    table_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
    table_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
  }
}

}  // namespace veltrix::ui
