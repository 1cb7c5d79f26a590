// CommunicateFactory: the transport of one request. Type 0 is the local
// network (a new HTTP transport for the URL given), type 1 Bluetooth LE (the
// shared transport; the address is not used), any other type none.
//
// The transports are made by creators the factory is given, so the facade
// does not depend on how a transport is built and tests put fakes in their
// place. The default factory uses createHttpTransport() and
// createBleTransport(); a type whose creator gives none fails the request
// as a transport failure.
//
// A plain value; createService() runs the creator on the calling thread (the
// main loop on the dispatch road).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "veltrix/transport/communicate_service.h"

namespace veltrix::facade {

using CommunicateServicePtr = std::shared_ptr<transport::CommunicateServiceProtocol>;
// Makes the transport for `address`, or gives null when it cannot.
using CommunicateCreator = std::function<CommunicateServicePtr(const std::string& address)>;

inline constexpr std::uint64_t kCommunicateHttp = 0;
inline constexpr std::uint64_t kCommunicateBle = 1;

// The HTTP transport posting to `url` ("http://ip:port"), and the shared
// Bluetooth LE transport; null when there is none. Defined in
// transport_hooks.cpp.
CommunicateServicePtr createHttpTransport(const std::string& url);
CommunicateServicePtr createBleTransport(const std::string& address);

class CommunicateFactory {
 public:
  // createHttpTransport for type 0, createBleTransport for type 1.
  CommunicateFactory();
  // Either creator may be empty: its type then gives no transport.
  CommunicateFactory(CommunicateCreator http, CommunicateCreator ble);

  // The transport of `type` for `address`; null for an unknown type, a
  // missing creator, or a creator that fails (logged).
  CommunicateServicePtr createService(std::uint64_t type, const std::string& address) const;

 private:
  CommunicateCreator http_;
  CommunicateCreator ble_;
};

}  // namespace veltrix::facade
