#include "veltrix/platform/async_tcp.h"

#include <asio/connect.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

#include "veltrix/platform/asio_detail.h"

namespace veltrix::platform {
namespace {

using asio::ip::tcp;

std::atomic<std::uint64_t> gNextSocketId{1};

enum class TcpState { kIdle, kConnecting, kConnected, kDisconnected };

constexpr std::size_t kReadBufferSize = 65536;

}  // namespace

struct AsyncTcpSocket::Impl {
  explicit Impl(std::shared_ptr<IoQueue> q)
      : queue(std::move(q)), socket(queue->impl().io), buffer(kReadBufferSize) {}

  struct Read {
    std::int64_t tag;
    Duration timeout;
  };
  struct Write {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    Duration timeout;
    std::int64_t tag;
  };
  // The time-out of the read or write in progress.
  struct Deadline {
    bool armed = false;
    TimePoint at{};
    bool timerPending = false;
  };

  // Declared first so that it is destroyed last: the socket needs its loop.
  std::shared_ptr<IoQueue> queue;
  tcp::socket socket;
  std::optional<tcp::resolver> resolver;
  Events events;
  std::atomic<TcpState> state{TcpState::kIdle};

  mutable std::mutex infoMutex;
  std::optional<std::string> peerHost;
  std::uint16_t peerPort = 0;
  std::uint16_t localPort = 0;

  // Queue only.
  std::vector<std::uint8_t> buffer;
  std::deque<Read> reads;
  bool reading = false;
  Deadline readDeadline;
  std::deque<Write> writes;
  bool writing = false;
  Deadline writeDeadline;

  void runOnQueue(Task task) {
    if (queue->isCurrent()) {
      task();
    } else {
      queue->post(std::move(task));
    }
  }

  void cacheEndpoints() {
    asio::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    asio::error_code localEc;
    const auto local = socket.local_endpoint(localEc);
    std::lock_guard<std::mutex> lock(infoMutex);
    if (!ec) {
      peerHost = remote.address().to_string();
      peerPort = remote.port();
    }
    if (!localEc) localPort = local.port();
  }

  void close(const Ptr& self, std::optional<SocketError> error) {
    const TcpState previous = state.exchange(TcpState::kDisconnected);
    if (previous == TcpState::kDisconnected) return;
    asio::error_code ignored;
    if (resolver) resolver->cancel();
    socket.close(ignored);
    reads.clear();
    writes.clear();
    readDeadline.armed = false;
    writeDeadline.armed = false;
    if (previous != TcpState::kIdle && events.onDisconnect) events.onDisconnect(self, error);
  }

  void startConnect(const Ptr& self, const std::string& host, std::uint16_t port) {
    if (state.load() != TcpState::kConnecting) return;
    asio::error_code ec;
    const auto address = asio::ip::make_address_v4(host, ec);
    if (!ec) {
      socket.async_connect(tcp::endpoint(address, port), [self](const asio::error_code& e) {
        self->impl_->connectDone(self, e);
      });
      return;
    }
    resolver.emplace(queue->impl().io);
    resolver->async_resolve(
        tcp::v4(), host, std::to_string(port),
        [self](const asio::error_code& e, const tcp::resolver::results_type& results) {
          Impl& impl = *self->impl_;
          if (impl.state.load() != TcpState::kConnecting) return;
          if (e) {
            impl.close(self, toSocketError(e));
            return;
          }
          asio::async_connect(impl.socket, results,
                              [self](const asio::error_code& ce, const tcp::endpoint&) {
                                self->impl_->connectDone(self, ce);
                              });
        });
  }

  void connectDone(const Ptr& self, const asio::error_code& ec) {
    if (state.load() != TcpState::kConnecting) return;  // closed or timed out meanwhile
    if (ec) {
      close(self, toSocketError(ec));
      return;
    }
    state.store(TcpState::kConnected);
    cacheEndpoints();
    if (events.onConnect) events.onConnect(self);
    startRead(self);
    startWrite(self);
  }

  // Arms `deadline` for the operation starting now. One clock timer per
  // deadline at most, moved on as operations complete, so a peer that sends
  // many small pieces cannot pile up timers.
  void arm(const Ptr& self, Deadline& deadline, Duration timeout) {
    deadline.armed = timeout > Duration::zero();
    if (!deadline.armed) return;
    deadline.at = clock().now() + timeout;
    if (!deadline.timerPending) scheduleTimer(self, deadline);
  }

  void scheduleTimer(const Ptr& self, Deadline& deadline) {
    deadline.timerPending = true;
    const bool isRead = &deadline == &readDeadline;
    // At the deadline itself: a delay computed from a second reading of a
    // clock that moves meanwhile would land later.
    clock().schedule(deadline.at, std::weak_ptr<TaskQueue>(queue),
                     [weak = std::weak_ptr<AsyncTcpSocket>(self), isRead] {
                       auto s = weak.lock();
                       if (!s) return;
                       Impl& impl = *s->impl_;
                       Deadline& d = isRead ? impl.readDeadline : impl.writeDeadline;
                       d.timerPending = false;
                       if (!d.armed || impl.state.load() != TcpState::kConnected) return;
                       if (clock().now() < d.at) {
                         impl.scheduleTimer(s, d);
                         return;
                       }
                       impl.close(s, SocketError::posix(std::errc::timed_out,
                                                        isRead ? "Read operation timed out"
                                                               : "Write operation timed out"));
                     });
  }

