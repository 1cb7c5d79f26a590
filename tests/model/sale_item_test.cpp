#include "veltrix/model/sale_item.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;
using platform::ScopedLogCapture;

RetailerSaleItem fullItem() {
  RetailerSaleItem item;
  item.productCode = "P-1";
  item.unitOfMeasure = UnitOfMeasureCode::LITR;
  item.productAmount = "12.50";
  item.productQuantity = "2";
  item.unitPrice = "6.25";
  item.productLabel = "Milk";
  item.productDescription = "Whole milk";
  item.valueAddedTax = "0.80";
  item.taxType = "VAT";
  return item;
}

TEST(RetailerSaleItemTest, DictionaryKeepsFieldOrderAndLeavesOutEmptyValues) {
  EXPECT_EQ(fullItem().toDictionary().dump(),
            R"({"productCode":"P-1","unitOfMeasure":"LITR","productAmount":"12.50",)"
            R"("productQuantity":"2","unitPrice":"6.25","productLabel":"Milk",)"
            R"("productDescription":"Whole milk","valueAddedTax":"0.80","taxType":"VAT"})");

  RetailerSaleItem item;
  EXPECT_EQ(item.toDictionary(), Json::object());
  item.productCode = "";
  item.taxType = "";
  item.unitOfMeasure = UnitOfMeasureCode::PIEC;
  EXPECT_EQ(item.toDictionary(), Json::object());
  item.unitOfMeasure = static_cast<UnitOfMeasureCode>(42);
  item.unitPrice = "1";
  EXPECT_EQ(item.toDictionary().dump(), R"({"unitOfMeasure":"Unknown","unitPrice":"1"})");
}

TEST(RetailerSaleItemTest, JsonString) {
  EXPECT_EQ(RetailerSaleItem{}.toJSONString(), "{}");
  RetailerSaleItem item;
  item.productCode = "A1";
  item.unitOfMeasure = UnitOfMeasureCode::KILO;
  EXPECT_EQ(item.toJSONString(), "{\n  \"productCode\": \"A1\",\n  \"unitOfMeasure\": \"KILO\"\n}");

  ScopedLogCapture log;
  item.productLabel = std::string("bad \xff text");
  EXPECT_EQ(item.toJSONString(), "{}");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("RetailerSaleItem toJSONString error: ", 0), 0u) << log.lines()[0];
}

TEST(RetailerSaleItemTest, ToStringPrintsEveryField) {
  RetailerSaleItem item;
  item.productCode = "A1";
  item.unitOfMeasure = UnitOfMeasureCode::KILO;
  EXPECT_EQ(item.toString(),
            "RetailerSaleItem{productCode='A1', unitOfMeasure='KILO', productAmount='', "
            "productQuantity='', unitPrice='', productLabel='', productDescription='', "
            "valueAddedTax='', taxType=''}");
  EXPECT_EQ(fullItem().toString(),
            "RetailerSaleItem{productCode='P-1', unitOfMeasure='LITR', productAmount='12.50', "
            "productQuantity='2', unitPrice='6.25', productLabel='Milk', "
            "productDescription='Whole milk', valueAddedTax='0.80', taxType='VAT'}");
  item.unitOfMeasure = UnitOfMeasureCode::PIEC;
  EXPECT_NE(item.toString().find("unitOfMeasure=''"), std::string::npos);
  item.unitOfMeasure = static_cast<UnitOfMeasureCode>(-3);
  EXPECT_NE(item.toString().find("unitOfMeasure='Unknown'"), std::string::npos);
}

