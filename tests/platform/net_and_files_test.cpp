#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/net_interfaces.h"
#include "veltrix/platform/tcp_probe.h"

namespace veltrix::platform {
namespace {

using testing::interfaceEntry;

TEST(WifiInterface, SettingThenEnvironmentThenAutomaticChoice) {
  const std::vector<InterfaceAddress> entries = {interfaceEntry("lo", "127.0.0.1", true, true),
                                                 interfaceEntry("docker0", "172.17.0.1", false),
                                                 interfaceEntry("wlan0", "192.0.2.4")};
  testing::ScopedNetworkEnvironment scope(entries);
  EXPECT_EQ(wifiInterfaceName(entries), "wlan0");
  ::setenv("VELTRIX_WIFI_INTERFACE", "eth7", 1);
  EXPECT_EQ(wifiInterfaceName(entries), "eth7");
  setWifiInterfaceName("wlan1");
  EXPECT_EQ(wifiInterfaceName(entries), "wlan1");
  setWifiInterfaceName(std::nullopt);
  ::unsetenv("VELTRIX_WIFI_INTERFACE");
  EXPECT_FALSE(wifiInterfaceName({interfaceEntry("lo", "127.0.0.1", true, true)}));
}

TEST(SystemNetwork, ListsTheLoopbackInterface) {
  const auto entries = networkEnvironment()->interfaceAddresses();
  ASSERT_TRUE(entries);
  bool loopback = false;
  for (const InterfaceAddress& e : *entries) {
    if (e.loopback && e.ipv4 && e.ipv4->rfind("127.", 0) == 0) loopback = true;
  }
  EXPECT_TRUE(loopback);
}

TEST(TcpProbe, ReadsDottedIPv4Only) {
  EXPECT_TRUE(isDottedIPv4("127.0.0.1"));
  EXPECT_TRUE(isDottedIPv4("255.255.255.255"));
  for (const char* bad : {"", "localhost", "127.1", "256.0.0.1", "::1", "1.2.3.4 ", "1.2.3.4.5"}) {
    EXPECT_FALSE(isDottedIPv4(bad)) << bad;
  }
  EXPECT_FALSE(isDottedIPv4(std::string_view("1.2.3.4\0x", 9)));
}

TEST(AtomicWrite, ReplacesTheWholeFile) {
  testing::TempDir dir;
  const auto path = dir.path() / "f";
  ASSERT_TRUE(writeFileAtomically(path, "first version, longer"));
  ASSERT_TRUE(writeFileAtomically(path, "second"));
  EXPECT_EQ(readWholeFile(path), "second");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind
  EXPECT_FALSE(writeFileAtomically(dir.path() / "missing" / "f", "x"));
}

}  // namespace
}  // namespace veltrix::platform
