// Errors of the socket layer: a domain, a code and a description, the way
// the system's own error objects carry them. Value type; thread-safe.
//
// Operating system errors use the POSIX domain with the errno value of the
// platform the library runs on; logs name them by their constants
// ("ECONNREFUSED"), never by the numbers of another platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace veltrix::platform {

// errno values of the operating system.
inline constexpr std::string_view kPosixErrorDomain = "POSIX";
// Errors of the socket layer itself (bad arguments, closed sockets).
inline constexpr std::string_view kSocketErrorDomain = "AsyncSocket";
// Host name look-up failures.
inline constexpr std::string_view kResolverErrorDomain = "Resolver";

// Codes of kSocketErrorDomain.
enum class SocketErrorCode : std::int64_t {
  kBadConfig = 1,  // the call does not fit the socket's state
  kBadParam = 2,   // an argument is missing or invalid
  kClosed = 7,     // the remote peer closed the connection
};

struct SocketError {
  std::string domain;
  std::int64_t code = 0;
  std::string description;

  // An errno error; without a description the system's text is used.
  static SocketError posix(std::errc condition, std::string description = {});
  static SocketError posix(int errnoValue, std::string description = {});
  static SocketError socket(SocketErrorCode code, std::string description);

  bool isPosix(std::errc condition) const;
  bool is(SocketErrorCode code) const;
  // "ECONNREFUSED (Connection refused)", or "AsyncSocket error 7 (...)".
  std::string toString() const;

  friend bool operator==(const SocketError&, const SocketError&) = default;
};

// The constant name of an errno value ("ECONNREFUSED"); nullopt for values
// the table does not know.
std::optional<std::string_view> errnoName(std::int64_t errnoValue);

}  // namespace veltrix::platform
