// View controllers of the UI layer: lazy views, appearance callbacks in the
// platform's order, navigation, modal presentation, alerts and table view
// controllers.
//
// Appearance:
// - push: new.viewDidLoad (when not loaded), old.viewWillDisappear,
//   new.viewWillAppear, then when the transition ends old.viewDidDisappear,
//   new.viewDidAppear;
// - pop: the same with the roles swapped; the leaving controller reads
//   isMovingFromParentViewController() true in its disappear callbacks;
// - present: presented.viewDidLoad, [presenter.viewWillDisappear],
//   presented.viewWillAppear, then [presenter.viewDidDisappear],
//   presented.viewDidAppear, completion; the presenter's callbacks come only
//   for the full-screen style (form and page sheets, over-current-context,
//   over-full-screen and alerts leave the presenter in view);
// - dismiss: the reverse.
// Animated transitions end after transitionDuration() of clock time, others
// on the next loop turn. Presentations belong to the outermost container of
// the presenting controller (its navigation controller, say); presenting
// while that one already presents something is refused with a log line.
// Dismissing a controller that presents nothing dismisses the presentation
// it belongs to; when neither exists it does nothing.
//
// Ownership: a navigation controller owns its stack, a presenter its
// presented controller, a window its root; controllers hold their parent and
// presenter weakly. Everything a transition or a callback touches is kept
// alive until the current main-loop task ends.
//
// Thread: the main loop only. Controllers are owned through std::shared_ptr.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/table_view.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

class NavigationController;
class Window;

enum class ModalPresentationStyle : std::int64_t {
  Automatic,  // a page sheet, as on the platform
  FullScreen,
  PageSheet,
  FormSheet,
  OverCurrentContext,
  OverFullScreen,
};
enum class ModalTransitionStyle : std::int64_t { CoverVertical, CrossDissolve };
// The status bar's look: dark text (the default) or light text for dark
// screens.
enum class StatusBarStyle : std::int64_t { Default, LightContent, DarkContent };

// Handed to viewWillTransitionToSize: blocks to run with the size change's
// animation and after it.
class TransitionCoordinator {
 public:
  using Block = std::function<void(TransitionCoordinator&)>;
  TransitionCoordinator(Size size, double duration) : size_(size), duration_(duration) {}

  void animateAlongsideTransition(Block alongside, Block completion = {});
  Size targetSize() const { return size_; }
  double transitionDuration() const { return duration_; }

 private:
  friend class Window;
  Size size_;
  double duration_;
  std::vector<Block> alongside_;
  std::vector<Block> completions_;
};

// An item of a navigation bar: an image or a title, and an action.
class BarButtonItem {
 public:
  BarButtonItem(ImagePtr image, std::function<void()> action);
  BarButtonItem(std::string title, std::function<void()> action);

  const ImagePtr& image() const { return image_; }
  const std::optional<std::string>& title() const { return title_; }
  void setImage(ImagePtr image);
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  std::optional<Color> tintColor;
  // Runs the action (the bar's button calls it).
  void trigger();

 private:
  friend class NavigationBar;
  void changed();
  ImagePtr image_;
  std::optional<std::string> title_;
  std::function<void()> action_;
  bool hidden_ = false;
  bool enabled_ = true;
  std::weak_ptr<View> bar_;
};

class NavigationItem {
 public:
  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title);
  bool hidesBackButton() const { return hidesBackButton_; }
  void setHidesBackButton(bool hides);
  const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return left_; }
  void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item);
  const std::shared_ptr<BarButtonItem>& rightBarButtonItem() const { return right_; }
  void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item);

 private:
  friend class NavigationBar;
  friend class ViewController;
  void changed();
  std::optional<std::string> title_;
  bool hidesBackButton_ = false;
  std::shared_ptr<BarButtonItem> left_;
  std::shared_ptr<BarButtonItem> right_;
  std::weak_ptr<View> bar_;
};

