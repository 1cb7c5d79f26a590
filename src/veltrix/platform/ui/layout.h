// Auto Layout of the UI layer: anchors, constraints and the safe-area guide.
//
// A constraint says  first  (=, <=, >=)  multiplier x second + constant,
// between attributes of two views (or of a view's safe-area guide), or
// between one attribute and a constant. Constraints are solved by a small
// Cassowary-style solver during the layout pass (View::layoutIfNeeded):
// required ones (priority 1000) hold exactly, weaker ones as well as they
// can, lowest priority first to give way; a view's intrinsic size holds with
// its hugging (size <= intrinsic) and compression-resistance (size >=
// intrinsic) priorities. An unsatisfiable required constraint is broken and
// logged ("Unable to simultaneously satisfy constraints").
//
// Thread: the main loop only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {

class View;

enum class Attribute : std::int64_t {
  Left,
  Right,
  Top,
  Bottom,
  Leading,
  Trailing,
  Width,
  Height,
  CenterX,
  CenterY,
};

enum class Relation : std::int64_t { Equal, LessOrEqual, GreaterOrEqual };
enum class LayoutAxis : std::int64_t { Horizontal = 0, Vertical = 1 };

namespace priority {
inline constexpr double kRequired = 1000;
inline constexpr double kDefaultHigh = 750;
inline constexpr double kDefaultLow = 250;
inline constexpr double kFittingSize = 50;
}  // namespace priority

// One side of a constraint: a view, or the safe-area guide of a view.
struct LayoutItem {
  std::weak_ptr<View> view;
  bool safeArea = false;
};

class Constraint;
using ConstraintPtr = std::shared_ptr<Constraint>;

struct Multiplier {
  double value = 1;
};

// Anchors name an attribute of an item; the three kinds only combine with
// their own kind, as on the platform.
class AnchorBase {
 public:
  AnchorBase(LayoutItem item, Attribute attribute) : item_(std::move(item)), attr_(attribute) {}
  const LayoutItem& item() const { return item_; }
  Attribute attribute() const { return attr_; }

 protected:
  ConstraintPtr make(Relation relation, const AnchorBase* other, double multiplier,
                     double constant) const;

 private:
  LayoutItem item_;
  Attribute attr_;
};

class XAnchor : public AnchorBase {
 public:
  using AnchorBase::AnchorBase;
  ConstraintPtr constraintEqualTo(const XAnchor& other, double constant = 0) const {
    return make(Relation::Equal, &other, 1, constant);
  }
  ConstraintPtr constraintGreaterThanOrEqualTo(const XAnchor& other, double constant = 0) const {
    return make(Relation::GreaterOrEqual, &other, 1, constant);
  }
  ConstraintPtr constraintLessThanOrEqualTo(const XAnchor& other, double constant = 0) const {
    return make(Relation::LessOrEqual, &other, 1, constant);
  }
};

class YAnchor : public AnchorBase {
 public:
  using AnchorBase::AnchorBase;
  ConstraintPtr constraintEqualTo(const YAnchor& other, double constant = 0) const {
    return make(Relation::Equal, &other, 1, constant);
  }
  ConstraintPtr constraintGreaterThanOrEqualTo(const YAnchor& other, double constant = 0) const {
    return make(Relation::GreaterOrEqual, &other, 1, constant);
  }
  ConstraintPtr constraintLessThanOrEqualTo(const YAnchor& other, double constant = 0) const {
    return make(Relation::LessOrEqual, &other, 1, constant);
  }
};

