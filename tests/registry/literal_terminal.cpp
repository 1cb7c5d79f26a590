#include "registry/literal_terminal.h"

#include <fmt/format.h>

#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "veltrix/platform/bytes.h"
#include "veltrix/platform/crypto.h"

namespace veltrix::registry::testpeer {

using platform::AsyncTcpSocket;

std::string md5Hex(const std::string& text) {
  const auto digest = platform::md5Digest(platform::asBytes(text));
  std::string out;
  if (!digest) return out;
  for (std::uint8_t b : *digest) out += fmt::format("{:02X}", b);
  return out;
}

std::string packetSignature(const std::string& time) {
  return md5Hex(md5Hex(time) + md5Hex(time + "418263") + "418263");
}

std::string handshakeSignature(const std::string& sn, const std::string& address,
                               const std::string& parameter, const std::string& model,
                               const std::string& time) {
  return md5Hex(md5Hex(fmt::format("DiscoverHandshakeBean{{sn='{}', address='{}', "
                                   "parameter='{}', model='{}', time='{}'}}",
                                   sn, address, parameter, model, time)) +
                time);
}

struct LiteralTerminal::Connection::State {
  mutable std::mutex mutex;
  bool connected = false;
  bool closed = false;
  std::size_t writes = 0;
  std::size_t written = 0;
};

struct LiteralTerminal::State {
  Options options;
  std::shared_ptr<platform::IoQueue> queue = platform::IoQueue::create("literal-terminal");
  platform::AsyncUdpSocket::Ptr udp;
  platform::AsyncTcpListener::Ptr listener;

  mutable std::mutex mutex;  // guards everything below
  std::uint16_t libraryUdpPort = 0;
  std::uint16_t libraryTcpPort = 0;
  std::vector<std::string> datagrams;
  std::vector<std::string> texts;
  std::vector<AsyncTcpSocket::Ptr> sockets;
  std::map<std::uint64_t, std::string> buffers;
  int accepted = 0;
  int acceptedClosed = 0;

  std::string packet() const {
    return fmt::format(
        R"({{"signature":"{}","time":"{}","protocolVersion":"1.0.01","isP2p":false,"role":"terminal"}})",
        packetSignature(options.time), options.time);
  }
  std::string handshake() const {
    const Options& o = options;
    return fmt::format(
        R"({{"sn":"{}","address":"{}","parameter":"{}","model":"{}","time":"{}","signature":"{}",)"
        R"("services":{},"requireResponse":false,"isCommuincationDevice":true,"isP2p":false,)"
        R"("isPeripheral":false,"contentType":"discover","protocolVersion":"1.0.01"}})",
        o.sn, o.address, o.parameter, o.model, o.time,
        handshakeSignature(o.sn, o.address, o.parameter, o.model, o.time), o.services);
  }
};

namespace {

using State = LiteralTerminal::State;

void onAccepted(const std::weak_ptr<State>& weak, const AsyncTcpSocket::Ptr& socket) {
  AsyncTcpSocket::Events events;
  events.onRead = [weak](const AsyncTcpSocket::Ptr& s, std::vector<std::uint8_t> bytes,
                         std::int64_t) {
    auto state = weak.lock();
    if (!state) return;
    std::optional<std::string> reply;
    {
      std::lock_guard<std::mutex> guard(state->mutex);
      std::string& buffer = state->buffers[s->id()];
      buffer.append(bytes.begin(), bytes.end());
      if (nlohmann::json::accept(buffer)) {
        const auto json = nlohmann::json::parse(buffer);
        const bool pairing = json.is_object() && json.value("msgType", "") == "request_auth";
        state->texts.push_back(std::move(buffer));
        state->buffers.erase(s->id());
        if (!pairing && state->options.answerHandshakes) reply = state->handshake();
      }
    }
    if (reply) s->writeData(platform::toBytes(*reply), platform::Duration::zero(), 1);
    s->readData(0);
  };
  events.onDisconnect = [weak](const AsyncTcpSocket::Ptr&,
                               const std::optional<platform::SocketError>&) {
    if (auto state = weak.lock()) {
      std::lock_guard<std::mutex> guard(state->mutex);
      ++state->acceptedClosed;
    }
  };
  socket->setEvents(std::move(events));
  if (auto state = weak.lock()) {
    std::lock_guard<std::mutex> guard(state->mutex);
    ++state->accepted;
    state->sockets.push_back(socket);
  }
  socket->readData(0);
}

}  // namespace

LiteralTerminal::LiteralTerminal(Options options) : state_(std::make_shared<State>()) {
  state_->options = std::move(options);
  const std::weak_ptr<State> weak = state_;

  platform::AsyncUdpSocket::Events udpEvents;
  udpEvents.onReceive = [weak](std::vector<std::uint8_t> bytes, const std::string&, std::uint16_t) {
    auto state = weak.lock();
    if (!state) return;
    bool echo = false;
    std::uint16_t port = 0;
    {
      std::lock_guard<std::mutex> guard(state->mutex);
      state->datagrams.emplace_back(bytes.begin(), bytes.end());
      echo = state->options.echoDatagrams;
      port = state->libraryUdpPort;
    }
    if (echo && port != 0 && state->udp) {
      state->udp->send(platform::toBytes(state->packet()), kLibraryHost, port, 0);
    }
  };
  state_->udp = platform::AsyncUdpSocket::create(state_->queue, std::move(udpEvents));
  if (state_->udp->bindToPort(0, kTerminalHost, nullptr)) state_->udp->beginReceiving(nullptr);

  platform::AsyncTcpListener::Events listenerEvents;
  listenerEvents.onAccept = [weak](const AsyncTcpSocket::Ptr& socket) { onAccepted(weak, socket); };
  state_->listener = platform::AsyncTcpListener::create(state_->queue, std::move(listenerEvents));
  state_->listener->acceptOnPort(0, kTerminalHost, nullptr);
}

LiteralTerminal::~LiteralTerminal() {
  state_->listener->close();
  state_->udp->close();
  std::vector<AsyncTcpSocket::Ptr> sockets;
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    sockets.swap(state_->sockets);
  }
  for (auto& socket : sockets) socket->disconnect();
  platform::settle(*state_->queue);
}

