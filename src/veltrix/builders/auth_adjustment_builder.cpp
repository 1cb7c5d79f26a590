#include "veltrix/builders/auth_adjustment_builder.h"

namespace veltrix::model {

AuthAdjustmentParam AuthAdjustmentParamBuilder::build() const {
  AuthAdjustmentParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.amountQualifier = _amountQualifier;
  param.orgTransactionReference = _orgTransactionReference;
  param.orgIssuerReferenceData = _orgIssuerReferenceData;
  param.orgPoiIdentificationId = _orgPoiIdentificationId;
  param.orgAuthorisationCode = _orgAuthorisationCode;
  param.orgAuthorisationIdentification = _orgAuthorisationIdentification;
  param.orgPoiTransactionIdentification = _orgPoiTransactionIdentification;
  param.orgTransactionDateTime = _orgTransactionDateTime;
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.currency = _currency;
  param.invoiceNumber = _invoiceNumber;
  return param;
}

AuthAdjustmentParam AuthAdjustmentParam::makeWithBuilder(
    const std::function<void(AuthAdjustmentParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