class ViewController : public std::enable_shared_from_this<ViewController> {
 public:
  ViewController();
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // Loads the view on first use (loadView, then viewDidLoad); never in the
  // constructor, so properties set between construction and showing count.
  View& view();
  const ViewPtr& viewPtr();
  bool isViewLoaded() const { return view_ != nullptr; }

  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool /*animated*/) {}
  virtual void viewDidAppear(bool /*animated*/) {}
  virtual void viewWillDisappear(bool /*animated*/) {}
  virtual void viewDidDisappear(bool /*animated*/) {}
  virtual void viewWillLayoutSubviews() {}
  virtual void viewDidLayoutSubviews() {}
  virtual void viewWillTransitionToSize(Size /*size*/, TransitionCoordinator& /*coordinator*/) {}
  // How the status bar looks over this controller's view when it covers the
  // screen (Window::statusBarStyle).
  virtual StatusBarStyle preferredStatusBarStyle() const { return StatusBarStyle::Default; }

  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title);
  NavigationItem& navigationItem() { return navigationItem_; }

  // The navigation controller whose stack holds this controller (directly or
  // through a parent).
  NavigationController* navigationController() const;
  ViewController* parentViewController() const { return parent_; }
  bool isMovingFromParentViewController() const { return movingFromParent_; }
  bool isMovingToParentViewController() const { return movingToParent_; }
  bool isBeingPresented() const { return beingPresented_; }
  bool isBeingDismissed() const { return beingDismissed_; }
  // On screen: appearing or appeared.
  bool isVisible() const {
    return appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing;
  }

  void present(std::shared_ptr<ViewController> controller, bool animated,
               std::function<void()> completion = {});
  void dismiss(bool animated, std::function<void()> completion = {});
  // What this controller's presentation context presents, or nullptr.
  ViewController* presentedViewController() const;
  // Who presented this controller (or its outermost container), or nullptr.
  ViewController* presentingViewController() const;

  ModalPresentationStyle modalPresentationStyle = ModalPresentationStyle::Automatic;
  ModalTransitionStyle modalTransitionStyle = ModalTransitionStyle::CoverVertical;
  Size preferredContentSize;

  // Class name for logs.
  virtual std::string typeName() const { return "ViewController"; }

  template <typename T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(weak_from_this().lock());
  }

  // Appearance transitions, as containers drive them.
  void beginAppearanceTransition(bool appearing, bool animated);
  void endAppearanceTransition();
  // Controllers inside this one that appear and disappear with it.
  virtual std::vector<ViewController*> appearanceChildren() const { return {}; }
  // Every child controller (for rotation).
  virtual std::vector<ViewController*> childControllers() const { return {}; }

 protected:
  void setView(ViewPtr view);

 private:
  friend class NavigationController;
  friend class Window;
  enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

  ViewController* outermost();
  // Runs the pending end of a dismissal now.
  void finishPresentation(bool presenting);
  void dismissPresentation(bool animated, std::function<void()> completion);

  ViewPtr view_;
  std::optional<std::string> title_;
  NavigationItem navigationItem_;
  ViewController* parent_ = nullptr;
  Appearance appearance_ = Appearance::Disappeared;
  bool appearanceAnimated_ = false;
  bool movingFromParent_ = false;
  bool movingToParent_ = false;
  bool beingPresented_ = false;
  bool beingDismissed_ = false;

  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
  std::weak_ptr<ViewController> presentationSource_;
  std::shared_ptr<View> presentationContainer_;
  std::function<void()> pendingDismissal_;
};

// The navigation bar of a navigation controller: back button, left and
// right items and the title, rebuilt from the top controller's item.
class NavigationBar : public View {
 public:
  explicit NavigationBar(NavigationController& owner);

  const std::shared_ptr<Button>& backButton() const { return back_; }
  const std::shared_ptr<Button>& leftButton() const { return left_; }
  const std::shared_ptr<Button>& rightButton() const { return right_; }
  const std::shared_ptr<Label>& titleLabel() const { return title_; }
  // The items changed: rebuild at the next layout pass.
  void invalidateItems();

