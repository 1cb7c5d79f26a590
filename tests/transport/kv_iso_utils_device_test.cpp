#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/paths.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using testing::interfaceEntry;
using testing::ScopedNetworkEnvironment;
using U = KVISOUtils;

class DeviceId : public testing::LoopTest {};

TEST_F(DeviceId, IsMadeOnceAndKeptInTheDocumentsDirectory) {
  const auto first = U::getUUID();
  ASSERT_TRUE(first);
  EXPECT_TRUE(std::regex_match(*first, std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
  EXPECT_EQ(U::getUUID(), first);
  EXPECT_EQ(platform::readWholeFile(docs() / "device-id"), first);
}

TEST_F(DeviceId, ReusesAStoredIdentifierAndReplacesAGarbledOne) {
  testing::TempDir other;
  platform::setDocumentsDirForTesting(other.path());
  ASSERT_TRUE(platform::writeFileAtomically(other.path() / "device-id",
                                            "0a1b2c3d-0000-4000-8000-00000000abcd\n"));
  EXPECT_EQ(U::getUUID(), "0A1B2C3D-0000-4000-8000-00000000ABCD");

  testing::TempDir garbled;
  platform::setDocumentsDirForTesting(garbled.path());
  ASSERT_TRUE(platform::writeFileAtomically(garbled.path() / "device-id", "not an id"));
  const auto fresh = U::getUUID();
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->size(), 36u);
  EXPECT_EQ(platform::readWholeFile(garbled.path() / "device-id"), fresh);
  platform::setDocumentsDirForTesting(docs());
}

TEST(WiFiAddress, TakesTheLastIPv4EntryOfTheChosenInterface) {
  ScopedNetworkEnvironment env(
      {{interfaceEntry("lo", "127.0.0.1", true, true), interfaceEntry("en0", std::nullopt),
        interfaceEntry("en0", "192.0.2.10"), interfaceEntry("eth1", "198.51.100.7"),
        interfaceEntry("en0", "192.0.2.11")}});
  EXPECT_EQ(U::getWiFiIPAddress(), "192.0.2.11");
  platform::setWifiInterfaceName("eth1");
  EXPECT_EQ(U::getWiFiIPAddress(), "198.51.100.7");
  platform::setWifiInterfaceName("wlan9");
  EXPECT_EQ(U::getWiFiIPAddress(), "error");
}

TEST(WiFiAddress, WithoutEn0TakesTheFirstUsableInterface) {
  ScopedNetworkEnvironment env(
      {{interfaceEntry("lo", "127.0.0.1", true, true), interfaceEntry("eth0", "203.0.113.5", false),
        interfaceEntry("wlp2s0", std::nullopt), interfaceEntry("wlp2s0", "203.0.113.9"),
        interfaceEntry("eth2", "203.0.113.20")}});
  EXPECT_EQ(U::getWiFiIPAddress(), "203.0.113.9");
}

TEST(WiFiAddress, ErrorWhenNothingQualifies) {
  {
    ScopedNetworkEnvironment env({{interfaceEntry("en0", std::nullopt)}});
    EXPECT_EQ(U::getWiFiIPAddress(), "error");
  }
  {
    ScopedNetworkEnvironment env({{interfaceEntry("lo", "127.0.0.1", true, true)}});
    EXPECT_EQ(U::getWiFiIPAddress(), "error");
  }
  {
    ScopedNetworkEnvironment env(std::nullopt);  // list unreadable
    EXPECT_EQ(U::getWiFiIPAddress(), "error");
  }
}

TEST(Platform, ModelTable) {
  EXPECT_EQ(U::platformNameTableSize(), 160u);
  EXPECT_EQ(U::platformNameFor("arm64"), "Simulator");
  EXPECT_EQ(U::platformNameFor("x86_64"), "Simulator");
  EXPECT_EQ(U::platformNameFor("iPhone1,1"), "iPhone");
  EXPECT_EQ(U::platformNameFor("iPhone12,8"), "iPhone SE (2nd generation)");
  EXPECT_EQ(U::platformNameFor("iPhone16,2"), "iPhone 15 Pro Max");
  EXPECT_EQ(U::platformNameFor("iPad2,1"), "iPad 2 (Wi-Fi)");
  EXPECT_EQ(U::platformNameFor("iPad8,2"), "iPad Pro 11-inch (1st generation, Wi-Fi, 1TB)");
  EXPECT_EQ(U::platformNameFor("iPad16,6"), "iPad Pro (13-inch, M4, Cellular)");
  EXPECT_EQ(U::platformNameFor("iPod9,1"), "iPod touch (7th generation)");
  EXPECT_EQ(U::platformNameFor("AppleTV6,2"), "Apple TV 4K");
  EXPECT_EQ(U::platformNameFor("Watch1,1"), "Apple Watch (1st generation, 38mm)");
  EXPECT_EQ(U::platformNameFor("aarch64"), "aarch64");
  EXPECT_FALSE(U::platform().empty());
  EXPECT_EQ(U::platformName(), U::platformNameFor(U::platform()));
}

TEST(JsonChecks, CompleteJson) {
  struct Case {
    std::string_view text;
    bool complete;
  };
  const Case cases[] = {
      {" \r\n {\"a\":1}\n\t ", true},
      {"[1,2]", true},
      {"\u3000{}\u00a0", true},
      {"{\"a\":1", false},
      {"{\"a\":1}{\"b\":2}", false},
      {"{\"a\":1} x", false},
      {"{\"a\":1]", false},
      {"42", false},
      {"\"text\"", false},
      {"{", false},
      {"", false},
      {"   ", false},
      {"{\"a\":\"\xff\"}", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U::isStringValidCompleteJSON(c.text), c.complete) << c.text;
  }
}

TEST(JsonChecks, ValidJsonDoesNoBracketTest) {
  EXPECT_TRUE(U::isStringValidJSON("{}"));
  EXPECT_TRUE(U::isStringValidJSON(" [1] "));
  EXPECT_FALSE(U::isStringValidJSON(""));
  EXPECT_FALSE(U::isStringValidJSON("1"));
  EXPECT_FALSE(U::isStringValidJSON("{} {}"));
}

TEST(AddressChecks, IPAndPortPattern) {
  for (const char* good : {"192.168.1.10:8080", "10.0.0.1:65535", "0.0.0.0:1", "10.0.0.1:0080",
                           "10.0.0.1:00", "255.255.255.255:6553"}) {
    EXPECT_TRUE(U::isValidIPAndPort(good)) << good;
  }
  for (const char* bad :
       {"10.0.0.1:65536", "10.0.0.1:0", "256.1.1.1:80", "10.0.0.1", "terminal.local:80", "",
        "10.0.0.1:80 ", "1.2.3:80", "1.2.3.4.5:80", "10.0.0.1:80\n"}) {
    EXPECT_FALSE(U::isValidIPAndPort(bad)) << bad;
  }
  EXPECT_FALSE(U::isValidIPAndPort(std::string(100000, '1')));
}

TEST(Base64, RoundTripAndLenientDecode) {
  EXPECT_EQ(U::stringToBase64("支付成功"), "5pSv5LuY5oiQ5Yqf");
  EXPECT_EQ(U::stringToBase64("a"), "YQ==");
  EXPECT_EQ(U::stringToBase64("ab"), "YWI=");
  EXPECT_FALSE(U::stringToBase64(""));
  const std::string long_text(200, 'z');
  const std::string encoded = *U::stringToBase64(long_text);
  EXPECT_EQ(encoded.find('\n'), std::string::npos);
  EXPECT_EQ(U::base64ToString(encoded), long_text);

  EXPECT_EQ(U::base64ToString("5pSv5Lu\r\nY5oiQ\n5Yqf"), "支付成功");
  EXPECT_EQ(U::base64ToString("YQ"), "a");  // padding optional
  EXPECT_EQ(U::base64ToString("YQ==garbage"), "a");
  EXPECT_FALSE(U::base64ToString(""));
  EXPECT_FALSE(U::base64ToString("!!!"));
  EXPECT_FALSE(U::base64ToString("YWJjZ"));  // a dangling symbol: cut text
  EXPECT_FALSE(U::base64ToString("/w=="));   // 0xFF is no UTF-8
}

class Resources : public ::testing::Test {
 protected:
  Resources() { platform::setResourceDir(dir.path()); }
  ~Resources() override { platform::setResourceDir({}); }
  testing::TempDir dir;
};

TEST_F(Resources, FindsFilesOfTheResourceDirectoryOnly) {
  std::ofstream(dir.path() / "tavio-services.plist") << "x";
  EXPECT_EQ(U::sdkBundle(), dir.path());
  EXPECT_EQ(U::pathForResource("tavio-services", "plist"),
            (dir.path() / "tavio-services.plist").string());
  EXPECT_EQ(U::pathForResource("tavio-services.plist", ""),
            (dir.path() / "tavio-services.plist").string());
  EXPECT_FALSE(U::pathForResource("missing", "png"));
  EXPECT_FALSE(U::pathForResource("", "plist"));
  EXPECT_FALSE(U::pathForResource("../outside", "plist"));
  EXPECT_FALSE(U::pathForResource("/etc/hostname", ""));
}

}  // namespace
}  // namespace veltrix::transport
