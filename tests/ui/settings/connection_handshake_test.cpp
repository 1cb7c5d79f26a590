// End to end over loopback: what the connection settings store decides what
// the library's own handshake advertises to a simulated terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/discovery_simulator.h"
#include "support/sim_discovery.h"
#include "ui/settings/settings_test_env.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/json.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/lan_settings_view_controller.h"

namespace veltrix::ui::settings {
namespace {

class ConnectionHandshakeTest : public veltrix::testing::UiTest {
 protected:
  void SetUp() override {
    setTransitionDuration(0);
    std::string error;
    sim = sim::DiscoverySimulator::start(veltrix::testing::loopbackSimOptions(), &error);
    ASSERT_TRUE(sim) << error;
    library = std::make_unique<veltrix::testing::LoopbackDiscovery>(docs(), *sim);
    // The screens and discovery share the one database.
    std::shared_ptr<registry::DatabaseManager> db(std::shared_ptr<void>{}, &library->db);
    env = SettingsEnvironment::over(db);
  }
  void TearDown() override {
    library.reset();
    sim.reset();
  }

  // The "parameter" of every handshake the terminal has received that the
  // library stamped later than `afterMillis`.
  std::vector<platform::Json> parameters(std::int64_t afterMillis = -1) const {
    std::vector<platform::Json> out;
    for (const auto& handshake : veltrix::testing::handshakesStampedAfter(*sim, afterMillis)) {
      out.push_back(handshake["parameter"]);
    }
    return out;
  }
  bool pump(const std::function<bool()>& done) { return main().runUntil(done); }

  std::unique_ptr<sim::DiscoverySimulator> sim;
  std::unique_ptr<veltrix::testing::LoopbackDiscovery> library;
  SettingsEnvironment env;
};

TEST_F(ConnectionHandshakeTest, TheConnectionMethodsDecideWhatTheHandshakeAdvertises) {
  ASSERT_TRUE(library->startScan(*sim));
  sim->announce();
  // Stored once discovery has read the terminal's answer, which the
  // terminal sends after it has the handshake: the tick below handshakes
  // only the terminals discovery has stored.
  ASSERT_TRUE(pump(
      [&] { return !library->db.fetchDiscoveredTerminal(sim::VirtualTerminal{}.sn).empty(); }));
  ASSERT_FALSE(parameters().empty());
  EXPECT_EQ(parameters().back(), "http");

  // Bluetooth on (as the Bluetooth settings screen stores it), LAN off on
  // the LAN screen.
  env.facade->setCommunicateType(facade::kCommunicateTypeBluetooth, true);
  auto list = std::make_shared<ConnectionMethodViewController>(env);
  show(std::make_shared<NavigationController>(list));
  ASSERT_TRUE(driver().tapRow(*list->contentTableView(), IndexPath::forRow(0)));
  auto* lan = dynamic_cast<LANSettingsViewController*>(driver().topViewController());
  ASSERT_NE(lan, nullptr);
  ASSERT_TRUE(driver().tapRow(*lan->contentTableView(), IndexPath::forRow(0)));
  ASSERT_TRUE(driver().back());
  EXPECT_TRUE(driver().isTextVisible("OFF"));
  EXPECT_TRUE(driver().isTextVisible("ON"));

  // The running discovery's next tick handshakes the stored terminal again.
  const std::int64_t changed = platform::nowMillis();
  advanceSeconds(3.0);
  ASSERT_TRUE(pump([&] { return !parameters(changed).empty(); }));
  EXPECT_EQ(parameters(changed).front(), "ble");
}

}  // namespace
}  // namespace veltrix::ui::settings
