// The Bluetooth LE road end to end: RetailerManager, the Bluetooth LE
// transport on the simulated radio and tavio-sim's Bluetooth LE terminal.
// Dispatch is driven with an explicit service dictionary, as the scan
// screen hands it over, or by the candidate probes with the real TCP probe
// on loopback and the presence check over the same transport.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/ble_simulator.h"
#include "support/loopback_listener.h"
#include "veltrix/facade/ble_transport_probe.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/ble_discovery_adapter.h"

namespace veltrix::facade::test {
namespace {

namespace ble = ::veltrix::platform::ble;

class BleRoadTest : public testing::LoopTest {
 protected:
  BleRoadTest()
      : db_(docs() / "ble.sqlite"),
        logFile_(docs() / "ble-log.txt"),
        settings_(std::make_shared<RetailerSettingManager>(db_)),
        radio(platform::MainLoop::sharedPtr()),
        defaults_(docs() / "defaults.json"),
        service(
            std::make_shared<transport::BLECommunicateService>(radio.createCentral(), defaults_)),
        adapter(service) {
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider(
        [] { return std::optional<std::string>("DEVICE-0001"); });
    CommunicateFactory factory(
        [](const std::string&) -> CommunicateServicePtr { return nullptr; },
        [this](const std::string&) -> CommunicateServicePtr { return service; });
    manager_ = std::make_shared<RetailerManager>(RetailerManager::Collaborators{
        db_, registry_, *settings_, logFile_, adapter, factory, std::make_shared<TcpPinger>(),
        std::make_shared<BleTransportProbeService>(service)});
    manager_->setDelegate(hooks_);
    manager_->initWithNavigationController(presenter_);
    runPending();  // the radio's first state
  }

  ~BleRoadTest() override {
    manager_.reset();
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  }

  // A payment whose terminal the scan screen then names with `service`.
  void pay(const ServiceDictionary& chosen) {
    model::PaymentParam param;
    param.totalAmount = "25.00";
    param.transactionReference = "ORDER-42";
    manager_->payment(
        param, [this](const std::string& id) { exchangeId = id; },
        [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
               std::optional<std::string> message) {
          deliveries.push_back({std::move(result), code, std::move(message)});
        });
    ASSERT_FALSE(presenter_->delegates.empty());
    presenter_->delegates.back()->onScanTerminalSucc(chosen);
  }

  // Lets `seconds` of protocol time pass, then waits (briefly, in real
  // time) for the result registry to hand over `n` results.
  bool settle(double seconds, std::size_t n) {
    advanceSeconds(seconds);
    return main().runUntil([&] { return deliveries.size() >= n; });
  }

  std::vector<std::string> messageTypes() {
    platform::Db peek;
    EXPECT_TRUE(peek.open(db_.path()));
    platform::Stmt stmt = peek.prepare("SELECT type FROM casp_exchange_msg ORDER BY id");
    std::vector<std::string> out;
    while (stmt.step() == platform::StepResult::Row) out.push_back(stmt.text(0).value_or("-"));
    return out;
  }

  struct Delivery {
    std::shared_ptr<const model::PaymentResult> result;
    std::int64_t code;
    std::optional<std::string> message;
  };

  platform::ScopedLogCapture log;
  registry::DatabaseManager db_;
  registry::FileLogger logFile_;
  ResultBackManager registry_;
  std::shared_ptr<RetailerSettingManager> settings_;
  ble::SimRadio radio;
  platform::UserDefaults defaults_;
  std::shared_ptr<transport::BLECommunicateService> service;
  transport::BLEDiscoveryAdapter adapter;
  std::shared_ptr<RecordingDelegate> hooks_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<FakePresenter> presenter_ = std::make_shared<FakePresenter>();
  std::shared_ptr<RetailerManager> manager_;
  std::string exchangeId;
  std::vector<Delivery> deliveries;
};

TEST_F(BleRoadTest, APaymentReachesTheTerminalItFirstConnects) {
  sim::BleSimulator terminal(radio, {});
  ASSERT_TRUE(adapter.connectedDeviceSns().empty());
  // No "parameter": the service is reached over Bluetooth LE.
  pay({{"sn", terminal.sn()}, {"uuidString", terminal.identifier()}, {"serviceId", "pay"}});
  ASSERT_TRUE(settle(2, 1));

  ASSERT_EQ(terminal.requests().size(), 1u);
  const std::optional<platform::Json> request = platform::parseJson(terminal.requests()[0]);
  ASSERT_TRUE(request);
  EXPECT_EQ((*request)["exchangeIdentification"], exchangeId);
  EXPECT_EQ((*request)["serviceType"], "Purchase");
  EXPECT_EQ((*request)["remoteAccessType"], "BLUETOOTH_MAC");

  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].code, 0);
  ASSERT_TRUE(deliveries[0].result);
  EXPECT_EQ(deliveries[0].result->exchangeIdentification, exchangeId);
  EXPECT_EQ(deliveries[0].result->transactionReference, "ORDER-42");
  EXPECT_EQ(deliveries[0].result->totalAmount, "25.00");
  EXPECT_EQ(deliveries[0].result->authorisedAmount, "25.00");
  ASSERT_EQ(hooks_->notifications.size(), 2u);
  EXPECT_EQ(hooks_->notifications[0]->event, model::EventToNotifyCode::CRDI);
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1", "2"}));

