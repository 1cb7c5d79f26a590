#include "veltrix/codec/rspn_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "codec/decoder_fixture.h"
#include "veltrix/codec/rspn_builder_helper.h"

namespace veltrix::codec::test {
namespace {

using model::DetailedAmount;
using platform::Json;
using platform::ScopedLogCapture;

// The lines of `log` without the two that some decoders add on their way
// (the common-fields line and the reconciliation's body dump).
std::vector<std::string> frameLines(const ScopedLogCapture& log) {
  std::vector<std::string> out;
  for (const std::string& line : log.lines()) {
    if (line == "解析公共部分交易报文" || line.starts_with("bodyDict = ")) continue;
    out.push_back(line);
  }
  return out;
}

template <typename D>
class FrameTest : public ::testing::Test {
 protected:
  std::string name(std::string_view text) const {
    return fmt::format("{}: {}", D::kClassName, text);
  }
};

using FrameDecoders = ::testing::Types<
    RefundRspnBuilder, ReversalRspnBuilder, PreAuthRspnBuilder, PreAuthCompletionRspnBuilder,
    AuthAdjustmentRspnBuilder, BalanceInquiryRspnBuilder, ReprintRspnBuilder,
    ReconciliationRspnBuilder, CardAuthRspnBuilder, DisplayRspnBuilder, MessageStatusRspnBuilder,
    NFCTagRspnBuilder, PrintRspnBuilder, TransmitMessageRspnBuilder, EventNotificationParamBuilder>;
TYPED_TEST_SUITE(FrameTest, FrameDecoders);

TYPED_TEST(FrameTest, EachFailureLogsItsLineWithTheClassName) {
  using D = TypeParam;
  {
    ScopedLogCapture log;
    Decoded<D> empty("");
    Decoded<D> absent(std::nullopt);
    EXPECT_EQ(frameLines(log), (std::vector<std::string>{this->name("JSON字符串为空"),
                                                         this->name("JSON字符串为空")}));
    EXPECT_TRUE(empty.delegate->calls.empty());
  }
  for (const char* text : {"   ", "{\"response\": {}", "\"just text\"", "{\"a\": \"\xff\"}"}) {
    ScopedLogCapture log;
    Decoded<D> run(text);
    ASSERT_EQ(log.lines().size(), 1u) << text;
    EXPECT_TRUE(log.lines()[0].starts_with(this->name("JSON解析失败 - "))) << log.lines()[0];
    EXPECT_GT(log.lines()[0].size(), this->name("JSON解析失败 - ").size());
    EXPECT_TRUE(run.delegate->calls.empty());
  }
  {
    // A top-level array is a message without header and body.
    ScopedLogCapture log;
    Decoded<D> run("[]");
    EXPECT_EQ(frameLines(log),
              (std::vector<std::string>{
                  "TransactionHeaderParser: 无效的字典数据", this->name("报文头解析失败"),
                  this->name("报文体不存在或格式错误"), this->name("解析结果为空，无法回调")}));
    EXPECT_FALSE(run.decoder.header());
    EXPECT_TRUE(run.delegate->calls.empty());
  }
  for (const char* body : {"null", "[]", "\"x\"", "3"}) {
    ScopedLogCapture log;
    Decoded<D> run(message(body));
    EXPECT_EQ(frameLines(log), (std::vector<std::string>{this->name("报文体不存在或格式错误"),
                                                         this->name("解析结果为空，无法回调")}))
        << body;
    EXPECT_TRUE(run.decoder.header());
    EXPECT_TRUE(run.delegate->calls.empty());
  }
  {
    // Without a delegate nothing is said about the missing result.
    ScopedLogCapture log;
    Decoded<D> run(R"({"exchangeIdentification": "EX1"})", false);
    EXPECT_EQ(frameLines(log), (std::vector<std::string>{this->name("报文体不存在或格式错误")}));
  }
}

TYPED_TEST(FrameTest, EmptyBodyCallsBackWithTheHeadersValues) {
  using D = TypeParam;
  ScopedLogCapture log;
  Decoded<D> run(message("{}"));
  EXPECT_TRUE(frameLines(log).empty());
  auto result = run.template only<>();
  ASSERT_TRUE(result);
  EXPECT_EQ(result, run.decoder.result());
  EXPECT_EQ(run.delegate->calls[0].exchangeId, "EX1");
  EXPECT_TRUE(run.delegate->calls[0].endFlag);
  EXPECT_EQ(result->response, model::ResponseCode::FAIL);
  EXPECT_EQ(result->responseReason, model::RetailerResultDetailCode::REFU);
  EXPECT_EQ(result->refualResponse, model::RefusalReasonCode::DECLINED);
  EXPECT_FALSE(result->exchangeIdentification);
  EXPECT_FALSE(result->recipientPartyIdentification);
  EXPECT_FALSE(result->additionalResponseInformation);

  // Without those header keys: "" and false.
  Decoded<D> bare(message("{}", ""));
  ASSERT_EQ(bare.delegate->calls.size(), 1u);
  EXPECT_EQ(bare.delegate->calls[0].exchangeId, "");
  EXPECT_FALSE(bare.delegate->calls[0].endFlag);
}

TYPED_TEST(FrameTest, CallbackEndFlagComesFromTheHeaderOnly) {
  using D = TypeParam;
  auto delegate = std::make_shared<RecordingDelegate>();
  D decoder;
  decoder.setDelegate(delegate);
  decoder.setEndFlag(true);
  decoder.startParser(message("{}", R"("exchangeIdentification": 12345)"));
  ASSERT_EQ(delegate->calls.size(), 1u);
  EXPECT_EQ(delegate->calls[0].exchangeId, "12345");
  EXPECT_FALSE(delegate->calls[0].endFlag);
  // The header's flag replaces the creator's, except on the one decoder
  // that has no such step.
  EXPECT_EQ(decoder.endFlag(), !D::kTakesHeaderEndFlag);

  D noHeader;
  noHeader.setEndFlag(true);
  noHeader.startParser("[]");
  EXPECT_TRUE(noHeader.endFlag());
}

TYPED_TEST(FrameTest, GoneOrThrowingDelegateIsHarmless) {
  using D = TypeParam;
  ScopedLogCapture log;
  D decoder;
  {
    auto delegate = std::make_shared<RecordingDelegate>();
    decoder.setDelegate(delegate);
  }
  decoder.startParser(message("[]"));
  EXPECT_EQ(frameLines(log), (std::vector<std::string>{this->name("报文体不存在或格式错误")}));

  struct Throwing : RecordingDelegate {
    void onRefundResponse(std::shared_ptr<const model::RefundResult>, const std::string&,
                          bool) override {
      throw std::runtime_error("host bug");
    }
  };
  if constexpr (std::is_same_v<D, RefundRspnBuilder>) {
    auto throwing = std::make_shared<Throwing>();
    D other;
    other.setDelegate(throwing);
    log.clear();
    other.startParser(message("{}"));
    EXPECT_EQ(frameLines(log), (std::vector<std::string>{this->name("解析异常 - host bug")}));
  }
}

TEST(RspnBuilderHelperTest, TextsAreReadLeniently) {
  EXPECT_EQ(RspnBuilderHelper::safeString(Json("x")), "x");
  EXPECT_EQ(RspnBuilderHelper::safeString(Json::parse("10.50")), "10.5");
  EXPECT_EQ(RspnBuilderHelper::safeString(Json::parse("100")), "100");
  EXPECT_EQ(RspnBuilderHelper::safeString(Json::parse("-7")), "-7");
  EXPECT_EQ(RspnBuilderHelper::safeString(Json(true)), "1");
  EXPECT_EQ(RspnBuilderHelper::safeString(Json(false)), "0");
  for (const char* absent : {"null", "[]", "{}", "[\"x\"]"}) {
    EXPECT_FALSE(RspnBuilderHelper::safeString(Json::parse(absent))) << absent;
  }
}

TEST(RspnBuilderHelperTest, EmptyFinancialBodyTakesEveryFallback) {
  ScopedLogCapture log;
  model::RefundResult r;
  RspnBuilderHelper::parseBaseFinancialResultFields(r, Json::object());
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"解析公共部分交易报文"}));
  model::RefundResult expected;
  expected.response = model::ResponseCode::FAIL;
  expected.responseReason = model::RetailerResultDetailCode::REFU;
  expected.refualResponse = model::RefusalReasonCode::DECLINED;
  expected.transactionType = model::TransactionTypeCode::RESA;
  expected.currency = model::ISO4217ActiveCurrency::XXX;
  expected.accountType = model::CardAccountTypeCode::DFLT;
  expected.cardDataEntryMode = model::CardDataReadingCode::UNKW;
  EXPECT_EQ(r, expected);

  // No object: nothing read, nothing logged.
  log.clear();
  model::RefundResult untouched;
  RspnBuilderHelper::parseBaseFinancialResultFields(untouched, Json::array());
  RspnBuilderHelper::parseBaseResultFields(untouched, Json());
  EXPECT_EQ(untouched, model::RefundResult{});
  EXPECT_TRUE(log.lines().empty());
}

