// AuthAdjustmentParamBuilder, the builder of an authorisation adjustment
// request, reached through AuthAdjustmentParam::makeWithBuilder. Its own
// amounts are separate from the financial amount lists, and its org...
// reference from the base transaction reference.
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

class AuthAdjustmentParamBuilder : public FinancialBuilder<AuthAdjustmentParamBuilder> {
 public:
  // How totalAmount is to be taken. The org... fields name the transaction
  // whose authorisation is adjusted.
  TypeOfAmountCode _amountQualifier{};
  std::optional<std::string> _orgTransactionReference;
  std::optional<std::string> _orgIssuerReferenceData;
  std::optional<std::string> _orgPoiIdentificationId;
  std::optional<std::string> _orgAuthorisationCode;
  std::optional<std::string> _orgAuthorisationIdentification;
  std::optional<std::string> _orgPoiTransactionIdentification;
  std::optional<std::string> _orgTransactionDateTime;
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  ISO4217ActiveCurrency _currency{};
  std::optional<std::string> _invoiceNumber;

  AuthAdjustmentParamBuilder& amountQualifier(TypeOfAmountCode v) {
    return store(_amountQualifier, v);
  }
  AuthAdjustmentParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgIssuerReferenceData(std::optional<std::string> v) {
    return store(_orgIssuerReferenceData, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgPoiIdentificationId(std::optional<std::string> v) {
    return store(_orgPoiIdentificationId, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgAuthorisationCode(std::optional<std::string> v) {
    return store(_orgAuthorisationCode, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgAuthorisationIdentification(std::optional<std::string> v) {
    return store(_orgAuthorisationIdentification, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgPoiTransactionIdentification(std::optional<std::string> v) {
    return store(_orgPoiTransactionIdentification, std::move(v));
  }
  AuthAdjustmentParamBuilder& orgTransactionDateTime(std::optional<std::string> v) {
    return store(_orgTransactionDateTime, std::move(v));
  }
  AuthAdjustmentParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  AuthAdjustmentParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  AuthAdjustmentParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  AuthAdjustmentParamBuilder& invoiceNumber(std::optional<std::string> v) {
    return store(_invoiceNumber, std::move(v));
  }

  AuthAdjustmentParam build() const;
};

}  // namespace veltrix::model
