// The Bluetooth LE transport's second half: the order of a send's checks,
// packets, responses in notifications of every size, handshakes beside an
// open request, and every error code, each reported once.
#include <gtest/gtest.h>

#include "ble_test_terminal.h"

namespace veltrix::transport::bletest {
namespace {

constexpr std::string_view kResponse =
    R"({"exchangeIdentification":"EX1","serviceType":"Purchase","endFlag":false,"response":{}})";

std::string notification(const std::string& exchangeId) {
  return R"({"exchangeIdentification":")" + exchangeId +
         R"(","serviceType":"EventNotification","response":{"event":"CARD_INSERTED"}})";
}

struct Handshakes : BLECommunicateServiceDelegate {
  std::vector<std::pair<std::string, std::string>> received;
  void didReceiveData(const std::string& text, const std::string& sn) override {
    received.emplace_back(text, sn);
  }
};

using BleSendTest = BleTransportTest;

TEST_F(BleSendTest, ChecksTheTargetAndTheTextInOrder) {
  ExchangeCalls none;
  send("", "{}", none);
  EXPECT_EQ(none.error(), std::make_pair(-1l, std::string("Target UUID is required for "
                                                          "multi-device connection")));
  EXPECT_FALSE(none.results[0].response);
  EXPECT_TRUE(none.results[0].endFlag);
  EXPECT_EQ(none.results[0].exchangeId, "EX1");
  EXPECT_EQ(none.results[0].serviceType, "Purchase");
  ExchangeCalls unknown;
  send("NOPE", "{}", unknown);
  EXPECT_EQ(unknown.error(), std::make_pair(-2l, std::string("Device not connected")));

  TestTerminal first(radio, "FIRST0000001");
  ConnectCalls connecting;
  service.connectPeripheralWithSN(first.sn(), connecting.block());
  advanceSeconds(0.13);
  ExchangeCalls notReady;
  send(first.sn(), "{}", notReady);
  EXPECT_EQ(notReady.error(), std::make_pair(-3l, std::string("Device not ready")));
  advanceSeconds(0.5);

  // With one terminal the target may be left out.
  ExchangeCalls implicit;
  send("", R"({"a":1})", implicit);
  advanceSeconds(0.1);
  EXPECT_EQ(first.requests, std::vector<std::string>{R"({"a":1})"});

  TerminalOptions noWrite;
  noWrite.sn = "NOWRITE00001";
  noWrite.hasWrite = false;
  TestTerminal writeless(radio, noWrite);
  connect(writeless);
  ExchangeCalls two;
  send("", "{}", two);
  EXPECT_EQ(two.error().first, -1);

  struct Case {
    std::optional<std::string> text;
    std::string sn;
    std::int64_t code;
    std::string message;
  };
  const Case cases[] = {
      {std::nullopt, first.sn(), -5, "Device not connected or empty data"},
      {"", first.sn(), -5, "Device not connected or empty data"},
      {"{\"a\":\"\xC3\x28\"}", first.sn(), -6, "Data encoding failed"},
      {"{}", writeless.sn(), -7, "Write characteristic not found"},
  };
  for (const Case& c : cases) {
    ExchangeCalls calls;
    send(c.sn, c.text, calls);
    EXPECT_EQ(calls.error(), std::make_pair(c.code, c.message)) << c.message;
  }

  // Bluetooth off with the record still ready: the request is kept, then
  // refused.
  radio.setState(ble::ManagerState::PoweredOff);
  runPending();
  ExchangeCalls off;
  send(first.sn(), R"({"b":2})", off, "EX9");
  EXPECT_EQ(off.error(), std::make_pair(-4l, std::string("Bluetooth is not enabled")));
  const auto record = service.getConnectionBySN(first.sn());
  EXPECT_EQ(record->requestData, R"({"b":2})");
  EXPECT_EQ(record->exchangeId, "EX9");
}

TEST_F(BleSendTest, WritesFramesIn512BytePacketsOneAtATime) {
  TestTerminal terminal(radio);
  connect(terminal);
  const std::string text = R"({"pad":")" + std::string(1200 - 6 - 10, 'p') + R"("})";
  ExchangeCalls calls;
  send(terminal.sn(), text, calls);
  advanceSeconds(0.1);
  EXPECT_EQ(terminal.writeSizes, (std::vector<std::size_t>{512, 512, 176}));
  EXPECT_EQ(terminal.requests, std::vector<std::string>{text});
  EXPECT_EQ(terminal.badFrames, 0);
  EXPECT_TRUE(calls.results.empty());
}

