#include "veltrix/model/sale_item.h"

#include <fmt/format.h>

#include "veltrix/model/text_form.h"
#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;

void putNonEmpty(Json& out, const char* key, const std::optional<std::string>& value) {
  if (value && !value->empty()) out[key] = *value;
}

std::string_view orEmpty(const std::optional<std::string>& value) {
  return value ? std::string_view(*value) : std::string_view();
}

}  // namespace

Json RetailerSaleItem::toDictionary() const {
  Json out = Json::object();
  putNonEmpty(out, "productCode", productCode);
  JsonForm::putCode(out, "unitOfMeasure", unitOfMeasure, &UnitOfMeasureCodeHelper::stringFromCode);
  putNonEmpty(out, "productAmount", productAmount);
  putNonEmpty(out, "productQuantity", productQuantity);
  putNonEmpty(out, "unitPrice", unitPrice);
  putNonEmpty(out, "productLabel", productLabel);
  putNonEmpty(out, "productDescription", productDescription);
  putNonEmpty(out, "valueAddedTax", valueAddedTax);
  putNonEmpty(out, "taxType", taxType);
  return out;
}

std::string RetailerSaleItem::toJSONString() const {
  const Json dictionary = toDictionary();
  if (dictionary.empty()) return "{}";
  std::string error;
  auto text = platform::dumpJsonPretty(dictionary, &error);
  if (!text) {
    platform::logf("RetailerSaleItem toJSONString error: {}", error);
    return "{}";
  }
  return std::move(*text);
}

std::string RetailerSaleItem::toString() const {
  const std::string unit = unitOfMeasure != UnitOfMeasureCode{}
                               ? UnitOfMeasureCodeHelper::stringFromCode(unitOfMeasure)
                               : std::string();
  return fmt::format(
      "RetailerSaleItem{{productCode='{}', unitOfMeasure='{}', productAmount='{}', "
      "productQuantity='{}', unitPrice='{}', productLabel='{}', productDescription='{}', "
      "valueAddedTax='{}', taxType='{}'}}",
      orEmpty(productCode), unit, orEmpty(productAmount), orEmpty(productQuantity),
      orEmpty(unitPrice), orEmpty(productLabel), orEmpty(productDescription),
      orEmpty(valueAddedTax), orEmpty(taxType));
}

std::optional<RetailerSaleItem> RetailerSaleItem::parseFromDictionary(const Json& value) {
  if (!value.is_object()) {
    platform::logLine("SaleItemParams parseFromDictionary: 无效的字典数据");
    return std::nullopt;
  }
  auto read = [&value](const char* key) -> std::optional<std::string> {
    auto it = value.find(key);
    return it == value.end() ? std::nullopt : safeString(*it);
  };
  RetailerSaleItem item;
  item.productCode = read("productCode");
  item.unitOfMeasure =
      UnitOfMeasureCodeHelper::codeFromString(read("unitOfMeasure"), UnitOfMeasureCode::PIEC);
  item.productAmount = read("productAmount");
  item.productQuantity = read("productQuantity");
  item.unitPrice = read("unitPrice");
  item.productLabel = read("productLabel");
  item.productDescription = read("productDescription");
  item.valueAddedTax = read("valueAddedTax");
  item.taxType = read("taxType");
  return item;
}

std::optional<RetailerSaleItem> RetailerSaleItem::parseFromJSONString(
    std::optional<std::string_view> text) {
  if (!text || text->empty()) {
    platform::logLine("SaleItemParams parseFromJSONString: JSON字符串为空");
    return std::nullopt;
  }
  std::string error;
  auto parsed = platform::parseJson(*text, &error);
  if (!parsed) {
    platform::logf("SaleItemParams parseFromJSONString: JSON解析失败 - {}", error);
    return std::nullopt;
  }
  return parseFromDictionary(*parsed);
}

std::optional<std::string> RetailerSaleItem::safeString(const Json& value) {
  return platform::jsonText(value);
}

}  // namespace veltrix::model
