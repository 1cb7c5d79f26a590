#include "veltrix/transport/ble_frame.h"

#include <gtest/gtest.h>

#include "veltrix/platform/log.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using platform::asBytes;
using U = KVISOUtils;

Bytes raw(std::initializer_list<int> values) {
  Bytes out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

Bytes frameOf(std::string_view payload) { return *U::createCommonForBLE(asBytes(payload)); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string text(const Bytes& bytes) { return platform::toText(bytes); }

TEST(BleFrame, FramesMatchTheHandCheckedExamples) {
  EXPECT_EQ(frameOf("{}"), raw({0x02, 0x00, 0x00, 0x02, 0x7B, 0x7D, 0x03, 0x07}));
  EXPECT_EQ(frameOf("abc"), raw({0x02, 0x00, 0x00, 0x03, 0x61, 0x62, 0x63, 0x03, 0x60}));
  EXPECT_EQ(frameOf(""), raw({0x02, 0x00, 0x00, 0x00, 0x03, 0x03}));
  const Bytes big(1234, 'x');
  const Bytes frame = *U::createCommonForBLE(big);
  EXPECT_EQ(Bytes(frame.begin() + 1, frame.begin() + 4), raw({0x00, 0x12, 0x34}));
  EXPECT_EQ(frame.size(), 1240u);
}

TEST(BleFrame, RefusesPayloadsTheLengthFieldCannotHold) {
  const Bytes largest(kBleMaxPayloadBytes, ' ');
  const auto frame = U::createCommonForBLE(largest);
  ASSERT_TRUE(frame);
  EXPECT_EQ(Bytes(frame->begin() + 1, frame->begin() + 4), raw({0x99, 0x99, 0x99}));
  EXPECT_TRUE(U::isValidBLEPacket(*frame));
  EXPECT_FALSE(U::createCommonForBLE(Bytes(kBleMaxPayloadBytes + 1, ' ')));
}

TEST(BleFrame, CompletenessAndValidityTests) {
  const Bytes braces = frameOf("{}");
  EXPECT_TRUE(U::isResponseComplete(braces));
  EXPECT_TRUE(U::isValidBLEPacket(braces));
  EXPECT_TRUE(BleReceiveBuffers::isResponseComplete(braces));

  // The utility test reads no length field; only the packet check does.
  EXPECT_TRUE(U::isResponseComplete(raw({0x02, 0x03, 0x03})));
  EXPECT_FALSE(U::isValidBLEPacket(raw({0x02, 0x03, 0x03})));
  EXPECT_FALSE(BleReceiveBuffers::isResponseComplete(raw({0x02, 0x03, 0x03})));

  Bytes flipped = braces;
  flipped.back() ^= 0x01;
  EXPECT_FALSE(U::isResponseComplete(flipped));
  EXPECT_FALSE(U::isValidBLEPacket(flipped));
  Bytes wrongLength = braces;
  wrongLength[3] = 0x03;
  wrongLength.back() ^= 0x02 ^ 0x03;  // keep the check byte right
  EXPECT_TRUE(U::isResponseComplete(wrongLength));
  EXPECT_FALSE(U::isValidBLEPacket(wrongLength));
  EXPECT_FALSE(U::isResponseComplete(raw({0x02})));
  EXPECT_FALSE(U::isResponseComplete({}));

  EXPECT_EQ(U::calculateLRCForData({}), 0);
  EXPECT_EQ(U::calculateLRCForData(raw({0x0F, 0xF0, 0x01})), 0xFE);
  EXPECT_EQ(U::caculateLRC({}), raw({0x00}));
}

TEST(BleFrame, TransportCompletenessTestLogsEachRefusal) {
  platform::ScopedLogCapture log;
  EXPECT_FALSE(BleReceiveBuffers::isResponseComplete(raw({0x7B, 0, 0, 0, 3, 3})));
  EXPECT_TRUE(log.contains("起始符校验失败: 期望 0x02, 实际 0x7B, data length = 6"));
  EXPECT_FALSE(BleReceiveBuffers::isResponseComplete(raw({0x02, 0, 0})));
  EXPECT_TRUE(log.contains("数据长度不足: 3, 至少需要6字节"));
  EXPECT_FALSE(BleReceiveBuffers::isResponseComplete(raw({0x02, 0, 0, 0, 4, 3})));
  EXPECT_TRUE(log.contains("结束符校验失败: 期望 0x03, 实际 0x04, data length = 6"));
  EXPECT_FALSE(BleReceiveBuffers::isResponseComplete(raw({0x02, 0, 0, 0, 3, 9})));
  EXPECT_TRUE(log.contains("LRC校验失败: 期望 09, 实际 03"));
  EXPECT_TRUE(BleReceiveBuffers::isResponseComplete(raw({0x02, 0, 0, 0, 3, 3})));
  EXPECT_TRUE(log.contains("数据校验通过: length = 6"));
}

TEST(BleFrame, PacketsAreFixed512ByteCuts) {
  struct Case {
    std::size_t frame;
    std::vector<std::size_t> packets;
  };
  const Case cases[] = {{6, {6}}, {512, {512}}, {513, {512, 1}}, {1025, {512, 512, 1}}, {0, {}}};
  for (const Case& c : cases) {
    Bytes frame(c.frame);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
    const std::vector<Bytes> packets = splitBlePackets(frame);
    std::vector<std::size_t> sizes;
    Bytes joined;
    for (const Bytes& p : packets) {
      sizes.push_back(p.size());
      joined.insert(joined.end(), p.begin(), p.end());
    }
    EXPECT_EQ(sizes, c.packets) << c.frame;
    EXPECT_EQ(joined, frame);
  }
}

TEST(BleFrame, CBUUIDTexts) {
  EXPECT_EQ(U::CBUUIDToString(raw({0x18, 0x0A})), "180a");
  EXPECT_EQ(U::CBUUIDToString(raw({0x00, 0x00, 0xFE, 0xE7})), "0000fee7");
  EXPECT_EQ(U::CBUUIDToString(raw({0x6E, 0x40, 0x00, 0x01, 0xB5, 0xA3, 0xF3, 0x93, 0xE0, 0xA9, 0xE5,
                                   0x0E, 0x24, 0xDC, 0xCA, 0x9E})),
            "6e400001-b5a3-f393-e0a9-e50e24dcca9e");
  EXPECT_EQ(U::CBUUIDToString(raw({0x01})), "");
}

// {"receipt":"rrr..."} with `n` r's, built by appending: GCC 12 at -O3
// reports `"literal" + std::string(n, c)` as an out-of-bounds copy.
std::string receiptOf(std::size_t n) {
  std::string text = R"({"receipt":")";
  text.append(n, 'r');
  text += R"("})";
  return text;
}

