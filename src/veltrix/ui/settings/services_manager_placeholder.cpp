#include "veltrix/ui/settings/services_manager_placeholder.h"

#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

class ServicesManagerPlaceholder final : public ViewController {
 public:
  void viewDidLoad() override {
    setTitle("Services Manager");
    view().setBackgroundColor(backdropColor());
  }
  std::string typeName() const override { return "ServicesManagerViewController"; }
};

}  // namespace

std::shared_ptr<ViewController> makeServicesManagerViewController(const SettingsEnvironment&) {
  return std::make_shared<ServicesManagerPlaceholder>();
}

}  // namespace veltrix::ui::settings
