// The library's discovery on loopback, set up to meet a simulated terminal
// (sim::DiscoverySimulator): the library binds 127.0.0.1 on free ports over
// a database of its own, with a fixed "Wi-Fi" interface at 127.0.0.1, and
// sends to the simulator's ports. Real sockets, so tests pump the main loop
// with MainLoop::runUntil while waiting for them.
//
// Header-only: the test programs that include it link the simulator.
// Main loop only; destroy it before the main loop goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/discovery_simulator.h"
#include "support/fake_network.h"
#include "veltrix/platform/json.h"
#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/tcp_socket_client.h"
#include "veltrix/transport/tcp_socket_server.h"

namespace veltrix::testing {

inline constexpr const char* kLibraryHost = "127.0.0.1";

// Simulator options for loopback: free ports, the library at 127.0.0.1.
inline sim::DiscoveryOptions loopbackSimOptions(std::vector<sim::VirtualTerminal> terminals = {
                                                    sim::VirtualTerminal{}}) {
  sim::DiscoveryOptions options;
  options.terminals = std::move(terminals);
  options.udpPort = 0;
  options.tcpPort = 0;
  options.libraryIp = kLibraryHost;
  return options;
}

// The time (the library's own clock, in milliseconds) in the "time" of a
// message the library sent; -1 when it carries none.
inline std::int64_t libraryStamp(const platform::Json& message) {
  if (!message.is_object()) return -1;
  const auto time = message.find("time");
  if (time == message.end() || !time->is_string()) return -1;
  return registry::leadingInteger(time->get_ref<const std::string&>());
}

// The library's handshakes the simulator has received, parsed, in the order
// they came, keeping those the library stamped later than `afterMillis` (its
// own clock). A handshake built before a setting changed can still arrive
// after the change: a datagram answered late starts one more in that tick.
inline std::vector<platform::Json> handshakesStampedAfter(const sim::DiscoverySimulator& sim,
                                                          std::int64_t afterMillis) {
  std::vector<platform::Json> out;
  for (const auto& text : sim.texts()) {
    auto json = platform::parseJson(text.text);
    if (!json || !json->is_object() || (*json)["contentType"] != "discover") continue;
    if (libraryStamp(*json) > afterMillis) out.push_back(std::move(*json));
  }
  return out;
}

struct LoopbackDiscovery {
  LoopbackDiscovery(const std::filesystem::path& dir, const sim::DiscoverySimulator& sim)
      : db(dir / "discovery.sqlite"), settings(db), logFile(dir / "log.txt") {
    registry::DiscoveryConfig config;
    config.udpPort = 0;
    config.tcpPort = 0;
    config.bindAddress = kLibraryHost;
    config.terminalUdpPort = sim.udpPort();
    config.terminalTcpPort = sim.tcpPort();
    manager = std::make_unique<registry::DiscoverManager>(
        registry::DiscoverManager::Collaborators{db, client, server, sender, receiver, ble,
                                                 settings, logFile},
        config);
  }
  ~LoopbackDiscovery() { manager.reset(); }

  // Starts the scan and tells the simulator where the library listens.
  bool startScan(sim::DiscoverySimulator& sim) {
    manager->startScan();
    if (manager->udpListeningPort() == 0 || manager->tcpListeningPort() == 0) return false;
    sim.setLibraryPorts(manager->udpListeningPort(), manager->tcpListeningPort());
    return true;
  }

  ScopedNetworkEnvironment network{std::vector{interfaceEntry("en0", kLibraryHost)}};
  registry::DatabaseManager db;
  registry::StoredCommunicationSettings settings;
  registry::FileLogger logFile;
  registry::BroadcastSender sender{std::string(kLibraryHost)};
  registry::BroadcastReceiver receiver;
  transport::TCPSocketClient client;
  transport::TCPSocketServer server;
  transport::RadioOffBleTransport ble;
  std::unique_ptr<registry::DiscoverManager> manager;
};

}  // namespace veltrix::testing
