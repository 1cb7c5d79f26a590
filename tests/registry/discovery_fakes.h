// Stand-ins for discovery's collaborators that record what they are asked
// to do and send nothing anywhere: the scan's packets and connections
// become entries of one event list, in call order.
#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/tcp_socket_client.h"
#include "veltrix/transport/tcp_socket_server.h"

namespace veltrix::registry::fakes {

using Events = std::vector<std::string>;

class Sender final : public BroadcastSender {
 public:
  explicit Sender(Events& events) : BroadcastSender(std::string("127.0.0.1")), events_(events) {}
  using BroadcastSender::setupSocket;
  void setupSocket() override { events_.push_back("udp.setup"); }
  void sendBroadcastMessage(std::string_view message, std::uint16_t port,
                            const std::optional<std::string>& host) override {
    events_.push_back(fmt::format("udp.send {}:{}", host.value_or("(null)"), port));
    messages.emplace_back(message);
  }
  std::vector<std::string> messages;

 private:
  Events& events_;
};

class Receiver final : public BroadcastReceiver {
 public:
  explicit Receiver(Events& events) : events_(events) {}
  bool startListeningOnPort(std::uint16_t port, const std::optional<std::string>&) override {
    events_.push_back(fmt::format("udp.listen {}", port));
    return true;
  }
  void stopListening() override { events_.push_back("udp.stop"); }

 private:
  Events& events_;
};

class Client final : public transport::TCPSocketClient {
 public:
  explicit Client(Events& events) : events_(events) {}
  std::int64_t connectToHost(const std::string& host, std::int64_t port) override {
    events_.push_back(fmt::format("tcp.connect {}:{}", host, port));
    if (onConnect) onConnect();
    if (refuse) return transport::kNoConnectionId;
    return nextId++;
  }
  void sendData(std::string_view text, std::int64_t id) override {
    events_.push_back(fmt::format("tcp.send {}", id));
    sent[id] = std::string(text);
  }
  void disconnectConnection() override { events_.emplace_back("tcp.disconnectAll"); }
  void disconnectConnection(std::int64_t id) override {
    events_.push_back(fmt::format("tcp.disconnect {}", id));
  }
  std::int64_t nextId = 1;
  bool refuse = false;
  std::function<void()> onConnect;
  std::map<std::int64_t, std::string> sent;

 private:
  Events& events_;
};

class Server final : public transport::TCPSocketServer {
 public:
  explicit Server(Events& events) : events_(events) {}
  bool startOnPort(std::uint16_t port, const std::optional<std::string>&) override {
    events_.push_back(fmt::format("tcp.listen {}", port));
    return true;
  }
  void stop() override { events_.push_back("tcp.stop"); }

 private:
  Events& events_;
};

class Ble final : public transport::BleDiscoveryTransport {
 public:
  void setDelegate(std::weak_ptr<transport::BleDiscoveryDelegate> d) override { delegate = d; }
  std::vector<std::string> connectedDeviceSns() const override { return connected; }
  void sendDiscoveryText(std::string_view text, const std::string& sn) override {
    sent.emplace_back(sn, std::string(text));
  }
  void scanAndAutoConnect(transport::BleAutoConnectCompletion c) override {
    ++scans;
    completion = std::move(c);
  }
  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               transport::BleConnectCompletion c) override {
    c(false, std::string("Device not found"), sn);
  }
  std::weak_ptr<transport::BleDiscoveryDelegate> delegate;
  std::vector<std::string> connected;
  std::vector<std::pair<std::string, std::string>> sent;  // (sn, text)
  transport::BleAutoConnectCompletion completion;
  int scans = 0;
};

struct Settings final : CommunicationSettings {
  bool lan = true;
  bool ble = false;
  bool getCommunicateTypeState(std::int64_t type) override {
    return type == kCommunicateTypeLan ? lan : type == kCommunicateTypeBluetooth && ble;
  }
};

struct LogFileLines final : LogFile {
  void logMessage(std::string_view message) override { lines.emplace_back(message); }
  std::vector<std::string> lines;
};

// Records every delegate call as a line: "terminal <sn>" and
// "service <sn> <type> <id>".
struct Recorder final : DiscoverManagerDelegate {
  void onScanTerminal(const ServiceInfo& info) override {
    calls.push_back(fmt::format("service {} {} {}", info.serviceSn.value_or("-"),
                                info.serviceType.value_or("-"), info.serviceId.value_or("-")));
    services.push_back(info);
  }
  void onScanTerminalInfo(const TerminalInfo& info) override {
    calls.push_back("terminal " + info.sn.value_or("-"));
    terminals.push_back(info);
  }
  void finishedScan() override { calls.push_back("finished"); }
  std::vector<std::string> calls;
  std::vector<ServiceInfo> services;
  std::vector<TerminalInfo> terminals;
};

// Stands between a real TCP server and the manager and times how long the
// manager takes over each read (on the main loop, in real time), per
// connection.
struct TimedReads final : transport::TCPSocketServerDelegate {
  struct Connection {
    std::chrono::steady_clock::duration longest{};
    std::size_t reads = 0;
    std::size_t bytes = 0;
    std::int64_t longestMillis() const {
      return std::chrono::duration_cast<std::chrono::milliseconds>(longest).count();
    }
  };

  explicit TimedReads(DiscoverManager& manager) : manager(manager) {}
  void clientDidConnect(const platform::AsyncTcpSocket::Ptr& socket) override {
    manager.clientDidConnect(socket);
  }
  void clientDidDisconnect(const platform::AsyncTcpSocket::Ptr& socket) override {
    manager.clientDidDisconnect(socket);
  }
  void didReceiveDataFromClient(const std::vector<std::uint8_t>& data,
                                const platform::AsyncTcpSocket::Ptr& client) override {
    const auto start = std::chrono::steady_clock::now();
    manager.didReceiveDataFromClient(data, client);
    Connection& c = connections[client->id()];
    c.longest = std::max(c.longest, std::chrono::steady_clock::now() - start);
    ++c.reads;
    c.bytes += data.size();
  }
  // The connection that brought the most bytes.
  Connection largest() const {
    Connection out;
    for (const auto& [id, c] : connections) {
      if (c.bytes > out.bytes) out = c;
    }
    return out;
  }

  DiscoverManager& manager;
  std::map<std::uint64_t, Connection> connections;  // by socket
};

}  // namespace veltrix::registry::fakes
