// The notification parser as the transports call it: with the top-level
// "response" value of whatever arrived, or with no value at all.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using veltrix::codec::EventNotificationParamBuilder;
  using veltrix::platform::Json;
  static const bool quiet = [] {
    veltrix::platform::setLogSink([](std::string_view) {});
    return true;
  }();
  (void)quiet;
  const std::optional<Json> value = veltrix::platform::parseJsonFragment(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (!value) {
    EventNotificationParamBuilder::parseBodyFromDictionary(nullptr);
    return 0;
  }
  EventNotificationParamBuilder::parseBodyFromDictionary(&*value);
  if (value->is_object()) {
    auto it = value->find("response");
    EventNotificationParamBuilder::parseBodyFromDictionary(it != value->end() ? &*it : nullptr);
  }
  return 0;
}
