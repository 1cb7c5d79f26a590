#include "veltrix/codec/nonfinancial_req_builders.h"

#include <gtest/gtest.h>

#include "codec/codec_fixture.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec::test {
namespace {

using namespace veltrix::model;

void fillBase(BaseParams& p) {
  p.transactionReference = "TXN-0002";
  p.transactionType = TransactionTypeCode::CRDP;
  p.accountType = CardAccountTypeCode::CRDT;
  p.cashierIdentification = "cashier-7";
  p.runInBackground = true;  // the body says false whatever the host set
  p.servicesParams = DestinationParams{"TV1", "svc-9", "10.0.0.9:80"};
}

// Abort, card authentication, display, message status and NFC tag.
constexpr std::string_view kForm1Base = R"({
  "transactionReference": "TXN-0002", "transactionType": "CRDP", "accountType": "CRDT",
  "cashierIdentification": "cashier-7"})";
constexpr std::string_view kForm1Empty = R"({"transactionType": "Unknown", "accountType": "CTDP"})";
// Print and transmit message.
constexpr std::string_view kForm2Base = kForm1Base;
constexpr std::string_view kClose = R"({"runInBackground": false})";

class NonFinancialEncoderTest : public CodecTest {};

// ---- Golden messages per service --------------------------------------------------------------

TEST_F(NonFinancialEncoderTest, Abort) {
  AbortParam p;
  fillBase(p);
  p.exchangeIdentification = "not sent";
  p.orgExchangeIdentification = "0A1B2C3D4E5F60718293A4B5C6D7E8F0";
  p.orgTransactionReference = "not sent";
  p.abortReason = "顾客离开";
  p.transactionSuccess = true;
  EXPECT_TRUE(sameMessage(encode<AbortReqBuilder>(p, lanService("Abort")),
                          lanMessage("Abort", joined({kForm1Base, R"({
    "orgExchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F0",
    "abortReason": "顾客离开"})",
                                                      kClose}))));

  EXPECT_TRUE(sameMessage(encode<AbortReqBuilder>(AbortParam(), lanService("Abort")),
                          lanMessage("Abort", joined({kForm1Empty, kClose}))));

  // Empty texts are dropped here, unlike in the financial requests.
  AbortParam sparse;
  sparse.orgExchangeIdentification = "E1";
  sparse.abortReason = "";
  sparse.transactionReference = "";
  EXPECT_EQ(AbortReqBuilder().buildBodyWithAbortParam(&sparse).dump(),
            joined({kForm1Empty, R"({"orgExchangeIdentification": "E1"})", kClose}).dump());
}

TEST_F(NonFinancialEncoderTest, CardAuth) {
  CardAuthParam p;
  fillBase(p);
  EXPECT_TRUE(sameMessage(encode<CardAuthReqBuilder>(p, lanService("CardAuth")),
                          lanMessage("CardAuth", joined({kForm1Base, kClose}))));
  EXPECT_TRUE(sameMessage(encode<CardAuthReqBuilder>(CardAuthParam(), lanService("CardAuth")),
                          lanMessage("CardAuth", joined({kForm1Empty, kClose}))));
}

TEST_F(NonFinancialEncoderTest, Display) {
  ActionMessageParam full;
  full.format = OutputFormatCode::HTML;
  full.messageContent = "<b>Total 12.00</b>";
  full.informationQualifier = InformationQualifyCode::POIR;
  full.messageDestination = ReceiptOutputTargetCode::MDSP;
  full.minimumDisplayTime = 5;
  full.responseRequiredFlag = true;
  full.title = "Confirm";
  full.positiveButtonText = "OK";
  full.negativeButtonText = "取消";
  ActionMessageParam bare;  // unset codes left out, time and flag always written
  bare.messageContent = "";
  DisplayParam p;
  fillBase(p);
  p.createTime = 1769868300000;
  p.displayContents = std::vector<ActionMessageParam>{full, bare};
  EXPECT_TRUE(sameMessage(encode<DisplayReqBuilder>(p, lanService("Display")),
                          lanMessage("Display", joined({kForm1Base, R"({"displayContents": [
    {"format": "HTML", "messageContent": "<b>Total 12.00</b>", "informationQualifier": "POIR",
     "messageDestination": "MDSP", "minimumDisplayTime": 5, "responseRequiredFlag": true,
     "title": "Confirm", "positiveButtonText": "OK", "negativeButtonText": "取消"},
    {"messageContent": "", "minimumDisplayTime": 0, "responseRequiredFlag": false}
  ]})",
                                                        kClose}))));

  DisplayParam empty;
  empty.displayContents = std::vector<ActionMessageParam>{};
  EXPECT_TRUE(sameMessage(encode<DisplayReqBuilder>(empty, lanService("Display")),
                          lanMessage("Display", joined({kForm1Empty, kClose}))));
}

