// The simulated Tavio terminals' discovery side: one or several virtual
// terminals, each on its own address, that answer the library's discover
// packets with their own signed packet, answer the library's handshake over
// TCP with theirs, can speak first (connect to the library and send their
// handshake), fall silent from a given time on, and record what they
// receive, pairing requests ("request_auth") included.
//
// Every text a terminal sends is written from the literal formats of
// discovery_messages.h; nothing of the library is used.
//
// Ports: all terminals share one UDP and one TCP port number, each on its
// own address (a library talks to every terminal on the same ports). The
// library is reached at libraryIp on libraryUdpPort (answers) and
// libraryTcpPort (speaking first). With receiveBroadcasts a further UDP
// socket on every address receives subnet broadcasts for all terminals.
//
// Threads: the simulator runs on a thread of its own; every member may be
// called from any thread. Ownership: it owns its thread, sockets and
// connections; destroying it (or stop()) closes them all.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/discovery_messages.h"

namespace veltrix::sim {

using Millis = std::chrono::milliseconds;

struct VirtualTerminal {
  std::string sn = "TAVIO-SIM-0001";
  std::string model = "T1 Pro";
  // Where its sockets bind, and whence it speaks first.
  std::string ip = "127.0.0.2";
  // Its HTTP service as its handshake gives it; empty: ip + ":8080".
  std::string address;
  std::string parameter = "http";  // "http" or "http,ble"
  std::vector<ServiceEntry> services = defaultServices();
  bool isPeripheral = false;
  // Silent from this long after the start on: it answers nothing, closes
  // every connection at once and no longer speaks first.
  std::optional<Millis> silentAfter;
  // Its handshake is written cut at these byte offsets (ascending), each
  // piece after pieceDelay; with holdPieces every piece after the first
  // also waits for release().
  std::vector<std::size_t> handshakeCuts;
  Millis pieceDelay{0};
  bool holdPieces = false;

  TerminalIdentity identity() const;
};

// `count` terminals "TAVIO-SIM-0001", "TAVIO-SIM-0002", … of different
// models on consecutive addresses from `firstIp` (127.0.0.2, 127.0.0.3, …),
// each with `paymentEntries` payment services and its HTTP service on
// `httpPort` of its own address.
std::vector<VirtualTerminal> virtualTerminals(int count, const std::string& firstIp = "127.0.0.2",
                                              std::uint16_t httpPort = 8080,
                                              int paymentEntries = 1);

struct DiscoveryOptions {
  std::vector<VirtualTerminal> terminals{VirtualTerminal{}};
  // The terminals' ports; 0 picks free ones (the same on every address).
  std::uint16_t udpPort = 8421;
  std::uint16_t tcpPort = 8422;
  std::string libraryIp = "127.0.0.1";
  std::uint16_t libraryUdpPort = 8421;
  std::uint16_t libraryTcpPort = 8422;
  // Also receive datagrams sent to a broadcast address (binds the UDP port
  // on every address, with address reuse).
  bool receiveBroadcasts = false;
};

// A datagram that reached a terminal.
struct ReceivedDatagram {
  std::string terminalSn;
  std::string from;  // "ip:port"
  std::string text;
  bool broadcast = false;    // arrived on the socket for broadcasts
  bool validPacket = false;  // a discover packet with a good signature
  bool answered = false;
};

// A complete JSON text that reached a terminal over TCP.
struct ReceivedText {
  std::string terminalSn;
  std::string from;       // the peer's address
  bool outgoing = false;  // on a connection the terminal opened
  std::string text;
};

class DiscoverySimulator {
 public:
  // Binds every terminal's sockets. nullptr, with the reason in `error`,
  // when one cannot bind.
  static std::unique_ptr<DiscoverySimulator> start(DiscoveryOptions options,
                                                   std::string* error = nullptr);
  ~DiscoverySimulator();
  DiscoverySimulator(const DiscoverySimulator&) = delete;
  DiscoverySimulator& operator=(const DiscoverySimulator&) = delete;

  // Closes every socket and connection. Idempotent.
  void stop();

  std::uint16_t udpPort() const;
  std::uint16_t tcpPort() const;
  std::vector<VirtualTerminal> terminals() const;
  // Where the library listens (tests whose library picks free ports).
  void setLibraryPorts(std::uint16_t udpPort, std::uint16_t tcpPort);

  // Every terminal (or the one with serial number `sn`) sends its discover
  // packet to the library's UDP port.
  void announce();
  void announce(const std::string& sn);
  // Every terminal (or one) connects to the library's TCP port and writes
  // its handshake.
  void speakFirst();
  void speakFirst(const std::string& sn);
  // Silences a terminal from now on, or lets it speak again.
  void setSilent(const std::string& sn, bool silent);
  // Lets one held handshake piece go on (now, or when the next one waits).
  void release();

  // The terminal's handshake as it would write it now.
  std::optional<std::string> handshake(const std::string& sn) const;

  std::vector<ReceivedDatagram> datagrams() const;
  std::vector<ReceivedText> texts() const;
  std::vector<PairingRequest> pairingRequests() const;
  // Connections the library opened to the terminals, and those still open.
  std::size_t acceptedConnections() const;
  std::size_t openConnections() const;
  // Handshakes written completely (answers and first words).
  std::size_t handshakesSent() const;

  // Waits (real time, bounded) until `done` holds; it is evaluated after
  // every change the simulator records.
  bool waitUntil(const std::function<bool()>& done, Millis timeout) const;

  // Called on the simulator's thread with a line for everything that
  // happens (the runnable prints them).
  void setLog(std::function<void(const std::string&)> log);

  struct Impl;

 private:
  explicit DiscoverySimulator(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};

}  // namespace veltrix::sim
