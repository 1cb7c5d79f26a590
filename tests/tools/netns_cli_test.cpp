// veltrix-cli discover as a user runs it, on the production ports 8421 and
// 8422: the program inside a network namespace of its own (so those ports
// are free and nothing it sends leaves the namespace), tavio-sim in a peer
// namespace joined to it by a veth pair. Needs root and iproute2; skipped
// with the reason where namespaces cannot be made.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"
#include "support/veth_namespaces.h"

namespace veltrix {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::ChildProcess;
using testing::runCommand;
using testing::VethNamespaces;

TEST(CliDiscoverInNamespaceTest, JsonListsTheSimulatedTerminalAndItsServices) {
  const std::filesystem::path cli = testing::builtProgram("tools/cli/veltrix-cli");
  const std::filesystem::path simulator = testing::builtProgram("tools/sim/tavio-sim");
  for (const std::filesystem::path& tool : {cli, simulator}) {
    if (!std::filesystem::exists(tool)) {
      GTEST_SKIP() << tool.filename() << " is not built next to the tests (" << tool << ")";
    }
  }
  VethNamespaces net("-cli");
  std::string why;
  if (!net.create(&why)) {
    GTEST_SKIP() << "network namespaces cannot be made here (this test needs root and "
                    "iproute2): "
                 << why;
  }

  std::string error;
  auto sim = ChildProcess::spawn({"ip", "netns", "exec", net.terminal(), simulator.string(), "--ip",
                                  VethNamespaces::kTerminalAddress, "--library-ip",
                                  VethNamespaces::kLibraryAddress, "--broadcast"},
                                 {}, &error);
  ASSERT_TRUE(sim) << error;
  ASSERT_TRUE(sim->waitForOutput("tavio-sim terminal TAVIO-SIM-0001", 5000ms)) << sim->output();

  // The veth end is the program's Wi-Fi interface: its broadcast reaches
  // the simulator, whose answer and handshake come back the same way.
  testing::TempDir data;
  const testing::CommandResult run = runCommand(
      {"ip", "netns", "exec", net.library(), "env",
       std::string("VELTRIX_WIFI_INTERFACE=") + VethNamespaces::kLibraryInterface, cli.string(),
       "--data-dir", data.path().string(), "discover", "--seconds", "4", "--json"},
      20000ms);
  ASSERT_EQ(run.status, 0) << run.output << "\nsimulator:\n" << sim->output();

  std::set<std::pair<std::string, std::string>> services;
  std::size_t listed = 0;
  std::istringstream in(run.output);
  for (std::string line; std::getline(in, line);) {
    const json entry = json::parse(line, nullptr, false);
    ASSERT_TRUE(entry.is_object()) << "not a JSON object: " << line;
    ASSERT_EQ(entry["type"], "service") << line;
    EXPECT_EQ(entry["sn"], "TAVIO-SIM-0001") << line;
    EXPECT_EQ(entry["address"], std::string(VethNamespaces::kTerminalAddress) + ":8080") << line;
    EXPECT_EQ(entry["parameter"], "http") << line;
    ASSERT_TRUE(entry["serviceType"].is_string()) << line;
    ASSERT_TRUE(entry["serviceId"].is_string()) << line;
    services.emplace(entry["serviceType"], entry["serviceId"]);
    ++listed;
  }
  // Every service of the simulated terminal, each listed once.
  EXPECT_EQ(services.size(), 16u) << run.output;
  EXPECT_EQ(listed, services.size()) << run.output;

  sim->stop();
  EXPECT_NE(sim->output().find(std::string("TAVIO-SIM-0001: handshake sent to ") +
                               VethNamespaces::kLibraryAddress),
            std::string::npos)
      << sim->output();
}

}  // namespace
}  // namespace veltrix
