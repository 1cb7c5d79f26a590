// The Bluetooth LE receive buffers over notifications cut from the input,
// the frame checks over the whole input, and a frame made of the input
// carried through packets and buffers back to the same payload.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "veltrix/transport/ble_frame.h"
#include "veltrix/transport/kv_iso_utils.h"

using veltrix::platform::Bytes;
using veltrix::platform::ByteView;
using namespace veltrix::transport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const ByteView input(data, size);

  // Hostile notifications, as a peripheral may send them.
  BleReceiveBuffers buffers;
  std::size_t fed = 0;
  std::size_t delivered = 0;
  for (const std::string_view piece :
       veltrix::fuzz::cutIntoPieces(veltrix::fuzz::asText(data, size), 600)) {
    const ByteView notification(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
    fed += notification.size();
    for (const Bytes& payload : buffers.receive("SN1", notification)) {
      delivered += payload.size() + kBleFrameOverheadBytes;
    }
    VELTRIX_FUZZ_CHECK(buffers.bufferedSize("SN1") <= kBleMaxFrameBytes);
    VELTRIX_FUZZ_CHECK(delivered + buffers.bufferedSize("SN1") <= fed);
  }
  VELTRIX_FUZZ_CHECK(buffers.bufferedSize("other") == 0);

  // The frame checks agree with each other.
  const bool valid = KVISOUtils::isValidBLEPacket(input);
  const bool complete = KVISOUtils::isResponseComplete(input);
  VELTRIX_FUZZ_CHECK(!valid || complete);
  if (size >= kBleFrameOverheadBytes) {
    VELTRIX_FUZZ_CHECK(BleReceiveBuffers::isResponseComplete(input) == complete);
  }
  if (valid) {
    BleReceiveBuffers whole;
    const std::vector<Bytes> frames = whole.receive("SN", input);
    VELTRIX_FUZZ_CHECK(frames.size() == 1 && frames[0].size() == size - kBleFrameOverheadBytes);
  }
  (void)KVISOUtils::CBUUIDToString(input.first(std::min<std::size_t>(size, 16)));

  // Round trip: the input as payload, framed, cut into packets, reassembled.
  // Payloads are JSON text, which never holds the end byte; a payload that
  // does may end early at a packet boundary by the older end test.
  Bytes payload(input.begin(), input.end());
  for (std::uint8_t& b : payload) {
    if (b == kBleEndByte) b = 0x04;
  }
  const std::optional<Bytes> frame = KVISOUtils::createCommonForBLE(payload);
  VELTRIX_FUZZ_CHECK(frame.has_value());
  VELTRIX_FUZZ_CHECK(KVISOUtils::isValidBLEPacket(*frame));
  BleReceiveBuffers receiver;
  std::vector<Bytes> frames;
  for (const Bytes& packet : splitBlePackets(*frame)) {
    VELTRIX_FUZZ_CHECK(!packet.empty() && packet.size() <= kBlePacketBytes);
    for (Bytes& got : receiver.receive("SN", packet)) frames.push_back(std::move(got));
  }
  VELTRIX_FUZZ_CHECK(frames.size() == 1);
  VELTRIX_FUZZ_CHECK(frames[0] == payload);
  VELTRIX_FUZZ_CHECK(receiver.bufferedSize("SN") == 0);
  return 0;
}
