// The error codes and messages with which the facade ends a request. They
// reach the host's result block with no result object; abort's own block
// gets them as (code, message).
#pragma once

#include <cstdint>
#include <string_view>

namespace veltrix::facade {

// The requested terminal (and service identifier) offers no such service,
// or the scan screen closed without a choice.
inline constexpr std::int64_t kErrorServiceNotFound = -101;
inline constexpr std::string_view kMsgServiceNotSupport = "Service not support";
inline constexpr std::string_view kMsgServiceNotFound = "Service not found";

// Several services of the type on the requested terminal and no service
// identifier.
inline constexpr std::int64_t kErrorMultipleServices = -102;
inline constexpr std::string_view kMsgMultipleServices =
    "Multiple services of the same type exist without specifying ServiceId";

// The terminal could not be reached, or the request could not be sent. A
// transport failure carries the transport's own message.
inline constexpr std::int64_t kErrorConnect = -200;
inline constexpr std::string_view kMsgFailToConnect = "fail to connect";
inline constexpr std::string_view kMsgFailToPing = "fail to ping terminal";
// The request's text could not be written as a message (not valid UTF-8).
inline constexpr std::string_view kMsgFailToEncode = "fail to encode request";
// No transport exists for the chosen road (the transport reports it as
// its own failure).
inline constexpr std::string_view kMsgNoTransport = "transport not available";

// The library ended the request, not the terminal: its RetailerManager was
// destroyed while it was in flight, or the process was exiting when it was
// made. A payment may still have been carried out on the terminal; the host
// asks the terminal (message status) before it repeats one.
inline constexpr std::int64_t kErrorRequestCancelled = -300;
inline constexpr std::string_view kMsgManagerDestroyed = "request cancelled: manager destroyed";
inline constexpr std::string_view kMsgProcessExiting = "request refused: process exiting";

// A service identifier with neither serial number nor address.
inline constexpr std::int64_t kErrorServiceIdCheck = -500;
inline constexpr std::string_view kMsgServiceIdCheck = "fail to check serviceId";

// Abort only: the exchange to abort is not in the exchange log. The text is
// what hosts already match on.
inline constexpr std::int64_t kErrorAbortCheck = -403;
inline constexpr std::string_view kMsgAbortCheck = "check resule failed";

}  // namespace veltrix::facade
