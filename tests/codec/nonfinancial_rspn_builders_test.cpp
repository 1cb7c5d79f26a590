#include "veltrix/codec/nonfinancial_rspn_builders.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "codec/decoder_fixture.h"

namespace veltrix::codec::test {
namespace {

using model::DetailedAmount;
using model::TransTotals;
using model::TransTotalsSet;
using platform::Json;
using platform::ScopedLogCapture;

TransTotalsSet brandOnly(std::string brand) {
  TransTotalsSet set;
  set.brand = std::move(brand);
  set.paymentInstrumentTypeCode = model::PaymentInstrumentTypeCode::CARD;
  return set;
}

TEST(ReconciliationRspnBuilderTest, GoldenResponseNestsItsTotals) {
  ScopedLogCapture log;
  Decoded<ReconciliationRspnBuilder> run(fixture("reconciliation_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(log.count("bodyDict = {\"exchangeIdentification\":\"5555"), 1u);

  TransTotals first;
  first.poiGroupIdentification = "G1";
  first.cardProductProfile = "P1";
  first.activeCurrency = model::ISO4217ActiveCurrency::USD;
  first.transactionTotalsType = model::TypeTransactionTotalsCode::CRDT;
  first.totalNum = "3";
  first.totalAmount = "12.5";
  first.cashBack = "0.50";
  first.fees = {{DetailedAmount{"1.00", "svc"}}};
  first.valueAddedTaxs = {{DetailedAmount{"0.10", std::nullopt}}};
  TransTotals second;
  second.activeCurrency = model::ISO4217ActiveCurrency::XXX;
  second.transactionTotalsType = model::TypeTransactionTotalsCode::RESV;

  TransTotalsSet a;
  a.paymentInstrumentTypeCode = model::PaymentInstrumentTypeCode::CASH;
  a.acquirerIdentification = "ACQ";
  a.reconciliationIdentification = "R1";
  a.saleReconciliationIdentification = "SR1";
  a.brand = "A";
  a.poiIdentification = "POI1";
  a.merchantIdentification = "M1";
  a.merchantName = "Shop";
  a.saleIdentification = "SALE";
  a.cashierIdentification = "C7";
  a.shiftNumber = "S1";
  a.transactionTotals = {{first, second}};
  a.transactionTotal = first;
  TransTotalsSet b = brandOnly("B");
  b.transactionTotals = std::vector<TransTotals>{};
  TransTotalsSet c = brandOnly("C");
  c.paymentInstrumentTypeCode = model::PaymentInstrumentTypeCode::LOYT;

  model::ReconciliationResult expected;
  expected.exchangeIdentification = "55555555666666667777777788888888";
  expected.cashierIdentification = "C7";
  expected.recipientPartyIdentification = "SN123";
  expected.response = model::ResponseCode::SUCC;
  expected.responseReason = model::RetailerResultDetailCode::ABRT;
  expected.refualResponse = model::RefusalReasonCode::DECLINED;
  expected.additionalResponseInformation = "done";
  expected.reconciliationType = model::ReconciliationTypeCode::SREC;
  expected.shiftNumber = "S1";
  expected.merchantIdentification = "M1";
  expected.merchantIdentificationName = "Shop";
  expected.poiIdentificationId = "POI1";
  expected.poiReconciliationIdentification = "PR1";
  expected.invoiceNumber = "INV1";
  expected.transactionDateTime = "2026-01-02";
  expected.transactionReference = "TR-1";
  // The separate set replaces the first of the list, not the list.
  expected.transTotalsSets = {{a, b}};
  expected.transTotalsSet = c;
  EXPECT_EQ(*r, expected);
}

TEST(ReconciliationRspnBuilderTest, SetListVariants) {
  const auto decode = [](std::string_view body) {
    return Decoded<ReconciliationRspnBuilder>(message(body)).only();
  };
  auto r = decode(R"({"transTotalsSets": [{"brand": "A"}, {"brand": "B"}]})");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->transTotalsSet, brandOnly("A"));
  EXPECT_EQ(r->reconciliationType, model::ReconciliationTypeCode::AREC);

  r = decode(R"({"transTotalsSets": [], "transTotalsSet": "C"})");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->transTotalsSets, std::vector<TransTotalsSet>{});
  EXPECT_FALSE(r->transTotalsSet);