  // The response's end flag ended the exchange: a late copy reaches no one.
  const std::string late =
      R"({"exchangeIdentification":")" + exchangeId +
      R"(","serviceType":"Purchase","endFlag":true,"response":{"response":"SUCC"}})";
  terminal.send(late);
  advanceSeconds(0.5);
  main().runUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{terminal.sn()});
}

TEST_F(BleRoadTest, DeeplyNestedMessagesAreDroppedWithoutExhaustingTheStack) {
  // Before its answer the terminal sends texts nested 600 levels deep, past
  // the limit: they are refused at the parse, and the answer still ends the
  // payment.
  constexpr std::size_t kLevels = 600;
  const std::string arrays = std::string(kLevels, '[') + std::string(kLevels, ']');
  std::string notification = R"({"serviceType":"EventNotification","response":)";
  for (std::size_t i = 0; i < kLevels; ++i) notification += R"({"a":)";
  notification += "1" + std::string(kLevels + 1, '}');
  sim::BleSimulator terminal(radio, {});
  terminal.add([&](const sim::RecordedRequest& request) {
    const std::string id = request.jsonText("exchangeIdentification").value_or("");
    return sim::BleReply::of(
        {arrays, notification,
         R"({"exchangeIdentification":")" + id +
             R"(","serviceType":"Purchase","endFlag":true,"response":{"response":"SUCC"}})"},
        sim::Millis(10));
  });
  pay({{"sn", terminal.sn()}, {"uuidString", terminal.identifier()}, {"serviceId", "pay"}});
  ASSERT_TRUE(settle(5, 1));
  advanceSeconds(1);
  runPending();

  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].code, 0);
  EXPECT_TRUE(hooks_->notifications.empty());
  EXPECT_EQ(log.count("Failed to parse JSON: JSON text nested deeper than 512 levels"), 2u);
}

TEST_F(BleRoadTest, ARequestWithoutSerialNumberFailsAndNothingGoesOut) {
  // One terminal connected: the transport alone would send to it.
  sim::BleSimulator terminal(radio, {});
  bool connected = false;
  adapter.connectPeripheralWithSN(terminal.sn(),
                                  [&](bool ok, const auto&, const auto&) { connected = ok; });
  advanceSeconds(0.5);
  ASSERT_TRUE(connected);

  pay({{"address", "127.0.0.1:8080"}, {"serviceId", "pay"}});
  ASSERT_TRUE(settle(2, 1));
  EXPECT_EQ(deliveries[0].code, -200);
  EXPECT_EQ(deliveries[0].message, "Invalid SN");
  EXPECT_FALSE(deliveries[0].result);
  EXPECT_TRUE(terminal.requests().empty());
  EXPECT_EQ(terminal.device().writeCount(), 0);
  EXPECT_TRUE(log.contains("ble connect failed, request " + exchangeId + " not sent: Invalid SN"));
}

TEST_F(BleRoadTest, ATerminalThatIsNotThereFailsOnceAndNothingGoesOut) {
  sim::BleSimulator other(radio, {});
  pay({{"sn", "TAVIO-SIM-9999"}});
  ASSERT_TRUE(settle(4, 1));
  advanceSeconds(15);
  main().runUntil([] { return false; }, std::chrono::milliseconds(50));
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].code, -200);
  EXPECT_EQ(deliveries[0].message, "Device not found");
  EXPECT_EQ(other.device().writeCount(), 0);
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1"}));
}

