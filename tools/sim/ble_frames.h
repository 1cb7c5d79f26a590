// The simulated terminal's Bluetooth LE frames, written and read with its
// own code: 0x02, the payload length as six BCD digits in three bytes, the
// payload, 0x03, and the XOR of every byte after the 0x02.
//
// Plain functions and a value type; thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::sim {

using ByteString = std::vector<std::uint8_t>;

// The largest payload the length field can carry.
inline constexpr std::size_t kMaxBlePayload = 999999;

// The frame of `payload` (cut to kMaxBlePayload bytes).
ByteString bleFrame(std::string_view payload);

// Reassembles the frames a central writes, across writes of any size.
class BleFrameReader {
 public:
  struct Frame {
    std::string payload;
    // False when the end byte or the check byte did not match.
    bool valid = false;
  };

  // Adds one write; returns the frames it completed, in order. Bytes before
  // a start byte, and a start byte whose length field is not BCD, are
  // skipped.
  std::vector<Frame> feed(const ByteString& bytes);

  // Bytes skipped so far while looking for a start byte.
  std::size_t skippedBytes() const { return skipped_; }
  std::size_t bufferedBytes() const { return buffer_.size(); }

 private:
  ByteString buffer_;
  std::size_t skipped_ = 0;
};

}  // namespace veltrix::sim
