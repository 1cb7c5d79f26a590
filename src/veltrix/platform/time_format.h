// The date texts the system writes. Local time follows the process time
// zone (TZ); the calendar is always Gregorian and the digits ASCII,
// whatever the locale. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace veltrix::platform {

// "yyyy-MM-dd HH:mm:ss.SSS" in local time, e.g. "2026-01-31 14:05:09.007".
std::string formatLocalTimestamp(std::int64_t millisSince1970);

// "yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ" in local time: the offset as "+08:00",
// or "Z" when it is zero.
std::string formatIso8601(std::int64_t millisSince1970);

// Milliseconds since 1970 as "%.0f" writes them.
std::string millisText(double millisSince1970);

}  // namespace veltrix::platform
