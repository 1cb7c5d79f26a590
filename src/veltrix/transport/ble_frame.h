// The Bluetooth LE frame: constants, cutting a frame into packets, and the
// per-terminal receive buffers that turn notifications back into frames.
//
// A frame is 0x02, the payload length as six BCD digits in three bytes, the
// payload (UTF-8 JSON), 0x03 and the XOR of every byte after the 0x02
// (KVISOUtils::createCommonForBLE builds one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/bytes.h"

namespace veltrix::transport {

inline constexpr std::uint8_t kBleStartByte = 0x02;
inline constexpr std::uint8_t kBleEndByte = 0x03;
inline constexpr int kBleLengthDigits = 6;
inline constexpr std::size_t kBleFrameOverheadBytes = 6;
inline constexpr std::size_t kBleMaxPayloadBytes = 999999;
inline constexpr std::size_t kBleMaxFrameBytes = kBleMaxPayloadBytes + kBleFrameOverheadBytes;
// Packets are cut at this size whatever write length the link negotiated.
inline constexpr std::size_t kBlePacketBytes = 512;

// The frame in consecutive pieces of kBlePacketBytes, the last holding the
// rest. An empty frame gives no packet.
std::vector<platform::Bytes> splitBlePackets(platform::ByteView frame);

// The receive buffers of the Bluetooth LE transport, one per terminal
// serial number (the design's bleCMDDataList). A missing entry is an empty
// buffer.
//
// A frame ends where its length field says: once the buffer holds n + 6
// bytes, the end byte and check byte at that place decide, the frame is
// delivered and what follows stays as the start of the next frame, so two
// frames in one notification are both delivered and frames of any size up
// to the field's limit are collected. When the bytes there do not fit, the
// older end test (the whole buffer ends in 0x03 and a matching check byte)
// still accepts the frame, for peers whose length field is wrong; when that
// fails too and another frame has begun behind it, the bytes up to that
// start are dropped (with no start byte behind it the frame waits, as its
// end may still come). A frame that cannot end yet (its length field
// unreadable, or claiming more than came) gives way as soon as a whole
// valid frame stands behind it, so one damaged notification cannot swallow
// the answers after it. A buffer beyond kBleMaxFrameBytes is emptied. Every
// step is logged as the transport logs it.
//
// Lives on the main loop with the transport; not thread-safe.
class BleReceiveBuffers {
 public:
  BleReceiveBuffers() = default;
  BleReceiveBuffers(const BleReceiveBuffers&) = delete;
  BleReceiveBuffers& operator=(const BleReceiveBuffers&) = delete;

  // Adds one notification of terminal `sn`; returns the payloads of the
  // frames it completed, in order (possibly none).
  std::vector<platform::Bytes> receive(const std::string& sn, platform::ByteView notification);

  // Bytes buffered for `sn` (0 when there is no entry).
  std::size_t bufferedSize(const std::string& sn) const;
  void clear(const std::string& sn);
  void clearAll();

  // The transport's completeness test over a whole buffer: start byte, at
  // least 6 bytes, end byte before the last, check byte last. Logs the
  // reason of a refusal, or the pass.
  static bool isResponseComplete(platform::ByteView data);

 private:
  std::map<std::string, platform::Bytes, std::less<>> buffers_;
};

}  // namespace veltrix::transport
