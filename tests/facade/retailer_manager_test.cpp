#include "veltrix/facade/retailer_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "facade/facade_fixture.h"
#include "veltrix/codec/financial_req_builders.h"
#include "veltrix/codec/nonfinancial_req_builders.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/registry/discover_manager.h"

namespace veltrix::facade::test {
namespace {

using platform::ScopedLogCapture;

// What a request sent to an explicit address carries as its service record.
model::ServiceParams sentService(const std::string& id, const std::string& name,
                                 const std::string& address, std::int64_t startMillis) {
  model::ServiceParams service;
  service.address = address;
  service.parameter = "http";
  service.model = "";
  service.netWorkTp = "LAN";
  service.transDataTimeIn = platform::formatIso8601(startMillis);
  service.exchangeId = id;
  service.serviceType = name;
  return service;
}

// One service method: how to call it, and what it must send and give back.
struct ServiceCase {
  std::string method;
  std::string name;  // the service name it travels under
  // Calls the method with a parameter whose transactionReference is `ref`,
  // bound for `address`.
  std::function<void(FacadeTest&, const std::string& ref, const std::string& address)> call;
  // The message the service's encoder writes; nullopt when it has none.
  std::function<std::optional<std::string>(const std::string& ref, const model::ServiceParams&)>
      expected;
  bool decoded = true;
};

template <typename Param, typename Result, typename Encoder = void>
ServiceCase serviceCase(std::string method, std::string name,
                        void (RetailerManager::*fn)(const Param&, ExchangeIdBlock,
                                                    ResultBlock<Result>),
                        bool decoded = true) {
  auto makeParam = [](const std::string& ref, const std::string& address) {
    Param param;
    param.transactionReference = ref;
    model::DestinationParams destination;
    destination.address = address;
    param.servicesParams = destination;
    return param;
  };
  ServiceCase c;
  c.method = method;
  c.name = std::move(name);
  c.decoded = decoded;
  c.call = [fn, makeParam, method](FacadeTest& t, const std::string& ref,
                                   const std::string& address) {
    (t.manager().*fn)(makeParam(ref, address), t.idBlock(), t.recorder<Result>(method));
  };
  if constexpr (!std::is_void_v<Encoder>) {
    c.expected = [makeParam](const std::string& ref, const model::ServiceParams& service) {
      const Param param = makeParam(ref, *service.address);
      return std::optional<std::string>(Encoder().buildJsonWithParameters(&param, &service));
    };
  }
  return c;
}

using RetailerManagerTest = FacadeTest;

std::vector<ServiceCase> allServices() {
  using M = RetailerManager;
  using namespace model;  // NOLINT(google-build-using-namespace): result types in the table
  return {
      serviceCase<PaymentParam, PaymentResult, codec::PaymentReqBuilder>("payment", "Purchase",
                                                                         &M::payment),
      serviceCase<RefundParam, RefundResult, codec::RefundReqBuilder>("refund", "Refund",
                                                                      &M::refund),
      serviceCase<AuthAdjustmentParam, AuthAdjustmentResult, codec::AuthAdjustmentReqBuilder>(
          "authAdjustment", "Auth Adjustment", &M::authAdjustment),
      serviceCase<BalanceInquiryParam, BalanceInquiryResult, codec::BalanceInquiryReqBuilder>(
          "balanceInquiry", "BalanceInquiry", &M::balanceInquiry),
      serviceCase<CardAuthParam, CardAuthResult, codec::CardAuthReqBuilder>(
          "cardAuthentication", "Card Auth", &M::cardAuthentication),
      serviceCase<DisplayParam, DisplayResult, codec::DisplayReqBuilder>("display", "Display",
                                                                         &M::display),
      serviceCase<PreAuthParam, PreAuthResult, codec::PreAuthReqBuilder>("preAuth", "PreAuth",
                                                                         &M::preAuth),
      serviceCase<PreAuthCompletionParam, PreAuthCompletionResult,
                  codec::PreAuthCompletionReqBuilder>("preAuthCompletion", "PreAuth Completion",
                                                      &M::preAuthCompletion),
      serviceCase<PrintParam, PrintResult, codec::PrintReqBuilder>("print", "Printer", &M::print),
      serviceCase<ReconciliationParam, ReconciliationResult, codec::ReconciliationReqBuilder>(
          "reconciliation", "Reconciliation", &M::reconciliation),
      serviceCase<ReversalParam, ReversalResult, codec::ReversalReqBuilder>("reversal", "Reversal",
                                                                            &M::reversal),
      serviceCase<NFCTagParam, NFCTagResult, codec::NFCTagReqBuilder>("nfcTag", "NFCTag",
                                                                      &M::nfcTag),
      serviceCase<MessageStatusParam, MessageStatusResult, codec::MessageStatusReqBuilder>(
          "messageStatus", "Message Status", &M::messageStatus),
      serviceCase<TransmitMessageParam, TransmitMessageResult, codec::TransmitMessageReqBuilder>(
          "transmitMessage", "Transmit Message", &M::transmitMessage),
      serviceCase<ReprintParam, ReprintResult, codec::ReprintReqBuilder>("reprint", "Reprint",
                                                                         &M::reprint),
      serviceCase<CardReaderAPDUParam, CardReaderAPDUResult>("cardReaderAPDU", "CardReaderAPDU",
                                                             &M::cardReaderAPDU, false),
      serviceCase<DiagnosisParam, DiagnosisResult>("diagnosis", "Diagnosis", &M::diagnosis, false),
      serviceCase<InitialisationCardReaderParam, InitialisationCardReaderResult>(
          "initialisationCardReader", "InitialisationCardReader", &M::initialisationCardReader,
          false),
      serviceCase<InputParam, InputResult>("input", "Input", &M::input, false),
      serviceCase<PlaySoundParam, PlaySoundResult>("playSound", "PlaySound", &M::playSound, false),
      serviceCase<TransmissionParam, TransmissionResult>("transmission", "Transmission",
                                                         &M::transmission, false),
  };
}

TEST_F(RetailerManagerTest, EveryServiceTravelsUnderItsNameWithItsEncoderAndDecoder) {
  const std::string address = "127.0.0.1:8080";
  std::size_t expectedDeliveries = 0;
  for (const ServiceCase& c : allServices()) {
    SCOPED_TRACE(c.method);
    const std::string ref = "TR-" + c.method;
    const std::size_t made = network_.count();
    c.call(*this, ref, address);
    ASSERT_TRUE(waitForTransports(made + 1));
    std::shared_ptr<FakeTransport> transport = network_.last();
    ASSERT_TRUE(transport && transport->sent);
    EXPECT_EQ(transport->url, "http://" + address);
    EXPECT_EQ(transport->type, kCommunicateHttp);
    EXPECT_EQ(transport->exchangeId, lastId_);
    EXPECT_EQ(transport->serviceType, c.name);
    if (c.expected) {
      EXPECT_EQ(transport->message,
                c.expected(ref, sentService(lastId_, c.name, address, platform::nowMillis())));
    } else {
      EXPECT_EQ(transport->message, std::nullopt);
    }

    transport->respond(response(lastId_, c.name, true, ref), true);
    if (c.decoded) {
      ++expectedDeliveries;
      ASSERT_TRUE(waitForDeliveries(expectedDeliveries));
      const Delivery& d = deliveries().back();
      EXPECT_EQ(d.tag, c.method);
      EXPECT_NE(d.result, nullptr) << "result of another type than the block takes";
      EXPECT_EQ(d.code, 0);
    }
    // After the final message the registration is gone, with or without a
    // decoder: a late failure reaches no one.
    transport->fail(-1001, "veltrix.url");
    drain();
    EXPECT_EQ(deliveries().size(), expectedDeliveries);
  }
}

TEST_F(RetailerManagerTest, PaymentServiceFollowsTheTransactionType) {
  const std::vector<std::pair<std::int64_t, std::string>> cases = {
      {1, "Scan Code Purchase"}, {2, "QR Code Purchase"}, {3, "Cash Purchase"}, {0, "Purchase"}};
  for (const auto& [type, name] : cases) {
    model::PaymentParam param;
    param.transactionType = static_cast<model::TransactionTypeCode>(type);
    param.servicesParams = at("127.0.0.1:8080");
    const std::size_t made = network_.count();
    manager().payment(param, idBlock(), recorder<model::PaymentResult>("p"));
    ASSERT_TRUE(waitForTransports(made + 1));
    EXPECT_EQ(network_.last()->serviceType, name) << type;
  }
}

TEST_F(RetailerManagerTest, ExchangeIdComesFirstAndIsFresh) {
  model::RefundParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().refund(param, idBlock(), recorder<model::RefundResult>("r"));
  const std::string first = lastId_;
  EXPECT_EQ(transportsAtId_, 0u) << "the identifier must come before any network activity";
  ASSERT_EQ(first.size(), 32u);
  for (char c : first) EXPECT_TRUE(std::isxdigit(c) && !std::islower(c)) << first;
  EXPECT_EQ(manager().transUUID(), first);

  manager().refund(param, idBlock(), recorder<model::RefundResult>("r"));
  EXPECT_NE(lastId_, first);
  // An absent block is skipped.
  manager().refund(param, {}, recorder<model::RefundResult>("r"));
  EXPECT_TRUE(waitForTransports(3));
}

TEST_F(RetailerManagerTest, HostHooksAroundTheMessageBuild) {
  model::PaymentParam payment;
  payment.servicesParams = at("127.0.0.1:8080");
  manager().payment(payment, idBlock(), recorder<model::PaymentResult>("p"));
  ASSERT_TRUE(waitForTransports(1));
  EXPECT_EQ(hooks().events, (std::vector<std::string>{"build", "onStartOptions"}));

  hooks().events.clear();
  model::PrintParam print;
  print.servicesParams = at("127.0.0.1:8080");
  manager().print(print, idBlock(), recorder<model::PrintResult>("p"));
  ASSERT_TRUE(waitForTransports(2));
  EXPECT_EQ(hooks().events, (std::vector<std::string>{"onStartPrint", "build"}));

  hooks().events.clear();
  manager().initWithServiceBean(
      {{"sn", "TV2024000123"}, {"address", "127.0.0.1:8081"}, {"parameter", "http"}});
  manager().display(model::DisplayParam{}, idBlock(), recorder<model::DisplayResult>("d"));
  EXPECT_EQ(hooks().events,
            (std::vector<std::string>{"build", "onStartDisplay " + lastId_ + " TV2024000123"}));

  hooks().events.clear();
  model::RefundParam refund;
  refund.servicesParams = at("127.0.0.1:8080");
  manager().refund(refund, idBlock(), recorder<model::RefundResult>("r"));
  ASSERT_TRUE(waitForTransports(4));
  EXPECT_EQ(hooks().events, (std::vector<std::string>{"build"}));
}

TEST_F(RetailerManagerTest, PresetDisplayServiceIsUsedOnce) {
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);
  manager().initWithServiceBean({{"address", "127.0.0.1:8081"}, {"parameter", "http"}});

