// The view tree of the UI layer: our stand-in for the platform's views.
//
// A view has a frame in its superview's coordinates (derived from its centre,
// its bounds and a scale transform about the centre), appearance properties
// that the renderer draws, subviews in back-to-front order, gesture
// recognisers, extra layers, and Auto Layout anchors. Views are always owned
// through std::shared_ptr (make them with std::make_shared): a superview owns
// its subviews; a view knows its superview without owning it.
//
// Thread: the main loop only. Non-copyable: a view's identity matters.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/animation_state.h"
#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/layout.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

class GestureRecognizer;
class Layer;
class View;
class ViewController;
class Window;

using ViewPtr = std::shared_ptr<View>;

// Corners of a view's rounded outline (`maskedCorners`).
namespace corner {
inline constexpr unsigned kTopLeft = 1;
inline constexpr unsigned kTopRight = 2;
inline constexpr unsigned kBottomLeft = 4;
inline constexpr unsigned kBottomRight = 8;
inline constexpr unsigned kAll = 15;
}  // namespace corner

// "No intrinsic size" on an axis.
inline constexpr double kNoIntrinsicMetric = -1;

// A layer placed on a view: drawn on top of the view's subviews, directly
// below one of them, or below them all (`bottom`).
struct SublayerSlot {
  std::shared_ptr<Layer> layer;
  std::weak_ptr<View> below;
  bool bottom = false;
};

class View : public std::enable_shared_from_this<View> {
 public:
  View();
  explicit View(const Rect& frame);
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // --- Geometry ---------------------------------------------------------
  // The frame is the transformed outline in the superview's coordinates.
  Rect frame() const;
  void setFrame(const Rect& frame);
  // The bounds: own coordinate space; the origin is the scroll offset.
  Rect bounds() const { return bounds_; }
  void setBounds(const Rect& bounds);
  Point center() const { return center_; }
  void setCenter(Point center);
  const Transform& transform() const { return transform_; }
  void setTransform(const Transform& transform);

