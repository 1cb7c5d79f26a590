// Facts about the machine the library runs on. Thread-safe.
#pragma once

#include <optional>
#include <string>

namespace veltrix::platform {

// The hardware name of the machine ("x86_64", "aarch64"); nullopt when the
// system does not tell.
std::optional<std::string> machineHardwareName();

}  // namespace veltrix::platform
