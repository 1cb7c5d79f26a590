// The scan itself: start and stop, the LAN pass and its tick, the
// Bluetooth LE pass and its tick, the network helpers.
#include "veltrix/registry/discover_manager.h"

#include <algorithm>
#include <utility>

#include "veltrix/platform/log.h"
#include "veltrix/platform/net_interfaces.h"
#include "veltrix/registry/broadcast_bean.h"
#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/transport/ble_discovery_adapter.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {

using transport::KVISOUtils;

namespace {

// The parts between dots, empty ones included.
std::vector<std::string_view> splitDots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

// The last IPv4 address of `interfaceName` (the platform's Wi-Fi interface
// when absent); "error" without one.
std::string wifiAddressOf(const std::optional<std::string>& interfaceName) {
  if (!interfaceName) return KVISOUtils::getWiFiIPAddress();
  const auto entries = platform::networkEnvironment()->interfaceAddresses();
  if (!entries) return "error";
  std::string address = "error";
  for (const platform::InterfaceAddress& entry : *entries) {
    if (entry.name == *interfaceName && entry.ipv4) address = *entry.ipv4;
  }
  return address;
}

std::string dictionaryText(const StringDictionary& dictionary) {
  std::string text = "{";
  for (const auto& [key, value] : dictionary) {
    text += fmt::format("\n    \"{}\" = {};", key, value);
  }
  text += "\n}";
  return text;
}

// The text before the first ":".
std::string hostPart(std::string_view address) {
  return std::string(address.substr(0, address.find(':')));
}

}  // namespace

struct DiscoverManager::ProbePass {
  OwnDeviceInfo own;
  std::vector<std::string> ips;
  std::size_t next = 0;
  std::uint64_t id = 0;
};

DiscoverManager& DiscoverManager::sharedInstance() {
  // Never destroyed: sockets of the other singletons may still report to it
  // while the process exits.
  static auto* manager = new DiscoverManager(
      Collaborators{DatabaseManager::sharedManager(), transport::TCPSocketClient::sharedInstance(),
                    transport::TCPSocketServer::sharedInstance(), BroadcastSender::sharedInstance(),
                    BroadcastReceiver::sharedInstance(), transport::BLEDiscoveryAdapter::shared(),
                    StoredCommunicationSettings::shared(), FileLogger::sharedLogger()});
  return *manager;
}

DiscoverManager::DiscoverManager(Collaborators c, DiscoveryConfig config)
    : database_(c.database),
      tcpClient_(c.tcpClient),
      tcpServer_(c.tcpServer),
      sender_(c.broadcastSender),
      receiver_(c.broadcastReceiver),
      ble_(c.ble),
      settings_(c.settings),
      logFile_(c.logFile),
      config_(config),
      nextConfig_(std::move(config)),
      udpPort_(config_.udpPort),
      tcpPort_(config_.tcpPort),
      self_(std::make_shared<int>(0), this) {
  ble_.setDelegate(std::weak_ptr<transport::BleDiscoveryDelegate>(self_));
  receiver_.setOwnAddressLookup([interfaceName = config_.wifiInterface] {
    std::string own = wifiAddressOf(interfaceName);
    return own == "error" ? std::nullopt : std::optional<std::string>(std::move(own));
  });
  serviceDictionary_ = loadServiceCategories();
  platform::logf("service list = {}",
                 serviceDictionary_ ? dictionaryText(*serviceDictionary_) : "(null)");
}

DiscoverManager::~DiscoverManager() {
  stopScan();
  // Expires every weak reference the sockets, timers and the Bluetooth LE
  // transport still hold.
  self_.reset();
}

void DiscoverManager::setDelegate(std::weak_ptr<DiscoverManagerDelegate> delegate) {
  delegate_ = std::move(delegate);
}

void DiscoverManager::setAuthDelegate(std::weak_ptr<AuthManagerDelegate> delegate) {
  authDelegate_ = std::move(delegate);
}

void DiscoverManager::setConfig(DiscoveryConfig config) {
  nextConfig_ = std::move(config);
  if (!isScanning_) config_ = nextConfig_;
}

// ---- start and stop ---------------------------------------------------------------------------

