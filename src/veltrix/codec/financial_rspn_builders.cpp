#include "veltrix/codec/financial_rspn_builders.h"

#include <utility>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {
namespace {

using detail::bodyText;
using platform::Json;

// The value of the top-level "response" when the message is an object and
// that value is one.
const Json* bodyObject(const Json& root) { return platform::findObject(root, "response"); }

// Steps 1 to 3 of the payment and abort frames: the parsed top level, or
// nullopt after the JSON failure line.
std::optional<Json> parseShortFrame(std::optional<std::string_view> text,
                                    std::string_view className) {
  std::string error;
  std::optional<Json> root = detail::parseMessageText(text.value_or(std::string_view()), error);
  if (!root) platform::logf("{}: JSON解析失败 - {}", className, error);
  return root;
}

std::string headerExchangeId(const std::optional<model::TransactionHeader>& header) {
  return header ? header->exchangeIdentification.value_or(std::string()) : std::string();
}

template <typename R>
std::shared_ptr<R> financialResult(const Json& body) {
  auto result = std::make_shared<R>();
  RspnBuilderHelper::parseBaseFinancialResultFields(*result, body);
  return result;
}

// The pre-authorisation and its completion read the same keys.
template <typename R>
std::shared_ptr<R> preAuthResult(const Json& body) {
  auto result = financialResult<R>(body);
  RspnBuilderHelper::parseValueAddedTaxArray(result->valueAddedTax, body);
  RspnBuilderHelper::parseFeesArray(result->fees, body);
  RspnBuilderHelper::parsePrintReceiptsArray(result->printReceipts, body);
  return result;
}

std::shared_ptr<model::ReprintResult> readReprint(const Json& body) {
  auto result = std::make_shared<model::ReprintResult>();
  RspnBuilderHelper::parseBaseResultFields(*result, body);
  result->orgExchangeIdentification = bodyText(body, "orgExchangeIdentification");
  RspnBuilderHelper::parsePrintReceiptsArray(result->printReceipts, body);
  return result;
}

}  // namespace

// ---- Payment ----------------------------------------------------------------------------

void PaymentRspnParser::startParser(std::optional<std::string_view> text) noexcept {
  detail::runGuarded(kClassName, [&] {
    const std::optional<Json> root = parseShortFrame(text, kClassName);
    if (!root) return;
    // The header parser logs a top level that is no object; this frame
    // adds nothing of its own.
    header_ = TransactionHeaderParser::parseHeaderFromDictionary(*root);
    if (const Json* body = bodyObject(*root)) result_ = parseBodyFromDictionary(body);
    if (result_ && header_) {
      result_->exchangeIdentification = header_->exchangeIdentification;
      result_->endFlag = header_->endFlag;
    }
    const std::shared_ptr<PaymentRspnParserDelegate> delegate = delegate_.lock();
    if (delegate && result_) {
      delegate->onPaymentResponse(result_, headerExchangeId(header_),
                                  header_ ? header_->endFlag : false);
    }
  });
}

std::shared_ptr<model::PaymentResult> PaymentRspnParser::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = financialResult<model::PaymentResult>(*body);
  result->authorisedAmount = bodyText(*body, "authorisedAmount");
  result->cashback = bodyText(*body, "cashback");
  result->requestedAmount = bodyText(*body, "requestedAmount");
  result->cumulativeAmount = bodyText(*body, "cumulativeAmount");
  RspnBuilderHelper::parseIccRelatedData(result->iccRelatedData, *body);
  RspnBuilderHelper::parsePrintReceiptsArray(result->printReceipts, *body);
  RspnBuilderHelper::parseFeesArray(result->fees, *body);
  RspnBuilderHelper::parseValueAddedTaxArray(result->valueAddedTax, *body);
  return result;
}

// ---- Abort ------------------------------------------------------------------------------

void AbortRspnParser::startParser(std::optional<std::string_view> text) noexcept {
  detail::runGuarded(kClassName, [&] {
    const std::optional<Json> root = parseShortFrame(text, kClassName);
    if (!root) return;
    header_ = TransactionHeaderParser::parseHeaderFromDictionary(*root);
    if (const Json* body = bodyObject(*root)) result_ = parseBodyFromDictionary(body);
    const std::shared_ptr<AbortRspnParserDelegate> delegate = delegate_.lock();
    if (delegate && result_) delegate->onAbortResponse(result_, headerExchangeId(header_));
  });
}

