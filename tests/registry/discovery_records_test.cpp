// The discovery wire records (discover packet, handshake), the terminal and
// service records, and the service-category resource.
#include <gtest/gtest.h>

#include <string>

#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/broadcast_bean.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/registry/service_categories.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/registry/terminal_service_helper.h"

namespace veltrix::registry {
namespace {

using platform::Json;

constexpr std::int64_t kGoldenTime = 1700000000000;
const std::string kGoldenPacketSignature = "6A673E756A51E98A9A8B8AFAA030E6C1";
const std::string kGoldenHandshakeSignature = "2CA9BBE49B07751D192AE58DA5DCEAAE";
const std::string kGoldenSn = "00000000-0000-0000-0000-000000000001";

struct FixedSettings : CommunicationSettings {
  bool lan = true;
  bool ble = false;
  std::vector<std::int64_t> asked;
  bool getCommunicateTypeState(std::int64_t type) override {
    asked.push_back(type);
    return type == kCommunicateTypeLan ? lan : type == kCommunicateTypeBluetooth && ble;
  }
};

class DiscoveryRecordsTest : public testing::LoopTest {
 protected:
  DiscoveryRecordsTest() { clock().setWallMillis(kGoldenTime); }

  static OwnDeviceInfo goldenInfo() {
    OwnDeviceInfo info;
    info.sn = kGoldenSn;
    info.wifiAddress = "127.0.0.1";
    info.model = "x86_64";
    return info;
  }
};

TEST_F(DiscoveryRecordsTest, DiscoverPacketSignsItsTimeAndWritesFourMembers) {
  const BroadcastBean own = BroadcastBean::initBroadcastBean();
  EXPECT_EQ(own.time, "1700000000000");
  EXPECT_EQ(own.signature, kGoldenPacketSignature);
  EXPECT_TRUE(own.checkBean());
  EXPECT_EQ(own.toJSONString(), "{\"isP2p\":false,\"time\":\"1700000000000\",\"signature\":\"" +
                                    kGoldenPacketSignature + "\",\"protocolVersion\":\"1.0.01\"}");
}

TEST_F(DiscoveryRecordsTest, ReceivedPacketsPassOnTimeAndSignatureAlone) {
  // Any order, extra members, another version, an old time: all pass.
  auto packet = platform::parseJson(R"({"protocolVersion":"9","extra":[1],"isP2p":true,
      "signature":"6A673E756A51E98A9A8B8AFAA030E6C1","time":"1700000000000"})");
  ASSERT_TRUE(packet);
  auto bean = BroadcastBean::fromPacket(*packet);
  ASSERT_TRUE(bean);
  EXPECT_TRUE(bean->checkBean());

