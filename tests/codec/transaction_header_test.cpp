#include "veltrix/codec/transaction_header.h"

#include <gtest/gtest.h>

#include "codec/codec_fixture.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec::test {
namespace {

using testing::ScopedTimeZone;

class HeaderBuilderTest : public CodecTest {};

TEST_F(HeaderBuilderTest, FullRecordGivesEveryKeyInOrder) {
  model::ServiceParams s = lanService("Purchase");
  s.orgServiceId = "svc-00";
  s.orgPackageName = "com.tavio.old";
  const Json expected = literal(R"({
    "creationDateTime": "2026-01-31T22:05:09.007+08:00",
    "exchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F9",
    "initiatingPartyId": "5B0E4C1A-9D3F-4E2B-8A71-C6D5E4F3A2B1",
    "initiatingPartyType": "MERC",
    "protocolVersion": "1.0.01",
    "recipientPartyId": "TV2024000123",
    "packageName": "com.tavio.payment",
    "serviceId": "svc-01",
    "runInBackground": false,
    "orgServiceId": "svc-00",
    "orgPackageName": "com.tavio.old",
    "contentType": "caspReq",
    "remoteAccessAddress": "192.168.1.20:8080",
    "remoteAccessType": "INTERNET_ADDRESS",
    "serviceType": "Purchase"
  })");
  EXPECT_EQ(TransactionHeaderBuilder::buildHeaderWithServiceParams(s).dump(), expected.dump());
}

TEST_F(HeaderBuilderTest, AbsentAndEmptyFieldsFollowTheirOwnRules) {
  model::ServiceParams s;  // nothing set: only the fixed keys remain
  EXPECT_EQ(TransactionHeaderBuilder::buildHeaderWithServiceParams(s).dump(), literal(R"({
              "creationDateTime": "2026-01-31T22:05:09.007+08:00",
              "exchangeIdentification": "",
              "initiatingPartyId": "5B0E4C1A-9D3F-4E2B-8A71-C6D5E4F3A2B1",
              "initiatingPartyType": "MERC",
              "protocolVersion": "1.0.01",
              "runInBackground": false,
              "contentType": "caspReq"
            })")
                                                                                  .dump());

  // Empty serial number, service id and type are left out; an empty package
  // name and empty original service fields are written.
  s.serviceSn = "";
  s.serviceId = "";
  s.serviceType = "";
  s.packageName = "";
  s.orgServiceId = "";
  s.orgPackageName = "";
  const Json header = TransactionHeaderBuilder::buildHeaderWithServiceParams(s);
  EXPECT_FALSE(header.contains("recipientPartyId"));
  EXPECT_FALSE(header.contains("serviceId"));
  EXPECT_FALSE(header.contains("serviceType"));
  EXPECT_EQ(header.value("packageName", "?"), "");
  EXPECT_EQ(header.value("orgServiceId", "?"), "");
  EXPECT_EQ(header.value("orgPackageName", "?"), "");
}

TEST_F(HeaderBuilderTest, RemoteAccessKeysOnlyForExactLanOrBle) {
  model::ServiceParams s;
  s.netWorkTp = "BLE";
  Json header = TransactionHeaderBuilder::buildHeaderWithServiceParams(s);
  EXPECT_EQ(header.value("remoteAccessAddress", "?"), "");
  EXPECT_EQ(header.value("remoteAccessType", "?"), "BLUETOOTH_MAC");

  s.netWorkTp = "LAN";
  s.address = "10.0.0.5:9000";
  header = TransactionHeaderBuilder::buildHeaderWithServiceParams(s);
  EXPECT_EQ(header.value("remoteAccessAddress", "?"), "10.0.0.5:9000");
  EXPECT_EQ(header.value("remoteAccessType", "?"), "INTERNET_ADDRESS");

  for (std::optional<std::string> type :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("lan"), std::optional<std::string>("BLE ")}) {
    s.netWorkTp = type;
    header = TransactionHeaderBuilder::buildHeaderWithServiceParams(s);
    EXPECT_FALSE(header.contains("remoteAccessAddress")) << type.value_or("(null)");
    EXPECT_FALSE(header.contains("remoteAccessType")) << type.value_or("(null)");
  }
}

