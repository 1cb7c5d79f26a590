#include "veltrix/codec/nonfinancial_rspn_builders.h"

#include <utility>

#include "veltrix/codec/financial_rspn_builders.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/platform/base64.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {
namespace {

using detail::bodyText;
using platform::Json;

// The member `key` of `object`, or null when it has none.
const Json* member(const Json& object, std::string_view key) {
  auto it = object.find(key);
  return it != object.end() ? &*it : nullptr;
}

}  // namespace

// ---- Reconciliation -------------------------------------------------------------------

void ReconciliationRspnBuilder::willReadBody(const Json* member) {
  platform::logf("bodyDict = {}", detail::logText(member));
}

std::shared_ptr<model::ReconciliationResult> ReconciliationRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  const Json& b = *body;
  auto result = std::make_shared<model::ReconciliationResult>();
  RspnBuilderHelper::parseBaseResultFields(*result, b);
  result->reconciliationType =
      model::ReconciliationTypeCodeHelper::codeFromString(bodyText(b, "reconciliationType"));
  result->shiftNumber = bodyText(b, "shiftNumber");
  result->merchantIdentification = bodyText(b, "merchantIdentification");
  result->merchantIdentificationName = bodyText(b, "merchantIdentificationName");
  result->poiIdentificationId = bodyText(b, "poiIdentificationId");
  result->poiReconciliationIdentification = bodyText(b, "poiReconciliationIdentification");
  result->invoiceNumber = bodyText(b, "invoiceNumber");
  result->transactionDateTime = bodyText(b, "transactionDateTime");
  result->transactionReference = bodyText(b, "transactionReference");
  result->transTotalsSets = parseTransTotalsSetFromArray(member(b, "transTotalsSets"));
  if (result->transTotalsSets && !result->transTotalsSets->empty()) {
    result->transTotalsSet = result->transTotalsSets->front();
  }
  // A separate set wins over the first of the list.
  if (std::optional<model::TransTotalsSet> single =
          parseTransTotalsSetFromDictionary(member(b, "transTotalsSet"))) {
    result->transTotalsSet = std::move(single);
  }
  return result;
}

std::optional<std::vector<model::TransTotalsSet>>
ReconciliationRspnBuilder::parseTransTotalsSetFromArray(const Json* array) {
  if (array == nullptr || !array->is_array()) return std::nullopt;
  return detail::parsedElements(
      *array, [](const Json& element) { return parseTransTotalsSetFromDictionary(&element); });
}

std::optional<model::TransTotalsSet> ReconciliationRspnBuilder::parseTransTotalsSetFromDictionary(
    const Json* object) {
  if (object == nullptr || !object->is_object()) return std::nullopt;
  const Json& o = *object;
  model::TransTotalsSet set;
  set.shiftNumber = bodyText(o, "shiftNumber");
  set.saleIdentification = bodyText(o, "saleIdentification");
  set.poiIdentification = bodyText(o, "poiIdentification");
  set.acquirerIdentification = bodyText(o, "acquirerIdentification");
  set.paymentInstrumentTypeCode = model::PaymentInstrumentTypeCodeHelper::codeFromString(
      bodyText(o, "paymentInstrumentTypeCode"));
  set.reconciliationIdentification = bodyText(o, "reconciliationIdentification");
  set.saleReconciliationIdentification = bodyText(o, "saleReconciliationIdentification");
  set.merchantName = bodyText(o, "merchantName");
  set.merchantIdentification = bodyText(o, "merchantIdentification");
  set.brand = bodyText(o, "brand");
  set.cashierIdentification = bodyText(o, "cashierIdentification");
  if (const Json* totals = platform::findArray(o, "transactionTotals")) {
    std::vector<model::TransTotals> list = detail::parsedElements(
        *totals, [](const Json& element) { return parseTransTotalFromDictionary(&element); });
    if (!list.empty()) set.transactionTotal = list.front();
    set.transactionTotals = std::move(list);
  }
  return set;
}

std::optional<model::TransTotals> ReconciliationRspnBuilder::parseTransTotalFromDictionary(
    const Json* object) {
  if (object == nullptr || !object->is_object()) return std::nullopt;
  const Json& o = *object;
  model::TransTotals totals;
  totals.poiGroupIdentification = bodyText(o, "poiGroupIdentification");
  totals.cardProductProfile = bodyText(o, "cardProductProfile");
  totals.activeCurrency =
      model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(bodyText(o, "activeCurrency"));
  totals.transactionTotalsType =
      model::TypeTransactionTotalsCodeHelper::codeFromString(bodyText(o, "transactionTotalsType"));
  totals.totalNum = bodyText(o, "totalNum");
  totals.totalAmount = bodyText(o, "totalAmount");
  totals.cashBack = bodyText(o, "cashBack");
  RspnBuilderHelper::parseFeesArray(totals.fees, o);
  RspnBuilderHelper::parseValueAddedTaxArray(totals.valueAddedTaxs, o);
  return totals;
}

// ---- Card authentication ----------------------------------------------------------------

std::shared_ptr<model::CardAuthResult> CardAuthRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  const Json& b = *body;
  auto result = std::make_shared<model::CardAuthResult>();
  result->transactionReference = bodyText(b, "transactionReference");
  detail::readResponseFields(*result, b);
  result->transactionDateTime = bodyText(b, "transactionDateTime");
  result->merchantIdentification = bodyText(b, "merchantIdentification");
  result->merchantIdentificationName = bodyText(b, "merchantIdentificationName");
  result->poiIdentificationId = bodyText(b, "poiIdentificationId");
  result->poiTransactionIdentification = bodyText(b, "poiTransactionIdentification");
  result->cardBrand = bodyText(b, "cardBrand");
  result->maskedPAN = bodyText(b, "maskedPAN");
  result->tokenIdentification = bodyText(b, "tokenIdentification");
  result->cashierIdentification = bodyText(b, "cashierIdentification");
  return result;
}