  // Letter case counts.
  (*packet)["signature"] = "6a673e756a51e98a9a8b8afaa030e6c1";
  EXPECT_FALSE(BroadcastBean::fromPacket(*packet)->checkBean());
  // No signature, or one that is not text: fails the check.
  packet->erase("signature");
  EXPECT_FALSE(BroadcastBean::fromPacket(*packet)->checkBean());
  (*packet)["signature"] = 5;
  EXPECT_FALSE(BroadcastBean::fromPacket(*packet)->checkBean());
  // A time that is missing or not a text cannot be checked at all.
  (*packet)["time"] = 1700000000000;
  EXPECT_FALSE(BroadcastBean::fromPacket(*packet));
  packet->erase("time");
  EXPECT_FALSE(BroadcastBean::fromPacket(*packet));
  EXPECT_FALSE(BroadcastBean::fromPacket(Json::array()));
}

TEST_F(DiscoveryRecordsTest, HandshakeSignatureMatchesTheGoldenVector) {
  HandshakeBean bean;
  bean.sn = kGoldenSn;
  bean.address = "127.0.0.1:8080";
  bean.parameter = "http";
  bean.model = "x86_64";
  bean.time = "1700000000000";
  EXPECT_EQ(bean.toSignatureString(),
            "DiscoverHandshakeBean{sn='00000000-0000-0000-0000-000000000001', "
            "address='127.0.0.1:8080', parameter='http', model='x86_64', time='1700000000000'}");
  EXPECT_EQ(bean.calcSignature(), kGoldenHandshakeSignature);
  bean.signature = kGoldenHandshakeSignature;
  EXPECT_TRUE(bean.checkBean());
  bean.time = "";
  EXPECT_FALSE(bean.checkBean());
}

TEST_F(DiscoveryRecordsTest, OwnHandshakeTextHasThirteenMembersInNameOrder) {
  HandshakeBean own = HandshakeBean::initBeanWithSelfInfo(goldenInfo());
  EXPECT_EQ(own.toJSONString(),
            "{\"address\":\"127.0.0.1:8080\",\"authTypes\":[],\"contentType\":\"discover\","
            "\"isP2p\":false,\"isPeripheral\":false,\"model\":\"x86_64\",\"msgType\":\"\","
            "\"parameter\":\"http\",\"protocolVersion\":\"1.0.01\",\"requireResponse\":true,"
            "\"signature\":\"" +
                kGoldenHandshakeSignature + "\",\"sn\":\"" + kGoldenSn +
                "\",\"time\":\"1700000000000\"}");

  // Two handshakes a millisecond apart differ in time and signature only.
  clock().setWallMillis(kGoldenTime + 1);
  HandshakeBean later = HandshakeBean::initBeanWithSelfInfo(goldenInfo());
  auto a = platform::parseJson(*own.toJSONString());
  auto b = platform::parseJson(*later.toJSONString());
  ASSERT_TRUE(a && b);
  EXPECT_NE((*a)["signature"], (*b)["signature"]);
  a->erase("signature"), a->erase("time"), b->erase("signature"), b->erase("time");
  EXPECT_EQ(*a, *b);
}

TEST_F(DiscoveryRecordsTest, OwnHandshakeFollowsTheSwitchesAndThePairingRow) {
  DatabaseManager db(docs() / "db.sqlite");
  FixedSettings settings;
  const auto parameterOf = [&](bool lan, bool ble) {
    settings.lan = lan;
    settings.ble = ble;
    return HandshakeBean::initBeanWithSelfInfo(OwnDeviceInfo::current(db, settings, "10.0.0.2"))
        .parameter;
  };
  EXPECT_EQ(parameterOf(true, true), "http,ble");
  EXPECT_EQ(parameterOf(false, true), "ble");
  EXPECT_EQ(parameterOf(true, false), "http");
  EXPECT_EQ(parameterOf(false, false), "http");
  // The LAN switch is read before the Bluetooth LE one.
  EXPECT_EQ(settings.asked.back(), kCommunicateTypeBluetooth);

  const OwnDeviceInfo info = OwnDeviceInfo::current(db, settings, "error");
  HandshakeBean unpaired = HandshakeBean::initBeanWithSelfInfo(info);
  EXPECT_EQ(unpaired.address, "error:8080");
  EXPECT_EQ(unpaired.authTypes, std::vector<std::string>{});
  EXPECT_EQ(unpaired.msgType, "");
  EXPECT_EQ(info.sn.size(), 36u);

  ASSERT_TRUE(db.insertDeviceAuthInfo(info.sn, 0, "DCA", "DCA", "1"));
  EXPECT_FALSE(OwnDeviceInfo::current(db, settings, "error").pairingEnabled);
  ASSERT_TRUE(db.updateDeviceAuthInfo(info.sn, 1));
  HandshakeBean paired =
      HandshakeBean::initBeanWithSelfInfo(OwnDeviceInfo::current(db, settings, "error"));
  EXPECT_EQ(paired.authTypes, std::vector<std::string>{"DCA"});
  EXPECT_EQ(paired.msgType, "exchange");
}

TEST_F(DiscoveryRecordsTest, WireTextsStayValidJsonWhateverTheValues) {
  OwnDeviceInfo info = goldenInfo();
  info.model = "Model \"X\" \\ 1\n2\t/";
  HandshakeBean bean = HandshakeBean::initBeanWithSelfInfo(info);
  const auto text = bean.toJSONString();
  ASSERT_TRUE(text);
  EXPECT_EQ(text->find(' '), std::string::npos);
  EXPECT_EQ(text->find('\n'), std::string::npos);
  auto parsed = platform::parseJson(*text);
  ASSERT_TRUE(parsed) << *text;
  // Spaces, line breaks and backslashes leave the value; quotes survive and
  // "/" is not escaped.
  EXPECT_EQ((*parsed)["model"], "Model\"X\"12\t/");
  EXPECT_NE(text->find("12\\t/\""), std::string::npos);
  // The signature covers the fields as held, and the written text carries it.
  EXPECT_EQ((*parsed)["signature"], bean.calcSignature());
}

TEST_F(DiscoveryRecordsTest, ReceivedHandshakesAreReadLeniently) {
  const HandshakeBean bean = HandshakeBean::initHandshakeBean(
      R"({"sn":12345,"address":"10.0.0.5:8080","model":null,"parameter":["http"],
          "services":[{"serviceId":"a"}],"isP2p":1,"isPeripheral":false,"requireResponse":true,
          "isCommunicationDevice":true,"contentType":"discover","protocolVersion":"1.0.01",
          "time":1.5e3,"authTypes":["DCA"]})");
  EXPECT_EQ(bean.sn, "12345");
  EXPECT_EQ(bean.address, "10.0.0.5:8080");
  EXPECT_EQ(bean.model, std::nullopt);
  EXPECT_EQ(bean.parameter, std::nullopt);
  EXPECT_EQ(bean.time, "1500");
  ASSERT_TRUE(bean.services);
  EXPECT_EQ(bean.services->size(), 1u);
  EXPECT_TRUE(bean.isP2p);
  EXPECT_FALSE(bean.isPeripheral);
  EXPECT_TRUE(bean.requireResponse);
  // Only the member name terminals actually send is read.
  EXPECT_FALSE(bean.isCommuincationDevice);
  EXPECT_TRUE(
      HandshakeBean::initHandshakeBean(R"({"isCommuincationDevice":true})").isCommuincationDevice);
  EXPECT_FALSE(bean.authTypes);