  model::DisplayParam param;
  param.servicesParams = at("127.0.0.1:9999");  // not consulted
  manager().display(param, idBlock(), recorder<model::DisplayResult>("d"));
  EXPECT_EQ(network_.last()->url, "http://127.0.0.1:8081");

  manager().display(model::DisplayParam{}, idBlock(), recorder<model::DisplayResult>("d"));
  EXPECT_EQ(network_.count(), 1u);
  ASSERT_EQ(presenter->requests.size(), 1u);
  EXPECT_EQ(presenter->requests[0].serviceType, "Display");
}

TEST_F(RetailerManagerTest, ExchangeLogHoldsTheExchangeAndBothMessages) {
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);
  model::RefundParam param;
  param.pan = "4111111111111111";
  manager().refund(param, idBlock(), recorder<model::RefundResult>("r"));
  const std::string id = lastId_;
  const std::int64_t start = platform::nowMillis();
  ASSERT_EQ(presenter->delegates.size(), 1u);
  presenter->delegates[0]->onScanTerminalSucc({{"sn", "TV2024000123"},
                                               {"address", "127.0.0.1:8080"},
                                               {"parameter", "http"},
                                               {"packageName", "com.tavio.pay"},
                                               {"serviceId", "S-7"}});

  EXPECT_EQ(rows("SELECT exchangeId, status, initiatingPartyId, channel, channelSource, "
                 "serviceType, packageName, serviceId, isAborted, initiatingCreateTime "
                 "FROM casp_exchange"),
            (std::vector<std::string>{id +
                                      "|1|TV2024000123|LAN|127.0.0.1:8080|Refund|com.tavio."
                                      "pay|S-7|0|" +
                                      std::to_string(start)}));
  std::shared_ptr<FakeTransport> transport = network_.last();
  const std::string answer = response(id, "Refund", true);
  transport->respond(answer, true);
  const std::vector<std::string> messages =
      rows("SELECT requestId, type, message FROM casp_exchange_msg ORDER BY id");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind(id + "|1|{", 0), 0u);
  EXPECT_EQ(messages[0].find("4111111111111111"), std::string::npos) << "card data stored";
  EXPECT_NE(transport->message->find("4111111111111111"), std::string::npos);
  EXPECT_EQ(messages[1], id + "|2|" + answer);
}

