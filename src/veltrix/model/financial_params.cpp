#include "veltrix/model/financial_params.h"

#include "veltrix/model/text_form.h"

namespace veltrix::model {
namespace {

using platform::Json;
using J = JsonForm;

void putFlag(Json& out, const char* key, bool value) {
  if (value) out[key] = true;
}

template <typename T>
bool hasElements(const std::optional<std::vector<T>>& list) {
  return list && !list->empty();
}

// {"value", "label"} per amount; an absent text is written as "".
Json amountList(const std::vector<DetailedAmount>& amounts) {
  Json out = Json::array();
  for (const DetailedAmount& a : amounts) {
    out.push_back(Json{{"value", a.amount.value_or("")}, {"label", a.label.value_or("")}});
  }
  return out;
}

// Unlike RetailerSaleItem::toDictionary, an empty text is written here.
Json saleItemEntry(const RetailerSaleItem& item) {
  Json out = Json::object();
  J::putText(out, "productCode", item.productCode);
  J::putCode(out, "unitOfMeasure", item.unitOfMeasure, &UnitOfMeasureCodeHelper::stringFromCode);
  J::putText(out, "productAmount", item.productAmount);
  J::putText(out, "productQuantity", item.productQuantity);
  J::putText(out, "unitPrice", item.unitPrice);
  J::putText(out, "productLabel", item.productLabel);
  J::putText(out, "productDescription", item.productDescription);
  J::putText(out, "valueAddedTax", item.valueAddedTax);
  J::putText(out, "taxType", item.taxType);
  return out;
}

}  // namespace

Json PaymentParam::toDictionary() const {
  Json out = Json::object();
  J::putBaseParamMembers(out, *this);
  J::putText(out, "totalAmount", totalAmount);
  J::putText(out, "gratuity", gratuity);
  J::putText(out, "cashBack", cashBack);
  J::putCode(out, "currency", currency, &ISO4217ActiveCurrencyHelper::currencyCodeFromEnum);
  J::putText(out, "pan", pan);
  J::putText(out, "track1", track1);
  J::putText(out, "track2", track2);
  J::putText(out, "track3", track3);
  J::putText(out, "maskedPAN", maskedPAN);
  J::putText(out, "requestedAmount", requestedAmount);
  J::putText(out, "postCode", postCode);
  J::putText(out, "addressLine", addressLine);
  J::putText(out, "expiryDate", expiryDate);
  J::putText(out, "cvv2", cvv2);
  J::putText(out, "additionalSaleData", additionalSaleData);
  J::putText(out, "additionalSaleData1", additionalSaleData1);
  J::putText(out, "additionalSaleData2", additionalSaleData2);
  J::putText(out, "cardBrand", cardBrand);
  J::putCode(out, "cardDataEntryMode", cardDataEntryMode,
             &CardDataReadingCodeHelper::stringFromCode);
  J::putText(out, "emailAddress", emailAddress);
  putFlag(out, "forceOnlineFlag", forceOnlineFlag);
  J::putText(out, "merchantIdentification", merchantIdentification);
  J::putText(out, "merchantIdentificationName", merchantIdentificationName);
  if (hasElements(mobilePhone)) {
    Json phones = Json::array();
    for (const std::string& phone : *mobilePhone) phones.push_back(phone);
    out["mobilePhone"] = std::move(phones);
  }
  putFlag(out, "partialApproval", partialApproval);
  putFlag(out, "requiredESignFlag", requiredESignFlag);
  J::putText(out, "tokenIdentification", tokenIdentification);
  putFlag(out, "runInBackground", runInBackground);
  J::putText(out, "poiIdentificationId", poiIdentificationId);
  if (hasElements(fees)) out["fees"] = amountList(*fees);
  if (hasElements(valueAddedTaxs)) out["valueAddedTax"] = amountList(*valueAddedTaxs);
  if (hasElements(receiptConstruct)) {
    Json entries = Json::array();
    for (const ReceiptConstructEntry& entry : *receiptConstruct) {
      entries.push_back(entry.toDictionary());
    }
    out["receiptConstruct"] = std::move(entries);
  }
  if (hasElements(saleItems)) {
    Json items = Json::array();
    for (const RetailerSaleItem& item : *saleItems) items.push_back(saleItemEntry(item));
    out["saleItems"] = std::move(items);
  }
  return out;
}

std::optional<std::string> PaymentParam::toJSONString() const {
  return J::textOrLog(toDictionary(), "Error converting to JSON");
}

}  // namespace veltrix::model
