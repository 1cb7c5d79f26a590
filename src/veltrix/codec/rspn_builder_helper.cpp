#include "veltrix/codec/rspn_builder_helper.h"

#include <cmath>
#include <limits>
#include <utility>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {
namespace {

using model::DetailedAmount;
using platform::Json;

// A list of amounts from `body[key]` when that is an array.
void readAmountList(std::optional<std::vector<DetailedAmount>>& out, const Json& body,
                    std::string_view key) {
  if (const Json* array = platform::findArray(body, key)) {
    out = detail::parsedElements(*array, &RspnBuilderHelper::parseDetailedAmountFromDictionary);
  }
}

// Peer texts may carry bytes that are no UTF-8 into the parser's error
// description; log lines stay ASCII there.
std::string printable(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte < 0x20) c = '?';
  }
  return text;
}

}  // namespace

std::optional<std::string> RspnBuilderHelper::safeString(const Json& value) {
  return platform::jsonText(value);
}

void RspnBuilderHelper::parseBaseResultFields(model::BaseResult& result, const Json& body) {
  if (!body.is_object()) return;
  platform::logLine("解析公共部分交易报文");
  using detail::bodyText;
  result.exchangeIdentification = bodyText(body, "exchangeIdentification");
  result.cashierIdentification = bodyText(body, "cashierIdentification");
  detail::readResponseFields(result, body);
  result.authRspnReason = bodyText(body, "authRspnReason");
  result.issuerReferenceData = bodyText(body, "issuerReferenceData");
}

void RspnBuilderHelper::parseBaseFinancialResultFields(model::BaseFinancialResult& result,
                                                       const Json& body) {
  if (!body.is_object()) return;
  parseBaseResultFields(result, body);
  using detail::bodyText;
  result.transactionReference = bodyText(body, "transactionReference");
  result.transactionType =
      model::TransactionTypeHelper::transactionTypeFromString(bodyText(body, "transactionType"));
  result.totalAmount = bodyText(body, "totalAmount");
  result.transactionDateTime = bodyText(body, "transactionDateTime");
  result.currency =
      model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(bodyText(body, "currency"));
  result.accountType =
      model::CardAccountTypeCodeHelper::codeFromString(bodyText(body, "accountType"));
  result.authorisationCode = bodyText(body, "authorisationCode");
  result.gratuity = bodyText(body, "gratuity");
  result.merchantIdentification = bodyText(body, "merchantIdentification");
  result.merchantIdentificationName = bodyText(body, "merchantIdentificationName");
  result.poiIdentificationId = bodyText(body, "poiIdentificationId");
  result.maskedPAN = bodyText(body, "maskedPAN");
  result.cardDataEntryMode =
      model::CardDataReadingCodeHelper::codeFromString(bodyText(body, "cardDataEntryMode"));
  result.cardBrand = bodyText(body, "cardBrand");
  result.acquirerShortName = bodyText(body, "acquirerShortName");
  result.poiReconciliationIdentification = bodyText(body, "poiReconciliationIdentification");
  result.poiTransactionIdentification = bodyText(body, "poiTransactionIdentification");
  result.additionalSaleData = bodyText(body, "additionalSaleData");
  result.aid = bodyText(body, "aid");
  result.tokenIdentification = bodyText(body, "tokenIdentification");
  result.expiryDate = bodyText(body, "expiryDate");
  result.invoiceNumber = bodyText(body, "invoiceNumber");
  result.pan = bodyText(body, "pan");
  result.authorisationIdentification = bodyText(body, "authorisationIdentification");
}

void RspnBuilderHelper::parseValueAddedTaxArray(std::optional<std::vector<DetailedAmount>>& out,
                                                const Json& body) {
  readAmountList(out, body, "valueAddedTax");
}

void RspnBuilderHelper::parseFeesArray(std::optional<std::vector<DetailedAmount>>& out,
                                       const Json& body) {
  readAmountList(out, body, "fees");
}