TEST(RetailerSaleItemTest, ParsesDictionariesLeniently) {
  ScopedLogCapture log;
  auto item = RetailerSaleItem::parseFromDictionary(Json::parse(R"({
      "productCode": "P", "unitOfMeasure": "kilo", "productAmount": 12.5,
      "productQuantity": 100.0, "unitPrice": 3, "productLabel": true,
      "productDescription": null, "valueAddedTax": [1], "taxType": {"a": 1},
      "extra": "ignored"})"));
  ASSERT_TRUE(item);
  EXPECT_EQ(item->productCode, "P");
  EXPECT_EQ(item->unitOfMeasure, UnitOfMeasureCode::KILO);
  EXPECT_EQ(item->productAmount, "12.5");
  EXPECT_EQ(item->productQuantity, "100");
  EXPECT_EQ(item->unitPrice, "3");
  EXPECT_EQ(item->productLabel, "1");
  EXPECT_FALSE(item->productDescription);
  EXPECT_FALSE(item->valueAddedTax);
  EXPECT_FALSE(item->taxType);
  EXPECT_TRUE(log.lines().empty());

  // A unit that is no code, a numeric unit, or none at all reads as PIEC;
  // missing keys stay absent while empty texts stay empty.
  for (const char* text : {R"({"unitOfMeasure": "ounce"})", R"({"unitOfMeasure": 7})",
                           R"({"unitOfMeasure": ""})", R"({"productCode": ""})"}) {
    auto parsed = RetailerSaleItem::parseFromDictionary(Json::parse(text));
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(parsed->unitOfMeasure, UnitOfMeasureCode::PIEC) << text;
    EXPECT_FALSE(parsed->productAmount) << text;
  }
  EXPECT_EQ(
      RetailerSaleItem::parseFromDictionary(Json::parse(R"({"productCode": ""})"))->productCode,
      "");
}

TEST(RetailerSaleItemTest, RejectsWhatIsNoDictionaryWithALogLine) {
  const std::string invalid = "SaleItemParams parseFromDictionary: 无效的字典数据";
  for (const Json& value : {Json(), Json::array({1}), Json("text"), Json(3)}) {
    ScopedLogCapture log;
    EXPECT_FALSE(RetailerSaleItem::parseFromDictionary(value)) << value.dump();
    EXPECT_EQ(log.lines(), std::vector<std::string>{invalid});
  }
}

TEST(RetailerSaleItemTest, ParsesJsonTextsAndLogsEachFailure) {
  {
    ScopedLogCapture log;
    EXPECT_FALSE(RetailerSaleItem::parseFromJSONString(""));
    EXPECT_FALSE(RetailerSaleItem::parseFromJSONString(std::nullopt));
    EXPECT_EQ(log.lines(),
              std::vector<std::string>(2, "SaleItemParams parseFromJSONString: JSON字符串为空"));
  }
  {
    ScopedLogCapture log;
    EXPECT_FALSE(RetailerSaleItem::parseFromJSONString("[1]"));
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"SaleItemParams parseFromDictionary: 无效的字典数据"});
  }
  // Malformed text and a scalar at the top level are parse failures.
  for (const char* text : {"not json", "{\"productCode\": ", "42", "\"text\""}) {
    ScopedLogCapture log;
    EXPECT_FALSE(RetailerSaleItem::parseFromJSONString(text)) << text;
    ASSERT_EQ(log.lines().size(), 1u) << text;
    EXPECT_EQ(log.lines()[0].rfind("SaleItemParams parseFromJSONString: JSON解析失败 - ", 0), 0u)
        << log.lines()[0];
  }
  // What toJSONString writes reads back as the same item.
  const RetailerSaleItem item = fullItem();
  EXPECT_EQ(RetailerSaleItem::parseFromJSONString(item.toJSONString()), item);
}

TEST(RetailerSaleItemTest, SafeString) {
  EXPECT_EQ(RetailerSaleItem::safeString(Json("x")), "x");
  EXPECT_EQ(RetailerSaleItem::safeString(Json(-2)), "-2");
  EXPECT_EQ(RetailerSaleItem::safeString(Json(0.25)), "0.25");
  EXPECT_EQ(RetailerSaleItem::safeString(Json(false)), "0");
  EXPECT_FALSE(RetailerSaleItem::safeString(Json()));
  EXPECT_FALSE(RetailerSaleItem::safeString(Json::object()));
  EXPECT_FALSE(RetailerSaleItem::safeString(Json::array()));
}

}  // namespace
}  // namespace veltrix::model
