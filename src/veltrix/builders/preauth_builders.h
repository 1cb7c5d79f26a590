// PreAuthParamBuilder and PreAuthCompletionParamBuilder, the builders of the
// pre-authorisation and pre-authorisation completion requests, reached
// through PreAuthParam::makeWithBuilder and
// PreAuthCompletionParam::makeWithBuilder.
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

class PreAuthParamBuilder : public FinancialBuilder<PreAuthParamBuilder> {
 public:
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  std::optional<std::string> _cashback;
  ISO4217ActiveCurrency _currency{};
  std::optional<std::string> _pan;
  std::optional<std::string> _track1;
  std::optional<std::string> _track2;
  std::optional<std::string> _track3;
  std::optional<std::string> _maskedPAN;
  std::optional<std::string> _postCode;
  std::optional<std::string> _addressLine;
  std::optional<std::string> _expiryDate;
  std::optional<std::string> _cvv2;
  std::optional<std::vector<RetailerSaleItem>> _saleItems;
  std::optional<std::string> _merchantCategoryCode;

  PreAuthParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  PreAuthParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  PreAuthParamBuilder& cashback(std::optional<std::string> v) {
    return store(_cashback, std::move(v));
  }
  PreAuthParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  PreAuthParamBuilder& pan(std::optional<std::string> v) { return store(_pan, std::move(v)); }
  PreAuthParamBuilder& track1(std::optional<std::string> v) { return store(_track1, std::move(v)); }
  PreAuthParamBuilder& track2(std::optional<std::string> v) { return store(_track2, std::move(v)); }
  PreAuthParamBuilder& track3(std::optional<std::string> v) { return store(_track3, std::move(v)); }
  PreAuthParamBuilder& maskedPAN(std::optional<std::string> v) {
    return store(_maskedPAN, std::move(v));
  }
  PreAuthParamBuilder& postCode(std::optional<std::string> v) {
    return store(_postCode, std::move(v));
  }
  PreAuthParamBuilder& addressLine(std::optional<std::string> v) {
    return store(_addressLine, std::move(v));
  }
  PreAuthParamBuilder& expiryDate(std::optional<std::string> v) {
    return store(_expiryDate, std::move(v));
  }
  PreAuthParamBuilder& cvv2(std::optional<std::string> v) { return store(_cvv2, std::move(v)); }
  // An absent list is stored as an empty one.
  PreAuthParamBuilder& saleItems(std::optional<std::vector<RetailerSaleItem>> v) {
    return store(_saleItems, builder_detail::orEmpty(std::move(v)));
  }
  PreAuthParamBuilder& merchantCategoryCode(std::optional<std::string> v) {
    return store(_merchantCategoryCode, std::move(v));
  }

  PreAuthParam build() const;
};

// The account type can be given twice: through the forwarded accountType
// (kept in the base builder) and through accountTypeDirect (kept here). A
// non-zero accountType wins whatever the order of the calls; 0 counts as
// not given.
class PreAuthCompletionParamBuilder : public FinancialBuilder<PreAuthCompletionParamBuilder> {
 public:
  // Given through accountTypeDirect; not the base builder's field.
  CardAccountTypeCode _accountType{};
  // The org... fields name the pre-authorisation that is completed.
  std::optional<std::string> _orgTransactionReference;
  std::optional<std::string> _orgTransactionDateTime;
  std::optional<std::string> _orgIssuerReferenceData;
  std::optional<std::string> _totalAmount;
  std::optional<std::string> _gratuity;
  ISO4217ActiveCurrency _currency{};
  std::optional<std::string> _orgAuthorisationCode;
  std::optional<std::string> _invoiceNumber;
  std::optional<std::string> _orgPoiIdentificationId;
  std::optional<std::string> _orgPoiTransactionIdentification;
  std::optional<std::string> _orgAuthorisationIdentification;
  std::optional<std::string> _postCode;
  std::optional<std::string> _addressLine;

  PreAuthCompletionParamBuilder& accountTypeDirect(CardAccountTypeCode v) {
    return store(_accountType, v);
  }
  PreAuthCompletionParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  PreAuthCompletionParamBuilder& orgTransactionDateTime(std::optional<std::string> v) {
    return store(_orgTransactionDateTime, std::move(v));
  }
  PreAuthCompletionParamBuilder& orgIssuerReferenceData(std::optional<std::string> v) {
    return store(_orgIssuerReferenceData, std::move(v));
  }
  PreAuthCompletionParamBuilder& totalAmount(std::optional<std::string> v) {
    return store(_totalAmount, std::move(v));
  }
  PreAuthCompletionParamBuilder& gratuity(std::optional<std::string> v) {
    return store(_gratuity, std::move(v));
  }
  PreAuthCompletionParamBuilder& currency(ISO4217ActiveCurrency v) { return store(_currency, v); }
  PreAuthCompletionParamBuilder& orgAuthorisationCode(std::optional<std::string> v) {
    return store(_orgAuthorisationCode, std::move(v));
  }
  PreAuthCompletionParamBuilder& invoiceNumber(std::optional<std::string> v) {
    return store(_invoiceNumber, std::move(v));
  }
  PreAuthCompletionParamBuilder& orgPoiIdentificationId(std::optional<std::string> v) {
    return store(_orgPoiIdentificationId, std::move(v));
  }
  PreAuthCompletionParamBuilder& orgPoiTransactionIdentification(std::optional<std::string> v) {
    return store(_orgPoiTransactionIdentification, std::move(v));
  }
  PreAuthCompletionParamBuilder& orgAuthorisationIdentification(std::optional<std::string> v) {
    return store(_orgAuthorisationIdentification, std::move(v));
  }
  PreAuthCompletionParamBuilder& postCode(std::optional<std::string> v) {
    return store(_postCode, std::move(v));
  }
  PreAuthCompletionParamBuilder& addressLine(std::optional<std::string> v) {
    return store(_addressLine, std::move(v));
  }

  PreAuthCompletionParam build() const;
};

}  // namespace veltrix::model