TEST_F(HeaderBuilderTest, DeviceIdentifierComesFromTheInstalledProvider) {
  // The party id is the device's, never the exchange identifier.
  const model::ServiceParams s = lanService("Refund");
  EXPECT_EQ(TransactionHeaderBuilder::buildHeaderWithServiceParams(s)["initiatingPartyId"],
            kDeviceId);
  EXPECT_EQ(TransactionHeaderBuilder::buildHeaderWithServiceParams(s, true)["runInBackground"],
            true);

  TransactionHeaderBuilder::setDeviceIdentifierProvider([] { return std::nullopt; });
  EXPECT_FALSE(
      TransactionHeaderBuilder::buildHeaderWithServiceParams(s).contains("initiatingPartyId"));
  TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  EXPECT_FALSE(
      TransactionHeaderBuilder::buildHeaderWithServiceParams(s).contains("initiatingPartyId"));
  // A provider that throws must not take the request down with it.
  TransactionHeaderBuilder::setDeviceIdentifierProvider(
      []() -> std::optional<std::string> { throw std::runtime_error("no id"); });
  EXPECT_FALSE(
      TransactionHeaderBuilder::buildHeaderWithServiceParams(s).contains("initiatingPartyId"));
}

TEST_F(HeaderBuilderTest, CreationTimeIsLocalWithExtendedOffsetOrZ) {
  const model::ServiceParams s;
  auto stamp = [&s] {
    return TransactionHeaderBuilder::buildHeaderWithServiceParams(s)["creationDateTime"]
        .get<std::string>();
  };
  {
    ScopedTimeZone tz("UTC");
    EXPECT_EQ(stamp(), "2026-01-31T14:05:09.007Z");
  }
  {
    ScopedTimeZone tz("America/St_Johns");
    EXPECT_EQ(stamp(), "2026-01-31T10:35:09.007-03:30");
  }
  clock().setWallMillis(kNow + 993);  // the milliseconds roll into the next second
  EXPECT_EQ(stamp(), "2026-01-31T22:05:10.000+08:00");
}

// ---- Parser ---------------------------------------------------------------------------------

TEST(HeaderParser, ReadsEveryHeaderKey) {
  const auto header = TransactionHeaderParser::parseHeaderFromDictionary(literal(R"({
    "exchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F9",
    "creationDateTime": "2026-01-31T22:05:12.100+08:00",
    "protocolVersion": "1.0.01",
    "endFlag": true,
    "initiatingPartyId": "TV2024000123",
    "initiatingPartyType": "POIT",
    "serviceType": "Purchase",
    "recipientPartyId": "5B0E4C1A",
    "packageName": "com.tavio.payment",
    "serviceId": "svc-01",
    "contentType": "caspResp",
    "remoteAccessType": "INTERNET_ADDRESS",
    "response": {"responseCode": "SUCC"}
  })"));
  ASSERT_TRUE(header);
  model::TransactionHeader expected;
  expected.exchangeIdentification = "0A1B2C3D4E5F60718293A4B5C6D7E8F9";
  expected.creationDateTime = "2026-01-31T22:05:12.100+08:00";
  expected.protocolVersion = "1.0.01";
  expected.endFlag = true;
  expected.initiatingPartyId = "TV2024000123";
  expected.initiatingPartyType = "POIT";
  expected.serviceType = "Purchase";
  expected.recipientPartyId = "5B0E4C1A";
  expected.packageName = "com.tavio.payment";
  expected.serviceId = "svc-01";
  expected.contentType = "caspResp";
  EXPECT_EQ(*header, expected);
}

