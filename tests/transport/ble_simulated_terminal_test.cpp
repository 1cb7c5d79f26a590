// The Bluetooth LE transport against tavio-sim's Bluetooth LE terminal: an
// exchange in every link size, every fault the terminal can play and how it
// reaches the request, and the discovery adapter over the transport.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/ble_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/ble_discovery_adapter.h"

namespace veltrix::transport {
namespace {

namespace ble = ::veltrix::platform::ble;
using sim::BleFault;
using sim::BleReply;
using sim::BleSimulator;
using sim::BleTerminalOptions;

std::string purchase(const std::string& exchangeId) {
  return R"({"exchangeIdentification":")" + exchangeId +
         R"(","contentType":"caspReq","serviceType":"Purchase","protocolVersion":"1.0.01",)"
         R"("request":{"totalAmount":"9.99","currency":"USD"}})";
}

BleTerminalOptions terminalNamed(std::string sn) {
  BleTerminalOptions options;
  options.sn = std::move(sn);
  return options;
}

// What one request's blocks were given.
struct Exchange {
  struct Result {
    std::optional<std::string> response;
    std::optional<std::string> exchangeId;
    bool endFlag = false;
    std::int64_t code = 0;
    std::optional<std::string> message;
  };
  std::shared_ptr<std::vector<Result>> results = std::make_shared<std::vector<Result>>();
  std::shared_ptr<std::vector<std::shared_ptr<const model::EventNotificationParam>>> progress =
      std::make_shared<std::vector<std::shared_ptr<const model::EventNotificationParam>>>();

  CommunicateResultBlock resultBlock() const {
    return [r = results](std::optional<std::string> response, std::optional<std::string> id,
                         bool end, std::optional<std::string>, std::int64_t code,
                         std::optional<std::string> msg) {
      r->push_back({std::move(response), std::move(id), end, code, std::move(msg)});
    };
  }
  CommunicateProgressBlock progressBlock() const {
    return [p = progress](std::optional<std::string>, std::optional<std::string>,
                          std::shared_ptr<const model::EventNotificationParam> n) {
      p->push_back(std::move(n));
    };
  }
  // The one failure, as (code, message); (0, "") otherwise.
  std::pair<std::int64_t, std::string> error() const {
    if (results->size() != 1 || results->front().response) return {0, ""};
    return {results->front().code, results->front().message.value_or("")};
  }
};

struct Handshakes final : BleDiscoveryDelegate {
  std::vector<std::pair<std::string, std::string>> received;  // (text, sn)
  void didReceiveData(const std::string& text, const std::string& sn) override {
    received.emplace_back(text, sn);
  }
};

class BleSimulatedTerminalTest : public testing::LoopTest {
 protected:
  BleSimulatedTerminalTest()
      : radio(platform::MainLoop::sharedPtr()),
        defaults(docs() / "defaults.json"),
        service(std::make_shared<BLECommunicateService>(radio.createCentral(), defaults)),
        adapter(service) {
    runPending();
  }

  void connect(const BleSimulator& terminal) {
    bool ok = false;
    adapter.connectPeripheralWithSN(terminal.sn(),
                                    [&](bool success, const auto&, const auto&) { ok = success; });
    advanceSeconds(0.5);
    ASSERT_TRUE(ok);
  }

  Exchange send(const BleSimulator& terminal, const std::string& text,
                const std::string& exchangeId = "EX1") {
    Exchange exchange;
    service->sendRequest(text, exchangeId, "Purchase", terminal.sn(), exchange.progressBlock(),
                         exchange.resultBlock());
    return exchange;
  }

  platform::ScopedLogCapture log;
  ble::SimRadio radio;
  platform::UserDefaults defaults;
  std::shared_ptr<BLECommunicateService> service;
  BLEDiscoveryAdapter adapter;
};

TEST_F(BleSimulatedTerminalTest, APaymentInEveryLinkSize) {
  BleSimulator terminal(radio, {});
  connect(terminal);
  for (const std::size_t mtu : {20, 185, 244, 512}) {
    terminal.setMtu(mtu);
    const std::string id = "EX" + std::to_string(mtu);
    Exchange exchange = send(terminal, purchase(id), id);
    advanceSeconds(1);
    ASSERT_EQ(exchange.progress->size(), 2u) << mtu;
    ASSERT_TRUE(exchange.progress->at(0));
    EXPECT_EQ(exchange.progress->at(0)->event, model::EventToNotifyCode::CRDI);
    EXPECT_EQ(exchange.progress->at(1)->event, model::EventToNotifyCode::ONPR);
    ASSERT_EQ(exchange.results->size(), 1u) << mtu;
    const Exchange::Result& result = exchange.results->front();
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(result.endFlag);
    EXPECT_EQ(result.exchangeId, id);
    const std::optional<platform::Json> response = platform::parseJson(*result.response);
    ASSERT_TRUE(response);
    EXPECT_EQ((*response)["exchangeIdentification"], id);
    EXPECT_EQ((*response)["response"]["totalAmount"], "9.99");
  }
  EXPECT_EQ(terminal.requests().size(), 4u);
  EXPECT_EQ(terminal.badFrames(), 0u);
}