class DimensionAnchor : public AnchorBase {
 public:
  using AnchorBase::AnchorBase;
  ConstraintPtr constraintEqualTo(const DimensionAnchor& other, double constant = 0) const {
    return make(Relation::Equal, &other, 1, constant);
  }
  ConstraintPtr constraintEqualTo(const DimensionAnchor& other, Multiplier m,
                                  double constant = 0) const {
    return make(Relation::Equal, &other, m.value, constant);
  }
  ConstraintPtr constraintGreaterThanOrEqualTo(const DimensionAnchor& other,
                                               double constant = 0) const {
    return make(Relation::GreaterOrEqual, &other, 1, constant);
  }
  ConstraintPtr constraintLessThanOrEqualTo(const DimensionAnchor& other,
                                            double constant = 0) const {
    return make(Relation::LessOrEqual, &other, 1, constant);
  }
  ConstraintPtr constraintLessThanOrEqualTo(const DimensionAnchor& other, Multiplier m,
                                            double constant = 0) const {
    return make(Relation::LessOrEqual, &other, m.value, constant);
  }
  ConstraintPtr constraintEqualToConstant(double constant) const {
    return make(Relation::Equal, nullptr, 1, constant);
  }
  ConstraintPtr constraintGreaterThanOrEqualToConstant(double constant) const {
    return make(Relation::GreaterOrEqual, nullptr, 1, constant);
  }
  ConstraintPtr constraintLessThanOrEqualToConstant(double constant) const {
    return make(Relation::LessOrEqual, nullptr, 1, constant);
  }
};

// One linear relation. Held by whoever made it (to change its constant
// later) and, while active, by the nearest common ancestor of its items.
class Constraint : public std::enable_shared_from_this<Constraint> {
 public:
  Constraint(LayoutItem first, Attribute firstAttr, Relation relation,
             std::optional<LayoutItem> second, Attribute secondAttr, double multiplier,
             double constant);
  Constraint(const Constraint&) = delete;
  Constraint& operator=(const Constraint&) = delete;

  double constant() const { return constant_; }
  // Takes effect at the next layout pass.
  void setConstant(double constant);
  double multiplier() const { return multiplier_; }
  double priority() const { return priority_; }
  // 1 to 1000; only before activation, as on the platform.
  void setPriority(double priority);
  Relation relation() const { return relation_; }
  bool isActive() const { return active_; }
  void setActive(bool active);
  std::string identifier;

  const LayoutItem& firstItem() const { return first_; }
  Attribute firstAttribute() const { return firstAttr_; }
  const std::optional<LayoutItem>& secondItem() const { return second_; }
  Attribute secondAttribute() const { return secondAttr_; }
  std::string describe() const;

 private:
  friend class View;
  friend class LayoutEngine;
  LayoutItem first_;
  Attribute firstAttr_;
  Relation relation_;
  std::optional<LayoutItem> second_;
  Attribute secondAttr_;
  double multiplier_;
  double constant_;
  double priority_ = priority::kRequired;
  bool active_ = false;
  View* installedOn_ = nullptr;
};

// Activates (or deactivates) every constraint of the list together.
void activate(const std::vector<ConstraintPtr>& constraints);
void deactivate(const std::vector<ConstraintPtr>& constraints);

// The safe-area guide of a view: the view's bounds less its safe-area
// insets.
class LayoutGuide {
 public:
  explicit LayoutGuide(View* owner) : owner_(owner) {}
  XAnchor leadingAnchor() const { return {item(), Attribute::Leading}; }
  XAnchor trailingAnchor() const { return {item(), Attribute::Trailing}; }
  XAnchor leftAnchor() const { return {item(), Attribute::Left}; }
  XAnchor rightAnchor() const { return {item(), Attribute::Right}; }
  XAnchor centerXAnchor() const { return {item(), Attribute::CenterX}; }
  YAnchor topAnchor() const { return {item(), Attribute::Top}; }
  YAnchor bottomAnchor() const { return {item(), Attribute::Bottom}; }
  YAnchor centerYAnchor() const { return {item(), Attribute::CenterY}; }
  DimensionAnchor widthAnchor() const { return {item(), Attribute::Width}; }
  DimensionAnchor heightAnchor() const { return {item(), Attribute::Height}; }
  // In the owner's coordinates.
  Rect layoutFrame() const;
  View* owningView() const { return owner_; }

 private:
  LayoutItem item() const;
  View* owner_;
};

// Internal: marks constraint state changed and schedules a layout pass.
namespace detail {
struct SolvedGroups;
void constraintsChanged();
std::uint64_t layoutGeneration();
void scheduleLayoutPass();
}  // namespace detail

}  // namespace veltrix::ui