TEST_F(BleSendTest, DeliversNotificationsAndTheResponseInChunksOfEveryLinkSize) {
  TestTerminal terminal(radio);
  connect(terminal);
  service.setNotificationParser([](const std::string& text) {
    auto param = std::make_shared<model::EventNotificationParam>();
    param->eventTime = std::to_string(text.size());
    return param;
  });
  const std::string receipt =
      R"({"serviceType":"Purchase","receipt":")" + std::string(10000, 'r') + R"("})";
  for (const std::size_t chunk : {20, 185, 244, 512}) {
    ExchangeCalls calls;
    send(terminal.sn(), "{}", calls, "EX1");
    terminal.send(notification("N1"), chunk);
    terminal.send(notification("N2"), chunk);
    terminal.send(kResponse, chunk);
    terminal.send(receipt, chunk);
    advanceSeconds(1);
    ASSERT_EQ(calls.progress.size(), 2u) << chunk;
    EXPECT_EQ(calls.progress[1].exchangeId, "N2");
    EXPECT_EQ(calls.progress[1].serviceType, "EventNotification");
    ASSERT_TRUE(calls.progress[1].notification);
    EXPECT_EQ(calls.progress[1].notification->eventTime, std::to_string(notification("N2").size()));
    ASSERT_EQ(calls.results.size(), 2u) << chunk;
    const auto& r = calls.results[0];
    EXPECT_EQ(r.response, kResponse);
    EXPECT_EQ(r.exchangeId, "EX1");
    EXPECT_TRUE(r.endFlag);  // the message's own endFlag is not read
    EXPECT_EQ(r.serviceType, "Purchase");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.message, "Data received successfully");
    EXPECT_EQ(calls.results[1].response, receipt);
  }
}

TEST_F(BleSendTest, TwoFramesInOneNotificationAreBothDelivered) {
  TestTerminal terminal(radio);
  connect(terminal);
  ExchangeCalls calls;
  send(terminal.sn(), "{}", calls);
  terminal.sendBytes(joined({terminalFrame(notification("N1")), terminalFrame(kResponse)}), 4096);
  advanceSeconds(0.1);
  EXPECT_EQ(calls.progress.size(), 1u);
  ASSERT_EQ(calls.results.size(), 1u);
  EXPECT_EQ(calls.results[0].response, kResponse);
  EXPECT_TRUE(calls.progress[0].notification);  // the codec's parser by default

  // A hand-written frame of "{}" (no serviceType: a response).
  terminal.sendBytes(Bytes{0x02, 0x00, 0x00, 0x02, 0x7B, 0x7D, 0x03, 0x07});
  advanceSeconds(0.1);
  ASSERT_EQ(calls.results.size(), 2u);
  EXPECT_EQ(calls.results[1].response, "{}");
}

TEST_F(BleSendTest, AHandshakeLeavesTheOpenRequestAlone) {
  TestTerminal terminal(radio);
  connect(terminal);
  const auto handshakes = std::make_shared<Handshakes>();
  service.setDelegate(handshakes);

  const std::string request = R"({"pad":")" + std::string(1500, 'p') + R"("})";
  ExchangeCalls payment;
  send(terminal.sn(), request, payment, "PAY1");
  // The discovery tick fires while the payment's packets are written.
  ExchangeCalls ignored;
  const std::string hello = R"({"contentType":"discover","protocolVersion":"1.0.01","sn":"POS"})";
  service.sendRequest(hello, std::nullopt, std::nullopt, terminal.sn(), ignored.progressBlock(),
                      ignored.resultBlock());
  advanceSeconds(0.1);
  EXPECT_EQ(terminal.requests, (std::vector<std::string>{request, hello}));
  EXPECT_EQ(terminal.badFrames, 0);

  const std::string reply = R"({"contentType":"discover","protocolVersion":"1.0.01","sn":"T"})";
  terminal.send(reply);
  advanceSeconds(0.1);
  EXPECT_EQ(handshakes->received,
            (std::vector<std::pair<std::string, std::string>>{{reply, terminal.sn()}}));
  EXPECT_TRUE(payment.results.empty());

  terminal.send(kResponse);
  advanceSeconds(0.1);
  ASSERT_EQ(payment.results.size(), 1u);
  EXPECT_EQ(payment.results[0].exchangeId, "PAY1");
  EXPECT_TRUE(ignored.results.empty());
  EXPECT_TRUE(ignored.progress.empty());
}

TEST_F(BleSendTest, ASecondRequestReplacesTheFirst) {
  TestTerminal terminal(radio);
  connect(terminal);
  ExchangeCalls first;
  ExchangeCalls second;
  send(terminal.sn(), R"({"n":1})", first, "EX1");
  send(terminal.sn(), R"({"n":2})", second, "EX2");
  advanceSeconds(0.1);
  terminal.send(kResponse);
  advanceSeconds(0.1);
  EXPECT_TRUE(first.results.empty());
  ASSERT_EQ(second.results.size(), 1u);
  EXPECT_EQ(second.results[0].exchangeId, "EX2");
  EXPECT_EQ(terminal.requests.back(), R"({"n":2})");
}