TEST(RspnBuilderHelperTest, WrongTypesGiveAbsentTextsAndFallbackCodes) {
  model::PaymentResult r;
  RspnBuilderHelper::parseBaseFinancialResultFields(r, Json::parse(R"({
    "exchangeIdentification": ["EX1"], "cashierIdentification": {"id": "C7"},
    "recipientPartyIdentification": null, "response": ["SUCC"], "responseReason": 8,
    "refualResponse": true, "authRspnReason": 0, "totalAmount": 12.5, "cardBrand": null,
    "transactionType": "scdp", "currency": "usd", "accountType": "crdt",
    "cardDataEntryMode": "ctls", "gratuity": false, "pan": 4111111111111111})"));
  EXPECT_FALSE(r.exchangeIdentification);
  EXPECT_FALSE(r.cashierIdentification);
  EXPECT_FALSE(r.recipientPartyIdentification);
  EXPECT_FALSE(r.cardBrand);
  EXPECT_EQ(r.response, model::ResponseCode::FAIL);
  EXPECT_EQ(r.responseReason, model::RetailerResultDetailCode::REFU);
  EXPECT_EQ(r.refualResponse, model::RefusalReasonCode::DECLINED);
  EXPECT_EQ(r.authRspnReason, "0");
  EXPECT_EQ(r.totalAmount, "12.5");
  EXPECT_EQ(r.gratuity, "0");
  EXPECT_EQ(r.pan, "4111111111111111");
  // Three tables compare exactly; the currency takes any letter case.
  EXPECT_EQ(r.transactionType, model::TransactionTypeCode::RESA);
  EXPECT_EQ(r.accountType, model::CardAccountTypeCode::DFLT);
  EXPECT_EQ(r.cardDataEntryMode, model::CardDataReadingCode::UNKW);
  EXPECT_EQ(r.currency, model::ISO4217ActiveCurrency::USD);
}

