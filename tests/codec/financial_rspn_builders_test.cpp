#include "veltrix/codec/financial_rspn_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/decoder_fixture.h"

namespace veltrix::codec::test {
namespace {

using model::DetailedAmount;
using platform::Json;
using platform::ScopedLogCapture;

// Compares a JSON text form with the expected members, order included.
::testing::AssertionResult sameJsonForm(const std::string& text, std::string_view expected) {
  std::optional<Json> actual = platform::parseJson(text);
  if (!actual) return ::testing::AssertionFailure() << "not JSON: " << text;
  if (text.find("\n  \"") == std::string::npos) {
    return ::testing::AssertionFailure() << "not indented: " << text;
  }
  if (actual->dump() != Json::parse(expected).dump()) {
    return ::testing::AssertionFailure() << "\n  actual:   " << actual->dump()
                                         << "\n  expected: " << Json::parse(expected).dump();
  }
  return ::testing::AssertionSuccess();
}

TEST(PaymentRspnParserTest, GoldenResponseDecodesAndPrints) {
  Decoded<PaymentRspnParser> run(fixture("payment_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(run.delegate->calls[0].exchangeId, "0A1B2C3D4E5F60718293A4B5C6D7E8F9");
  EXPECT_TRUE(run.delegate->calls[0].endFlag);
  ASSERT_TRUE(run.decoder.header());
  EXPECT_EQ(run.decoder.header()->serviceType, "Purchase");
  EXPECT_EQ(r->toString(),
            "Transaction Reference: TR-20260131-0001\n"
            "Transaction Type: SCDP\n"
            "Transaction DateTime: 2026-01-31T22:05:11.900+08:00\n"
            "Recipient Party ID: TV2024000123\n"
            "Exchange ID: 0A1B2C3D4E5F60718293A4B5C6D7E8F9\n"
            "Response: N/A\n"
            "Response Reason: REFU\n"
            "Auth Response Reason: 00\n"
            "End Flag: YES\n"
            "Additional Info: APPROVED\n"
            "Total Amount: 12.50\n"
            "Currency: USD\n"
            "Account Type: CRDT\n"
            "Auth Code: A1B2C3\n"
            "Auth Identification: AI-1\n"
            "Requested Amount: 12.50\n"
            "Authorised Amount: 12.50\n"
            "Cumulative Amount: 12.50\n"
            "Cashback: 0.00\n"
            "Gratuity: 1.00\n"
            "Value Added Tax: [\n"
            "\t{amount='1.14',label='VAT 10%'}\n"
            "]\n"
            "Fees: [\n"
            "\t{amount='0.30',label='service'}\n"
            "]\n"
            "Merchant ID: M-000123\n"
            "Merchant Name: Corner Shop\n"
            "POI ID: POI-77\n"
            "POI Transaction ID: PT-4711\n"
            "POI Recon ID: PR-9\n"
            "Masked PAN: 411111******1111\n"
            "PAN: 4111111111111111\n"
            "Expiry Date: 2812\n"
            "Card Entry Mode: CTLS\n"
            "Card Brand: VISA\n"
            "AID: A0000000031010\n"
            "Issuer Ref Data: IRD-778\n"
            "Cashier ID: C7\n"
            "Acquirer: ACQ\n"
            "Invoice Number: INV-9\n"
            "Token ID: TOK-1\n"
            "Additional Sale Data: table 4\n"
            "ICC Related Data: [\"9F2608A1B2C3D4E5F60718\",\"9F270180\"]\n"
            "Attendance Context: 0\n"
            "Sale Item Params: N/A\n"
            "Print Receipts: [\n"
            "\t{documentQualifier='CRCP', format='TEXT', messageContent='CUSTOMER COPY'}\n"
            "\t{documentQualifier='MRCP', format='HTML', messageContent='<p>MERCHANT COPY</p>'}\n"
            "]");
}

TEST(PaymentRspnParserTest, OwnFrameLogsOnlyJsonFailures) {
  ScopedLogCapture log;
  Decoded<PaymentRspnParser> empty("");
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.contains("PaymentRspnParser: JSON解析失败 - "));
  EXPECT_FALSE(log.contains("JSON字符串为空"));

  // No body, a body of the wrong type, a top level that is no object: no
  // callback and nothing of its own in the log.
  log.clear();
  Decoded<PaymentRspnParser> noBody(R"({"exchangeIdentification": "EX1"})");
  Decoded<PaymentRspnParser> wrongBody(message("[{}]"));
  EXPECT_TRUE(log.lines().empty());
  Decoded<PaymentRspnParser> array("[{}]");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"TransactionHeaderParser: 无效的字典数据"}));
  EXPECT_TRUE(noBody.delegate->calls.empty());
  EXPECT_TRUE(wrongBody.delegate->calls.empty());
  EXPECT_TRUE(array.delegate->calls.empty());

