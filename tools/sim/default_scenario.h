// The simulated terminal's default answer to a casp request: two event
// notifications, then a successful response of the request's service type
// with realistic fields that echo the request's amounts and references.
// Every message is written from literal formats, one per line.
//
// Each terminal answers as itself: its serial number goes into every
// message, and what it approves goes into its ledger, from which its
// reconciliation totals come. Apart from that ledger and a process-wide
// counter for transaction numbers it keeps no state; thread-safe.
#pragma once

#include <string_view>

#include "sim/ledger.h"
#include "sim/reply.h"

namespace veltrix::sim {

// The serial number the simulated terminal gives itself.
inline constexpr const char* kTerminalSerial = "TAVIO-SIM-0001";

// The default reply to `request`, each message after `gap`. A request whose
// body is not a JSON object gets 400; HEAD and GET get a plain 200.
// `ledger` may be null: nothing is recorded and the totals are empty.
Reply defaultReply(const RecordedRequest& request, Millis gap,
                   std::string_view serial = kTerminalSerial, Ledger* ledger = nullptr);

}  // namespace veltrix::sim
