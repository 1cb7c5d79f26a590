#include "veltrix/model/financial_results.h"

#include <fmt/format.h>

#include "veltrix/model/text_form.h"

namespace veltrix::model {
namespace {

using platform::Json;

// Markers of the forms: payment label lines, refund and reversal label
// lines, property lines, brace block.
constexpr TextForm kPaymentForm{"N/A", ""};
constexpr TextForm kRefundForm{"N/A", "N/A"};
constexpr TextForm kPropertyForm{"nil", ""};
constexpr TextForm kBraceForm{"nil", ""};

bool succeeded(const BaseResult& result) { return ResponseCodeHelper::isSuccess(result.response); }

std::string transactionTypeText(const TextForm& f, const BaseFinancialResult& r) {
  return f.code(r.transactionType, &TransactionTypeHelper::stringFromTransactionType);
}
std::string currencyText(const TextForm& f, ISO4217ActiveCurrency currency) {
  return f.code(currency, &ISO4217ActiveCurrencyHelper::currencyCodeFromEnum);
}
std::string entryModeText(const TextForm& f, const BaseFinancialResult& r) {
  return f.code(r.cardDataEntryMode, &CardDataReadingCodeHelper::stringFromCode);
}
// The line forms print the account type even when it is 0 (CTDP).
std::string accountTypeText(const BaseFinancialResult& r) {
  return CardAccountTypeCodeHelper::stringFromCode(r.accountType);
}

// {amount='1.00',label='svc'}
auto bracedAmount(const TextForm& f) {
  return [&](const DetailedAmount& a) {
    return fmt::format("{{amount='{}',label='{}'}}", f.elementText(a.amount),
                       f.elementText(a.label));
  };
}
// {documentQualifier='MRCP', format='TEXT', messageContent='...'}
auto bracedReceipt(const TextForm& f) {
  return [&](const PrintReceipt& r) {
    return fmt::format(
        "{{documentQualifier='{}', format='{}', messageContent='{}'}}",
        f.elementCode(r.documentQualifier, &ReceiptOutputTargetHelper::stringFromCode),
        f.elementCode(r.format, &OutputFormatCodeHelper::stringFromCode),
        f.elementText(r.messageContent));
  };
}

// Refund and reversal: label lines with "N/A" inside the elements too.
std::string refundFormText(const BaseFinancialResult& r, const RefundResult* refund) {
  const TextForm& f = kRefundForm;
  std::string out;
  f.line(out, "Transaction Reference", f.text(r.transactionReference));
  f.line(out, "Transaction Type", transactionTypeText(f, r));
  f.line(out, "Transaction DateTime", f.text(r.transactionDateTime));
  f.line(out, "Recipient Party ID", f.text(r.recipientPartyIdentification));
  f.line(out, "Exchange ID", f.text(r.exchangeIdentification));
  f.line(out, "Response", f.response(r));
  f.line(out, "Response Reason", f.responseReason(r));
  f.line(out, "Auth Response Reason", f.text(r.authRspnReason));
  f.line(out, "Additional Info", f.text(r.additionalResponseInformation));
  if (succeeded(r)) {
    f.line(out, "Total Amount", f.text(r.totalAmount));
    f.line(out, "Currency", currencyText(f, r.currency));
    f.line(out, "Account Type", accountTypeText(r));
    f.line(out, "Gratuity", f.text(r.gratuity));
    f.line(out, "Auth Code", f.text(r.authorisationCode));
    f.line(out, "Auth Identification", f.text(r.authorisationIdentification));
    const auto amount = [&](const DetailedAmount& a) {
      return fmt::format("Value: {}, Label: {}", f.elementText(a.amount), f.elementText(a.label));
    };
    f.listBlock(out, "Value Added Tax", r.valueAddedTax, "\t", amount, "\n");
    f.listBlock(out, "Fees", r.fees, "\t", amount, "\n");
  }
  f.line(out, "Merchant ID", f.text(r.merchantIdentification));
  f.line(out, "Merchant Name", f.text(r.merchantIdentificationName));
  f.line(out, "POI ID", f.text(r.poiIdentificationId));
  f.line(out, "Masked PAN", f.text(r.maskedPAN));
  f.line(out, "PAN", f.text(r.pan));
  f.line(out, "Expiry Date", f.text(r.expiryDate));
  f.line(out, "Card Entry Mode", entryModeText(f, r));
  f.line(out, "Card Brand", f.text(r.cardBrand));
  f.line(out, "AID", f.text(r.aid));
  f.line(out, "Cashier ID", f.text(r.cashierIdentification));
  f.line(out, "Issuer Ref Data", f.text(r.issuerReferenceData));
  f.line(out, "ICC Related Data", f.jsonList(r.iccRelatedData));
  if (refund) {
    f.line(out, "Original Transaction Reference", f.text(refund->orgTransactionReference));
    f.line(out, "Original Transaction DateTime", f.text(refund->orgTransactionDateTime));
  }
  f.line(out, "POI Transaction ID", f.text(r.poiTransactionIdentification));
  f.line(out, "POI Reconciliation ID", f.text(r.poiReconciliationIdentification));
  f.line(out, "Invoice Number", f.text(r.invoiceNumber));
  f.line(out, "Acquirer", f.text(r.acquirerShortName));
  f.line(out, "Additional Sale Data", f.text(r.additionalSaleData));
  f.line(out, "Token ID", f.text(r.tokenIdentification));
  f.listBlock(
      out, "Print Receipts", r.printReceipts, "\t",
      [&](const PrintReceipt& p) {
        return fmt::format(
            "Document Qualifier: {}, Output Format: {}, Output Content: {}",
            f.elementCode(p.documentQualifier, &ReceiptOutputTargetHelper::stringFromCode),
            f.elementCode(p.format, &OutputFormatCodeHelper::stringFromCode),
            f.elementText(p.messageContent));
      },
      "\n");
  return out;
}

// Authorisation adjustment and pre-authorisation: "fieldName: value" lines.
std::string propertyFormText(const BaseFinancialResult& r, const AuthAdjustmentResult* adjustment) {
  const TextForm& f = kPropertyForm;
  std::string out;
  f.line(out, "transactionReference", f.text(r.transactionReference));
  f.line(out, "transactionType", transactionTypeText(f, r));
  f.line(out, "transactionDateTime", f.text(r.transactionDateTime));
  f.line(out, "recipientPartyIdentification", f.text(r.recipientPartyIdentification));
  f.line(out, "exchangeIdentification", f.text(r.exchangeIdentification));
  f.line(out, "response", f.response(r));
  f.line(out, "responseReason", f.responseReason(r));
  f.line(out, "authRspnReason", f.text(r.authRspnReason));
  f.line(out, "additionalResponseInformation", f.text(r.additionalResponseInformation));
  if (succeeded(r)) {
    f.line(out, "totalAmount", f.text(r.totalAmount));
    f.line(out, "currency", currencyText(f, r.currency));
    f.line(out, "accountType", accountTypeText(r));
    f.line(out, "gratuity", f.text(r.gratuity));
    f.line(out, "authorisationCode", f.text(r.authorisationCode));
    f.line(out, "authorisationIdentification", f.text(r.authorisationIdentification));
    if (adjustment) {
      f.line(out, "requestedAmount", f.text(adjustment->requestedAmount));
      f.line(out, "authorisedAmount", f.text(adjustment->authorisedAmount));
      f.line(out, "cumulativeAmount", f.text(adjustment->cumulativeAmount));
    }
    f.listBlock(out, "valueAddedTax", r.valueAddedTax, "\t", bracedAmount(f), "\n");
    f.listBlock(out, "fees", r.fees, "\t", bracedAmount(f), "\n");
  }
  f.line(out, "merchantIdentification", f.text(r.merchantIdentification));
  f.line(out, "merchantIdentificationName", f.text(r.merchantIdentificationName));
  f.line(out, "poiIdentificationId", f.text(r.poiIdentificationId));
  f.line(out, "poiTransactionIdentification", f.text(r.poiTransactionIdentification));
  f.line(out, "poiReconciliationIdentification", f.text(r.poiReconciliationIdentification));
  f.line(out, "maskedPAN", f.text(r.maskedPAN));
  f.line(out, "pan", f.text(r.pan));
  f.line(out, "expiryDate", f.text(r.expiryDate));
  f.line(out, "cardDataEntryMode", entryModeText(f, r));
  f.line(out, "cardBrand", f.text(r.cardBrand));
  f.line(out, "aid", f.text(r.aid));
  f.line(out, "cashierIdentification", f.text(r.cashierIdentification));
  f.line(out, "issuerReferenceData", f.text(r.issuerReferenceData));
  f.line(out, "acquirerShortName", f.text(r.acquirerShortName));
  f.line(out, "invoiceNumber", f.text(r.invoiceNumber));
  f.line(out, "tokenIdentification", f.text(r.tokenIdentification));
  f.line(out, "additionalSaleData", f.text(r.additionalSaleData));
  f.line(out, "iccRelatedData", f.jsonList(r.iccRelatedData));
  f.listBlock(out, "printReceipts", r.printReceipts, "\t", bracedReceipt(f), "");
  return out;
}

// [{"amount", "label"}], absent texts as "".
Json amountArray(const std::vector<DetailedAmount>& amounts) {
  Json array = Json::array();
  for (const DetailedAmount& a : amounts) {
    array.push_back(Json{{"amount", a.amount.value_or("")}, {"label", a.label.value_or("")}});
  }
  return array;
}

}  // namespace

std::string PaymentResult::toString() const {
  const TextForm& f = kPaymentForm;
  std::string out;
  f.line(out, "Transaction Reference", f.text(transactionReference));
  f.line(out, "Transaction Type", transactionTypeText(f, *this));
  f.line(out, "Transaction DateTime", f.text(transactionDateTime));
  f.line(out, "Recipient Party ID", f.text(recipientPartyIdentification));
  f.line(out, "Exchange ID", f.text(exchangeIdentification));
  f.line(out, "Response", f.response(*this));
  f.line(out, "Response Reason", f.responseReason(*this));
  f.line(out, "Auth Response Reason", f.text(authRspnReason));
  f.line(out, "End Flag", endFlag ? "YES" : "NO");
  f.line(out, "Additional Info", f.text(additionalResponseInformation));
  if (succeeded(*this)) {
    f.line(out, "Total Amount", f.text(totalAmount));
    f.line(out, "Currency", currencyText(f, currency));
    f.line(out, "Account Type", accountTypeText(*this));
    f.line(out, "Auth Code", f.text(authorisationCode));
    f.line(out, "Auth Identification", f.text(authorisationIdentification));
    f.line(out, "Requested Amount", f.text(requestedAmount));
    f.line(out, "Authorised Amount", f.text(authorisedAmount));
    f.line(out, "Cumulative Amount", f.text(cumulativeAmount));
    f.line(out, "Cashback", f.text(cashback));
    f.line(out, "Gratuity", f.text(gratuity));
    f.listBlock(out, "Value Added Tax", valueAddedTax, "\t", bracedAmount(f), "\n");
    f.listBlock(out, "Fees", fees, "\t", bracedAmount(f), "\n");
  }
  f.line(out, "Merchant ID", f.text(merchantIdentification));
  f.line(out, "Merchant Name", f.text(merchantIdentificationName));
  f.line(out, "POI ID", f.text(poiIdentificationId));
  f.line(out, "POI Transaction ID", f.text(poiTransactionIdentification));
  f.line(out, "POI Recon ID", f.text(poiReconciliationIdentification));
  f.line(out, "Masked PAN", f.text(maskedPAN));
  f.line(out, "PAN", f.text(pan));
  f.line(out, "Expiry Date", f.text(expiryDate));
  f.line(out, "Card Entry Mode", entryModeText(f, *this));
  f.line(out, "Card Brand", f.text(cardBrand));
  f.line(out, "AID", f.text(aid));
  f.line(out, "Issuer Ref Data", f.text(issuerReferenceData));
  f.line(out, "Cashier ID", f.text(cashierIdentification));
  f.line(out, "Acquirer", f.text(acquirerShortName));
  f.line(out, "Invoice Number", f.text(invoiceNumber));
  f.line(out, "Token ID", f.text(tokenIdentification));
  f.line(out, "Additional Sale Data", f.text(additionalSaleData));
  f.line(out, "ICC Related Data", f.jsonList(iccRelatedData));
  // The plain number, all 64 bits of it.
  f.line(out, "Attendance Context",
         fmt::format("{}", static_cast<std::int64_t>(attendanceContext)));
  f.listBlock(
      out, "Sale Item Params", saleItemParams, "\t",
      [](const RetailerSaleItem& item) { return item.toString(); }, "\n");
  f.listBlock(out, "Print Receipts", printReceipts, "\t", bracedReceipt(f), "");
  return out;
}

std::string RefundResult::toString() const { return refundFormText(*this, this); }

std::string ReversalResult::toString() const { return refundFormText(*this, nullptr); }

std::string PreAuthResult::toString() const { return propertyFormText(*this, nullptr); }

std::string AuthAdjustmentResult::toString() const { return propertyFormText(*this, this); }

std::string PreAuthCompletionResult::toString() const {
  using J = JsonForm;
  Json out = Json::object();
  J::putText(out, "transactionReference", transactionReference);
  J::putCode(out, "transactionType", transactionType,
             &TransactionTypeHelper::stringFromTransactionType);
  J::putText(out, "recipientPartyIdentification", recipientPartyIdentification);
  J::putCode(out, "response", response, &ResponseCodeHelper::stringFromCode);
  J::putCode(out, "responseReason", responseReason,
             &RetailerResultDetailCodeHelper::stringFromCode);
  J::putText(out, "authRspnReason", authRspnReason);
  J::putText(out, "additionalResponseInformation", additionalResponseInformation);
  J::putText(out, "exchangeIdentification", exchangeIdentification);
  J::putText(out, "cashierIdentification", cashierIdentification);
  if (succeeded(*this)) {
    J::putText(out, "totalAmount", totalAmount);
    J::putText(out, "transactionDateTime", transactionDateTime);
    J::putCode(out, "currency", currency, &ISO4217ActiveCurrencyHelper::currencyCodeFromEnum);
    J::putCode(out, "accountType", accountType, &CardAccountTypeCodeHelper::stringFromCode);
    J::putText(out, "gratuity", gratuity);
    J::putText(out, "authorisationCode", authorisationCode);
    J::putText(out, "authorisationIdentification", authorisationIdentification);
    J::putText(out, "merchantIdentification", merchantIdentification);
    J::putText(out, "merchantIdentificationName", merchantIdentificationName);
    J::putText(out, "poiIdentificationId", poiIdentificationId);
    J::putText(out, "maskedPAN", maskedPAN);
    J::putCode(out, "cardDataEntryMode", cardDataEntryMode,
               &CardDataReadingCodeHelper::stringFromCode);
    J::putText(out, "cardBrand", cardBrand);
    J::putText(out, "expiryDate", expiryDate);
    J::putText(out, "pan", pan);
    J::putText(out, "invoiceNumber", invoiceNumber);
    J::putText(out, "acquirerShortName", acquirerShortName);
    J::putText(out, "issuerReferenceData", issuerReferenceData);
    // Kept even when empty, unlike the three lists below.
    if (iccRelatedData) {
      Json array = Json::array();
      for (const Json& value : *iccRelatedData) array.push_back(value);
      out["iccRelatedData"] = std::move(array);
    }
    J::putText(out, "poiTransactionIdentification", poiTransactionIdentification);
    J::putText(out, "poiReconciliationIdentification", poiReconciliationIdentification);
    J::putText(out, "aid", aid);
    J::putText(out, "additionalSaleData", additionalSaleData);
    J::putText(out, "tokenIdentification", tokenIdentification);
    if (valueAddedTax && !valueAddedTax->empty()) {
      out["valueAddedTax"] = amountArray(*valueAddedTax);
    }
    if (fees && !fees->empty()) out["fees"] = amountArray(*fees);
    if (printReceipts && !printReceipts->empty()) {
      out["printReceipts"] = J::receiptArray(*printReceipts);
    }
  }
  return J::text(out);
}

std::string BalanceInquiryResult::toString() const {
  const TextForm& f = kBraceForm;
  return fmt::format(
      "{{\n"
      "  exchangeIdentification: {},\n"
      "  cashierIdentification: {},\n"
      "  recipientPartyIdentification: {},\n"
      "  response: {},\n"
      "  responseReason: {},\n"
      "  authRspnReason: {},\n"
      "  additionalResponseInformation: {},\n"
      "  issuerReferenceData: {},\n"
      "  transactionDateTime: {},\n"
      "  currency: {},\n"
      "  currentBalance: {},\n"
      "  merchantIdentification: {},\n"
      "  merchantIdentificationName: {},\n"
      "  poiIdentificationId: {},\n"
      "  maskedPAN: {},\n"
      "  cardBrand: {},\n"
      "  poiTransactionIdentification: {}\n"
      "}}",
      f.text(exchangeIdentification), f.text(cashierIdentification),
      f.text(recipientPartyIdentification), f.response(*this), f.responseReason(*this),
      f.text(authRspnReason), f.text(additionalResponseInformation), f.text(issuerReferenceData),
      f.text(transactionDateTime), currencyText(f, currency), f.text(currentBalance),
      f.text(merchantIdentification), f.text(merchantIdentificationName),
      f.text(poiIdentificationId), f.text(maskedPAN), f.text(cardBrand),
      f.text(poiTransactionIdentification));
}

}  // namespace veltrix::model
