// DiscoverManager finds payment terminals and the services they offer while
// a scan runs, records them in the database and reports them to its
// delegate.
//
// On the LAN it broadcasts a signed discover packet on UDP (to the subnet's
// broadcast address, and unicast to every stored terminal), opens a TCP
// connection to each stored terminal to hand over this device's handshake,
// listens for discover packets and serves handshakes on TCP, all repeated
// every LAN tick (3.0 s). Over Bluetooth LE it writes the own handshake to
// every connected terminal, lets the transport connect every terminal it
// sees, and repeats every 5.0 s. Every accepted handshake is merged into
// discovered_terminal and terminal_service and reported: onScanTerminalInfo
// first, then onScanTerminal for each offered service type. It also carries
// the pairing request (sendAuthWithActiveIpAndMsg).
//
// Protections against misbehaving peers: each sender of datagrams is
// answered at most once per LAN tick and has at most one handshake
// connection in flight; TCP text is reassembled per connection as bytes,
// capped (DiscoveryConfig::maxHandshakeBytes), scanned once for its end and
// parsed once when complete; handshakes without a serial number and service
// entries without a "serviceId" text or number or of another shape never
// reach the database; no received value is kept deeper than a fixed number
// of levels.
//
// Threads: lives on the main loop; every public member is called there and
// every callback (sockets, Bluetooth LE, timers) arrives there. No locks.
//
// Ownership: the manager refers to its collaborators, which outlive it;
// delegates are held weakly. One process-wide instance (sharedInstance(),
// wired to the production singletons); tests build their own with fakes or
// loopback sockets. Non-copyable.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log_file.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/discovery_config.h"
#include "veltrix/registry/json_text_scanner.h"
#include "veltrix/registry/service_categories.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/tcp_socket_client.h"
#include "veltrix/transport/tcp_socket_server.h"

