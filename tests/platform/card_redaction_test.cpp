#include "veltrix/platform/card_redaction.h"

#include <gtest/gtest.h>

#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"

namespace veltrix::platform {
namespace {

TEST(CardRedactionTest, MasksEveryCardKeyInANestedMessage) {
  const std::string message =
      R"({"serviceType":"Purchase","request":{"paymentCard":{"pan":"6222021234567891234",)"
      R"("track1":"B6222021234567891234^X","track2":"6222021234567891234=2512","track3":"99",)"
      R"("cvv2":"123","expiryDate":"2512"},"acquireManagerPwd":"000000","amount":"12.50"}})";
  const std::string expected =
      R"({"serviceType":"Purchase","request":{"paymentCard":{"pan":"622202*********1234",)"
      R"("track1":"***","track2":"***","track3":"***",)"
      R"("cvv2":"***","expiryDate":"***"},"acquireManagerPwd":"***","amount":"12.50"}})";
  EXPECT_EQ(redactCardData(message), expected);
  EXPECT_TRUE(parseJson(redactCardData(message)).has_value());
}

TEST(CardRedactionTest, LeavesOtherTextByteForByte) {
  for (std::string_view text : {
           std::string_view(R"({ "maskedPan" : "622202******1234", "span": "x", "panel": 1 })"),
           std::string_view("pan 6222021234567891234 in plain text"),
           std::string_view(R"(["pan", "cvv2"])"),
           std::string_view(R"({"pan":"","cvv2":null,"track2":{"x":1},"expiryDate":true})"),
           std::string_view("支付成功"),
           std::string_view(""),
       }) {
    EXPECT_EQ(redactCardData(text), text);
  }
}

TEST(CardRedactionTest, HandlesSpacingNumbersShortValuesAndLogLines) {
  EXPECT_EQ(
      redactCardData("repuestData = {\n  \"pan\" :  \"4111111111111111\",\n  \"cvv2\": 123\n}"),
      "repuestData = {\n  \"pan\" :  \"411111******1111\",\n  \"cvv2\": \"***\"\n}");
  EXPECT_EQ(redactCardData(R"({"pan":4111111111111111})"), R"({"pan":"411111******1111"})");
  // Too short to keep 6 + 4 characters, or not plain digits.
  EXPECT_EQ(redactCardData(R"({"pan":"411111111111"})"), R"({"pan":"***"})");
  EXPECT_EQ(redactCardData(R"({"pan":"4111\u00311111111111"})"), R"({"pan":"***"})");
  // Escaped quotes inside a value do not end it early.
  EXPECT_EQ(redactCardData(R"({"cvv2":"1\"2\"3","x":"y"})"), R"({"cvv2":"***","x":"y"})");
  // Already masked stays the same.
  EXPECT_EQ(redactCardData(R"({"pan":"411111******1111"})"), R"({"pan":"411111******1111"})");
}

TEST(CardRedactionTest, MasksEscapedJsonAndCutOffValues) {
  const std::string inner = R"({\"pan\":\"6222021234567891234\",\"cvv2\":\"123\"})";
  const std::string outer = R"({"serviceContent":")" + inner + R"("})";
  EXPECT_EQ(redactCardData(outer),
            R"({"serviceContent":"{\"pan\":\"622202*********1234\",\"cvv2\":\"***\"}"})");
  // A message cut off inside a card value (a truncated log line).
  EXPECT_EQ(redactCardData(R"({"track2":"6222021234567)"), R"({"track2":"***)");
}

TEST(CardRedactionTest, PlatformLogLinesAreMasked) {
  ScopedLogCapture capture;
  logf("repuestData = {}", R"({"pan":"6222021234567891234","cvv2":"999"})");
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], R"(repuestData = {"pan":"622202*********1234","cvv2":"***"})");
}

}  // namespace
}  // namespace veltrix::platform
