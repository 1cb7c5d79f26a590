#include "support/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace veltrix::testing {
namespace {

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Binds a new TCP socket to an ephemeral loopback port; -1 on failure.
int bindLoopback(std::uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address = loopback(0);
  socklen_t len = sizeof address;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LoopbackListener::LoopbackListener(int backlog) : backlog_(backlog) {
  fd_ = bindLoopback(&port_);
  if (fd_ >= 0 && ::listen(fd_, backlog) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

LoopbackListener::~LoopbackListener() {
  for (const int c : clients_) ::close(c);
  if (fd_ >= 0) ::close(fd_);
}

bool LoopbackListener::saturate() {
  if (fd_ < 0) return false;
  const sockaddr_in target = loopback(port_);
  int answered = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (c < 0) return false;
    clients_.push_back(c);
    if (::connect(c, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
      if (errno != EINPROGRESS) return false;
      // The kernel answers every request until the backlog holds one more
      // than asked for, however late a busy machine gets to it; only past
      // that does a request left unanswered show the backlog full.
      const bool full = answered > backlog_;
      pollfd p{c, POLLOUT, 0};
      if (::poll(&p, 1, full ? 100 : 5000) == 0) return full;
    }
    ++answered;
  }
  return false;
}

ClosedLoopbackPort::ClosedLoopbackPort() { fd_ = bindLoopback(&port_); }

ClosedLoopbackPort::~ClosedLoopbackPort() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace veltrix::testing
