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

}  // namespace veltrix::platform
