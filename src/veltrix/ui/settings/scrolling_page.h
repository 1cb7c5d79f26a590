// A settings screen's content in a page that scrolls when the screen is too
// short for it (a phone turned sideways, the small phone).
//
// The page fills the screen's safe area; its content view is as wide as the
// page and as tall as the page, or as tall as the content's own constraints
// need when that is more, and then the page scrolls it. Screens lay their
// views out inside `content()` as they would inside the safe area, and end
// their lowest view's chain at the content's bottom.
//
// Thread: the main loop. The screen's view owns the page, the page its
// content view.
#pragma once

#include <memory>

#include "veltrix/platform/ui/layout.h"
#include "veltrix/platform/ui/scroll_view.h"

namespace veltrix::ui::settings {

class ScrollingPage final : public ScrollView {
 public:
  // Adds a page to `screen` over its safe area.
  static std::shared_ptr<ScrollingPage> install(View& screen);

  View& content() { return *content_; }

  void layoutSubviews() override;
  std::string typeName() const override { return "ScrollingPage"; }

 private:
  std::shared_ptr<View> content_;
  // Keeps the content's top at the top of the scrolled area: constraints
  // between a scroll view and its subviews see the visible area (the
  // bounds moved by the offset), so the constant undoes the offset.
  ConstraintPtr contentTop_;
};

}  // namespace veltrix::ui::settings
