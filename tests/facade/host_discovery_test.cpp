// The settings facade's discovery for the host: its start order, the list
// of discovered services, what reaches the host's delegate; then the same
// end to end against three simulated terminals on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sim/discovery_simulator.h"
#include "support/sim_discovery.h"
#include "support/test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"

namespace veltrix::facade {
namespace {

using registry::DiscoverDeviceInfo;
using registry::ServiceInfo;
using registry::TerminalInfo;

using Events = std::vector<std::string>;

class FakeDiscovery final : public registry::DiscoveryControl {
 public:
  explicit FakeDiscovery(Events& events) : events_(events) {}
  void startScan() override { events_.push_back("discovery.start"); }
  void stopScan() override { events_.push_back("discovery.stop"); }
  void setScanType(std::int32_t type) override {
    events_.push_back("discovery.scanType " + std::to_string(type));
  }
  std::shared_ptr<registry::DiscoverManagerDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<registry::DiscoverManagerDelegate> d) override {
    delegate_ = std::move(d);
    events_.push_back("discovery.delegate");
  }

 private:
  Events& events_;
  std::weak_ptr<registry::DiscoverManagerDelegate> delegate_;
};

struct Host final : RetailerSettingManagerDelegate {
  explicit Host(Events& events) : events(events) {}
  void onStartDiscoverServices() override { events.push_back("host.start"); }
  void onStopDiscoverServices() override { events.push_back("host.stop"); }
  void onDiscoverServices(const ServiceInfo& info) override {
    events.push_back("host.service " + info.serviceSn.value_or("-"));
    services.push_back(info);
  }
  void onDiscoverTerminal(const DiscoverDeviceInfo& info) override {
    events.push_back("host.terminal " + info.sn.value_or("-"));
    terminals.push_back(info);
  }
  Events& events;
  std::vector<ServiceInfo> services;
  std::vector<DiscoverDeviceInfo> terminals;
};

ServiceInfo service(const std::string& sn, const std::string& type, const std::string& id) {
  ServiceInfo info;
  info.deviceSn = sn;
  info.serviceSn = sn;
  info.serviceType = type;
  info.serviceId = id;
  info.serviceName = "收银台";
  return info;
}

class HostDiscoveryTest : public testing::LoopTest {
 protected:
  registry::DatabaseManager db{docs() / "settings.sqlite"};
  Events events;
  FakeDiscovery discovery{events};
  std::shared_ptr<Host> host = std::make_shared<Host>(events);
};

TEST_F(HostDiscoveryTest, StartTakesDiscoveryOverAndRestartsIt) {
  auto settings = RetailerSettingManager::create(db, &discovery);
  auto screen = std::make_shared<registry::DiscoverManagerDelegate>();
  discovery.setDelegate(screen);  // the scan screen had it
  settings->setDelegate(host);
  events.clear();

  settings->startDiscoverServices();
  EXPECT_EQ(events, (Events{"discovery.scanType 1", "discovery.delegate", "discovery.stop",
                            "discovery.start", "host.start"}));
  EXPECT_EQ(discovery.delegate(), settings);
  EXPECT_EQ(settings->showAllService(), std::vector<ServiceInfo>{});

  events.clear();
  settings->stopDiscoverServices();
  EXPECT_EQ(events, (Events{"discovery.stop", "host.stop"}));
  // Discovery ending by itself reads as a stop too.
  events.clear();
  settings->finishedScan();
  EXPECT_EQ(events, Events{"host.stop"});
}

TEST_F(HostDiscoveryTest, ServicesAreListedOnceAndAlwaysPassedOn) {
  auto settings = RetailerSettingManager::create(db, &discovery);
  settings->setDelegate(host);
  // Before the first start there is no list, but the host still hears.
  settings->onScanTerminal(service("SN-1", "Purchase", "pay"));
  EXPECT_EQ(settings->showAllService(), std::nullopt);
  EXPECT_EQ(host->services.size(), 1u);

  settings->startDiscoverServices();
  settings->onScanTerminal(service("SN-1", "Purchase", "pay"));
  ServiceInfo renamed = service("SN-1", "Purchase", "pay");
  renamed.serviceName = "another name";  // same identity
  settings->onScanTerminal(renamed);
  settings->onScanTerminal(service("SN-1", "Refund", "pay"));
  settings->onScanTerminal(service("SN-1", "Purchase", "pay-2"));
  settings->onScanTerminal(service("SN-2", "Purchase", "pay"));
  EXPECT_EQ(host->services.size(), 6u);
  const auto listed = settings->showAllService();
  ASSERT_TRUE(listed);
  ASSERT_EQ(listed->size(), 4u);
  EXPECT_EQ((*listed)[0].serviceName, "收银台");
  EXPECT_EQ((*listed)[3].serviceSn, "SN-2");
  EXPECT_EQ(settings->getDiscoverDeviceInfos(), listed);

  // The list survives a stop and is emptied by the next start.
  settings->stopDiscoverServices();
  EXPECT_EQ(settings->showAllService(), listed);
  settings->startDiscoverServices();
  EXPECT_EQ(settings->showAllService(), std::vector<ServiceInfo>{});
}

TEST_F(HostDiscoveryTest, TerminalsReachTheHostAsDeviceInfo) {
  auto settings = RetailerSettingManager::create(db, &discovery);
  settings->setDelegate(host);
  TerminalInfo terminal;
  terminal.sn = "SN-1";
  terminal.address = "10.0.0.5:8080";
  terminal.parameter = "http,ble";
  terminal.time = "1700000000000";
  terminal.model = "T1 Pro";
  terminal.uuidString = "ignored";
  settings->onScanTerminalInfo(terminal);
  ASSERT_EQ(host->terminals.size(), 1u);
  EXPECT_EQ(host->terminals[0],
            DiscoverDeviceInfo::initWithData("SN-1", "10.0.0.5:8080", "http,ble", "1700000000000",
                                             "T1 Pro"));
  // Without a host delegate nothing fails.
  host.reset();
  settings->onScanTerminalInfo(terminal);
  settings->onScanTerminal(service("SN-1", "Purchase", "pay"));
}

TEST_F(HostDiscoveryTest, WithoutDiscoveryNothingStarts) {
  auto settings = std::make_shared<RetailerSettingManager>(db);
  settings->setDelegate(host);
  settings->startDiscoverServices();
  settings->stopDiscoverServices();
  EXPECT_EQ(events, Events{"host.stop"});
  EXPECT_EQ(settings->showAllService(), std::nullopt);
}

// ---- end to end ---------------------------------------------------------------------------------

TEST_F(HostDiscoveryTest, HostFindsEverySimulatedTerminalAndItsServices) {
  std::string error;
  // Three terminals with four payment services each: twelve purchase
  // services, as the scan screen's overflow needs.
  auto sim = sim::DiscoverySimulator::start(
      testing::loopbackSimOptions(sim::virtualTerminals(3, "127.0.0.2", 8080, 4)), &error);
  ASSERT_TRUE(sim) << error;
  testing::LoopbackDiscovery library(docs(), *sim);
  auto settings = RetailerSettingManager::create(library.db, library.manager.get());
  settings->setDelegate(host);

  settings->startDiscoverServices();
  ASSERT_TRUE(library.manager->isScanning());
  sim->setLibraryPorts(library.manager->udpListeningPort(), library.manager->tcpListeningPort());
  sim->speakFirst();
  // 4 x 11 payment types and 5 device types per terminal.
  const std::size_t perTerminal = 4 * 11 + 5;
  ASSERT_TRUE(main().runUntil([&] { return host->services.size() >= 3 * perTerminal; }));
  EXPECT_EQ(events.front(), "host.start");
  ASSERT_EQ(host->terminals.size(), 3u);
  std::vector<std::string> sns;
  for (const auto& terminal : host->terminals) sns.push_back(terminal.sn.value_or(""));
  std::sort(sns.begin(), sns.end());
  EXPECT_EQ(sns, (std::vector<std::string>{"TAVIO-SIM-0001", "TAVIO-SIM-0002", "TAVIO-SIM-0003"}));
  for (const auto& terminal : host->terminals) {
    EXPECT_EQ(terminal.address, terminal.sn == "TAVIO-SIM-0002"   ? "127.0.0.3:8080"
                                : terminal.sn == "TAVIO-SIM-0003" ? "127.0.0.4:8080"
                                                                  : "127.0.0.2:8080");
  }
  // Each terminal's report comes before its services.
  for (const std::string& sn : sns) {
    EXPECT_LT(std::find(events.begin(), events.end(), "host.terminal " + sn),
              std::find(events.begin(), events.end(), "host.service " + sn))
        << sn;
  }

  const auto listed = settings->showAllService();
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->size(), 3 * perTerminal);
  EXPECT_EQ(std::count_if(listed->begin(), listed->end(),
                          [](const ServiceInfo& s) { return s.serviceType == "Purchase"; }),
            12);

  settings->stopDiscoverServices();
  EXPECT_FALSE(library.manager->isScanning());
  EXPECT_EQ(events.back(), "host.stop");
  EXPECT_EQ(settings->showAllService(), listed);
}

}  // namespace
}  // namespace veltrix::facade
