// Can a TCP connection to a port be opened? A probe for the host
// application; nothing inside the library calls it.
//
// Stateless (a struct of static functions). isPortReachable blocks the
// calling thread; the completion forms run the probe on the global queue and
// call their completion on the main queue.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veltrix::transport {

struct PortChecker {
  // False for an absent or empty host and for a port outside 1 to 65535,
  // without opening a socket. Blocks for at most `timeout` seconds (plus the
  // name lookup).
  static bool isPortReachable(const std::optional<std::string>& host, std::int64_t port,
                              double timeout);
  // Does nothing without a completion.
  static void checkPortReachable(const std::optional<std::string>& host, std::int64_t port,
                                 double timeout, std::function<void(bool)> completion);
  // Probes the ports one after the other. An empty list gives an empty
  // result before returning.
  static void checkMultiplePorts(const std::optional<std::string>& host,
                                 const std::vector<std::int64_t>& ports, double timeout,
                                 std::function<void(std::map<std::int64_t, bool>)> completion);
};

}  // namespace veltrix::transport