TEST_F(NonFinancialEncoderTest, MessageStatus) {
  MessageStatusParam p;
  fillBase(p);
  p.orgExchangeIdentification = "0A1B2C3D4E5F60718293A4B5C6D7E8F0";
  p.initiatingPartyIdentification = "5B0E4C1A";
  p.receiptReprintFlag = true;
  p.documentQualifier = std::vector<std::string>{"CRCP", ""};  // passed as given
  p.orgTransactionReference = "TXN-0001";
  p.orgTransactionType = TransactionTypeCode::PCDR;
  EXPECT_TRUE(sameMessage(encode<MessageStatusReqBuilder>(p, lanService("MessageStatus")),
                          lanMessage("MessageStatus", joined({kForm1Base, R"({
    "orgExchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F0",
    "initiatingPartyIdentification": "5B0E4C1A", "documentQualifier": ["CRCP", ""],
    "orgTransactionReference": "TXN-0001", "orgTransactionType": "PCDR",
    "receiptReprintFlag": true})",
                                                              kClose}))));

  MessageStatusParam empty;
  empty.documentQualifier = std::vector<std::string>{};
  EXPECT_TRUE(sameMessage(encode<MessageStatusReqBuilder>(empty, lanService("MessageStatus")),
                          lanMessage("MessageStatus", joined({kForm1Empty, R"({
    "documentQualifier": [], "orgTransactionType": "Unknown", "receiptReprintFlag": false})",
                                                              kClose}))));
}

TEST_F(NonFinancialEncoderTest, NFCTagLimitsOnlyWhenPositive) {
  NFCTagParam p;
  fillBase(p);
  p.messageContent = "NDEF:hello";
  p.maximumWaitingTime = 30;
  p.detectCount = 2;
  EXPECT_TRUE(sameMessage(encode<NFCTagReqBuilder>(p, lanService("NFCTag")),
                          lanMessage("NFCTag", joined({kForm1Base, R"({
    "messageContent": "NDEF:hello", "maximumWaitingTime": 30, "detectCount": 2})",
                                                       kClose}))));

  NFCTagParam sparse;
  sparse.maximumWaitingTime = 30;
  sparse.detectCount = 0;
  EXPECT_EQ(NFCTagReqBuilder().buildBodyWithNFCTagParam(&sparse).dump(),
            joined({kForm1Empty, R"({"maximumWaitingTime": 30})", kClose}).dump());
  sparse.maximumWaitingTime = -1;
  EXPECT_TRUE(sameMessage(encode<NFCTagReqBuilder>(sparse, lanService("NFCTag")),
                          lanMessage("NFCTag", joined({kForm1Empty, kClose}))));
}

