#include "veltrix/model/financial_params.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;

// Each class's own factory hides the base one and makes its own class.
static_assert(std::is_same_v<decltype(PaymentParam::makeWithBuilder()), PaymentParam>);
static_assert(std::is_same_v<decltype(ReversalParam::makeWithBuilder()), ReversalParam>);
static_assert(std::is_same_v<decltype(BaseFinancialParam::makeWithBuilder()), BaseFinancialParam>);
static_assert(std::is_same_v<decltype(CardAuthParam::makeWithBuilder()), CardAuthParam>);
static_assert(std::is_same_v<decltype(ActionMessageParam::makeWithBuilder()), ActionMessageParam>);
// A card authentication carries the base fields and nothing else.
static_assert(sizeof(CardAuthParam) == sizeof(BaseParams));
static_assert(std::is_base_of_v<BaseParams, DisplayParam> &&
              !std::is_base_of_v<BaseParams, ActionMessageParam>);

TEST(FinancialParamsTest, RedeclaredFieldsAreTheBaseFields) {
  RefundParam refund;
  BaseFinancialParam& refundBase = refund;
  refundBase.forceOnlineFlag = true;
  EXPECT_TRUE(refund.forceOnlineFlag);
  ReversalParam reversal;
  reversal.cardBrand = "VISA";
  EXPECT_EQ(static_cast<const BaseFinancialParam&>(reversal).cardBrand, "VISA");
}

RetailerSaleItem item(std::optional<std::string> code, UnitOfMeasureCode unit) {
  RetailerSaleItem i;
  i.productCode = std::move(code);
  i.unitOfMeasure = unit;
  return i;
}

PaymentParam everyFieldSet() {
  PaymentParam p;
  p.transactionReference = "TR";
  p.transactionType = TransactionTypeCode::SCDP;
  p.accountType = CardAccountTypeCode::DFLT;
  p.cashierIdentification = "C1";
  p.runInBackground = true;
  p.servicesParams = DestinationParams{"SN", "svc", "1.2.3.4:1"};
  p.fees = {{DetailedAmount{"0.50", std::nullopt}}};
  p.valueAddedTaxs = {{DetailedAmount{std::nullopt, "VAT"}, DetailedAmount{"1", "b"}}};
  p.additionalSaleData = "a0";
  p.additionalSaleData1 = "a1";
  p.additionalSaleData2 = "a2";
  p.cardBrand = "VISA";
  p.cardDataEntryMode = CardDataReadingCode::CTLS;
  p.forceOnlineFlag = true;
  p.partialApproval = true;
  p.receiptConstruct = {{Json{{"k", "v"}}, item("R", UnitOfMeasureCode::PIEC)}};
  p.mobilePhone = {{"+1 555", "+2 666"}};
  p.emailAddress = "a@b.c";
  p.merchantIdentification = "M";
  p.merchantIdentificationName = "Shop";
  p.poiIdentificationId = "POI";
  p.requiredESignFlag = true;
  p.tokenIdentification = "TOK";
  p.attendanceContext = AttendanceContextCode::UATT;
  p.acquireManagerPwd = "secret";
  p.totalAmount = "10.00";
  p.gratuity = "1.00";
  p.cashBack = "2.00";
  p.currency = ISO4217ActiveCurrency::EUR;
  p.pan = "4111";
  p.track1 = "t1";
  p.track2 = "t2";
  p.track3 = "t3";
  p.maskedPAN = "41**";
  p.requestedAmount = "9.00";
  p.postCode = "PC";
  p.addressLine = "Street";
  p.expiryDate = "2812";
  p.cvv2 = "123";
  p.saleItems = {{item("A", UnitOfMeasureCode::KILO), RetailerSaleItem{}}};
  return p;
}

