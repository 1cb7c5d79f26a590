// The simulated terminal's Bluetooth LE side, checked byte for byte through a
// bare central on the simulated radio (not the library's transport): its
// frames, its advertisement and GATT table, replies in notifications of the
// link size, the handshake, scripted replies and every fault.
#include "sim/ble_simulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/log.h"

namespace veltrix::sim {
namespace {

namespace ble = ::veltrix::platform::ble;
using nlohmann::json;

ByteString bytesOf(std::initializer_list<int> values) {
  ByteString out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// Frames in `bytes` read by the test itself: (payload, well formed).
std::vector<std::pair<std::string, bool>> framesIn(const ByteString& bytes) {
  std::vector<std::pair<std::string, bool>> out;
  std::size_t at = 0;
  while (at + 4 <= bytes.size() && bytes[at] == 0x02) {
    std::size_t n = 0;
    for (std::size_t i = at + 1; i < at + 4; ++i)
      n = n * 100 + (bytes[i] >> 4) * 10 + (bytes[i] & 15);
    if (at + n + 6 > bytes.size()) break;
    std::uint8_t check = 0;
    for (std::size_t i = at + 1; i < at + n + 5; ++i) check ^= bytes[i];
    out.emplace_back(std::string(bytes.begin() + static_cast<long>(at + 4),
                                 bytes.begin() + static_cast<long>(at + 4 + n)),
                     bytes[at + n + 4] == 0x03 && bytes[at + n + 5] == check);
    at += n + 6;
  }
  return out;
}

// A bare central: connects the first terminal it sees, subscribes, writes
// packets one at a time with response and records what comes back.
class RawCentral final : public ble::CentralDelegate,
                         public ble::PeripheralDelegate,
                         public std::enable_shared_from_this<RawCentral> {
 public:
  static std::shared_ptr<RawCentral> on(ble::SimRadio& radio) {
    auto central = std::make_shared<RawCentral>();
    central->manager = radio.createCentral();
    central->manager->setDelegate(central);
    return central;
  }

  void start() {
    manager->scanForPeripherals(
        std::vector<ble::BleUuid>{*ble::BleUuid::fromString(kBleTerminalService)}, false);
  }

  void write(const ByteString& bytes, std::size_t packet = 512) {
    for (std::size_t at = 0; at < bytes.size(); at += packet) {
      queue.emplace_back(bytes.begin() + static_cast<long>(at),
                         bytes.begin() + static_cast<long>(std::min(at + packet, bytes.size())));
    }
    if (!writing) writeNext();
  }

  ByteString received() const {
    ByteString out;
    for (const ByteString& n : notifications) out.insert(out.end(), n.begin(), n.end());
    return out;
  }

  void didUpdateState(ble::ManagerState state) override { states.push_back(state); }
  void didDiscover(const std::shared_ptr<ble::Peripheral>& p, const ble::AdvertisementData& adv,
                   std::int64_t) override {
    if (peripheral) return;
    peripheral = p;
    advertisement = adv;
    manager->stopScan();
    p->setDelegate(weak_from_this());
    manager->connect(p);
  }
  void didConnect(const std::shared_ptr<ble::Peripheral>& p) override {
    p->discoverServices(std::nullopt);
  }
  void didDisconnect(const std::shared_ptr<ble::Peripheral>&,
                     const std::optional<ble::BleError>& error) override {
    disconnects.push_back(error);
  }
  void didDiscoverServices(ble::Peripheral& p, const std::optional<ble::BleError>&) override {
    for (const auto& service : p.services()) p.discoverCharacteristics(std::nullopt, service);
  }
  void didDiscoverCharacteristics(ble::Peripheral& p, const std::shared_ptr<ble::Service>& service,
                                  const std::optional<ble::BleError>&) override {
    for (const auto& c : service->characteristics()) {
      if (c->properties().notify) p.setNotifyValue(true, c);
      if (c->properties().write) writeCharacteristic = c;
      characteristics.push_back(c->uuid().str());
    }
  }
  void didUpdateNotificationState(ble::Peripheral&, const std::shared_ptr<ble::Characteristic>&,
                                  const std::optional<ble::BleError>&) override {
    subscribed = true;
  }
  void didUpdateValue(ble::Peripheral&, const std::shared_ptr<ble::Characteristic>&,
                      const std::optional<platform::Bytes>& value,
                      const std::optional<ble::BleError>& error) override {
    if (value) notifications.push_back(*value);
    if (error) notifyErrors.push_back(*error);
  }
  void didWriteValue(ble::Peripheral&, const std::shared_ptr<ble::Characteristic>&,
                     const std::optional<ble::BleError>& error) override {
    writeErrors.push_back(error);
    writeNext();
  }

  std::shared_ptr<ble::CentralManager> manager;
  std::shared_ptr<ble::Peripheral> peripheral;
  ble::AdvertisementData advertisement;
  std::shared_ptr<ble::Characteristic> writeCharacteristic;
  std::vector<std::string> characteristics;
  bool subscribed = false;
  std::vector<ble::ManagerState> states;
  std::vector<ByteString> notifications;
  std::vector<ble::BleError> notifyErrors;
  std::vector<std::optional<ble::BleError>> writeErrors;
  std::vector<std::optional<ble::BleError>> disconnects;

 private:
  void writeNext() {
    writing = !queue.empty();
    if (!writing) return;
    ByteString packet = std::move(queue.front());
    queue.erase(queue.begin());
    peripheral->writeValueWithResponse(std::move(packet), writeCharacteristic);
  }
  std::vector<ByteString> queue;
  bool writing = false;
};

std::string purchase(const std::string& exchangeId) {
  return R"({"exchangeIdentification":")" + exchangeId +
         R"(","contentType":"caspReq","serviceType":"Purchase","initiatingPartyId":"POS-1",)"
         R"("request":{"totalAmount":"12.34","currency":"EUR"}})";
}

class BleSimulatorTest : public testing::LoopTest {
 protected:
  BleSimulatorTest() : radio(platform::MainLoop::sharedPtr()), central(RawCentral::on(radio)) {}

