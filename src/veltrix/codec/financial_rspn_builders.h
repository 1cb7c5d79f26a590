// The response decoders of the card-transaction services, of balance
// inquiry, reprint and abort. Each turns one response message into its
// result and hands it to its delegate (response_delegates.h).
//
// Six run the shared frame of rspn_frame.h unchanged (refund, reversal,
// pre-authorisation and its completion, balance inquiry, reprint);
// AuthAdjustmentRspnBuilder leaves the header's end flag out of its own
// endFlag(). PaymentRspnParser and AbortRspnParser have a shorter frame of
// their own (below) that logs only a JSON failure.
//
// Body readers (parseBodyFromDictionary) are static: the message-status
// decoder reuses the payment, refund, reversal and pre-authorisation ones
// for its nested results. Given no object they log
// "<Class>: 无效的报文体数据" and give null; an object always gives a
// result, however few keys it has. Which lists each reads:
//   payment        iccRelatedData, printReceipts, fees, valueAddedTax
//   refund         valueAddedTax
//   reversal       none
//   pre-auth (+ completion)  valueAddedTax, fees, printReceipts
//   auth adjustment          valueAddedTax
//   reprint        printReceipts
// A list not named for a decoder stays absent even when the message has it.
//
// Threads and ownership: as rspn_frame.h. One decoder per message; the
// static functions may run on any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/codec/response_delegates.h"
#include "veltrix/codec/rspn_frame.h"
#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/model/financial_results.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

// The payment frame:
//   1. the text must be a JSON object or array, else
//      "PaymentRspnParser: JSON解析失败 - <reason>" (an empty text too);
//   2. the header parser reads the top level (no log of our own);
//   3. an object under the top-level "response" gives the result; anything
//      else ends silently without a callback;
//   4. with a header, the result's exchangeIdentification becomes the
//      header's (absent when the header has none) and its endFlag the
//      header's;
//   5. with a delegate and a result, onPaymentResponse with the header's
//      exchange identifier ("" without) and end flag (false without).
class PaymentRspnParser {
 public:
  static constexpr std::string_view kClassName = "PaymentRspnParser";

  PaymentRspnParser() = default;
  PaymentRspnParser(const PaymentRspnParser&) = delete;
  PaymentRspnParser& operator=(const PaymentRspnParser&) = delete;

  void setDelegate(std::weak_ptr<PaymentRspnParserDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const std::weak_ptr<PaymentRspnParserDelegate>& delegate() const { return delegate_; }
  const std::optional<model::TransactionHeader>& header() const { return header_; }
  std::shared_ptr<const model::PaymentResult> result() const { return result_; }

  void startParser(std::optional<std::string_view> text) noexcept;

  // The financial fields, then "authorisedAmount", "cashback" (small b),
  // "requestedAmount", "cumulativeAmount" and the four lists.
  static std::shared_ptr<model::PaymentResult> parseBodyFromDictionary(const platform::Json* body);

 private:
  std::weak_ptr<PaymentRspnParserDelegate> delegate_;
  std::optional<model::TransactionHeader> header_;
  std::shared_ptr<model::PaymentResult> result_;
};

// The abort frame: steps 1 to 3 of the payment frame with its own class
// name, then onAbortResponse(result, exchange identifier). The facade
// creates none (an abort response is stored, not decoded); it is complete
// for hosts and tools.
class AbortRspnParser {
 public:
  static constexpr std::string_view kClassName = "AbortRspnParser";

  AbortRspnParser() = default;
  AbortRspnParser(const AbortRspnParser&) = delete;
  AbortRspnParser& operator=(const AbortRspnParser&) = delete;

  void setDelegate(std::weak_ptr<AbortRspnParserDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const std::weak_ptr<AbortRspnParserDelegate>& delegate() const { return delegate_; }
  const std::optional<model::TransactionHeader>& header() const { return header_; }
  std::shared_ptr<const model::AbortResult> result() const { return result_; }

  void startParser(std::optional<std::string_view> text) noexcept;

  // Only "recipientPartyIdentification", "responseReason",
  // "refualResponse", "additionalResponseInformation" and "response"; the
  // other base fields stay absent.
  static std::shared_ptr<model::AbortResult> parseBodyFromDictionary(const platform::Json* body);
  // RspnBuilderHelper::safeString.
  static std::optional<std::string> safeString(const platform::Json& value);
  // A number (or boolean) is true when not zero; a text, lower-cased, for
  // "true", "yes" and "1"; anything else false.
  static bool safeBool(const platform::Json& value);

 private:
  std::weak_ptr<AbortRspnParserDelegate> delegate_;
  std::optional<model::TransactionHeader> header_;
  std::shared_ptr<model::AbortResult> result_;
};

class RefundRspnBuilder
    : public RspnFrame<RefundRspnBuilder, model::RefundResult, RefundRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "RefundRspnBuilder";

