// Scroll views and the index paths of lists.
//
// The content offset is the origin of the bounds, as on the platform. A drag
// on a scroll view (its own pan recogniser) moves the content and takes the
// touch from the views under it, so a drag across a list selects nothing.
//
// Thread: the main loop only.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

struct IndexPath {
  std::int64_t section = 0;
  std::int64_t item = 0;  // the row of a table

  std::int64_t row() const { return item; }
  static IndexPath forRow(std::int64_t row, std::int64_t section = 0) { return {section, row}; }
  static IndexPath forItem(std::int64_t item, std::int64_t section = 0) { return {section, item}; }
  friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

std::string toString(const IndexPath& ip);

// A user's tap on `tapped` applied to the selection of a table or collection:
// in a multiple selection a selected item is toggled off; otherwise every
// other item is deselected and `tapped` selected. `deselect` and `select`
// change the view and tell its delegate.
template <typename Deselect, typename Select>
void applyTapToSelection(const std::set<IndexPath>& selected, const IndexPath& tapped,
                         bool multiple, Deselect deselect, Select select) {
  if (multiple && selected.count(tapped)) {
    deselect(tapped);
    return;
  }
  if (!multiple) {
    const std::set<IndexPath> previous = selected;  // deselect() changes `selected`
    for (const IndexPath& p : previous) {
      if (p != tapped) deselect(p);
    }
  }
  select(tapped);
}

class ScrollView : public View {
 public:
  ScrollView();
  explicit ScrollView(const Rect& frame);

  Point contentOffset() const { return bounds().origin; }
  void setContentOffset(Point offset, bool animated = false);
  Size contentSize() const { return contentSize_; }
  void setContentSize(Size size);
  Insets contentInset;
  // The largest offset the content allows (the smallest is minus the inset).
  Point maxContentOffset() const;

  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled);
  bool bounces = true;
  bool showsVerticalScrollIndicator = true;
  bool showsHorizontalScrollIndicator = true;

  // Moves the content by `delta` as a user's drag would, within its limits.
  void scrollBy(Point delta);
  const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

  std::string typeName() const override { return "ScrollView"; }

 private:
  Point clamp(Point offset) const;
  void setup();

  Size contentSize_;
  bool scrollEnabled_ = true;
  Point dragStartOffset_;
  std::shared_ptr<PanGestureRecognizer> pan_;
};

}  // namespace veltrix::ui
