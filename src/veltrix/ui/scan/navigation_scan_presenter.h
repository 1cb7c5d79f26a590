// Shows the scan screen on the host's navigation controller: the facade's
// ScanPresenter once the host has handed it a navigation controller.
//
// Thread: the main loop. Ownership: the presenter holds the navigation
// controller weakly (the host owns it); the pushed screen owns the
// request's delegate.
#pragma once

#include <memory>

#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::ui::scan {

class NavigationScanPresenter final : public facade::ScanPresenter {
 public:
  // The host has handed its navigation controller: the scan screen's fonts
  // start loading, long before the first scan.
  NavigationScanPresenter(std::weak_ptr<NavigationController> navigation,
                          ScanScreenServices services)
      : navigation_(std::move(navigation)), services_(services) {
    ScanViewController::prepareFonts();
  }

  // Pushes a new scan screen, animated. A navigation controller that has
  // gone away ends the request with -101 "Service not found".
  void presentScan(const facade::ScanRequest& request,
                   std::shared_ptr<facade::ScanViewControllerDelegate> delegate) override;

 private:
  std::weak_ptr<NavigationController> navigation_;
  ScanScreenServices services_;
};

}  // namespace veltrix::ui::scan