  EXPECT_FALSE(HandshakeBean::initHandshakeBean(R"({"services":{"a":1}})").services);
  platform::ScopedLogCapture log;
  const HandshakeBean broken = HandshakeBean::initHandshakeBean("{\"sn\":");
  EXPECT_FALSE(broken.sn || broken.services || broken.contentType);
  EXPECT_TRUE(log.contains("Failed to parse JSON: "));
}

TEST_F(DiscoveryRecordsTest, TerminalAndServiceRecords) {
  HandshakeBean bean = HandshakeBean::initHandshakeBean(
      R"({"sn":"T1","address":"10.0.0.5:8080","parameter":"http","model":"P3",
          "services":[{"serviceId":"s"}],"isPeripheral":true})");
  const TerminalInfo lan = TerminalInfo::initWithHandshakeBean(bean, "BLE-ID", HandshakeType::Lan);
  EXPECT_EQ(lan.uuidString, std::nullopt);
  EXPECT_TRUE(lan.isPeripheral);
  const TerminalInfo ble = TerminalInfo::initWithHandshakeBean(bean, "BLE-ID", HandshakeType::Ble);
  EXPECT_EQ(ble.uuidString, "BLE-ID");

  const ServiceInfo service = ServiceInfo::initWithServices(
      ble, Json{{"serviceId", "s"}, {"serviceType", "Purchase"}, {"serviceTypeName", "消费"}});
  EXPECT_EQ(service.deviceSn, "T1");
  EXPECT_EQ(service.serviceSn, "T1");
  EXPECT_EQ(service.uuidString, "BLE-ID");
  EXPECT_EQ(service.packageName, std::nullopt);
  EXPECT_EQ(service.toString(),
            "Device SN: T1\nAddress: 10.0.0.5:8080\nParameter: http\nModel: P3\nService ID: s\n"
            "Package Name: N/A\nService Name: N/A\nService Type: Purchase\n"
            "Service Type Name: 消费\nService SN: T1\nuuidString: BLE-ID\n");

  ServiceInfo other = service;
  other.serviceName = "renamed";
  other.address = "elsewhere";
  EXPECT_TRUE(service.isSameService(other));
  other.serviceType = "Refund";
  EXPECT_FALSE(service.isSameService(other));

  const auto json = lan.toJSONString();
  ASSERT_TRUE(json);
  EXPECT_EQ(json->find(' '), std::string::npos);
  auto parsed = platform::parseJson(*json);
  ASSERT_TRUE(parsed);
  EXPECT_EQ((*parsed)["isPeripheral"], true);
  EXPECT_EQ((*parsed)["contentType"], "discover");
}

