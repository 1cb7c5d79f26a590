#include "veltrix/model/financial_params.h"

#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;

void putText(Json& out, const char* key, const std::optional<std::string>& value) {
  if (value) out[key] = *value;
}

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
  putText(out, "productCode", item.productCode);
  if (item.unitOfMeasure != UnitOfMeasureCode{}) {
    out["unitOfMeasure"] = UnitOfMeasureCodeHelper::stringFromCode(item.unitOfMeasure);
  }
  putText(out, "productAmount", item.productAmount);
  putText(out, "productQuantity", item.productQuantity);
  putText(out, "unitPrice", item.unitPrice);
  putText(out, "productLabel", item.productLabel);
  putText(out, "productDescription", item.productDescription);
  putText(out, "valueAddedTax", item.valueAddedTax);
  putText(out, "taxType", item.taxType);
  return out;
}

}  // namespace

Json PaymentParam::toDictionary() const {
  Json out = Json::object();
  putText(out, "transactionReference", transactionReference);
  if (transactionType != TransactionTypeCode{}) {
    out["transactionType"] = TransactionTypeHelper::stringFromTransactionType(transactionType);
  }
  if (accountType != CardAccountTypeCode{}) {
    out["accountType"] = CardAccountTypeCodeHelper::stringFromCode(accountType);
  }
  putText(out, "cashierIdentification", cashierIdentification);
  putText(out, "totalAmount", totalAmount);
  putText(out, "gratuity", gratuity);
  putText(out, "cashBack", cashBack);
  if (currency != ISO4217ActiveCurrency{}) {
    out["currency"] = ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(currency);
  }
  putText(out, "pan", pan);
  putText(out, "track1", track1);
  putText(out, "track2", track2);
  putText(out, "track3", track3);
  putText(out, "maskedPAN", maskedPAN);
  putText(out, "requestedAmount", requestedAmount);
  putText(out, "postCode", postCode);
  putText(out, "addressLine", addressLine);
  putText(out, "expiryDate", expiryDate);
  putText(out, "cvv2", cvv2);
  putText(out, "additionalSaleData", additionalSaleData);
  putText(out, "additionalSaleData1", additionalSaleData1);
  putText(out, "additionalSaleData2", additionalSaleData2);
  putText(out, "cardBrand", cardBrand);
  if (cardDataEntryMode != CardDataReadingCode{}) {
    out["cardDataEntryMode"] = CardDataReadingCodeHelper::stringFromCode(cardDataEntryMode);
  }
  putText(out, "emailAddress", emailAddress);
  putFlag(out, "forceOnlineFlag", forceOnlineFlag);
  putText(out, "merchantIdentification", merchantIdentification);
  putText(out, "merchantIdentificationName", merchantIdentificationName);
  if (hasElements(mobilePhone)) {
    Json phones = Json::array();
    for (const std::string& phone : *mobilePhone) phones.push_back(phone);
    out["mobilePhone"] = std::move(phones);
  }
  putFlag(out, "partialApproval", partialApproval);
  putFlag(out, "requiredESignFlag", requiredESignFlag);
  putText(out, "tokenIdentification", tokenIdentification);
  putFlag(out, "runInBackground", runInBackground);
  putText(out, "poiIdentificationId", poiIdentificationId);
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
  std::string error;
  auto text = platform::dumpJsonPretty(toDictionary(), &error);
  if (!text) platform::logf("Error converting to JSON: {}", error);
  return text;
}

}  // namespace veltrix::model
