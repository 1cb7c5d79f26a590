// Listens for UDP datagrams (discover packets on port 8421) and hands each
// one that did not come from this device to a handler on the main loop.
//
// Threads: called on the main loop (any thread works). The socket runs on
// the receiver's own queue, "com.orvane.tavio", where datagrams from the
// device's own address are dropped; the others are posted to the main loop
// and given to the handler that is set when they get there.
//
// Ownership: the receiver owns its socket. One process-wide instance
// (sharedInstance()); tests build their own. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/async_udp.h"
#include "veltrix/platform/io_queue.h"

namespace veltrix::registry {

// (message, host): the datagram as UTF-8 text (absent when it is not valid
// UTF-8) and the sender's dotted address.
using MessageHandler =
    std::function<void(const std::optional<std::string>& message, const std::string& host)>;

// The device's own address on the network ("the Wi-Fi address"), or absent
// when it has none. Called on the receiver's queue for every datagram.
using OwnAddressLookup = std::function<std::optional<std::string>()>;

class BroadcastReceiver {
 public:
  // The process-wide receiver, made on first use without a socket; it lives
  // until the process ends. Its own-address lookup finds nothing until one
  // is set.
  static BroadcastReceiver& sharedInstance();

  // A receiver with a queue of its own; an empty lookup finds nothing.
  explicit BroadcastReceiver(OwnAddressLookup ownAddress = {});
  // A receiver whose socket runs on `queue`.
  BroadcastReceiver(std::shared_ptr<platform::IoQueue> queue, OwnAddressLookup ownAddress);
  // Stops listening.
  virtual ~BroadcastReceiver();
  BroadcastReceiver(const BroadcastReceiver&) = delete;
  BroadcastReceiver& operator=(const BroadcastReceiver&) = delete;

  void setMessageHandler(MessageHandler handler);
  MessageHandler messageHandler() const;
  void setOwnAddressLookup(OwnAddressLookup ownAddress);

  // Closes the current socket if any, then listens on `port` of
  // `interfaceAddress` (absent: every interface, as broadcasts need) with
  // port reuse. Port 0 lets the system pick a free port, which is listened
  // on without reuse, then and whenever the receiver listens on it again.
  // False when a step fails; the socket is kept until the next
  // stopListening().
  virtual bool startListeningOnPort(
      std::uint16_t port, const std::optional<std::string>& interfaceAddress = std::nullopt);
  // Closes the socket (synchronously) and forgets it.
  virtual void stopListening();

  platform::AsyncUdpSocket::Ptr udpSocket() const;
  // The port listened on; 0 without a bound socket.
  std::uint16_t listeningPort() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::registry
