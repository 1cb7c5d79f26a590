// The roads a request may take besides a plain HTTP send: the scan screen,
// Bluetooth LE, a message that cannot be encoded, a missing transport; and
// the transport factory itself.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "veltrix/facade/communicate_factory.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade::test {
namespace {

using platform::ScopedLogCapture;
using DispatchRoadsTest = FacadeTest;

const ServiceDictionary kLanService{
    {"sn", "TV2024000123"}, {"address", "127.0.0.1:8080"}, {"parameter", "http"}};

TEST_F(DispatchRoadsTest, ScanScreenGetsTheRequestAndItsAnswerDispatches) {
  ASSERT_TRUE(db().upsertSetting(device_Acess_List, "TV2024000123:TV2024000456"));
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);

  model::PreAuthParam first;
  first.transactionReference = "first";
  manager().preAuth(first, idBlock(), recorder<model::PreAuthResult>("first"));
  const std::string firstId = lastId_;
  manager().preAuth(model::PreAuthParam{}, idBlock(), recorder<model::PreAuthResult>("second"));
  ASSERT_EQ(presenter->requests.size(), 2u);
  const ScanRequest& request = presenter->requests[0];
  EXPECT_EQ(request.serviceType, "PreAuth");
  EXPECT_FALSE(request.isScanAllService);
  EXPECT_FALSE(request.isOffline);
  EXPECT_EQ(request.sn, std::nullopt);
  EXPECT_EQ(request.serviceId, std::nullopt);
  EXPECT_EQ(request.showString, std::nullopt);
  EXPECT_EQ(request.snList, "TV2024000123:TV2024000456");

  // The screen of the first request answers after the second has started:
  // the first request is the one sent, with its own parameter.
  presenter->delegates[0]->onScanTerminalSucc(kLanService);
  presenter->delegates[0]->onError(-101, "Service not found");  // ignored
  std::shared_ptr<FakeTransport> transport = network_.last();
  ASSERT_TRUE(transport);
  EXPECT_EQ(transport->exchangeId, firstId);
  EXPECT_NE(transport->message->find("\"first\""), std::string::npos);

  presenter->delegates[1]->onError(-101, "Service not found");
  ASSERT_TRUE(waitForDeliveries(1));
  drain();
  ASSERT_EQ(deliveries().size(), 1u);
  EXPECT_EQ(deliveries()[0].tag, "second");
  EXPECT_EQ(deliveries()[0].code, -101);
  EXPECT_EQ(deliveries()[0].message, "Service not found");
}

TEST_F(DispatchRoadsTest, WithoutAPresenterTheRequestEndsWithServiceNotFound) {
  ScopedLogCapture log;
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("r"));
  EXPECT_TRUE(log.contains("startScanViewControllerWithSN: navigationController is nil!"));
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].code, -101);
  EXPECT_EQ(deliveries()[0].message, "Service not found");
  EXPECT_EQ(network_.count(), 0u);
}

TEST_F(DispatchRoadsTest, MessageThatCannotBeEncodedIsNotSent) {
  model::PaymentParam payment;  // financial encoder: no message
  payment.transactionReference = std::string("\xff\xfe");
  payment.servicesParams = at("127.0.0.1:8080");
  manager().payment(payment, idBlock(), recorder<model::PaymentResult>("payment"));
  model::PrintParam print;  // non-financial encoder: "{}"
  print.content = std::string("\xc3");
  print.servicesParams = at("127.0.0.1:8080");
  manager().print(print, idBlock(), recorder<model::PrintResult>("print"));

  ASSERT_TRUE(waitForDeliveries(2));
  for (const Delivery& d : deliveries()) {
    EXPECT_EQ(d.code, -200) << d.tag;
    EXPECT_EQ(d.message, "fail to encode request") << d.tag;
  }
  EXPECT_EQ(network_.count(), 0u);
  EXPECT_TRUE(rows("SELECT exchangeId FROM casp_exchange").empty());
  EXPECT_TRUE(rows("SELECT id FROM casp_exchange_msg").empty());
}

TEST_F(DispatchRoadsTest, BluetoothWhenTheServiceHasNoHttpOrTheLanIsOff) {
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);
  ble_.connected = {"TV2024000123"};

  // No "parameter": Bluetooth LE; the terminal is connected, so no connect.
  manager().nfcTag(model::NFCTagParam{}, idBlock(), recorder<model::NFCTagResult>("n"));
  presenter->delegates.back()->onScanTerminalSucc(
      {{"sn", "TV2024000123"}, {"address", "127.0.0.1:8080"}});
  EXPECT_EQ(network_.last()->type, kCommunicateBle);
  EXPECT_TRUE(ble_.connects.empty());

  // The local network switched off: Bluetooth LE even for an HTTP service.
  settings().setCommunicateType(kCommunicateTypeLan, false);
  manager().nfcTag(model::NFCTagParam{}, idBlock(), recorder<model::NFCTagResult>("n"));
  presenter->delegates.back()->onScanTerminalSucc(kLanService);
  EXPECT_EQ(network_.last()->type, kCommunicateBle);
  EXPECT_EQ(network_.count(), 2u);
}