TEST_F(BleSimulatedTerminalTest, ARequestSentFromTheConnectCompletionIsWrittenOnce) {
  BleSimulator terminal(radio, {});
  const std::string request =
      purchase("EX1").insert(1, R"("pad":")" + std::string(900, 'p') + "\",");
  Exchange exchange;
  adapter.connectPeripheralWithSN(terminal.sn(), [&](bool ok, const auto&, const auto&) {
    ASSERT_TRUE(ok);
    service->sendRequest(request, "EX1", "Purchase", terminal.sn(), exchange.progressBlock(),
                         exchange.resultBlock());
  });
  advanceSeconds(1);
  const std::size_t frame = request.size() + 6;
  EXPECT_EQ(terminal.writeSizes(), (std::vector<std::size_t>{512, 512, frame - 1024}));
  EXPECT_EQ(terminal.requests(), std::vector<std::string>{request});
  EXPECT_EQ(terminal.badFrames(), 0u);
  ASSERT_EQ(exchange.results->size(), 1u);
  EXPECT_EQ(exchange.results->front().code, 0);
}

TEST_F(BleSimulatedTerminalTest, EveryFaultReachesTheOpenRequestOnce) {
  const std::vector<std::string> texts{
      R"({"exchangeIdentification":"EX1","serviceType":"EventNotification","response":{"event":"INIT"}})",
      R"({"exchangeIdentification":"EX1","serviceType":"Purchase","endFlag":true,"response":{}})"};
  struct Case {
    const char* name;
    BleFault fault;
    std::int64_t failWrite;
    std::int64_t code;
    const char* message;
    double wait;
  };
  const Case cases[] = {
      {"notify error", BleFault::kNotifyError, 0, -9, "Receive data failed", 1},
      {"disconnect", BleFault::kDisconnect, 0, -2, "Device not connected", 1},
      {"power off", BleFault::kPowerOff, 0, -8, "Bluetooth is off", 1},
      {"write error", BleFault::kNone, 1, -11, "Data write failed", 1},
      // The frame is never complete: the request hears nothing until 180 s.
      {"bad first byte", BleFault::kBadFirstByte, 0, -10, "Response timeout", 181},
      {"bad check byte", BleFault::kBadLrc, 0, -10, "Response timeout", 181},
  };
  for (const Case& c : cases) {
    radio.setState(ble::ManagerState::PoweredOn);
    runPending();
    BleSimulator terminal(radio, terminalNamed(std::string("FAULT-") + c.name));
    terminal.add(BleReply::of(texts, sim::Millis(10), c.fault));
    connect(terminal);
    if (c.failWrite > 0) terminal.failWrite(c.failWrite);
    Exchange exchange = send(terminal, purchase("EX1"));
    advanceSeconds(c.wait);
    EXPECT_EQ(exchange.error(), std::make_pair(c.code, std::string(c.message))) << c.name;
    // Notifications before the fault still arrived (not for a refused write).
    EXPECT_EQ(exchange.progress->size(), c.failWrite > 0 ? 0u : 1u) << c.name;
  }
}

TEST_F(BleSimulatedTerminalTest, FramesThatShareNotificationsOrPassTheOldLimitArrive) {
  BleTerminalOptions options;
  options.mtu = 512;
  options.oversizeBytes = 9000;
  BleSimulator terminal(radio, options);
  const std::string note =
      R"({"exchangeIdentification":"EX1","serviceType":"EventNotification","response":{}})";
  const std::string answer = R"({"serviceType":"Purchase","response":{"response":"SUCC"}})";
  terminal.add(
      BleReply::of({note, answer}, sim::Millis(10), BleFault::kTwoFramesInOneNotification));
  terminal.add(BleReply::of({note, answer}, sim::Millis(10), BleFault::kOversizedFrame));
  terminal.add(BleReply::of({answer}, sim::Millis(10), BleFault::kBadLrc));
  connect(terminal);

  Exchange both = send(terminal, purchase("EX1"));
  advanceSeconds(1);
  EXPECT_EQ(both.progress->size(), 1u);
  ASSERT_EQ(both.results->size(), 1u);
  EXPECT_EQ(both.results->front().response, answer);
  EXPECT_EQ(terminal.notificationSizes().size(), 1u);  // both frames in one

  Exchange large = send(terminal, purchase("EX2"), "EX2");
  advanceSeconds(1);
  ASSERT_EQ(large.results->size(), 1u);
  EXPECT_GE(large.results->front().response->size(), 8990u);
  const std::optional<platform::Json> padded =
      platform::parseJson(*large.results->front().response);
  ASSERT_TRUE(padded);
  EXPECT_EQ((*padded)["response"]["response"], "SUCC");

  // A damaged frame is passed over as soon as the next one begins.
  Exchange damaged = send(terminal, purchase("EX3"), "EX3");
  advanceSeconds(1);
  EXPECT_TRUE(damaged.results->empty());
  terminal.send(answer);
  advanceSeconds(0.1);
  ASSERT_EQ(damaged.results->size(), 1u);
  EXPECT_EQ(damaged.results->front().response, answer);
}

