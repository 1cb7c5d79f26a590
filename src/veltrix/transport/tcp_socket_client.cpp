#include "veltrix/transport/tcp_socket_client.h"

#include <map>
#include <mutex>
#include <system_error>
#include <utility>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/main_loop_delegate.h"

namespace veltrix::transport {

using platform::AsyncTcpSocket;
using platform::SocketError;

struct TCPSocketClient::State {
  std::shared_ptr<platform::IoQueue> queue;

  mutable std::mutex lock;  // guards sockets and nextConnectionId
  std::map<std::int64_t, AsyncTcpSocket::Ptr> sockets;
  std::int64_t nextConnectionId = 1;

  MainLoopDelegate<TCPSocketClientDelegate> delegate;
};

namespace {

using State = TCPSocketClient::State;

AsyncTcpSocket::Events eventsFor(const std::weak_ptr<State>& weak, std::int64_t connectionId) {
  AsyncTcpSocket::Events events;
  events.onConnect = [weak, connectionId](const AsyncTcpSocket::Ptr& socket) {
    const std::string host = socket->connectedHost().value_or("");
    platform::logf("✅ 连接成功 host:{} port:{}", host, socket->connectedPort());
    notifyOnMain(weak, [host, connectionId](TCPSocketClientDelegate& d) {
      d.didConnectToHost(host, connectionId);
    });
    socket->readData(0);
  };
  events.onRead = [weak](const AsyncTcpSocket::Ptr& socket, std::vector<std::uint8_t> bytes,
                         std::int64_t) {
    notifyOnMain(weak, [bytes = std::move(bytes), socket](TCPSocketClientDelegate& d) {
      d.didReceiveData(bytes, socket);
    });
    socket->readData(0);
  };
  events.onWrite = [weak, connectionId](const AsyncTcpSocket::Ptr&, std::int64_t tag) {
    platform::logf("📥 数据写入完成 - connectionId:{} tag:{}", connectionId, tag);
    notifyOnMain(weak, [tag, connectionId](TCPSocketClientDelegate& d) {
      d.didWriteDataWithTag(tag, connectionId);
    });
  };
  events.onDisconnect = [weak, connectionId](const AsyncTcpSocket::Ptr& socket,
                                             const std::optional<SocketError>& error) {
    if (auto state = weak.lock()) {
      std::lock_guard<std::mutex> guard(state->lock);
      auto it = state->sockets.find(connectionId);
      if (it != state->sockets.end() && it->second == socket) state->sockets.erase(it);
    }
    if (error) {
      platform::logf("❌ 连接断开 - connectionId:{} error:{}", connectionId, error->toString());
      if (error->isPosix(std::errc::connection_refused)) {
        platform::logLine("   注意：ECONNREFUSED 在连接成功后出现可能是服务端主动断开");
      }
    } else {
      platform::logf("❌ 连接正常断开 - connectionId:{}", connectionId);
    }
    notifyOnMain(weak, [connectionId, error](TCPSocketClientDelegate& d) {
      d.didDisconnectWithConnectionId(connectionId, error);
    });
  };
  return events;
}

}  // namespace

TCPSocketClient& TCPSocketClient::sharedInstance() {
  // Never destroyed: its queue may still be busy while the process exits.
  static auto* client = new TCPSocketClient();
  return *client;
}

TCPSocketClient::TCPSocketClient()
    : TCPSocketClient(platform::IoQueue::create("com.orvane.tcpclient")) {}

TCPSocketClient::TCPSocketClient(std::shared_ptr<platform::IoQueue> queue)
    : state_(std::make_shared<State>()) {
  state_->queue = std::move(queue);
}

TCPSocketClient::~TCPSocketClient() {
  disconnectConnection();
  platform::settle(*state_->queue);
}

void TCPSocketClient::setDelegate(std::weak_ptr<TCPSocketClientDelegate> delegate) {
  state_->delegate.set(std::move(delegate));
}

std::int64_t TCPSocketClient::connectToHost(const std::string& host, std::int64_t port) {
  const auto port16 = static_cast<std::uint16_t>(port);
  auto socket = AsyncTcpSocket::create(state_->queue);
  SocketError error;
  std::int64_t connectionId = kNoConnectionId;
  {
    // The id and the table entry exist before the connection's first event
    // can look for them; the lock only waits for the start, which posts.
    std::lock_guard<std::mutex> guard(state_->lock);
    const std::int64_t candidate = state_->nextConnectionId;
    socket->setEvents(eventsFor(state_, candidate));
    if (socket->connectToHost(host, port16, platform::seconds(kConnectTimeoutSeconds), &error)) {
      connectionId = candidate;
      ++state_->nextConnectionId;
      state_->sockets.emplace(connectionId, socket);
    }
  }
  if (connectionId != kNoConnectionId) {
    platform::logf("TCP连接请求已发起 - host:{} port:{} connectionId:{}", host, port, connectionId);
    return connectionId;
  }
  platform::logf("TCP连接失败 - host:{} port:{} error:{}", host, port, error.toString());
  logConnectionError(error, host, port);
  notifyOnMain(std::weak_ptr<State>(state_), [error](TCPSocketClientDelegate& d) {
    d.didDisconnectWithConnectionId(kNoConnectionId, error);
  });
  return kNoConnectionId;
}

void TCPSocketClient::sendData(std::string_view text, std::int64_t connectionId) {
  AsyncTcpSocket::Ptr socket;
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    auto it = state_->sockets.find(connectionId);
    if (it != state_->sockets.end()) socket = it->second;
  }
  if (!socket) {
    platform::logf("⚠️ 发送失败：连接不存在 connectionId:{}", connectionId);
    return;
  }
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  state_->queue->post([socket, bytes = std::move(bytes), connectionId]() mutable {
    if (!socket->isConnected()) {
      platform::logf("⚠️ 发送失败：连接已断开 connectionId:{}", connectionId);
      return;
    }
    const std::size_t length = bytes.size();
    socket->writeData(std::move(bytes), platform::seconds(kWriteTimeoutSeconds), connectionId);
    platform::logf("📤 数据发送请求已提交 - connectionId:{} length:{}", connectionId, length);
  });
}