  r = decode(R"({"transTotalsSets": {"brand": "A"}})");
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->transTotalsSets);
  EXPECT_FALSE(r->transTotalsSet);

  ScopedLogCapture log;
  Decoded<ReconciliationRspnBuilder> noBody(R"({"exchangeIdentification": "EX1"})");
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"bodyDict = (null)",
                                      "ReconciliationRspnBuilder: 报文体不存在或格式错误",
                                      "ReconciliationRspnBuilder: 解析结果为空，无法回调"}));
}

TEST(MessageStatusRspnBuilderTest, NestedResultsUseTheirServicesRules) {
  Decoded<MessageStatusRspnBuilder> run(fixture("message_status_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->toString(),
            "recipientPartyIdentification: SN123\n"
            "response: nil\n"
            "responseReason: nil\n"
            "additionalResponseInformation: found\n"
            "orgExchangeIdentification: 0A1B2C3D4E5F60718293A4B5C6D7E8F9\n"
            "initiatingPartyIdentification: POS-1\n"
            "paymentResult: YES\n"
            "reversalResult: NO\n"
            "refundResult: YES\n"
            "preAuthResult: YES\n");

  ASSERT_TRUE(r->paymentResult);
  const model::PaymentResult& payment = *r->paymentResult;
  EXPECT_EQ(payment.exchangeIdentification, "0A1B2C3D4E5F60718293A4B5C6D7E8F9");
  EXPECT_FALSE(payment.endFlag);
  EXPECT_EQ(payment.transactionType, model::TransactionTypeCode::SCDP);
  EXPECT_EQ(payment.currency, model::ISO4217ActiveCurrency::USD);
  EXPECT_EQ(payment.cashback, "0.00");
  EXPECT_EQ(payment.fees, (std::vector<DetailedAmount>{{"0.30", "service"}}));
  EXPECT_EQ(payment.iccRelatedData, std::vector<Json>{Json("9F27")});

  ASSERT_TRUE(r->refundResult);
  EXPECT_EQ(r->refundResult->responseReason, model::RetailerResultDetailCode::TNFD);
  EXPECT_EQ(r->refundResult->orgTransactionReference, "TR-0");
  EXPECT_FALSE(r->refundResult->fees);

  ASSERT_TRUE(r->preAuthResult);
  ASSERT_TRUE(r->preAuthResult->printReceipts);
  EXPECT_EQ(r->preAuthResult->printReceipts->at(0).messageContent, "PA");
  EXPECT_FALSE(r->reversalResult);
}

TEST(DisplayRspnBuilderTest, OutputResultsAbsentEmptyAndFallbacks) {
  Decoded<DisplayRspnBuilder> run(fixture("display_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_FALSE(run.delegate->calls[0].endFlag);
  EXPECT_FALSE(r->cashierIdentification);
  EXPECT_EQ(r->additionalResponseInformation, "shown");
  EXPECT_EQ(r->outputResultList,
            (std::vector<model::OutputResult>{
                {model::ReceiptOutputTargetCode::CDSP, model::InformationQualifyCode::STAT, "SUCC"},
                {model::ReceiptOutputTargetCode::MRCP, model::InformationQualifyCode::DISP,
                 std::nullopt}}));

  auto empty = Decoded<DisplayRspnBuilder>(message(R"({"outputResultList": []})")).only();
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->outputResultList, std::vector<model::OutputResult>{});
  auto absent = Decoded<DisplayRspnBuilder>(message(R"({"outputResultList": {}})")).only();
  ASSERT_TRUE(absent);
  EXPECT_FALSE(absent->outputResultList);

  ScopedLogCapture log;
  EXPECT_FALSE(DisplayRspnBuilder::parseFromJSONString(""));
  EXPECT_FALSE(DisplayRspnBuilder::parseFromDictionaryByDisplayResult(nullptr));
  EXPECT_FALSE(DisplayRspnBuilder::parseFromDictionary(nullptr));
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"DisplayResult parseFromJSONString: JSON字符串为空",
                                      "DisplayResult parseFromDictionary: 无效的字典数据"}));
}