TEST_F(BleRoadTest, ATerminalFoundOnlyOverBluetoothDuringTheProbesIsSentOverBluetooth) {
  // The default terminal's address refuses connections; it is in range of
  // the radio, not yet connected, advertising its serial number.
  testing::ClosedLoopbackPort refusing;
  ASSERT_TRUE(refusing.ok());
  const std::string address = "127.0.0.1:" + std::to_string(refusing.port());
  sim::BleSimulator terminal(radio, {});
  ASSERT_TRUE(db_.upsertSetting("DESTINATION_SN", terminal.sn()));
  ASSERT_TRUE(db_.insertDiscoveredTerminal(terminal.sn(), "T1 Pro", address, "http", std::nullopt,
                                           1, 1, 0, "1000", "1000", terminal.identifier()));
  ASSERT_TRUE(db_.insertTerminalServices(terminal.sn(), "Purchase", "Purchase", "com.tavio.pay",
                                         "pay", "Pay", 1, "1000", "1000", "payment"));

  model::PaymentParam param;
  param.totalAmount = "25.00";
  param.transactionReference = "ORDER-43";
  manager_->payment(
      param, [this](const std::string& id) { exchangeId = id; },
      [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
             std::optional<std::string> message) {
        deliveries.push_back({std::move(result), code, std::move(message)});
      });
  // The probes wait on the process clock: move it on in steps short of
  // their waits while the radio's scan and the exchange run.
  for (int step = 0; step < 100 && deliveries.empty(); ++step) {
    main().runUntil([&] { return !deliveries.empty(); }, std::chrono::milliseconds(20));
    advance(platform::millis(100));
  }
  ASSERT_EQ(deliveries.size(), 1u);

  EXPECT_TRUE(log.contains("checkBleHost: found target device"));
  EXPECT_TRUE(presenter_->requests.empty());
  ASSERT_EQ(terminal.requests().size(), 1u);
  const std::optional<platform::Json> request = platform::parseJson(terminal.requests()[0]);
  ASSERT_TRUE(request);
  EXPECT_EQ((*request)["exchangeIdentification"], exchangeId);
  EXPECT_EQ((*request)["remoteAccessType"], "BLUETOOTH_MAC");
  EXPECT_EQ(deliveries[0].code, 0);
  ASSERT_TRUE(deliveries[0].result);
  EXPECT_EQ(deliveries[0].result->transactionReference, "ORDER-43");
  ASSERT_EQ(hooks_->notifications.size(), 2u);
  EXPECT_EQ(adapter.connectedDeviceSns(), std::vector<std::string>{terminal.sn()});
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(BleRoadTest, PresenceCheckSeesTheTransportsTerminals) {
  BleTransportProbeService probe(service);
  sim::BleTerminalOptions options;
  options.sn = "tavio-sim-0002";
  sim::BleSimulator terminal(radio, options);
  ASSERT_TRUE(probe.isPoweredOn());
  EXPECT_FALSE(probe.isConnected(terminal.sn()));

  std::vector<BleSighting> seen;
  probe.startScan([&](const BleSighting& sighting) { seen.push_back(sighting); });
  advanceSeconds(0.5);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].manufacturerName, terminal.sn());
  EXPECT_EQ(seen[0].uuidString, terminal.identifier());
  probe.stopScan();

  bool connected = false;
  adapter.connectPeripheralWithSN(terminal.sn(),
                                  [&](bool ok, const auto&, const auto&) { connected = ok; });
  advanceSeconds(0.5);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(probe.isConnected(terminal.sn()));

  radio.setState(ble::ManagerState::PoweredOff);
  runPending();
  EXPECT_FALSE(probe.isPoweredOn());
}

// ---- faults of the link and the frames ----------------------------------------------------

class BleFaultTest : public BleRoadTest {
 protected:
  ServiceDictionary chosen(const sim::BleSimulator& terminal) const {
    return {{"sn", terminal.sn()}, {"uuidString", terminal.identifier()}, {"serviceId", "pay"}};
  }
  static std::string notification(const std::string& id) {
    return R"({"exchangeIdentification":")" + id +
           R"(","serviceType":"EventNotification","response":{"event":"CRDI"}})";
  }
  static std::string answer(const std::string& id) {
    return R"({"exchangeIdentification":")" + id +
           R"(","serviceType":"Purchase","endFlag":true,"response":{"response":"SUCC",)"
           R"("transactionReference":"ORDER-42"}})";
  }
  // Pays at a terminal that holds its answer, and waits for the request.
  void payAndHold(sim::BleSimulator& terminal) {
    terminal.setDefaultsEnabled(false);
    pay(chosen(terminal));
    for (int step = 0; step < 50 && terminal.requests().empty(); ++step) advanceSeconds(0.1);
    ASSERT_EQ(terminal.requests().size(), 1u);
  }
  // Lets every late timer run: nothing more may reach the host.
  void expectNothingMore(std::size_t n) {
    advanceSeconds(400);
    main().runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(deliveries.size(), n);
  }
  // The same terminal then answers a payment, on its own block.
  void expectTheNextPaymentApproved(sim::BleSimulator& terminal) {
    const std::size_t before = deliveries.size();
    terminal.setDefaultsEnabled(true);
    pay(chosen(terminal));
    ASSERT_TRUE(settle(3, before + 1));
    ASSERT_EQ(deliveries.size(), before + 1);
    EXPECT_EQ(deliveries.back().code, 0) << deliveries.back().message.value_or("");
    ASSERT_TRUE(deliveries.back().result);
    EXPECT_EQ(deliveries.back().result->exchangeIdentification, exchangeId);
  }
};

