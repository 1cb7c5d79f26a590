// The request parameters of the eight card-transaction services: payment,
// pre-authorisation, refund, reversal, pre-authorisation completion,
// authorisation adjustment, balance inquiry and reconciliation. Each adds its
// own fields to BaseFinancialParam; only PaymentParam has conversions (for
// the host's display and logging: the payment request message is written
// from the fields by the encoder, not from this dictionary).
//
// Plain values like their base (request_base.h): no validation, no thread
// affinity; amounts, dates and card data are text passed through unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/request_base.h"
#include "veltrix/model/sale_item.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

class PaymentParamBuilder;
class PreAuthParamBuilder;
class RefundParamBuilder;
class ReversalParamBuilder;
class PreAuthCompletionParamBuilder;
class AuthAdjustmentParamBuilder;
class BalanceInquiryParamBuilder;
class ReconciliationParamBuilder;

// The makeWithBuilder of every class here is defined with the request
// parameter builders.

class PaymentParam : public BaseFinancialParam {
 public:
  bool operator==(const PaymentParam&) const = default;

  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  std::optional<std::string> cashBack;  // capital B here, unlike the other requests
  ISO4217ActiveCurrency currency{};     // 0 = not set
  std::optional<std::string> pan;
  std::optional<std::string> track1;
  std::optional<std::string> track2;
  std::optional<std::string> track3;
  std::optional<std::string> maskedPAN;
  std::optional<std::string> requestedAmount;
  std::optional<std::string> postCode;
  std::optional<std::string> addressLine;
  std::optional<std::string> expiryDate;
  std::optional<std::string> cvv2;
  std::optional<std::vector<RetailerSaleItem>> saleItems;

  // The set fields under 37 fixed keys, in a fixed order. A text is set when
  // present (empty included), a list when present and non-empty, an
  // enumeration when not 0; a flag is written only when true. Amount lists
  // are written as {"value", "label"}. attendanceContext, acquireManagerPwd
  // and servicesParams are never written.
  platform::Json toDictionary() const;
  // Pretty-printed toDictionary(); nullopt (and a log line) when it cannot
  // be written.
  std::optional<std::string> toJSONString() const;

  static PaymentParam makeWithBuilder(
      const std::function<void(PaymentParamBuilder&)>& configure = {});
};

class PreAuthParam : public BaseFinancialParam {
 public:
  bool operator==(const PreAuthParam&) const = default;

  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  std::optional<std::string> cashback;
  ISO4217ActiveCurrency currency{};
  std::optional<std::string> pan;
  std::optional<std::string> track1;
  std::optional<std::string> track2;
  std::optional<std::string> track3;
  std::optional<std::string> maskedPAN;
  std::optional<std::string> postCode;
  std::optional<std::string> addressLine;
  std::optional<std::string> expiryDate;
  std::optional<std::string> cvv2;
  std::optional<std::vector<RetailerSaleItem>> saleItems;
  std::optional<std::string> merchantCategoryCode;

  static PreAuthParam makeWithBuilder(
      const std::function<void(PreAuthParamBuilder&)>& configure = {});
};

// Its force-online flag is BaseFinancialParam::forceOnlineFlag.
class RefundParam : public BaseFinancialParam {
 public:
  bool operator==(const RefundParam&) const = default;

  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> orgTransactionDateTime;
  std::optional<std::string> orgIssuerReferenceData;
  std::optional<std::string> orgPoiIdentificationId;
  std::optional<std::string> orgPoiTransactionIdentification;
  std::optional<std::string> orgAuthorisationCode;
  bool isFullReversal = false;
  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  std::optional<std::string> postCode;
  std::optional<std::string> addressLine;
  ISO4217ActiveCurrency currency{};
  std::optional<std::string> maskedPAN;
  std::optional<std::string> pan;
  std::optional<std::string> expiryDate;
  std::optional<std::string> invoiceNumber;
  std::optional<std::string> cvv2;
  std::optional<std::vector<RetailerSaleItem>> saleItems;

  static RefundParam makeWithBuilder(
      const std::function<void(RefundParamBuilder&)>& configure = {});
};

