#include "veltrix/builders/base_financial_builder.h"

namespace veltrix::model {

void BaseFinancialParamBuilder::applyBaseFinancialParamsTo(BaseFinancialParam& param) const {
  param.transactionReference = baseBuilder_._transactionReference;
  param.transactionType = baseBuilder_._transactionType;
  param.accountType = baseBuilder_._accountType;
  param.cashierIdentification = baseBuilder_._cashierIdentification;
  param.servicesParams = baseBuilder_._servicesParams;
  param.runInBackground = baseBuilder_._runInBackground || _runInBackground;
  param.fees = _fees;
  param.valueAddedTaxs = _valueAddedTaxs;
  param.additionalSaleData = _additionalSaleData;
  param.additionalSaleData1 = _additionalSaleData1;
  param.additionalSaleData2 = _additionalSaleData2;
  param.cardBrand = _cardBrand;
  param.cardDataEntryMode = _cardDataEntryMode;
  param.forceOnlineFlag = _forceOnlineFlag;
  param.partialApproval = _partialApproval;
  param.receiptConstruct = _receiptConstruct;
  param.mobilePhone = _mobilePhone;
  param.emailAddress = _emailAddress;
  param.merchantIdentification = _merchantIdentification;
  param.merchantIdentificationName = _merchantIdentificationName;
  param.poiIdentificationId = _poiIdentificationId;
  param.tokenIdentification = _tokenIdentification;
  param.requiredESignFlag = _requiredESignFlag;
  param.attendanceContext = _attendanceContext;
  param.acquireManagerPwd = _acquireManagerPwd;
}

BaseFinancialParam BaseFinancialParam::makeWithBuilder(
    const std::function<void(BaseFinancialParamBuilder&)>& configure) {
  BaseFinancialParamBuilder builder;
  if (configure) configure(builder);
  BaseFinancialParam param;
  builder.applyBaseFinancialParamsTo(param);
  return param;
}

}  // namespace veltrix::model
