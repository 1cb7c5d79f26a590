#include "veltrix/builders/device_service_builders.h"

namespace veltrix::model {

PrintParam PrintParamBuilder::build() const {
  PrintParam param;
  applyBaseFieldsTo(param);
  param.format = _format;
  param.content = _content;
  return param;
}

PrintParam PrintParam::makeWithBuilder(const std::function<void(PrintParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

DisplayParam DisplayParamBuilder::build() const {
  DisplayParam param;
  applyBaseFieldsTo(param);
  param.displayContents = _displayContents;
  return param;
}

DisplayParam DisplayParam::makeWithBuilder(
    const std::function<void(DisplayParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

ActionMessageParam ActionMessageParamBuilder::build() const {
  ActionMessageParam message;
  message.format = _format;
  message.messageContent = _messageContent;
  message.informationQualifier = _informationQualifier;
  message.messageDestination = _messageDestination;
  message.minimumDisplayTime = _minimumDisplayTime;
  message.responseRequiredFlag = _responseRequiredFlag.has_value();
  return message;
}

ActionMessageParam ActionMessageParam::makeWithBuilder(
    const std::function<void(ActionMessageParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

AbortParam AbortParamBuilder::build() const {
  AbortParam param;
  applyBaseFieldsTo(param);
  param.exchangeIdentification = _exchangeIdentification;
  param.runInBackground = _runInBackground;
  param.orgExchangeIdentification = _orgExchangeIdentification;
  param.orgTransactionReference = _orgTransactionReference;
  param.abortReason = _abortReason;
  param.transactionSuccess = _transactionSuccess;
  return param;
}

AbortParam AbortParam::makeWithBuilder(const std::function<void(AbortParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

CardAuthParam CardAuthParamBuilder::build() const {
  CardAuthParam param;
  applyBaseFieldsTo(param);
  return param;
}

CardAuthParam CardAuthParam::makeWithBuilder(
    const std::function<void(CardAuthParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