TEST(RspnBuilderHelperTest, ListsKeepAbsentAndEmptyApart) {
  using Amounts = std::optional<std::vector<DetailedAmount>>;
  Amounts vat;
  RspnBuilderHelper::parseValueAddedTaxArray(vat, Json::parse(R"({"valueAddedTax": "1.00"})"));
  EXPECT_FALSE(vat);
  RspnBuilderHelper::parseValueAddedTaxArray(vat, Json::parse(R"({"valueAddedTax": []})"));
  ASSERT_TRUE(vat);
  EXPECT_TRUE(vat->empty());

  // Non-objects are skipped; "value" is never read.
  Amounts fees;
  RspnBuilderHelper::parseFeesArray(
      fees, Json::parse(R"({"fees": [3, {"amount": 5}, null, {"value": "9", "label": "x"}]})"));
  EXPECT_EQ(fees,
            (Amounts{{DetailedAmount{"5", std::nullopt}, DetailedAmount{std::nullopt, "x"}}}));

  std::optional<std::vector<model::PrintReceipt>> receipts;
  RspnBuilderHelper::parsePrintReceiptsArray(receipts, Json::parse(R"({"printReceipts": {}})"));
  EXPECT_FALSE(receipts);
  RspnBuilderHelper::parsePrintReceiptsArray(
      receipts, Json::parse(R"({"printReceipts": ["x", {"outputContent": "A"}]})"));
  ASSERT_TRUE(receipts);
  ASSERT_EQ(receipts->size(), 1u);
  EXPECT_EQ((*receipts)[0].messageContent, "A");

  // Chip-card data is kept exactly as it came.
  std::optional<std::vector<Json>> icc;
  RspnBuilderHelper::parseIccRelatedData(icc, Json::parse(R"({"iccRelatedData": "9F26"})"));
  EXPECT_FALSE(icc);
  RspnBuilderHelper::parseIccRelatedData(
      icc, Json::parse(R"({"iccRelatedData": [3, "9F26", null, {"t": [1]}]})"));
  ASSERT_TRUE(icc);
  EXPECT_EQ(Json(*icc), Json::parse(R"([3, "9F26", null, {"t": [1]}])"));
}