TEST(HeaderParser, MistypedValuesBecomeTextOrAbsent) {
  const auto header = TransactionHeaderParser::parseHeaderFromDictionary(
      literal(R"({"exchangeIdentification": 12345, "serviceId": {"a": 1},
                  "protocolVersion": 1.5, "packageName": null, "contentType": ["x"],
                  "serviceType": false})"));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->exchangeIdentification, "12345");
  EXPECT_EQ(header->serviceId, std::nullopt);
  EXPECT_EQ(header->protocolVersion, "1.5");
  EXPECT_EQ(header->packageName, std::nullopt);
  EXPECT_EQ(header->contentType, std::nullopt);
  EXPECT_EQ(header->serviceType, "0");
  EXPECT_EQ(header->creationDateTime, std::nullopt);
  EXPECT_FALSE(header->endFlag);
}

TEST(HeaderParser, EndFlagIsReadLikeThePlatformBoolean) {
  auto endFlag = [](std::string_view value) {
    const std::string text = std::string(R"({"endFlag": )") + std::string(value) + "}";
    return TransactionHeaderParser::parseHeaderFromDictionary(literal(text))->endFlag;
  };
  EXPECT_TRUE(endFlag("true"));
  EXPECT_TRUE(endFlag(R"("true")"));
  EXPECT_TRUE(endFlag(R"(" +007")"));
  EXPECT_TRUE(endFlag("2"));
  EXPECT_TRUE(endFlag("0.5"));
  EXPECT_FALSE(endFlag("0"));
  EXPECT_FALSE(endFlag("false"));
  EXPECT_FALSE(endFlag(R"("NO")"));
  EXPECT_FALSE(endFlag(R"("-0")"));
  EXPECT_FALSE(endFlag("null"));
  EXPECT_FALSE(endFlag("[1]"));
  EXPECT_FALSE(endFlag(R"({"a": true})"));
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromDictionary(Json::object())->endFlag);
}

TEST(HeaderParser, SafeStringPrintsNumbersShortest) {
  EXPECT_EQ(TransactionHeaderParser::safeString(Json(10.50)), "10.5");
  EXPECT_EQ(TransactionHeaderParser::safeString(Json(100.0)), "100");
  EXPECT_EQ(TransactionHeaderParser::safeString(Json(-3)), "-3");
  EXPECT_EQ(TransactionHeaderParser::safeString(Json(true)), "1");
  EXPECT_EQ(TransactionHeaderParser::safeString(Json("")), "");
  EXPECT_EQ(TransactionHeaderParser::safeString(Json()), std::nullopt);
}

TEST(HeaderParser, BadInputGivesNothingAndOneLogLine) {
  platform::ScopedLogCapture log;
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromDictionary(Json::array()));
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromDictionary(Json("text")));
  EXPECT_EQ(log.count("TransactionHeaderParser: 无效的字典数据"), 2u);

  log.clear();
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromJSONString(std::nullopt));
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromJSONString(""));
  EXPECT_EQ(log.count("TransactionHeaderParser: JSON字符串为空"), 2u);

  log.clear();
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromJSONString(R"("just a string")"));
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromJSONString(R"({"a": )"));
  EXPECT_EQ(log.count("TransactionHeaderParser: JSON解析失败 - "), 2u);

  log.clear();
  EXPECT_FALSE(TransactionHeaderParser::parseHeaderFromJSONString("[1, 2]"));
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.contains("TransactionHeaderParser: 无效的字典数据"));

  const auto header = TransactionHeaderParser::parseHeaderFromJSONString(
      R"({"exchangeIdentification": "E1", "endFlag": "YES"})");
  ASSERT_TRUE(header);
  EXPECT_EQ(header->exchangeIdentification, "E1");
  EXPECT_TRUE(header->endFlag);
}

}  // namespace
}  // namespace veltrix::codec::test
