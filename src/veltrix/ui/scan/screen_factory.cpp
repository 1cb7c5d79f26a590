#include "veltrix/ui/scan/screen_factory.h"

#include "veltrix/ui/settings/setting_view_controller.h"

namespace veltrix::ui::scan {

ScreenMakers& screenMakers() {
  static ScreenMakers makers;
  return makers;
}

std::shared_ptr<ViewController> makeSettingsHub() {
  if (auto& make = screenMakers().settingsHub) return make();
  return settings::makeSettingViewController();
}

std::shared_ptr<ViewController> makeTerminalDetail(const TerminalDetailInput& input) {
  if (auto& make = screenMakers().terminalDetail) return make(input);
  return std::make_shared<PlaceholderViewController>(input.service.model, input.service.sn);
}

std::shared_ptr<ViewController> makeRememberOptions(const std::vector<std::string>& options,
                                                    RememberChoice choose) {
  if (auto& make = screenMakers().rememberOptions) return make(options, std::move(choose));
  return std::make_shared<PlaceholderViewController>("Remember option",
                                                     options.empty() ? "" : options.front());
}

PlaceholderViewController::PlaceholderViewController(std::string title, std::string text)
    : text_(std::move(text)) {
  setTitle(std::move(title));
}

void PlaceholderViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemBackground());
  auto label = std::make_shared<Label>();
  label->setText(text_);
  label->textColor = Color::secondaryLabel();
  label->textAlignment = TextAlignment::Center;
  label->setNumberOfLines(0);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  view().addSubview(label);
  activate({label->centerYAnchor().constraintEqualTo(view().centerYAnchor()),
            label->leadingAnchor().constraintEqualTo(view().leadingAnchor(), 20),
            label->trailingAnchor().constraintEqualTo(view().trailingAnchor(), -20)});
}

}  // namespace veltrix::ui::scan
