// The results of the non-financial services (card authentication, display,
// message status, NFC tag, print, transmit message, reconciliation) and the
// two records of a reconciliation's totals, with the text forms that hosts
// show and log. DisplayResult, OutputResult and PrintResult have none.
//
// Plain values like their base (result_base.h). MessageStatusResult holds
// its nested results as shared immutable objects: copies share them, which
// is safe because nobody can change them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_results.h"
#include "veltrix/model/request_base.h"
#include "veltrix/model/result_base.h"

namespace veltrix::model {

class CardAuthResult : public BaseResult {
 public:
  bool operator==(const CardAuthResult&) const = default;

  std::optional<std::string> transactionReference;
  std::optional<std::string> transactionDateTime;
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantIdentificationName;
  std::optional<std::string> poiIdentificationId;
  std::optional<std::string> cardBrand;
  std::optional<std::string> poiTransactionIdentification;
  std::optional<std::string> maskedPAN;
  std::optional<std::string> tokenIdentification;

  // Chinese labels; the last two lines ("掩码卡号", "token id") have no line
  // feed and run together, as hosts have always seen them.
  std::string toString() const;
};

// The outcome of one output of a display request.
struct OutputResult {
  ReceiptOutputTargetCode deviceType{};
  InformationQualifyCode informationQualifier{};
  // The terminal's outcome code for this output, kept as text.
  std::optional<std::string> response;

  bool operator==(const OutputResult&) const = default;
};

class DisplayResult : public BaseResult {
 public:
  bool operator==(const DisplayResult&) const = default;

  std::optional<std::vector<OutputResult>> outputResultList;
};

class MessageStatusResult : public BaseResult {
 public:
  // Nested results compare by content.
  bool operator==(const MessageStatusResult& other) const;

  std::optional<std::string> orgExchangeIdentification;  // the exchange asked about
  std::optional<std::string> initiatingPartyIdentification;
  // Each present only when the terminal sent it.
  std::shared_ptr<const PaymentResult> paymentResult;
  std::shared_ptr<const ReversalResult> reversalResult;
  std::shared_ptr<const RefundResult> refundResult;
  std::shared_ptr<const PreAuthResult> preAuthResult;

  // "name: value" lines; the nested results print only as YES or NO.
  std::string toString() const;
};

class NFCTagResult : public BaseResult {
 public:
  bool operator==(const NFCTagResult&) const = default;

  std::int64_t detectCount = 0;

  // Pretty-printed JSON of the present base fields and of detectCount when
  // it is above 0; "Error converting to JSON: <reason>" when a text cannot
  // be written.
  std::string toString() const;
};

class PrintResult : public BaseResult {
 public:
  bool operator==(const PrintResult&) const = default;
};

class TransmitMessageResult : public BaseResult {
 public:
  bool operator==(const TransmitMessageResult&) const = default;

  // Already decoded from base64.
  std::optional<std::string> receivedMessage;

  // Five "name: value" lines, the last without a line feed.
  std::string toString() const;
};

// One line of totals of a reconciliation.
struct TransTotals {
  std::optional<std::string> poiGroupIdentification;
  std::optional<std::string> cardProductProfile;
  ISO4217ActiveCurrency activeCurrency{};
  TypeTransactionTotalsCode transactionTotalsType{};
  std::optional<std::string> totalNum;  // count of transactions
  std::optional<std::string> totalAmount;
  std::optional<std::string> cashBack;
  std::optional<std::vector<DetailedAmount>> fees;
  // Wire key "valueAddedTax".
  std::optional<std::vector<DetailedAmount>> valueAddedTaxs;

  bool operator==(const TransTotals&) const = default;

  // TransTotals{poiGroupIdentification='G1', ..., valueAddedTaxs=null} on
  // one line; the currency and the kind always print their codes.
  std::string toString() const;
};

// The totals of one group that the terminal totals separately.
struct TransTotalsSet {
  PaymentInstrumentTypeCode paymentInstrumentTypeCode{};
  std::optional<std::string> acquirerIdentification;
  std::optional<std::string> reconciliationIdentification;
  std::optional<std::string> saleReconciliationIdentification;
  std::optional<std::string> brand;
  std::optional<std::string> poiIdentification;
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantName;
  std::optional<std::string> saleIdentification;
  std::optional<std::string> cashierIdentification;
  std::optional<std::string> shiftNumber;
  std::optional<std::vector<TransTotals>> transactionTotals;
  // The decoder sets it to the first entry of transactionTotals.
  std::optional<TransTotals> transactionTotal;

  bool operator==(const TransTotalsSet&) const = default;

  // TransTotalsSet{paymentInstrumentTypeCode=1, ...}: the instrument type as
  // its number; the entries indented on lines of their own.
  std::string toString() const;
};

class ReconciliationResult : public BaseResult {
 public:
  bool operator==(const ReconciliationResult&) const = default;

  ReconciliationTypeCode reconciliationType{};
  std::optional<std::string> shiftNumber;
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantIdentificationName;
  std::optional<std::string> poiIdentificationId;
  std::optional<std::string> poiReconciliationIdentification;
  std::optional<std::string> invoiceNumber;
  std::optional<std::string> transactionDateTime;
  std::optional<std::string> transactionReference;
  std::optional<std::vector<TransTotalsSet>> transTotalsSets;
  // The first of transTotalsSets, unless the message carried a separate one.
  std::optional<TransTotalsSet> transTotalsSet;

  // "name: value" lines ending with "transTotalsSet: ..." and no line feed.
  std::string toString() const;
};

}  // namespace veltrix::model