std::uint16_t LiteralTerminal::udpPort() const { return state_->udp->localPort(); }
std::uint16_t LiteralTerminal::tcpPort() const { return state_->listener->localPort(); }

void LiteralTerminal::setLibraryPorts(std::uint16_t udpPort, std::uint16_t tcpPort) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->libraryUdpPort = udpPort;
  state_->libraryTcpPort = tcpPort;
}

std::string LiteralTerminal::discoverPacket() const { return state_->packet(); }
std::string LiteralTerminal::handshake() const { return state_->handshake(); }

void LiteralTerminal::sendDiscoverPacket() { sendDatagram(discoverPacket()); }

void LiteralTerminal::sendDatagram(const std::string& text) {
  std::uint16_t port = 0;
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    port = state_->libraryUdpPort;
  }
  state_->udp->send(platform::toBytes(text), kLibraryHost, port, 0);
}

std::shared_ptr<LiteralTerminal::Connection> LiteralTerminal::connectToLibrary() {
  std::uint16_t port = 0;
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    port = state_->libraryTcpPort;
  }
  return connectTo(kLibraryHost, port);
}

std::shared_ptr<LiteralTerminal::Connection> LiteralTerminal::connectTo(const std::string& host,
                                                                        std::uint16_t port) {
  auto connection = std::make_shared<Connection>();
  connection->state_ = std::make_shared<Connection::State>();
  const std::weak_ptr<Connection::State> weak = connection->state_;
  AsyncTcpSocket::Events events;
  events.onConnect = [weak](const AsyncTcpSocket::Ptr& socket) {
    if (auto s = weak.lock()) {
      std::lock_guard<std::mutex> guard(s->mutex);
      s->connected = true;
    }
    socket->readData(0);
  };
  events.onRead = [](const AsyncTcpSocket::Ptr& socket, std::vector<std::uint8_t>, std::int64_t) {
    socket->readData(0);
  };
  events.onWrite = [weak](const AsyncTcpSocket::Ptr&, std::int64_t) {
    if (auto s = weak.lock()) {
      std::lock_guard<std::mutex> guard(s->mutex);
      ++s->written;
    }
  };
  events.onDisconnect = [weak](const AsyncTcpSocket::Ptr&,
                               const std::optional<platform::SocketError>&) {
    if (auto s = weak.lock()) {
      std::lock_guard<std::mutex> guard(s->mutex);
      s->closed = true;
    }
  };
  connection->socket_ = AsyncTcpSocket::create(state_->queue, std::move(events));
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->sockets.push_back(connection->socket_);
  }
  connection->socket_->connectToHost(host, port, platform::seconds(5), nullptr);
  return connection;
}

void LiteralTerminal::Connection::write(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    ++state_->writes;
  }
  socket_->writeData(platform::toBytes(bytes), platform::Duration::zero(), 1);
}

void LiteralTerminal::Connection::close() { socket_->disconnect(); }

bool LiteralTerminal::Connection::connected() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->connected;
}

bool LiteralTerminal::Connection::closed() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->closed;
}

bool LiteralTerminal::Connection::written() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->written == state_->writes;
}

std::vector<std::string> LiteralTerminal::datagrams() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->datagrams;
}

std::vector<std::string> LiteralTerminal::texts() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->texts;
}

int LiteralTerminal::accepted() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->accepted;
}

int LiteralTerminal::acceptedClosed() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->acceptedClosed;
}

}  // namespace veltrix::registry::testpeer
