#include "veltrix/platform/async_udp.h"

#include <sys/socket.h>

#include <asio/ip/udp.hpp>
#include <atomic>
#include <utility>

#include "veltrix/platform/asio_detail.h"

namespace veltrix::platform {
namespace {

using asio::ip::udp;
using ReusePort = asio::detail::socket_option::boolean<SOL_SOCKET, SO_REUSEPORT>;

constexpr std::size_t kMaxDatagramSize = 65535;

}  // namespace

struct AsyncUdpSocket::Impl {
  explicit Impl(std::shared_ptr<IoQueue> q)
      : queue(std::move(q)), socket(queue->impl().io), buffer(kMaxDatagramSize) {}

  // Declared first so that it is destroyed last: the socket needs its loop.
  std::shared_ptr<IoQueue> queue;
  udp::socket socket;
  Events events;
  std::atomic<bool> open{false};
  std::atomic<std::uint16_t> port{0};

  // Queue only.
  bool bound = false;
  bool receiving = false;
  std::vector<std::uint8_t> buffer;
  udp::endpoint sender;

  std::optional<SocketError> ensureOpen() {
    if (socket.is_open()) return std::nullopt;
    asio::error_code ec;
    socket.open(udp::v4(), ec);
    if (ec) return toSocketError(ec);
    open.store(true);
    return std::nullopt;
  }

  void close(std::optional<SocketError> error) {
    if (!socket.is_open()) return;
    asio::error_code ignored;
    socket.close(ignored);
    open.store(false);
    port.store(0);
    bound = false;
    receiving = false;
    if (events.onClose) events.onClose(error);
  }

  void startReceive(const Ptr& self) {
    socket.async_receive_from(
        asio::buffer(buffer), sender, [self](const asio::error_code& ec, std::size_t n) {
          Impl& impl = *self->impl_;
          if (!impl.receiving || !impl.socket.is_open()) return;
          if (ec) {
            if (ec != asio::error::operation_aborted) impl.close(toSocketError(ec));
            return;
          }
          std::vector<std::uint8_t> bytes(impl.buffer.begin(),
                                          impl.buffer.begin() + static_cast<std::ptrdiff_t>(n));
          const std::string host = impl.sender.address().to_string();
          const std::uint16_t fromPort = impl.sender.port();
          if (impl.events.onReceive) impl.events.onReceive(std::move(bytes), host, fromPort);
          if (impl.receiving && impl.socket.is_open()) impl.startReceive(self);
        });
  }

  void notSent(std::int64_t tag, const SocketError& error) {
    if (events.onNotSent) events.onNotSent(tag, error);
  }

  void sendTo(const Ptr& self, std::shared_ptr<const std::vector<std::uint8_t>> bytes,
              const udp::endpoint& endpoint, std::int64_t tag) {
    socket.async_send_to(asio::buffer(*bytes), endpoint,
                         [self, bytes, tag](const asio::error_code& ec, std::size_t) {
                           Impl& impl = *self->impl_;
                           if (ec) {
                             impl.notSent(tag, toSocketError(ec));
                           } else if (impl.events.onSent) {
                             impl.events.onSent(tag);
                           }
                         });
  }

