// The service icon view: a small white tile showing one terminal service as
// its model icon, its model name and "*" with the serial number's last four
// characters. Nothing in the library places one; it is kept for hosts.
//
// Threads: the main loop only. Owned like every view; keeps its own copy of
// the service.
#pragma once

#include <string>
#include <string_view>

#include "veltrix/platform/ui/controls.h"
#include "veltrix/ui/scan/scan_logic.h"

namespace veltrix::ui::scan {

// "*1234": the last four characters of a serial number, or the whole of a
// shorter one.
std::string iconViewSerial(std::string_view sn);

class ServiceMovingView : public View {
 public:
  explicit ServiceMovingView(ServiceInfoDict serviceInfo);

  const ServiceInfoDict& getServiceInfo() const { return serviceInfo_; }

  std::string typeName() const override { return "ServiceMovingView"; }

 private:
  void setupUI();
  ServiceInfoDict serviceInfo_;
};

}  // namespace veltrix::ui::scan
