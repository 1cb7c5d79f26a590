// What comes back during a scan: datagrams, TCP text and Bluetooth LE
// replies, and the acceptance and registration of a handshake.
#include <map>
#include <utility>

#include "veltrix/platform/log.h"
#include "veltrix/registry/broadcast_bean.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/discovery_json.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/registry/json_text_scanner.h"

namespace veltrix::registry {

using platform::Json;

namespace {

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

// A terminal's stored services by (service type, identifier): the first
// enabled row of each, in table order, as a lookup of the table by serial
// number, type and identifier finds it.
class EnabledServices {
 public:
  explicit EnabledServices(const Rows& rows) {
    for (const Row& row : rows) {
      if (rowInt(row, "isEnabled") != 1) continue;
      std::optional<std::string> type = rowText(row, "serviceType");
      std::optional<std::string> id = rowText(row, "serviceId");
      if (type && id) byKey_.try_emplace({std::move(*type), std::move(*id)}, &row);
    }
  }
  const Row* find(const ServiceInfo& service) const {
    // A missing key is NULL to SQL, which matches nothing.
    if (!service.serviceType || !service.serviceId) return nullptr;
    const auto it = byKey_.find({*service.serviceType, *service.serviceId});
    return it == byKey_.end() ? nullptr : it->second;
  }