TEST_F(RetailerManagerTest, BluetoothRequestIsLoggedAsLanWithoutChannelSource) {
  settings().setCommunicateType(kCommunicateTypeLan, false);
  auto presenter = std::make_shared<FakePresenter>();
  manager().initWithNavigationController(presenter);
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("r"));
  presenter->delegates[0]->onScanTerminalSucc({{"sn", "TV2024000123"}, {"parameter", "http"}});
  ble_.pending(true, std::nullopt, "TV2024000123");

  EXPECT_EQ(rows("SELECT channel, channelSource FROM casp_exchange"),
            (std::vector<std::string>{"LAN|(null)"}));
  std::shared_ptr<FakeTransport> transport = network_.last();
  EXPECT_EQ(transport->type, kCommunicateBle);
  EXPECT_EQ(transport->address, "TV2024000123");
  const std::optional<platform::Json> sent = platform::parseJson(*transport->message);
  EXPECT_EQ((*sent)["remoteAccessType"], "BLUETOOTH_MAC");
  EXPECT_EQ(ble_.connects, (std::vector<std::optional<std::string>>{"TV2024000123"}));
}

TEST_F(RetailerManagerTest, IntermediateResultsThenTheFinalOneThenNothing) {
  model::RefundParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().refund(param, idBlock(), recorder<model::RefundResult>("r"));
  ASSERT_TRUE(waitForTransports(1));
  std::shared_ptr<FakeTransport> transport = network_.last();

  auto notification = std::make_shared<model::EventNotificationParam>();
  transport->notify(notification);
  transport->notify(nullptr);
  ASSERT_EQ(hooks().notifications.size(), 2u);
  EXPECT_EQ(hooks().notifications[1], nullptr);

  transport->respond(response(lastId_, "Refund", false, "first"), false);
  transport->respond(response(lastId_, "Refund", true, "final"), false);
  transport->respond(response(lastId_, "Refund", true, "late"), true);
  drain();
  ASSERT_EQ(deliveries().size(), 2u);
  for (const Delivery& d : deliveries()) {
    EXPECT_TRUE(d.onMain);
    EXPECT_EQ(d.code, 0);
  }
  auto final = std::static_pointer_cast<const model::RefundResult>(deliveries()[1].result);
  EXPECT_EQ(final->transactionReference, "final");
}

