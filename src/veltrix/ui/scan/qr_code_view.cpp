#include "veltrix/ui/scan/qr_code_view.h"

#include <vector>

#include "veltrix/ui/scan/qr_code_generator.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kQrCornerRadius = 10;
// The code is rendered at 260 points and drawn stretched into 280.
constexpr Size kCodeSize{260, 260};
const Rect kImageFrame{20, 20, 280, 280};
// The lines keep the card's 20-point margins on both sides (the frames as
// designed are 300 wide and would end at the card's edge).
const Rect kFirstLineFrame{20, 300, 280, 40};
const Rect kSecondLineFrame{20, 320, 280, 40};
constexpr double kLineFontSize = 17;
constexpr double kLineMinFontSize = 13;

// The lines are sized for the platform's narrow system face; where ours sets
// one wider than its frame, both step down together, so they read as one
// sentence in one size.
void fitToWidth(const std::vector<std::shared_ptr<Label>>& lines) {
  for (double size = kLineFontSize; size >= kLineMinFontSize; size -= 0.5) {
    bool fits = true;
    for (const auto& line : lines) {
      line->setFont(Font::bold(size));
      fits = fits && line->sizeThatFits(Size{0, 0}).width <= line->bounds().width();
    }
    if (fits) return;
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

  std::vector<std::shared_ptr<Label>> lines;
  for (const auto& [frame, text] :
       {std::pair{kFirstLineFrame, "Please scan this code with the Tavio"},
        std::pair{kSecondLineFrame, "Tavio app to pair."}}) {
    auto line = std::make_shared<Label>(frame);
    line->setText(text);
    line->textColor = Color::black();
    line->textAlignment = TextAlignment::Center;
    addSubview(line);
    lines.push_back(line);
  }
  fitToWidth(lines);
}

}  // namespace veltrix::ui::scan
