#include "veltrix/model/nonfinancial_results.h"

#include <fmt/format.h>

#include "veltrix/model/text_form.h"

namespace veltrix::model {
namespace {

using platform::Json;

// Markers: "nil" for the name-value forms, "null" with '' for absent texts
// in the one-line totals forms.
constexpr TextForm kNilForm{"nil", ""};
constexpr TextForm kTotalsForm{"null", ""};

// The four opening lines of the name-value forms.
void responseLines(std::string& out, const BaseResult& r) {
  const TextForm& f = kNilForm;
  f.line(out, "recipientPartyIdentification", f.text(r.recipientPartyIdentification));
  f.line(out, "response", f.response(r));
  f.line(out, "responseReason", f.responseReason(r));
  f.line(out, "additionalResponseInformation", f.text(r.additionalResponseInformation));
}

// ", name=[{amount='1.00',label='svc'}, ...]" or ", name=null".
void amountList(std::string& out, std::string_view name,
                const std::optional<std::vector<DetailedAmount>>& list) {
  const TextForm& f = kTotalsForm;
  out += ", ";
  out += name;
  if (!list || list->empty()) {
    out += '=';
    out += f.absentMarker;
    return;
  }
  out += "=[";
  out += joinedTexts(*list, ", ", [&](const DetailedAmount& a) {
    return fmt::format("{{amount='{}',label='{}'}}", f.elementText(a.amount),
                       f.elementText(a.label));
  });
  out += ']';
}

template <typename T>
bool sameContent(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b) {
  return a == b || (a && b && *a == *b);
}

}  // namespace

std::string CardAuthResult::toString() const {
  const TextForm f{"N/A", ""};
  std::string out;
  f.line(out, "交易参考号", f.text(transactionReference));
  f.line(out, "接收方标识", f.text(recipientPartyIdentification));
  out += fmt::format("  response: {},\n", kNilForm.response(*this));
  out += fmt::format("  responseReason: {},\n", kNilForm.responseReason(*this));
  if (additionalResponseInformation) {
    f.line(out, "附加响应信息", *additionalResponseInformation);
  }
  if (ResponseCodeHelper::isSuccess(response)) {
    out += "\n交易成功详情:\n";
    f.line(out, "交易时间", f.text(transactionDateTime));
    f.line(out, "商户ID", f.text(merchantIdentification));
    if (merchantIdentificationName) f.line(out, "商户名称", *merchantIdentificationName);
    f.line(out, "终端ID", f.text(poiIdentificationId));
    f.line(out, "卡品牌", f.text(cardBrand));
    if (cashierIdentification) f.line(out, "收银员ID", *cashierIdentification);
    f.line(out, "终端交易ID", f.text(poiTransactionIdentification));
    if (maskedPAN) out += fmt::format("掩码卡号: {}", *maskedPAN);
    if (tokenIdentification) out += fmt::format("token id: {}", *tokenIdentification);
  }
  return out;
}

bool MessageStatusResult::operator==(const MessageStatusResult& other) const {
  return static_cast<const BaseResult&>(*this) == static_cast<const BaseResult&>(other) &&
         orgExchangeIdentification == other.orgExchangeIdentification &&
         initiatingPartyIdentification == other.initiatingPartyIdentification &&
         sameContent(paymentResult, other.paymentResult) &&
         sameContent(reversalResult, other.reversalResult) &&
         sameContent(refundResult, other.refundResult) &&
         sameContent(preAuthResult, other.preAuthResult);
}

std::string MessageStatusResult::toString() const {
  const TextForm& f = kNilForm;
  std::string out;
  responseLines(out, *this);
  if (ResponseCodeHelper::isSuccess(response)) {
    f.line(out, "orgExchangeIdentification", f.text(orgExchangeIdentification));
    f.line(out, "initiatingPartyIdentification", f.text(initiatingPartyIdentification));
    f.line(out, "paymentResult", paymentResult ? "YES" : "NO");
    f.line(out, "reversalResult", reversalResult ? "YES" : "NO");
    f.line(out, "refundResult", refundResult ? "YES" : "NO");
    f.line(out, "preAuthResult", preAuthResult ? "YES" : "NO");
  }
  return out;
}

std::string NFCTagResult::toString() const {
  Json out = Json::object();
  JsonForm::putBaseMembers(out, *this);
  if (detectCount > 0) out["detectCount"] = detectCount;
  return JsonForm::text(out);
}

std::string TransmitMessageResult::toString() const {
  const TextForm& f = kNilForm;
  std::string out;
  responseLines(out, *this);
  out += "receivedMessage: ";
  out += f.text(receivedMessage);
  return out;
}

std::string TransTotals::toString() const {
  const TextForm& f = kTotalsForm;
  std::string out = fmt::format(
      "TransTotals{{poiGroupIdentification='{}', cardProductProfile='{}', activeCurrency={}, "
      "transactionTotalsType={}, totalNum='{}', totalAmount='{}', cashBack='{}'",
      f.elementText(poiGroupIdentification), f.elementText(cardProductProfile),
      ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(activeCurrency),
      TypeTransactionTotalsCodeHelper::stringFromCode(transactionTotalsType),
      f.elementText(totalNum), f.elementText(totalAmount), f.elementText(cashBack));
  amountList(out, "fees", fees);
  amountList(out, "valueAddedTaxs", valueAddedTaxs);
  out += '}';
  return out;
}

std::string TransTotalsSet::toString() const {
  const TextForm& f = kTotalsForm;
  // The instrument type as its number, all 64 bits of it.
  std::string out = fmt::format(
      "TransTotalsSet{{paymentInstrumentTypeCode={}, acquirerIdentification='{}', "
      "reconciliationIdentification='{}', saleReconciliationIdentification='{}', brand='{}', "
      "poiIdentification='{}', merchantIdentification='{}', merchantName='{}', "
      "saleIdentification='{}', cashierIdentification='{}', shiftNumber='{}'",
      static_cast<std::int64_t>(paymentInstrumentTypeCode), f.elementText(acquirerIdentification),
      f.elementText(reconciliationIdentification), f.elementText(saleReconciliationIdentification),
      f.elementText(brand), f.elementText(poiIdentification), f.elementText(merchantIdentification),
      f.elementText(merchantName), f.elementText(saleIdentification),
      f.elementText(cashierIdentification), f.elementText(shiftNumber));
  if (transactionTotals && !transactionTotals->empty()) {
    out += ", transactionTotals=[\n";
    out += joinedTexts(*transactionTotals, ",\n",
                       [](const TransTotals& t) { return "  " + t.toString(); });
    out += "\n]";
  } else {
    out += ", transactionTotals=";
    out += f.absentMarker;
  }
  out += ", transactionTotal=";
  out += transactionTotal ? transactionTotal->toString() : std::string(f.absentMarker);
  out += '}';
  return out;
}

std::string ReconciliationResult::toString() const {
  const TextForm& f = kNilForm;
  std::string out;
  responseLines(out, *this);
  // Converted in every case: 0 prints AREC.
  f.line(out, "reconciliationType",
         ReconciliationTypeCodeHelper::stringFromCode(reconciliationType));
  f.line(out, "shiftNumber", f.text(shiftNumber));
  f.line(out, "merchantIdentification", f.text(merchantIdentification));
  f.line(out, "merchantIdentificationName", f.text(merchantIdentificationName));
  f.line(out, "poiIdentificationId", f.text(poiIdentificationId));
  f.line(out, "cashierIdentification", f.text(cashierIdentification));
  f.line(out, "poiReconciliationIdentification", f.text(poiReconciliationIdentification));
  f.line(out, "invoiceNumber", f.text(invoiceNumber));
  f.line(out, "transactionDateTime", f.text(transactionDateTime));
  f.line(out, "transactionReference", f.text(transactionReference));
  f.listBlock(
      out, "transTotalsSets", transTotalsSets, "  ",
      [](const TransTotalsSet& set) { return set.toString(); }, "\n");
  out += "transTotalsSet: ";
  out += transTotalsSet ? transTotalsSet->toString() : std::string(f.absentMarker);
  return out;
}

}  // namespace veltrix::model