  void startRead(const Ptr& self) {
    if (state.load() != TcpState::kConnected || reading || reads.empty()) return;
    reading = true;
    arm(self, readDeadline, reads.front().timeout);
    socket.async_read_some(asio::buffer(buffer), [self](const asio::error_code& ec, std::size_t n) {
      self->impl_->readDone(self, ec, n);
    });
  }

  void readDone(const Ptr& self, const asio::error_code& ec, std::size_t n) {
    if (state.load() != TcpState::kConnected) return;
    reading = false;
    if (ec) {
      close(self, toSocketError(ec));
      return;
    }
    const Read read = reads.front();
    reads.pop_front();
    readDeadline.armed = false;
    std::vector<std::uint8_t> bytes(buffer.begin(),
                                    buffer.begin() + static_cast<std::ptrdiff_t>(n));
    if (events.onRead) events.onRead(self, std::move(bytes), read.tag);
    startRead(self);
  }

  void startWrite(const Ptr& self) {
    if (state.load() != TcpState::kConnected || writing || writes.empty()) return;
    writing = true;
    const Write& write = writes.front();
    arm(self, writeDeadline, write.timeout);
    // The handler keeps the bytes: they must outlive the operation.
    asio::async_write(socket, asio::buffer(*write.bytes),
                      [self, bytes = write.bytes](const asio::error_code& ec, std::size_t) {
                        self->impl_->writeDone(self, ec);
                      });
  }

  void writeDone(const Ptr& self, const asio::error_code& ec) {
    if (state.load() != TcpState::kConnected) return;
    writing = false;
    if (ec) {
      close(self, toSocketError(ec));
      return;
    }
    const std::int64_t tag = writes.front().tag;
    writes.pop_front();
    writeDeadline.armed = false;
    if (events.onWrite) events.onWrite(self, tag);
    startWrite(self);
  }
};

AsyncTcpSocket::Ptr AsyncTcpSocket::create(std::shared_ptr<IoQueue> queue, Events events) {
  Ptr socket(new AsyncTcpSocket(std::move(queue)));
  socket->impl_->events = std::move(events);
  return socket;
}

AsyncTcpSocket::AsyncTcpSocket(std::shared_ptr<IoQueue> queue)
    : id_(gNextSocketId.fetch_add(1)), impl_(std::make_unique<Impl>(std::move(queue))) {}

AsyncTcpSocket::~AsyncTcpSocket() = default;

void AsyncTcpSocket::setEvents(Events events) { impl_->events = std::move(events); }

bool AsyncTcpSocket::connectToHost(const std::string& host, std::uint16_t port, Duration timeout,
                                   SocketError* error) {
  auto fail = [error](SocketError e) {
    if (error) *error = std::move(e);
    return false;
  };
  if (host.empty()) {
    return fail(SocketError::socket(
        SocketErrorCode::kBadParam,
        "Invalid host parameter (empty). Should be a domain name or IP address string."));
  }
  TcpState expected = TcpState::kIdle;
  if (!impl_->state.compare_exchange_strong(expected, TcpState::kConnecting)) {
    return fail(SocketError::socket(SocketErrorCode::kBadConfig,
                                    "Attempting to connect while connected or accepting "
                                    "connections. Disconnect first."));
  }
  // Nothing else uses the socket before the connect task below, so it can be
  // opened here and a failure reported to the caller.
  asio::error_code ec;
  impl_->socket.open(tcp::v4(), ec);
  if (ec) {
    impl_->state.store(TcpState::kIdle);
    return fail(toSocketError(ec));
  }
  Ptr self = shared_from_this();
  impl_->queue->post([self, host, port] { self->impl_->startConnect(self, host, port); });
  if (timeout > Duration::zero()) {
    after(*impl_->queue, timeout, [weak = std::weak_ptr<AsyncTcpSocket>(self)] {
      auto s = weak.lock();
      if (!s || s->impl_->state.load() != TcpState::kConnecting) return;
      s->impl_->close(
          s, SocketError::posix(std::errc::timed_out, "Attempt to connect to host timed out"));
    });
  }
  return true;
}

void AsyncTcpSocket::readData(std::int64_t tag, Duration timeout) {
  impl_->runOnQueue([self = shared_from_this(), tag, timeout] {
    Impl& impl = *self->impl_;
    if (impl.state.load() == TcpState::kDisconnected) return;
    impl.reads.push_back(Impl::Read{tag, timeout});
    impl.startRead(self);
  });
}

void AsyncTcpSocket::writeData(std::vector<std::uint8_t> bytes, Duration timeout,
                               std::int64_t tag) {
  auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  impl_->runOnQueue([self = shared_from_this(), shared = std::move(shared), timeout, tag] {
    Impl& impl = *self->impl_;
    if (impl.state.load() == TcpState::kDisconnected) return;
    impl.writes.push_back(Impl::Write{shared, timeout, tag});
    impl.startWrite(self);
  });
}

void AsyncTcpSocket::disconnect() {
  impl_->runOnQueue([self = shared_from_this()] { self->impl_->close(self, std::nullopt); });
}

bool AsyncTcpSocket::isConnected() const { return impl_->state.load() == TcpState::kConnected; }

bool AsyncTcpSocket::isDisconnected() const {
  return impl_->state.load() == TcpState::kDisconnected;
}

std::optional<std::string> AsyncTcpSocket::connectedHost() const {
  std::lock_guard<std::mutex> lock(impl_->infoMutex);
  return impl_->peerHost;
}

std::uint16_t AsyncTcpSocket::connectedPort() const {
  std::lock_guard<std::mutex> lock(impl_->infoMutex);
  return impl_->peerPort;
}

std::uint16_t AsyncTcpSocket::localPort() const {
  std::lock_guard<std::mutex> lock(impl_->infoMutex);
  return impl_->localPort;
}

// --- AsyncTcpListener --------------------------------------------------------

struct AsyncTcpListener::Impl {
  Impl(std::shared_ptr<IoQueue> q, Events e)
      : queue(std::move(q)), acceptor(queue->impl().io), events(std::move(e)) {}