std::shared_ptr<model::AbortResult> AbortRspnParser::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = std::make_shared<model::AbortResult>();
  detail::readResponseFields(*result, *body);
  return result;
}

std::optional<std::string> AbortRspnParser::safeString(const Json& value) {
  return RspnBuilderHelper::safeString(value);
}

bool AbortRspnParser::safeBool(const Json& value) { return detail::safeBoolValue(value); }

// ---- Template decoders ----------------------------------------------------------------

std::shared_ptr<model::RefundResult> RefundRspnBuilder::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = financialResult<model::RefundResult>(*body);
  result->orgTransactionReference = bodyText(*body, "orgTransactionReference");
  result->orgTransactionDateTime = bodyText(*body, "orgTransactionDateTime");
  RspnBuilderHelper::parseValueAddedTaxArray(result->valueAddedTax, *body);
  return result;
}

std::shared_ptr<model::ReversalResult> ReversalRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return financialResult<model::ReversalResult>(*body);
}

std::shared_ptr<model::PreAuthResult> PreAuthRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::PreAuthResult> PreAuthRspnBuilder::parseFromDictionary(const Json* body) {
  if (!detail::isResultObject(body, "PreAuthResult")) return nullptr;
  return preAuthResult<model::PreAuthResult>(*body);
}

std::shared_ptr<model::PreAuthResult> PreAuthRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "PreAuthResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

std::shared_ptr<model::PreAuthCompletionResult>
PreAuthCompletionRspnBuilder::parseBodyFromDictionary(const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::PreAuthCompletionResult> PreAuthCompletionRspnBuilder::parseFromDictionary(
    const Json* body) {
  if (!detail::isResultObject(body, "PreAuthCompletionResult")) return nullptr;
  return preAuthResult<model::PreAuthCompletionResult>(*body);
}

std::shared_ptr<model::PreAuthCompletionResult> PreAuthCompletionRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "PreAuthCompletionResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

std::shared_ptr<model::AuthAdjustmentResult> AuthAdjustmentRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = financialResult<model::AuthAdjustmentResult>(*body);
  result->requestedAmount = bodyText(*body, "requestedAmount");
  result->authorisedAmount = bodyText(*body, "authorisedAmount");
  // Read under the key the payment uses, so that the field is not always
  // absent.
  result->cumulativeAmount = bodyText(*body, "cumulativeAmount");
  RspnBuilderHelper::parseValueAddedTaxArray(result->valueAddedTax, *body);
  return result;
}

std::shared_ptr<model::BalanceInquiryResult> BalanceInquiryRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  auto result = std::make_shared<model::BalanceInquiryResult>();
  RspnBuilderHelper::parseBaseResultFields(*result, *body);
  result->transactionDateTime = bodyText(*body, "transactionDateTime");
  result->currency =
      model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(bodyText(*body, "currency"));
  result->merchantIdentification = bodyText(*body, "merchantIdentification");
  result->merchantIdentificationName = bodyText(*body, "merchantIdentificationName");
  result->poiIdentificationId = bodyText(*body, "poiIdentificationId");
  result->maskedPAN = bodyText(*body, "maskedPAN");
  result->cardBrand = bodyText(*body, "cardBrand");
  result->poiTransactionIdentification = bodyText(*body, "poiTransactionIdentification");
  result->currentBalance = bodyText(*body, "currentBalance");
  return result;
}

std::shared_ptr<model::ReprintResult> ReprintRspnBuilder::parseBodyFromDictionary(
    const Json* body) {
  if (!detail::isBodyObject(body, kClassName)) return nullptr;
  return parseFromDictionary(body);
}

std::shared_ptr<model::ReprintResult> ReprintRspnBuilder::parseFromDictionary(const Json* body) {
  if (!detail::isResultObject(body, "ReprintResult")) return nullptr;
  return readReprint(*body);
}

std::shared_ptr<model::ReprintResult> ReprintRspnBuilder::parseFromJSONString(
    std::optional<std::string_view> text) {
  return detail::parseBodyJSONString(text, "ReprintResult",
                                     [](const Json* body) { return parseFromDictionary(body); });
}

}  // namespace veltrix::codec
