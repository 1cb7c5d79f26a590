#include "veltrix/builders/preauth_builders.h"

namespace veltrix::model {

PreAuthParam PreAuthParamBuilder::build() const {
  PreAuthParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.cashback = _cashback;
  param.currency = _currency;
  param.pan = _pan;
  param.track1 = _track1;
  param.track2 = _track2;
  param.track3 = _track3;
  param.maskedPAN = _maskedPAN;
  param.postCode = _postCode;
  param.addressLine = _addressLine;
  param.expiryDate = _expiryDate;
  param.cvv2 = _cvv2;
  param.saleItems = _saleItems;
  param.merchantCategoryCode = _merchantCategoryCode;
  return param;
}

PreAuthParam PreAuthParam::makeWithBuilder(
    const std::function<void(PreAuthParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

PreAuthCompletionParam PreAuthCompletionParamBuilder::build() const {
  PreAuthCompletionParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  const CardAccountTypeCode given = financialBuilder().baseBuilder()._accountType;
  param.accountType = given != CardAccountTypeCode{} ? given : _accountType;
  param.orgTransactionReference = _orgTransactionReference;
  param.orgTransactionDateTime = _orgTransactionDateTime;
  param.orgIssuerReferenceData = _orgIssuerReferenceData;
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.currency = _currency;
  param.orgAuthorisationCode = _orgAuthorisationCode;
  param.invoiceNumber = _invoiceNumber;
  param.orgPoiIdentificationId = _orgPoiIdentificationId;
  param.orgPoiTransactionIdentification = _orgPoiTransactionIdentification;
  param.orgAuthorisationIdentification = _orgAuthorisationIdentification;
  param.postCode = _postCode;
  param.addressLine = _addressLine;
  return param;
}

PreAuthCompletionParam PreAuthCompletionParam::makeWithBuilder(
    const std::function<void(PreAuthCompletionParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