  std::shared_ptr<IoQueue> queue;
  tcp::acceptor acceptor;
  Events events;
  std::atomic<bool> listening{false};
  std::atomic<std::uint16_t> port{0};
};

AsyncTcpListener::Ptr AsyncTcpListener::create(std::shared_ptr<IoQueue> queue, Events events) {
  return Ptr(new AsyncTcpListener(std::move(queue), std::move(events)));
}

AsyncTcpListener::AsyncTcpListener(std::shared_ptr<IoQueue> queue, Events events)
    : impl_(std::make_unique<Impl>(std::move(queue), std::move(events))) {}

AsyncTcpListener::~AsyncTcpListener() = default;

bool AsyncTcpListener::acceptOnPort(std::uint16_t port,
                                    const std::optional<std::string>& interfaceAddress,
                                    SocketError* error) {
  Ptr self = shared_from_this();
  std::optional<SocketError> failure;
  runOnQueueAndWait(*impl_->queue, [&] {
    Impl& impl = *self->impl_;
    if (impl.listening.load()) {
      failure = SocketError::socket(SocketErrorCode::kBadConfig,
                                    "Attempting to accept while connected or accepting "
                                    "connections. Disconnect first.");
      return;
    }
    asio::ip::address_v4 address = asio::ip::address_v4::any();
    if (interfaceAddress) {
      asio::error_code ec;
      address = asio::ip::make_address_v4(*interfaceAddress, ec);
      if (ec) {
        failure = SocketError::socket(SocketErrorCode::kBadParam,
                                      "Unknown interface. Specify a dotted IPv4 address.");
        return;
      }
    }
    asio::error_code ec;
    auto fail = [&] {
      asio::error_code ignored;
      impl.acceptor.close(ignored);
      failure = toSocketError(ec);
    };
    impl.acceptor.open(tcp::v4(), ec);
    if (ec) return fail();
    impl.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (ec) return fail();
    impl.acceptor.bind(tcp::endpoint(address, port), ec);
    if (ec) return fail();
    impl.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) return fail();
    const auto local = impl.acceptor.local_endpoint(ec);
    if (ec) return fail();
    impl.port.store(local.port());
    impl.listening.store(true);
    startAccept(self);
  });
  if (failure && error) *error = *failure;
  return !failure;
}

void AsyncTcpListener::startAccept(const Ptr& self) {
  Impl& impl = *self->impl_;
  impl.acceptor.async_accept([self](const asio::error_code& ec, tcp::socket peer) {
    Impl& impl = *self->impl_;
    if (!impl.listening.load()) {
      asio::error_code ignored;
      peer.close(ignored);
      return;
    }
    if (ec) {
      if (ec == asio::error::operation_aborted) return;
      // Out of descriptors or memory: try again a little later instead of
      // spinning on the same failure.
      after(*impl.queue, millis(100), [weak = std::weak_ptr<AsyncTcpListener>(self)] {
        if (auto s = weak.lock(); s && s->impl_->listening.load()) startAccept(s);
      });
      return;
    }
    AsyncTcpSocket::Ptr socket(new AsyncTcpSocket(impl.queue));
    socket->impl_->socket = std::move(peer);
    socket->impl_->state.store(TcpState::kConnected);
    socket->impl_->cacheEndpoints();
    if (impl.events.onAccept) impl.events.onAccept(socket);
    startAccept(self);
  });
}

void AsyncTcpListener::close() {
  runOnQueueAndWait(*impl_->queue, [impl = impl_.get()] {
    impl->listening.store(false);
    asio::error_code ignored;
    impl->acceptor.close(ignored);
    impl->port.store(0);
  });
}

bool AsyncTcpListener::isListening() const { return impl_->listening.load(); }

std::uint16_t AsyncTcpListener::localPort() const { return impl_->port.load(); }

}  // namespace veltrix::platform
