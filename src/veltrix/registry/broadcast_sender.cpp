#include "veltrix/registry/broadcast_sender.h"

#include <utility>
#include <vector>

#include "veltrix/platform/log.h"

namespace veltrix::registry {

BroadcastSender& BroadcastSender::sharedInstance() {
  // Never destroyed: its queue may still be busy while the process exits.
  static auto* sender = new BroadcastSender();
  return *sender;
}

BroadcastSender::BroadcastSender(std::optional<std::string> bindAddress)
    : BroadcastSender(platform::IoQueue::create("com.orvane.tavio"), std::move(bindAddress)) {}

BroadcastSender::BroadcastSender(std::shared_ptr<platform::IoQueue> queue,
                                 std::optional<std::string> bindAddress)
    : queue_(std::move(queue)) {
  setupSocket(std::move(bindAddress));
}

BroadcastSender::~BroadcastSender() {
  if (auto socket = udpSocket()) socket->close();
  platform::settle(*queue_);
}

void BroadcastSender::setupSocket(std::optional<std::string> bindAddress) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    bindAddress_ = std::move(bindAddress);
  }
  setupSocket();
}

void BroadcastSender::setupSocket() {
  auto socket = platform::AsyncUdpSocket::create(queue_);
  platform::AsyncUdpSocket::Ptr previous;
  std::optional<std::string> bindAddress;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    previous = std::exchange(udpSocket_, socket);
    bindAddress = bindAddress_;
  }
  // The replaced socket is of no further use; release its descriptor now.
  if (previous) previous->close();

  platform::SocketError error;
  if (!socket->enableBroadcast(true, &error)) {
    platform::logf("Error enabling broadcast: {}", error.toString());
    return;
  }
  if (!socket->bindToPort(0, bindAddress, &error)) {
    platform::logf("Error binding socket: {}", error.toString());
  }
}

void BroadcastSender::sendBroadcastMessage(std::string_view message, std::uint16_t port,
                                           const std::optional<std::string>& host) {
  auto socket = udpSocket();
  if (!socket || socket->isClosed()) {
    platform::logLine("Socket is closed, cannot send message");
    setupSocket();
    return;
  }
  socket->send(std::vector<std::uint8_t>(message.begin(), message.end()), host, port, 0);
  platform::logf("Send broadcast to {}:{} - {}", host.value_or("(null)"), port, message);
}

void BroadcastSender::sendBroadcastMessage(std::string_view message, std::uint16_t port) {
  sendBroadcastMessage(message, port, std::string("192.168.1.255"));
}

platform::AsyncUdpSocket::Ptr BroadcastSender::udpSocket() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return udpSocket_;
}

}  // namespace veltrix::registry