void DiscoverManager::startScan() {
  platform::logLine("discover startScan");
  if (isScanning_) {
    platform::logLine("扫描已在运行中，忽略重复启动");
    return;
  }
  stopScan();
  isScanning_ = true;
  ++scanGeneration_;
  config_ = nextConfig_;
  // A port of 0 is picked at the first bind and kept, so peers can be told.
  if (config_.udpPort != 0) udpPort_ = config_.udpPort;
  if (config_.tcpPort != 0) tcpPort_ = config_.tcpPort;
  activedIps_.clear();
  clientSendData_.clear();
  startDeviceDiscovery();
}

void DiscoverManager::startDeviceDiscovery() {
  platform::logLine("startDeviceDiscovery");
  cleanExistingSocketInstances();

  if (settings_.getCommunicateTypeState(kCommunicateTypeLan)) {
    broadcastSender_ = &sender_;
    broadcastReceiver_ = &receiver_;
    tcpBuffers_.clear();
    sender_.setupSocket();
    tcpSocketServer_ = &tcpServer_;
    tcpSocketClient_ = &tcpClient_;
    tcpServer_.setDelegate(std::weak_ptr<transport::TCPSocketServerDelegate>(self_));
    tcpClient_.setDelegate(std::weak_ptr<transport::TCPSocketClientDelegate>(self_));
    receiver_.setOwnAddressLookup([interfaceName = config_.wifiInterface] {
      std::string own = wifiAddressOf(interfaceName);
      return own == "error" ? std::nullopt : std::optional<std::string>(std::move(own));
    });
    disconnectClientConnections();
    broadcastAddress_ = calculateBroadcastAddress();
    if (tcpServer_.startOnPort(tcpPort_, config_.bindAddress) && tcpPort_ == 0) {
      tcpPort_ = tcpServer_.listeningPort();
    }
    const std::uint64_t scan = scanGeneration_;
    const OwnDeviceInfo own = ownDeviceInfo();
    for (const Row& terminal : database_.fetchDiscoveredAllTerminal()) {
      reportRecentServices(terminal);
      // The delegate may have stopped (or restarted) the scan from the
      // report; the rest of this start belongs to a scan that is over.
      if (scan != scanGeneration_) return;
      const std::optional<std::string> address = rowText(terminal, "address");
      if (address && !address->empty()) {
        const std::string ip = hostPart(*address);
        scanMLanWithActiveIp(ip);
        scanMLanWithActiveTcpIp(ip, own);
      }
    }
    listenForDatagrams();
    sendBroadcast();
    auto weak = weakSelf();
    auto holder = std::make_shared<std::weak_ptr<platform::RepeatingTimer>>();
    discoveryTimer_ = platform::RepeatingTimer::start(
        platform::MainLoop::shared(), platform::seconds(config_.lanTickSeconds), [weak, holder] {
          if (auto self = weak.lock()) {
            self->initDiscoveryTimer();
          } else if (auto timer = holder->lock()) {
            timer->invalidate();
          }
        });
    *holder = discoveryTimer_;
  }

  if (settings_.getCommunicateTypeState(kCommunicateTypeBluetooth)) startBluetoothPass();
}

void DiscoverManager::cleanExistingSocketInstances() {
  if (tcpSocketClient_) tcpSocketClient_->disconnectConnection();
  if (tcpSocketServer_) tcpSocketServer_->stop();
  if (broadcastReceiver_) broadcastReceiver_->stopListening();
  if (tcpSocketClient_) tcpSocketClient_->setDelegate({});
  if (tcpSocketServer_) tcpSocketServer_->setDelegate({});
}

void DiscoverManager::stopScan() {
  isScanning_ = false;
  ++scanGeneration_;
  ++probePass_;
  if (discoveryTimer_) {
    discoveryTimer_->invalidate();
    discoveryTimer_.reset();
  }
  if (discoveryTimerBle_) {
    discoveryTimerBle_->invalidate();
    discoveryTimerBle_.reset();
  }
  if (tcpSocketServer_) tcpSocketServer_->stop();
  if (tcpSocketClient_) tcpSocketClient_->disconnectConnection();
  if (tcpSocketServer_) tcpSocketServer_->setDelegate({});
  if (tcpSocketClient_) tcpSocketClient_->setDelegate({});
  authDelegate_.reset();
  if (broadcastReceiver_) broadcastReceiver_->stopListening();
  activedIps_.clear();
  clientSendData_.clear();
  tcpBuffers_.clear();
  handshakeInFlight_.clear();
  answeredAt_.clear();
  broadcastSender_ = nullptr;
  broadcastReceiver_ = nullptr;
  tcpSocketClient_ = nullptr;
  tcpSocketServer_ = nullptr;
}

