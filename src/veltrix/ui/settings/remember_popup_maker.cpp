#include "veltrix/ui/settings/remember_popup_maker.h"

#include <utility>

#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kCardMargin = 20;
constexpr double kCardPadding = 15;
constexpr double kCardCornerRadius = 10;

// A card over a dimmed background: the popup's title, the type it is for
// and Cancel.
class RememberPopupPlaceholder final : public ViewController {
 public:
  explicit RememberPopupPlaceholder(std::string serviceType)
      : serviceType_(std::move(serviceType)) {
    modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
  }

  void viewDidLoad() override {
    view().setBackgroundColor(Color::black().withAlpha(0.5));
    auto card = makeCard(kCardCornerRadius);
    view().addSubview(card);
    auto title = makeLabel("Remember Option", Font::bold(18));
    auto type = makeLabel(serviceType_, Font::system(16), Color::systemGray());
    auto cancel = makeLaidOut<Button>();
    cancel->setTitle("Cancel", ControlState::Normal);
    cancel->setTitleColor(Color::systemBlue(), ControlState::Normal);
    auto weak = weak_from_this();
    cancel->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
      if (auto self = weak.lock()) self->dismiss(true);
    });
    card->addSubview(title);
    card->addSubview(type);
    card->addSubview(cancel);
    View& root = view();
    activate({
        card->centerYAnchor().constraintEqualTo(root.centerYAnchor()),
        card->leadingAnchor().constraintEqualTo(root.leadingAnchor(), kCardMargin),
        card->trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kCardMargin),
        title->topAnchor().constraintEqualTo(card->topAnchor(), kCardPadding),
        title->leadingAnchor().constraintEqualTo(card->leadingAnchor(), kCardPadding),
        type->topAnchor().constraintEqualTo(title->bottomAnchor(), kCardPadding),
        type->leadingAnchor().constraintEqualTo(card->leadingAnchor(), kCardPadding),
        cancel->topAnchor().constraintEqualTo(type->bottomAnchor(), kCardPadding),
        cancel->leadingAnchor().constraintEqualTo(card->leadingAnchor(), kCardPadding),
        cancel->bottomAnchor().constraintEqualTo(card->bottomAnchor(), -kCardPadding),
    });
  }
  std::string typeName() const override { return "RememberPopupPlaceholder"; }

 private:
  std::string serviceType_;
};

}  // namespace

std::shared_ptr<ViewController> makeRememberPopup(RememberPopupRequest request,
                                                  const SettingsEnvironment&) {
  std::string type;
  if (!request.options.empty()) {
    type = registry::rowText(request.options.front(), "serviceType").value_or("");
  }
  return std::make_shared<RememberPopupPlaceholder>(std::move(type));
}

}  // namespace veltrix::ui::settings