// Its card brand is BaseFinancialParam::cardBrand.
class ReversalParam : public BaseFinancialParam {
 public:
  bool operator==(const ReversalParam&) const = default;

  std::optional<std::string> orgTransactionDateTime;
  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> orgIssuerReferenceData;
  std::optional<std::string> orgPoiTransactionIdentification;
  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  ISO4217ActiveCurrency currency{};
  ReversalReasonCode reversalReason{};  // CUSC (0) .. UNAB (3)
  bool isFullReversal = false;
  std::optional<std::string> cashback;
  std::optional<std::string> issuerReferenceData;
  std::optional<std::string> invoiceNumber;
  std::optional<std::string> maskedPAN;
  std::optional<std::string> cvv2;
  std::optional<std::string> reversedAmount;
  std::optional<std::string> requestedAmount;
  std::optional<std::string> authorisationCode;
  std::optional<std::string> postCode;
  std::optional<std::string> addressLine;
  std::optional<std::string> pan;
  std::optional<std::string> expiryDate;
  std::optional<std::string> orgPoiIdentificationId;
  std::optional<std::string> orgAuthorisationIdentification;
  std::optional<std::string> orgAuthorisationCode;

  static ReversalParam makeWithBuilder(
      const std::function<void(ReversalParamBuilder&)>& configure = {});
};

class PreAuthCompletionParam : public BaseFinancialParam {
 public:
  bool operator==(const PreAuthCompletionParam&) const = default;

  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> orgTransactionDateTime;
  std::optional<std::string> orgIssuerReferenceData;
  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  ISO4217ActiveCurrency currency{};
  std::optional<std::string> orgAuthorisationCode;
  std::optional<std::string> invoiceNumber;
  std::optional<std::string> orgPoiIdentificationId;
  std::optional<std::string> orgPoiTransactionIdentification;
  std::optional<std::string> orgAuthorisationIdentification;
  std::optional<std::string> postCode;
  std::optional<std::string> addressLine;

  static PreAuthCompletionParam makeWithBuilder(
      const std::function<void(PreAuthCompletionParamBuilder&)>& configure = {});
};

class AuthAdjustmentParam : public BaseFinancialParam {
 public:
  bool operator==(const AuthAdjustmentParam&) const = default;

  TypeOfAmountCode amountQualifier{};  // ACTL (0) .. RESD (7)
  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> orgIssuerReferenceData;
  std::optional<std::string> orgPoiIdentificationId;
  std::optional<std::string> orgAuthorisationCode;
  std::optional<std::string> orgAuthorisationIdentification;
  std::optional<std::string> orgPoiTransactionIdentification;
  std::optional<std::string> orgTransactionDateTime;
  std::optional<std::string> totalAmount;
  std::optional<std::string> gratuity;
  ISO4217ActiveCurrency currency{};
  std::optional<std::string> invoiceNumber;

  static AuthAdjustmentParam makeWithBuilder(
      const std::function<void(AuthAdjustmentParamBuilder&)>& configure = {});
};

class BalanceInquiryParam : public BaseFinancialParam {
 public:
  bool operator==(const BalanceInquiryParam&) const = default;

  std::optional<std::string> accountReference;

  static BalanceInquiryParam makeWithBuilder(
      const std::function<void(BalanceInquiryParamBuilder&)>& configure = {});
};

// A BaseFinancialParam although it carries no card data.
class ReconciliationParam : public BaseFinancialParam {
 public:
  bool operator==(const ReconciliationParam&) const = default;

  ReconciliationTypeCode reconciliationType{};
  std::optional<std::string> acquirerIdentification;
  std::optional<std::string> poiReconciliationIdentification;

  static ReconciliationParam makeWithBuilder(
      const std::function<void(ReconciliationParamBuilder&)>& configure = {});
};

// The refund's force-online flag and the reversal's card brand are the base
// fields, not second copies that would hide them.
static_assert(std::is_same_v<decltype(&RefundParam::forceOnlineFlag), bool BaseFinancialParam::*>);
static_assert(std::is_same_v<decltype(&ReversalParam::cardBrand),
                             std::optional<std::string> BaseFinancialParam::*>);

}  // namespace veltrix::model
