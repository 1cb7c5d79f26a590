// Fresh random (version 4) UUIDs. Thread-safe.
#pragma once

#include <string>

namespace veltrix::platform {

// A new UUID as upper-case text with dashes, 36 characters.
std::string newUuid();

// `count` secure random bytes (empty on failure of the generator).
std::string randomBytes(std::size_t count);

}  // namespace veltrix::platform
