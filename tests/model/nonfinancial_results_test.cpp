#include "veltrix/model/nonfinancial_results.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "veltrix/platform/json.h"

namespace veltrix::model {
namespace {

using platform::Json;

CardAuthResult fullCardAuth() {
  CardAuthResult r;
  r.transactionReference = "TR-1";
  r.recipientPartyIdentification = "SN123";
  r.additionalResponseInformation = "ok";
  r.transactionDateTime = "2026-01-02";
  r.merchantIdentification = "M1";
  r.merchantIdentificationName = "Shop";
  r.poiIdentificationId = "POI1";
  r.cardBrand = "VISA";
  r.cashierIdentification = "C7";
  r.poiTransactionIdentification = "PT1";
  r.maskedPAN = "4111****1111";
  r.tokenIdentification = "TOK";
  return r;
}

TEST(CardAuthResultTest, SuccessRunsTheLastTwoLinesTogether) {
  EXPECT_EQ(fullCardAuth().toString(),
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

TEST(CardAuthResultTest, FailureAndEmpty) {
  CardAuthResult failed = fullCardAuth();
  failed.response = ResponseCode::FAIL;
  failed.responseReason = RetailerResultDetailCode::IVCA;
  failed.additionalResponseInformation = "";
  EXPECT_EQ(failed.toString(),
            "交易参考号: TR-1\n"
            "接收方标识: SN123\n"
            "  response: FAIL,\n"
            "  responseReason: IVCA,\n"
            "附加响应信息: \n");

  // Optional lines vanish when absent; the others print N/A.
  EXPECT_EQ(CardAuthResult{}.toString(),
            "交易参考号: N/A\n"
            "接收方标识: N/A\n"
            "  response: nil,\n"
            "  responseReason: nil,\n"
            "\n交易成功详情:\n"
            "交易时间: N/A\n"
            "商户ID: N/A\n"
            "终端ID: N/A\n"
            "卡品牌: N/A\n"
            "终端交易ID: N/A\n");

  CardAuthResult tokenOnly;
  tokenOnly.tokenIdentification = "";
  EXPECT_TRUE(tokenOnly.toString().ends_with("终端交易ID: N/A\ntoken id: "));
}

TEST(MessageStatusResultTest, NestedResultsPrintAsYesOrNo) {
  MessageStatusResult r;
  r.recipientPartyIdentification = "SN123";
  r.orgExchangeIdentification = "EX1";
  auto refund = std::make_shared<RefundResult>();
  refund->totalAmount = "5.00";
  r.refundResult = refund;
  EXPECT_EQ(r.toString(),
            "recipientPartyIdentification: SN123\n"
            "response: nil\n"
            "responseReason: nil\n"
            "additionalResponseInformation: nil\n"
            "orgExchangeIdentification: EX1\n"
            "initiatingPartyIdentification: nil\n"
            "paymentResult: NO\n"
            "reversalResult: NO\n"
            "refundResult: YES\n"
            "preAuthResult: NO\n");

  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::TNFD;
  r.additionalResponseInformation = "not found";
  EXPECT_EQ(r.toString(),
            "recipientPartyIdentification: SN123\n"
            "response: FAIL\n"
            "responseReason: TNFD\n"
            "additionalResponseInformation: not found\n");
}

TEST(MessageStatusResultTest, ComparesNestedResultsByContent) {
  MessageStatusResult a;
  a.paymentResult = std::make_shared<PaymentResult>();
  MessageStatusResult b = a;
  b.paymentResult = std::make_shared<PaymentResult>();
  EXPECT_EQ(a, b);
  auto changed = std::make_shared<PaymentResult>();
  changed->endFlag = true;
  b.paymentResult = changed;
  EXPECT_NE(a, b);
  b.paymentResult.reset();
  EXPECT_NE(a, b);
  a.paymentResult.reset();
  EXPECT_EQ(a, b);
  b.response = ResponseCode::WARN;
  EXPECT_NE(a, b);
}

TEST(NFCTagResultTest, JsonWritesDetectCountOnlyAboveZero) {
  NFCTagResult r;
  EXPECT_EQ(r.toString(), "{}");
  r.detectCount = -2;
  EXPECT_EQ(r.toString(), "{}");

  r.exchangeIdentification = "EX1";
  r.cashierIdentification = "C7";
  r.recipientPartyIdentification = "SN123";
  r.response = ResponseCode::PART;
  r.responseReason = RetailerResultDetailCode::BUSY;
  r.refualResponse = RefusalReasonCode::CARD_EXPIRED;
  r.authRspnReason = "";
  r.additionalResponseInformation = "ok";
  r.issuerReferenceData = "IRD";
  r.detectCount = 3000000000;
  EXPECT_EQ(r.toString(), R"({
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

  r.issuerReferenceData = std::string("\xfe");
  EXPECT_TRUE(r.toString().starts_with("Error converting to JSON: ")) << r.toString();
}

TEST(TransmitMessageResultTest, FiveLinesWithoutFinalLineFeed) {
  TransmitMessageResult r;
  EXPECT_EQ(r.toString(),
            "recipientPartyIdentification: nil\n"
            "response: nil\n"
            "responseReason: nil\n"
            "additionalResponseInformation: nil\n"
            "receivedMessage: nil");
  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::NHOS;
  r.recipientPartyIdentification = "SN123";
  r.receivedMessage = "hello 你好";
  EXPECT_EQ(r.toString(),
            "recipientPartyIdentification: SN123\n"
            "response: FAIL\n"
            "responseReason: NHOS\n"
            "additionalResponseInformation: nil\n"
            "receivedMessage: hello 你好");
}

TransTotals exampleTotals() {
  TransTotals t;
  t.poiGroupIdentification = "G1";
  t.activeCurrency = ISO4217ActiveCurrency::USD;
  t.transactionTotalsType = TypeTransactionTotalsCode::DEBT;
  t.totalNum = "3";
  t.totalAmount = "30.00";
  t.fees = {{DetailedAmount{"1.00", "svc"}}};
  return t;
}

constexpr const char* kExampleTotalsText =
    "TransTotals{poiGroupIdentification='G1', cardProductProfile='', activeCurrency=USD, "
    "transactionTotalsType=DEBT, totalNum='3', totalAmount='30.00', cashBack='', "
    "fees=[{amount='1.00',label='svc'}], valueAddedTaxs=null}";

TEST(TransTotalsTest, OneLineForm) {
  EXPECT_EQ(exampleTotals().toString(), kExampleTotalsText);

  // The currency and the kind print their codes even at 0.
  EXPECT_EQ(TransTotals{}.toString(),
            "TransTotals{poiGroupIdentification='', cardProductProfile='', activeCurrency=AFN, "
            "transactionTotalsType=CRDT, totalNum='', totalAmount='', cashBack='', fees=null, "
            "valueAddedTaxs=null}");

  TransTotals t;
  t.activeCurrency = static_cast<ISO4217ActiveCurrency>(999);
  t.transactionTotalsType = static_cast<TypeTransactionTotalsCode>(-1);
  t.cashBack = "0.50";
  t.fees = std::vector<DetailedAmount>{};
  t.valueAddedTaxs = {{DetailedAmount{"0.10", std::nullopt}, DetailedAmount{std::nullopt, "b"}}};
  EXPECT_EQ(t.toString(),
            "TransTotals{poiGroupIdentification='', cardProductProfile='', activeCurrency=XXX, "
            "transactionTotalsType=DEBT, totalNum='', totalAmount='', cashBack='0.50', fees=null, "
            "valueAddedTaxs=[{amount='0.10',label=''}, {amount='',label='b'}]}");
}

// The text of a totals set that has nothing but `brand`.
std::string brandOnlySetText(const std::string& brand) {
  return "TransTotalsSet{paymentInstrumentTypeCode=0, acquirerIdentification='', "
         "reconciliationIdentification='', saleReconciliationIdentification='', brand='" +
         brand +
         "', poiIdentification='', merchantIdentification='', merchantName='', "
         "saleIdentification='', cashierIdentification='', shiftNumber='', "
         "transactionTotals=null, transactionTotal=null}";
}

TransTotalsSet brandOnlySet(const std::string& brand) {
  TransTotalsSet set;
  set.brand = brand;
  return set;
}

TEST(TransTotalsSetTest, OneLineFormWithIndentedEntries) {
  EXPECT_EQ(brandOnlySet("").toString(), brandOnlySetText(""));

  TransTotalsSet set;
  set.paymentInstrumentTypeCode = PaymentInstrumentTypeCode::CASH;
  set.acquirerIdentification = "ACQ";
  set.reconciliationIdentification = "R1";
  set.saleReconciliationIdentification = "SR1";
  set.brand = "VISA";
  set.poiIdentification = "POI1";
  set.merchantIdentification = "M1";
  set.merchantName = "Shop";
  set.saleIdentification = "SALE";
  set.cashierIdentification = "C7";
  set.shiftNumber = "S1";
  TransTotals second;
  second.transactionTotalsType = TypeTransactionTotalsCode::RESV;
  second.activeCurrency = ISO4217ActiveCurrency::EUR;
  set.transactionTotals = {{exampleTotals(), second}};
  set.transactionTotal = exampleTotals();
  const std::string secondText =
      "TransTotals{poiGroupIdentification='', cardProductProfile='', activeCurrency=EUR, "
      "transactionTotalsType=RESV, totalNum='', totalAmount='', cashBack='', fees=null, "
      "valueAddedTaxs=null}";
  EXPECT_EQ(set.toString(),
            "TransTotalsSet{paymentInstrumentTypeCode=1, acquirerIdentification='ACQ', "
            "reconciliationIdentification='R1', saleReconciliationIdentification='SR1', "
            "brand='VISA', poiIdentification='POI1', merchantIdentification='M1', "
            "merchantName='Shop', saleIdentification='SALE', cashierIdentification='C7', "
            "shiftNumber='S1', transactionTotals=[\n  " +
                std::string(kExampleTotalsText) + ",\n  " + secondText +
                "\n], transactionTotal=" + kExampleTotalsText + "}");

  // An empty list prints null; a value beyond 32 bits prints whole.
  set.transactionTotals = std::vector<TransTotals>{};
  set.transactionTotal.reset();
  set.paymentInstrumentTypeCode = static_cast<PaymentInstrumentTypeCode>(1099511627776);
  const std::string text = set.toString();
  EXPECT_TRUE(text.starts_with("TransTotalsSet{paymentInstrumentTypeCode=1099511627776, ")) << text;
  EXPECT_TRUE(text.ends_with("shiftNumber='S1', transactionTotals=null, transactionTotal=null}"))
      << text;
}

TEST(ReconciliationResultTest, PrintsItsSetsAndEndsWithoutLineFeed) {
  ReconciliationResult r;
  r.recipientPartyIdentification = "SN123";
  r.shiftNumber = "S1";
  r.merchantIdentification = "M1";
  r.poiIdentificationId = "POI1";
  r.cashierIdentification = "C7";
  r.poiReconciliationIdentification = "PR1";
  r.transactionDateTime = "2026-01-02";
  r.transactionReference = "TR-1";
  r.transTotalsSets = {{brandOnlySet("A"), brandOnlySet("B")}};
  r.transTotalsSet = brandOnlySet("C");
  EXPECT_EQ(r.toString(),
            "recipientPartyIdentification: SN123\n"
            "response: nil\n"
            "responseReason: nil\n"
            "additionalResponseInformation: nil\n"
            "reconciliationType: AREC\n"
            "shiftNumber: S1\n"
            "merchantIdentification: M1\n"
            "merchantIdentificationName: nil\n"
            "poiIdentificationId: POI1\n"
            "cashierIdentification: C7\n"
            "poiReconciliationIdentification: PR1\n"
            "invoiceNumber: nil\n"
            "transactionDateTime: 2026-01-02\n"
            "transactionReference: TR-1\n"
            "transTotalsSets: [\n"
            "  " +
                brandOnlySetText("A") +
                "\n"
                "  " +
                brandOnlySetText("B") +
                "\n"
                "]\n"
                "transTotalsSet: " +
                brandOnlySetText("C"));

  // No success section: a failure prints the same lines.
  ReconciliationResult failed;
  failed.response = ResponseCode::FAIL;
  failed.responseReason = RetailerResultDetailCode::LOUT;
  failed.reconciliationType = ReconciliationTypeCode::SREC;
  failed.transTotalsSets = std::vector<TransTotalsSet>{};
  EXPECT_EQ(failed.toString(),
            "recipientPartyIdentification: nil\n"
            "response: FAIL\n"
            "responseReason: LOUT\n"
            "additionalResponseInformation: nil\n"
            "reconciliationType: SREC\n"
            "shiftNumber: nil\n"
            "merchantIdentification: nil\n"
            "merchantIdentificationName: nil\n"
            "poiIdentificationId: nil\n"
            "cashierIdentification: nil\n"
            "poiReconciliationIdentification: nil\n"
            "invoiceNumber: nil\n"
            "transactionDateTime: nil\n"
            "transactionReference: nil\n"
            "transTotalsSets: nil\n"
            "transTotalsSet: nil");
}

}  // namespace
}  // namespace veltrix::model
