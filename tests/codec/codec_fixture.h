// Shared pieces of the encoder tests: a pinned clock, time zone and device
// identifier, the terminal service every golden message is addressed to,
// and helpers that join literal JSON fixtures and compare messages as
// ordered JSON values (key order included).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "support/test_env.h"
#include "veltrix/codec/transaction_header.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec::test {

using platform::Json;

inline constexpr std::int64_t kNow = 1769868309007;  // 2026-01-31T14:05:09.007Z
inline constexpr std::string_view kDeviceId = "5B0E4C1A-9D3F-4E2B-8A71-C6D5E4F3A2B1";

class CodecTest : public veltrix::testing::LoopTest {
 protected:
  CodecTest() {
    clock().setWallMillis(kNow);
    TransactionHeaderBuilder::setDeviceIdentifierProvider(
        [] { return std::optional<std::string>(kDeviceId); });
  }
  ~CodecTest() override { TransactionHeaderBuilder::setDeviceIdentifierProvider({}); }

  // A terminal service on the local network with every field filled.
  static model::ServiceParams lanService(std::string serviceType) {
    model::ServiceParams s;
    s.sn = "TV2024000123";
    s.address = "192.168.1.20:8080";
    s.parameter = "http";
    s.model = "T10";
    s.serviceId = "svc-01";
    s.packageName = "com.tavio.payment";
    s.serviceName = "Payment service";
    s.serviceType = std::move(serviceType);
    s.serviceTypeName = "Card payment";
    s.serviceSn = "TV2024000123";
    s.transDataTimeIn = "1769868300000";
    s.exchangeId = "0A1B2C3D4E5F60718293A4B5C6D7E8F9";
    s.netWorkTp = "LAN";
    s.uuidString = "uuid-of-peripheral";
    return s;
  }

 private:
  veltrix::testing::ScopedTimeZone tz_{"Asia/Shanghai"};
};

// The message text a fresh encoder of type Builder writes.
template <typename Builder>
auto encode(const typename Builder::ParamType& param, const model::ServiceParams& service) {
  return Builder().buildJsonWithParameters(&param, &service);
}

// Parses a literal fixture; a broken fixture fails the test loudly.
inline Json literal(std::string_view text) {
  std::optional<Json> value = platform::parseJson(text);
  EXPECT_TRUE(value.has_value()) << "bad fixture: " << text;
  return value ? *value : Json();
}

// The keys of the object literals in turn, as one object.
inline Json joined(std::initializer_list<std::string_view> literals) {
  Json out = Json::object();
  for (std::string_view text : literals) {
    const Json part = literal(text);
    for (const auto& [key, value] : part.items()) out[key] = value;
  }
  return out;
}

// The header of every message to lanService(), up to (without) "serviceType".
inline constexpr std::string_view kLanHeader = R"({
  "creationDateTime": "2026-01-31T22:05:09.007+08:00",
  "exchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F9",
  "initiatingPartyId": "5B0E4C1A-9D3F-4E2B-8A71-C6D5E4F3A2B1",
  "initiatingPartyType": "MERC",
  "protocolVersion": "1.0.01",
  "recipientPartyId": "TV2024000123",
  "packageName": "com.tavio.payment",
  "serviceId": "svc-01",
  "runInBackground": false,
  "contentType": "caspReq",
  "remoteAccessAddress": "192.168.1.20:8080",
  "remoteAccessType": "INTERNET_ADDRESS"
})";

// The whole message to lanService(serviceType) carrying `body`.
inline Json lanMessage(std::string_view serviceType, const Json& body) {
  Json message = literal(kLanHeader);
  message["serviceType"] = serviceType;
  message["request"] = body;
  return message;
}

// Compares the message text an encoder wrote with the expected value, key
// order included; the text must be indented JSON.
inline ::testing::AssertionResult sameMessage(const std::optional<std::string>& text,
                                              const Json& expected) {
  if (!text) return ::testing::AssertionFailure() << "no message text";
  if (text->find('\n') == std::string::npos) {
    return ::testing::AssertionFailure() << "message is not indented: " << *text;
  }
  std::optional<Json> actual = platform::parseJson(*text);
  if (!actual) return ::testing::AssertionFailure() << "message is not JSON: " << *text;
  if (actual->dump() != expected.dump()) {
    return ::testing::AssertionFailure()
           << "\n  actual:   " << actual->dump() << "\n  expected: " << expected.dump();
  }
  return ::testing::AssertionSuccess();
}

}  // namespace veltrix::codec::test