namespace veltrix::registry {

class BroadcastReceiver;
class BroadcastSender;
class CommunicationSettings;
using LogFile = platform::LogFile;
class AuthManagerDelegate;
struct HandshakeBean;
struct OwnDeviceInfo;

// Where discovery's results go. Every call arrives on the main loop; a
// method left alone does nothing.
class DiscoverManager : public transport::TCPSocketClientDelegate,
                        public transport::TCPSocketServerDelegate,
                        public transport::BleDiscoveryDelegate,
                        public DiscoveryControl {
 public:
  struct Collaborators {
    DatabaseManager& database;
    transport::TCPSocketClient& tcpClient;
    transport::TCPSocketServer& tcpServer;
    BroadcastSender& broadcastSender;
    BroadcastReceiver& broadcastReceiver;
    transport::BleDiscoveryTransport& ble;
    CommunicationSettings& settings;
    LogFile& logFile;
  };

  // The process-wide manager over the production singletons, made on first
  // use (on the main loop).
  static DiscoverManager& sharedInstance();

  // Becomes the Bluetooth LE transport's delegate, points the UDP
  // receiver's own-address test at the Wi-Fi address and loads the
  // service categories.
  explicit DiscoverManager(Collaborators collaborators, DiscoveryConfig config = {});
  ~DiscoverManager() override;
  DiscoverManager(const DiscoverManager&) = delete;
  DiscoverManager& operator=(const DiscoverManager&) = delete;

  // ---- scan -----------------------------------------------------------------
  // Starts a scan (ignored, with a log line, while one runs). The two
  // connection-method settings are read here.
  void startScan() override;
  // Stops timers and sockets and forgets this scan's state. The delegate,
  // the Bluetooth LE transport (its connections go on and their handshakes
  // are still registered), the sending UDP socket and the database stay.
  void stopScan() override;
  bool isScanning() const { return isScanning_; }

  void setDelegate(std::weak_ptr<DiscoverManagerDelegate> delegate) override;
  std::shared_ptr<DiscoverManagerDelegate> delegate() const override { return delegate_.lock(); }
  // Set by callers; nothing reads it.
  void setScanType(std::int32_t scanType) override { scanType_ = scanType; }
  std::int32_t scanType() const { return scanType_; }
  // Set by the pairing manager; cleared by stopScan(); never called.
  void setAuthDelegate(std::weak_ptr<AuthManagerDelegate> delegate);
  std::weak_ptr<AuthManagerDelegate> authDelegate() const { return authDelegate_; }

  // The configuration of the next scan (the running one keeps its own).
  void setConfig(DiscoveryConfig config);
  const DiscoveryConfig& config() const { return nextConfig_; }

  // ---- pairing --------------------------------------------------------------
  // Connects to `ip` on the terminals' TCP port and writes `msg` once the
  // connection is up. The line "auth tcp client discover ip:…,msg:…" goes
  // to the platform log and the log file. True only when a connection was
  // started and the text queued: false without ip or msg, for this
  // device's own address, when no LAN scan runs, or when the connect could
  // not start.
  bool sendAuthWithActiveIpAndMsg(const std::optional<std::string>& ip,
                                  const std::optional<std::string>& msg);

  // ---- what the sockets hand over (public for the transports and tests) -----
  // A datagram from `host` ("a.b.c.d", or with a prefix up to its last ":").
  void handleDiscoveryResponse(const std::optional<std::string>& message, const std::string& host);
  // A complete handshake text. `uuidString` is the serial number the
  // Bluetooth LE transport knows the sender by (type Ble only).
  void onReceivedMessage(const std::optional<std::string>& message,
                         const std::optional<std::string>& uuidString, HandshakeType type);

  // TCPSocketClientDelegate
  void didConnectToHost(const std::string& host, std::int64_t connectionId) override;
  void didDisconnectWithConnectionId(std::int64_t connectionId,
                                     const std::optional<platform::SocketError>& error) override;
  void didReceiveData(const std::vector<std::uint8_t>& data,
                      const platform::AsyncTcpSocket::Ptr& socket) override;
  void didWriteDataWithTag(std::int64_t tag, std::int64_t connectionId) override;
  // TCPSocketServerDelegate
  void clientDidConnect(const platform::AsyncTcpSocket::Ptr& socket) override;
  void clientDidDisconnect(const platform::AsyncTcpSocket::Ptr& socket) override;
  void didReceiveDataFromClient(const std::vector<std::uint8_t>& data,
                                const platform::AsyncTcpSocket::Ptr& client) override;
  // BleDiscoveryDelegate
  void didReceiveData(const std::string& text, const std::string& sn) override;

  // ---- offered, called by nothing in the library ----------------------------
  // stopScan(), then finishedScan to the delegate.
  void finishedScanMlan();
  void scanMlanWithPercent(float percent);
  // With no terminal connected over Bluetooth LE, connects every stored
  // terminal that has a Bluetooth LE identity and hands it the own
  // handshake; otherwise sends the handshake to every connected terminal.
  void initDiscoveryTimerBle();

  // ---- the network ----------------------------------------------------------
  // 10/8, 172.16/12 and 192.168/16, judged by the first two of exactly four
  // dot-separated parts.
  static bool isPrivateIP(std::string_view ip);
  // Octet by octet, address OR NOT netmask; nullopt unless both have four
  // parts.
  static std::optional<std::string> calculateBroadcastAddress(std::string_view ip,
                                                              std::string_view netmask);
  struct LocalNetworkInfo {
    std::string ip;
    std::string netmask;
  };
  // The first entry of the Wi-Fi interface that is IPv4, up, not loopback
  // and private.
  std::optional<LocalNetworkInfo> getLocalNetworkInfo2() const;
  // Its subnet's broadcast address; nullopt without such an entry.
  std::optional<std::string> calculateBroadcastAddress() const;
  // Of the first IPv4 interface that is up, not loopback and named "en…".
  std::optional<std::string> getBroadcastAddress() const;
  // This device's Wi-Fi address (the last IPv4 address of the Wi-Fi
  // interface), "error" without one.
  std::string wifiIPAddress() const;

  // ---- state (for observers and tests) --------------------------------------
  const std::vector<TerminalInfo>& activedIps() const { return activedIps_; }
  const std::optional<std::string>& broadcastAddress() const { return broadcastAddress_; }
  const std::optional<StringDictionary>& serviceDictionary() const { return serviceDictionary_; }
  // Texts waiting for their connection (handshakes, pairing requests).
  std::size_t pendingSendCount() const { return clientSendData_.size(); }
  // Bytes of TCP text not complete yet, over all connections.
  std::size_t bufferedTextBytes() const;
  // The ports listened on (0 before the first LAN pass).
  std::uint16_t udpListeningPort() const { return udpPort_; }
  std::uint16_t tcpListeningPort() const { return tcpPort_; }

 private:
  struct TcpBuffer {
    std::string bytes;
    JsonTextScanner scanner;  // over `bytes`, one piece at a time
    bool fromClient = false;  // an outgoing connection
    std::int64_t connectionId = transport::kNoConnectionId;
  };

  std::weak_ptr<DiscoverManager> weakSelf() const { return self_; }
  std::shared_ptr<DiscoverManagerDelegate> currentDelegate() const { return delegate_.lock(); }

  void startDeviceDiscovery();
  void cleanExistingSocketInstances();
  void initDiscoveryTimer();
  // One LAN tick's probe of the stored terminals: what it hands each of
  // them, and how far it got.
  struct ProbePass;
  static constexpr std::size_t kProbeTerminalsPerTask = 8;

  void scanHistoryTerminal();
  void probeNextChunk(std::shared_ptr<ProbePass> pass);
  // The rest of a LAN tick once every stored terminal was probed.
  void finishTick();
  void reportRecentServices(const Row& terminal);
  void scanMLanWithActiveIp(const std::string& ip);
  // Hands `ip` the own handshake made of `own`: a pass that probes every
  // stored terminal reads what it is made of once, and stamps each
  // terminal's handshake with the time of its own connection.
  void scanMLanWithActiveTcpIp(const std::string& ip, const OwnDeviceInfo& own);
  void scanMLanWithActiveIpAndMsg(const std::string& ip, const std::optional<std::string>& msg);
  // Connects for a handshake unless one is in flight to `ip`; the id, or
  // kNoConnectionId. The handshake is made of `own`, or of what is read now.
  std::int64_t connectForHandshake(const std::string& ip, const OwnDeviceInfo* own = nullptr);
  void listenForDatagrams();
  void sendBroadcast();
  // Drops every outgoing connection and what belonged to them.
  void disconnectClientConnections();
  bool shouldAnswer(const std::string& ip);
  void receiveTcpBytes(const std::vector<std::uint8_t>& data,
                       const platform::AsyncTcpSocket::Ptr& socket, bool fromClient);
  // Acceptance and registration of a received handshake.
  void registerHandshake(const HandshakeBean& bean, const std::optional<std::string>& uuidString,
                         HandshakeType type);
  bool isContentEqualsForActiove(const TerminalInfo& info) const;
  OwnDeviceInfo ownDeviceInfo();
  std::optional<std::string> ownHandshakeText(const OwnDeviceInfo* own = nullptr);
  void sendDiscoverServiceInfo();
  void sendDiscoverIByBLEDeviceConnection(const std::string& sn);
  void startBluetoothPass();

  DatabaseManager& database_;
  transport::TCPSocketClient& tcpClient_;
  transport::TCPSocketServer& tcpServer_;
  BroadcastSender& sender_;
  BroadcastReceiver& receiver_;
  transport::BleDiscoveryTransport& ble_;
  CommunicationSettings& settings_;
  LogFile& logFile_;

  DiscoveryConfig config_;      // of the running scan
  DiscoveryConfig nextConfig_;  // of the next one
  std::uint16_t udpPort_ = 0;
  std::uint16_t tcpPort_ = 0;

  // Owns nothing: weak references made from it expire with the manager
  // (the sockets' delegate slots, the timers, the datagram handler).
  std::shared_ptr<DiscoverManager> self_;

  bool isScanning_ = false;
  // Changes at every start and stop: work begun for one scan ends when the
  // delegate stops or restarts it from a report.
  std::uint64_t scanGeneration_ = 0;
  std::int32_t scanType_ = 0;
  std::weak_ptr<DiscoverManagerDelegate> delegate_;
  std::weak_ptr<AuthManagerDelegate> authDelegate_;
  std::vector<TerminalInfo> activedIps_;

  // Set while the LAN pass runs (the scan's sockets); null otherwise.
  BroadcastSender* broadcastSender_ = nullptr;
  BroadcastReceiver* broadcastReceiver_ = nullptr;
  transport::TCPSocketClient* tcpSocketClient_ = nullptr;
  transport::TCPSocketServer* tcpSocketServer_ = nullptr;

  std::shared_ptr<platform::RepeatingTimer> discoveryTimer_;
  std::shared_ptr<platform::RepeatingTimer> discoveryTimerBle_;
  std::optional<std::string> broadcastAddress_;
  std::optional<StringDictionary> serviceDictionary_;

  std::map<std::uint64_t, TcpBuffer> tcpBuffers_;          // by socket
  std::map<std::int64_t, std::string> clientSendData_;     // by connection id
  std::map<std::string, std::int64_t> handshakeInFlight_;  // host to connection id
  std::map<std::string, platform::TimePoint> answeredAt_;  // datagram senders
  // The probe pass under way; a later tick or a stop supersedes it.
  std::uint64_t probePass_ = 0;
};

}  // namespace veltrix::registry
