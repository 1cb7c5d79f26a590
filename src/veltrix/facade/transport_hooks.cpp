// Where the library's transports plug into the transport factory.
#include "veltrix/facade/ble_transport_probe.h"
#include "veltrix/facade/candidate_probes.h"
#include "veltrix/facade/communicate_factory.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_communicate_service.h"
#include "veltrix/transport/https_service.h"

namespace veltrix::facade {

// One HTTP transport per request, posting to `url`, logging to the
// library's log file.
CommunicateServicePtr createHttpTransport(const std::string& url) {
  transport::HttpsServiceConfig config;
  config.logFile = &registry::FileLogger::sharedLogger();
  return transport::HttpsService::create(url, config);
}

// The shared Bluetooth LE transport; the terminal is chosen by the serial
// number given to each send, so the address is not used.
CommunicateServicePtr createBleTransport(const std::string& /*address*/) {
  return transport::BLECommunicateService::sharedServicePtr();
}

// The candidate probes look for terminals through the shared Bluetooth LE
// transport, the one requests are then sent over.
std::shared_ptr<BleProbeService> createBleProbeService() {
  return std::make_shared<BleTransportProbeService>(
      transport::BLECommunicateService::sharedServicePtr());
}

}  // namespace veltrix::facade
