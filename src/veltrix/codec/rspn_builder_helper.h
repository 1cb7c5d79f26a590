// RspnBuilderHelper: the field readers that every response decoder shares.
// It fills the common result fields, the financial result fields, the amount
// and receipt lists and the chip-card data of a result from the body object
// of a response (the value of the message's top-level "response").
//
// Reading is lenient and never fails: a text is taken as it is, a number or
// boolean becomes its decimal text, any other type counts as absent; a code
// goes through its table with the table's parse fallback. A list whose value
// is not an array stays absent; an array, even an empty one, gives a list.
// Body arguments that are not JSON objects count as absent: nothing is read.
//
// A struct of static functions without state; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "veltrix/model/print_receipt.h"
#include "veltrix/model/request_base.h"
#include "veltrix/model/result_base.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

struct RspnBuilderHelper {
  // A text as it is, a number as its shortest decimal text (10.50 gives
  // "10.5"), true and false as "1" and "0"; null, arrays, objects absent.
  static std::optional<std::string> safeString(const platform::Json& value);

  // Logs "解析公共部分交易报文", then reads the nine common fields:
  // "exchangeIdentification", "cashierIdentification",
  // "recipientPartyIdentification", "response" (FAIL when missing),
  // "responseReason" (REFU), "refualResponse" (DECLINED), "authRspnReason",
  // "additionalResponseInformation", "issuerReferenceData".
  static void parseBaseResultFields(model::BaseResult& result, const platform::Json& body);
  // The common fields, then the 24 transaction fields; fallbacks
  // "transactionType" RESA, "currency" XXX, "accountType" DFLT,
  // "cardDataEntryMode" UNKW. The lists are read by the functions below.
  static void parseBaseFinancialResultFields(model::BaseFinancialResult& result,
                                             const platform::Json& body);

  // "valueAddedTax" as amounts: when it is an array, `out` becomes the
  // amounts of its object elements in order (other elements are skipped);
  // otherwise `out` is left as it is.
  static void parseValueAddedTaxArray(std::optional<std::vector<model::DetailedAmount>>& out,
                                      const platform::Json& body);
  // "fees", by the same rule.
  static void parseFeesArray(std::optional<std::vector<model::DetailedAmount>>& out,
                             const platform::Json& body);
  // "printReceipts", by the same rule, each element through
  // PrintReceipt::parseFromDictionary.
  static void parsePrintReceiptsArray(std::optional<std::vector<model::PrintReceipt>>& out,
                                      const platform::Json& body);
  // "iccRelatedData": the array's elements unchanged, whatever their types.
  static void parseIccRelatedData(std::optional<std::vector<platform::Json>>& out,
                                  const platform::Json& body);
  // An object gives its "amount" and "label" as texts (a "value" key is
  // never read); anything else nullopt.
  static std::optional<model::DetailedAmount> parseDetailedAmountFromDictionary(
      const platform::Json& entry);
};

namespace detail {

// The deepest nesting of arrays and objects a decoder accepts: the bounded
// parse's own limit (copying or printing a value recurses once per level).
inline constexpr std::size_t kMaxMessageDepth = platform::kMaxJsonDepth;

// One incoming message text as JSON: an object or array, valid UTF-8,
// nested at most kMaxMessageDepth deep. On failure nullopt and a one-line
// description in `error`.
std::optional<platform::Json> parseMessageText(std::string_view text, std::string& error);

// The elements of `array` that `parse` (taking `const Json&`, giving an
// optional) accepts, in order; the others are skipped.
template <typename Parse>
auto parsedElements(const platform::Json& array, Parse&& parse) {
  using Element = typename std::invoke_result_t<Parse&, const platform::Json&>::value_type;
  std::vector<Element> list;
  list.reserve(array.size());
  for (const platform::Json& element : array) {
    if (auto parsed = parse(element)) list.push_back(std::move(*parsed));
  }
  return list;
}

// The text of key `key` of `object` (RspnBuilderHelper::safeString);
// absent when `object` is no object or lacks the key.
std::optional<std::string> bodyText(const platform::Json& object, std::string_view key);

// The five response fields that most non-financial decoders read
// themselves, without the common-fields log line:
// "recipientPartyIdentification", "response", "responseReason",
// "refualResponse", "additionalResponseInformation".
void readResponseFields(model::BaseResult& result, const platform::Json& body);

// The value as a flag: a number (or boolean) is true when not zero; a text,
// lower-cased, is true for "true", "yes" and "1"; anything else false.
bool safeBoolValue(const platform::Json& value);

// A value as a signed 64-bit integer: a number truncated toward zero and
// clamped to the range; a text by its leading decimal integer (blanks and
// one sign first, clamped on overflow, 0 without digits); anything else 0.
std::int64_t safeLongValue(const platform::Json& value);

// `value` for a log line: "(null)" when absent, a text as it is, anything
// else as compact JSON.
std::string logText(const platform::Json* value);

}  // namespace detail
}  // namespace veltrix::codec