  // Runs `step` on the queue and waits; its error, if any, goes to `error`.
  template <typename Step>
  bool configure(Step step, SocketError* error) {
    std::optional<SocketError> failure;
    runOnQueueAndWait(*queue, [&] { failure = step(); });
    if (failure && error) *error = *failure;
    return !failure;
  }
};

AsyncUdpSocket::Ptr AsyncUdpSocket::create(std::shared_ptr<IoQueue> queue, Events events) {
  Ptr socket(new AsyncUdpSocket(std::move(queue)));
  socket->impl_->events = std::move(events);
  return socket;
}

AsyncUdpSocket::AsyncUdpSocket(std::shared_ptr<IoQueue> queue)
    : impl_(std::make_unique<Impl>(std::move(queue))) {}

AsyncUdpSocket::~AsyncUdpSocket() = default;

void AsyncUdpSocket::setEvents(Events events) { impl_->events = std::move(events); }

bool AsyncUdpSocket::enableBroadcast(bool enable, SocketError* error) {
  return impl_->configure(
      [&]() -> std::optional<SocketError> {
        if (auto failure = impl_->ensureOpen()) return failure;
        asio::error_code ec;
        impl_->socket.set_option(udp::socket::broadcast(enable), ec);
        if (ec) return toSocketError(ec);
        return std::nullopt;
      },
      error);
}

bool AsyncUdpSocket::enableReusePort(bool enable, SocketError* error) {
  return impl_->configure(
      [&]() -> std::optional<SocketError> {
        if (auto failure = impl_->ensureOpen()) return failure;
        asio::error_code ec;
        impl_->socket.set_option(udp::socket::reuse_address(enable), ec);
        if (!ec) impl_->socket.set_option(ReusePort(enable), ec);
        if (ec) return toSocketError(ec);
        return std::nullopt;
      },
      error);
}

bool AsyncUdpSocket::bindToPort(std::uint16_t port,
                                const std::optional<std::string>& interfaceAddress,
                                SocketError* error) {
  return impl_->configure(
      [&]() -> std::optional<SocketError> {
        asio::ip::address_v4 address = asio::ip::address_v4::any();
        if (interfaceAddress) {
          asio::error_code ec;
          address = asio::ip::make_address_v4(*interfaceAddress, ec);
          if (ec) {
            return SocketError::socket(SocketErrorCode::kBadParam,
                                       "Unknown interface. Specify a dotted IPv4 address.");
          }
        }
        if (auto failure = impl_->ensureOpen()) return failure;
        if (impl_->bound) {
          return SocketError::socket(SocketErrorCode::kBadConfig,
                                     "Cannot bind a socket more than once.");
        }
        asio::error_code ec;
        impl_->socket.bind(udp::endpoint(address, port), ec);
        if (ec) return toSocketError(ec);
        impl_->bound = true;
        const auto local = impl_->socket.local_endpoint(ec);
        impl_->port.store(ec ? port : local.port());
        return std::nullopt;
      },
      error);
}

bool AsyncUdpSocket::beginReceiving(SocketError* error) {
  Ptr self = shared_from_this();
  return impl_->configure(
      [&]() -> std::optional<SocketError> {
        Impl& impl = *self->impl_;
        if (!impl.socket.is_open() || !impl.bound) {
          return SocketError::socket(SocketErrorCode::kBadConfig,
                                     "Must bind a socket before you can receive data.");
        }
        if (impl.receiving) return std::nullopt;
        impl.receiving = true;
        impl.startReceive(self);
        return std::nullopt;
      },
      error);
}

void AsyncUdpSocket::send(std::vector<std::uint8_t> bytes, const std::optional<std::string>& host,
                          std::uint16_t port, std::int64_t tag) {
  auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  auto task = [self = shared_from_this(), shared = std::move(shared), host, port, tag] {
    Impl& impl = *self->impl_;
    if (!host || host->empty()) {
      impl.notSent(tag, SocketError::socket(
                            SocketErrorCode::kBadParam,
                            "The host param is nil. Should be domain name or IP address string."));
      return;
    }
    if (!impl.socket.is_open()) {
      impl.notSent(tag, SocketError::socket(SocketErrorCode::kBadConfig, "The socket is closed."));
      return;
    }
    asio::error_code ec;
    const auto address = asio::ip::make_address_v4(*host, ec);
    if (!ec) {
      impl.sendTo(self, shared, udp::endpoint(address, port), tag);
      return;
    }
    auto resolver = std::make_shared<udp::resolver>(impl.queue->impl().io);
    resolver->async_resolve(
        udp::v4(), *host, std::to_string(port),
        [self, resolver, shared, tag](const asio::error_code& e,
                                      const udp::resolver::results_type& results) {
          Impl& impl = *self->impl_;
          if (e || results.empty()) {
            impl.notSent(tag, e ? toSocketError(e)
                                : SocketError::socket(SocketErrorCode::kBadParam,
                                                      "The host could not be resolved."));
            return;
          }
          impl.sendTo(self, shared, results.begin()->endpoint(), tag);
        });
  };
  if (impl_->queue->isCurrent()) {
    task();
  } else {
    impl_->queue->post(std::move(task));
  }
}

void AsyncUdpSocket::close() {
  runOnQueueAndWait(*impl_->queue, [impl = impl_.get()] { impl->close(std::nullopt); });
}

bool AsyncUdpSocket::isClosed() const { return !impl_->open.load(); }

std::uint16_t AsyncUdpSocket::localPort() const { return impl_->port.load(); }

}  // namespace veltrix::platform
