#include "veltrix/codec/nonfinancial_req_builders.h"

#include "veltrix/codec/req_builder_helper.h"
#include "veltrix/codec/transaction_header.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/text_form.h"

namespace veltrix::codec {
namespace {

using platform::Json;
// Present texts (the empty text included) and codes other than 0.
using J = model::JsonForm;

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
  return messageText(message, errorPrefix).value_or("{}");
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
  J::putCode(out, "format", message.format, &model::OutputFormatCodeHelper::stringFromCode);
  J::putText(out, "messageContent", message.messageContent);
  J::putCode(out, "informationQualifier", message.informationQualifier,
             &model::InformationQualifyCodeHelper::stringFromCode);
  J::putCode(out, "messageDestination", message.messageDestination,
             &model::ReceiptOutputTargetHelper::stringFromCode);
  out["minimumDisplayTime"] = message.minimumDisplayTime;
  out["responseRequiredFlag"] = message.responseRequiredFlag;
  J::putText(out, "title", message.title);
  J::putText(out, "positiveButtonText", message.positiveButtonText);
  J::putText(out, "negativeButtonText", message.negativeButtonText);
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
  J::putBaseParamMembers(body, param);
  body["format"] = model::OutputFormatCodeHelper::stringFromCode(param.format);
  if (param.content && !param.content->empty()) body["content"] = *param.content;
  closeBody(body);
  return body;
}

// ---- Transmit message -----------------------------------------------------------------------

Json TransmitMessageReqBuilder::requestBody(const model::TransmitMessageParam& param) const {
  Json body = Json::object();
  J::putBaseParamMembers(body, param);
  J::putText(body, "destinationAddress", param.destinationAddress);
  J::putText(body, "maximumTransmissionTime", param.maximumTransmissionTime);
  J::putText(body, "messageToSend", param.messageToSend);
  J::putText(body, "maximumWaitingTime", param.maximumWaitingTime);
  closeBody(body);
  return body;
}

}  // namespace veltrix::codec
