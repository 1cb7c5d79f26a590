#include "veltrix/registry/broadcast_receiver.h"

#include <mutex>
#include <utility>
#include <vector>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"

namespace veltrix::registry {

struct BroadcastReceiver::State {
  std::shared_ptr<platform::IoQueue> queue;
  mutable std::mutex mutex;  // guards the four below
  platform::AsyncUdpSocket::Ptr udpSocket;
  MessageHandler messageHandler;
  OwnAddressLookup ownAddress;
  // The port the system picked when asked for port 0; 0 before that.
  std::uint16_t pickedPort = 0;
};

namespace {

using State = BroadcastReceiver::State;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const std::vector<std::uint8_t>& bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const std::uint8_t b = bytes[i];
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
      min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
      min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
      min = 0x10000;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const std::uint8_t c = bytes[i + k];
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// On the receiver's queue: drops the device's own datagrams and hands the
// others to the main loop.
void received(const std::weak_ptr<State>& weak, const std::vector<std::uint8_t>& bytes,
              const std::string& host) {
  auto state = weak.lock();
  if (!state) return;
  OwnAddressLookup ownAddress;
  bool hasHandler = false;
  {
    std::lock_guard<std::mutex> guard(state->mutex);
    ownAddress = state->ownAddress;
    hasHandler = static_cast<bool>(state->messageHandler);
  }
  std::optional<std::string> own;
  if (ownAddress) {
    // A throwing lookup must not stop the receive loop.
    try {
      own = ownAddress();
    } catch (...) {
    }
  }
  if (own && *own == host) return;
  if (!hasHandler) return;
  std::optional<std::string> message;
  if (isValidUtf8(bytes)) message.emplace(bytes.begin(), bytes.end());
  platform::postToMain([weak, message = std::move(message), host] {
    auto s = weak.lock();
    if (!s) return;
    MessageHandler handler;
    {
      std::lock_guard<std::mutex> guard(s->mutex);
      handler = s->messageHandler;
    }
    if (handler) handler(message, host);
  });
}

}  // namespace

BroadcastReceiver& BroadcastReceiver::sharedInstance() {
  // Never destroyed: its queue may still be busy while the process exits.
  static auto* receiver = new BroadcastReceiver();
  return *receiver;
}

BroadcastReceiver::BroadcastReceiver(OwnAddressLookup ownAddress)
    : BroadcastReceiver(platform::IoQueue::create("com.orvane.tavio"), std::move(ownAddress)) {}

BroadcastReceiver::BroadcastReceiver(std::shared_ptr<platform::IoQueue> queue,
                                     OwnAddressLookup ownAddress)
    : state_(std::make_shared<State>()) {
  state_->queue = std::move(queue);
  state_->ownAddress = std::move(ownAddress);
}

BroadcastReceiver::~BroadcastReceiver() {
  stopListening();
  platform::settle(*state_->queue);
}

void BroadcastReceiver::setMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->messageHandler = std::move(handler);
}

MessageHandler BroadcastReceiver::messageHandler() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->messageHandler;
}

void BroadcastReceiver::setOwnAddressLookup(OwnAddressLookup ownAddress) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->ownAddress = std::move(ownAddress);
}

bool BroadcastReceiver::startListeningOnPort(std::uint16_t port,
                                             const std::optional<std::string>& interfaceAddress) {
  if (udpSocket()) stopListening();

  platform::AsyncUdpSocket::Events events;
  events.onReceive = [weak = std::weak_ptr<State>(state_)](std::vector<std::uint8_t> bytes,
                                                           const std::string& host, std::uint16_t) {
    received(weak, bytes, host);
  };
  auto socket = platform::AsyncUdpSocket::create(state_->queue, std::move(events));
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->udpSocket = socket;
  }

  // A port asked for by number is shared with port reuse, as a broadcast
  // port is. One the system picks stays this receiver's own, also when it
  // listens on it again: the system may pick, for a reusing socket, a port
  // that another reusing socket holds, and would then split the datagrams
  // meant for one between the two.
  bool picked = port == 0;
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    picked = picked || port == state_->pickedPort;
  }
  platform::SocketError error;
  socket->enableBroadcast(true, nullptr);  // only the reuse result decides
  if (!picked && !socket->enableReusePort(true, &error)) {
    platform::logf("Error enabling reuse: {}", error.toString());
    return false;
  }
  if (!socket->bindToPort(port, interfaceAddress, &error)) {
    platform::logf("Error binding to port {}: {}", port, error.toString());
    return false;
  }
  if (port == 0) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->pickedPort = socket->localPort();
  }
  if (!socket->beginReceiving(&error)) {
    platform::logf("Error starting receive: {}", error.toString());
    return false;
  }
  return true;
}

void BroadcastReceiver::stopListening() {
  platform::AsyncUdpSocket::Ptr socket;
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    socket = std::move(state_->udpSocket);
  }
  // Synchronous: with port reuse, a descriptor left open would take part
  // of the unicast datagrams meant for the next listener.
  if (socket) socket->close();
}

platform::AsyncUdpSocket::Ptr BroadcastReceiver::udpSocket() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->udpSocket;
}

std::uint16_t BroadcastReceiver::listeningPort() const {
  auto socket = udpSocket();
  return socket ? socket->localPort() : 0;
}

}  // namespace veltrix::registry
