#include "veltrix/builders/payment_builders.h"

namespace veltrix::model {

PaymentParam PaymentParamBuilder::build() const {
  PaymentParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.totalAmount = _totalAmount;
  param.gratuity = _gratuity;
  param.cashBack = _cashBack;
  param.currency = _currency;
  param.pan = _pan;
  param.track1 = _track1;
  param.track2 = _track2;
  param.track3 = _track3;
  param.maskedPAN = _maskedPAN;
  param.requestedAmount = _requestedAmount;
  param.postCode = _postCode;
  param.addressLine = _addressLine;
  param.expiryDate = _expiryDate;
  param.cvv2 = _cvv2;
  param.saleItems = _saleItems;
  return param;
}

PaymentParam PaymentParam::makeWithBuilder(
    const std::function<void(PaymentParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

RetailerSaleItem RetailerSaleItemBuilder::build() const {
  RetailerSaleItem item;
  item.productCode = _productCode;
  item.unitOfMeasure = _unitOfMeasure;
  item.productAmount = _productAmount;
  item.productQuantity = _productQuantity;
  item.unitPrice = _unitPrice;
  item.productLabel = _productLabel;
  item.productDescription = _productDescription;
  item.valueAddedTax = _valueAddedTax;
  item.taxType = _taxType;
  return item;
}

RetailerSaleItem RetailerSaleItem::makeWithBuilder(
    const std::function<void(RetailerSaleItemBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
