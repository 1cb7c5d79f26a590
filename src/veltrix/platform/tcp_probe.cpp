#include "veltrix/platform/tcp_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veltrix::platform {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

TcpProbeResult probeTcpPort(const std::string& host, std::uint16_t port,
                            std::chrono::microseconds timeout) {
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return TcpProbeResult::kSocketFailed;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return TcpProbeResult::kResolveFailed;
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof(address));
  ::freeaddrinfo(found);
  address.sin_port = htons(port);

  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    return TcpProbeResult::kOpen;
  }
  if (errno != EINPROGRESS) return TcpProbeResult::kClosed;

  pollfd waitFor{fd.get(), POLLOUT, 0};
  // Whole milliseconds, rounded up, so a short time-out still waits.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
  int ready = 0;
  do {
    ready = ::poll(&waitFor, 1, static_cast<int>(std::max<std::int64_t>(ms, 0)));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return TcpProbeResult::kClosed;
  int pending = 0;
  socklen_t length = sizeof(pending);
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &pending, &length) != 0 || pending != 0) {
    return TcpProbeResult::kClosed;
  }
  return TcpProbeResult::kOpen;
}

}  // namespace veltrix::platform
