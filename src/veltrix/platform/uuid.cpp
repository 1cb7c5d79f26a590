#include "veltrix/platform/uuid.h"

#include <fmt/format.h>
#include <openssl/rand.h>

#include <array>
#include <random>

namespace veltrix::platform {

std::string randomBytes(std::size_t count) {
  std::string out(count, '\0');
  if (count == 0) return out;
  if (RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(count)) != 1) {
    return {};
  }
  return out;
}

std::string newUuid() {
  std::string bytes = randomBytes(16);
  if (bytes.size() != 16) {
    // The secure generator failed: fall back to the standard one rather than
    // hand out a fixed identifier.
    std::random_device rd;
    bytes.resize(16);
    for (auto& b : bytes) b = static_cast<char>(rd() & 0xFF);
  }
  std::array<unsigned char, 16> u{};
  for (std::size_t i = 0; i < 16; ++i) u[i] = static_cast<unsigned char>(bytes[i]);
  u[6] = static_cast<unsigned char>((u[6] & 0x0F) | 0x40);
  u[8] = static_cast<unsigned char>((u[8] & 0x3F) | 0x80);
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out += fmt::format("{:02X}", u[i]);
  }
  return out;
}

}  // namespace veltrix::platform