  // Connects the central to `terminal` and checks it is subscribed.
  void connect() {
    runPending();
    central->start();
    advanceSeconds(0.5);
    ASSERT_TRUE(central->subscribed);
  }

  std::vector<json> messagesReceived() const {
    std::vector<json> out;
    for (const auto& [payload, ok] : framesIn(central->received())) {
      EXPECT_TRUE(ok);
      out.push_back(json::parse(payload));
    }
    return out;
  }

  platform::ScopedLogCapture log;
  ble::SimRadio radio;
  std::shared_ptr<RawCentral> central;
};

TEST(BleFramesTest, WritesAndReadsItsOwnFrames) {
  EXPECT_EQ(bleFrame("{}"), bytesOf({0x02, 0x00, 0x00, 0x02, 0x7B, 0x7D, 0x03, 0x07}));
  EXPECT_EQ(bleFrame("abc"), bytesOf({0x02, 0x00, 0x00, 0x03, 0x61, 0x62, 0x63, 0x03, 0x60}));
  const ByteString long1234 = bleFrame(std::string(1234, 'a'));
  EXPECT_EQ(ByteString(long1234.begin(), long1234.begin() + 4), bytesOf({0x02, 0x00, 0x12, 0x34}));

  // Byte by byte, then two frames in one write behind some noise.
  BleFrameReader reader;
  const ByteString first = bleFrame(R"({"a":1})");
  std::vector<BleFrameReader::Frame> frames;
  for (std::uint8_t b : first) {
    for (auto& f : reader.feed({b})) frames.push_back(std::move(f));
  }
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].payload, R"({"a":1})");
  EXPECT_TRUE(frames[0].valid);

  ByteString two = bytesOf({0x7B, 0x02, 0xAB});  // noise, and a start byte without a BCD length
  for (const ByteString& f : {bleFrame("x"), bleFrame("yz")})
    two.insert(two.end(), f.begin(), f.end());
  frames = reader.feed(two);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].payload, "x");
  EXPECT_EQ(frames[1].payload, "yz");
  EXPECT_EQ(reader.skippedBytes(), 3u);

  ByteString bad = bleFrame("{}");
  bad.back() ^= 1;
  frames = reader.feed(bad);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_FALSE(frames[0].valid);
  EXPECT_EQ(reader.bufferedBytes(), 0u);
}

TEST_F(BleSimulatorTest, AdvertisesItsSerialNumberAndOffersTheTerminalService) {
  BleSimulator terminal(radio, {});
  connect();
  const ByteString expected = [] {
    ByteString data{0xFF, 0xFF};
    const std::string sn = "TAVIO-SIM-0001";
    data.insert(data.end(), sn.begin(), sn.end());
    return data;
  }();
  EXPECT_EQ(central->advertisement.manufacturerData, expected);
  EXPECT_EQ(central->advertisement.localName, "Tavio T1 Pro");
  EXPECT_EQ(central->peripheral->identifier(), terminal.identifier());
  EXPECT_EQ(central->characteristics,
            (std::vector<std::string>{"52784341-5350-5265-7175-657374000000",
                                      "52784341-5350-5265-7370-6f6e73650000"}));
}