class BleReceive : public ::testing::Test {
 protected:
  std::vector<Bytes> feed(const Bytes& bytes) { return buffers.receive("SN1", bytes); }
  // Feeds `bytes` in pieces of `piece` bytes and collects every payload.
  std::vector<std::string> feedInPieces(const Bytes& bytes, std::size_t piece) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      const Bytes part(
          bytes.begin() + static_cast<std::ptrdiff_t>(at),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, bytes.size())));
      for (const Bytes& p : feed(part)) out.push_back(text(p));
    }
    return out;
  }

  BleReceiveBuffers buffers;
  platform::ScopedLogCapture log;
};

TEST_F(BleReceive, CollectsAFrameOverSeveralNotifications) {
  const Bytes frame = frameOf(R"({"a":1})");
  // The first piece ends inside the length field.
  EXPECT_TRUE(feed(Bytes(frame.begin(), frame.begin() + 3)).empty());
  EXPECT_EQ(buffers.bufferedSize("SN1"), 3u);
  const auto frames = feed(Bytes(frame.begin() + 3, frame.end()));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"a":1})");
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);
}

TEST_F(BleReceive, DropsANotificationThatStartsNoFrame) {
  EXPECT_TRUE(feed(raw({'{', '}'})).empty());
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);
  EXPECT_TRUE(log.contains("异常数据，丢弃: sn = SN1, firstByte = 0x7B"));
  EXPECT_TRUE(feed({}).empty());
  EXPECT_EQ(feed(frameOf("{}")).size(), 1u);
}

TEST_F(BleReceive, DeliversTwoFramesOfOneNotificationBoth) {
  const auto frames = feed(concat({frameOf(R"({"n":1})"), frameOf(R"({"n":2})")}));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(text(frames[0]), R"({"n":1})");
  EXPECT_EQ(text(frames[1]), R"({"n":2})");
}

TEST_F(BleReceive, KeepsTheStartOfTheNextFrame) {
  const Bytes second = frameOf(R"({"n":2})");
  const auto frames =
      feed(concat({frameOf(R"({"n":1})"), Bytes(second.begin(), second.begin() + 5)}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(buffers.bufferedSize("SN1"), 5u);
  const auto rest = feed(Bytes(second.begin() + 5, second.end()));
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(text(rest[0]), R"({"n":2})");
}

TEST_F(BleReceive, CollectsFramesFarBeyondTheOld4096ByteLimit) {
  const std::string payload = receiptOf(200000);
  const auto frames = feedInPieces(frameOf(payload), 512);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], payload);
}

