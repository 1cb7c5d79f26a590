#include "veltrix/model/text_form.h"

#include <fmt/format.h>

#include "veltrix/platform/log.h"

namespace veltrix::model {

using platform::Json;

std::string TextForm::jsonList(const std::optional<std::vector<Json>>& list) const {
  if (!list) return std::string(absentMarker);
  try {
    Json array = Json::array();
    for (const Json& value : *list) array.push_back(value);
    return array.dump(-1, ' ', false, Json::error_handler_t::replace);
  } catch (...) {
    return "[]";
  }
}

void TextForm::line(std::string& out, std::string_view label, std::string_view value) {
  out += label;
  out += ": ";
  out += value;
  out += '\n';
}

void JsonForm::putBaseMembers(Json& out, const BaseResult& result) {
  putText(out, "exchangeIdentification", result.exchangeIdentification);
  putText(out, "cashierIdentification", result.cashierIdentification);
  putText(out, "recipientPartyIdentification", result.recipientPartyIdentification);
  putCode(out, "response", result.response, &ResponseCodeHelper::stringFromCode);
  putCode(out, "responseReason", result.responseReason,
          &RetailerResultDetailCodeHelper::stringFromCode);
  putText(out, "authRspnReason", result.authRspnReason);
  putText(out, "additionalResponseInformation", result.additionalResponseInformation);
  putText(out, "issuerReferenceData", result.issuerReferenceData);
}

void JsonForm::putBaseParamMembers(Json& out, const BaseParams& param) {
  putText(out, "transactionReference", param.transactionReference);
  putCode(out, "transactionType", param.transactionType,
          &TransactionTypeHelper::stringFromTransactionType);
  putCode(out, "accountType", param.accountType, &CardAccountTypeCodeHelper::stringFromCode);
  putText(out, "cashierIdentification", param.cashierIdentification);
}

Json JsonForm::receiptArray(const std::vector<PrintReceipt>& receipts) {
  const TextForm form{"", ""};
  Json array = Json::array();
  for (const PrintReceipt& receipt : receipts) {
    array.push_back(Json{
        {"format", form.elementCode(receipt.format, &OutputFormatCodeHelper::stringFromCode)},
        {"messageContent", receipt.messageContent.value_or("")},
        {"documentQualifier",
         form.elementCode(receipt.documentQualifier, &ReceiptOutputTargetHelper::stringFromCode)},
    });
  }
  return array;
}

std::string JsonForm::text(const Json& object) {
  std::string error;
  if (auto text = platform::dumpJsonPretty(object, &error)) return std::move(*text);
  return fmt::format("Error converting to JSON: {}", error);
}

std::optional<std::string> JsonForm::textOrLog(const Json& object, std::string_view failure) {
  std::string error;
  std::optional<std::string> text = platform::dumpJsonPretty(object, &error);
  if (!text) platform::logf("{}: {}", failure, error);
  return text;
}

}  // namespace veltrix::model
