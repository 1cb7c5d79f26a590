#include "veltrix/ui/scan/remember_option_view.h"

#include <algorithm>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/image.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kOptionCornerRadius = 10;
const Rect kOptionTitleFrame{10, 10, 200, 40};
constexpr double kRowX = 20;
constexpr double kRowWidth = 250;
constexpr double kOptionRowHeight = 50;
constexpr double kFirstRowY = 50;
constexpr std::size_t kRows = 3;

}  // namespace

RememberOptionView::RememberOptionView(std::vector<std::string> options)
    : options_(std::move(options)) {
  setupUI();
}

void RememberOptionView::setupUI() {
  setBackgroundColor(Color::white());
  cornerRadius = kOptionCornerRadius;

  titleLabel_ = std::make_shared<Label>(kOptionTitleFrame);
  titleLabel_->setText("Remember option");
  titleLabel_->textColor = Color::black();
  titleLabel_->setFont(Font::bold(17));
  titleLabel_->textAlignment = TextAlignment::Left;
  addSubview(titleLabel_);

  const std::size_t rows = std::min(kRows, options_.size());
  for (std::size_t i = 0; i < rows; ++i) {
    const double y = kFirstRowY + kOptionRowHeight * static_cast<double>(i);
    auto button =
        std::make_shared<Button>(ButtonType::Custom, Rect{kRowX, y, kRowWidth, kOptionRowHeight});
    button->tag = static_cast<std::int64_t>(i);
    button->setTitle(options_[i], ControlState::Normal);
    button->setTitleColor(Color::black(), ControlState::Normal);
    button->contentHorizontalAlignment = ContentHorizontalAlignment::Left;
    // The button is the sheet's own subview, so it never outlives the sheet.
    button->addTarget(ControlEvent::TouchUpInside,
                      [this](Control& sender) { scanTapped(static_cast<Button&>(sender)); });
    addSubview(button);
    buttons_.push_back(std::move(button));
    if (i == 0) continue;
    // A line above every row but the first.
    auto line = std::make_shared<ImageView>(Rect{kRowX, y, kRowWidth, 1});
    line->setImage(loadImageNamed("line"));
    line->contentMode = ContentMode::ScaleToFill;
    addSubview(line);
    separators_.push_back(std::move(line));
  }
}

void RememberOptionView::scanTapped(const Button& button) {
  platform::logf("scanTapped : {}", button.tag);
  if (selectionBlock_) {
    // The block may remove this sheet.
    const SelectionBlock block = selectionBlock_;
    block(button.tag);
  }
}

}  // namespace veltrix::ui::scan
