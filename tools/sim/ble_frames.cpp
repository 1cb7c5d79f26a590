#include "sim/ble_frames.h"

#include <algorithm>

namespace veltrix::sim {
namespace {

constexpr std::uint8_t kStart = 0x02;
constexpr std::uint8_t kEnd = 0x03;
constexpr std::size_t kHeader = 4;    // start byte and length field
constexpr std::size_t kOverhead = 6;  // header, end byte, check byte

// The length field at `at`, or -1 when a nibble is not a decimal digit.
long readLength(const ByteString& bytes, std::size_t at) {
  long n = 0;
  for (std::size_t i = at; i < at + 3; ++i) {
    const int high = bytes[i] >> 4;
    const int low = bytes[i] & 0x0F;
    if (high > 9 || low > 9) return -1;
    n = n * 100 + high * 10 + low;
  }
  return n;
}

}  // namespace

ByteString bleFrame(std::string_view payload) {
  payload = payload.substr(0, std::min(payload.size(), kMaxBlePayload));
  ByteString out;
  out.reserve(payload.size() + kOverhead);
  out.push_back(kStart);
  std::size_t n = payload.size();
  std::uint8_t digits[6];
  for (int i = 5; i >= 0; --i, n /= 10) digits[i] = static_cast<std::uint8_t>(n % 10);
  for (int i = 0; i < 6; i += 2) {
    out.push_back(static_cast<std::uint8_t>(digits[i] << 4 | digits[i + 1]));
  }
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(kEnd);
  std::uint8_t check = 0;
  for (std::size_t i = 1; i < out.size(); ++i) check ^= out[i];
  out.push_back(check);
  return out;
}

std::vector<BleFrameReader::Frame> BleFrameReader::feed(const ByteString& bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  std::vector<Frame> frames;
  std::size_t at = 0;
  while (at < buffer_.size()) {
    if (buffer_[at] != kStart) {
      ++at;
      ++skipped_;
      continue;
    }
    if (buffer_.size() - at < kHeader) break;
    const long length = readLength(buffer_, at + 1);
    if (length < 0) {
      ++at;
      ++skipped_;
      continue;
    }
    const auto n = static_cast<std::size_t>(length);
    if (buffer_.size() - at < n + kOverhead) break;
    std::uint8_t check = 0;
    for (std::size_t i = at + 1; i < at + n + kHeader + 1; ++i) check ^= buffer_[i];
    Frame frame;
    frame.payload.assign(buffer_.begin() + static_cast<long>(at + kHeader),
                         buffer_.begin() + static_cast<long>(at + kHeader + n));
    frame.valid = buffer_[at + kHeader + n] == kEnd && buffer_[at + kHeader + n + 1] == check;
    frames.push_back(std::move(frame));
    at += n + kOverhead;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(at));
  return frames;
}

}  // namespace veltrix::sim
