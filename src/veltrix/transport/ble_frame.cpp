#include "veltrix/transport/ble_frame.h"

#include <algorithm>
#include <optional>

#include "veltrix/platform/log.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using ::veltrix::platform::Bytes;
using ::veltrix::platform::ByteView;

// The payload length from the BCD field of the frame starting at `at`,
// nullopt when a nibble is not a decimal digit. Needs 4 bytes from `at`.
std::optional<std::size_t> lengthField(const Bytes& buffer, std::size_t at = 0) {
  std::size_t n = 0;
  for (std::size_t i = at + 1; i <= at + 3; ++i) {
    const int high = buffer[i] >> 4;
    const int low = buffer[i] & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    n = n * 100 + static_cast<std::size_t>(high * 10 + low);
  }
  return n;
}

// The end byte and check byte of a frame with an n-byte payload at the
// start of `buffer` (which holds at least n + 6 bytes).
bool frameEndsAt(const Bytes& buffer, std::size_t n) {
  const std::size_t end = n + 4;
  return buffer[end] == kBleEndByte &&
         buffer[end + 1] == KVISOUtils::calculateLRCForData(ByteView(buffer).subspan(1, end));
}

void erasePrefix(Bytes& buffer, std::size_t count) {
  buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
}

// Where a new frame may start after a frame whose check failed: right
// behind it when a start byte stands there, else at the next start byte
// after the length field (not the check byte's place, which may hold 0x02).
// 0 when no start byte follows: the frame may still end later, when its
// length field is wrong, so the end test gets the next notification too.
std::size_t resyncPoint(const Bytes& buffer, std::size_t n) {
  const std::size_t behind = n + kBleFrameOverheadBytes;
  if (behind < buffer.size() && buffer[behind] == kBleStartByte) return behind;
  for (std::size_t at = 4; at < buffer.size(); ++at) {
    if (buffer[at] == kBleStartByte && at != n + 5) return at;
  }
  return 0;
}

// The first start byte after the head at which a whole frame stands, by its
// readable length field, with its end byte and check byte; 0 when none. The
// head is then a damaged frame that would otherwise hold every later one
// until the buffer overflows. Linear in the buffer: check bytes come from
// running XORs.
std::size_t wholeFrameBehindHead(const Bytes& buffer) {
  std::vector<std::uint8_t> xorUpTo;  // xorUpTo[i]: XOR of buffer[0, i)
  for (auto it = std::find(buffer.begin() + 1, buffer.end(), kBleStartByte); it != buffer.end();
       it = std::find(it + 1, buffer.end(), kBleStartByte)) {
    const std::size_t at = static_cast<std::size_t>(it - buffer.begin());
    if (buffer.size() - at < kBleFrameOverheadBytes) break;
    const std::optional<std::size_t> n = lengthField(buffer, at);
    if (!n || buffer.size() - at < *n + kBleFrameOverheadBytes) continue;
    const std::size_t end = at + *n + 4;
    if (buffer[end] != kBleEndByte) continue;
    if (xorUpTo.empty()) {
      xorUpTo.resize(buffer.size() + 1, 0);
      for (std::size_t i = 0; i < buffer.size(); ++i) xorUpTo[i + 1] = xorUpTo[i] ^ buffer[i];
    }
    if (buffer[end + 1] == (xorUpTo[end + 1] ^ xorUpTo[at + 1])) return at;
  }
  return 0;
}

}  // namespace

std::vector<Bytes> splitBlePackets(ByteView frame) {
  std::vector<Bytes> packets;
  for (std::size_t at = 0; at < frame.size(); at += kBlePacketBytes) {
    const ByteView piece = frame.subspan(at, std::min(kBlePacketBytes, frame.size() - at));
    packets.emplace_back(piece.begin(), piece.end());
  }
  return packets;
}

