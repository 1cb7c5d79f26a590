// The shared steps of the financial request encoders (and reprint): the
// rules by which a body key is written, the common base and financial body
// fields, the amount and receipt lists, the envelope and the JSON text.
//
// A struct of static functions without state; any thread. "body" is the
// JSON object under construction: keys are appended in the order of the
// calls, which is the order of the message.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/model/request_base.h"
#include "veltrix/model/sale_item.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

struct ReqBuilderHelper {
  // Writes a present text, the empty text included.
  static void addIfNotNull(platform::Json& body, std::string_view key,
                           const std::optional<std::string>& value);
  // Writes a present list with at least one element, unchanged.
  static void addArrayIfNotEmpty(platform::Json& body, std::string_view key,
                                 const std::optional<std::vector<std::string>>& array);

  // "transactionReference", "transactionType" (only when set),
  // "cashierIdentification", "accountType" (always; 0 is "CTDP"). Nothing
  // for a null parameter. runInBackground and the destination are never
  // written.
  static void addBaseParamsToBody(platform::Json& body, const model::BaseParams* param);
  // The base fields, then the fields shared by the card-transaction
  // requests, ending with "valueAddedTax", "fees" and "receiptConstruct".
  static void addFinancialParamsToBody(platform::Json& body,
                                       const model::BaseFinancialParam& param);
  // valueAddedTaxs as "valueAddedTax": [{"amount", "label"}, ...] when the
  // list holds an element; an element with neither is written as {}.
  static void addValueAddedTaxsIfNeeded(platform::Json& body,
                                        const model::BaseFinancialParam& param);
  // fees as "fees", in the same form.
  static void addFeesIfNeeded(platform::Json& body, const model::BaseFinancialParam& param);
  // Each element's own dictionary, in order, when the list holds one.
  static void addReceiptConstructIfNeeded(platform::Json& body,
                                          const model::BaseFinancialParam& param);

  // A sale item as the payment and refund requests carry it: all nine keys
  // of present texts (empty ones included) and "unitOfMeasure" always, 0 as
  // "PIEC". (The pre-authorisation carries the item's own toDictionary().)
  static platform::Json saleItemPaymentForm(const model::RetailerSaleItem& item);

  // The message: the header keys when `service` is given, then "request"
  // when `body` is a non-empty object.
  static platform::Json buildRequestDictionaryWithBody(const platform::Json& body,
                                                       const model::ServiceParams* service);
  // The same, taking the body over instead of copying it.
  static platform::Json buildRequestDictionaryWithBody(platform::Json&& body,
                                                       const model::ServiceParams* service);
  // The message as indented JSON text; nullopt and a log line when it cannot
  // be written (a text that is not valid UTF-8).
  static std::optional<std::string> buildJsonWithDictionary(const platform::Json& message);
};

namespace detail {
// The message as indented JSON text; nullopt and the log line
// "<errorPrefix><reason>" when it cannot be written.
std::optional<std::string> messageText(const platform::Json& message, std::string_view errorPrefix);
}  // namespace detail

}  // namespace veltrix::codec