TEST_F(NonFinancialEncoderTest, Print) {
  PrintParam p;
  fillBase(p);
  p.transactionReference = "";  // kept by print
  p.format = OutputFormatCode::TEXT;
  p.content = "Line 1\nLine 2";
  EXPECT_TRUE(sameMessage(encode<PrintReqBuilder>(p, lanService("Print")),
                          lanMessage("Print", joined({kForm2Base, R"({"transactionReference": ""})",
                                                      R"({"format": "TEXT",
                                                          "content": "Line 1\nLine 2"})",
                                                      kClose}))));

  // No "Unknown", no "CTDP": unset codes are left out; the format is always
  // there, and empty content is not.
  PrintParam empty;
  empty.content = "";
  EXPECT_TRUE(sameMessage(encode<PrintReqBuilder>(empty, lanService("Print")),
                          lanMessage("Print", literal(R"({
    "format": "BARC", "runInBackground": false})"))));
}

TEST_F(NonFinancialEncoderTest, TransmitMessagePassesTextsUnchanged) {
  TransmitMessageParam p;
  fillBase(p);
  p.destinationAddress = "https://host.example/api";
  p.maximumTransmissionTime = "30";
  p.messageToSend = "SGVsbG8=";
  p.maximumWaitingTime = "60";
  EXPECT_TRUE(sameMessage(encode<TransmitMessageReqBuilder>(p, lanService("TransmitMessage")),
                          lanMessage("TransmitMessage", joined({kForm2Base, R"({
    "destinationAddress": "https://host.example/api", "maximumTransmissionTime": "30",
    "messageToSend": "SGVsbG8=", "maximumWaitingTime": "60"})",
                                                                kClose}))));

  TransmitMessageParam empty;
  empty.messageToSend = "";
  EXPECT_TRUE(sameMessage(encode<TransmitMessageReqBuilder>(empty, lanService("TransmitMessage")),
                          lanMessage("TransmitMessage", literal(R"({
    "messageToSend": "", "runInBackground": false})"))));
}

// ---- Envelope and failures ----------------------------------------------------------------------

TEST_F(NonFinancialEncoderTest, MissingServiceRecordGivesAnEmptyObject) {
  const CardAuthParam param;
  const ServiceParams service = lanService("CardAuth");
  CardAuthReqBuilder builder;
  EXPECT_EQ(builder.buildJsonWithParameters(&param, nullptr), "{}");
  EXPECT_EQ(builder.buildJsonWithParameters(nullptr, nullptr), "{}");

  Json headerOnly = literal(kLanHeader);
  headerOnly["serviceType"] = "CardAuth";
  EXPECT_TRUE(sameMessage(builder.buildJsonWithParameters(nullptr, &service), headerOnly));
  EXPECT_EQ(builder.buildBodyWithCardAuthParam(nullptr), Json::object());
  EXPECT_EQ(PrintReqBuilder().toDictionary(nullptr), Json::object());
}

TEST_F(NonFinancialEncoderTest, TextThatIsNotUtf8GivesEmptyObjectAndEncoderLogLine) {
  const std::string bad = "bad-\xc3\x28";
  const ServiceParams s = lanService("Any");
  platform::ScopedLogCapture log;

  AbortParam abort;
  abort.abortReason = bad;
  EXPECT_EQ(encode<AbortReqBuilder>(abort, s), "{}");
  CardAuthParam cardAuth;
  cardAuth.cashierIdentification = bad;
  EXPECT_EQ(encode<CardAuthReqBuilder>(cardAuth, s), "{}");
  DisplayParam display;
  ActionMessageParam message;
  message.title = bad;
  display.displayContents = std::vector<ActionMessageParam>{message};
  EXPECT_EQ(encode<DisplayReqBuilder>(display, s), "{}");
  MessageStatusParam status;
  status.documentQualifier = std::vector<std::string>{bad};
  EXPECT_EQ(encode<MessageStatusReqBuilder>(status, s), "{}");
  NFCTagParam nfc;
  nfc.messageContent = bad;
  EXPECT_EQ(encode<NFCTagReqBuilder>(nfc, s), "{}");
  PrintParam print;
  print.content = bad;
  EXPECT_EQ(encode<PrintReqBuilder>(print, s), "{}");
  TransmitMessageParam transmit;
  transmit.messageToSend = bad;
  EXPECT_EQ(encode<TransmitMessageReqBuilder>(transmit, s), "{}");

  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 7u);
  const char* prefixes[] = {"JSON serialization error: ",
                            "CardAuthReqBuilder JSON serialization error: ",
                            "DisplayReqBuilder JSON serialization error: ",
                            "MessageStatusReqBuilder JSON serialization error: ",
                            "NFCTagReqBuilder JSON serialization error: ",
                            "PrintReqBuilder JSON serialization error: ",
                            "TransmitMessageReqBuilder JSON serialization error: "};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind(prefixes[i], 0), 0u) << lines[i];
  }
}

}  // namespace
}  // namespace veltrix::codec::test
