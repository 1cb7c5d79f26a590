#include "gallery/demo.h"

#include <algorithm>

#include "veltrix/platform/ui/device.h"

namespace veltrix::gallery::demo {

namespace {
constexpr double kMargin = 16;
constexpr double kCaption = 26;
constexpr double kGap = 14;
}  // namespace

ui::Color backdrop() { return ui::Color::rgb255(243, 246, 249); }

Composition::Composition(std::string title, Build build) : build_(std::move(build)) {
  setTitle(std::move(title));
}

void Composition::viewDidLoad() {
  view().setBackgroundColor(backdrop());
  if (build_) build_(view());
}

std::shared_ptr<ui::NavigationController> inNavigation(std::shared_ptr<ui::ViewController> root) {
  return std::make_shared<ui::NavigationController>(std::move(root));
}

double contentTop(bool underBar) {
  const ui::DeviceProfile& d = ui::currentDevice();
  return d.safeArea().top + (underBar ? d.navigationBarHeight : 0);
}

Cards::Cards(ui::View& root, double top) : page_(std::make_shared<CardsPage>(root.bounds())) {
  page_->setBackgroundColor(ui::Color::clear());
  page_->showsHorizontalScrollIndicator = false;
  root.addSubview(page_);
  const ui::Insets safe = ui::currentDevice().safeArea();
  const double left = safe.left + kMargin;
  const double available = root.bounds().width() - safe.left - safe.right - 2 * kMargin;
  const int columns = available >= 640 ? 2 : 1;
  width_ = std::min(520.0, (available - kMargin * (columns - 1)) / columns);
  const double used = width_ * columns + kMargin * (columns - 1);
  const double x0 = left + (available - used) / 2;
  for (int i = 0; i < columns; ++i) {
    columnX_.push_back(x0 + i * (width_ + kMargin));
    columnY_.push_back(top + 14);
  }
}

ui::View& Cards::add(const std::string& caption, double height) {
  auto shortest = std::min_element(columnY_.begin(), columnY_.end());
  const auto column = static_cast<std::size_t>(shortest - columnY_.begin());
  const double x = columnX_[column];
  double y = *shortest;
  auto title = addLabel(*page_, caption, ui::Rect{x + 4, y, width_ - 8, kCaption - 6},
                        ui::Font::system(13, ui::FontWeight::Semibold), ui::Color::systemGray());
  y += kCaption;
  auto card = std::make_shared<ui::View>(ui::Rect{x, y, width_, height});
  card->setBackgroundColor(ui::Color::white());
  card->cornerRadius = 12;
  card->debugName = caption;
  page_->addSubview(card);
  *shortest = y + height + kGap;
  // The lowest card ends above the home indicator when scrolled to the end.
  const double bottom =
      *std::max_element(columnY_.begin(), columnY_.end()) + ui::currentDevice().safeArea().bottom;
  page_->setContentSize({page_->bounds().width(), bottom});
  return *card;
}

std::shared_ptr<ui::Label> addLabel(ui::View& parent, const std::string& text,
                                    const ui::Rect& frame, ui::Font font, ui::Color color) {
  auto label = std::make_shared<ui::Label>(frame);
  label->setText(text);
  label->setFont(font);
  label->textColor = color;
  parent.addSubview(label);
  return label;
}

std::shared_ptr<ui::Label> addCaption(ui::View& parent, const std::string& text,
                                      const ui::Rect& frame) {
  auto label = addLabel(parent, text, frame, ui::Font::system(11), ui::Color::systemGray());
  label->textAlignment = ui::TextAlignment::Center;
  return label;
}

}  // namespace veltrix::gallery::demo