TEST_F(BleReceive, DropsACorruptFrameAndRecoversWithTheNext) {
  Bytes bad = frameOf(R"({"n":1})");
  bad.back() ^= 0x01;
  const auto frames = feed(concat({bad, frameOf(R"({"n":2})")}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"n":2})");
  EXPECT_TRUE(log.contains("LRC校验失败"));
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);
}

TEST_F(BleReceive, ACorruptFrameAloneDoesNotBlockTheNextNotification) {
  Bytes bad = frameOf(R"({"n":1})");
  bad[5] ^= 0x01;  // payload damaged
  EXPECT_TRUE(feed(bad).empty());
  const auto frames = feed(frameOf(R"({"n":2})"));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"n":2})");
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);
}

TEST_F(BleReceive, AFrameWithTooShortALengthStillCompletesOverSeveralNotifications) {
  const std::string payload = receiptOf(900);
  Bytes frame = frameOf(payload);
  frame[2] = 0x00;
  frame[3] = 0x10;  // claims 10 bytes
  frame.back() = U::calculateLRCForData(ByteView(frame).subspan(1, frame.size() - 2));
  const auto frames = feedInPieces(frame, 185);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], payload);
}

TEST_F(BleReceive, AcceptsPeersWhoseLengthFieldIsWrong) {
  Bytes tooLong = frameOf(R"({"n":1})");
  tooLong[2] = 0x10;  // claims 1007 bytes
  tooLong.back() ^= 0x10;
  const auto frames = feed(tooLong);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"n":1})");

  Bytes tooShort = frameOf(R"({"n":2})");
  tooShort[3] = 0x01;
  tooShort.back() ^= 0x07 ^ 0x01;
  const auto more = feed(tooShort);
  ASSERT_EQ(more.size(), 1u);
  EXPECT_EQ(text(more[0]), R"({"n":2})");
}

TEST_F(BleReceive, AFrameThatCanNeverEndGivesWayToAWholeFrameBehindIt) {
  // An unreadable length field, then a whole frame in the next notification.
  EXPECT_TRUE(feed(raw({0x02, 0xAA, 0xAA, 0xAA, '{', '}', 0x03, 0x00})).empty());
  auto frames = feed(frameOf(R"({"n":1})"));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"n":1})");
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);

  // A frame cut short (the rest of it lost) claims more than ever comes.
  const Bytes cut = frameOf(R"({"receipt":")" + std::string(300, 'r') + R"("})");
  frames = feed(concat({Bytes(cut.begin(), cut.begin() + 100), frameOf(R"({"n":2})")}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(text(frames[0]), R"({"n":2})");
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);

  // A start byte behind the head that begins no whole frame changes nothing.
  frames = feed(concat({Bytes(cut.begin(), cut.begin() + 100), raw({0x02, 0x00, 0x00, 0x09})}));
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(buffers.bufferedSize("SN1"), 104u);
}

TEST_F(BleReceive, ResetsABufferThatGrowsPastTheLargestFrame) {
  Bytes start = raw({0x02, 0xAA, 0xAA, 0xAA});  // no readable length
  EXPECT_TRUE(feed(start).empty());
  const Bytes filler(kBleMaxFrameBytes, 'x');
  EXPECT_TRUE(feed(filler).empty());
  EXPECT_EQ(buffers.bufferedSize("SN1"), 0u);
  EXPECT_TRUE(log.contains("数据过长，重置缓冲区: sn = SN1"));
}

TEST_F(BleReceive, KeepsOneBufferPerTerminal) {
  const Bytes a = frameOf(R"({"t":"a"})");
  const Bytes c = frameOf(R"({"t":"c"})");
  EXPECT_TRUE(buffers.receive("A", Bytes(a.begin(), a.begin() + 6)).empty());
  EXPECT_TRUE(buffers.receive("C", Bytes(c.begin(), c.begin() + 4)).empty());
  const auto fromC = buffers.receive("C", Bytes(c.begin() + 4, c.end()));
  const auto fromA = buffers.receive("A", Bytes(a.begin() + 6, a.end()));
  ASSERT_EQ(fromA.size(), 1u);
  ASSERT_EQ(fromC.size(), 1u);
  EXPECT_EQ(text(fromA[0]), R"({"t":"a"})");
  EXPECT_EQ(text(fromC[0]), R"({"t":"c"})");
  buffers.receive("A", Bytes(a.begin(), a.begin() + 6));
  buffers.clear("A");
  EXPECT_EQ(buffers.bufferedSize("A"), 0u);
}

}  // namespace
}  // namespace veltrix::transport
