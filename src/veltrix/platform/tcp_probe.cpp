#include "veltrix/platform/tcp_probe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <optional>
#include <string>

namespace veltrix::platform {
namespace {

std::optional<in_addr> parseIPv4(std::string_view text) {
  // inet_pton needs a terminated text; an embedded NUL would cut it short.
  if (text.empty() || text.size() > 15 || text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string copy(text);
  in_addr address{};
  if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
  return address;
}

int timeoutMillis(double seconds) {
  if (!(seconds > 0)) return 0;  // also NaN
  const double ms = std::ceil(seconds * 1000.0);
  return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

// Waits for the non-blocking connect on `fd` to finish, at most `ms`.
bool awaitConnect(int fd, int ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  int left = ms;
  for (;;) {
    pollfd p{fd, POLLOUT, 0};
    const int n = ::poll(&p, 1, left);
    if (n > 0) break;
    if (n == 0) return false;
    if (errno != EINTR) return false;
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (remaining <= 0) return false;
    left = static_cast<int>(remaining);
  }
  int soError = 0;
  socklen_t len = sizeof soError;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) return false;
  return soError == 0;
}

enum class ConnectOutcome { kConnected, kFailed, kNoSocket };

ConnectOutcome connectWithin(const in_addr& address, std::uint16_t port, int ms) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return ConnectOutcome::kNoSocket;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr = address;
  bool connected = false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    connected = true;
  } else if (errno == EINPROGRESS || errno == EINTR) {
    connected = awaitConnect(fd, ms);
  }
  ::close(fd);
  return connected ? ConnectOutcome::kConnected : ConnectOutcome::kFailed;
}

}  // namespace

bool isDottedIPv4(std::string_view text) { return parseIPv4(text).has_value(); }

bool tcpConnectProbe(std::string_view host, std::uint16_t port, double timeoutSeconds) {
  const std::optional<in_addr> address = parseIPv4(host);
  if (!address) return false;
  return connectWithin(*address, port, timeoutMillis(timeoutSeconds)) == ConnectOutcome::kConnected;
}

TcpProbeResult probeTcpPort(const std::string& host, std::uint16_t port,
                            std::chrono::microseconds timeout) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return TcpProbeResult::kResolveFailed;
  }
  const in_addr address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  const double seconds = std::chrono::duration<double>(timeout).count();
  switch (connectWithin(address, port, timeoutMillis(seconds))) {
    case ConnectOutcome::kConnected:
      return TcpProbeResult::kOpen;
    case ConnectOutcome::kNoSocket:
      return TcpProbeResult::kSocketFailed;
    case ConnectOutcome::kFailed:
      break;
  }
  return TcpProbeResult::kClosed;
}

}  // namespace veltrix::platform