TEST_F(BleSimulatorTest, AnswersARequestInNotificationsOfTheLinkSize) {
  BleSimulator terminal(radio, {});
  connect();
  for (const std::size_t mtu : {20, 185, 244, 512}) {
    terminal.setMtu(mtu);
    const std::size_t before = central->notifications.size();
    const std::string request = purchase("EX" + std::to_string(mtu));
    central->write(bleFrame(request), 20);  // cut into writes of 20 bytes
    advanceSeconds(1);
    EXPECT_EQ(terminal.requests().back(), request);

    ByteString received;
    for (std::size_t i = before; i < central->notifications.size(); ++i) {
      EXPECT_LE(central->notifications[i].size(), mtu);
      received.insert(received.end(), central->notifications[i].begin(),
                      central->notifications[i].end());
    }
    const auto frames = framesIn(received);
    ASSERT_EQ(frames.size(), 3u) << mtu;
    const json first = json::parse(frames[0].first);
    const json response = json::parse(frames[2].first);
    EXPECT_EQ(first["serviceType"], "EventNotification");
    EXPECT_EQ(first["exchangeIdentification"], "EX" + std::to_string(mtu));
    EXPECT_EQ(response["serviceType"], "Purchase");
    EXPECT_EQ(response["endFlag"], true);
    EXPECT_EQ(response["response"]["totalAmount"], "12.34");
    EXPECT_EQ(response["response"]["currency"], "EUR");
  }
  EXPECT_EQ(terminal.badFrames(), 0u);
  EXPECT_EQ(terminal.requests().size(), 4u);
}

TEST_F(BleSimulatorTest, AnswersAHandshakeWithItsOwn) {
  BleTerminalOptions options;
  options.sn = "TAVIO-BLE-0007";
  options.parameter = "http,ble";
  options.address = "127.0.0.2:8080";
  BleSimulator terminal(radio, options);
  connect();
  const std::string hello = R"({"sn":"POS","contentType":"discover","protocolVersion":"1.0.01"})";
  central->write(bleFrame(hello));
  advanceSeconds(0.2);
  EXPECT_EQ(terminal.handshakes(), std::vector<std::string>{hello});
  EXPECT_TRUE(terminal.requests().empty());
  EXPECT_EQ(terminal.handshakesSent(), 1u);
  const std::vector<json> messages = messagesReceived();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["sn"], "TAVIO-BLE-0007");
  EXPECT_EQ(messages[0]["parameter"], "http,ble");
  EXPECT_EQ(messages[0]["address"], "127.0.0.2:8080");
  EXPECT_EQ(messages[0]["contentType"], "discover");
  EXPECT_EQ(messages[0]["protocolVersion"], "1.0.01");
  EXPECT_FALSE(messages[0]["services"].empty());

  terminal.setAnswerHandshakes(false);
  central->write(bleFrame(hello));
  advanceSeconds(0.2);
  EXPECT_EQ(terminal.handshakes().size(), 2u);
  EXPECT_EQ(terminal.handshakesSent(), 1u);
}

TEST_F(BleSimulatorTest, ScriptedRepliesComeFirstAndDefaultsCanBeTurnedOff) {
  BleSimulator terminal(radio, {});
  terminal.add(BleReply::of({R"({"n":1})", R"({"n":2})"}, Millis(10)),
               ReplyMatch{std::nullopt, "Refund"});
  terminal.add(
      [](const RecordedRequest& request) {
        return BleReply::of(
            {R"({"echo":")" + request.jsonText("exchangeIdentification").value_or("") + R"("})"});
      },
      ReplyMatch{std::nullopt, "Purchase"}, /*repeat=*/true);
  connect();
  for (const std::string& request :
       {std::string(R"({"serviceType":"Refund"})"), purchase("P1"), purchase("P2")}) {
    central->write(bleFrame(request));
    advanceSeconds(1);
  }
  std::vector<std::string> texts;
  for (const json& m : messagesReceived()) texts.push_back(m.dump());
  EXPECT_EQ(texts, (std::vector<std::string>{R"({"n":1})", R"({"n":2})", R"({"echo":"P1"})",
                                             R"({"echo":"P2"})"}));

  // The refund script was used up; without defaults a request is not answered.
  terminal.setDefaultsEnabled(false);
  const std::size_t before = central->notifications.size();
  central->write(bleFrame(R"({"serviceType":"Refund"})"));
  advanceSeconds(1);
  EXPECT_EQ(central->notifications.size(), before);
  EXPECT_EQ(terminal.requests().size(), 4u);
}

