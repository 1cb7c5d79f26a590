// The TCP client of terminal discovery: outgoing connections, each known by
// a connection id, on which text is written as given (no framing).
//
// Threads: callable from any thread (discovery calls it on the main loop).
// Its sockets run on its own queue, "com.orvane.tcpclient"; every delegate
// call is posted to the main loop, in event order. The connection table is
// guarded by a lock that is never held while calling out.
//
// Ownership: the client owns its sockets until their connections end; the
// delegate is held weakly. One process-wide instance (sharedInstance());
// tests build their own. Non-copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/async_tcp.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/socket_error.h"

namespace veltrix::transport {

// The connection id of a connect that could not start.
inline constexpr std::int64_t kNoConnectionId = -1;

// Every call arrives on the main loop. Methods left alone do nothing.
class TCPSocketClientDelegate {
 public:
  virtual ~TCPSocketClientDelegate() = default;

  // The connection is established; `host` as the socket reports it.
  virtual void didConnectToHost(const std::string& /*host*/, std::int64_t /*connectionId*/) {}
  // The connection ended (its own id, also after disconnectConnection), or
  // could not be started (kNoConnectionId).
  virtual void didDisconnectWithConnectionId(
      std::int64_t /*connectionId*/, const std::optional<platform::SocketError>& /*error*/) {}
  // Bytes arrived; the socket's connectedHost() names the peer.
  virtual void didReceiveData(const std::vector<std::uint8_t>& /*data*/,
                              const platform::AsyncTcpSocket::Ptr& /*socket*/) {}
  // A write completed; the tag is the connection id.
  virtual void didWriteDataWithTag(std::int64_t /*tag*/, std::int64_t /*connectionId*/) {}
};

class TCPSocketClient {
 public:
  static constexpr double kConnectTimeoutSeconds = 5.0;
  static constexpr double kWriteTimeoutSeconds = 10.0;

  // The process-wide client, made on first use; it lives until the process
  // ends.
  static TCPSocketClient& sharedInstance();

  // A client with a queue of its own.
  TCPSocketClient();
  // A client whose sockets run on `queue`.
  explicit TCPSocketClient(std::shared_ptr<platform::IoQueue> queue);
  // Closes every connection; their events are no longer reported.
  virtual ~TCPSocketClient();
  TCPSocketClient(const TCPSocketClient&) = delete;
  TCPSocketClient& operator=(const TCPSocketClient&) = delete;

  void setDelegate(std::weak_ptr<TCPSocketClientDelegate> delegate);

  // Starts connecting (5.0 s time-out) and returns the new connection's id:
  // 1, 2, 3, ... for the life of the client, never reused. When the connect
  // cannot start (empty host, no socket) it returns kNoConnectionId and the
  // delegate hears didDisconnectWithConnectionId(kNoConnectionId, error).
  // `port` is used as 16 bits.
  virtual std::int64_t connectToHost(const std::string& host, std::int64_t port);
  // Writes the UTF-8 bytes of `text` (10.0 s time-out, tag = the id) when
  // the connection exists and is established; otherwise only logs.
  virtual void sendData(std::string_view text, std::int64_t connectionId);
  // Closes one connection / every connection and forgets them. The end
  // events that follow carry the connections' own ids.
  virtual void disconnectConnection(std::int64_t connectionId);
  virtual void disconnectConnection();
  // The id under which `socket` is known, or kNoConnectionId.
  std::int64_t getConnectionIdForSocket(const platform::AsyncTcpSocket::Ptr& socket) const;

  // Explains a failed connect in the log (nothing without an error).
  static void logConnectionError(const std::optional<platform::SocketError>& error,
                                 std::string_view host, std::int64_t port);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::transport