TEST_F(RetailerManagerTest, TransportFailureReachesTheHostAsMinus200) {
  ScopedLogCapture log;
  model::PaymentParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().payment(param, idBlock(), recorder<model::PaymentResult>("p"));
  ASSERT_TRUE(waitForTransports(1));
  network_.last()->fail(-1001, "veltrix.url");
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].result, nullptr);
  EXPECT_EQ(deliveries()[0].code, -200);
  EXPECT_EQ(deliveries()[0].message, "veltrix.url");
  const std::string line = "http server failed，timeout！ errorCode = -1001,msg = veltrix.url";
  EXPECT_TRUE(log.contains(line));
  EXPECT_NE(logFile().getLogFileData()->find(line), std::string::npos);

  network_.last()->fail(-1001, "veltrix.url");  // registration ended
  drain();
  EXPECT_EQ(deliveries().size(), 1u);
}

TEST_F(RetailerManagerTest, ResultNeverRunsInsideTheCall) {
  network_.failAtOnce = true;
  model::RefundParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().refund(param, idBlock(), recorder<model::RefundResult>("r"));
  EXPECT_TRUE(deliveries().empty());
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].code, -200);
}

TEST_F(RetailerManagerTest, TwoRequestsInFlightNeverCross) {
  ScopedLogCapture log;
  model::PaymentParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().payment(param, idBlock(), recorder<model::PaymentResult>("A"));
  const std::string idA = lastId_;
  ASSERT_TRUE(waitForTransports(1));
  std::shared_ptr<FakeTransport> a = network_.last();
  manager().payment(param, idBlock(), recorder<model::PaymentResult>("B"));
  const std::string idB = lastId_;
  ASSERT_TRUE(waitForTransports(2));
  std::shared_ptr<FakeTransport> b = network_.last();

  b->respond(response(idB, "Purchase", true, "for B"), true);
  // A terminal that writes another exchange's identifier, or none, into
  // its header still answers the exchange it was sent.
  a->respond(response(idB, "Purchase", false, "for A"), false);
  a->respond(response("", "Purchase", true, "for A"), true);
  ASSERT_TRUE(waitForDeliveries(3));
  drain();
  ASSERT_EQ(deliveries().size(), 3u);
  EXPECT_EQ(deliveries()[0].tag, "B");
  EXPECT_EQ(deliveries()[1].tag, "A");
  EXPECT_EQ(deliveries()[2].tag, "A");
  for (const Delivery& d : deliveries()) {
    auto result = std::static_pointer_cast<const model::PaymentResult>(d.result);
    EXPECT_EQ(result->transactionReference, "for " + d.tag);
  }
  EXPECT_EQ(log.count("response exchange id mismatch"), 2u);
}