  log.clear();
  EXPECT_FALSE(PaymentRspnParser::parseBodyFromDictionary(nullptr));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"PaymentRspnParser: 无效的报文体数据"}));
}

TEST(PaymentRspnParserTest, HeaderOverwritesExchangeIdentificationAndEndFlag) {
  Decoded<PaymentRspnParser> noHeaderId(message(
      R"({"exchangeIdentification": "FROM-BODY", "response": "SUCC"})", R"("endFlag": "YES")"));
  auto r = noHeaderId.only();
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->exchangeIdentification);
  EXPECT_TRUE(r->endFlag);
  EXPECT_EQ(noHeaderId.delegate->calls[0].exchangeId, "");
  EXPECT_TRUE(noHeaderId.delegate->calls[0].endFlag);

  Decoded<PaymentRspnParser> other(message(R"({"exchangeIdentification": "FROM-BODY"})",
                                           R"("exchangeIdentification": "EX9", "endFlag": 0)"));
  r = other.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->exchangeIdentification, "EX9");
  EXPECT_FALSE(r->endFlag);

  // No delegate: decoded all the same.
  Decoded<PaymentRspnParser> silent(message("{}"), false);
  ASSERT_TRUE(silent.decoder.result());
  EXPECT_TRUE(silent.decoder.result()->endFlag);
}

TEST(PaymentRspnParserTest, LenientVariants) {
  Decoded<PaymentRspnParser> run(message(R"({
    "response": "succ", "transactionType": "scdp", "totalAmount": 12.5, "cashBack": "2.00",
    "cashback": 2, "requestedAmount": true, "authorisedAmount": null,
    "cumulativeAmount": {"v": 1}, "fees": {"amount": "1"}, "valueAddedTax": [],
    "printReceipts": [null, {"documentQualifier": "crcp", "outputContent": 5}],
    "iccRelatedData": []})"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->response, model::ResponseCode::SUCC);
  EXPECT_EQ(r->transactionType, model::TransactionTypeCode::RESA);
  EXPECT_EQ(r->totalAmount, "12.5");
  EXPECT_EQ(r->cashback, "2");  // never "cashBack"
  EXPECT_EQ(r->requestedAmount, "1");
  EXPECT_FALSE(r->authorisedAmount);
  EXPECT_FALSE(r->cumulativeAmount);
  EXPECT_FALSE(r->fees);
  EXPECT_EQ(r->valueAddedTax, std::vector<DetailedAmount>{});
  EXPECT_EQ(r->iccRelatedData, std::vector<Json>{});
  EXPECT_EQ(r->printReceipts,
            (std::vector<model::PrintReceipt>{
                {model::ReceiptOutputTargetCode::CRCP, model::OutputFormatCode::TEXT, "5"}}));
}

// The four lists of one message, seen by each decoder.
TEST(FinancialRspnBuildersTest, EachDecoderReadsOnlyItsLists) {
  const std::string text = message(R"({"response": "SUCC",
    "valueAddedTax": [{"amount": "1"}], "fees": [{"amount": "2"}],
    "printReceipts": [{"outputContent": "R"}], "iccRelatedData": ["9F26"]})");
  const auto lists = [](const model::BaseFinancialResult& r) {
    return std::vector<bool>{r.valueAddedTax.has_value(), r.fees.has_value(),
                             r.printReceipts.has_value(), r.iccRelatedData.has_value()};
  };
  using V = std::vector<bool>;
  EXPECT_EQ(lists(*Decoded<PaymentRspnParser>(text).only()), (V{true, true, true, true}));
  EXPECT_EQ(lists(*Decoded<RefundRspnBuilder>(text).only()), (V{true, false, false, false}));
  EXPECT_EQ(lists(*Decoded<ReversalRspnBuilder>(text).only()), (V{false, false, false, false}));
  EXPECT_EQ(lists(*Decoded<PreAuthRspnBuilder>(text).only()), (V{true, true, true, false}));
  EXPECT_EQ(lists(*Decoded<PreAuthCompletionRspnBuilder>(text).only()),
            (V{true, true, true, false}));
  EXPECT_EQ(lists(*Decoded<AuthAdjustmentRspnBuilder>(text).only()),
            (V{true, false, false, false}));
}