TEST(RspnBuilderHelperTest, UntrustedTextsNeverBreakTheDecoder) {
  ScopedLogCapture log;
  // Nested as deep as allowed: decoded (the chip-card data keeps it).
  const std::size_t limit = detail::kMaxMessageDepth;
  const std::string deepOk = "{\"response\": {\"iccRelatedData\": " + std::string(limit - 2, '[') +
                             std::string(limit - 2, ']') + "}}";
  Decoded<PaymentRspnParser> ok(deepOk);
  EXPECT_EQ(ok.delegate->calls.size(), 1u);

  // One level more, or far more, is refused at the JSON step.
  for (std::size_t depth : {limit + 1, std::size_t{200000}}) {
    log.clear();
    const std::string deep = "{\"response\": {\"iccRelatedData\": " + std::string(depth - 2, '[') +
                             std::string(depth - 2, ']') + "}}";
    Decoded<PaymentRspnParser> payment(deep);
    Decoded<ReconciliationRspnBuilder> reconciliation(deep);
    EXPECT_TRUE(payment.delegate->calls.empty());
    EXPECT_EQ(log.count("JSON解析失败 - JSON text nested deeper than 512 levels"), 2u);
  }

  // Huge numbers become texts or saturate; invalid UTF-8 is a JSON failure
  // whose description stays printable.
  log.clear();
  Decoded<NFCTagRspnBuilder> nfc(message(
      R"({"exchangeIdentification": 123456789012345678901234567890, "detectCount": 1e300,
          "issuerReferenceData": -0.000001})"));
  auto r = nfc.only();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->exchangeIdentification, "1.2345678901234568e+29");
  EXPECT_EQ(r->detectCount, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(r->issuerReferenceData, "-1e-06");
  Decoded<NFCTagRspnBuilder> bad(message("{\"response\": \"\xc3\x28\"}"));
  ASSERT_EQ(log.lines().size(), 1u);
  const std::string prefix = "NFCTagRspnBuilder: JSON解析失败 - ";
  ASSERT_TRUE(log.lines()[0].starts_with(prefix)) << log.lines()[0];
  for (unsigned char c : log.lines()[0].substr(prefix.size())) EXPECT_LT(c, 0x80);
}

}  // namespace
}  // namespace veltrix::codec::test
