// The numbers discovery runs with: ports, bind address, intervals, the
// window in which stored services count as recently seen, the Wi-Fi
// interface and the reassembly limit. The defaults are the values that
// terminals in the field expect; tools and tests change them (a simulator
// on the same machine cannot share the library's ports on one address).
//
// A plain value; no thread affinity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace veltrix::registry {

struct DiscoveryConfig {
  // Where the library listens: discover packets (UDP) and handshakes (TCP).
  // 0 picks a free port at the first start and keeps it from then on.
  std::uint16_t udpPort = 8421;
  std::uint16_t tcpPort = 8422;
  // Where terminals listen: discover packets are sent to terminalUdpPort,
  // handshake and pairing connections go to terminalTcpPort.
  std::uint16_t terminalUdpPort = 8421;
  std::uint16_t terminalTcpPort = 8422;
  // The port written after the Wi-Fi address in the own handshake.
  std::uint16_t httpServicePort = 8080;
  // The address the UDP listener and the TCP server bind to; absent: every
  // interface (broadcasts only reach a listener bound that way).
  std::optional<std::string> bindAddress;
  // The LAN tick and the Bluetooth LE tick.
  double lanTickSeconds = 3.0;
  double bleTickSeconds = 5.0;
  // Stored services of a terminal seen less than this long ago (and at
  // least 1 ms ago) are reported at the start of a scan.
  std::int64_t recentWindowMillis = 15000;
  // The interface that stands in for the phone's "en0"; absent: the
  // platform's choice (platform/net_interfaces.h, "en0" first).
  std::optional<std::string> wifiInterface;
  // Text of one TCP connection beyond this many bytes is dropped and the
  // connection closed.
  std::size_t maxHandshakeBytes = 256 * 1024;
};

}  // namespace veltrix::registry