TEST_F(BleSimulatedTerminalTest, AdapterListsOnlyReadyTerminals) {
  BleSimulator first(radio, terminalNamed("TAVIO-SIM-0001"));
  BleSimulator second(radio, terminalNamed("TAVIO-SIM-0002"));
  EXPECT_TRUE(adapter.connectedDeviceSns().empty());
  connect(first);
  adapter.connectPeripheralWithSN(second.sn(), [](bool, const auto&, const auto&) {});
  advanceSeconds(0.13);  // found and connecting, not ready yet
  ASSERT_TRUE(service->getConnectionBySN(second.sn()));
  EXPECT_EQ(service->getConnectionBySN(second.sn())->connectStatus, BLEConnectStatus::Connecting);
  EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{first.sn()});
  advanceSeconds(0.5);
  EXPECT_EQ(adapter.connectedDeviceSns(), (std::vector<std::string>{first.sn(), second.sn()}));

  // Connects pass through, the immediate answers included.
  std::vector<std::optional<std::string>> answers;
  adapter.connectPeripheralWithSN(std::nullopt, [&](bool ok, const auto& msg, const auto&) {
    answers.push_back(ok ? std::optional<std::string>("ok") : msg);
  });
  adapter.connectPeripheralWithSN(first.sn(), [&](bool ok, const auto& msg, const auto&) {
    answers.push_back(ok ? std::optional<std::string>("ok") : msg);
  });
  EXPECT_EQ(answers, (std::vector<std::optional<std::string>>{"Invalid SN", "ok"}));
}

TEST_F(BleSimulatedTerminalTest, AdapterHandshakeLeavesTheOpenRequestAlone) {
  auto delegate = std::make_shared<Handshakes>();
  adapter.setDelegate(delegate);
  BleSimulator terminal(radio, {});
  connect(terminal);
  Exchange payment = send(terminal, purchase("PAY1"), "PAY1");
  const std::string hello = R"({"sn":"POS-1","contentType":"discover","protocolVersion":"1.0.01"})";
  adapter.sendDiscoveryText(hello, terminal.sn());
  advanceSeconds(1);
  EXPECT_EQ(terminal.handshakes(), std::vector<std::string>{hello});
  ASSERT_EQ(delegate->received.size(), 1u);
  EXPECT_EQ(delegate->received[0].second, terminal.sn());
  const std::optional<platform::Json> handshake = platform::parseJson(delegate->received[0].first);
  ASSERT_TRUE(handshake);
  EXPECT_EQ((*handshake)["sn"], terminal.sn());
  // The payment still got its own answer.
  ASSERT_EQ(payment.results->size(), 1u);
  EXPECT_EQ(payment.results->front().exchangeId, "PAY1");
  EXPECT_EQ(payment.progress->size(), 2u);

  // A handshake to a terminal that is not there only reaches the log.
  adapter.sendDiscoveryText(hello, "NOBODY");
  EXPECT_TRUE(log.contains("discover handshake not sent: sn = NOBODY, code = -2"));
}

TEST_F(BleSimulatedTerminalTest, AdapterScansHandOnSerialNumbers) {
  BleSimulator known(radio, terminalNamed("TAVIO-SIM-0001"));
  BleTerminalOptions noSn = terminalNamed("SHORT");
  noSn.manufacturerData = sim::ByteString{0xFF, 0xFF, 'S'};
  BleSimulator anonymous(radio, noSn);
  std::vector<std::string> names;
  adapter.startScan([&](const std::string& name) { names.push_back(name); });
  advanceSeconds(0.15);
  adapter.stopScan();
  advanceSeconds(1);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected{anonymous.identifier(), known.sn()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);

  // Scan-and-connect: a ready terminal is handed on by its SN; a new one is
  // connected (ending the run, which is not handed on).
  connect(known);
  std::vector<std::optional<std::string>> handed;
  adapter.scanAndAutoConnect([&](const std::optional<std::string>& sn) { handed.push_back(sn); });
  advanceSeconds(1);
  EXPECT_EQ(handed, (std::vector<std::optional<std::string>>{known.sn()}));
  EXPECT_EQ(adapter.connectedDeviceSns().size(), 2u);
}

}  // namespace
}  // namespace veltrix::transport
