#include "veltrix/ui/scan/scan_option_view.h"

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/image.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kScanOptionCornerRadius = 10;
const Rect kScanOptionTitleFrame{0, 10, 160, 40};
const Rect kScanFrame{40, 50, 200, 50};
const Rect kSeparatorFrame{20, 100, 200, 1};
const Rect kDeviceCodeFrame{40, 100, 200, 50};
// The titles start with eight spaces, which keep them clear of the image
// once the title inset pulls them back over it.
constexpr char kScanTitle[] = "        Scan";
constexpr char kDeviceCodeTitle[] = "        Device Code";

}  // namespace

ScanOptionView::ScanOptionView(std::vector<std::string> options) : options_(std::move(options)) {
  setupUI();
}

void ScanOptionView::setupUI() {
  setBackgroundColor(Color::white());
  cornerRadius = kScanOptionCornerRadius;

  auto title = std::make_shared<Label>(kScanOptionTitleFrame);
  title->setText("Add device");
  title->textColor = Color::black();
  title->setFont(Font::bold(20));
  title->textAlignment = TextAlignment::Center;
  addSubview(title);

  scanButton_ = makeChoice(kScanFrame, 0, "icon_scan", kScanTitle);
  addSubview(scanButton_);

  auto separator = std::make_shared<ImageView>(kSeparatorFrame);
  separator->setImage(loadImageNamed("line"));
  separator->contentMode = ContentMode::ScaleToFill;
  addSubview(separator);

  deviceCodeButton_ = makeChoice(kDeviceCodeFrame, 1, "icon_qrcode", kDeviceCodeTitle);
  addSubview(deviceCodeButton_);
}

std::shared_ptr<Button> ScanOptionView::makeChoice(const Rect& frame, std::int64_t tag,
                                                   const char* image, const char* title) {
  auto button = std::make_shared<Button>(ButtonType::Custom, frame);
  button->tag = tag;
  button->setImage(loadImageNamed(image), ControlState::Normal);
  button->setTitle(title, ControlState::Normal);
  button->setTitleColor(Color::black(), ControlState::Normal);
  button->contentHorizontalAlignment = ContentHorizontalAlignment::Left;
  button->semanticContentAttribute = SemanticContentAttribute::ForceLeftToRight;
  button->imageEdgeInsets = Insets{};
  const double imageWidth = button->currentImage() ? button->currentImage()->size().width : 0;
  button->titleEdgeInsets = Insets{0, -imageWidth, 0, 0};
  // The button is the sheet's own subview, so it never outlives the sheet.
  button->addTarget(ControlEvent::TouchUpInside,
                    [this](Control& sender) { scanTapped(static_cast<Button&>(sender)); });
  return button;
}

void ScanOptionView::scanTapped(const Button& button) {
  platform::logf("scanTapped : {}", button.tag);
  if (selectionBlock_) selectionBlock_(button.tag);
}

}  // namespace veltrix::ui::scan
