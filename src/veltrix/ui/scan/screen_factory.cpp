#include "veltrix/ui/scan/screen_factory.h"

#include "veltrix/ui/settings/remote_device_controller.h"
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

TerminalDetailInput terminalDetailInput(const ServiceInfoDict& service,
                                        registry::DatabaseManager& database) {
  TerminalDetailInput input;
  input.service = service;
  input.terminalInfo = database.fetchDiscoveredTerminal(service.sn);
  input.serviceArray = database.fetchTerminalServicesWithSn(service.sn);
  input.database = &database;
  return input;
}

std::shared_ptr<ViewController> makeTerminalDetail(const TerminalDetailInput& input) {
  if (auto& make = screenMakers().terminalDetail) return make(input);
  settings::SettingsEnvironment env =
      input.database == nullptr
          ? settings::SettingsEnvironment::shared()
          // The opening screen's database lives for as long as the sheet.
          : settings::SettingsEnvironment::over(std::shared_ptr<registry::DatabaseManager>(
                std::shared_ptr<void>{}, input.database));
  return std::make_shared<settings::RemoteDeviceController>(input.terminalInfo, input.serviceArray,
                                                            std::move(env));
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
