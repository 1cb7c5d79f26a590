// End to end over loopback with the simulated terminal: discovery records
// it, the detail sheet's FIND DEVICE reaches its HTTP service through the
// real facade, and the device settings screen's pairing switch changes the
// next handshake the terminal receives.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/discovery_simulator.h"
#include "sim/http_simulator.h"
#include "support/sim_discovery.h"
#include "support/sim_terminal.h"
#include "ui/settings/settings_test_env.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"
#include "veltrix/ui/settings/device_settings_controller.h"
#include "veltrix/ui/settings/remote_device_controller.h"

namespace veltrix::ui::settings {
namespace {

constexpr const char* kSn = "TAVIO-SIM-0001";

class TerminalDetailEndToEndTest : public veltrix::testing::UiTest {
 protected:
  void SetUp() override {
    setTransitionDuration(0);
    std::string error;
    // The terminal's HTTP service on its own address, where discovery's
    // later handshakes go too.
    sim::VirtualTerminal terminal;
    terminal.sn = kSn;
    http = sim::HttpSimulator::start(terminal.ip, 0, &error);
    ASSERT_TRUE(http) << error;
    terminal.address = http->address();
    sim = sim::DiscoverySimulator::start(veltrix::testing::loopbackSimOptions({terminal}), &error);
    ASSERT_TRUE(sim) << error;
    library = std::make_unique<veltrix::testing::LoopbackDiscovery>(docs(), *sim);

    // The production facade and HTTP transport over the discovery's database.
    facade::CommunicateFactory factory = veltrix::testing::httpFactory(session, logFile);
    settingsFacade = std::make_unique<facade::RetailerSettingManager>(library->db);
    manager = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        library->db, results, *settingsFacade, logFile, transport::RadioOffBleTransport::shared(),
        factory, nullptr, nullptr});

    std::shared_ptr<registry::DatabaseManager> db(std::shared_ptr<void>{}, &library->db);
    env = SettingsEnvironment::over(db);
    env.services = serviceFacadeOver(manager);
  }
  void TearDown() override {
    main().runUntil([&] { return session.taskCount() == 0; });
    show(nullptr);
    manager.reset();
    library.reset();
    settingsFacade.reset();
    if (sim) sim->stop();
    if (http) http->stop();
  }

  bool pump(const std::function<bool()>& done) { return main().runUntil(done); }

  // Discovery meets the terminal and stores it with its services.
  void discover() {
    ASSERT_TRUE(library->startScan(*sim));
    sim->announce();
    ASSERT_TRUE(pump([&] {
      for (const auto& row : library->db.fetchTerminalServicesWithSn(kSn)) {
        if (registry::rowText(row, "serviceType") == "Display") return true;
      }
      return false;
    }));
  }

  std::unique_ptr<sim::HttpSimulator> http;
  std::unique_ptr<sim::DiscoverySimulator> sim;
  std::unique_ptr<veltrix::testing::LoopbackDiscovery> library;
  transport::WSStreamingHTTPSessionManager session;
  registry::FileLogger logFile{docs() / "e2e-log.txt"};
  facade::ResultBackManager results;
  std::unique_ptr<facade::RetailerSettingManager> settingsFacade;
  std::shared_ptr<facade::RetailerManager> manager;
  SettingsEnvironment env;
};

TEST_F(TerminalDetailEndToEndTest, FindDeviceMakesTheTerminalShowItself) {
  discover();
  platform::ScopedLogCapture log;
  auto sheet = std::make_shared<RemoteDeviceController>(
      library->db.fetchDiscoveredTerminal(kSn), library->db.fetchTerminalServicesWithSn(kSn), env);
  show(std::make_shared<NavigationController>(sheet));
  ASSERT_TRUE(driver().tap(*sheet->rightButton()));
  ASSERT_TRUE(pump([&] { return log.contains("FIND DEVICE result"); }));
  EXPECT_TRUE(log.contains("code = 0")) << fmt::format("{}", fmt::join(log.lines(), "\n"));

  const std::vector<sim::RecordedRequest> requests = http->requests();
  ASSERT_EQ(requests.size(), 1u);
  auto message = platform::parseJson(requests[0].body);
  ASSERT_TRUE(message) << requests[0].body;
  EXPECT_EQ((*message)["serviceType"], "Display");
  EXPECT_EQ((*message)["contentType"], "caspReq");
  const platform::Json* request = platform::findObject(*message, "request");
  ASSERT_NE(request, nullptr) << requests[0].body;
  const platform::Json* contents = platform::findArray(*request, "displayContents");
  ASSERT_NE(contents, nullptr) << requests[0].body;
  ASSERT_EQ(contents->size(), 1u);
  const platform::Json& content = (*contents)[0];
  EXPECT_EQ(content["format"], "SREF");
  EXPECT_EQ(content["messageDestination"], "MDSP");
  EXPECT_EQ(content["responseRequiredFlag"], true);
  EXPECT_EQ(content["messageContent"],
            R"({"data":{"hasShow":false,"model":"T1 Pro","sn":"TAVIO-SIM-0001","type":0},)"
            R"("refId":"selfLocationReport"})");
  EXPECT_EQ(driver().topViewController(), sheet.get()) << "no scan screen";
}

TEST_F(TerminalDetailEndToEndTest, ThePairingSwitchMakesTheNextHandshakeCarryDca) {
  discover();
  const std::vector<platform::Json> first = veltrix::testing::handshakesStampedAfter(*sim, -1);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.back()["authTypes"], platform::Json::array());

  auto screen = std::make_shared<DeviceSettingsController>(registry::Row{}, registry::Rows{}, env);
  show(std::make_shared<NavigationController>(screen));
  auto* cell = dynamic_cast<AuthenticationCell*>(
      screen->tableView()->cellForRow(IndexPath::forRow(0, 1)).get());
  ASSERT_NE(cell, nullptr);
  ASSERT_TRUE(driver().flip(*cell->authSwitch()));

  // The running discovery's next tick handshakes the stored terminal again.
  const std::int64_t flipped = platform::nowMillis();
  const auto later = [&] { return veltrix::testing::handshakesStampedAfter(*sim, flipped); };
  advanceSeconds(3.0);
  ASSERT_TRUE(pump([&] { return !later().empty(); }));
  const platform::Json next = later().front();
  EXPECT_EQ(next["authTypes"], platform::Json::array({"DCA"})) << next.dump();
  EXPECT_EQ(next["msgType"], "exchange");
}

}  // namespace
}  // namespace veltrix::ui::settings