  void layoutSubviews() override;
  std::string typeName() const override { return "NavigationBar"; }

 protected:
  void boundsSizeChanged() override { needsSync_ = true; }

 private:
  void sync();
  NavigationController& owner_;
  bool needsSync_ = true;
  std::shared_ptr<Button> back_;
  std::shared_ptr<Button> left_;
  std::shared_ptr<Button> right_;
  std::shared_ptr<Label> title_;
};

class NavigationController : public ViewController {
 public:
  explicit NavigationController(std::shared_ptr<ViewController> root = nullptr);
  ~NavigationController() override;

  void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
  // Returns the controller popped, or nullptr when only the root is left.
  std::shared_ptr<ViewController> popViewController(bool animated);
  void popToRootViewController(bool animated);
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
  ViewController* topViewController() const {
    return stack_.empty() ? nullptr : stack_.back().get();
  }

  // A push or pop is animating. The platform takes no touches meanwhile.
  bool isInAnimatedTransition() const { return pendingFinish_ && transitionAnimated_; }

  bool isNavigationBarHidden() const { return barHidden_; }
  void setNavigationBarHidden(bool hidden);
  NavigationBar& navigationBar();

  void loadView() override;
  std::vector<ViewController*> appearanceChildren() const override;
  std::vector<ViewController*> childControllers() const override;
  std::string typeName() const override { return "NavigationController"; }
  // Places the bar and the children's views (its view's layout pass).
  void layoutChildren();

 private:
  friend class NavigationBar;
  void install(ViewController& child);
  void finishTransition();

  std::vector<std::shared_ptr<ViewController>> stack_;
  std::shared_ptr<View> container_;
  std::shared_ptr<NavigationBar> bar_;
  bool barHidden_ = false;
  std::function<void()> pendingFinish_;
  bool transitionAnimated_ = false;
  std::uint64_t transitionId_ = 0;
};

enum class AlertActionStyle : std::int64_t { Default, Cancel, Destructive };

struct AlertAction {
  std::string title;
  AlertActionStyle style = AlertActionStyle::Default;
  std::function<void(const AlertAction&)> handler;
  bool enabled = true;
};

// An alert: an optional title and message, text fields and actions; with no
// action it stays until the program dismisses it. Tapping an action
// dismisses the alert and then runs the action's handler.
class AlertController : public ViewController {
 public:
  AlertController(std::optional<std::string> title, std::optional<std::string> message);

  const std::optional<std::string>& alertTitle() const { return alertTitle_; }
  const std::optional<std::string>& message() const { return message_; }
  void addAction(AlertAction action);
  const std::vector<AlertAction>& actions() const { return actions_; }
  void addTextField(const std::function<void(TextField&)>& configure = {});
  const std::vector<std::shared_ptr<TextField>>& textFields() const { return textFields_; }
  // The button of an action (after the view loaded), or nullptr.
  Button* buttonForAction(std::string_view title);

  void loadView() override;
  std::string typeName() const override { return "AlertController"; }

 private:
  std::optional<std::string> alertTitle_;
  std::optional<std::string> message_;
  std::vector<AlertAction> actions_;
  std::vector<std::shared_ptr<TextField>> textFields_;
  std::vector<std::shared_ptr<Button>> buttons_;
};

// A controller whose view is a table, with itself as the table's data source
// and delegate.
class TableViewController : public ViewController,
                            public TableViewDataSource,
                            public TableViewDelegate {
 public:
  explicit TableViewController(TableViewStyle style = TableViewStyle::Plain);

  TableView& tableView();
  void loadView() override;
  std::int64_t numberOfRows(TableView&, std::int64_t) override { return 0; }
  std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath) override { return nullptr; }
  std::string typeName() const override { return "TableViewController"; }

 private:
  TableViewStyle style_;
  std::shared_ptr<TableView> table_;
};

}  // namespace veltrix::ui