TEST(RefundRspnBuilderTest, GoldenResponseDecodesAndPrints) {
  Decoded<RefundRspnBuilder> run(fixture("refund_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_TRUE(run.delegate->calls[0].endFlag);
  EXPECT_TRUE(run.decoder.endFlag());
  EXPECT_EQ(r->toString(),
            "Transaction Reference: TR-20260131-0002\n"
            "Transaction Type: RFND\n"
            "Transaction DateTime: 2026-01-31T22:10:00.000+08:00\n"
            "Recipient Party ID: TV2024000123\n"
            "Exchange ID: 1F2E3D4C5B6A79880716253443526170\n"
            "Response: N/A\n"
            "Response Reason: N/A\n"
            "Auth Response Reason: 00\n"
            "Additional Info: APPROVED\n"
            "Total Amount: 5\n"
            "Currency: EUR\n"
            "Account Type: CHCK\n"
            "Gratuity: 0\n"
            "Auth Code: R1\n"
            "Auth Identification: AI-2\n"
            "Value Added Tax: [\n"
            "\tValue: 0.45, Label: VAT\n"
            "\tValue: N/A, Label: zero rated\n"
            "]\n"
            "Fees: N/A\n"
            "Merchant ID: M-000123\n"
            "Merchant Name: Corner Shop\n"
            "POI ID: POI-77\n"
            "Masked PAN: 541333******4111\n"
            "PAN: 5413330000004111\n"
            "Expiry Date: 2711\n"
            "Card Entry Mode: CICC\n"
            "Card Brand: MASTERCARD\n"
            "AID: A0000000041010\n"
            "Cashier ID: C7\n"
            "Issuer Ref Data: IRD-779\n"
            "ICC Related Data: N/A\n"
            "Original Transaction Reference: TR-20260131-0001\n"
            "Original Transaction DateTime: 2026-01-31T22:05:11.900+08:00\n"
            "POI Transaction ID: PT-4712\n"
            "POI Reconciliation ID: PR-9\n"
            "Invoice Number: INV-10\n"
            "Acquirer: ACQ\n"
            "Additional Sale Data: return\n"
            "Token ID: TOK-2\n"
            "Print Receipts: N/A\n");
}

TEST(PreAuthRspnBuildersTest, GoldenCompletionAndReaderLogs) {
  Decoded<PreAuthCompletionRspnBuilder> run(fixture("preauth_completion_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_TRUE(run.delegate->calls[0].endFlag);
  EXPECT_EQ(r->fees, std::vector<DetailedAmount>{});
  EXPECT_TRUE(sameJsonForm(r->toString(), R"({
    "transactionReference": "TR-PAC-1",
    "transactionType": "PCPP",
    "recipientPartyIdentification": "TV2024000123",
    "exchangeIdentification": "22222222333333334444444455555555",
    "totalAmount": "80.00",
    "transactionDateTime": "2026-02-01T09:00:00.000+08:00",
    "currency": "JPY",
    "accountType": "CRDT",
    "authorisationCode": "PA77",
    "merchantIdentification": "M-000123",
    "maskedPAN": "411111******1111",
    "cardDataEntryMode": "MGST",
    "cardBrand": "VISA",
    "valueAddedTax": [{"amount": "8", "label": "VAT"}],
    "printReceipts": [{"format": "TEXT", "messageContent": "PAC", "documentQualifier": "MRCP"}]
  })"));

  ScopedLogCapture log;
  Decoded<PreAuthRspnBuilder> arrayBody(message("[]"));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"PreAuthRspnBuilder: 报文体不存在或格式错误",
                                                   "PreAuthRspnBuilder: 解析结果为空，无法回调"}));

  // The result parsers outside the frame.
  log.clear();
  EXPECT_FALSE(PreAuthRspnBuilder::parseFromDictionary(nullptr));
  EXPECT_FALSE(PreAuthCompletionRspnBuilder::parseFromJSONString(""));
  EXPECT_FALSE(ReprintRspnBuilder::parseFromJSONString("{oops"));
  const Json body = Json::parse(R"({"transactionType": "SCPP"})");
  EXPECT_FALSE(PreAuthRspnBuilder::parseBodyFromDictionary(&body["transactionType"]));
  ASSERT_EQ(log.lines().size(), 4u);
  EXPECT_EQ(log.lines()[0], "PreAuthResult parseFromDictionary: 无效的字典数据");
  EXPECT_EQ(log.lines()[1], "PreAuthCompletionResult parseFromJSONString: JSON字符串为空");
  EXPECT_TRUE(log.lines()[2].starts_with("ReprintResult parseFromJSONString: JSON解析失败 - "));
  EXPECT_EQ(log.lines()[3], "PreAuthRspnBuilder: 无效的报文体数据");
  auto fromText = PreAuthRspnBuilder::parseFromJSONString(R"({"transactionType": "SCPP"})");
  ASSERT_TRUE(fromText);
  EXPECT_EQ(fromText->transactionType, model::TransactionTypeCode::SCPP);
}

TEST(AuthAdjustmentRspnBuilderTest, ReadsItsAmounts) {
  Decoded<AuthAdjustmentRspnBuilder> run(message(
      R"({"response": "SUCC", "requestedAmount": "20.00", "authorisedAmount": "",
          "cumulativeAmount": 35, "fees": [{"amount": "1"}]})"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->requestedAmount, "20.00");
  EXPECT_EQ(r->authorisedAmount, "");
  EXPECT_EQ(r->cumulativeAmount, "35");
  EXPECT_FALSE(r->fees);
}

TEST(BalanceInquiryRspnBuilderTest, GoldenResponseDecodesAndPrints) {
  Decoded<BalanceInquiryRspnBuilder> run(fixture("balance_inquiry_full.json"));
  auto r = run.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(run.delegate->calls[0].exchangeId, "33333333444444445555555566666666");
  EXPECT_EQ(r->toString(),
            "{\n"
            "  exchangeIdentification: EX1,\n"
            "  cashierIdentification: C7,\n"
            "  recipientPartyIdentification: SN123,\n"
            "  response: PART,\n"
            "  responseReason: WIPG,\n"
            "  authRspnReason: ,\n"
            "  additionalResponseInformation: ok,\n"
            "  issuerReferenceData: IRD,\n"
            "  transactionDateTime: 2026-01-02,\n"
            "  currency: USD,\n"
            "  currentBalance: 99.5,\n"
            "  merchantIdentification: M1,\n"
            "  merchantIdentificationName: Shop,\n"
            "  poiIdentificationId: POI1,\n"
            "  maskedPAN: 4111****1111,\n"
            "  cardBrand: VISA,\n"
            "  poiTransactionIdentification: PT1\n"
            "}");

  auto twoLetters = Decoded<BalanceInquiryRspnBuilder>(message(R"({"currency": "US"})")).only();
  ASSERT_TRUE(twoLetters);
  EXPECT_EQ(twoLetters->currency, model::ISO4217ActiveCurrency::XXX);
}

TEST(ReprintAndAbortTest, GoldenResponsesDecodeAndPrint) {
  Decoded<ReprintRspnBuilder> reprint(fixture("reprint_full.json"));
  auto r = reprint.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->toString(), R"({
  "exchangeIdentification": "EX2",
  "orgExchangeIdentification": "EX1",
  "printReceipts": [
    {
      "format": "TEXT",
      "messageContent": "copy",
      "documentQualifier": "MRCP"
    },
    {
      "format": "",
      "messageContent": "",
      "documentQualifier": ""
    }
  ]
})");

  // Abort reads five keys only; its callback has no end flag.
  Decoded<AbortRspnParser> abort(fixture("abort_full.json"));
  auto a = abort.only();
  ASSERT_TRUE(a);
  EXPECT_EQ(abort.delegate->calls[0].operation, "onAbortResponse");
  EXPECT_EQ(abort.delegate->calls[0].exchangeId, "44444444555555556666666677777777");
  EXPECT_EQ(a->refualResponse, model::RefusalReasonCode::DECLINED);
  EXPECT_EQ(a->toString(), R"({
  "recipientPartyIdentification": "SN123",
  "response": "FAIL",
  "responseReason": "CANC",
  "additionalResponseInformation": ""
})");

  ScopedLogCapture log;
  Decoded<AbortRspnParser> broken("{");
  Decoded<AbortRspnParser> noBody("{}");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.lines()[0].starts_with("AbortRspnParser: JSON解析失败 - "));
}

TEST(ReprintAndAbortTest, SafeBoolReadsFlagsLeniently) {
  for (const char* yes : {"true", "1", "-2.5", "\"TRUE\"", "\"Yes\"", "\"1\""}) {
    EXPECT_TRUE(AbortRspnParser::safeBool(Json::parse(yes))) << yes;
  }
  for (const char* no :
       {"false", "0", "0.0", "\"no\"", "\"2\"", "\"y\"", "\"true \"", "null", "[true]", "{}"}) {
    EXPECT_FALSE(AbortRspnParser::safeBool(Json::parse(no))) << no;
  }
}

}  // namespace
}  // namespace veltrix::codec::test
