#include "veltrix/model/device_params.h"

#include <fmt/format.h>

#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;

void putText(Json& out, const char* key, const std::optional<std::string>& value) {
  if (value) out[key] = *value;
}

std::string numberOrNull(const std::optional<std::int64_t>& value) {
  return value ? fmt::format("{}", *value) : std::string("(null)");
}

}  // namespace

Json CardReaderAPDUParam::toDictionary() const {
  Json out = Json::object();
  putText(out, "transactionReference", transactionReference);
  if (transactionType != TransactionTypeCode{}) {
    out["transactionType"] = TransactionTypeHelper::stringFromTransactionType(transactionType);
  }
  if (accountType != CardAccountTypeCode{}) {
    out["accountType"] = CardAccountTypeCodeHelper::stringFromCode(accountType);
  }
  putText(out, "cashierIdentification", cashierIdentification);
  putText(out, "exchangeIdentification", exchangeIdentification);
  out["runInBackground"] = runInBackground;
  putText(out, "clazz", clazz);
  putText(out, "instruction", instruction);
  putText(out, "parameter1", parameter1);
  putText(out, "parameter2", parameter2);
  putText(out, "data", data);
  putText(out, "expectedLength", expectedLength);
  return out;
}

std::optional<std::string> CardReaderAPDUParam::toJSONString() const {
  std::string error;
  auto text = platform::dumpJsonPretty(toDictionary(), &error);
  if (!text) platform::logf("Error converting to JSON: {}", error);
  return text;
}

Json MsgDisplayCapabilities::toDictionary() const {
  Json out = Json::object();
  out["destination"] = ReceiptOutputTargetHelper::stringFromCode(destination);
  out["availableFormat"] = MsgCapabilityOutputFormatCodeHelper::stringFromCode(availableFormat);
  if (numberOfLines) out["numberOfLines"] = *numberOfLines;
  if (lineWidth) out["lineWidth"] = *lineWidth;
  putText(out, "availableLanguage", availableLanguage);
  return out;
}

std::optional<std::string> MsgDisplayCapabilities::toJSONString() const {
  std::string error;
  auto text = platform::dumpJsonPretty(toDictionary(), &error);
  if (!text) platform::logf("❌ JSON 序列化失败: {}", error);
  return text;
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
