#include "support/hostile_http_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace veltrix::testing {
namespace {

constexpr int kPollMillis = 50;
constexpr auto kConnectionLimit = std::chrono::seconds(30);

bool waitFor(int fd, short events) {
  pollfd entry{fd, events, 0};
  return ::poll(&entry, 1, kPollMillis) > 0;
}

}  // namespace

HostileHttpPeer::HostileHttpPeer(std::string body, Behaviour behaviour)
    : body_(std::move(body)), behaviour_(behaviour) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &len) != 0 ||
      ::listen(fd_, 16) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

HostileHttpPeer::~HostileHttpPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0 && !listenerClosed_) ::close(fd_);
}

std::string HostileHttpPeer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void HostileHttpPeer::serve() {
  // A connection each: a probe may hold its connection while the request
  // comes on another.
  std::vector<std::thread> connections;
  while (!stop_ && !listenerClosed_) {
    if (!waitFor(fd_, POLLIN)) continue;
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    if (behaviour_ == Behaviour::kRefuseAfterProbe) {
      ::close(fd_);
      listenerClosed_ = true;
    }
    connections.emplace_back([this, client] {
      answer(client);
      ::close(client);
    });
  }
  for (std::thread& connection : connections) connection.join();
}

void HostileHttpPeer::answer(int client) {
  const auto deadline = std::chrono::steady_clock::now() + kConnectionLimit;
  const auto late = [&] { return stop_ || std::chrono::steady_clock::now() > deadline; };

  // The request: its head, then as many body bytes as it announces.
  std::string request;
  std::size_t need = std::string::npos;
  char buffer[4096];
  while (!late() && request.size() < need) {
    if (!waitFor(client, POLLIN)) continue;
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) return;  // a connect probe, or a peer that gave up
    request.append(buffer, static_cast<std::size_t>(got));
    const std::size_t head = request.find("\r\n\r\n");
    if (need == std::string::npos && head != std::string::npos) {
      std::size_t length = 0;
      const std::size_t field = request.find("Content-Length:");
      if (field != std::string::npos && field < head) {
        length = std::strtoul(request.c_str() + field + 15, nullptr, 10);
      }
      need = head + 4 + length;
    }
  }
  if (request.size() < need) return;
  if (behaviour_ == Behaviour::kResetBeforeHead) {
    // A zero linger time makes the close send RST instead of FIN.
    const linger abort{1, 0};
    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    return;
  }

  const std::string reply =
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
      "Content-Length: " +
      std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
  std::size_t sent = 0;
  while (!late() && sent < reply.size()) {
    if (!waitFor(client, POLLOUT)) continue;
    const ssize_t put = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (put <= 0) return;
    sent += static_cast<std::size_t>(put);
  }
}

}  // namespace veltrix::testing
