#include "veltrix/ui/scan/terminal_collection_view_cell.h"

#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/layout.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kCellCornerRadius = 10;
constexpr double kInset = 16;
constexpr double kIconWidth = 40;
constexpr double kIconHeight = 50;
constexpr double kTextGap = 12;
constexpr double kLineGap = 2;
constexpr double kButtonGap = 8;
constexpr double kButtonSide = 30;
const Font kNameFont = Font::system(16, FontWeight::Medium);
const Font kDetailFont = Font::system(14);

// Every line shows what the terminal reported about itself.
std::shared_ptr<Label> makeCellLabel(const Font& font, const Color& color) {
  auto label = std::make_shared<Label>();
  label->setFont(font);
  label->textColor = color;
  label->setShowsOutsideText(true);
  return label;
}

}  // namespace

TerminalCollectionViewCell::TerminalCollectionViewCell() { setupSubviews(); }

TerminalCollectionViewCell::TerminalCollectionViewCell(const Rect& frame)
    : CollectionViewCell(frame) {
  setupSubviews();
}

std::vector<Font> TerminalCollectionViewCell::fonts() { return {kNameFont, kDetailFont}; }

void TerminalCollectionViewCell::setupSubviews() {
  setBackgroundColor(Color::white());
  cornerRadius = kCellCornerRadius;
  clipsToBounds = true;

  iconImageView_ = std::make_shared<ImageView>();
  iconImageView_->contentMode = ContentMode::AspectFit;
  iconImageView_->setTintColor(Color::systemBlue());
  nameLabel_ = makeCellLabel(kNameFont, Color::black());
  snLabel_ = makeCellLabel(kDetailFont, Color::gray());
  serviceNameLabel_ = makeCellLabel(kDetailFont, Color::lightGray());
  moreButton_ = std::make_shared<Button>(ButtonType::Custom);
  moreButton_->setImage(Image::systemNamed("ellipsis.circle"), ControlState::Normal);
  moreButton_->setTintColor(Color::gray());
  // The button is the cell's own subview, so it never outlives the cell.
  moreButton_->addTarget(ControlEvent::TouchUpInside, [this](Control&) { moreButtonClicked(); });

  View& content = *contentView();
  for (View* view :
       std::initializer_list<View*>{iconImageView_.get(), nameLabel_.get(), snLabel_.get(),
                                    serviceNameLabel_.get(), moreButton_.get()}) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  content.addSubview(iconImageView_);
  content.addSubview(nameLabel_);
  content.addSubview(snLabel_);
  content.addSubview(serviceNameLabel_);
  content.addSubview(moreButton_);

  ImageView& icon = *iconImageView_;
  Label& name = *nameLabel_;
  Label& serial = *snLabel_;
  Label& service = *serviceNameLabel_;
  Button& more = *moreButton_;
  activate({
      icon.leadingAnchor().constraintEqualTo(content.leadingAnchor(), kInset),
      icon.topAnchor().constraintEqualTo(content.topAnchor(), kInset),
      icon.widthAnchor().constraintEqualToConstant(kIconWidth),
      icon.heightAnchor().constraintEqualToConstant(kIconHeight),
      name.leadingAnchor().constraintEqualTo(icon.trailingAnchor(), kTextGap),
      name.topAnchor().constraintEqualTo(icon.topAnchor()),
      // The model and the serial number take their natural width, but
      // never run under the detail button: a long one ends in an ellipsis.
      name.trailingAnchor().constraintLessThanOrEqualTo(more.leadingAnchor(), -kButtonGap),
      serial.leadingAnchor().constraintEqualTo(name.leadingAnchor()),
      serial.topAnchor().constraintEqualTo(name.bottomAnchor(), kLineGap),
      serial.trailingAnchor().constraintLessThanOrEqualTo(more.leadingAnchor(), -kButtonGap),
      service.leadingAnchor().constraintEqualTo(name.leadingAnchor()),
      service.topAnchor().constraintEqualTo(serial.bottomAnchor(), kLineGap),
      service.trailingAnchor().constraintEqualTo(more.leadingAnchor(), -kButtonGap),
      more.trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kInset),
      more.centerYAnchor().constraintEqualTo(content.centerYAnchor()),
      more.widthAnchor().constraintEqualToConstant(kButtonSide),
      more.heightAnchor().constraintEqualToConstant(kButtonSide),
  });
}

void TerminalCollectionViewCell::configureWithItem(const TerminalItem& item) {
  item_ = item;
  nameLabel_->setText(item_.name);
  snLabel_->setText(item_.sn);
  serviceNameLabel_->setText(item_.info.serviceName);
  iconImageView_->setImage(loadImageNamed(item_.iconName));
}

void TerminalCollectionViewCell::moreButtonClicked() {
  if (!moreButtonClickBlock) return;
  // The block may reload the list, which may hand this cell out again.
  const MoreButtonClickBlock block = moreButtonClickBlock;
  block(*this);
}

}  // namespace veltrix::ui::scan
