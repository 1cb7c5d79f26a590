#include "veltrix/model/device_params.h"

#include <fmt/format.h>

#include "veltrix/model/text_form.h"

namespace veltrix::model {
namespace {

using platform::Json;
using J = JsonForm;

std::string numberOrNull(const std::optional<std::int64_t>& value) {
  return value ? fmt::format("{}", *value) : std::string("(null)");
}

}  // namespace

Json CardReaderAPDUParam::toDictionary() const {
  Json out = Json::object();
  J::putBaseParamMembers(out, *this);
  J::putText(out, "exchangeIdentification", exchangeIdentification);
  out["runInBackground"] = runInBackground;
  J::putText(out, "clazz", clazz);
  J::putText(out, "instruction", instruction);
  J::putText(out, "parameter1", parameter1);
  J::putText(out, "parameter2", parameter2);
  J::putText(out, "data", data);
  J::putText(out, "expectedLength", expectedLength);
  return out;
}

std::optional<std::string> CardReaderAPDUParam::toJSONString() const {
  return J::textOrLog(toDictionary(), "Error converting to JSON");
}

Json MsgDisplayCapabilities::toDictionary() const {
  Json out = Json::object();
  out["destination"] = ReceiptOutputTargetHelper::stringFromCode(destination);
  out["availableFormat"] = MsgCapabilityOutputFormatCodeHelper::stringFromCode(availableFormat);
  if (numberOfLines) out["numberOfLines"] = *numberOfLines;
  if (lineWidth) out["lineWidth"] = *lineWidth;
  J::putText(out, "availableLanguage", availableLanguage);
  return out;
}

std::optional<std::string> MsgDisplayCapabilities::toJSONString() const {
  return J::textOrLog(toDictionary(), "❌ JSON 序列化失败");
}

std::string MsgDisplayCapabilities::toString() const {
  const std::string language =
      availableLanguage ? fmt::format("'{}'", *availableLanguage) : std::string("null");
  return fmt::format(
      "MsgDisplayCapabilities{{destination='{}', availableFormat='{}', numberOfLines={}, "
      "lineWidth={}, availableLanguage={}}}",
      ReceiptOutputTargetHelper::stringFromCode(destination),
      MsgCapabilityOutputFormatCodeHelper::stringFromCode(availableFormat),
      numberOrNull(numberOfLines), numberOrNull(lineWidth), language);
}

}  // namespace veltrix::model
