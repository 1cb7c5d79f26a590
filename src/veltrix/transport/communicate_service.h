// The one interface through which the facade hands a finished request
// message to a terminal service and gets its notifications and final
// response back. Implemented by the HTTP transport (one object per request)
// and the Bluetooth LE transport (a singleton keyed by serial number).
//
// Both blocks are called on the main loop. Every message whose serviceType
// is "EventNotification" goes to the progress block; every other message
// goes to the result block with code 0 and its end flag; a failure goes to
// the result block with a non-zero code, no response and end flag true.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/model/abort_reprint_results.h"

namespace veltrix::transport {

// (exchange identifier written in the notification, its serviceType, the
// parsed notification or nullptr when its body could not be parsed).
using CommunicateProgressBlock = std::function<void(
    std::optional<std::string> exchangeIdentification, std::optional<std::string> serviceType,
    std::shared_ptr<const model::EventNotificationParam> notification)>;

// (complete message text or absent on failure, the exchange identifier given
// to the send, end flag, the service type given to the send, 0 or an error
// code, absent or a message).
using CommunicateResultBlock = std::function<void(
    std::optional<std::string> response, std::optional<std::string> exchangeId, bool endFlag,
    std::optional<std::string> serviceType, std::int64_t code, std::optional<std::string> msg)>;

class CommunicateServiceProtocol {
 public:
  virtual ~CommunicateServiceProtocol() = default;

  // Sends `request` and reports through the blocks. `address` is the
  // terminal's serial number (the HTTP transport ignores it: its target is
  // fixed at creation).
  virtual void sendRequest(std::optional<std::string> request,
                           std::optional<std::string> exchangeId,
                           std::optional<std::string> serviceType,
                           std::optional<std::string> address, CommunicateProgressBlock progress,
                           CommunicateResultBlock result) = 0;
};

}  // namespace veltrix::transport
