#include "veltrix/ui/scan/service_moving_view.h"

#include <memory>

#include "veltrix/platform/ui/image.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kServiceCornerRadius = 10;
const Rect kServiceIconFrame{0, 0, 60, 60};
const Rect kServiceModelFrame{0, 50, 60, 40};
const Rect kServiceSerialFrame{0, 70, 60, 40};

}  // namespace

std::string iconViewSerial(std::string_view sn) {
  // Appended, not `"*" + std::string(...)`, which GCC 12 at -O3 reports as
  // an out-of-bounds copy.
  std::string text(1, '*');
  text.append(lastCharacters(sn, kShortSerialCharacters));
  return text;
}

ServiceMovingView::ServiceMovingView(ServiceInfoDict serviceInfo)
    : serviceInfo_(std::move(serviceInfo)) {
  setupUI();
}

void ServiceMovingView::setupUI() {
  setBackgroundColor(Color::white());
  cornerRadius = kServiceCornerRadius;
  const std::string& model = serviceInfo_.model;

  auto icon = std::make_shared<ImageView>(kServiceIconFrame);
  icon->setImage(loadImageNamed(enabledIconName(model, libraryImageExists)));
  addSubview(icon);

  auto modelLabel = std::make_shared<Label>(kServiceModelFrame);
  modelLabel->setShowsOutsideText(true);
  modelLabel->setText(model);
  modelLabel->textColor = Color::black();
  modelLabel->setFont(Font::bold(16));
  modelLabel->textAlignment = TextAlignment::Center;
  addSubview(modelLabel);

  auto serial = std::make_shared<Label>(kServiceSerialFrame);
  serial->setShowsOutsideText(true);
  serial->setText(iconViewSerial(serviceInfo_.sn));
  serial->textColor = Color::gray();
  serial->setFont(Font::bold(13));
  serial->textAlignment = TextAlignment::Center;
  addSubview(serial);
}

}  // namespace veltrix::ui::scan