void DiscoverManager::finishedScanMlan() {
  stopScan();
  if (auto delegate = currentDelegate()) delegate->finishedScan();
}

void DiscoverManager::scanMlanWithPercent(float percent) {
  if (auto delegate = currentDelegate()) delegate->scanPercent(percent);
}

// ---- the LAN pass -----------------------------------------------------------------------------

void DiscoverManager::initDiscoveryTimer() {
  if (!tcpSocketClient_) return;
  broadcastAddress_ = calculateBroadcastAddress();
  disconnectClientConnections();
  // Senders answered a whole tick ago may be answered again.
  const platform::TimePoint now = platform::clock().now();
  std::erase_if(answeredAt_, [&](const auto& entry) {
    return now - entry.second >= platform::seconds(config_.lanTickSeconds);
  });
  scanHistoryTerminal();
}

void DiscoverManager::finishTick() {
  if (!tcpSocketServer_) return;
  if (tcpSocketServer_->startOnPort(tcpPort_, config_.bindAddress) && tcpPort_ == 0) {
    tcpPort_ = tcpSocketServer_->listeningPort();
  }
  listenForDatagrams();
  sendBroadcast();
}

void DiscoverManager::scanHistoryTerminal() {
  auto pass = std::make_shared<ProbePass>();
  pass->id = ++probePass_;
  for (const Row& terminal : database_.fetchDiscoveredAllTerminal()) {
    const std::optional<std::string> address = rowText(terminal, "address");
    if (address && !address->empty()) pass->ips.push_back(hostPart(*address));
  }
  // Read only for a pass that hands it to someone: every tick runs this.
  if (!pass->ips.empty()) pass->own = ownDeviceInfo();
  probeNextChunk(std::move(pass));
}

void DiscoverManager::probeNextChunk(std::shared_ptr<ProbePass> pass) {
  // Every stored terminal costs a datagram and a connect; a few hundred of
  // them in one go would hold the main loop past a frame. The pass goes on
  // in bounded steps, in the same order, with the loop's other work between.
  const std::size_t end = std::min(pass->ips.size(), pass->next + kProbeTerminalsPerTask);
  for (; pass->next < end; ++pass->next) {
    scanMLanWithActiveIp(pass->ips[pass->next]);
    scanMLanWithActiveTcpIp(pass->ips[pass->next], pass->own);
  }
  if (pass->next < pass->ips.size()) {
    platform::MainLoop::shared().post([weak = weakSelf(), pass = std::move(pass)]() mutable {
      auto self = weak.lock();
      // A stop or restart in between ends the pass where it stands.
      if (!self || pass->id != self->probePass_) return;
      self->probeNextChunk(std::move(pass));
    });
    return;
  }
  finishTick();
}

void DiscoverManager::reportRecentServices(const Row& terminal) {
  const std::int64_t last = rowInt(terminal, "lastDiscoverTime");
  platform::logf("lastDiscoverTime = {}", last);
  const std::int64_t interval = platform::nowMillis() - last;
  platform::logf("scan interval = {}", interval);
  if (interval < 1 || interval >= config_.recentWindowMillis) return;
  const std::optional<std::string> sn = rowText(terminal, "sn");
  const std::uint64_t scan = scanGeneration_;
  for (const Row& service : database_.fetchTerminalServicesWithSn(sn)) {
    if (scan != scanGeneration_) return;
    ServiceInfo info;
    info.deviceSn = sn;
    info.serviceSn = sn;
    info.address = rowText(terminal, "address");
    info.parameter = rowText(terminal, "parameter");
    info.model = rowText(terminal, "model");
    info.serviceId = rowText(service, "serviceId");
    info.serviceName = rowText(service, "serviceName");
    info.serviceType = rowText(service, "serviceType");
    info.serviceTypeName = rowText(service, "serviceTypeName");
    if (auto delegate = currentDelegate()) delegate->onScanTerminal(info);
  }
}

void DiscoverManager::scanMLanWithActiveIp(const std::string& ip) {
  if (!broadcastSender_) return;
  if (const auto text = BroadcastBean::initBroadcastBean().toJSONString()) {
    broadcastSender_->sendBroadcastMessage(*text, config_.terminalUdpPort, ip);
  }
}

void DiscoverManager::scanMLanWithActiveTcpIp(const std::string& ip, const OwnDeviceInfo& own) {
  connectForHandshake(ip, &own);
}