bool BleReceiveBuffers::isResponseComplete(ByteView data) {
  if (data.empty()) return false;
  if (data[0] != kBleStartByte) {
    platform::logf("起始符校验失败: 期望 0x02, 实际 0x{:02X}, data length = {}", data[0],
                   data.size());
    return false;
  }
  if (data.size() < kBleFrameOverheadBytes) {
    platform::logf("数据长度不足: {}, 至少需要6字节", data.size());
    return false;
  }
  const std::uint8_t end = data[data.size() - 2];
  if (end != kBleEndByte) {
    platform::logf("结束符校验失败: 期望 0x03, 实际 0x{:02X}, data length = {}", end, data.size());
    return false;
  }
  const Bytes expected = KVISOUtils::caculateLRC(data.subspan(1, data.size() - 2));
  if (data.back() != expected[0]) {
    platform::logf("LRC校验失败: 期望 {}, 实际 {}", KVISOUtils::hexStringWithByte(data.back()),
                   KVISOUtils::hexStringWithData(expected));
    return false;
  }
  platform::logf("数据校验通过: length = {}", data.size());
  return true;
}

std::vector<Bytes> BleReceiveBuffers::receive(const std::string& sn, ByteView notification) {
  std::vector<Bytes> frames;
  auto found = buffers_.find(sn);
  if (found == buffers_.end() || found->second.empty()) {
    if (notification.empty()) return frames;
    if (notification[0] != kBleStartByte) {
      platform::logf("异常数据，丢弃: sn = {}, firstByte = 0x{:02X}", sn, notification[0]);
      return frames;
    }
    found = buffers_.try_emplace(sn).first;
  }
  Bytes& buffer = found->second;
  buffer.insert(buffer.end(), notification.begin(), notification.end());

  while (!buffer.empty()) {
    if (buffer[0] != kBleStartByte) {
      // Bytes behind a delivered or dropped frame that start no frame.
      platform::logf("异常数据，丢弃: sn = {}, firstByte = 0x{:02X}", sn, buffer[0]);
      const auto next = std::find(buffer.begin() + 1, buffer.end(), kBleStartByte);
      erasePrefix(buffer, static_cast<std::size_t>(next - buffer.begin()));
      continue;
    }
    if (buffer.size() < kBleFrameOverheadBytes) {
      isResponseComplete(buffer);  // logs the shortage
      break;
    }
    const std::optional<std::size_t> n = lengthField(buffer);
    const bool lengthReached = n && buffer.size() >= *n + kBleFrameOverheadBytes;
    if (lengthReached && frameEndsAt(buffer, *n)) {
      platform::logf("数据校验通过: length = {}", *n + kBleFrameOverheadBytes);
      frames.emplace_back(buffer.begin() + 4, buffer.begin() + 4 + static_cast<std::ptrdiff_t>(*n));
      erasePrefix(buffer, *n + kBleFrameOverheadBytes);
      continue;
    }
    // The length field may be wrong: the end test over everything buffered.
    if (isResponseComplete(buffer)) {
      frames.emplace_back(buffer.begin() + 4, buffer.end() - 2);
      buffer.clear();
      break;
    }
    if (lengthReached) {
      const std::size_t drop = resyncPoint(buffer, *n);
      if (drop == 0) break;
      platform::logf("帧校验失败，丢弃数据: sn = {}, length = {}", sn, drop);
      erasePrefix(buffer, drop);
      continue;
    }
    // The head cannot end yet; a whole frame behind it shows it never will.
    if (const std::size_t next = wholeFrameBehindHead(buffer); next > 0) {
      platform::logf("帧校验失败，丢弃数据: sn = {}, length = {}", sn, next);
      erasePrefix(buffer, next);
      continue;
    }
    break;
  }

  if (buffer.size() > kBleMaxFrameBytes) {
    platform::logf("数据过长，重置缓冲区: sn = {}", sn);
    buffer.clear();
  }
  if (buffer.empty()) buffers_.erase(found);
  return frames;
}

std::size_t BleReceiveBuffers::bufferedSize(const std::string& sn) const {
  const auto it = buffers_.find(sn);
  return it == buffers_.end() ? 0 : it->second.size();
}

void BleReceiveBuffers::clear(const std::string& sn) { buffers_.erase(sn); }

void BleReceiveBuffers::clearAll() { buffers_.clear(); }

}  // namespace veltrix::transport
