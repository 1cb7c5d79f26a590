#include "veltrix/ui/scan/navigation_scan_presenter.h"

#include "veltrix/platform/log.h"

namespace veltrix::ui::scan {

void NavigationScanPresenter::presentScan(
    const facade::ScanRequest& request,
    std::shared_ptr<facade::ScanViewControllerDelegate> delegate) {
  auto navigation = navigation_.lock();
  if (!navigation) {
    platform::logLine("startScanViewControllerWithSN: navigationController is nil!");
    if (delegate) {
      delegate->onError(ScanViewController::kErrorServiceNotFound,
                        std::string(ScanViewController::kMsgServiceNotFound));
    }
    return;
  }
  navigation->pushViewController(
      ScanViewController::create(request, std::move(delegate), services_), true);
}

}  // namespace veltrix::ui::scan
