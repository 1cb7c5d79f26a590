#include <fmt/format.h>

#include <array>

#include "veltrix/platform/ble/ble.h"

namespace veltrix::platform::ble {
namespace {

// 0000xxxx-0000-1000-8000-00805f9b34fb: where the short forms live.
constexpr std::array<std::uint8_t, 16> kBaseUuid = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                    0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Bytes> hexBytes(std::string_view digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  Bytes out;
  out.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = hexValue(digits[i]);
    const int low = hexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return out;
}

}  // namespace

BleUuid::BleUuid(Bytes bytes) {
  if (bytes.size() == 2 || bytes.size() == 4 || bytes.size() == 16) bytes_ = std::move(bytes);
}

std::optional<BleUuid> BleUuid::fromString(std::string_view text) {
  std::string digits;
  if (text.size() == 36) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool dashPlace = i == 8 || i == 13 || i == 18 || i == 23;
      if (dashPlace != (text[i] == '-')) return std::nullopt;
      if (!dashPlace) digits.push_back(text[i]);
    }
  } else if (text.size() == 4 || text.size() == 8) {
    digits.assign(text);
  } else {
    return std::nullopt;
  }
  std::optional<Bytes> bytes = hexBytes(digits);
  if (!bytes) return std::nullopt;
  return BleUuid(std::move(*bytes));
}

std::string BleUuid::str() const {
  std::string hex;
  hex.reserve(bytes_.size() * 2);
  for (const std::uint8_t b : bytes_) hex += fmt::format("{:02x}", b);
  if (bytes_.size() != 16) return hex;
  return fmt::format("{}-{}-{}-{}-{}", hex.substr(0, 8), hex.substr(8, 4), hex.substr(12, 4),
                     hex.substr(16, 4), hex.substr(20));
}

Bytes BleUuid::full() const {
  if (bytes_.size() == 16 || bytes_.empty()) return bytes_;
  Bytes out(kBaseUuid.begin(), kBaseUuid.end());
  // A 16-bit UUID fills bytes 2-3, a 32-bit one bytes 0-3.
  std::copy(bytes_.begin(), bytes_.end(), out.begin() + (4 - static_cast<long>(bytes_.size())));
  return out;
}

bool BleUuid::equalsText(std::string_view text) const {
  const std::optional<BleUuid> other = fromString(text);
  return other && !empty() && *this == *other;
}

}  // namespace veltrix::platform::ble