void TCPSocketClient::disconnectConnection(std::int64_t connectionId) {
  AsyncTcpSocket::Ptr socket;
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    auto it = state_->sockets.find(connectionId);
    if (it == state_->sockets.end()) return;
    socket = std::move(it->second);
    state_->sockets.erase(it);
  }
  socket->disconnect();
}

void TCPSocketClient::disconnectConnection() {
  std::map<std::int64_t, AsyncTcpSocket::Ptr> sockets;
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    sockets.swap(state_->sockets);
  }
  for (auto& [id, socket] : sockets) socket->disconnect();
}

std::int64_t TCPSocketClient::getConnectionIdForSocket(const AsyncTcpSocket::Ptr& socket) const {
  if (!socket) return kNoConnectionId;
  std::lock_guard<std::mutex> guard(state_->lock);
  for (const auto& [id, candidate] : state_->sockets) {
    if (candidate == socket) return id;
  }
  return kNoConnectionId;
}

void TCPSocketClient::logConnectionError(const std::optional<SocketError>& error,
                                         std::string_view host, std::int64_t port) {
  if (!error) return;
  if (error->domain != platform::kPosixErrorDomain) {
    platform::logf("⚠️ TCP连接错误 - code:{} domain:{} description:{}", error->code,
                   error->domain, error->description);
    return;
  }
  if (error->isPosix(std::errc::address_not_available)) {
    platform::logf("⚠️ TCP无法分配请求的地址(EADDRNOTAVAIL) - host:{} port:{}", host,
                   port);
  } else if (error->isPosix(std::errc::network_unreachable)) {
    platform::logf("⚠️ TCP网络不可达(ENETUNREACH) - host:{} port:{}", host, port);
  } else if (error->isPosix(std::errc::timed_out)) {
    platform::logf("⚠️ TCP连接超时(ETIMEDOUT) - host:{} port:{}", host, port);
    platform::logLine("   可能原因：1.网络不通 2.终端不可达 3.网络延迟过高");
  } else if (error->isPosix(std::errc::connection_refused)) {
    platform::logf("⚠️ TCP连接被拒绝(ECONNREFUSED) - host:{} port:{}", host, port);
    platform::logLine("   可能原因：1.远端终端未启动TCP Server 2.端口号不匹配 3.终端防火墙拦截");
  } else {
    platform::logf("⚠️ TCP连接错误(未知) - code:{} domain:{}", error->code,
                   error->domain);
  }
}

}  // namespace veltrix::transport
