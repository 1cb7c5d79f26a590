// Where the library's transports plug into the transport factory. Until a
// transport is linked here, requests on its road get none and end with a
// transport failure.
#include "veltrix/facade/communicate_factory.h"

namespace veltrix::facade {

// The HTTP transport plugs in here.
CommunicateServicePtr createHttpTransport(const std::string& /*url*/) { return nullptr; }

// The shared Bluetooth LE transport plugs in here.
CommunicateServicePtr createBleTransport(const std::string& /*address*/) { return nullptr; }

}  // namespace veltrix::facade
