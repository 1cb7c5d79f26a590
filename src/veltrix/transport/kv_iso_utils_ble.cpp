// Bluetooth LE frame functions of KVISOUtils.
#include <fmt/format.h>

#include "veltrix/transport/ble_frame.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {

std::optional<Bytes> KVISOUtils::createCommonForBLE(ByteView payload) {
  // Six BCD digits cannot hold a longer length; a frame without one would
  // never be understood, so none is made.
  if (payload.size() > kBleMaxPayloadBytes) return std::nullopt;
  const std::optional<Bytes> length =
      intToBCD(static_cast<int>(payload.size()), kBleLengthDigits, true);
  if (!length || length->size() != 3) return std::nullopt;
  Bytes frame;
  frame.reserve(payload.size() + kBleFrameOverheadBytes);
  frame.push_back(kBleStartByte);
  frame.insert(frame.end(), length->begin(), length->end());
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(kBleEndByte);
  frame.push_back(calculateLRCForData(ByteView(frame).subspan(1)));
  return frame;
}

std::uint8_t KVISOUtils::calculateLRCForData(ByteView data) {
  std::uint8_t lrc = 0;
  for (const std::uint8_t b : data) lrc ^= b;
  return lrc;
}

Bytes KVISOUtils::caculateLRC(ByteView data) { return Bytes{calculateLRCForData(data)}; }

bool KVISOUtils::isResponseComplete(ByteView data) {
  if (data.size() < 2 || data[0] != kBleStartByte) return false;
  if (data[data.size() - 2] != kBleEndByte) return false;
  return data.back() == calculateLRCForData(data.subspan(1, data.size() - 2));
}

bool KVISOUtils::isValidBLEPacket(ByteView data) {
  if (data.size() < kBleFrameOverheadBytes || data[0] != kBleStartByte) return false;
  const int length = bcdToInt(data, 1, kBleLengthDigits, true);
  if (length < 0 || static_cast<std::size_t>(length) + kBleFrameOverheadBytes != data.size()) {
    return false;
  }
  if (data[data.size() - 2] != kBleEndByte) return false;
  return data.back() == calculateLRCForData(data.subspan(1, data.size() - 2));
}

std::string KVISOUtils::CBUUIDToString(ByteView uuid) {
  const auto be = [&](std::size_t at, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | uuid[at + i];
    return v;
  };
  switch (uuid.size()) {
    case 2:
      return fmt::format("{:02x}{:02x}", uuid[0], uuid[1]);
    case 4:
      return fmt::format("{:08x}", be(0, 4));
    case 16:
      return fmt::format("{:08x}-{:04x}-{:04x}-{:04x}-{:04x}{:08x}", be(0, 4), be(4, 2), be(6, 2),
                         be(8, 2), be(10, 2), be(12, 4));
    default:
      return "";
  }
}

}  // namespace veltrix::transport
