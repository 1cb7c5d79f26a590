// Sends discover packets as UDP datagrams: to the subnet's broadcast
// address or to one terminal.
//
// Threads: called on the main loop (any thread works); the socket runs on
// the sender's own queue, "com.orvane.tavio". Send outcomes are not
// reported: discovery repeats its packets every tick.
//
// Ownership: the sender owns its current socket. One process-wide instance
// (sharedInstance()); tests build their own. Non-copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/async_udp.h"
#include "veltrix/platform/io_queue.h"

namespace veltrix::registry {

class BroadcastSender {
 public:
  // The process-wide sender, made (with a socket) on first use; it lives
  // until the process ends.
  static BroadcastSender& sharedInstance();

  // A sender with a queue of its own and a socket bound to a free port of
  // `bindAddress` (absent: every interface).
  explicit BroadcastSender(std::optional<std::string> bindAddress = std::nullopt);
  // A sender whose sockets run on `queue`.
  BroadcastSender(std::shared_ptr<platform::IoQueue> queue, std::optional<std::string> bindAddress);
  virtual ~BroadcastSender();
  BroadcastSender(const BroadcastSender&) = delete;
  BroadcastSender& operator=(const BroadcastSender&) = delete;

  // Replaces the socket with a fresh one: broadcast enabled, bound to a free
  // port of the bind address given last (or of `bindAddress`).
  virtual void setupSocket();
  void setupSocket(std::optional<std::string> bindAddress);

  // Sends `message` as one datagram to `host` and `port`. On a closed
  // socket the message is dropped and a new socket is set up for the next
  // one. An absent host sends nothing.
  virtual void sendBroadcastMessage(std::string_view message, std::uint16_t port,
                                    const std::optional<std::string>& host);
  // The same to the fixed address "192.168.1.255".
  void sendBroadcastMessage(std::string_view message, std::uint16_t port);

  // The current socket.
  platform::AsyncUdpSocket::Ptr udpSocket() const;

 private:
  std::shared_ptr<platform::IoQueue> queue_;
  mutable std::mutex mutex_;  // guards udpSocket_ and bindAddress_
  platform::AsyncUdpSocket::Ptr udpSocket_;
  std::optional<std::string> bindAddress_;
};

}  // namespace veltrix::registry