std::int64_t DiscoverManager::connectForHandshake(const std::string& ip, const OwnDeviceInfo* own) {
  if (!tcpSocketClient_) return transport::kNoConnectionId;
  if (handshakeInFlight_.contains(ip)) {
    platform::logf("handshake with {} already in progress", ip);
    return transport::kNoConnectionId;
  }
  const std::int64_t id = tcpSocketClient_->connectToHost(ip, config_.terminalTcpPort);
  platform::logf("connectionId = {}", id);
  if (id < 1) {
    platform::logLine("TCP 客户端连接失败");
    return id;
  }
  handshakeInFlight_[ip] = id;
  if (auto text = ownHandshakeText(own)) clientSendData_[id] = std::move(*text);
  return id;
}

void DiscoverManager::listenForDatagrams() {
  // The scan's field, not the collaborator: after a stop nothing listens.
  if (!broadcastReceiver_) return;
  broadcastReceiver_->setMessageHandler(
      [weak = weakSelf()](const std::optional<std::string>& message, const std::string& host) {
        if (auto self = weak.lock()) self->handleDiscoveryResponse(message, host);
      });
  if (broadcastReceiver_->startListeningOnPort(udpPort_, config_.bindAddress) && udpPort_ == 0) {
    udpPort_ = broadcastReceiver_->listeningPort();
  }
}

void DiscoverManager::sendBroadcast() {
  if (!broadcastSender_) return;
  if (const auto text = BroadcastBean::initBroadcastBean().toJSONString()) {
    broadcastSender_->sendBroadcastMessage(*text, config_.terminalUdpPort, broadcastAddress_);
  }
}

void DiscoverManager::disconnectClientConnections() {
  if (tcpSocketClient_) tcpSocketClient_->disconnectConnection();
  // Those connections can no longer be written to or read from.
  clientSendData_.clear();
  handshakeInFlight_.clear();
  std::erase_if(tcpBuffers_, [](const auto& entry) { return entry.second.fromClient; });
}

OwnDeviceInfo DiscoverManager::ownDeviceInfo() {
  return OwnDeviceInfo::current(database_, settings_, wifiIPAddress(), config_.httpServicePort);
}

std::optional<std::string> DiscoverManager::ownHandshakeText(const OwnDeviceInfo* own) {
  HandshakeBean bean = HandshakeBean::initBeanWithSelfInfo(own ? *own : ownDeviceInfo());
  return bean.toJSONString();
}

// ---- the Bluetooth LE pass --------------------------------------------------------------------

void DiscoverManager::startBluetoothPass() {
  const std::uint64_t scan = scanGeneration_;
  sendDiscoverServiceInfo();
  platform::logLine("start send discover info");
  if (scan != scanGeneration_) return;
  ble_.scanAndAutoConnect([weak = weakSelf()](const std::optional<std::string>& sn) {
    auto self = weak.lock();
    if (!self || !sn) return;
    platform::logLine("send discover request");
    self->sendDiscoverIByBLEDeviceConnection(*sn);
  });
  auto weak = weakSelf();
  auto holder = std::make_shared<std::weak_ptr<platform::RepeatingTimer>>();
  discoveryTimerBle_ = platform::RepeatingTimer::start(
      platform::MainLoop::shared(), platform::seconds(config_.bleTickSeconds), [weak, holder] {
        if (auto self = weak.lock()) {
          self->sendDiscoverServiceInfo();
        } else if (auto timer = holder->lock()) {
          timer->invalidate();
        }
      });
  *holder = discoveryTimerBle_;
}

void DiscoverManager::sendDiscoverServiceInfo() {
  const std::vector<std::string> devices = ble_.connectedDeviceSns();
  platform::logf("ble terminal count = {}", devices.size());
  for (const std::string& sn : devices) {
    platform::logLine("send discover request");
    sendDiscoverIByBLEDeviceConnection(sn);
  }
}

void DiscoverManager::sendDiscoverIByBLEDeviceConnection(const std::string& sn) {
  if (const auto text = ownHandshakeText()) ble_.sendDiscoveryText(*text, sn);
}