TEST_F(BleSimulatorTest, FaultsActOnTheResponse) {
  const std::vector<std::string> texts{R"({"serviceType":"EventNotification","n":1})",
                                       R"({"serviceType":"Purchase","n":2})"};
  const ByteString note = bleFrame(texts[0]);
  const ByteString answer = bleFrame(texts[1]);

  {  // A wrong first byte.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kBadFirstByte));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    ASSERT_EQ(central->notifications.size(), 2u);
    EXPECT_EQ(central->notifications[0], note);
    ByteString wrong = answer;
    wrong[0] = 0x01;
    EXPECT_EQ(central->notifications[1], wrong);
  }
  central = RawCentral::on(radio);
  {  // A wrong check byte.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kBadLrc));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    const auto frames = framesIn(central->received());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].second);
    EXPECT_FALSE(frames[1].second);
    EXPECT_EQ(frames[1].first, texts[1]);
  }
  central = RawCentral::on(radio);
  {  // Two frames in one notification.
    BleTerminalOptions options;
    options.mtu = 512;
    BleSimulator terminal(radio, options);
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kTwoFramesInOneNotification));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    ByteString both = note;
    both.insert(both.end(), answer.begin(), answer.end());
    EXPECT_EQ(central->notifications, std::vector<ByteString>{both});
  }
  central = RawCentral::on(radio);
  {  // A frame over 4096 bytes, in notifications of the link size.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kOversizedFrame));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    const auto frames = framesIn(central->received());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_GE(frames[1].first.size() + 6, 6000u);
    const json padded = json::parse(frames[1].first);
    EXPECT_EQ(padded["n"], 2);
    for (const ByteString& n : central->notifications) EXPECT_LE(n.size(), 185u);
  }
}

TEST_F(BleSimulatorTest, FaultsOfTheLinkAndTheRadio) {
  const std::vector<std::string> texts{R"({"serviceType":"EventNotification"})",
                                       R"({"serviceType":"Purchase"})"};
  {  // A notification error instead of the response.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kNotifyError));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    EXPECT_EQ(central->notifications.size(), 1u);
    EXPECT_EQ(central->notifyErrors.size(), 1u);
  }
  central = RawCentral::on(radio);
  {  // The terminal drops the link after the first message.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kDisconnect));
    connect();
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    EXPECT_EQ(central->notifications.size(), 1u);
    ASSERT_EQ(central->disconnects.size(), 1u);
    EXPECT_TRUE(central->disconnects[0]);
  }
  central = RawCentral::on(radio);
  {  // A refused write, then the radio goes off instead of the response.
    BleSimulator terminal(radio, {});
    terminal.add(BleReply::of(texts, Millis(10), BleFault::kPowerOff));
    connect();
    terminal.failWrite(2);
    central->write(bleFrame(std::string(600, ' ') + "{}"));  // two packets
    advanceSeconds(0.2);
    ASSERT_EQ(central->writeErrors.size(), 2u);
    EXPECT_FALSE(central->writeErrors[0]);
    EXPECT_TRUE(central->writeErrors[1]);
    EXPECT_TRUE(terminal.requests().empty());
    advanceSeconds(1);  // the unfinished frame is given up
    central->write(bleFrame("{}"));
    advanceSeconds(0.5);
    EXPECT_EQ(terminal.requests().size(), 1u);
    EXPECT_EQ(radio.state(), ble::ManagerState::PoweredOff);
    EXPECT_EQ(central->states.back(), ble::ManagerState::PoweredOff);
  }
}

TEST_F(BleSimulatorTest, AReplyUnderWayEndsWithItsLink) {
  BleSimulator terminal(radio, {});
  connect();
  central->write(bleFrame(purchase("EX1")));
  advanceSeconds(0.15);  // the first notification is out
  const std::size_t sent = central->notifications.size();
  EXPECT_GT(sent, 0u);
  terminal.disconnect();
  advanceSeconds(1);
  EXPECT_EQ(central->notifications.size(), sent);
  EXPECT_FALSE(terminal.device().isConnected());
}

}  // namespace
}  // namespace veltrix::sim