  // --- Appearance -------------------------------------------------------
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  const Color& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const Color& color);
  // The view's own tint, or its superview's, or system blue.
  Color tintColor() const;
  void setTintColor(std::optional<Color> color);

  // Layer properties (the platform keeps them on the view's layer).
  double cornerRadius = 0;
  unsigned maskedCorners = corner::kAll;
  double borderWidth = 0;
  Color borderColor = Color::black();
  // Fill of the layer, drawn under the background colour.
  Color layerBackgroundColor = Color::clear();
  // clipsToBounds and the layer's masksToBounds are one flag.
  bool clipsToBounds = false;
  bool userInteractionEnabled = true;
  std::int64_t tag = 0;
  // A name for tests and tree dumps; the screens may leave it empty.
  std::string debugName;

  // --- Hierarchy ----------------------------------------------------------
  View* superview() const { return superview_; }
  const std::vector<ViewPtr>& subviews() const { return subviews_; }
  // Adds on top; a view that has another superview leaves it first.
  void addSubview(ViewPtr view);
  void insertSubview(ViewPtr view, std::size_t index);
  void insertSubviewBelow(ViewPtr view, const View& sibling);
  void insertSubviewAbove(ViewPtr view, const View& sibling);
  void bringSubviewToFront(const View& view);
  void sendSubviewToBack(const View& view);
  // Leaves the superview; constraints between this subtree and views
  // outside it are deactivated, as on the platform.
  void removeFromSuperview();
  bool isDescendantOf(const View& ancestor) const;
  // The window at the root of this view's tree, if any.
  Window* window() const;
  // The root of this view's tree (the window, or the top of a detached tree).
  View& root();
  // This view or the first descendant (depth first) with `tag`.
  View* viewWithTag(std::int64_t tag);

  // --- Coordinates -------------------------------------------------------
  // Converts `p` from this view's coordinates to `to`'s; nullptr means the
  // coordinates of the root of the tree (the window).
  Point convert(Point p, const View* to) const;
  Point convertFrom(Point p, const View* from) const;
  Rect convert(const Rect& r, const View* to) const;

  // --- Hit testing ---------------------------------------------------------
  // The deepest view that takes a touch at `p` (own coordinates): views that
  // are hidden, nearly transparent (alpha < 0.01) or have interaction off
  // take no part, nor do points outside a view's bounds; subviews are tried
  // front to back.
  virtual View* hitTest(Point p);
  virtual bool pointInside(Point p) const;

  // --- Safe area ---------------------------------------------------------
  // The window's safe area (status bar, home indicator, navigation bar)
  // where it overlaps this view, plus insets a container added.
  Insets safeAreaInsets() const;
  LayoutGuide& safeAreaLayoutGuide() { return safeAreaGuide_; }
  // Set by containers (the navigation controller adds its bar).
  const Insets& additionalSafeAreaInsets() const { return additionalSafeArea_; }
  void setAdditionalSafeAreaInsets(const Insets& insets);

  // --- Auto Layout -------------------------------------------------------
  // True (the default): the frame is set by hand and constraints read it.
  // False: constraints set the frame.
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates);

  XAnchor leadingAnchor() { return {anchorItem(), Attribute::Leading}; }
  XAnchor trailingAnchor() { return {anchorItem(), Attribute::Trailing}; }
  XAnchor leftAnchor() { return {anchorItem(), Attribute::Left}; }
  XAnchor rightAnchor() { return {anchorItem(), Attribute::Right}; }
  XAnchor centerXAnchor() { return {anchorItem(), Attribute::CenterX}; }
  YAnchor topAnchor() { return {anchorItem(), Attribute::Top}; }
  YAnchor bottomAnchor() { return {anchorItem(), Attribute::Bottom}; }
  YAnchor centerYAnchor() { return {anchorItem(), Attribute::CenterY}; }
  DimensionAnchor widthAnchor() { return {anchorItem(), Attribute::Width}; }
  DimensionAnchor heightAnchor() { return {anchorItem(), Attribute::Height}; }

  // Active constraints installed on this view (the nearest common ancestor
  // of their items).
  const std::vector<std::shared_ptr<Constraint>>& constraints() const { return constraints_; }

  // Natural size of the content; kNoIntrinsicMetric on an axis without one.
  virtual Size intrinsicContentSize() const;
  // The same for a given width (multi-line labels wrap to it).
  virtual Size intrinsicContentSizeForWidth(double width) const;
  // Wraps to the width the layout gives it (multi-line labels): layout then
  // measures it a second time.
  virtual bool wrapsToWidth() const { return false; }
  void invalidateIntrinsicContentSize();
  double contentHuggingPriority(LayoutAxis axis) const;
  void setContentHuggingPriority(double priority, LayoutAxis axis);
  double contentCompressionResistancePriority(LayoutAxis axis) const;
  void setContentCompressionResistancePriority(double priority, LayoutAxis axis);

  // --- Layout pass -------------------------------------------------------
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Runs the layout pass of this view's whole tree now when anything in it
  // is pending: constraints are solved, then layoutSubviews() runs top down
  // for every view that needs it.
  void layoutIfNeeded();
  // Places subviews that constraints do not place (controls, lists).
  virtual void layoutSubviews() {}

  // --- Gestures ------------------------------------------------------------
  void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
  void removeGestureRecognizer(const GestureRecognizer& recognizer);
  void removeAllGestureRecognizers();
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }

  // --- Layers --------------------------------------------------------------
  void addSublayer(std::shared_ptr<Layer> layer);
  void insertSublayerBelow(std::shared_ptr<Layer> layer, const View& subview);
  // The lowest sublayer (the platform's index 0): under every subview,
  // including those added later.
  void insertSublayerAtBottom(std::shared_ptr<Layer> layer);
  void removeSublayer(const Layer& layer);
  const std::vector<SublayerSlot>& sublayers() const { return sublayers_; }

  // --- Animation -----------------------------------------------------------
  // Running animations of this view's properties; the model values above
  // are already final, the renderer reads presentation values from these.
  const std::vector<PropertyAnimation>& animations() const { return animations_; }

  // --- Controller ----------------------------------------------------------
  // The controller whose root view this is.
  ViewController* viewController() const { return controller_; }

  // --- Tests and debugging -----------------------------------------------
  virtual std::string typeName() const { return "View"; }
  // One line: type, name, frame and the state a test reads.
  virtual std::string describe() const;
  // The subtree, one view per line, indented by depth.
  std::string dumpTree() const;
  // Visible when neither it nor an ancestor is hidden or transparent.
  bool isVisibleInTree() const;
  // Depth-first search of this subtree (this view included).
  template <typename T>
  T* findDescendant(const std::function<bool(const T&)>& pred = {}) {
    T* found = nullptr;
    visit([&](View& v) {
      if (found) return false;
      if (auto* t = dynamic_cast<T*>(&v); t && (!pred || pred(*t))) {
        found = t;
        return false;
      }
      return true;
    });
    return found;
  }
  template <typename T>
  std::vector<T*> findAll(const std::function<bool(const T&)>& pred = {}) {
    std::vector<T*> out;
    visit([&](View& v) {
      if (auto* t = dynamic_cast<T*>(&v); t && (!pred || pred(*t))) out.push_back(t);
      return true;
    });
    return out;
  }
  // Calls `f` on this view and its descendants, depth first; `f` returns
  // false to skip a view's subviews.
  void visit(const std::function<bool(View&)>& f);

 protected:
  // Called when the bounds size changed (after the change).
  virtual void boundsSizeChanged() {}
  virtual void didMoveToSuperview() {}

 private:
  friend class Constraint;
  friend class ViewController;
  friend class LayoutEngine;
  friend struct AnimationRecorder;

  LayoutItem anchorItem() { return {weak_from_this(), false}; }
  void detachFromSuperview();
  void geometryChanged(bool sizeChanged);
  void recordAnimation(int property, const std::vector<double>& from,
                       const std::vector<double>& to);

  Point center_;
  Rect bounds_;
  Transform transform_;
  bool hidden_ = false;
  double alpha_ = 1;
  Color backgroundColor_ = Color::clear();
  std::optional<Color> tintColor_;

  View* superview_ = nullptr;
  std::vector<ViewPtr> subviews_;
  ViewController* controller_ = nullptr;

  bool translatesMask_ = true;
  bool needsLayout_ = true;
  double hugging_[2] = {250, 250};
  double compression_[2] = {750, 750};
  Insets additionalSafeArea_;
  LayoutGuide safeAreaGuide_;
  std::vector<std::shared_ptr<Constraint>> constraints_;
  std::uint64_t solvedGeneration_ = 0;
  // On a tree's root: what its last layout pass solved, group by group.
  std::shared_ptr<detail::SolvedGroups> solvedGroups_;

  std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
  std::vector<SublayerSlot> sublayers_;
  std::vector<PropertyAnimation> animations_;
};

}  // namespace veltrix::ui