TEST(NFCTagRspnBuilderTest, GoldenResponseAndDetectCount) {
  Decoded<NFCTagRspnBuilder> run(fixture("nfc_tag_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->toString(), R"({
  "exchangeIdentification": "EX1",
  "cashierIdentification": "C7",
  "recipientPartyIdentification": "SN123",
  "response": "PART",
  "responseReason": "BUSY",
  "authRspnReason": "",
  "additionalResponseInformation": "ok",
  "issuerReferenceData": "IRD",
  "detectCount": 3000000000
})");

  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  const std::vector<std::pair<const char*, std::int64_t>> cases = {
      {"3", 3},
      {"\"3\"", 3},
      {"3.9", 3},
      {"-3.9", -3},
      {"\"3abc\"", 3},
      {"\"  -12x\"", -12},
      {"\"+7\"", 7},
      {"\"abc\"", 0},
      {"\"\"", 0},
      {"null", 0},
      {"[3]", 0},
      {"true", 1},
      {"\"99999999999999999999\"", kMax},
      {"\"-99999999999999999999\"", kMin},
      {"\"9223372036854775807\"", kMax},
      {"\"-9223372036854775808\"", kMin},
      {"18446744073709551615", kMax},
      {"-1e300", kMin},
  };
  for (const auto& [json, expected] : cases) {
    EXPECT_EQ(NFCTagRspnBuilder::safeLong(Json::parse(json)), expected) << json;
  }
  auto missing = Decoded<NFCTagRspnBuilder>(message("{}")).only();
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->detectCount, 0);
}

TEST(PrintRspnBuilderTest, ReadsNoRecipientParty) {
  auto r = Decoded<PrintRspnBuilder>(
               message(R"({"recipientPartyIdentification": "SN123", "response": "WARN",
                           "authRspnReason": "05", "issuerReferenceData": "IRD"})"))
               .only();
  ASSERT_TRUE(r);
  model::PrintResult expected;
  expected.response = model::ResponseCode::WARN;
  expected.responseReason = model::RetailerResultDetailCode::REFU;
  expected.refualResponse = model::RefusalReasonCode::DECLINED;
  expected.authRspnReason = "05";
  expected.issuerReferenceData = "IRD";
  EXPECT_EQ(*r, expected);
  EXPECT_TRUE(PrintRspnBuilder::safeBool(Json("yes")));
  EXPECT_FALSE(PrintRspnBuilder::safeBool(Json("maybe")));
}

TEST(TransmitMessageRspnBuilderTest, ReceivedMessageIsBase64Text) {
  Decoded<TransmitMessageRspnBuilder> run(fixture("transmit_message_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->cashierIdentification);
  EXPECT_EQ(r->refualResponse, model::RefusalReasonCode::ACQUIRER_ERROR);
  EXPECT_EQ(r->toString(),
            "recipientPartyIdentification: SN123\n"
            "response: FAIL\n"
            "responseReason: NHOS\n"
            "additionalResponseInformation: nil\n"
            "receivedMessage: hello 你好");

  // Undecodable, empty or mistyped: only the message is lost.
  for (const char* value : {"\"A\"", "\"/w==\"", "\"\"", "{}", "null"}) {
    auto bad = Decoded<TransmitMessageRspnBuilder>(
                   message(fmt::format(R"({{"recipientPartyIdentification": "SN123",
                                           "receivedMessage": {}}})",
                                       value)))
                   .only();
    ASSERT_TRUE(bad) << value;
    EXPECT_FALSE(bad->receivedMessage) << value;
    EXPECT_EQ(bad->recipientPartyIdentification, "SN123");
  }
}

TEST(CardAuthRspnBuilderTest, GoldenResponseDecodesAndPrints) {
  auto r = Decoded<CardAuthRspnBuilder>(fixture("card_auth_full.json")).only();
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->exchangeIdentification);
  EXPECT_FALSE(r->authRspnReason);
  EXPECT_EQ(r->toString(),
            "交易参考号: TR-1\n"
            "接收方标识: SN123\n"
            "  response: nil,\n"
            "  responseReason: nil,\n"
            "附加响应信息: ok\n"
            "\n交易成功详情:\n"
            "交易时间: 2026-01-02\n"
            "商户ID: M1\n"
            "商户名称: Shop\n"
            "终端ID: POI1\n"
            "卡品牌: VISA\n"
            "收银员ID: C7\n"
            "终端交易ID: PT1\n"
            "掩码卡号: 4111****1111"
            "token id: TOK");
}

}  // namespace
}  // namespace veltrix::codec::test