TEST_F(DispatchRoadsTest, BluetoothRequestGoesOutOnlyOnceItsTerminalIsConnected) {
  settings().setCommunicateType(kCommunicateTypeLan, false);
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);
  manager().reprint(model::ReprintParam{}, idBlock(), recorder<model::ReprintResult>("first"));
  const std::string firstId = lastId_;
  presenter->delegates.back()->onScanTerminalSucc(kLanService);
  transport::BleConnectCompletion firstConnect = std::move(ble_.pending);
  manager().reprint(model::ReprintParam{}, idBlock(), recorder<model::ReprintResult>("second"));
  const std::string secondId = lastId_;
  presenter->delegates.back()->onScanTerminalSucc(kLanService);
  transport::BleConnectCompletion secondConnect = std::move(ble_.pending);
  EXPECT_EQ(ble_.connects.size(), 2u);
  // Built and logged, but nothing goes out before the connect completes.
  EXPECT_EQ(rows("SELECT type FROM casp_exchange_msg"), (std::vector<std::string>{"1", "1"}));
  EXPECT_EQ(network_.count(), 0u);

  // A failed connect ends its own request, and nothing is ever sent for
  // it, even if the completion came twice.
  firstConnect(false, "Device not found", "TV2024000123");
  firstConnect(true, std::nullopt, "TV2024000123");
  ASSERT_TRUE(waitForDeliveries(1));
  drain();
  ASSERT_EQ(deliveries().size(), 1u);
  EXPECT_EQ(deliveries()[0].tag, "first");
  EXPECT_EQ(deliveries()[0].code, -200);
  EXPECT_EQ(deliveries()[0].message, "Device not found");
  EXPECT_EQ(network_.count(), 0u);

  secondConnect(true, std::nullopt, "TV2024000123");
  std::shared_ptr<FakeTransport> transport = network_.last();
  ASSERT_TRUE(transport);
  EXPECT_EQ(network_.count(), 1u);
  EXPECT_EQ(transport->type, kCommunicateBle);
  EXPECT_EQ(transport->exchangeId, secondId);
  EXPECT_NE(transport->exchangeId, firstId);
  EXPECT_EQ(transport->address, "TV2024000123");
  transport->respond(response(secondId, "Reprint", true), true);
  ASSERT_TRUE(waitForDeliveries(2));
  EXPECT_EQ(deliveries()[1].tag, "second");
  EXPECT_EQ(deliveries()[1].code, 0);
}

TEST_F(DispatchRoadsTest, BluetoothAbortHearsOnlyOnceItsTerminalIsConnected) {
  settings().setCommunicateType(kCommunicateTypeLan, false);
  model::AbortParam param;
  param.orgExchangeIdentification = "0123456789ABCDEF0123456789ABCDEF";
  param.servicesParams = at("127.0.0.1:8080");
  std::vector<std::pair<std::int64_t, std::optional<std::string>>> answers;
  const AbortResultBlock block = [&](std::int64_t code, std::optional<std::string> msg) {
    answers.emplace_back(code, std::move(msg));
  };
  manager().abort(param, idBlock(), block);
  EXPECT_TRUE(answers.empty());
  ble_.pending(false, "Invalid SN", std::nullopt);
  EXPECT_EQ(answers, (decltype(answers){{-200, "Invalid SN"}}));
  EXPECT_EQ(network_.count(), 0u);

  answers.clear();
  manager().abort(param, idBlock(), block);
  ble_.pending(true, std::nullopt, std::nullopt);
  EXPECT_EQ(answers, (decltype(answers){{0, std::nullopt}}));
  EXPECT_EQ(network_.count(), 1u);
}

TEST_F(DispatchRoadsTest, NoTransportIsATransportFailure) {
  ScopedLogCapture log;
  network_.bleAvailable = false;
  settings().setCommunicateType(kCommunicateTypeLan, false);
  model::CardAuthParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().cardAuthentication(param, idBlock(), recorder<model::CardAuthResult>("c"));
  ASSERT_TRUE(main().runUntil([&] { return static_cast<bool>(ble_.pending); }));
  ble_.pending(true, std::nullopt, std::nullopt);
  ASSERT_TRUE(waitForDeliveries(1));
  drain();
  ASSERT_EQ(deliveries().size(), 1u);
  EXPECT_EQ(deliveries()[0].code, -200);
  EXPECT_EQ(deliveries()[0].message, "transport not available");
  EXPECT_TRUE(log.contains("msg = transport not available"));
}

TEST(CommunicateFactoryTest, TypesAndCreators) {
  std::vector<std::string> made;
  auto creator = [&made](std::string tag) {
    return [&made, tag](const std::string& address) -> CommunicateServicePtr {
      made.push_back(tag + " " + address);
      return std::make_shared<FakeTransport>(0, address);
    };
  };
  CommunicateFactory factory(creator("http"), creator("ble"));
  EXPECT_TRUE(factory.createService(kCommunicateHttp, "http://127.0.0.1:1"));
  EXPECT_TRUE(factory.createService(kCommunicateBle, "http://127.0.0.1:2"));
  EXPECT_FALSE(factory.createService(2, "http://127.0.0.1:3"));
  EXPECT_EQ(made, (std::vector<std::string>{"http http://127.0.0.1:1", "ble http://127.0.0.1:2"}));

  CommunicateFactory throwing(
      [](const std::string&) -> CommunicateServicePtr { throw std::runtime_error("no"); }, {});
  EXPECT_FALSE(throwing.createService(kCommunicateHttp, "http://127.0.0.1:1"));
  EXPECT_FALSE(throwing.createService(kCommunicateBle, "http://127.0.0.1:1"));
}

}  // namespace
}  // namespace veltrix::facade::test
