#include "veltrix/codec/event_notification_parser.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "codec/decoder_fixture.h"

namespace veltrix::codec::test {
namespace {

using model::EventToNotifyCode;
using platform::Json;
using platform::ScopedLogCapture;

std::shared_ptr<model::EventNotificationParam> parseBody(std::string_view body) {
  const Json value = Json::parse(body);
  return EventNotificationParamBuilder::parseBodyFromDictionary(&value);
}

TEST(EventNotificationParamBuilderTest, GoldenNotificationAsTheTransportsParseIt) {
  const Json message = Json::parse(fixture("event_notification.json"));
  ASSERT_EQ(message["serviceType"], "EventNotification");
  auto record = EventNotificationParamBuilder::parseBodyFromDictionary(&message["response"]);
  ASSERT_TRUE(record);
  model::EventNotificationParam expected;
  expected.recipientPartyIdentification = "TV2024000123";
  expected.response = model::ResponseCode::SUCC;
  expected.responseReason = model::RetailerResultDetailCode::WIPG;
  expected.refualResponse = model::RefusalReasonCode::PIN_REQUIRED;
  expected.additionalResponseInformation = "insert card";
  expected.event = EventToNotifyCode::CRDI;
  expected.eventTime = "1769868312345";
  // The exchange identifier travels beside the record.
  EXPECT_EQ(*record, expected);

  // The unused whole-message frame gives the same record.
  Decoded<EventNotificationParamBuilder> run(fixture("event_notification.json"));
  auto framed = run.only();
  ASSERT_TRUE(framed);
  EXPECT_EQ(*framed, expected);
  EXPECT_EQ(run.delegate->calls[0].exchangeId, "0A1B2C3D4E5F60718293A4B5C6D7E8F9");
}

TEST(EventNotificationParamBuilderTest, EveryEventCodeInAnyCase) {
  constexpr std::array<const char*, 32> kCodes = {
      "ABRT", "MAIB", "CRDI", "COMP", "CRDR", "CUSL", "MAIE", "INIT", "KEYP", "MAIR", "OODR",
      "SADM", "SWUP", "SECA", "SHUT", "SASS", "DISC", "CNTN", "TNOK", "TNKO", "CDIS", "ASEL",
      "CREA", "CRDS", "CREM", "UCAN", "ONPR", "ONAP", "ONDE", "CSIG", "MCAE", "PINE"};
  for (std::size_t i = 0; i < kCodes.size(); ++i) {
    auto upper = parseBody(fmt::format(R"({{"event": "{}"}})", kCodes[i]));
    std::string lower = kCodes[i];
    for (char& c : lower) c = static_cast<char>(c - 'A' + 'a');
    auto lowered = parseBody(fmt::format(R"({{"event": "{}"}})", lower));
    ASSERT_TRUE(upper && lowered);
    EXPECT_EQ(static_cast<std::size_t>(upper->event), i) << kCodes[i];
    EXPECT_EQ(static_cast<std::size_t>(lowered->event), i) << lower;
  }
  for (const char* unknown :
       {R"({"event": "XXXX"})", R"({"event": " CRDI"})", R"({"event": 2})", R"({"event": null})"}) {
    auto record = parseBody(unknown);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->event, EventToNotifyCode::INIT) << unknown;
  }
}

TEST(EventNotificationParamBuilderTest, EmptyAndMissingBodies) {
  ScopedLogCapture log;
  auto empty = parseBody("{}");
  ASSERT_TRUE(empty);
  model::EventNotificationParam expected;
  expected.event = EventToNotifyCode::INIT;
  expected.response = model::ResponseCode::FAIL;
  expected.responseReason = model::RetailerResultDetailCode::REFU;
  expected.refualResponse = model::RefusalReasonCode::DECLINED;
  EXPECT_EQ(*empty, expected);
  EXPECT_TRUE(log.lines().empty());

  EXPECT_FALSE(EventNotificationParamBuilder::parseBodyFromDictionary(nullptr));
  EXPECT_FALSE(parseBody("[]"));
  EXPECT_FALSE(parseBody(R"("CRDI")"));
  EXPECT_EQ(log.count("EventNotificationParamBuilder: 无效的报文体数据"), 3u);
  EXPECT_EQ(log.lines().size(), 3u);
}

}  // namespace
}  // namespace veltrix::codec::test