TEST_F(BleFaultTest, ADisconnectInsideAFrameEndsThePaymentOnce) {
  sim::BleSimulator terminal(radio, {});
  payAndHold(terminal);
  const sim::ByteString frame = sim::bleFrame(answer(exchangeId));
  terminal.sendBytes(sim::ByteString(frame.begin(), frame.begin() + 40), 20);
  advanceSeconds(0.1);
  terminal.disconnect();
  ASSERT_TRUE(settle(0.5, 1));
  expectNothingMore(1);
  EXPECT_EQ(deliveries[0].code, -200);
  EXPECT_EQ(deliveries[0].message, "Device not connected");
  EXPECT_FALSE(deliveries[0].result);
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1"}));
  // The half frame is gone with the link: the next answer reads whole.
  expectTheNextPaymentApproved(terminal);
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1", "1", "2"}));
}

TEST_F(BleFaultTest, FramesWithABadLengthDoNotCostTheAnswer) {
  sim::BleSimulator terminal(radio, {});
  payAndHold(terminal);
  // A notification whose length field claims far more than its payload,
  // its check byte matching what was sent: taken by its end.
  sim::ByteString overlong = sim::bleFrame(notification(exchangeId));
  overlong[1] ^= 0x90;
  overlong.back() ^= 0x90;
  terminal.sendBytes(overlong, 185);
  advanceSeconds(0.1);
  EXPECT_EQ(hooks_->notifications.size(), 1u);
  // A length field that is no BCD, its frame damaged too: the answer in
  // the next notification still arrives (it used to wait behind it until
  // the time-out).
  terminal.sendBytes(sim::ByteString{0x02, 0xAA, 0xAA, 0xAA, '{', '}', 0x03, 0x00}, 185);
  advanceSeconds(0.1);
  ASSERT_TRUE(terminal.send(answer(exchangeId)));
  ASSERT_TRUE(settle(1, 1));
  expectNothingMore(1);
  EXPECT_EQ(deliveries[0].code, 0) << deliveries[0].message.value_or("");
  ASSERT_TRUE(deliveries[0].result);
  EXPECT_EQ(deliveries[0].result->exchangeIdentification, exchangeId);
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1", "2"}));
  expectTheNextPaymentApproved(terminal);
}

TEST_F(BleFaultTest, DuplicateAndReorderedFramesEndThePaymentOnce) {
  sim::BleSimulator terminal(radio, {});
  payAndHold(terminal);
  // The answer overtakes the notification, then both come again.
  ASSERT_TRUE(terminal.send(answer(exchangeId)));
  ASSERT_TRUE(terminal.send(notification(exchangeId)));
  ASSERT_TRUE(terminal.send(answer(exchangeId)));
  ASSERT_TRUE(terminal.send(notification(exchangeId)));
  ASSERT_TRUE(settle(1, 1));
  expectNothingMore(1);
  EXPECT_EQ(deliveries[0].code, 0);
  ASSERT_TRUE(deliveries[0].result);
  EXPECT_EQ(deliveries[0].result->exchangeIdentification, exchangeId);
  // Both copies of the answer are logged as they came; only the first
  // reached the host.
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1", "2", "2"}));
  expectTheNextPaymentApproved(terminal);
}

TEST_F(BleFaultTest, ASilentTerminalEndsThePaymentOnceAtTheTimeOut) {
  sim::BleSimulator terminal(radio, {});
  payAndHold(terminal);
  advanceSeconds(170);
  runPending();
  EXPECT_TRUE(deliveries.empty());
  ASSERT_TRUE(settle(11, 1));
  expectNothingMore(1);
  EXPECT_EQ(deliveries[0].code, -200);
  EXPECT_EQ(deliveries[0].message, "Response timeout");
  EXPECT_EQ(messageTypes(), (std::vector<std::string>{"1"}));
  expectTheNextPaymentApproved(terminal);
}

}  // namespace
}  // namespace veltrix::facade::test
