#include "veltrix/facade/communicate_factory.h"

#include <exception>
#include <utility>

#include "veltrix/platform/log.h"

namespace veltrix::facade {

CommunicateFactory::CommunicateFactory() : http_(&createHttpTransport), ble_(&createBleTransport) {}

CommunicateFactory::CommunicateFactory(CommunicateCreator http, CommunicateCreator ble)
    : http_(std::move(http)), ble_(std::move(ble)) {}

CommunicateServicePtr CommunicateFactory::createService(std::uint64_t type,
                                                        const std::string& address) const {
  const CommunicateCreator* creator = nullptr;
  if (type == kCommunicateHttp) {
    creator = &http_;
  } else if (type == kCommunicateBle) {
    creator = &ble_;
  }
  if (creator == nullptr || !*creator) return nullptr;
  try {
    return (*creator)(address);
  } catch (const std::exception& e) {
    platform::logf("CommunicateFactory: transport {} not created - {}", type, e.what());
  } catch (...) {
    platform::logf("CommunicateFactory: transport {} not created", type);
  }
  return nullptr;
}

}  // namespace veltrix::facade
