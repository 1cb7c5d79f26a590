#include "veltrix/model/abort_reprint_results.h"

#include <gtest/gtest.h>

#include <string>

#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;
using platform::ScopedLogCapture;

TEST(PrintReceiptTest, ReadsOutputContentAndFallsBack) {
  ScopedLogCapture log;
  auto receipt = PrintReceipt::parseFromDictionary(
      Json::parse(R"({"documentQualifier": "crcp", "format": "Html", "outputContent": "<p>"})"));
  ASSERT_TRUE(receipt);
  EXPECT_EQ(*receipt, (PrintReceipt{ReceiptOutputTargetCode::CRCP, OutputFormatCode::HTML, "<p>"}));

  // No codes: MRCP and TEXT. The content is only ever read from
  // "outputContent"; a number there becomes its text.
  receipt = PrintReceipt::parseFromDictionary(Json::parse(R"({"outputContent": 12.5})"));
  ASSERT_TRUE(receipt);
  EXPECT_EQ(*receipt,
            (PrintReceipt{ReceiptOutputTargetCode::MRCP, OutputFormatCode::TEXT, "12.5"}));
  receipt = PrintReceipt::parseFromDictionary(Json::parse(
      R"({"documentQualifier": "PAPER", "format": 3, "messageContent": "x", "outputContent": null})"));
  ASSERT_TRUE(receipt);
  EXPECT_EQ(*receipt,
            (PrintReceipt{ReceiptOutputTargetCode::MRCP, OutputFormatCode::TEXT, std::nullopt}));

  for (const Json& value : {Json(), Json("text"), Json(3), Json::array({Json::object()})}) {
    EXPECT_FALSE(PrintReceipt::parseFromDictionary(value)) << value.dump();
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST(AbortResultTest, JsonHasOnlyPresentMembers) {
  AbortResult r;
  EXPECT_EQ(r.toString(), "{}");

  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::CANC;
  r.refualResponse = RefusalReasonCode::DECLINED;
  r.recipientPartyIdentification = "SN123";
  r.additionalResponseInformation = "";
  EXPECT_EQ(r.toString(), R"({
  "recipientPartyIdentification": "SN123",
  "response": "FAIL",
  "responseReason": "CANC",
  "additionalResponseInformation": ""
})");

  r.exchangeIdentification = "EX1";
  r.cashierIdentification = "C7";
  r.authRspnReason = "05";
  r.issuerReferenceData = "IRD";
  r.response = ResponseCode::SUCC;
  r.responseReason = static_cast<RetailerResultDetailCode>(40);
  EXPECT_EQ(r.toString(), R"({
  "exchangeIdentification": "EX1",
  "cashierIdentification": "C7",
  "recipientPartyIdentification": "SN123",
  "responseReason": "REFU",
  "authRspnReason": "05",
  "additionalResponseInformation": "",
  "issuerReferenceData": "IRD"
})");
}

TEST(AbortResultTest, WriterFailureGivesErrorText) {
  AbortResult r;
  r.authRspnReason = std::string("\xc3");
  EXPECT_TRUE(r.toString().starts_with("Error converting to JSON: ")) << r.toString();
}

TEST(ReprintResultTest, ReceiptsOnlyOnSuccess) {
  ReprintResult r;
  r.exchangeIdentification = "EX2";
  r.orgExchangeIdentification = "EX1";
  r.printReceipts = {
      {PrintReceipt{ReceiptOutputTargetCode::MRCP, OutputFormatCode::TEXT, "copy"},
       PrintReceipt{ReceiptOutputTargetCode::CDSP, OutputFormatCode::BARC, std::nullopt}}};
  EXPECT_EQ(r.toString(), R"({
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

  r.response = ResponseCode::FAIL;
  EXPECT_EQ(r.toString(), R"({
  "exchangeIdentification": "EX2",
  "response": "FAIL"
})");

  r.response = ResponseCode::SUCC;
  r.printReceipts = std::vector<PrintReceipt>{};
  r.orgExchangeIdentification.reset();
  EXPECT_EQ(r.toString(), R"({
  "exchangeIdentification": "EX2"
})");
}

}  // namespace
}  // namespace veltrix::model