TEST_F(RetailerManagerTest, TransportIsKeptUntilTheLastMessage) {
  model::RefundParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().refund(param, idBlock(), recorder<model::RefundResult>("first"));
  ASSERT_TRUE(waitForTransports(1));
  std::weak_ptr<FakeTransport> first = network_.made.back();
  const std::string firstId = lastId_;
  manager().refund(param, idBlock(), recorder<model::RefundResult>("second"));
  ASSERT_TRUE(waitForTransports(2));
  ASSERT_FALSE(first.expired()) << "a newer request must not drop an older one's transport";

  first.lock()->respond(response(firstId, "Refund", true), true);
  runPending();
  EXPECT_TRUE(first.expired());
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].tag, "first");
}

TEST_F(RetailerManagerTest, AbortIsAnsweredDirectlyBeforeItIsSent) {
  std::vector<std::pair<std::int64_t, std::size_t>> answers;  // (code, transports by then)
  model::AbortParam param;
  param.orgExchangeIdentification = "0123456789ABCDEF0123456789ABCDEF";
  param.servicesParams = at("127.0.0.1:8080");
  manager().abort(param, idBlock(), [&](std::int64_t code, std::optional<std::string> msg) {
    answers.emplace_back(code, network_.count());
    EXPECT_EQ(msg, std::nullopt);
  });
  EXPECT_EQ(answers, (std::vector<std::pair<std::int64_t, std::size_t>>{{0, 0}}));
  std::shared_ptr<FakeTransport> transport = network_.last();
  EXPECT_EQ(transport->serviceType, "Abort");
  model::ServiceParams sent =
      sentService(lastId_, "Abort", "127.0.0.1:8080", platform::nowMillis());
  sent.model.reset();
  EXPECT_EQ(transport->message, codec::AbortReqBuilder().buildJsonWithParameters(&param, &sent));

  // The terminal's answer to an abort is stored, not decoded.
  transport->respond(response(lastId_, "Abort", true), true);
  EXPECT_EQ(rows("SELECT type FROM casp_exchange_msg ORDER BY id"),
            (std::vector<std::string>{"1", "2"}));
  drain();
  EXPECT_TRUE(deliveries().empty());
  EXPECT_EQ(answers.size(), 1u);
}

// One request waiting for its terminal's answer, one for its probe: when
// their manager goes, each ends once with the cancel code and nothing of it
// stays registered.
TEST_F(RetailerManagerTest, RequestsInFlightEndOnceWhenTheirManagerGoes) {
  model::PaymentParam param;
  param.servicesParams = at("127.0.0.1:8080");
  manager().payment(param, idBlock(), recorder<model::PaymentResult>("sent"));
  const std::string sentId = lastId_;
  ASSERT_TRUE(waitForTransports(1));
  pinger_->set("127.0.0.1:8081", FakePinger::Answer::kSilent);
  param.servicesParams = at("127.0.0.1:8081");
  manager().payment(param, idBlock(), recorder<model::PaymentResult>("probing"));
  ASSERT_TRUE(main().runUntil([&] { return pinger_->pings().size() == 2; }));

  destroyManager();
  pinger_->answerHeld(true);
  drain();
  ASSERT_EQ(deliveries().size(), 2u);
  std::vector<std::string> tags;
  for (const Delivery& d : deliveries()) {
    tags.push_back(d.tag);
    EXPECT_EQ(d.result, nullptr);
    EXPECT_EQ(d.code, kErrorRequestCancelled);
    EXPECT_EQ(d.message, std::string(kMsgManagerDestroyed));
    EXPECT_TRUE(d.onMain);
  }
  std::sort(tags.begin(), tags.end());
  EXPECT_EQ(tags, (std::vector<std::string>{"probing", "sent"}));

  resultRegistry().executeCallbackForId(sentId, nullptr, 0, std::nullopt);
  drain();
  EXPECT_EQ(deliveries().size(), 2u);
}

using SharedManagerTest = testing::LoopTest;

TEST_F(SharedManagerTest, MadeOnceWithTheSettingsFacadeAndTheDeviceIdentifier) {
  RetailerManager& manager = RetailerManager::sharedManager();
  EXPECT_EQ(&manager, &RetailerManager::sharedManager());
  // The settings facade came with it and receives discovery's reports.
  EXPECT_EQ(registry::DiscoverManager::sharedInstance().delegate(),
            RetailerSettingManager::sharedPtr());
  const std::optional<std::string> device = codec::TransactionHeaderBuilder::deviceIdentifier();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->size(), 36u);
}

}  // namespace
}  // namespace veltrix::facade::test
