// The service name table: service number to the name under which a request
// travels (the message header's serviceType) and is remembered.
//
// Stateless and thread-safe; the table is constant.
#pragma once

#include <cstdint>
#include <string>

namespace veltrix::registry {

inline constexpr std::int64_t kServiceCount = 32;

struct TerminalServiceHelper {
  // The name of service `number` (0 to 31); "Unknown" for any other number.
  // 18 and 21 share "BalanceInquiry".
  static std::string stringForService(std::int64_t number);
};

}  // namespace veltrix::registry
