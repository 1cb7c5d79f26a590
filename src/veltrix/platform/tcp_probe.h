<<<<<<< HEAD
// A TCP connect probe: can a connection to an IPv4 address and port be
// opened within a time-out? Blocks the calling thread for at most the
// time-out (real time: it waits on the socket, not on the library clock),
// so call it off the main loop. Nothing is sent; the socket is closed at
// once. Thread-safe; each call has its own socket.
#pragma once

#include <cstdint>
#include <string_view>

namespace veltrix::platform {

// True when `host`, a dotted IPv4 address, accepted a connection on `port`
// within `timeoutSeconds`. A time-out of 0 (or a negative or NaN one) only
// takes what the connect knows at once. A host that is not a dotted IPv4
// address gives false without any connect.
bool tcpConnectProbe(std::string_view host, std::uint16_t port, double timeoutSeconds);

// True when `text` is a dotted IPv4 address as inet_pton reads it.
bool isDottedIPv4(std::string_view text);
=======
// A blocking TCP connect probe: can a connection to host:port be opened
// within a time-out? IPv4, the host's first address.
//
// Thread-safe; blocks the calling thread for at most the time-out (plus the
// name lookup), so call it from the global queue, never the main one.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace veltrix::platform {

enum class TcpProbeResult {
  kOpen,           // the connection was made (and closed again)
  kClosed,         // refused, unreachable or not made within the time-out
  kSocketFailed,   // no socket could be created
  kResolveFailed,  // the host has no IPv4 address
};

TcpProbeResult probeTcpPort(const std::string& host, std::uint16_t port,
                            std::chrono::microseconds timeout);
>>>>>>> issue-9

}  // namespace veltrix::platform
