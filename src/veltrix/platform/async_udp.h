// An asynchronous UDP socket (IPv4) bound to one IoQueue.
//
// The configuration calls (enable, bind, begin receiving, close) are
// synchronous: they run on the socket's queue and return the outcome. The
// first of them opens the socket. Datagrams and send outcomes arrive as
// events on the queue. Received datagrams are at most 65,535 bytes.
//
// close() is synchronous on purpose: a listener that is closed and bound
// again on the same port with port reuse must not leave its old descriptor
// behind, or the system would hand part of the unicast datagrams to it.
//
// Owned through std::shared_ptr; pending operations keep it alive until
// they end, so close() it when done. Thread-safety: every member may be
// called from any thread; setEvents() only before the socket is opened or
// on its queue. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/socket_error.h"

namespace veltrix::platform {

class AsyncUdpSocket : public std::enable_shared_from_this<AsyncUdpSocket> {
 public:
  using Ptr = std::shared_ptr<AsyncUdpSocket>;

  // What the socket reports, on its queue. Absent functions are skipped.
  struct Events {
    // A datagram from `host` (dotted IPv4) and `port`.
    std::function<void(std::vector<std::uint8_t> bytes, const std::string& host,
                       std::uint16_t port)>
        onReceive;
    std::function<void(std::int64_t tag)> onSent;
    std::function<void(std::int64_t tag, const SocketError& error)> onNotSent;
    // The socket closed: by close() without an error, or after a receive
    // failure with it.
    std::function<void(const std::optional<SocketError>& error)> onClose;
  };

  static Ptr create(std::shared_ptr<IoQueue> queue, Events events = {});
  ~AsyncUdpSocket();
  AsyncUdpSocket(const AsyncUdpSocket&) = delete;
  AsyncUdpSocket& operator=(const AsyncUdpSocket&) = delete;

  void setEvents(Events events);

  // SO_BROADCAST: allows sending to broadcast addresses.
  bool enableBroadcast(bool enable, SocketError* error);
  // SO_REUSEADDR and SO_REUSEPORT: lets several sockets bind one port.
  bool enableReusePort(bool enable, SocketError* error);
  // Binds to `port` (0: a free port) of `interfaceAddress` (dotted IPv4;
  // absent: every interface, which receiving broadcasts needs).
  bool bindToPort(std::uint16_t port, const std::optional<std::string>& interfaceAddress,
                  SocketError* error);
  // Starts delivering datagrams through onReceive. The socket must be bound.
  bool beginReceiving(SocketError* error);

  // Sends `bytes` as one datagram to `host` (dotted IPv4 or a name) and
  // `port`; onSent or onNotSent follows with `tag`. An absent or empty host,
  // or a closed socket, is a not-sent report.
  void send(std::vector<std::uint8_t> bytes, const std::optional<std::string>& host,
            std::uint16_t port, std::int64_t tag);

  // Closes the socket; the descriptor is released when this returns.
  void close();
  // True before the socket is opened and after it is closed.
  bool isClosed() const;
  // The bound port; 0 when not bound.
  std::uint16_t localPort() const;

  struct Impl;

 private:
  explicit AsyncUdpSocket(std::shared_ptr<IoQueue> queue);
  std::unique_ptr<Impl> impl_;
};

}  // namespace veltrix::platform