TEST(PaymentParamTest, DictionaryWritesTheThirtySevenKeysInOrder) {
  const Json d = everyFieldSet().toDictionary();
  std::vector<std::string> keys;
  for (const auto& [key, value] : d.items()) keys.push_back(key);
  const std::vector<std::string> expected{"transactionReference",
                                          "transactionType",
                                          "accountType",
                                          "cashierIdentification",
                                          "totalAmount",
                                          "gratuity",
                                          "cashBack",
                                          "currency",
                                          "pan",
                                          "track1",
                                          "track2",
                                          "track3",
                                          "maskedPAN",
                                          "requestedAmount",
                                          "postCode",
                                          "addressLine",
                                          "expiryDate",
                                          "cvv2",
                                          "additionalSaleData",
                                          "additionalSaleData1",
                                          "additionalSaleData2",
                                          "cardBrand",
                                          "cardDataEntryMode",
                                          "emailAddress",
                                          "forceOnlineFlag",
                                          "merchantIdentification",
                                          "merchantIdentificationName",
                                          "mobilePhone",
                                          "partialApproval",
                                          "requiredESignFlag",
                                          "tokenIdentification",
                                          "runInBackground",
                                          "poiIdentificationId",
                                          "fees",
                                          "valueAddedTax",
                                          "receiptConstruct",
                                          "saleItems"};
  EXPECT_EQ(keys, expected);

  EXPECT_EQ(d["transactionType"], "SCDP");
  EXPECT_EQ(d["accountType"], "DFLT");
  EXPECT_EQ(d["currency"], "EUR");
  EXPECT_EQ(d["cardDataEntryMode"], "CTLS");
  EXPECT_EQ(d["forceOnlineFlag"], true);
  EXPECT_EQ(d["mobilePhone"].dump(), R"(["+1 555","+2 666"])");
  EXPECT_EQ(d["fees"].dump(), R"([{"value":"0.50","label":""}])");
  EXPECT_EQ(d["valueAddedTax"].dump(), R"([{"value":"","label":"VAT"},{"value":"1","label":"b"}])");
  EXPECT_EQ(d["receiptConstruct"].dump(), R"([{"k":"v"},{"productCode":"R"}])");
  EXPECT_EQ(d["saleItems"].dump(), R"([{"productCode":"A","unitOfMeasure":"KILO"},{}])");
}

TEST(PaymentParamTest, EmptyPaymentAndWhatCountsAsSet) {
  PaymentParam p;
  EXPECT_EQ(p.toDictionary(), Json::object());
  EXPECT_EQ(p.toJSONString(), "{}");

  // Values that are "not set": 0 codes, false flags, empty lists, and the
  // fields the dictionary never carries.
  p.fees.emplace();
  p.valueAddedTaxs.emplace();
  p.mobilePhone.emplace();
  p.receiptConstruct.emplace();
  p.saleItems.emplace();
  p.attendanceContext = AttendanceContextCode::SATT;
  p.acquireManagerPwd = "pwd";
  p.servicesParams = DestinationParams{"SN", std::nullopt, std::nullopt};
  EXPECT_EQ(p.toDictionary(), Json::object());

  // An empty text is set.
  p.totalAmount = "";
  p.cashierIdentification = "";
  EXPECT_EQ(p.toDictionary().dump(), R"({"cashierIdentification":"","totalAmount":""})");
  EXPECT_EQ(*p.toJSONString(), "{\n  \"cashierIdentification\": \"\",\n  \"totalAmount\": \"\"\n}");
}

TEST(PaymentParamTest, SaleItemsWriteEmptyTextsUnlikeTheirOwnDictionary) {
  RetailerSaleItem i;
  i.productCode = "";
  i.unitOfMeasure = UnitOfMeasureCode::PIEC;
  i.productAmount = "3";
  i.taxType = "";
  PaymentParam p;
  p.saleItems = {{i}};
  EXPECT_EQ(p.toDictionary()["saleItems"].dump(),
            R"([{"productCode":"","productAmount":"3","taxType":""}])");
  EXPECT_EQ(i.toDictionary().dump(), R"({"productAmount":"3"})");
}

TEST(PaymentParamTest, OutOfTableCodesUseTheTableFallbacks) {
  PaymentParam p;
  p.transactionType = static_cast<TransactionTypeCode>(99);
  p.accountType = static_cast<CardAccountTypeCode>(-1);
  p.currency = static_cast<ISO4217ActiveCurrency>(500);
  p.cardDataEntryMode = static_cast<CardDataReadingCode>(77);
  EXPECT_EQ(p.toDictionary().dump(),
            R"({"transactionType":"Unknown","accountType":"DFLT","currency":"XXX",)"
            R"("cardDataEntryMode":"UNKW"})");
}

TEST(PaymentParamTest, UnwritableValueIsLoggedAndGivesNoText) {
  PaymentParam p;
  p.totalAmount = "1";
  p.mobilePhone = {{std::string("\xc3\x28")}};  // invalid UTF-8
  platform::ScopedLogCapture log;
  EXPECT_FALSE(p.toJSONString());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("Error converting to JSON: ", 0), 0u) << log.lines()[0];
}

TEST(FinancialParamsTest, CopiesThroughTheBaseKeepTheirOwnFields) {
  std::unique_ptr<BaseParams> running = std::make_unique<PaymentParam>(everyFieldSet());
  const auto* payment = dynamic_cast<const PaymentParam*>(running.get());
  ASSERT_NE(payment, nullptr);
  EXPECT_EQ(*payment, everyFieldSet());
  PaymentParam changed = *payment;
  changed.saleItems->front().productCode = "B";
  EXPECT_NE(changed, *payment);
  EXPECT_EQ(payment->saleItems->front().productCode, "A");
}

}  // namespace
}  // namespace veltrix::model
