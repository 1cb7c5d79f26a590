#include "veltrix/transport/tcp_socket_server.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <utility>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/main_loop_delegate.h"

namespace veltrix::transport {

using platform::AsyncTcpListener;
using platform::AsyncTcpSocket;
using platform::SocketError;

struct TCPSocketServer::State {
  std::shared_ptr<platform::IoQueue> queue;

  std::mutex startMutex;          // one start or stop at a time
  mutable std::mutex clientLock;  // guards listenSocket and connectedSockets
  AsyncTcpListener::Ptr listenSocket;
  std::vector<AsyncTcpSocket::Ptr> connectedSockets;

  MainLoopDelegate<TCPSocketServerDelegate> delegate;
};

namespace {

using ServerState = TCPSocketServer::State;

void readNext(const AsyncTcpSocket::Ptr& socket) {
  socket->readData(0, platform::seconds(TCPSocketServer::kIdleTimeoutSeconds));
}

// On the server's queue: keeps a newly accepted connection and starts
// reading from it.
void accepted(const std::weak_ptr<ServerState>& weak, const AsyncTcpSocket::Ptr& socket) {
  auto state = weak.lock();
  if (!state) {
    socket->disconnect();
    return;
  }
  AsyncTcpSocket::Events events;
  events.onRead = [weak](const AsyncTcpSocket::Ptr& client, std::vector<std::uint8_t> bytes,
                         std::int64_t) {
    // Re-armed first, so the idle time-out runs from this read on before
    // anyone hears of the bytes.
    readNext(client);
    notifyOnMain(weak, [bytes = std::move(bytes), client](TCPSocketServerDelegate& d) {
      d.didReceiveDataFromClient(bytes, client);
    });
  };
  events.onDisconnect = [weak](const AsyncTcpSocket::Ptr& client,
                               const std::optional<SocketError>& error) {
    if (auto s = weak.lock()) {
      std::lock_guard<std::mutex> guard(s->clientLock);
      auto& list = s->connectedSockets;
      list.erase(std::remove(list.begin(), list.end(), client), list.end());
    }
    if (error && error->isPosix(std::errc::timed_out)) {
      platform::logf("TCP server: closed a connection silent for {:.0f} s - host:{}",
                     TCPSocketServer::kIdleTimeoutSeconds, client->connectedHost().value_or(""));
    }
    notifyOnMain(weak, [client](TCPSocketServerDelegate& d) { d.clientDidDisconnect(client); });
  };
  socket->setEvents(std::move(events));

  AsyncTcpSocket::Ptr oldest;
  {
    std::lock_guard<std::mutex> guard(state->clientLock);
    state->connectedSockets.push_back(socket);
    if (state->connectedSockets.size() > TCPSocketServer::kMaxConnections) {
      oldest = state->connectedSockets.front();
      state->connectedSockets.erase(state->connectedSockets.begin());
    }
  }
  readNext(socket);
  notifyOnMain(weak, [socket](TCPSocketServerDelegate& d) { d.clientDidConnect(socket); });
  if (oldest) {
    platform::logf("TCP server: more than {} connections, closing the oldest - host:{}",
                   TCPSocketServer::kMaxConnections, oldest->connectedHost().value_or(""));
    oldest->disconnect();
  }
}

}  // namespace

TCPSocketServer& TCPSocketServer::sharedInstance() {
  // Never destroyed: its queue may still be busy while the process exits.
  static auto* server = new TCPSocketServer();
  return *server;
}

TCPSocketServer::TCPSocketServer()
    : TCPSocketServer(platform::IoQueue::create("com.orvane.tcpserver")) {}

TCPSocketServer::TCPSocketServer(std::shared_ptr<platform::IoQueue> queue)
    : state_(std::make_shared<ServerState>()) {
  state_->queue = std::move(queue);
}

TCPSocketServer::~TCPSocketServer() {
  stop();
  platform::settle(*state_->queue);
}

void TCPSocketServer::setDelegate(std::weak_ptr<TCPSocketServerDelegate> delegate) {
  state_->delegate.set(std::move(delegate));
}

bool TCPSocketServer::startOnPort(std::uint16_t port,
                                  const std::optional<std::string>& interfaceAddress) {
  std::lock_guard<std::mutex> start(state_->startMutex);
  AsyncTcpListener::Ptr previous;
  {
    std::lock_guard<std::mutex> guard(state_->clientLock);
    previous = std::move(state_->listenSocket);
  }
  // Closed outside the lock: closing waits for the queue, whose tasks take
  // the lock. Closing is synchronous, so the same port can be bound again.
  if (previous) previous->close();

  std::weak_ptr<ServerState> weak = state_;
  auto listener = AsyncTcpListener::create(
      state_->queue,
      AsyncTcpListener::Events{[weak](const AsyncTcpSocket::Ptr& s) { accepted(weak, s); }});
  SocketError error;
  if (!listener->acceptOnPort(port, interfaceAddress, &error)) {
    platform::logf("TCP server: cannot listen on port {}: {}", port, error.toString());
    return false;
  }
  std::lock_guard<std::mutex> guard(state_->clientLock);
  state_->listenSocket = std::move(listener);
  return true;
}

void TCPSocketServer::stop() {
  std::lock_guard<std::mutex> start(state_->startMutex);
  AsyncTcpListener::Ptr listener;
  {
    std::lock_guard<std::mutex> guard(state_->clientLock);
    listener = std::move(state_->listenSocket);
  }
  // The listener first: once it is closed no accept can add to the list.
  if (listener) listener->close();
  std::vector<AsyncTcpSocket::Ptr> sockets;
  {
    std::lock_guard<std::mutex> guard(state_->clientLock);
    sockets.swap(state_->connectedSockets);
  }
  for (auto& socket : sockets) socket->disconnect();
}

void TCPSocketServer::disconnectWithSocket(const AsyncTcpSocket::Ptr& socket) {
  if (!socket) return;
  {
    std::lock_guard<std::mutex> guard(state_->clientLock);
    auto& list = state_->connectedSockets;
    auto it = std::find(list.begin(), list.end(), socket);
    if (it == list.end()) return;
    list.erase(it);
  }
  socket->disconnect();
}

void TCPSocketServer::sendData(const std::vector<std::uint8_t>& data,
                               const AsyncTcpSocket::Ptr& client) {
  if (data.empty() || !client || !client->isConnected()) return;
  {
    std::lock_guard<std::mutex> guard(state_->clientLock);
    const auto& list = state_->connectedSockets;
    if (std::find(list.begin(), list.end(), client) == list.end()) return;
  }
  client->writeData(data, platform::Duration::zero(), 0);
}

bool TCPSocketServer::isListening() const {
  std::lock_guard<std::mutex> guard(state_->clientLock);
  return state_->listenSocket && state_->listenSocket->isListening();
}

std::uint16_t TCPSocketServer::listeningPort() const {
  std::lock_guard<std::mutex> guard(state_->clientLock);
  return state_->listenSocket ? state_->listenSocket->localPort() : 0;
}

std::vector<AsyncTcpSocket::Ptr> TCPSocketServer::connectedSockets() const {
  std::lock_guard<std::mutex> guard(state_->clientLock);
  return state_->connectedSockets;
}

}  // namespace veltrix::transport