void DiscoverManager::initDiscoveryTimerBle() {
  if (!ble_.connectedDeviceSns().empty()) {
    platform::logLine("discover terminals");
    sendDiscoverServiceInfo();
    return;
  }
  for (const Row& terminal : database_.fetchDiscoveredAllTerminal()) {
    const std::optional<std::string> sn = rowText(terminal, "sn");
    const std::optional<std::string> uuid = rowText(terminal, "uuidString");
    platform::logf("ble connect : sn = {},uuid: {}", sn.value_or("(null)"),
                   uuid.value_or("(null)"));
    if (!uuid || uuid->empty()) continue;
    ble_.connectPeripheralWithSN(
        sn, [weak = weakSelf(), uuid](bool connected, const std::optional<std::string>& failure,
                                      const std::optional<std::string>& connectedSn) {
          auto self = weak.lock();
          if (!self) return;
          if (connected && connectedSn) {
            self->sendDiscoverIByBLEDeviceConnection(*connectedSn);
          } else {
            platform::logf("msg = {}, uuid = {}", failure.value_or("(null)"), *uuid);
          }
        });
  }
}

// ---- the network ------------------------------------------------------------------------------

bool DiscoverManager::isPrivateIP(std::string_view ip) {
  const std::vector<std::string_view> parts = splitDots(ip);
  if (parts.size() != 4) return false;
  const std::int64_t a = leadingInteger(parts[0]);
  const std::int64_t b = leadingInteger(parts[1]);
  return a == 10 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168);
}

std::optional<std::string> DiscoverManager::calculateBroadcastAddress(std::string_view ip,
                                                                      std::string_view netmask) {
  const std::vector<std::string_view> address = splitDots(ip);
  const std::vector<std::string_view> mask = splitDots(netmask);
  if (address.size() != 4 || mask.size() != 4) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::int64_t octet = leadingInteger(address[i]) | (~leadingInteger(mask[i]) & 255);
    if (i > 0) out += '.';
    out += std::to_string(octet);
  }
  return out;
}

std::optional<DiscoverManager::LocalNetworkInfo> DiscoverManager::getLocalNetworkInfo2() const {
  const auto entries = platform::networkEnvironment()->interfaceAddresses();
  if (!entries) return std::nullopt;
  const std::optional<std::string> wifi =
      config_.wifiInterface ? config_.wifiInterface : platform::wifiInterfaceName(*entries);
  if (!wifi) return std::nullopt;
  for (const platform::InterfaceAddress& entry : *entries) {
    if (entry.name != *wifi || !entry.ipv4 || !entry.ipv4Netmask) continue;
    if (!entry.up || entry.loopback || !isPrivateIP(*entry.ipv4)) continue;
    return LocalNetworkInfo{*entry.ipv4, *entry.ipv4Netmask};
  }
  return std::nullopt;
}

std::optional<std::string> DiscoverManager::calculateBroadcastAddress() const {
  const std::optional<LocalNetworkInfo> info = getLocalNetworkInfo2();
  if (!info) return std::nullopt;
  return calculateBroadcastAddress(info->ip, info->netmask);
}

std::optional<std::string> DiscoverManager::getBroadcastAddress() const {
  const auto entries = platform::networkEnvironment()->interfaceAddresses();
  if (!entries) return std::nullopt;
  for (const platform::InterfaceAddress& entry : *entries) {
    if (!entry.ipv4 || !entry.ipv4Netmask || !entry.up || entry.loopback) continue;
    if (!entry.name.starts_with("en")) continue;
    platform::logf("localIP = {}", *entry.ipv4);
    platform::logf("netmaskIP = {}", *entry.ipv4Netmask);
    return calculateBroadcastAddress(*entry.ipv4, *entry.ipv4Netmask);
  }
  return std::nullopt;
}

std::string DiscoverManager::wifiIPAddress() const { return wifiAddressOf(config_.wifiInterface); }

// ---- pairing ----------------------------------------------------------------------------------

bool DiscoverManager::sendAuthWithActiveIpAndMsg(const std::optional<std::string>& ip,
                                                 const std::optional<std::string>& msg) {
  const std::string line = fmt::format("auth tcp client discover ip:{},msg:{}",
                                       ip.value_or("(null)"), msg.value_or("(null)"));
  platform::logLine(line);
  logFile_.logMessage(line);
  if (!ip || !msg || *ip == wifiIPAddress()) return false;
  if (!tcpSocketClient_) return false;  // no LAN scan running
  const std::int64_t id = tcpSocketClient_->connectToHost(*ip, config_.terminalTcpPort);
  if (id == transport::kNoConnectionId) return false;
  clientSendData_[id] = *msg;
  return true;
}

}  // namespace veltrix::registry
