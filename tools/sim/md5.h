// MD5 (RFC 1321) written here, so the simulated terminal signs its
// packets and handshakes without any of the library's code or its crypto
// dependency.
//
// Pure functions; thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrix::sim {

std::array<std::uint8_t, 16> md5(std::string_view bytes);
// The digest as 32 upper-case hexadecimal digits.
std::string md5Hex(std::string_view bytes);

}  // namespace veltrix::sim
