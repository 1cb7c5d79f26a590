// The simulated terminal's default answer to a casp request: two event
// notifications, then a successful response of the request's service type
// with realistic fields that echo the request's amounts and references.
// Every message is written from literal formats, one per line.
//
// Stateless apart from a process-wide counter for transaction numbers;
// thread-safe.
#pragma once

#include "sim/reply.h"

namespace veltrix::sim {

// The serial number the simulated terminal gives itself.
inline constexpr const char* kTerminalSerial = "TAVIO-SIM-0001";

// The default reply to `request`, each message after `gap`. A request whose
// body is not a JSON object gets 400; HEAD and GET get a plain 200.
Reply defaultReply(const RecordedRequest& request, Millis gap);

}  // namespace veltrix::sim
