#include "veltrix/ui/scan/scan_dialogs.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/ui/scan/qr_code_view.h"
#include "veltrix/ui/scan/scan_option_view.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kDialogDimmingAlpha = 0.5;
constexpr Size kChooserSize{250, 180};
constexpr Size kQRCardSize{320, 350};
constexpr Size kPairingCardSize{320, 220};

std::optional<std::string> ownHandshakeText() {
  registry::HandshakeBean bean = registry::HandshakeBean::initBeanWithSelfInfo();
  return bean.toJSONString();
}

// Dims what lies under it. The cards it holds keep their designed sizes
// as the largest and are drawn smaller where that size would reach past the
// safe area around their centre (under the navigation bar, off a turned or
// small phone): the QR card is 350 high, a turned small phone has 276.
class DimmingView final : public View {
 public:
  void layoutSubviews() override {
    const Rect safe = bounds().inset(safeAreaInsets());
    for (const auto& card : subviews()) {
      const Point c = card->center();
      const Size s = card->bounds().size;
      if (s.width <= 0 || s.height <= 0) continue;
      const double roomX = 2 * std::min(c.x - safe.minX(), safe.maxX() - c.x);
      const double roomY = 2 * std::min(c.y - safe.minY(), safe.maxY() - c.y);
      const double scale =
          std::clamp(std::min(roomX / s.width, roomY / s.height), kSmallestCardScale, 1.0);
      if (card->transform() != Transform::scale(scale, scale)) {
        card->setTransform(Transform::scale(scale, scale));
      }
    }
  }
  std::string typeName() const override { return "DimmingView"; }

 private:
  static constexpr double kSmallestCardScale = 0.5;
};

void centre(View& card, View& in, Size size) {
  card.setTranslatesAutoresizingMaskIntoConstraints(false);
  activate({
      card.centerXAnchor().constraintEqualTo(in.centerXAnchor()),
      card.centerYAnchor().constraintEqualTo(in.centerYAnchor()),
      card.widthAnchor().constraintEqualToConstant(size.width),
      card.heightAnchor().constraintEqualToConstant(size.height),
  });
}

}  // namespace

std::shared_ptr<ScanDialogs> ScanDialogs::create(ViewController& screen, Services services) {
  return std::shared_ptr<ScanDialogs>(new ScanDialogs(screen, std::move(services)));
}

ScanDialogs::ScanDialogs(ViewController& screen, Services services)
    : screen_(screen), services_(std::move(services)) {
  if (!services_.auth) services_.auth = sharedPairingAuth();
  if (!services_.handshakeText) services_.handshakeText = ownHandshakeText;
}

std::shared_ptr<View> ScanDialogs::addDimmingView(View& host) {
  auto dimming = std::make_shared<DimmingView>();
  dimming->setBackgroundColor(Color::black().withAlpha(kDialogDimmingAlpha));
  dimming->setTranslatesAutoresizingMaskIntoConstraints(false);
  host.addSubview(dimming);
  host.bringSubviewToFront(*dimming);
  activate({
      dimming->leadingAnchor().constraintEqualTo(host.leadingAnchor()),
      dimming->trailingAnchor().constraintEqualTo(host.trailingAnchor()),
      dimming->topAnchor().constraintEqualTo(host.topAnchor()),
      dimming->bottomAnchor().constraintEqualTo(host.bottomAnchor()),
  });
  return dimming;
}

void ScanDialogs::closeOnTapOutside(View& dimming, const std::shared_ptr<View>& card) {
  std::weak_ptr<ScanDialogs> weak = weak_from_this();
  std::weak_ptr<View> weakCard = card;
  auto tap = std::make_shared<TapGestureRecognizer>([weak, weakCard](GestureRecognizer& r) {
    auto self = weak.lock();
    auto card = weakCard.lock();
    if (!self || !card || !r.view()) return;
    if (card->frame().contains(r.locationInView(r.view()))) return;
    self->isShowQRView_ = false;
    self->dismissDialog();
  });
  // The card's buttons still get their taps.
  tap->cancelsTouchesInView = false;
  dimming.addGestureRecognizer(tap);
}

void ScanDialogs::plusQRCode() { showCustomRadioDialog(); }

void ScanDialogs::showCustomRadioDialog() {
  // One dialog at a time: a second opening replaces the first.
  dismissDialog();
  auto sheet = std::make_shared<ScanOptionView>(std::vector<std::string>{"Scan", "Device Code"});
  std::weak_ptr<ScanDialogs> weak = weak_from_this();
  sheet->setSelectionBlock([weak](std::int64_t index) {
    if (auto self = weak.lock()) self->handleDaySelection(index);
  });
  isShowQRView_ = true;
  dialog_ = addDimmingView(screen_.view());
  dialog_->addSubview(sheet);
  centre(*sheet, *dialog_, kChooserSize);
  closeOnTapOutside(*dialog_, sheet);
}

void ScanDialogs::handleDaySelection(std::int64_t index) {
  dismissDialog();
  if (index == 1) showQRCodeDialog();
}

void ScanDialogs::dismissDialog() {
  if (!dialog_) return;
  // The tap that closes a dialog runs inside its own overlay's recogniser.
  keepAlive(dialog_);
  dialog_->removeFromSuperview();
  dialog_.reset();
}

void ScanDialogs::blankAreaTapped() {
  if (!isShowQRView_) return;
  isShowQRView_ = false;
  dismissDialog();
}

void ScanDialogs::showQRCodeDialog() {
  dismissDialog();
  // A fresh record each time: its "time" is the moment the dialog opens.
  auto card = std::make_shared<QRCodeView>(services_.handshakeText().value_or(""));
  isShowQRView_ = true;
  dialog_ = addDimmingView(screen_.view());
  dialog_->addSubview(card);
  centre(*card, *dialog_, kQRCardSize);
  closeOnTapOutside(*dialog_, card);
}

void ScanDialogs::setBackgroundView(std::shared_ptr<View> view) {
  if (backgroundView_ && backgroundView_ != view) backgroundView_->removeFromSuperview();
  backgroundView_ = std::move(view);
}

void ScanDialogs::showAuthRandomView(const platform::Json& terminal) {
  View& screenView = screen_.view();
  // Over the screen view's superview, so the card also dims what lies
  // around the screen; a screen off the window gets it over its own view.
  View& host = screenView.superview() ? *screenView.superview() : screenView;
  setBackgroundView(addDimmingView(host));

  const std::string code = services_.auth->createRandom();
  auto card = std::make_shared<AuthRandomView>(pairingCodeText(code),
                                               platform::readText(terminal, "sn").value_or(""));
  backgroundView_->addSubview(card);
  centre(*card, *backgroundView_, kPairingCardSize);
  // The card shows no outcome; a terminal without an address gets nothing.
  services_.auth->auth(terminal);
}

void ScanDialogs::cleanUp() {
  dismissDialog();
  setBackgroundView(nullptr);
  isShowQRView_ = false;
}

}  // namespace veltrix::ui::scan