TEST_F(DiscoveryRecordsTest, ServicesBeanWritesSixSortedMembers) {
  const ServicesBean demo = ServicesBean::initServicesBean();
  EXPECT_EQ(demo.serviceId, "IOSDemo");
  ServicesBean bean = ServicesBean::initServicesBean("id", "pkg", "A Name", "Display", "SN", "D");
  EXPECT_EQ(bean.toJSONString(),
            "{\"packageName\":\"pkg\",\"serviceId\":\"id\",\"serviceName\":\"AName\","
            "\"serviceType\":\"Display\",\"serviceTypeName\":\"D\",\"sn\":\"SN\"}");
  const TerminalInfo info = TerminalInfo::initWithJsonString(
      R"({"sn":"T","services":[{"serviceId":"id","sn":"T"},"junk"]})");
  ASSERT_EQ(info.getServicesList().size(), 1u);
  EXPECT_EQ(info.getServicesList()[0].serviceId, "id");
}

TEST(ServiceCategories, TheResourceGivesEveryServiceNameACategory) {
  const auto categories = loadServiceCategories();
  ASSERT_TRUE(categories);
  for (std::int64_t n = 0; n < kServiceCount; ++n) {
    const std::string name = TerminalServiceHelper::stringForService(n);
    const auto it = categories->find(name);
    ASSERT_NE(it, categories->end()) << name;
    EXPECT_FALSE(it->second.empty());
  }
  EXPECT_EQ(categories->at("Purchase"), "payment");
}

TEST(ServiceCategories, ReaderHandlesTheXmlItMeetsAndRejectsTheRest) {
  const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist SYSTEM "plist.dtd">
<plist version="1.0"><dict>
  <key>Other</key><array><string>x</string><integer>1</integer><dict/></array>
  <!-- a comment -->
  <key>ServiceCategroy</key>
  <dict>
    <key>A &amp; B</key><string>&lt;one&gt; &#x4E2D;&#25991;</string>
    <key>Count</key><integer>3</integer>
    <key>Empty</key><string/>
    <key>Raw</key><string><![CDATA[a<b]]></string>
  </dict>
</dict></plist>)";
  const auto dict = plistStringDictionary(xml, "ServiceCategroy");
  ASSERT_TRUE(dict);
  EXPECT_EQ(dict->size(), 3u);
  EXPECT_EQ(dict->at("A & B"), "<one> 中文");
  EXPECT_EQ(dict->at("Empty"), "");
  EXPECT_EQ(dict->at("Raw"), "a<b");

  EXPECT_FALSE(plistStringDictionary(xml, "Other"));
  EXPECT_FALSE(plistStringDictionary(xml, "Missing"));
  EXPECT_FALSE(plistStringDictionary("<plist><dict><key>K</key><dict>", "K"));
  EXPECT_FALSE(plistStringDictionary("<plist><dict><key>K</key></dict></plist>", "K"));
  EXPECT_FALSE(plistStringDictionary("<plist><dict><string>v</string></dict></plist>", "K"));
  EXPECT_FALSE(plistStringDictionary("{\"K\":{}}", "K"));
  EXPECT_FALSE(
      plistStringDictionary("<plist><dict><key>K</key><dict><key>a</key><string>&bogus;</string>"
                            "</dict></dict></plist>",
                            "K"));
}

}  // namespace
}  // namespace veltrix::registry
