// Asynchronous TCP sockets (IPv4): outgoing connections, accepted
// connections and listeners, each bound to one IoQueue.
//
// Every event of a socket runs on its queue, in order. Reads and writes are
// queued and done one after another; a read delivers whatever bytes have
// arrived (no framing). Time-outs follow the process clock; a zero or
// negative time-out means none.
//
// A socket that has ended keeps its peer's host and port, so a peer that
// writes and closes at once can still be told apart.
//
// Owned through std::shared_ptr: the owner keeps the socket, and pending
// operations keep it alive until they end. Thread-safety: every member may
// be called from any thread; setEvents() only before the first operation or
// on the socket's queue. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/socket_error.h"

namespace veltrix::platform {

class AsyncTcpSocket : public std::enable_shared_from_this<AsyncTcpSocket> {
 public:
  using Ptr = std::shared_ptr<AsyncTcpSocket>;

  // What the socket reports, on its queue. Absent functions are skipped.
  struct Events {
    // The connection is established.
    std::function<void(const Ptr& socket)> onConnect;
    // Bytes arrived for the read queued with `tag`.
    std::function<void(const Ptr& socket, std::vector<std::uint8_t> bytes, std::int64_t tag)>
        onRead;
    // The write queued with `tag` has been handed to the system in full.
    std::function<void(const Ptr& socket, std::int64_t tag)> onWrite;
    // The connection ended (or could not be made): once for every socket
    // that started connecting or was accepted. No error when it was closed
    // here with disconnect().
    std::function<void(const Ptr& socket, const std::optional<SocketError>& error)> onDisconnect;
  };

  static Ptr create(std::shared_ptr<IoQueue> queue, Events events = {});
  ~AsyncTcpSocket();
  AsyncTcpSocket(const AsyncTcpSocket&) = delete;
  AsyncTcpSocket& operator=(const AsyncTcpSocket&) = delete;

  void setEvents(Events events);

  // Starts connecting to `host` (dotted IPv4 or a name) and `port`. False,
  // with `error` set, only when the attempt cannot start (empty host, no
  // socket, socket already used); otherwise the outcome arrives as
  // onConnect or onDisconnect, the latter with ETIMEDOUT after `timeout`.
  bool connectToHost(const std::string& host, std::uint16_t port, Duration timeout,
                     SocketError* error);

  // Queues a read. Reads queued before the connection is up start with it.
  // A read not served within `timeout` ends the connection with ETIMEDOUT.
  void readData(std::int64_t tag, Duration timeout = Duration::zero());
  // Queues a write of `bytes`. One not done within `timeout` ends the
  // connection with ETIMEDOUT. Ignored once the socket has ended.
  void writeData(std::vector<std::uint8_t> bytes, Duration timeout, std::int64_t tag);

  // Closes the connection; onDisconnect follows on the queue without an
  // error. Queued reads and writes are dropped.
  void disconnect();

  bool isConnected() const;
  bool isDisconnected() const;
  // The peer's dotted address and port: set once connected or accepted and
  // kept after the end.
  std::optional<std::string> connectedHost() const;
  std::uint16_t connectedPort() const;
  std::uint16_t localPort() const;
  // A number unique among the sockets of the process.
  std::uint64_t id() const { return id_; }

  struct Impl;

 private:
  friend class AsyncTcpListener;
  explicit AsyncTcpSocket(std::shared_ptr<IoQueue> queue);

  const std::uint64_t id_;
  std::unique_ptr<Impl> impl_;
};

// Accepts connections on a port. Accepted sockets share the listener's
// queue and start with no events: set them in onAccept, before the first
// read. Ownership and threads as for AsyncTcpSocket; non-copyable.
class AsyncTcpListener : public std::enable_shared_from_this<AsyncTcpListener> {
 public:
  using Ptr = std::shared_ptr<AsyncTcpListener>;

  struct Events {
    std::function<void(const AsyncTcpSocket::Ptr& socket)> onAccept;
  };

  static Ptr create(std::shared_ptr<IoQueue> queue, Events events);
  ~AsyncTcpListener();
  AsyncTcpListener(const AsyncTcpListener&) = delete;
  AsyncTcpListener& operator=(const AsyncTcpListener&) = delete;

  // Listens on `port` (0: a free port) of `interfaceAddress` (dotted IPv4;
  // absent: every interface) and starts accepting. Synchronous.
  bool acceptOnPort(std::uint16_t port, const std::optional<std::string>& interfaceAddress,
                    SocketError* error);
  // Stops listening. Synchronous: the port is free when it returns.
  void close();

  bool isListening() const;
  // The port listened on; 0 when not listening.
  std::uint16_t localPort() const;

  struct Impl;

 private:
  AsyncTcpListener(std::shared_ptr<IoQueue> queue, Events events);
  static void startAccept(const Ptr& self);

  std::unique_ptr<Impl> impl_;
};

}  // namespace veltrix::platform
