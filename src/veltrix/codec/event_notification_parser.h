// EventNotificationParamBuilder: turns the "response" object of a terminal's
// event notification (a message whose top-level "serviceType" is
// "EventNotification") into an EventNotificationParam.
//
// The transports recognise notifications themselves and call the static
// parseBodyFromDictionary with the message's top-level "response" value (or
// null when it has none), then pass the record, possibly null, to their
// progress block with the message's own "exchangeIdentification": the
// record does not carry it. The whole-message frame of rspn_frame.h is
// available too but unused.
//
// Stateless apart from the frame; parseBodyFromDictionary runs on any
// thread (the transports call it on the main loop).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "veltrix/codec/response_delegates.h"
#include "veltrix/codec/rspn_frame.h"
#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

class EventNotificationParamBuilder
    : public RspnFrame<EventNotificationParamBuilder, model::EventNotificationParam,
                       EventNotificationParamBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "EventNotificationParamBuilder";

  // A new record of "recipientPartyIdentification", "response" (FAIL when
  // missing), "responseReason" (REFU), "refualResponse" (DECLINED),
  // "additionalResponseInformation", "event" (any letter case; INIT when
  // missing or unknown) and "eventTime". Null or no object: logs
  // "EventNotificationParamBuilder: 无效的报文体数据" and gives null.
  static std::shared_ptr<model::EventNotificationParam> parseBodyFromDictionary(
      const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(EventNotificationParamBuilderDelegate& delegate,
                      std::shared_ptr<const model::EventNotificationParam> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onEventNotificationResponse(std::move(result), exchangeId, endFlag);
  }
};

}  // namespace veltrix::codec
