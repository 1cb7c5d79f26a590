// The TCP server of terminal discovery: listens on a port and keeps the
// connections it accepts, handing their bytes on as they arrive (no
// framing).
//
// Limits: at most kMaxConnections accepted connections are kept (a new one
// beyond that closes the oldest), and a connection that sends nothing for
// kIdleTimeoutSeconds is closed, so a host on the network cannot use up the
// process's descriptors.
//
// Threads: callable from any thread (discovery calls it on the main loop).
// The listener and accepted sockets run on the server's own queue,
// "com.orvane.tcpserver"; every delegate call is posted to the main loop, in
// event order. The list of connections is guarded by a lock that is never
// held while calling out.
//
// Ownership: the server owns its listener and accepted sockets; the delegate
// is held weakly. One process-wide instance (sharedInstance()); tests build
// their own. Non-copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/async_tcp.h"
#include "veltrix/platform/io_queue.h"

namespace veltrix::transport {

// Every call arrives on the main loop. Methods left alone do nothing.
class TCPSocketServerDelegate {
 public:
  virtual ~TCPSocketServerDelegate() = default;

  virtual void clientDidConnect(const platform::AsyncTcpSocket::Ptr& /*socket*/) {}
  // An accepted connection ended (for any reason); it has left the list.
  virtual void clientDidDisconnect(const platform::AsyncTcpSocket::Ptr& /*socket*/) {}
  // Bytes arrived; the socket's connectedHost() names the peer.
  virtual void didReceiveDataFromClient(const std::vector<std::uint8_t>& /*data*/,
                                        const platform::AsyncTcpSocket::Ptr& /*client*/) {}
};

class TCPSocketServer {
 public:
  static constexpr std::size_t kMaxConnections = 64;
  static constexpr double kIdleTimeoutSeconds = 30.0;

  // The process-wide server, made on first use (not listening); it lives
  // until the process ends.
  static TCPSocketServer& sharedInstance();

  // A server with a queue of its own.
  TCPSocketServer();
  // A server whose sockets run on `queue`.
  explicit TCPSocketServer(std::shared_ptr<platform::IoQueue> queue);
  // Stops; events of the closed connections are no longer reported.
  virtual ~TCPSocketServer();
  TCPSocketServer(const TCPSocketServer&) = delete;
  TCPSocketServer& operator=(const TCPSocketServer&) = delete;

  void setDelegate(std::weak_ptr<TCPSocketServerDelegate> delegate);

  // Listens on `port` (0: a free port) of `interfaceAddress` (absent: every
  // interface), replacing the current listener if there is one; accepted
  // connections stay. Returns whether listening started.
  virtual bool startOnPort(std::uint16_t port,
                           const std::optional<std::string>& interfaceAddress = std::nullopt);
  // Closes the listener and every accepted connection.
  virtual void stop();
  // Closes `socket` when it is one of the accepted connections.
  virtual void disconnectWithSocket(const platform::AsyncTcpSocket::Ptr& socket);
  // Writes `data` (no time-out) to `client` when it is an accepted
  // connection that is still established.
  virtual void sendData(const std::vector<std::uint8_t>& data,
                        const platform::AsyncTcpSocket::Ptr& client);

  bool isListening() const;
  // The port listened on; 0 when not listening.
  std::uint16_t listeningPort() const;
  // The accepted connections, oldest first.
  std::vector<platform::AsyncTcpSocket::Ptr> connectedSockets() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::transport
