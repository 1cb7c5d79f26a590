#include "veltrix/codec/req_builder_helper.h"

#include "veltrix/codec/transaction_header.h"
#include "veltrix/model/codes.h"
#include "veltrix/platform/json_writer.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {
namespace {

using platform::Json;

Json amountList(const std::vector<model::DetailedAmount>& amounts) {
  Json list = Json::array();
  for (const model::DetailedAmount& amount : amounts) {
    Json entry = Json::object();
    ReqBuilderHelper::addIfNotNull(entry, "amount", amount.amount);
    ReqBuilderHelper::addIfNotNull(entry, "label", amount.label);
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace

void ReqBuilderHelper::addIfNotNull(Json& body, std::string_view key,
                                    const std::optional<std::string>& value) {
  if (value) body[key] = *value;
}

void ReqBuilderHelper::addArrayIfNotEmpty(Json& body, std::string_view key,
                                          const std::optional<std::vector<std::string>>& array) {
  if (array && !array->empty()) body[key] = *array;
}

void ReqBuilderHelper::addBaseParamsToBody(Json& body, const model::BaseParams* param) {
  if (param == nullptr) return;
  addIfNotNull(body, "transactionReference", param->transactionReference);
  if (param->transactionType != model::TransactionTypeCode{}) {
    body["transactionType"] =
        model::TransactionTypeHelper::stringFromTransactionType(param->transactionType);
  }
  addIfNotNull(body, "cashierIdentification", param->cashierIdentification);
  body["accountType"] = model::CardAccountTypeCodeHelper::stringFromCode(param->accountType);
}

void ReqBuilderHelper::addFinancialParamsToBody(Json& body,
                                                const model::BaseFinancialParam& param) {
  addBaseParamsToBody(body, &param);
  addIfNotNull(body, "additionalSaleData", param.additionalSaleData);
  addIfNotNull(body, "additionalSaleData1", param.additionalSaleData1);
  addIfNotNull(body, "additionalSaleData2", param.additionalSaleData2);
  addIfNotNull(body, "cardBrand", param.cardBrand);
  if (param.attendanceContext != model::AttendanceContextCode{}) {
    body["attendanceContext"] =
        model::AttendanceContextCodeHelper::stringFromCode(param.attendanceContext);
  }
  if (param.cardDataEntryMode != model::CardDataReadingCode{}) {
    body["cardDataEntryMode"] =
        model::CardDataReadingCodeHelper::stringFromCode(param.cardDataEntryMode);
  }
  addIfNotNull(body, "emailAddress", param.emailAddress);
  addIfNotNull(body, "merchantIdentification", param.merchantIdentification);
  addIfNotNull(body, "merchantIdentificationName", param.merchantIdentificationName);
  addIfNotNull(body, "poiIdentificationId", param.poiIdentificationId);
  addIfNotNull(body, "tokenIdentification", param.tokenIdentification);
  addIfNotNull(body, "acquireManagerPwd", param.acquireManagerPwd);
  body["forceOnlineFlag"] = param.forceOnlineFlag;
  body["partialApproval"] = param.partialApproval;
  body["requiredESignFlag"] = param.requiredESignFlag;
  addArrayIfNotEmpty(body, "mobilePhone", param.mobilePhone);
  addValueAddedTaxsIfNeeded(body, param);
  addFeesIfNeeded(body, param);
  addReceiptConstructIfNeeded(body, param);
}

void ReqBuilderHelper::addValueAddedTaxsIfNeeded(Json& body,
                                                 const model::BaseFinancialParam& param) {
  if (param.valueAddedTaxs && !param.valueAddedTaxs->empty()) {
    body["valueAddedTax"] = amountList(*param.valueAddedTaxs);
  }
}

void ReqBuilderHelper::addFeesIfNeeded(Json& body, const model::BaseFinancialParam& param) {
  if (param.fees && !param.fees->empty()) body["fees"] = amountList(*param.fees);
}

void ReqBuilderHelper::addReceiptConstructIfNeeded(Json& body,
                                                   const model::BaseFinancialParam& param) {
  if (!param.receiptConstruct || param.receiptConstruct->empty()) return;
  Json list = Json::array();
  for (const model::ReceiptConstructEntry& entry : *param.receiptConstruct) {
    list.push_back(entry.toDictionary());
  }
  body["receiptConstruct"] = std::move(list);
}

Json ReqBuilderHelper::saleItemPaymentForm(const model::RetailerSaleItem& item) {
  Json out = Json::object();
  addIfNotNull(out, "productCode", item.productCode);
  addIfNotNull(out, "productAmount", item.productAmount);
  addIfNotNull(out, "productDescription", item.productDescription);
  out["unitOfMeasure"] = model::UnitOfMeasureCodeHelper::stringFromCode(item.unitOfMeasure);
  addIfNotNull(out, "unitPrice", item.unitPrice);
  addIfNotNull(out, "productQuantity", item.productQuantity);
  addIfNotNull(out, "productLabel", item.productLabel);
  addIfNotNull(out, "valueAddedTax", item.valueAddedTax);
  addIfNotNull(out, "taxType", item.taxType);
  return out;
}

Json ReqBuilderHelper::buildRequestDictionaryWithBody(const Json& body,
                                                      const model::ServiceParams* service) {
  return buildRequestDictionaryWithBody(Json(body), service);
}

Json ReqBuilderHelper::buildRequestDictionaryWithBody(Json&& body,
                                                      const model::ServiceParams* service) {
  Json message = service != nullptr
                     ? TransactionHeaderBuilder::buildHeaderWithServiceParams(*service)
                     : Json::object();
  if (body.is_object() && !body.empty()) message["request"] = std::move(body);
  return message;
}

std::optional<std::string> ReqBuilderHelper::buildJsonWithDictionary(const Json& message) {
  return detail::messageText(message, "JSON serialization error: ");
}

namespace detail {

std::optional<std::string> messageText(const Json& message, std::string_view errorPrefix) {
  std::string error;
  std::optional<std::string> text = platform::writeJsonPretty(message, &error);
  if (!text) platform::logf("{}{}", errorPrefix, error);
  return text;
}

}  // namespace detail

}  // namespace veltrix::codec
