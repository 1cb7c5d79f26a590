// One sale line (product, quantity, price, tax) of a payment, refund or
// pre-authorisation, with its dictionary, JSON and display forms, and the
// lenient readers that take it back from a dictionary or a JSON text.
//
// A plain value with no thread affinity; every operation is pure apart from
// the one platform log line that bad input produces. Nothing throws.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/model/codes.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

class RetailerSaleItemBuilder;

struct RetailerSaleItem {
  std::optional<std::string> productCode;
  UnitOfMeasureCode unitOfMeasure{};  // PIEC (0) doubles as "not set"
  std::optional<std::string> productAmount;
  std::optional<std::string> productQuantity;
  std::optional<std::string> unitPrice;
  std::optional<std::string> productLabel;
  std::optional<std::string> productDescription;
  std::optional<std::string> valueAddedTax;
  std::optional<std::string> taxType;

  bool operator==(const RetailerSaleItem&) const = default;

  // The fields under their own names; absent and empty texts and a unit of
  // 0 are left out.
  platform::Json toDictionary() const;
  // Pretty-printed toDictionary(); "{}" when it is empty or cannot be
  // written (the latter is logged).
  std::string toJSONString() const;
  // RetailerSaleItem{productCode='A1', unitOfMeasure='KILO', ...}: every
  // field, an absent text and a unit of 0 as ''.
  std::string toString() const;

  // A new item from a JSON object, read leniently (numbers and booleans
  // become text, the unit code is matched case-insensitively and defaults to
  // PIEC). Anything but an object is logged and gives nullopt.
  static std::optional<RetailerSaleItem> parseFromDictionary(const platform::Json& value);
  // parseFromDictionary of the parsed text; an absent, empty or malformed
  // text is logged and gives nullopt.
  static std::optional<RetailerSaleItem> parseFromJSONString(std::optional<std::string_view> text);
  // A text as it is, a number or boolean as its decimal text ("12.5", "1"),
  // anything else absent.
  static std::optional<std::string> safeString(const platform::Json& value);

  // Defined with the request parameter builders.
  static RetailerSaleItem makeWithBuilder(
      const std::function<void(RetailerSaleItemBuilder&)>& configure = {});
};

}  // namespace veltrix::model
