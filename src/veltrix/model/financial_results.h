// The results of the card-transaction services and of the balance inquiry,
// each with its one text form for the host's display and logs:
//
//   label lines     PaymentResult, RefundResult, ReversalResult  ("N/A")
//   property lines  AuthAdjustmentResult, PreAuthResult          ("nil")
//   JSON text       PreAuthCompletionResult
//   brace block     BalanceInquiryResult                         ("nil")
//
// The forms are fixed texts that hosts show and log, quirks included: a
// SUCC response prints as absent, the lines of the success section (totals,
// amounts, lists) appear only for SUCC, and some forms end without a line
// feed. Plain values like their bases (result_base.h).
#pragma once

#include <optional>
#include <string>

#include "veltrix/model/currency.h"
#include "veltrix/model/result_base.h"

namespace veltrix::model {

class PaymentResult : public BaseFinancialResult {
 public:
  bool operator==(const PaymentResult&) const = default;

  bool endFlag = false;  // the message was the last of its exchange
  std::optional<std::string> requestedAmount;
  std::optional<std::string> authorisedAmount;
  std::optional<std::string> cashback;  // the request spells it cashBack
  std::optional<std::string> cumulativeAmount;

  std::string toString() const;
};

class RefundResult : public BaseFinancialResult {
 public:
  bool operator==(const RefundResult&) const = default;

  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> orgTransactionDateTime;

  std::string toString() const;
};

class ReversalResult : public BaseFinancialResult {
 public:
  bool operator==(const ReversalResult&) const = default;

  std::string toString() const;
};

class PreAuthResult : public BaseFinancialResult {
 public:
  bool operator==(const PreAuthResult&) const = default;

  std::string toString() const;
};

class PreAuthCompletionResult : public BaseFinancialResult {
 public:
  bool operator==(const PreAuthCompletionResult&) const = default;

  // Pretty-printed JSON; "Error converting to JSON: <reason>" when a text
  // cannot be written (invalid UTF-8).
  std::string toString() const;
};

class AuthAdjustmentResult : public BaseFinancialResult {
 public:
  bool operator==(const AuthAdjustmentResult&) const = default;

  std::optional<std::string> requestedAmount;
  std::optional<std::string> authorisedAmount;
  std::optional<std::string> cumulativeAmount;

  std::string toString() const;
};

// Not a financial result: it carries its own copies of the few transaction
// fields it needs.
class BalanceInquiryResult : public BaseResult {
 public:
  bool operator==(const BalanceInquiryResult&) const = default;

  std::optional<std::string> transactionDateTime;
  ISO4217ActiveCurrency currency{};
  std::optional<std::string> currentBalance;  // decimal text
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantIdentificationName;
  std::optional<std::string> poiIdentificationId;
  std::optional<std::string> maskedPAN;
  std::optional<std::string> cardBrand;
  std::optional<std::string> poiTransactionIdentification;

  std::string toString() const;
};

}  // namespace veltrix::model
