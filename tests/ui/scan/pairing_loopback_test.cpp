// The pairing card end to end: a terminal of tavio-sim found by the
// library's discovery on loopback (free ports) gets the pairing request
// with the first four digits of the code the card shows.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "sim/discovery_simulator.h"
#include "support/sim_discovery.h"
#include "support/ui_test_env.h"
#include "veltrix/registry/auth_manager.h"
#include "veltrix/ui/scan/auth_random_view.h"
#include "veltrix/ui/scan/scan_dialogs.h"

namespace veltrix::ui::scan {
namespace {

using platform::Json;

const std::string kSn = "TAVIO-SIM-0001";

class PairingLoopbackTest : public testing::UiTest {
 protected:
  bool pump(const std::function<bool()>& done) {
    return main().runUntil(done, std::chrono::seconds(15));
  }
};

TEST_F(PairingLoopbackTest, TerminalReceivesTheFirstFourDigitsOfTheCodeShown) {
  std::string error;
  auto sim = sim::DiscoverySimulator::start(testing::loopbackSimOptions(), &error);
  ASSERT_TRUE(sim) << error;
  testing::LoopbackDiscovery library(docs(), *sim);
  registry::AuthManager authManager(*library.manager);
  ASSERT_TRUE(library.startScan(*sim));
  sim->announce();
  ASSERT_TRUE(pump([&] { return !library.db.fetchDiscoveredTerminal(kSn).empty(); }));
  const registry::Row row = library.db.fetchDiscoveredTerminal(kSn);
  const Json terminal{{"sn", registry::rowText(row, "sn").value_or("")},
                      {"address", registry::rowText(row, "address").value_or("")}};

  auto screen = std::make_shared<ViewController>();
  show(std::make_shared<NavigationController>(screen));
  ScanDialogs::Services services;
  services.auth = std::make_shared<AuthManagerPairing>(authManager);
  auto dialogs = ScanDialogs::create(*screen, services);
  dialogs->showAuthRandomView(terminal);
  driver().settle();

  auto* card = driver().find<AuthRandomView>();
  ASSERT_TRUE(card);
  const std::string shown = card->randomStr();
  ASSERT_EQ(shown.size(), 9u);
  EXPECT_TRUE(driver().isTextVisible(shown));
  EXPECT_TRUE(driver().isTextVisible("Please enter the following pairing code on device " + kSn));

  ASSERT_TRUE(pump([&] { return !sim->pairingRequests().empty(); }));
  const sim::PairingRequest request = sim->pairingRequests()[0];
  EXPECT_EQ(request.terminalSn, kSn);
  EXPECT_EQ(request.random, shown.substr(0, 4));
  EXPECT_EQ(request.authType, "DCA");
  dialogs->cleanUp();
  library.manager->stopScan();
}

}  // namespace
}  // namespace veltrix::ui::scan
