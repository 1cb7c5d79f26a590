// TCP connect probes: can a connection to host:port be opened within a
// time-out? Nothing is sent; the socket is closed at once. They block the
// calling thread for at most the time-out (real time: they wait on the
// socket, not on the library clock) plus any name lookup, so call them from
// the global queue, never the main loop. Thread-safe; each call has its own
// socket. IPv4 only.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrix::platform {

// True when `host`, a dotted IPv4 address, accepted a connection on `port`
// within `timeoutSeconds`. A time-out of 0 (or a negative or NaN one) only
// takes what the connect knows at once. A host that is not a dotted IPv4
// address gives false without any connect.
bool tcpConnectProbe(std::string_view host, std::uint16_t port, double timeoutSeconds);

// True when `text` is a dotted IPv4 address as inet_pton reads it.
bool isDottedIPv4(std::string_view text);

enum class TcpProbeResult {
  kOpen,           // the connection was made (and closed again)
  kClosed,         // refused, unreachable or not made within the time-out
  kSocketFailed,   // no socket could be created
  kResolveFailed,  // the host has no IPv4 address
};

// Like tcpConnectProbe, but `host` may be a name (its first IPv4 address is
// tried) and the outcome says why a connection was not made.
TcpProbeResult probeTcpPort(const std::string& host, std::uint16_t port,
                            std::chrono::microseconds timeout);

}  // namespace veltrix::platform
