// ReversalParamBuilder, the builder of a reversal request, reached through
// ReversalParam::makeWithBuilder. The card brand is the financial field,
// given through the forwarded cardBrand setter.
//
// A plain value used on the caller's thread, without locks.
#pragma once

#include <optional>
#include <string>

#include "veltrix/builders/base_financial_builder.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"

namespace veltrix::model {

class ReversalParamBuilder : public FinancialBuilder<ReversalParamBuilder> {
 public:
  // The org... fields name the transaction that is reversed.
  std::optional<std::string> _orgTransactionDateTime;
  std::optional<std::string> _orgTransactionReference;
  std::optional<std::string> _orgIssuerReferenceData;
  std::optional<std::string> _orgPoiTransactionIdentification;
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  ISO4217ActiveCurrency _currency{};
  ReversalReasonCode _reversalReason{};
  bool _isFullReversal = false;
  std::optional<std::string> _cashback;
  std::optional<std::string> _issuerReferenceData;
  std::optional<std::string> _invoiceNumber;
  std::optional<std::string> _maskedPAN;
  std::optional<std::string> _cvv2;
  std::optional<std::string> _reversedAmount;
  std::optional<std::string> _requestedAmount;
  std::optional<std::string> _authorisationCode;
  std::optional<std::string> _postCode;
  std::optional<std::string> _addressLine;
  std::optional<std::string> _pan;
  std::optional<std::string> _expiryDate;
  std::optional<std::string> _orgPoiIdentificationId;
  std::optional<std::string> _orgAuthorisationIdentification;
  std::optional<std::string> _orgAuthorisationCode;

  ReversalParamBuilder& orgTransactionDateTime(std::optional<std::string> v) {
    return store(_orgTransactionDateTime, std::move(v));
  }
  ReversalParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  ReversalParamBuilder& orgIssuerReferenceData(std::optional<std::string> v) {
    return store(_orgIssuerReferenceData, std::move(v));
  }
  ReversalParamBuilder& orgPoiTransactionIdentification(std::optional<std::string> v) {
    return store(_orgPoiTransactionIdentification, std::move(v));
  }
  ReversalParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  ReversalParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  ReversalParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  ReversalParamBuilder& reversalReason(ReversalReasonCode v) { return store(_reversalReason, v); }
  ReversalParamBuilder& isFullReversal(bool v) { return store(_isFullReversal, v); }
  ReversalParamBuilder& cashback(std::optional<std::string> v) {
    return store(_cashback, std::move(v));
  }
  ReversalParamBuilder& issuerReferenceData(std::optional<std::string> v) {
    return store(_issuerReferenceData, std::move(v));
  }
  ReversalParamBuilder& invoiceNumber(std::optional<std::string> v) {
    return store(_invoiceNumber, std::move(v));
  }
  ReversalParamBuilder& maskedPAN(std::optional<std::string> v) {
    return store(_maskedPAN, std::move(v));
  }
  ReversalParamBuilder& cvv2(std::optional<std::string> v) { return store(_cvv2, std::move(v)); }
  ReversalParamBuilder& reversedAmount(std::optional<std::string> v) {
    return store(_reversedAmount, std::move(v));
  }
  ReversalParamBuilder& requestedAmount(std::optional<std::string> v) {
    return store(_requestedAmount, std::move(v));
  }
  ReversalParamBuilder& authorisationCode(std::optional<std::string> v) {
    return store(_authorisationCode, std::move(v));
  }
  ReversalParamBuilder& postCode(std::optional<std::string> v) {
    return store(_postCode, std::move(v));
  }
  ReversalParamBuilder& addressLine(std::optional<std::string> v) {
    return store(_addressLine, std::move(v));
  }
  ReversalParamBuilder& pan(std::optional<std::string> v) { return store(_pan, std::move(v)); }
  ReversalParamBuilder& expiryDate(std::optional<std::string> v) {
    return store(_expiryDate, std::move(v));
  }
  ReversalParamBuilder& orgPoiIdentificationId(std::optional<std::string> v) {
    return store(_orgPoiIdentificationId, std::move(v));
  }
  ReversalParamBuilder& orgAuthorisationIdentification(std::optional<std::string> v) {
    return store(_orgAuthorisationIdentification, std::move(v));
  }
  ReversalParamBuilder& orgAuthorisationCode(std::optional<std::string> v) {
    return store(_orgAuthorisationCode, std::move(v));
  }

  ReversalParam build() const;
};

}  // namespace veltrix::model
