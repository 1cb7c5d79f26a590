#include "veltrix/platform/device_info.h"

#include <sys/utsname.h>

namespace veltrix::platform {

std::optional<std::string> machineHardwareName() {
  utsname info{};
  if (::uname(&info) != 0 || info.machine[0] == '\0') return std::nullopt;
  return std::string(info.machine);
}

}  // namespace veltrix::platform
