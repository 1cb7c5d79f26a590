// The roots of the result classes: BaseResult, with the response fields that
// every service shares, and BaseFinancialResult, with the transaction fields
// of the six card-transaction results.
//
// Results are plain values: public fields, no validation, no locking. The
// response decoders make and fill them on the thread that decodes the
// message; afterwards they are only read, and the host receives them as
// std::shared_ptr<const R>, which is why the root is polymorphic. Copies are
// independent (lists are copied). Fields start absent, 0 and false.
//
// A new result has `response` 0, which is SUCC: an unfilled result reads as
// a success. The decoders always set it (FAIL when the message lacks it).
// Enumeration values outside their tables are kept as they are.
//
// The base classes have no text form; each concrete result that has one
// defines its own toString().
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/print_receipt.h"
#include "veltrix/model/request_base.h"
#include "veltrix/model/sale_item.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

class BaseResult {
 public:
  BaseResult() = default;
  BaseResult(const BaseResult&) = default;
  BaseResult(BaseResult&&) = default;
  BaseResult& operator=(const BaseResult&) = default;
  BaseResult& operator=(BaseResult&&) = default;
  virtual ~BaseResult() = default;

  bool operator==(const BaseResult&) const = default;

  std::optional<std::string> exchangeIdentification;
  std::optional<std::string> cashierIdentification;
  std::optional<std::string> recipientPartyIdentification;
  ResponseCode response{};                    // SUCC (0) until a decoder sets it
  RetailerResultDetailCode responseReason{};  // ABRT (0) .. WIPG (15)
  // Spelled so on the wire too. No text form prints it.
  RefusalReasonCode refualResponse{};
  std::optional<std::string> authRspnReason;
  std::optional<std::string> additionalResponseInformation;
  std::optional<std::string> issuerReferenceData;
};

class BaseFinancialResult : public BaseResult {
 public:
  bool operator==(const BaseFinancialResult&) const = default;

  std::optional<std::string> transactionReference;
  TransactionTypeCode transactionType{};   // counts from 1; 0 = none
  std::optional<std::string> totalAmount;  // decimal text as received
  std::optional<std::string> transactionDateTime;
  ISO4217ActiveCurrency currency{};
  CardAccountTypeCode accountType{};
  std::optional<std::string> authorisationCode;
  std::optional<std::string> gratuity;
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantIdentificationName;
  std::optional<std::string> poiIdentificationId;
  std::optional<std::string> maskedPAN;
  CardDataReadingCode cardDataEntryMode{};
  std::optional<std::string> cardBrand;
  std::optional<std::string> acquirerShortName;
  std::optional<std::string> poiReconciliationIdentification;
  std::optional<std::string> poiTransactionIdentification;
  std::optional<std::string> additionalSaleData;
  std::optional<std::string> aid;
  std::optional<std::string> tokenIdentification;
  std::optional<std::string> expiryDate;
  std::optional<std::string> invoiceNumber;
  std::optional<std::string> pan;
  // Singular here; the request's list is valueAddedTaxs.
  std::optional<std::vector<DetailedAmount>> valueAddedTax;
  // No decoder fills it; the payment text form prints each item's toString.
  std::optional<std::vector<RetailerSaleItem>> saleItemParams;
  // The chip-card data values exactly as the message held them.
  std::optional<std::vector<platform::Json>> iccRelatedData;
  std::optional<std::vector<PrintReceipt>> printReceipts;
  std::optional<std::vector<DetailedAmount>> fees;
  std::optional<std::string> authorisationIdentification;
  AttendanceContextCode attendanceContext{};  // no decoder fills it
};

}  // namespace veltrix::model
