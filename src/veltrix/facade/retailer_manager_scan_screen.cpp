// The facade's one link to the scan screen: the host's navigation
// controller becomes the presenter that pushes it.
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/ui/scan/navigation_scan_presenter.h"

namespace veltrix::facade {

void RetailerManager::initWithNavigationController(
    std::shared_ptr<ui::NavigationController> navigation) {
  if (!navigation) {
    navigationController_.reset();
    return;
  }
  navigationController_ = std::make_shared<ui::scan::NavigationScanPresenter>(
      navigation,
      ui::scan::ScanScreenServices{databaseManager_, settingManager_.discoveryControl()});
}

}  // namespace veltrix::facade
