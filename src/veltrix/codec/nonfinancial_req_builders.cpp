#include "veltrix/codec/nonfinancial_req_builders.h"

#include "veltrix/codec/transaction_header.h"
#include "veltrix/model/codes.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {
namespace {

using platform::Json;

// Writes a present text, the empty text included.
void addIfPresent(Json& body, std::string_view key, const std::optional<std::string>& value) {
  if (value) body[key] = *value;
}

// Abort, card authentication, display, message status and NFC tag: empty
// texts dropped, an unset transaction type "Unknown", account type always.
template <typename Builder>
void addBaseFieldsForm1(Json& body, const model::BaseParams& param) {
  Builder::addIfNotNull(body, "transactionReference", param.transactionReference);
  body["transactionType"] =
      model::TransactionTypeHelper::stringFromTransactionType(param.transactionType);
  body["accountType"] = model::CardAccountTypeCodeHelper::stringFromCode(param.accountType);
  Builder::addIfNotNull(body, "cashierIdentification", param.cashierIdentification);
}

// Print and transmit message: empty texts kept, unset codes left out.
void addBaseFieldsForm2(Json& body, const model::BaseParams& param) {
  addIfPresent(body, "transactionReference", param.transactionReference);
  if (param.transactionType != model::TransactionTypeCode{}) {
    body["transactionType"] =
        model::TransactionTypeHelper::stringFromTransactionType(param.transactionType);
  }
  if (param.accountType != model::CardAccountTypeCode{}) {
    body["accountType"] = model::CardAccountTypeCodeHelper::stringFromCode(param.accountType);
  }
  addIfPresent(body, "cashierIdentification", param.cashierIdentification);
}

void closeBody(Json& body) { body["runInBackground"] = false; }

}  // namespace

namespace detail {

Json nonFinancialMessage(const model::ServiceParams* service, std::optional<Json> body) {
  if (service == nullptr) return Json::object();
  Json message = TransactionHeaderBuilder::buildHeaderWithServiceParams(*service);
  if (body) message["request"] = std::move(*body);
  return message;
}

std::string nonFinancialJson(const Json& message, std::string_view errorPrefix) {
  std::string error;
  std::optional<std::string> text = platform::dumpJsonPretty(message, &error);
  if (!text) {
    platform::logf("{}{}", errorPrefix, error);
    return "{}";
  }
  return std::move(*text);
}

}  // namespace detail

// ---- Abort ----------------------------------------------------------------------------------

Json AbortReqBuilder::buildBodyWithAbortParam(const model::AbortParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json AbortReqBuilder::requestBody(const model::AbortParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm1<AbortReqBuilder>(body, param);
  addIfNotNull(body, "orgExchangeIdentification", param.orgExchangeIdentification);
  addIfNotNull(body, "abortReason", param.abortReason);
  closeBody(body);
  return body;
}

// ---- Card authentication ----------------------------------------------------------------------

Json CardAuthReqBuilder::buildBodyWithCardAuthParam(const model::CardAuthParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json CardAuthReqBuilder::requestBody(const model::CardAuthParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm1<CardAuthReqBuilder>(body, param);
  closeBody(body);
  return body;
}

// ---- Display --------------------------------------------------------------------------------

Json DisplayReqBuilder::buildBodyWithDisplayParam(const model::DisplayParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json DisplayReqBuilder::requestBody(const model::DisplayParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm1<DisplayReqBuilder>(body, param);
  addDisplayContentsIfNeeded(body, param);
  closeBody(body);
  return body;
}

void DisplayReqBuilder::addDisplayContentsIfNeeded(Json& body,
                                                   const model::DisplayParam& param) const {
  if (!param.displayContents || param.displayContents->empty()) return;
  Json list = Json::array();
  for (const model::ActionMessageParam& message : *param.displayContents) {
    list.push_back(toDictionary(message));
  }
  body["displayContents"] = std::move(list);
}

Json DisplayReqBuilder::toDictionary(const model::ActionMessageParam& message) const {
  Json out = Json::object();
  if (message.format != model::OutputFormatCode{}) {
    out["format"] = model::OutputFormatCodeHelper::stringFromCode(message.format);
  }
  addIfPresent(out, "messageContent", message.messageContent);
  if (message.informationQualifier != model::InformationQualifyCode{}) {
    out["informationQualifier"] =
        model::InformationQualifyCodeHelper::stringFromCode(message.informationQualifier);
  }
  if (message.messageDestination != model::ReceiptOutputTargetCode{}) {
    out["messageDestination"] =
        model::ReceiptOutputTargetHelper::stringFromCode(message.messageDestination);
  }
  out["minimumDisplayTime"] = message.minimumDisplayTime;
  out["responseRequiredFlag"] = message.responseRequiredFlag;
  addIfPresent(out, "title", message.title);
  addIfPresent(out, "positiveButtonText", message.positiveButtonText);
  addIfPresent(out, "negativeButtonText", message.negativeButtonText);
  return out;
}

// ---- Message status -------------------------------------------------------------------------

Json MessageStatusReqBuilder::buildBodyWithMessageStatusParam(
    const model::MessageStatusParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json MessageStatusReqBuilder::requestBody(const model::MessageStatusParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm1<MessageStatusReqBuilder>(body, param);
  addIfNotNull(body, "orgExchangeIdentification", param.orgExchangeIdentification);
  addIfNotNull(body, "initiatingPartyIdentification", param.initiatingPartyIdentification);
  addIfNotNull(body, "documentQualifier", param.documentQualifier);
  addIfNotNull(body, "orgTransactionReference", param.orgTransactionReference);
  body["orgTransactionType"] =
      model::TransactionTypeHelper::stringFromTransactionType(param.orgTransactionType);
  body["receiptReprintFlag"] = param.receiptReprintFlag;
  closeBody(body);
  return body;
}

// ---- NFC tag --------------------------------------------------------------------------------

Json NFCTagReqBuilder::buildBodyWithNFCTagParam(const model::NFCTagParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json NFCTagReqBuilder::requestBody(const model::NFCTagParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm1<NFCTagReqBuilder>(body, param);
  addIfNotNull(body, "messageContent", param.messageContent);
  if (param.maximumWaitingTime > 0) body["maximumWaitingTime"] = param.maximumWaitingTime;
  if (param.detectCount > 0) body["detectCount"] = param.detectCount;
  closeBody(body);
  return body;
}

// ---- Print ----------------------------------------------------------------------------------

Json PrintReqBuilder::toDictionary(const model::PrintParam* param) const {
  return param != nullptr ? requestBody(*param) : Json::object();
}

Json PrintReqBuilder::requestBody(const model::PrintParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm2(body, param);
  body["format"] = model::OutputFormatCodeHelper::stringFromCode(param.format);
  if (param.content && !param.content->empty()) body["content"] = *param.content;
  closeBody(body);
  return body;
}

// ---- Transmit message -----------------------------------------------------------------------

Json TransmitMessageReqBuilder::requestBody(const model::TransmitMessageParam& param) const {
  Json body = Json::object();
  addBaseFieldsForm2(body, param);
  addIfPresent(body, "destinationAddress", param.destinationAddress);
  addIfPresent(body, "maximumTransmissionTime", param.maximumTransmissionTime);
  addIfPresent(body, "messageToSend", param.messageToSend);
  addIfPresent(body, "maximumWaitingTime", param.maximumWaitingTime);
  closeBody(body);
  return body;
}

}  // namespace veltrix::codec
