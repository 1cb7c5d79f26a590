// The request encoders of the eight card-transaction services and of
// reprint: each turns its parameter object into the casp request message
// (the header keys of the chosen terminal service beside one "request"
// object) through ReqBuilderHelper.
//
// An encoder is a plain object without state, made for one request on the
// caller's thread (the facade's). A null parameter gives a message of header
// keys only, a null service record a message with "request" only. The only
// failure is a text that cannot be written as JSON (not valid UTF-8): the
// message text is then nullopt and the reason goes to the platform log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "veltrix/codec/req_builder_helper.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

// The envelope shared by the encoders below; `Derived` gives
// buildBodyWithParam(const Param*), an empty object for a null parameter.
template <typename Derived, typename Param>
class FinancialReqBuilder {
 public:
  using ParamType = Param;

  // The request message as JSON text, or nullopt when it cannot be written.
  std::optional<std::string> buildJsonWithParameters(const Param* param,
                                                     const model::ServiceParams* service) const {
    return ReqBuilderHelper::buildJsonWithDictionary(
        buildRequestDictionaryWithParameters(param, service));
  }

  platform::Json buildRequestDictionaryWithParameters(const Param* param,
                                                      const model::ServiceParams* service) const {
    return ReqBuilderHelper::buildRequestDictionaryWithBody(
        static_cast<const Derived&>(*this).buildBodyWithParam(param), service);
  }
};

class PaymentReqBuilder : public FinancialReqBuilder<PaymentReqBuilder, model::PaymentParam> {
 public:
  // "currency" only when set; "cashBack" with a capital B.
  platform::Json buildBodyWithParam(const model::PaymentParam* param) const;
  // "saleItems" in the payment form (ReqBuilderHelper::saleItemPaymentForm).
  void addSaleItemsIfNeeded(platform::Json& body, const model::PaymentParam& param) const;
};

class PreAuthReqBuilder : public FinancialReqBuilder<PreAuthReqBuilder, model::PreAuthParam> {
 public:
  // "currency" always (0 is "AFN"); "cashback" in lower case.
  platform::Json buildBodyWithParam(const model::PreAuthParam* param) const;
  // "saleItems" as each item's own toDictionary() (empty texts dropped).
  void addSaleItemsIfNeeded(platform::Json& body, const model::PreAuthParam& param) const;
};

class RefundReqBuilder : public FinancialReqBuilder<RefundReqBuilder, model::RefundParam> {
 public:
  // "isFullReversal" always, "currency" always.
  platform::Json buildBodyWithParam(const model::RefundParam* param) const;
  // "saleItems" in the payment form.
  void addSaleItemsIfNeeded(platform::Json& body, const model::RefundParam& param) const;
};

class ReversalReqBuilder : public FinancialReqBuilder<ReversalReqBuilder, model::ReversalParam> {
 public:
  // "reversalReason" always, "isFullReversal" only when true; no sale items.
  platform::Json buildBodyWithParam(const model::ReversalParam* param) const;
  // 0 "CUSC", 1 "MALF", 2 "MERC", 3 "UNAB"; any other value "MERC".
  static std::string reversalReasonToString(model::ReversalReasonCode reason);
};

class PreAuthCompletionReqBuilder
    : public FinancialReqBuilder<PreAuthCompletionReqBuilder, model::PreAuthCompletionParam> {
 public:
  platform::Json buildBodyWithParam(const model::PreAuthCompletionParam* param) const;
};

class AuthAdjustmentReqBuilder
    : public FinancialReqBuilder<AuthAdjustmentReqBuilder, model::AuthAdjustmentParam> {
 public:
  // "amountQualifier" always (0 is "ACTL").
  platform::Json buildBodyWithParam(const model::AuthAdjustmentParam* param) const;
};

class BalanceInquiryReqBuilder
    : public FinancialReqBuilder<BalanceInquiryReqBuilder, model::BalanceInquiryParam> {
 public:
  platform::Json buildBodyWithParam(const model::BalanceInquiryParam* param) const;
};

class ReconciliationReqBuilder
    : public FinancialReqBuilder<ReconciliationReqBuilder, model::ReconciliationParam> {
 public:
  // "reconciliationType" always (0 is "AREC").
  platform::Json buildBodyWithParam(const model::ReconciliationParam* param) const;
};

// Reprint is no card transaction: its body has the base fields only.
class ReprintReqBuilder : public FinancialReqBuilder<ReprintReqBuilder, model::ReprintParam> {
 public:
  // "orgTransactionType" always (0 is "Unknown").
  platform::Json buildBodyWithParam(const model::ReprintParam* param) const;
  // "documentQualifiers" (plural): the non-empty codes, when there is one.
  void addDocumentQualifiersIfNeeded(platform::Json& body, const model::ReprintParam& param) const;
};

}  // namespace veltrix::codec
