#include "veltrix/builders/reversal_builder.h"

namespace veltrix::model {

ReversalParam ReversalParamBuilder::build() const {
  ReversalParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.orgTransactionDateTime = _orgTransactionDateTime;
  param.orgTransactionReference = _orgTransactionReference;
  param.orgIssuerReferenceData = _orgIssuerReferenceData;
  param.orgPoiTransactionIdentification = _orgPoiTransactionIdentification;
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.currency = _currency;
  param.reversalReason = _reversalReason;
  param.isFullReversal = _isFullReversal;
  param.cashback = _cashback;
  param.issuerReferenceData = _issuerReferenceData;
  param.invoiceNumber = _invoiceNumber;
  param.maskedPAN = _maskedPAN;
  param.cvv2 = _cvv2;
  param.reversedAmount = _reversedAmount;
  param.requestedAmount = _requestedAmount;
  param.authorisationCode = _authorisationCode;
  param.postCode = _postCode;
  param.addressLine = _addressLine;
  param.pan = _pan;
  param.expiryDate = _expiryDate;
  param.orgPoiIdentificationId = _orgPoiIdentificationId;
  param.orgAuthorisationIdentification = _orgAuthorisationIdentification;
  param.orgAuthorisationCode = _orgAuthorisationCode;
  return param;
}

ReversalParam ReversalParam::makeWithBuilder(
    const std::function<void(ReversalParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
