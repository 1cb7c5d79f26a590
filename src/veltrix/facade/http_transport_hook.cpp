// Where the library's HTTP transport plugs into the transport factory. Until
// it is linked here, requests on the local network get no transport and end
// with a transport failure.
#include "veltrix/facade/communicate_factory.h"

namespace veltrix::facade {

CommunicateServicePtr createHttpTransport(const std::string& /*url*/) { return nullptr; }

}  // namespace veltrix::facade
