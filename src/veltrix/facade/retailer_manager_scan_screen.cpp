// The facade's one link to the scan screen: the host's navigation
// controller becomes the presenter that pushes it.
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/ui/scan/navigation_scan_presenter.h"

namespace veltrix::facade {

void RetailerManager::initWithNavigationController(
    std::shared_ptr<ui::NavigationController> navigation) {
  onMainLoop([navigation = std::move(navigation)](RetailerManager& self) {
    if (!navigation) {
      self.navigationController_.reset();
      return;
    }
    self.navigationController_ = std::make_shared<ui::scan::NavigationScanPresenter>(
        navigation, ui::scan::ScanScreenServices{self.databaseManager_,
                                                 self.settingManager_.discoveryControl()});
  });
}

}  // namespace veltrix::facade
