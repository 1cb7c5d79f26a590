#include "veltrix/ui/scan/qr_code_view.h"

#include "veltrix/ui/scan/qr_code_generator.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kQrCornerRadius = 10;
// The code is rendered at 260 points and drawn stretched into 280.
constexpr Size kCodeSize{260, 260};
const Rect kImageFrame{20, 20, 280, 280};
const Rect kFirstLineFrame{20, 300, 300, 40};
const Rect kSecondLineFrame{20, 320, 300, 40};
constexpr double kLineFontSize = 17;
constexpr double kLineMinFontSize = 13;

// The lines are sized for the platform's narrow system face; where ours
// sets a line wider than its frame, a smaller size keeps it whole.
void fitToWidth(Label& label) {
  for (double size = kLineFontSize; size >= kLineMinFontSize; size -= 0.5) {
    label.setFont(Font::bold(size));
    if (label.sizeThatFits(Size{0, 0}).width <= label.bounds().width()) return;
  }
}

}  // namespace

QRCodeView::QRCodeView(std::string qrCodeString) : qrCodeString_(std::move(qrCodeString)) {
  setupUI();
}

void QRCodeView::setupUI() {
  setBackgroundColor(Color::white());
  cornerRadius = kQrCornerRadius;

  imageView_ = std::make_shared<ImageView>(kImageFrame);
  imageView_->setImage(QRCodeGenerator::generateQRCodeFromString(qrCodeString_, kCodeSize));
  addSubview(imageView_);

  for (const auto& [frame, text] :
       {std::pair{kFirstLineFrame, "Please scan this code with the Tavio"},
        std::pair{kSecondLineFrame, "Tavio app to pair."}}) {
    auto line = std::make_shared<Label>(frame);
    line->setText(text);
    line->textColor = Color::black();
    line->textAlignment = TextAlignment::Center;
    fitToWidth(*line);
    addSubview(line);
  }
}

}  // namespace veltrix::ui::scan