// ---- Display ----------------------------------------------------------------------------

std::shared_ptr<model::DisplayResult> DisplayRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionaryByDisplayResult(body);
}

std::shared_ptr<model::DisplayResult> DisplayRspnBuilder::parseFromDictionaryByDisplayResult(
    const Json* body) {
  if (!detail::isResultObject(body, "DisplayResult")) return nullptr;
  auto result = std::make_shared<model::DisplayResult>();
  detail::readResponseFields(*result, *body);
  if (const Json* outputs = platform::findArray(*body, "outputResultList")) {
    result->outputResultList = detail::parsedElements(
        *outputs, [](const Json& element) { return parseFromDictionary(&element); });
  }
  return result;
}

std::optional<model::OutputResult> DisplayRspnBuilder::parseFromDictionary(const Json* object) {
  if (object == nullptr || !object->is_object()) return std::nullopt;
  model::OutputResult output;
  output.deviceType =
      model::ReceiptOutputTargetHelper::targetFromString(bodyText(*object, "deviceType"));
  output.informationQualifier = model::InformationQualifyCodeHelper::codeFromString(
      bodyText(*object, "informationQualifier"));
  output.response = bodyText(*object, "response");
  return output;
}

std::shared_ptr<model::DisplayResult> DisplayRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "DisplayResult", [](const Json* body) {
    return parseFromDictionaryByDisplayResult(body);
  });
}

// ---- Message status ---------------------------------------------------------------------

std::shared_ptr<model::MessageStatusResult> MessageStatusRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::MessageStatusResult> MessageStatusRspnBuilder::parseFromDictionary(
    const Json* body) {
  if (!detail::isResultObject(body, "MessageStatusResult")) return nullptr;
  const Json& b = *body;
  auto result = std::make_shared<model::MessageStatusResult>();
  detail::readResponseFields(*result, b);
  result->orgExchangeIdentification = bodyText(b, "orgExchangeIdentification");
  result->initiatingPartyIdentification = bodyText(b, "initiatingPartyIdentification");
  // Each nested result is read as if it were that service's own body.
  if (const Json* nested = platform::findObject(b, "paymentResult")) {
    result->paymentResult = PaymentRspnParser::parseBodyFromDictionary(nested);
  }
  if (const Json* nested = platform::findObject(b, "reversalResult")) {
    result->reversalResult = ReversalRspnBuilder::parseBodyFromDictionary(nested);
  }
  if (const Json* nested = platform::findObject(b, "refundResult")) {
    result->refundResult = RefundRspnBuilder::parseBodyFromDictionary(nested);
  }
  if (const Json* nested = platform::findObject(b, "preAuthResult")) {
    result->preAuthResult = PreAuthRspnBuilder::parseBodyFromDictionary(nested);
  }
  return result;
}

std::shared_ptr<model::MessageStatusResult> MessageStatusRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "MessageStatusResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

// ---- NFC tag ----------------------------------------------------------------------------

std::shared_ptr<model::NFCTagResult> NFCTagRspnBuilder::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::NFCTagResult> NFCTagRspnBuilder::parseFromDictionary(const Json* body) {
  if (!detail::isResultObject(body, "NFCTagResult")) return nullptr;
  const Json& b = *body;
  auto result = std::make_shared<model::NFCTagResult>();
  result->exchangeIdentification = bodyText(b, "exchangeIdentification");
  result->cashierIdentification = bodyText(b, "cashierIdentification");
  detail::readResponseFields(*result, b);
  result->authRspnReason = bodyText(b, "authRspnReason");
  result->issuerReferenceData = bodyText(b, "issuerReferenceData");
  if (const Json* count = member(b, "detectCount")) result->detectCount = safeLong(*count);
  return result;
}

std::shared_ptr<model::NFCTagResult> NFCTagRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "NFCTagResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

std::int64_t NFCTagRspnBuilder::safeLong(const Json& value) { return detail::safeLongValue(value); }

// ---- Print ------------------------------------------------------------------------------

std::shared_ptr<model::PrintResult> PrintRspnBuilder::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::PrintResult> PrintRspnBuilder::parseFromDictionary(const Json* body) {
  if (!detail::isResultObject(body, "PrintResult")) return nullptr;
  const Json& b = *body;
  auto result = std::make_shared<model::PrintResult>();
  result->response = model::ResponseCodeHelper::codeFromString(bodyText(b, "response"));
  result->responseReason =
      model::RetailerResultDetailCodeHelper::codeFromString(bodyText(b, "responseReason"));
  result->refualResponse =
      model::RefusalReasonCodeHelper::codeFromString(bodyText(b, "refualResponse"));
  result->additionalResponseInformation = bodyText(b, "additionalResponseInformation");
  result->authRspnReason = bodyText(b, "authRspnReason");
  result->issuerReferenceData = bodyText(b, "issuerReferenceData");
  return result;
}

std::shared_ptr<model::PrintResult> PrintRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "PrintResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

bool PrintRspnBuilder::safeBool(const Json& value) { return detail::safeBoolValue(value); }

// ---- Transmit message -------------------------------------------------------------------

std::shared_ptr<model::TransmitMessageResult> TransmitMessageRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = std::make_shared<model::TransmitMessageResult>();
  detail::readResponseFields(*result, *body);
  const std::optional<std::string> encoded = bodyText(*body, "receivedMessage");
  if (encoded && !encoded->empty()) {
    result->receivedMessage = platform::base64ToString(*encoded);
  }
  return result;
}

}  // namespace veltrix::codec
