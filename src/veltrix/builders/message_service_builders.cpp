#include "veltrix/builders/message_service_builders.h"

namespace veltrix::model {
namespace {

void appendQualifier(std::optional<std::vector<std::string>>& list,
                     std::optional<std::string> text) {
  if (!list) list.emplace();
  if (text) list->push_back(std::move(*text));
}

}  // namespace

NFCTagParam NFCTagParamBuilder::build() const {
  NFCTagParam param;
  applyBaseFieldsTo(param);
  param.runInBackground = _runInBackground;
  param.messageContent = _messageContent;
  param.maximumWaitingTime = _maximumWaitingTime;
  param.detectCount = _detectCount;
  return param;
}

NFCTagParam NFCTagParam::makeWithBuilder(
    const std::function<void(NFCTagParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

TransmitMessageParam TransmitMessageParamBuilder::build() const {
  TransmitMessageParam param;
  applyBaseFieldsTo(param);
  param.destinationAddress = _destinationAddress;
  param.maximumTransmissionTime = _maximumTransmissionTime;
  param.messageToSend = _messageToSend;
  param.maximumWaitingTime = _maximumWaitingTime;
  return param;
}

TransmitMessageParam TransmitMessageParam::makeWithBuilder(
    const std::function<void(TransmitMessageParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

MessageStatusParamBuilder& MessageStatusParamBuilder::addDocumentQualifier(
    std::optional<std::string> v) {
  appendQualifier(_documentQualifier, std::move(v));
  return *this;
}

MessageStatusParam MessageStatusParamBuilder::build() const {
  MessageStatusParam param;
  applyBaseFieldsTo(param);
  param.orgExchangeIdentification = _orgExchangeIdentification;
  param.initiatingPartyIdentification = _initiatingPartyIdentification;
  param.receiptReprintFlag = _receiptReprintFlag;
  param.documentQualifier = _documentQualifier;
  param.orgTransactionReference = _orgTransactionReference;
  param.orgTransactionType = _orgTransactionType;
  param.runInBackground = _runInBackground;
  return param;
}

MessageStatusParam MessageStatusParam::makeWithBuilder(
    const std::function<void(MessageStatusParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

ReprintParamBuilder& ReprintParamBuilder::addDocumentQualifier(std::optional<std::string> v) {
  appendQualifier(_documentQualifier, std::move(v));
  return *this;
}

ReprintParam ReprintParamBuilder::build() const {
  ReprintParam param;
  applyBaseFieldsTo(param);
  param.exchangeIdentification = _exchangeIdentification;
  param.runInBackground = _runInBackground;
  param.orgExchangeIdentification = _orgExchangeIdentification;
  param.initiatingPartyIdentification = _initiatingPartyIdentification;
  param.documentQualifier = _documentQualifier;
  param.orgTransactionReference = _orgTransactionReference;
  param.orgTransactionType = _orgTransactionType;
  return param;
}

ReprintParam ReprintParam::makeWithBuilder(
    const std::function<void(ReprintParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