using BleFailureTest = BleTransportTest;

TEST_F(BleFailureTest, AFailedPacketWriteFailsTheRequestOnce) {
  TestTerminal terminal(radio);
  connect(terminal);
  ble::SimFaults faults;
  faults.failWriteNumber = 2;
  terminal.device().setFaults(faults);
  ExchangeCalls calls;
  send(terminal.sn(), R"({"pad":")" + std::string(1200, 'p') + R"("})", calls);
  advanceSeconds(1);
  EXPECT_EQ(calls.error(), std::make_pair(-11l, std::string("Data write failed")));
  EXPECT_TRUE(log.contains("写入数据失败: Writing is not permitted., sn = TAVIO0000001"));
  EXPECT_EQ(terminal.writeSizes.size(), 1u);  // nothing after the failed packet

  // A failure after the answer only reaches the log.
  ExchangeCalls answered;
  send(terminal.sn(), "{}", answered);
  terminal.send(kResponse);
  advanceSeconds(0.1);
  terminal.device().notifyError(kNotify, ble::BleError{1, "d", "lost"});
  advanceSeconds(0.1);
  EXPECT_EQ(answered.results.size(), 1u);
  EXPECT_TRUE(log.contains("didUpdateValueForCharacteristic error: lost, sn = TAVIO0000001"));
  EXPECT_TRUE(log.contains("BLE error after the request was answered: code = -9"));
}

TEST_F(BleFailureTest, ANotificationErrorFailsTheOpenRequest) {
  TestTerminal terminal(radio);
  connect(terminal);
  ExchangeCalls calls;
  send(terminal.sn(), "{}", calls);
  terminal.device().notifyError(kNotify, ble::BleError{1, "d", "lost"});
  advanceSeconds(0.1);
  EXPECT_EQ(calls.error(), std::make_pair(-9l, std::string("Receive data failed")));
}

TEST_F(BleFailureTest, BluetoothOffTellsOnlyUnansweredRequests) {
  TestTerminal a(radio, "AAAA00000001");
  TestTerminal b(radio, "BBBB00000001");
  connect(a);
  connect(b);
  ExchangeCalls answered;
  ExchangeCalls open;
  send(a.sn(), "{}", answered, "A1");
  send(b.sn(), "{}", open, "B1");
  a.send(kResponse);
  advanceSeconds(60);
  radio.setState(ble::ManagerState::PoweredOff);
  runPending();
  EXPECT_EQ(answered.results.size(), 1u);
  EXPECT_EQ(open.error(), std::make_pair(-8l, std::string("Bluetooth is off")));
  EXPECT_EQ(open.results[0].exchangeId, "B1");
  EXPECT_TRUE(service.isDeviceConnectedWithSN(a.sn()));  // records stay

  // Power loss also ends an attempt under way, which would never answer.
  radio.setState(ble::ManagerState::PoweredOn);
  runPending();
  TestTerminal c(radio, "CCCC00000001");
  ConnectCalls connecting;
  service.connectPeripheralWithSN(c.sn(), connecting.block());
  advanceSeconds(0.11);
  radio.setState(ble::ManagerState::Resetting);
  runPending();
  ASSERT_EQ(connecting.calls.size(), 1u);
  EXPECT_EQ(connecting.calls[0].message, "Device connect failed: Bluetooth resetting");
}

TEST_F(BleFailureTest, ASilentTerminalTimesOutAfter180Seconds) {
  TestTerminal terminal(radio);
  connect(terminal);
  ExchangeCalls calls;
  send(terminal.sn(), "{}", calls);
  advanceSeconds(100);
  terminal.send(notification("EX1"));
  advanceSeconds(179.9);  // 180 s after the notification came in
  EXPECT_TRUE(calls.results.empty());
  advanceSeconds(0.2);
  EXPECT_EQ(calls.error(), std::make_pair(-10l, std::string("Response timeout")));
  advanceSeconds(400);
  EXPECT_EQ(calls.results.size(), 1u);
}

TEST_F(BleFailureTest, ADisconnectAnswersTheOpenRequestOnce) {
  TestTerminal terminal(radio);
  connect(terminal);
  ExchangeCalls calls;
  send(terminal.sn(), "{}", calls);
  advanceSeconds(0.1);
  statuses.clear();
  terminal.device().disconnect();
  advanceSeconds(0.1);
  EXPECT_EQ(calls.error(), std::make_pair(-2l, std::string("Device not connected")));
  EXPECT_EQ(statuses,
            (std::vector<StatusEvent>{{BLEConnectStatus::Disconnected,
                                       "Device disconnected abnormally", terminal.sn()}}));
  EXPECT_FALSE(service.getConnectionBySN(terminal.sn()));
  advanceSeconds(400);
  EXPECT_EQ(calls.results.size(), 1u);
}

}  // namespace
}  // namespace veltrix::transport::bletest