void RspnBuilderHelper::parsePrintReceiptsArray(
    std::optional<std::vector<model::PrintReceipt>>& out, const Json& body) {
  if (const Json* array = platform::findArray(body, "printReceipts")) {
    out = detail::parsedElements(*array, &model::PrintReceipt::parseFromDictionary);
  }
}

void RspnBuilderHelper::parseIccRelatedData(std::optional<std::vector<Json>>& out,
                                            const Json& body) {
  const Json* array = platform::findArray(body, "iccRelatedData");
  if (array == nullptr) return;
  out = array->get_ref<const Json::array_t&>();
}

std::optional<DetailedAmount> RspnBuilderHelper::parseDetailedAmountFromDictionary(
    const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  return DetailedAmount{detail::bodyText(entry, "amount"), detail::bodyText(entry, "label")};
}

namespace detail {

std::optional<Json> parseMessageText(std::string_view text, std::string& error) {
  std::string reason;
  std::optional<Json> value = platform::parseJson(text, &reason);
  if (!value) {
    error = printable(std::move(reason));
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> bodyText(const Json& object, std::string_view key) {
  return platform::readText(object, key);
}

void readResponseFields(model::BaseResult& result, const Json& body) {
  result.recipientPartyIdentification = bodyText(body, "recipientPartyIdentification");
  result.response = model::ResponseCodeHelper::codeFromString(bodyText(body, "response"));
  result.responseReason =
      model::RetailerResultDetailCodeHelper::codeFromString(bodyText(body, "responseReason"));
  result.refualResponse =
      model::RefusalReasonCodeHelper::codeFromString(bodyText(body, "refualResponse"));
  result.additionalResponseInformation = bodyText(body, "additionalResponseInformation");
}

bool safeBoolValue(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>();
    case Json::value_t::number_integer:
      return value.get<std::int64_t>() != 0;
    case Json::value_t::number_unsigned:
      return value.get<std::uint64_t>() != 0;
    case Json::value_t::number_float:
      return value.get<double>() != 0.0;
    case Json::value_t::string: {
      const auto& text = value.get_ref<const std::string&>();
      if (text.size() > 5) return false;
      std::string lower;
      for (char c : text) {
        lower.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
      }
      return lower == "true" || lower == "yes" || lower == "1";
    }
    default:
      return false;
  }
}

std::int64_t safeLongValue(const Json& value) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? 1 : 0;
    case Json::value_t::number_integer:
      return value.get<std::int64_t>();
    case Json::value_t::number_unsigned: {
      const std::uint64_t v = value.get<std::uint64_t>();
      return v > static_cast<std::uint64_t>(kMax) ? kMax : static_cast<std::int64_t>(v);
    }
    case Json::value_t::number_float: {
      const double d = std::trunc(value.get<double>());
      if (std::isnan(d)) return 0;
      // 2^63 is the first double beyond the range; -2^63 is still inside.
      if (d >= 9223372036854775808.0) return kMax;
      if (d < -9223372036854775808.0) return kMin;
      return static_cast<std::int64_t>(d);
    }
    case Json::value_t::string: {
      const auto& text = value.get_ref<const std::string&>();
      std::size_t i = 0;
      while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
      bool negative = false;
      if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
      // Accumulated as a negative number, whose range reaches one further.
      std::int64_t v = 0;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (v < (kMin + digit) / 10) return negative ? kMin : kMax;
        v = v * 10 - digit;
      }
      if (negative) return v;
      return v == kMin ? kMax : -v;
    }
    default:
      return 0;
  }
}

bool isBodyObject(const Json* body, std::string_view className) {
  if (body != nullptr && body->is_object()) return true;
  platform::logf("{}: 无效的报文体数据", className);
  return false;
}

bool isResultObject(const Json* body, std::string_view resultName) {
  if (body != nullptr && body->is_object()) return true;
  platform::logf("{} parseFromDictionary: 无效的字典数据", resultName);
  return false;
}

std::string logText(const Json* value) {
  if (value == nullptr) return "(null)";
  if (value->is_string()) return value->get<std::string>();
  return platform::dumpJson(*value).value_or(std::string("(null)"));
}

}  // namespace detail
}  // namespace veltrix::codec
