#include "veltrix/ui/settings/scrolling_page.h"

#include <algorithm>

namespace veltrix::ui::settings {

std::shared_ptr<ScrollingPage> ScrollingPage::install(View& screen) {
  auto page = std::make_shared<ScrollingPage>();
  page->setTranslatesAutoresizingMaskIntoConstraints(false);
  page->setBackgroundColor(Color::clear());
  page->showsHorizontalScrollIndicator = false;
  page->content_ = std::make_shared<View>();
  page->content_->setTranslatesAutoresizingMaskIntoConstraints(false);
  page->addSubview(page->content_);
  screen.addSubview(page);

  View& content = *page->content_;
  LayoutGuide& safe = screen.safeAreaLayoutGuide();
  page->contentTop_ = content.topAnchor().constraintEqualTo(page->topAnchor());
  // As tall as the page unless the content needs more.
  ConstraintPtr fill = content.heightAnchor().constraintEqualTo(page->heightAnchor());
  fill->setPriority(priority::kDefaultLow);
  activate({
      page->topAnchor().constraintEqualTo(safe.topAnchor()),
      page->bottomAnchor().constraintEqualTo(safe.bottomAnchor()),
      page->leadingAnchor().constraintEqualTo(safe.leadingAnchor()),
      page->trailingAnchor().constraintEqualTo(safe.trailingAnchor()),
      page->contentTop_,
      content.leadingAnchor().constraintEqualTo(page->leadingAnchor()),
      content.widthAnchor().constraintEqualTo(page->widthAnchor()),
      content.heightAnchor().constraintGreaterThanOrEqualTo(page->heightAnchor()),
      fill,
  });
  return page;
}

void ScrollingPage::layoutSubviews() {
  ScrollView::layoutSubviews();
  setContentSize(content_->bounds().size);
  // A turn can leave the offset past the end of shorter content.
  const Point offset = contentOffset();
  const Point max = maxContentOffset();
  const Point clamped{std::min(offset.x, max.x), std::min(offset.y, max.y)};
  if (clamped != offset) setContentOffset(clamped);
  if (contentTop_->constant() != -contentOffset().y) contentTop_->setConstant(-contentOffset().y);
}

}  // namespace veltrix::ui::settings