  // The financial fields, "orgTransactionReference",
  // "orgTransactionDateTime" and "valueAddedTax" ("fees" is not read).
  static std::shared_ptr<model::RefundResult> parseBodyFromDictionary(const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(RefundRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::RefundResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onRefundResponse(std::move(result), exchangeId, endFlag);
  }
};

class ReversalRspnBuilder
    : public RspnFrame<ReversalRspnBuilder, model::ReversalResult, ReversalRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "ReversalRspnBuilder";

  // The financial fields only; no lists.
  static std::shared_ptr<model::ReversalResult> parseBodyFromDictionary(const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(ReversalRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::ReversalResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onReversalResponse(std::move(result), exchangeId, endFlag);
  }
};

class PreAuthRspnBuilder
    : public RspnFrame<PreAuthRspnBuilder, model::PreAuthResult, PreAuthRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "PreAuthRspnBuilder";

  // Tests for an object, then parseFromDictionary.
  static std::shared_ptr<model::PreAuthResult> parseBodyFromDictionary(const platform::Json* body);
  // The financial fields, "valueAddedTax", "fees", "printReceipts"; no
  // object logs "PreAuthResult parseFromDictionary: 无效的字典数据".
  static std::shared_ptr<model::PreAuthResult> parseFromDictionary(const platform::Json* body);
  // A body object alone (no header, no "response" wrapper) as text; an
  // empty text logs "PreAuthResult parseFromJSONString: JSON字符串为空", a
  // malformed one "PreAuthResult parseFromJSONString: JSON解析失败 - <reason>".
  static std::shared_ptr<model::PreAuthResult> parseFromJSONString(
      std::optional<std::string_view> text);

 private:
  friend class RspnFrame;
  static void deliver(PreAuthRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::PreAuthResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onPreAuthResponse(std::move(result), exchangeId, endFlag);
  }
};

class PreAuthCompletionRspnBuilder
    : public RspnFrame<PreAuthCompletionRspnBuilder, model::PreAuthCompletionResult,
                       PreAuthCompletionRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "PreAuthCompletionRspnBuilder";

  static std::shared_ptr<model::PreAuthCompletionResult> parseBodyFromDictionary(
      const platform::Json* body);
  // As PreAuthRspnBuilder's, with "PreAuthCompletionResult" in the logs.
  static std::shared_ptr<model::PreAuthCompletionResult> parseFromDictionary(
      const platform::Json* body);
  static std::shared_ptr<model::PreAuthCompletionResult> parseFromJSONString(
      std::optional<std::string_view> text);

 private:
  friend class RspnFrame;
  static void deliver(PreAuthCompletionRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::PreAuthCompletionResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onPreAuthCompletionResponse(std::move(result), exchangeId, endFlag);
  }
};

// endFlag() keeps what the creator set: the frame's step 5 is left out. The
// callback's end flag still comes from the header.
class AuthAdjustmentRspnBuilder
    : public RspnFrame<AuthAdjustmentRspnBuilder, model::AuthAdjustmentResult,
                       AuthAdjustmentRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "AuthAdjustmentRspnBuilder";
  static constexpr bool kTakesHeaderEndFlag = false;

  // The financial fields, "requestedAmount", "authorisedAmount",
  // "cumulativeAmount" and "valueAddedTax".
  static std::shared_ptr<model::AuthAdjustmentResult> parseBodyFromDictionary(
      const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(AuthAdjustmentRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::AuthAdjustmentResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onAuthAdjustmentResponse(std::move(result), exchangeId, endFlag);
  }
};

// Balance inquiry is no financial result: the common fields, then
// "transactionDateTime", "currency" (XXX when missing or unknown; any
// letter case), "merchantIdentification", "merchantIdentificationName",
// "poiIdentificationId", "maskedPAN", "cardBrand",
// "poiTransactionIdentification", "currentBalance".
class BalanceInquiryRspnBuilder
    : public RspnFrame<BalanceInquiryRspnBuilder, model::BalanceInquiryResult,
                       BalanceInquiryRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "BalanceInquiryRspnBuilder";

  static std::shared_ptr<model::BalanceInquiryResult> parseBodyFromDictionary(
      const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(BalanceInquiryRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::BalanceInquiryResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onBalanceInquiryResponse(std::move(result), exchangeId, endFlag);
  }
};

class ReprintRspnBuilder
    : public RspnFrame<ReprintRspnBuilder, model::ReprintResult, ReprintRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "ReprintRspnBuilder";

  static std::shared_ptr<model::ReprintResult> parseBodyFromDictionary(const platform::Json* body);
  // The common fields, "orgExchangeIdentification" and "printReceipts"; no
  // object logs "ReprintResult parseFromDictionary: 无效的字典数据".
  static std::shared_ptr<model::ReprintResult> parseFromDictionary(const platform::Json* body);
  static std::shared_ptr<model::ReprintResult> parseFromJSONString(
      std::optional<std::string_view> text);

 private:
  friend class RspnFrame;
  static void deliver(ReprintRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::ReprintResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onReprintResponse(std::move(result), exchangeId, endFlag);
  }
};

}  // namespace veltrix::codec