 private:
  std::map<std::pair<std::string, std::string>, const Row*> byKey_;
};

}  // namespace

// ---- datagrams --------------------------------------------------------------------------------

void DiscoverManager::handleDiscoveryResponse(const std::optional<std::string>& message,
                                              const std::string& host) {
  const std::size_t colon = host.rfind(':');
  const std::string ip = colon == std::string::npos ? host : host.substr(colon + 1);
  // Answering every datagram would make two scanners (or a terminal that
  // answers every datagram) ping-pong for ever.
  if (shouldAnswer(ip)) scanMLanWithActiveIp(ip);
  scanMLanWithActiveIpAndMsg(ip, message);
}

bool DiscoverManager::shouldAnswer(const std::string& ip) {
  const platform::TimePoint now = platform::clock().now();
  const auto it = answeredAt_.find(ip);
  if (it != answeredAt_.end() && now - it->second < platform::seconds(config_.lanTickSeconds)) {
    platform::logf("discover packet from {} already answered in this tick", ip);
    return false;
  }
  answeredAt_[ip] = now;
  return true;
}

void DiscoverManager::scanMLanWithActiveIpAndMsg(const std::string& ip,
                                                 const std::optional<std::string>& msg) {
  if (ip == wifiIPAddress()) return;
  const std::optional<Json> packet = dictionaryFromJSONString(msg);
  if (!packet) return;
  const std::optional<BroadcastBean> bean = BroadcastBean::fromPacket(*packet);
  if (!bean || !bean->checkBean()) return;
  connectForHandshake(ip);
}

// ---- TCP --------------------------------------------------------------------------------------

void DiscoverManager::didConnectToHost(const std::string& /*host*/, std::int64_t connectionId) {
  const auto it = clientSendData_.find(connectionId);
  if (it == clientSendData_.end()) return;
  const std::string text = std::move(it->second);
  clientSendData_.erase(it);
  if (tcpSocketClient_) tcpSocketClient_->sendData(text, connectionId);
}

void DiscoverManager::didDisconnectWithConnectionId(
    std::int64_t connectionId, const std::optional<platform::SocketError>& error) {
  platform::logf("Disconnected from server - connectionId:{} error:{}", connectionId,
                 error ? error->toString() : std::string("(null)"));
  clientSendData_.erase(connectionId);
  std::erase_if(handshakeInFlight_,
                [&](const auto& entry) { return entry.second == connectionId; });
  std::erase_if(tcpBuffers_, [&](const auto& entry) {
    return entry.second.fromClient && entry.second.connectionId == connectionId;
  });
}

void DiscoverManager::didWriteDataWithTag(std::int64_t tag, std::int64_t connectionId) {
  platform::logf("数据写入完成 - connectionId:{} tag:{}", connectionId, tag);
}

void DiscoverManager::didReceiveData(const std::vector<std::uint8_t>& data,
                                     const platform::AsyncTcpSocket::Ptr& socket) {
  platform::logLine("tcp client data");
  receiveTcpBytes(data, socket, true);
}

void DiscoverManager::clientDidConnect(const platform::AsyncTcpSocket::Ptr& /*socket*/) {}

void DiscoverManager::clientDidDisconnect(const platform::AsyncTcpSocket::Ptr& socket) {
  if (socket) tcpBuffers_.erase(socket->id());
}

void DiscoverManager::didReceiveDataFromClient(const std::vector<std::uint8_t>& data,
                                               const platform::AsyncTcpSocket::Ptr& client) {
  receiveTcpBytes(data, client, false);
}

void DiscoverManager::receiveTcpBytes(const std::vector<std::uint8_t>& data,
                                      const platform::AsyncTcpSocket::Ptr& socket,
                                      bool fromClient) {
  if (!socket || data.empty()) return;
  const std::optional<std::string> host = socket->connectedHost();
  if (!host) return;
  // One buffer per connection, of bytes: a character split between two
  // reads is decoded once both halves are there, and nothing left over
  // from one connection reaches the next.
  auto [it, inserted] = tcpBuffers_.try_emplace(socket->id());
  TcpBuffer& buffer = it->second;
  if (inserted) {
    buffer.fromClient = fromClient;
    if (fromClient && tcpSocketClient_) {
      buffer.connectionId = tcpSocketClient_->getConnectionIdForSocket(socket);
    }
  }
  const std::string_view piece(reinterpret_cast<const char*>(data.data()), data.size());
  buffer.bytes.append(piece);
  if (buffer.bytes.size() > config_.maxHandshakeBytes) {
    platform::logf("TCP text from {} exceeds {} bytes; connection closed", *host,
                   config_.maxHandshakeBytes);
    tcpBuffers_.erase(it);
    socket->disconnect();
    return;
  }
  // Only the new piece is looked at: a peer that trickles its text costs
  // no more than one that sends it at once.
  switch (buffer.scanner.append(piece)) {
    case JsonTextScanner::State::kIncomplete:
      return;
    case JsonTextScanner::State::kInvalid:
      platform::logf("TCP text from {} is not one JSON text; connection closed", *host);
      tcpBuffers_.erase(it);
      socket->disconnect();
      return;
    case JsonTextScanner::State::kComplete:
      break;
  }
  // The one parse of the text. One that does not parse is complete too (no
  // more bytes can mend it) and closes the connection like any other.
  std::string error;
  const std::optional<Json> json = platform::parseJson(
      std::string_view(buffer.bytes)
          .substr(buffer.scanner.begin(), buffer.scanner.end() - buffer.scanner.begin()),
      &error);
  tcpBuffers_.erase(it);
  if (json) {
    registerHandshake(HandshakeBean::fromJson(*json), std::nullopt, HandshakeType::Lan);
  } else {
    platform::logf("TCP text from {} is not JSON: {}", *host, error);
  }
  socket->disconnect();
}

std::size_t DiscoverManager::bufferedTextBytes() const {
  std::size_t total = 0;
  for (const auto& [socket, buffer] : tcpBuffers_) total += buffer.bytes.size();
  return total;
}

// ---- Bluetooth LE -----------------------------------------------------------------------------

void DiscoverManager::didReceiveData(const std::string& text, const std::string& sn) {
  platform::logLine("ble discover data");
  onReceivedMessage(text, sn, HandshakeType::Ble);
}

// ---- acceptance and registration --------------------------------------------------------------

void DiscoverManager::onReceivedMessage(const std::optional<std::string>& message,
                                        const std::optional<std::string>& uuidString,
                                        HandshakeType type) {
  if (!message) return;
  registerHandshake(HandshakeBean::initHandshakeBean(*message), uuidString, type);
}

void DiscoverManager::registerHandshake(const HandshakeBean& bean,
                                        const std::optional<std::string>& uuidString,
                                        HandshakeType type) {
  if (!bean.services) return;
  if (bean.contentType != Content_Type || bean.protocolVersion != Protocol_Version) {
    platform::logLine("not support this terminal");
    return;
  }
  const TerminalInfo info = TerminalInfo::initWithHandshakeBean(bean, uuidString, type);
  if (!info.services || info.services->empty()) return;
  // Without a serial number there is no row to attach its services to.
  if (!present(info.sn)) {
    platform::logLine("not support this terminal");
    return;
  }

  const std::string now = std::to_string(platform::nowMillis());
  const Row stored = database_.fetchDiscoveredTerminal(info.sn);
  if (stored.contains("sn")) {
    // Each side may lack a parameter; a missing one never erases the other.
    std::optional<std::string> parameter = rowText(stored, "parameter");
    if (!present(parameter)) {
      parameter = info.parameter;
    } else if (present(info.parameter) && parameter->find(*info.parameter) == std::string::npos) {
      parameter = fmt::format("{},{}", *parameter, *info.parameter);
    }
    bool updated = true;
    if (type == HandshakeType::Lan) {
      const std::optional<std::string> address =
          bean.address ? bean.address : rowText(stored, "address");
      updated =
          database_.updateLastDiscoverTerminalAddressParameter(info.sn, address, parameter, now);
    } else if (type == HandshakeType::Ble) {
      updated = database_.updateLastDiscoverTerminalParameterUuidString(info.sn, parameter,
                                                                        info.uuidString, now);
    }
    if (!updated) platform::logLine("更新终端最后发现时间失败");
  } else if (!database_.insertDiscoveredTerminal(
                 info.sn, info.model, info.address, info.parameter, info.address, 1,
                 info.isCommuincationDevice ? 1 : 0, info.isPeripheral ? 1 : 0, now, now,
                 info.uuidString)) {
    platform::logLine("insertDiscoveredTerminal failed");
  }

  if (auto delegate = currentDelegate()) delegate->onScanTerminalInfo(info);

  // One record per (entry, service type code), in the handshake's order;
  // entries of another shape are skipped.
  std::vector<ServiceInfo> services;
  for (const Json& entry : *info.services) {
    if (!entry.is_object()) continue;
    // Without an identifier no stored row can ever match the entry: each
    // handshake would add its rows again.
    const std::optional<std::string> serviceId = lenientText(entry, "serviceId");
    if (!serviceId) continue;
    const Json* types = platform::findObject(entry, "serviceType");
    if (types == nullptr) continue;
    for (const auto& [code, name] : types->items()) {
      Json base = Json::object();
      base["serviceId"] = *serviceId;
      base["serviceName"] = platform::jsonTextOrNull(lenientText(entry, "serviceName"));
      base["serviceType"] = code;
      base["serviceTypeName"] = platform::jsonTextOrNull(platform::jsonText(name));
      services.push_back(ServiceInfo::initWithServices(info, base));
    }
  }

  // The terminal's services are read once for the whole handshake, and
  // those it offers again are refreshed in one transaction: a terminal
  // offers many service types, and a lookup and a commit per type on the
  // main loop add up with every terminal that answers.
  const Rows storedServices = database_.fetchTerminalServicesWithSn(info.sn);
  const EnabledServices enabled(storedServices);
  Rows batch;
  std::vector<std::int64_t> refreshed;
  for (const ServiceInfo& service : services) {
    if (const Row* existing = enabled.find(service)) {
      refreshed.push_back(rowInt(*existing, "tsId"));
      continue;
    }
    std::string category(kUnknownServiceCategory);
    if (serviceDictionary_ && service.serviceType) {
      if (const auto it = serviceDictionary_->find(*service.serviceType);
          it != serviceDictionary_->end()) {
        category = it->second;
      }
    }
    Row row;
    const auto put = [&row](const char* key, const std::optional<std::string>& value) {
      if (value) row[key] = *value;
    };
    put("sn", service.serviceSn);
    put("serviceType", service.serviceType);
    put("serviceTypeName", service.serviceTypeName);
    put("serviceId", service.serviceId);
    put("serviceName", service.serviceName);
    row["isEnabled"] = std::int64_t{1};
    row["createTime"] = now;
    row["updateTime"] = now;
    row["serviceCategory"] = category;
    batch.push_back(std::move(row));
  }
  const auto refresh = [&] {
    for (const std::int64_t tsId : refreshed) {
      if (!database_.updataTerminalServiceLastTime(tsId, now)) {
        platform::logLine("更新终端最后发现时间失败");
      }
    }
    return true;
  };
  // Without a transaction (one could not begin, or its commit failed) each
  // service is refreshed on its own.
  if (!refreshed.empty() && !database_.performInTransaction(refresh)) refresh();
  for (const ServiceInfo& service : services) {
    if (auto delegate = currentDelegate()) delegate->onScanTerminal(service);
  }
  if (!batch.empty() && !database_.insertTerminalServicesBatch(batch)) {
    platform::logLine("insertTerminalServicesBatch failed");
  }

  if (!isContentEqualsForActiove(info)) activedIps_.push_back(info);
}

bool DiscoverManager::isContentEqualsForActiove(const TerminalInfo& info) const {
  for (const TerminalInfo& active : activedIps_) {
    if (active.sn == info.sn) return true;
  }
  return false;
}

}  // namespace veltrix::registry
