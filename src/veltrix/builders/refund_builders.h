// RefundParamBuilder and ReconciliationParamBuilder, the builders of the
// refund and reconciliation requests, reached through
// RefundParam::makeWithBuilder and ReconciliationParam::makeWithBuilder.
// A reconciliation takes every base and financial field as well.
//
// Plain values used on the caller's thread, without locks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "veltrix/builders/base_financial_builder.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/sale_item.h"

namespace veltrix::model {

class RefundParamBuilder : public FinancialBuilder<RefundParamBuilder> {
 public:
  // The org... fields name the transaction that is refunded.
  std::optional<std::string> _orgTransactionReference;
  std::optional<std::string> _orgTransactionDateTime;
  std::optional<std::string> _orgIssuerReferenceData;
  std::optional<std::string> _orgPoiIdentificationId;
  std::optional<std::string> _orgPoiTransactionIdentification;
  std::optional<std::string> _orgAuthorisationCode;
  bool _isFullReversal = false;
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  std::optional<std::string> _invoiceNumber;
  std::optional<std::string> _postCode;
  std::optional<std::string> _addressLine;
  ISO4217ActiveCurrency _currency{};
  std::optional<std::string> _maskedPAN;
  std::optional<std::string> _pan;
  std::optional<std::string> _expiryDate;
  std::optional<std::string> _cvv2;
  std::optional<std::vector<RetailerSaleItem>> _saleItems;

  RefundParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  RefundParamBuilder& orgTransactionDateTime(std::optional<std::string> v) {
    return store(_orgTransactionDateTime, std::move(v));
  }
  RefundParamBuilder& orgIssuerReferenceData(std::optional<std::string> v) {
    return store(_orgIssuerReferenceData, std::move(v));
  }
  RefundParamBuilder& orgPoiIdentificationId(std::optional<std::string> v) {
    return store(_orgPoiIdentificationId, std::move(v));
  }
  RefundParamBuilder& orgPoiTransactionIdentification(std::optional<std::string> v) {
    return store(_orgPoiTransactionIdentification, std::move(v));
  }
  RefundParamBuilder& orgAuthorisationCode(std::optional<std::string> v) {
    return store(_orgAuthorisationCode, std::move(v));
  }
  RefundParamBuilder& isFullReversal(bool v) { return store(_isFullReversal, v); }
  RefundParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  RefundParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  RefundParamBuilder& invoiceNumber(std::optional<std::string> v) {
    return store(_invoiceNumber, std::move(v));
  }
  RefundParamBuilder& postCode(std::optional<std::string> v) {
    return store(_postCode, std::move(v));
  }
  RefundParamBuilder& addressLine(std::optional<std::string> v) {
    return store(_addressLine, std::move(v));
  }
  RefundParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  RefundParamBuilder& maskedPAN(std::optional<std::string> v) {
    return store(_maskedPAN, std::move(v));
  }
  RefundParamBuilder& pan(std::optional<std::string> v) { return store(_pan, std::move(v)); }
  RefundParamBuilder& expiryDate(std::optional<std::string> v) {
    return store(_expiryDate, std::move(v));
  }
  RefundParamBuilder& cvv2(std::optional<std::string> v) { return store(_cvv2, std::move(v)); }
  // An absent list is stored as an empty one.
  RefundParamBuilder& saleItems(std::optional<std::vector<RetailerSaleItem>> v) {
    return store(_saleItems, builder_detail::orEmpty(std::move(v)));
  }

  RefundParam build() const;
};

class ReconciliationParamBuilder : public FinancialBuilder<ReconciliationParamBuilder> {
 public:
  ReconciliationTypeCode _reconciliationType{};
  std::optional<std::string> _acquirerIdentification;
  std::optional<std::string> _poiReconciliationIdentification;

  ReconciliationParamBuilder& reconciliationType(ReconciliationTypeCode v) {
    return store(_reconciliationType, v);
  }
  ReconciliationParamBuilder& acquirerIdentification(std::optional<std::string> v) {
    return store(_acquirerIdentification, std::move(v));
  }
  ReconciliationParamBuilder& poiReconciliationIdentification(std::optional<std::string> v) {
    return store(_poiReconciliationIdentification, std::move(v));
  }

  ReconciliationParam build() const;
};

}  // namespace veltrix::model
