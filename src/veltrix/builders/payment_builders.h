// PaymentParamBuilder, the builder of a payment request, and
// RetailerSaleItemBuilder, the builder of one sale line of a payment, refund
// or pre-authorisation. Reached through PaymentParam::makeWithBuilder and
// RetailerSaleItem::makeWithBuilder.
//
// Plain values used on the caller's thread, without locks. Amounts are text
// and pass through unparsed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "veltrix/builders/base_financial_builder.h"
#include "veltrix/builders/chain_setters.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/sale_item.h"

namespace veltrix::model {

class PaymentParamBuilder : public FinancialBuilder<PaymentParamBuilder> {
 public:
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  std::optional<std::string> _cashBack;
  ISO4217ActiveCurrency _currency{};
  std::optional<std::string> _pan;
  std::optional<std::string> _track1;
  std::optional<std::string> _track2;
  std::optional<std::string> _track3;
  std::optional<std::string> _maskedPAN;
  std::optional<std::string> _requestedAmount;
  // Never applied: the payment request has no such field.
  std::optional<std::string> _saleReferenceIdentification;
  std::optional<std::string> _postCode;
  std::optional<std::string> _addressLine;
  std::optional<std::string> _expiryDate;
  std::optional<std::string> _cvv2;
  std::optional<std::vector<RetailerSaleItem>> _saleItems;

  PaymentParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  PaymentParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  PaymentParamBuilder& cashBack(std::optional<std::string> v) {
    return store(_cashBack, std::move(v));
  }
  PaymentParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  PaymentParamBuilder& pan(std::optional<std::string> v) { return store(_pan, std::move(v)); }
  PaymentParamBuilder& track1(std::optional<std::string> v) { return store(_track1, std::move(v)); }
  PaymentParamBuilder& track2(std::optional<std::string> v) { return store(_track2, std::move(v)); }
  PaymentParamBuilder& track3(std::optional<std::string> v) { return store(_track3, std::move(v)); }
  PaymentParamBuilder& maskedPAN(std::optional<std::string> v) {
    return store(_maskedPAN, std::move(v));
  }
  PaymentParamBuilder& requestedAmount(std::optional<std::string> v) {
    return store(_requestedAmount, std::move(v));
  }
  PaymentParamBuilder& saleReferenceIdentification(std::optional<std::string> v) {
    return store(_saleReferenceIdentification, std::move(v));
  }
  PaymentParamBuilder& postCode(std::optional<std::string> v) {
    return store(_postCode, std::move(v));
  }
  PaymentParamBuilder& addressLine(std::optional<std::string> v) {
    return store(_addressLine, std::move(v));
  }
  PaymentParamBuilder& expiryDate(std::optional<std::string> v) {
    return store(_expiryDate, std::move(v));
  }
  PaymentParamBuilder& cvv2(std::optional<std::string> v) { return store(_cvv2, std::move(v)); }
  // An absent list is stored as an empty one; never calling it leaves the
  // payment's list absent.
  PaymentParamBuilder& saleItems(std::optional<std::vector<RetailerSaleItem>> v) {
    return store(_saleItems, builder_detail::orEmpty(std::move(v)));
  }

  PaymentParam build() const;
};

class RetailerSaleItemBuilder : public ChainSetterSupport<RetailerSaleItemBuilder> {
 public:
  std::optional<std::string> _productCode;
  UnitOfMeasureCode _unitOfMeasure{};
  std::optional<std::string> _productAmount;
  std::optional<std::string> _productQuantity;
  std::optional<std::string> _unitPrice;
  std::optional<std::string> _productLabel;
  std::optional<std::string> _productDescription;
  std::optional<std::string> _valueAddedTax;
  std::optional<std::string> _taxType;

  RetailerSaleItemBuilder& productCode(std::optional<std::string> v) {
    return store(_productCode, std::move(v));
  }
  RetailerSaleItemBuilder& unitOfMeasure(UnitOfMeasureCode v) { return store(_unitOfMeasure, v); }
  RetailerSaleItemBuilder& productAmount(std::optional<std::string> v) {
    return store(_productAmount, std::move(v));
  }
  RetailerSaleItemBuilder& productQuantity(std::optional<std::string> v) {
    return store(_productQuantity, std::move(v));
  }
  RetailerSaleItemBuilder& unitPrice(std::optional<std::string> v) {
    return store(_unitPrice, std::move(v));
  }
  RetailerSaleItemBuilder& productLabel(std::optional<std::string> v) {
    return store(_productLabel, std::move(v));
  }
  RetailerSaleItemBuilder& productDescription(std::optional<std::string> v) {
    return store(_productDescription, std::move(v));
  }
  RetailerSaleItemBuilder& valueAddedTax(std::optional<std::string> v) {
    return store(_valueAddedTax, std::move(v));
  }
  RetailerSaleItemBuilder& taxType(std::optional<std::string> v) {
    return store(_taxType, std::move(v));
  }

  RetailerSaleItem build() const;
};

}  // namespace veltrix::model
