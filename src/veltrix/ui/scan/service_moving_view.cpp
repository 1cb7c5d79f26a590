#include "veltrix/ui/scan/service_moving_view.h"

#include <memory>

#include "veltrix/platform/ui/image.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kCornerRadius = 10;
const Rect kIconFrame{0, 0, 60, 60};
const Rect kModelFrame{0, 50, 60, 40};
const Rect kSerialFrame{0, 70, 60, 40};

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
  cornerRadius = kCornerRadius;
  const std::string& model = serviceInfo_.model;

  auto icon = std::make_shared<ImageView>(kIconFrame);
  icon->setImage(loadImageNamed(enabledIconName(model, libraryImageExists)));
  addSubview(icon);

  auto modelLabel = std::make_shared<Label>(kModelFrame);
  modelLabel->setShowsOutsideText(true);
  modelLabel->setText(model);
  modelLabel->textColor = Color::black();
  modelLabel->setFont(Font::bold(16));
  modelLabel->textAlignment = TextAlignment::Center;
  addSubview(modelLabel);

  auto serial = std::make_shared<Label>(kSerialFrame);
  serial->setShowsOutsideText(true);
  serial->setText(iconViewSerial(serviceInfo_.sn));
  serial->textColor = Color::gray();
  serial->setFont(Font::bold(13));
  serial->textAlignment = TextAlignment::Center;
  addSubview(serial);
}

}  // namespace veltrix::ui::scan
