#include "veltrix/codec/event_notification_parser.h"

#include "veltrix/model/codes.h"

namespace veltrix::codec {

std::shared_ptr<model::EventNotificationParam>
EventNotificationParamBuilder::parseBodyFromDictionary(const platform::Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto record = std::make_shared<model::EventNotificationParam>();
  detail::readResponseFields(*record, *body);
  record->event = model::EventToNotifyCodeHelper::codeFromString(detail::bodyText(*body, "event"));
  record->eventTime = detail::bodyText(*body, "eventTime");
  return record;
}

}  // namespace veltrix::codec
