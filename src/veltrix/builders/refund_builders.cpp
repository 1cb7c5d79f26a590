#include "veltrix/builders/refund_builders.h"

namespace veltrix::model {

RefundParam RefundParamBuilder::build() const {
  RefundParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.orgTransactionReference = _orgTransactionReference;
  param.orgTransactionDateTime = _orgTransactionDateTime;
  param.orgIssuerReferenceData = _orgIssuerReferenceData;
  param.orgPoiIdentificationId = _orgPoiIdentificationId;
  param.orgPoiTransactionIdentification = _orgPoiTransactionIdentification;
  param.orgAuthorisationCode = _orgAuthorisationCode;
  param.isFullReversal = _isFullReversal;
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.invoiceNumber = _invoiceNumber;
  param.postCode = _postCode;
  param.addressLine = _addressLine;
  param.currency = _currency;
  param.maskedPAN = _maskedPAN;
  param.pan = _pan;
  param.expiryDate = _expiryDate;
  param.cvv2 = _cvv2;
  param.saleItems = _saleItems;
  return param;
}

RefundParam RefundParam::makeWithBuilder(
    const std::function<void(RefundParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

ReconciliationParam ReconciliationParamBuilder::build() const {
  ReconciliationParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.reconciliationType = _reconciliationType;
  param.acquirerIdentification = _acquirerIdentification;
  param.poiReconciliationIdentification = _poiReconciliationIdentification;
  return param;
}

ReconciliationParam ReconciliationParam::makeWithBuilder(
    const std::function<void(ReconciliationParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
