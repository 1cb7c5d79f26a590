// The simulated terminal's script: which reply answers which request.
//
// Scripted replies are taken in the order they were added, each by the first
// request it matches (a repeating reply stays for the next one). A request
// that no scripted reply matches gets the default reply of its service type
// (see default_scenario.h) unless defaults are turned off, in which case it
// gets 404.
//
// A scenario file (tavio-sim --script FILE) is JSON:
//
//   { "defaults": true, "defaultDelayMs": 100,
//     "replies": [ {
//       "match": { "method": "POST", "serviceType": "Purchase" },
//       "repeat": false,
//       "status": 200, "reason": "OK", "contentType": "application/json",
//       "framing": "chunked" | "content-length" | "close",
//       "headers": { "X-Name": "value" },
//       "headerDelayMs": 0,
//       "messages": [ "literal text",
//                     { "text": "...", "delayMs": 50, "splitAt": [10, 11],
//                       "pieceDelayMs": 5 } ],
//       "cuts": [120, 260], "cutDelayMs": 5,
//       "fault": "none" | "close-without-data" | "hold-open" | "reset",
//       "holdMs": 10000 } ] }
//
// In message texts "${exchangeIdentification}" and "${serviceType}" stand
// for the request's values. "cuts", when given, cuts the whole body at those
// byte offsets instead of at message boundaries. An example script:
// tools/sim/declined-payment.json, which declines every payment.
//
// Thread-compatible value; the simulator guards its scenario with a lock.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/default_scenario.h"
#include "sim/ledger.h"
#include "sim/reply.h"

namespace veltrix::sim {

using ReplyMaker = std::function<Reply(const RecordedRequest&)>;

class Scenario {
 public:
  void add(Reply reply, ReplyMatch match = {}, bool repeat = false);
  void add(ReplyMaker maker, ReplyMatch match = {}, bool repeat = false);
  void setDefaultsEnabled(bool enabled) { defaults_ = enabled; }
  // Pause before each message of a default reply.
  void setDefaultDelay(Millis delay) { defaultDelay_ = delay; }

  // The reply for `request`; consumes a scripted reply that does not repeat.
  // A default reply answers as the terminal `serial` and records into
  // `ledger` (may be null).
  Reply replyFor(const RecordedRequest& request, std::string_view serial = kTerminalSerial,
                 Ledger* ledger = nullptr);

  static std::optional<Scenario> fromJson(std::string_view text, std::string* error = nullptr);
  static std::optional<Scenario> fromFile(const std::string& path, std::string* error = nullptr);

 private:
  struct Entry {
    ReplyMaker maker;
    ReplyMatch match;
    bool repeat = false;
  };
  std::deque<Entry> entries_;
  bool defaults_ = true;
  Millis defaultDelay_{100};
};

}  // namespace veltrix::sim
