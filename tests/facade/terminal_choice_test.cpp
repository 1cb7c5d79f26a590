// The choice of the terminal service over database fixtures and a fake
// probe: which candidates are tried in which order, where the request goes,
// the errors, and what the scan screen is told when nothing answers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "facade/facade_fixture.h"
#include "veltrix/platform/log.h"

namespace veltrix::facade::test {
namespace {

using platform::ScopedLogCapture;
using Answer = FakePinger::Answer;

// Serial numbers are longer than 10 characters; "TEN" ones are exactly 10.
constexpr const char* kSnA = "TV2024000AAA";
constexpr const char* kSnB = "TV2024000BBB";
constexpr const char* kSnC = "TV2024000CCC";
constexpr const char* kSnTen = "TV20240001";
constexpr const char* kAddrA = "127.0.0.1:8081";
constexpr const char* kAddrB = "127.0.0.1:8082";
constexpr const char* kAddrC = "127.0.0.1:8083";
constexpr const char* kChoiceHost = "127.0.0.1:8080";

struct Terminal {
  std::string sn;
  std::optional<std::string> address;
  std::int64_t status = 1;  // 1 enabled, 2 disabled
  std::optional<std::string> uuidString = std::nullopt;
};

struct Service {
  std::string sn;
  std::string type;
  std::optional<std::string> serviceId = std::nullopt;
  bool enabled = true;
  // How far its last sighting lags behind its terminal's newest service.
  std::int64_t lagMillis = 0;
};

struct Remembered {
  std::string type;
  std::string sn;
  std::optional<std::string> serviceId;
};

struct World {
  std::vector<std::pair<std::string, std::string>> settings = {};
  std::vector<Terminal> terminals = {};
  std::vector<Service> services = {};
  std::vector<Remembered> remembered = {};
  // Probe targets that answer; every other one refuses.
  std::vector<std::string> reachable = {};
};

struct Request {
  std::optional<std::string> sn = std::nullopt;
  std::optional<std::string> serviceId = std::nullopt;
  std::optional<std::string> address = std::nullopt;
};

enum class Outcome { kSent, kError, kScan };

struct Expected {
  Outcome outcome;
  // kSent: the address the request went to; kError: code and message.
  std::string sentTo;
  std::int64_t code = 0;
  std::string message;
  // Probe targets in the order they were tried.
  std::vector<std::string> pings;
  // kScan: what the screen is told.
  std::optional<std::string> scanSn = std::nullopt;
  std::optional<std::string> scanServiceId = std::nullopt;
  std::optional<std::string> hint = std::nullopt;
  bool scanOffline = false;
};

struct Case {
  std::string name;
  World world;
  Request request;
  Expected expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

Expected sent(std::string to, std::vector<std::string> pings) {
  return {Outcome::kSent, std::move(to), 0, "", std::move(pings)};
}
Expected error(std::int64_t code, std::string message, std::vector<std::string> pings = {}) {
  return {Outcome::kError, "", code, std::move(message), std::move(pings)};
}
Expected scan(std::vector<std::string> pings, std::optional<std::string> sn,
              std::optional<std::string> serviceId, std::optional<std::string> hint, bool offline) {
  return {Outcome::kScan,  "",     0, "", std::move(pings), std::move(sn), std::move(serviceId),
          std::move(hint), offline};
}

std::string h1(const std::string& serviceId, const std::string& sn) {
  return "The selected " + serviceId + " is unavailable, searching for other services in " + sn +
         ".";
}
std::string h3(const std::string& serviceId, const std::string& sn) {
  return "The selected " + serviceId + " is unavailable in " + sn +
         ", Showing all supported devices.";
}
std::string h4(const std::string& name, const std::string& sn) {
  return "No " + name + " in " + sn + ",  Showing all supported devices.";
}
std::string h5(const std::string& name, const std::string& sn) {
  return "No " + name + " in " + sn + " , Showing all supported devices.";
}

// The facade over an empty database with a scan presenter, a probe that
// refuses every target not made reachable, and a radio that is off.
class ChoiceTest : public FacadeTest {
 protected:
  ChoiceTest() {
    presenter_ = std::make_shared<FakePresenter>();
    manager().initWithNavigationController(presenter_);
    pinger_->setFallback(Answer::kNo);
    bleProbe_->poweredOn = false;
  }

  void build(const World& world) {
    for (const auto& [key, value] : world.settings) ASSERT_TRUE(db().upsertSetting(key, value));
    for (const Terminal& t : world.terminals) {
      ASSERT_TRUE(db().insertDiscoveredTerminal(t.sn, "T2", t.address, "http", std::nullopt,
                                                t.status, 1, 0, "1000", "1000", t.uuidString));
    }
    const std::int64_t newest = 1767225600000;
    for (const Service& s : world.services) {
      const std::string time = std::to_string(newest - s.lagMillis);
      ASSERT_TRUE(db().insertTerminalServices(s.sn, s.type, s.type, "com.tavio.pay", s.serviceId,
                                              "Pay", s.enabled ? 1 : 0, time, time, "payment"));
    }
    for (const Remembered& r : world.remembered) {
      ASSERT_TRUE(db().insertRememberServices(r.sn, r.type, "com.tavio.pay", r.serviceId,
                                              std::nullopt, "1000"));
    }
    for (const std::string& target : world.reachable) pinger_->set(target, Answer::kYes);
  }

  // A refund (service name "Refund") bound for `request`.
  void refund(const Request& request) {
    model::RefundParam param;
    param.transactionReference = "R-1";
    model::DestinationParams destination;
    destination.sn = request.sn;
    destination.serviceId = request.serviceId;
    destination.address = request.address;
    param.servicesParams = destination;
    manager().refund(param, idBlock(), recorder<model::RefundResult>("refund"));
  }

  bool settled() {
    return network_.count() > 0 || !presenter_->requests.empty() || !deliveries().empty();
  }

  void check(const Expected& expected) {
    ASSERT_TRUE(main().runUntil([&] { return settled(); }));
    drain();
    EXPECT_EQ(pinger_->pings(), expected.pings);
    switch (expected.outcome) {
      case Outcome::kSent: {
        ASSERT_EQ(network_.count(), 1u);
        std::shared_ptr<FakeTransport> transport = network_.last();
        EXPECT_EQ(transport->url, "http://" + expected.sentTo);
        EXPECT_EQ(transport->type, kCommunicateHttp);
        EXPECT_EQ(transport->exchangeId, lastId_);
        EXPECT_TRUE(presenter_->requests.empty());
        EXPECT_TRUE(deliveries().empty());
        break;
      }
      case Outcome::kError:
        ASSERT_EQ(deliveries().size(), 1u);
        EXPECT_EQ(deliveries()[0].result, nullptr);
        EXPECT_EQ(deliveries()[0].code, expected.code);
        EXPECT_EQ(deliveries()[0].message, expected.message);
        EXPECT_EQ(network_.count(), 0u);
        EXPECT_TRUE(presenter_->requests.empty());
        break;
      case Outcome::kScan: {
        ASSERT_EQ(presenter_->requests.size(), 1u);
        const ScanRequest& request = presenter_->requests[0];
        EXPECT_EQ(request.serviceType, "Refund");
        EXPECT_EQ(request.sn, expected.scanSn);
        EXPECT_EQ(request.serviceId, expected.scanServiceId);
        EXPECT_EQ(request.showString, expected.hint);
        EXPECT_EQ(request.isOffline, expected.scanOffline);
        EXPECT_EQ(network_.count(), 0u);
        EXPECT_TRUE(deliveries().empty());
        break;
      }
    }
  }

  std::shared_ptr<FakePresenter> presenter_;
};

const std::string kDestType = "DESTINATION_SERVICETYPE-Refund";

std::vector<Case> cases() {
  const Terminal a{kSnA, kAddrA};
  const Terminal b{kSnB, kAddrB};
  const Terminal c{kSnC, kAddrC};
  return {
      // T1: the explicit address or the default terminal.
      {"ExplicitAddressAnswers",
       {.reachable = {kChoiceHost}},
       {.address = kChoiceHost},
       sent(kChoiceHost, {kChoiceHost})},
      {"DefaultTerminalAnswers",
       {.settings = {{"DefultTerminslByIp", kChoiceHost}}, .reachable = {kChoiceHost}},
       {},
       sent(kChoiceHost, {kChoiceHost})},
      {"ExplicitAddressReplacesTheDefault",
       {.settings = {{"DefultTerminslByIp", "127.0.0.9:9"}}, .reachable = {kChoiceHost}},
       {.address = kChoiceHost},
       sent(kChoiceHost, {kChoiceHost})},
      {"SilentAddressFailsToPing",
       {},
       {.address = kChoiceHost},
       error(-200, "fail to ping terminal", {kChoiceHost})},
      {"InvalidAddressFailsToConnect",
       {.settings = {{"DESTINATION_SN", kSnA}}, .terminals = {a}, .services = {{kSnA, "Refund"}}},
       {.address = "999.1.1.1:80"},
       error(-200, "fail to connect")},
      {"ShortAddressCountsOnlyOnceCandidatesFailed",
       {.settings = {{"DESTINATION_SN", kSnA}}, .terminals = {a}, .services = {{kSnA, "Refund"}}},
       {.address = "1.2.3:4"},
       error(-200, "fail to ping terminal", {kAddrA})},
      {"ShortAddressWithoutCandidatesOpensTheScreen",
       {},
       {.address = "1.2.3:4"},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"ShortDefaultSettingCountsAsAnAddress",
       {.settings = {{"DefultTerminslByIp", "1.2.3:4"}, {"DESTINATION_SN", kSnA}},
        .terminals = {a},
        .services = {{kSnA, "Refund"}}},
       {},
       error(-200, "fail to ping terminal", {kAddrA})},
      {"NothingKnownOpensTheScreen",
       {},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},

      // T2: terminal and service identifier.
      {"TerminalAndServiceAnswer",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}}, .reachable = {kAddrA}},
       {.sn = kSnA, .serviceId = "S1"},
       sent(kAddrA, {kAddrA})},
      {"TerminalWithoutThatServiceIsNotSupported",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S2"}}},
       {.sn = kSnA, .serviceId = "S1"},
       error(-101, "Service not support")},
      {"ErrorDropsCandidatesAlreadyGathered",
       {.terminals = {a}},
       {.sn = kSnA, .serviceId = "S1", .address = kChoiceHost},
       error(-101, "Service not support")},
      {"AddressIsTriedBeforeTheTerminal",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}}, .reachable = {kAddrA}},
       {.sn = kSnA, .serviceId = "S1", .address = kChoiceHost},
       sent(kAddrA, {kChoiceHost, kAddrA})},
      {"SelectedServiceUnavailableSearchesTheTerminal",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}}},
       {.sn = kSnA, .serviceId = "S1"},
       scan({kAddrA}, kSnA, "S1", h1("S1", kSnA), true)},
      {"SelectedServiceOnADisabledTerminal",
       {.terminals = {{kSnA, kAddrA, 2}}, .services = {{kSnA, "Refund", "S1"}}},
       {.sn = kSnA, .serviceId = "S1"},
       scan({kAddrA}, kSnA, "S1", h3("S1", kSnA), true)},

      // T3: terminal alone.
      {"TerminalWithOneServiceAnswers",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}}, .reachable = {kAddrA}},
       {.sn = kSnA},
       sent(kAddrA, {kAddrA})},
      {"TerminalWithoutTheServiceIsNotSupported",
       {.terminals = {a}, .services = {{kSnA, "Purchase", "S1"}, {kSnA, "Refund", "S2", false}}},
       {.sn = kSnA, .serviceId = ""},
       error(-101, "Service not support")},
      {"TerminalWithTwoServicesNeedsAnIdentifier",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}, {kSnA, "Refund", "S2"}}},
       {.sn = kSnA},
       error(-102, "Multiple services of the same type exist without specifying ServiceId")},
      {"StaleServiceIsDisabledBeforeTheLookUp",
       {.terminals = {a},
        .services = {{kSnA, "Refund", "S1", true, 3000}, {kSnA, "Purchase", "S2"}}},
       {.sn = kSnA},
       error(-101, "Service not support")},
      {"TerminalThatDoesNotAnswer",
       {.terminals = {a}, .services = {{kSnA, "Refund", "S1"}}},
       {.sn = kSnA},
       scan({kAddrA}, kSnA, std::nullopt, h4("Refund", kSnA), true)},

      // E and the edges of the serial number's length.
      {"ServiceIdentifierAloneIsRefused",
       {},
       {.serviceId = "S1"},
       error(-500, "fail to check serviceId")},
      {"ServiceIdentifierWithAnAddressGoesThere",
       {.reachable = {kChoiceHost}},
       {.serviceId = "S1", .address = kChoiceHost},
       sent(kChoiceHost, {kChoiceHost})},
      {"SerialNumberOfTenCharactersIsNotUsed",
       {.terminals = {{kSnTen, kAddrA}}, .services = {{kSnTen, "Refund", "S1"}}},
       {.sn = kSnTen, .serviceId = "S1"},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},

      // T4 to T7: stored destinations and remembered services.
      {"DestinationOfTheType",
       {.settings = {{kDestType, kSnA}},
        .terminals = {a},
        .services = {{kSnA, "Refund", "S1"}},
        .reachable = {kAddrA}},
       {},
       sent(kAddrA, {kAddrA})},
      {"RememberedServiceOfTheType",
       {.terminals = {a}, .remembered = {{"Refund", kSnA, "S1"}}, .reachable = {kAddrA}},
       {},
       sent(kAddrA, {kAddrA})},
      {"RememberedSerialOfTenCharactersIsNotUsed",
       {.terminals = {{kSnTen, kAddrA}}, .remembered = {{"Refund", kSnTen, "S1"}}},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"DestinationTerminal",
       {.settings = {{"DESTINATION_SN", kSnB}},
        .terminals = {b},
        .services = {{kSnB, "Refund", "S1"}},
        .reachable = {kAddrB}},
       {},
       sent(kAddrB, {kAddrB})},
      {"TypeDestinationThenTerminalDestinationThenTheScreen",
       {.settings = {{kDestType, kSnA}, {"DESTINATION_SN", kSnB}},
        .terminals = {a, b},
        .services = {{kSnA, "Refund", "S1"}, {kSnB, "Refund", "S2"}}},
       {},
       scan({kAddrA, kAddrB}, kSnB, std::nullopt, h5("Refund", kSnA), true)},
      {"ShortTypeDestinationIsNotUsed",
       {.settings = {{kDestType, "SHORT"}}},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"TwoRowsAnswerAtOnceWithoutAProbe",
       {.settings = {{"DESTINATION_SN", kSnA}},
        .terminals = {a},
        .services = {{kSnA, "Refund", "S1"}, {kSnA, "Refund", "S2"}}},
       {},
       scan({}, kSnA, std::nullopt, std::nullopt, false)},
      {"UndiscoveredTerminalIsNotProbed",
       {.settings = {{"DESTINATION_SN", kSnA}}, .services = {{kSnA, "Refund", "S1"}}},
       {},
       scan({}, kSnA, std::nullopt, std::nullopt, true)},
      {"DestinationService",
       {.settings = {{"DESTINATION_SN_SERVICEID", std::string(kSnC) + ":S3"}},
        .terminals = {c},
        .services = {{kSnC, "Refund", "S2"}, {kSnC, "Refund", "S3"}},
        .reachable = {kAddrC}},
       {},
       sent(kAddrC, {kAddrC})},
      {"DestinationServiceMissingOnItsTerminal",
       {.settings = {{"DESTINATION_SN_SERVICEID", std::string(kSnC) + ":S3"}},
        .terminals = {c},
        .services = {{kSnC, "Purchase", "S3"}}},
       {},
       scan({}, std::nullopt, std::nullopt, h4("Refund", kSnC), false)},
      {"DestinationServiceOnADisabledTerminal",
       {.settings = {{"DESTINATION_SN_SERVICEID", std::string(kSnC) + ":S3"}},
        .terminals = {{kSnC, kAddrC, 2}},
        .services = {{kSnC, "Refund", "S3"}}},
       {.sn = kSnTen, .serviceId = "S9"},
       scan({kAddrC}, std::nullopt, "S9", h3("S3", kSnC), true)},
      {"DestinationServiceWithoutAColonIsNotSet",
       {.settings = {{"DESTINATION_SN_SERVICEID", std::string(kSnC) + "S3"}},
        .terminals = {c},
        .services = {{kSnC, "Refund", "S3"}},
        .reachable = {kAddrC}},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"DestinationServiceHintWinsOverTheTypeDestination",
       {.settings = {{kDestType, kSnA}, {"DESTINATION_SN_SERVICEID", std::string(kSnC) + ":S3"}},
        .terminals = {a, c},
        .services = {{kSnA, "Refund", "S1"}, {kSnC, "Refund", "S3"}}},
       {},
       scan({kAddrA, kAddrC}, kSnA, std::nullopt, h1("S3", kSnC), true)},

      // T8: the service remembered for all types.
      {"RememberedForAllWithOneRow",
       {.terminals = {a},
        .services = {{kSnA, "Refund", "S1"}},
        .remembered = {{"ALL", kSnA, "S9"}},
        .reachable = {kAddrA}},
       {},
       sent(kAddrA, {kAddrA})},
      {"StrategyZeroIgnoresRememberedForAll",
       {.settings = {{"Refund", "0"}},
        .terminals = {a},
        .services = {{kSnA, "Refund", "S1"}},
        .remembered = {{"ALL", kSnA, "S1"}},
        .reachable = {kAddrA}},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"RememberedForAllPicksItsServiceAmongSeveral",
       {.terminals = {a},
        .services = {{kSnA, "Refund", "S1"}, {kSnA, "Refund", "S2"}},
        .remembered = {{"ALL", kSnA, "S2"}},
        .reachable = {kAddrA}},
       {},
       sent(kAddrA, {kAddrA})},
      {"RememberedForAllWithoutItsServiceAddsNothing",
       {.terminals = {a},
        .services = {{kSnA, "Refund", "S1"}, {kSnA, "Refund", "S2"}},
        .remembered = {{"ALL", kSnA, "S7"}}},
       {},
       scan({}, std::nullopt, std::nullopt, std::nullopt, false)},
      {"RememberedTerminalAloneIsOnlyProbed",
       {.terminals = {a}, .remembered = {{"ALL", kSnA, std::nullopt}}, .reachable = {kAddrA}},
       {},
       scan({kAddrA}, std::nullopt, std::nullopt, std::nullopt, false)},

      // The chain.
      {"FirstAnswerEndsTheChain",
       {.settings = {{"DESTINATION_SN", kSnA}},
        .terminals = {a},
        .services = {{kSnA, "Refund", "S1"}},
        .reachable = {kChoiceHost, kAddrA}},
       {.address = kChoiceHost},
       sent(kChoiceHost, {kChoiceHost})},
      {"LaterCandidateAnswers",
       {.settings = {{kDestType, kSnA}, {"DESTINATION_SN", kSnB}},
        .terminals = {a, b},
        .services = {{kSnA, "Refund", "S1"}, {kSnB, "Refund", "S2"}},
        .reachable = {kAddrB}},
       {},
       sent(kAddrB, {kAddrA, kAddrB})},
  };
}

class TerminalChoiceRoadTest : public ChoiceTest, public ::testing::WithParamInterface<Case> {};

TEST_P(TerminalChoiceRoadTest, GoesWhereTheRoadLeads) {
  build(GetParam().world);
  refund(GetParam().request);
  check(GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Roads, TerminalChoiceRoadTest, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.name;
                         });

TEST_F(ChoiceTest, AddressServiceIsSentAsGivenAndLogged) {
  ScopedLogCapture log;
  build({.reachable = {kChoiceHost}});
  refund({.serviceId = "S1", .address = kChoiceHost});
  ASSERT_TRUE(waitForTransports(1));
  EXPECT_EQ(rows("SELECT channelSource, serviceId, initiatingPartyId FROM casp_exchange"),
            (std::vector<std::string>{std::string(kChoiceHost) + "|S1|"}));
  const std::string line =
      "terminalDiscover 1= {address = 127.0.0.1:8080; model = ; netWorkTp = LAN; parameter = "
      "http; serviceId = S1; }";
  EXPECT_TRUE(log.contains(line));
  EXPECT_NE(logFile().getLogFileData()->find(line), std::string::npos);
  // One probe of 0.5 s on the address's port.
  EXPECT_EQ(pinger_->timeouts(), (std::vector<double>{0.5}));
}

TEST_F(ChoiceTest, StaleServicesAreDisabledOnlyOnceTheAddressIsValid) {
  build({.terminals = {{kSnA, kAddrA}},
         .services = {{kSnA, "Refund", "S1", true, 3000}, {kSnA, "Purchase", "S2"}}});
  auto enabledFlags = [this] {
    return rows("SELECT isEnabled FROM terminal_service ORDER BY tsId");
  };
  refund({.address = "999.1.1.1:80"});
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].message, "fail to connect");
  EXPECT_EQ(enabledFlags(), (std::vector<std::string>{"1", "1"}));

  refund({});
  ASSERT_TRUE(main().runUntil([&] { return !presenter_->requests.empty(); }));
  EXPECT_EQ(enabledFlags(), (std::vector<std::string>{"2", "1"}));
}

TEST_F(ChoiceTest, RememberedServiceIsMergedWithItsTerminal) {
  build({.settings = {{"DESTINATION_SN", kSnA}},
         .terminals = {{kSnA, kAddrA, 1, "UUID-A"}},
         .services = {{kSnA, "Refund", "S1"}},
         .reachable = {kAddrA}});
  refund({});
  ASSERT_TRUE(waitForTransports(1));
  EXPECT_EQ(network_.last()->address, kSnA);
  EXPECT_EQ(rows("SELECT initiatingPartyId, channelSource, serviceId FROM casp_exchange"),
            (std::vector<std::string>{std::string(kSnA) + "|" + kAddrA + "|S1"}));
  const std::optional<platform::Json> sent = platform::parseJson(*network_.last()->message);
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->value("serviceId", ""), "S1");
}

TEST(BuildServiceDictTest, TerminalValuesReplaceOrRemoveTheServiceOnes) {
  using registry::Row;
  const Row service{{"sn", std::string("SN-1")},         {"serviceId", std::string("S1")},
                    {"serviceName", std::string("Pay")}, {"uuidString", std::string("OLD-UUID")},
                    {"model", std::string("old")},       {"isEnabled", std::int64_t{1}}};
  const Row terminal{{"sn", std::string("SN-1")},
                     {"model", std::string("T2")},
                     {"address", std::string("10.0.0.5:8080")},
                     {"status", std::int64_t{1}}};
  EXPECT_EQ(RetailerManager::buildServiceDictWithTerminal(terminal, service),
            (ServiceDictionary{{"sn", "SN-1"},
                               {"serviceId", "S1"},
                               {"serviceName", "Pay"},
                               {"model", "T2"},
                               {"address", "10.0.0.5:8080"},
                               {"isEnabled", "1"}}));
  EXPECT_EQ(RetailerManager::buildServiceDictWithTerminal({}, {}), ServiceDictionary{});
}

TEST_F(ChoiceTest, SilentProbeTimesOutAndItsLateAnswerIsIgnored) {
  pinger_->set(kChoiceHost, Answer::kSilent);
  refund({.address = kChoiceHost});
  ASSERT_TRUE(runWithClockUntil([&] { return !deliveries().empty(); }));
  EXPECT_EQ(deliveries()[0].code, -200);
  EXPECT_EQ(deliveries()[0].message, "fail to ping terminal");
  pinger_->answerHeld(true);
  drain();
  EXPECT_EQ(network_.count(), 0u);
  EXPECT_EQ(deliveries().size(), 1u);
}

TEST_F(ChoiceTest, MalformedTerminalAddressesAreNotProbed) {
  for (const char* address : {"127.0.0.1", "1:2:3:4:5", "1:2", ""}) {
    SCOPED_TRACE(address);
    ASSERT_TRUE(db().deleteDiscoverTerminalAll());
    ASSERT_TRUE(db().deleteTerminalServiceAll());
    presenter_->requests.clear();
    build({.settings = {{"DESTINATION_SN", kSnA}},
           .terminals = {{kSnA, std::string(address)}},
           .services = {{kSnA, "Refund", "S1"}}});
    refund({});
    ASSERT_TRUE(main().runUntil([&] { return !presenter_->requests.empty(); }));
    EXPECT_TRUE(presenter_->requests[0].isOffline);
  }
  EXPECT_TRUE(pinger_->pings().empty());
}

// The Bluetooth LE side of the reach check: a terminal whose address does
// not answer.
class BlePresenceTest : public ChoiceTest {
 protected:
  BlePresenceTest() {
    bleProbe_->poweredOn = true;
    build({.settings = {{"DESTINATION_SN", kSnA}},
           .terminals = {{kSnA, kAddrA, 1, "UUID-A"}},
           .services = {{kSnA, "Refund", "S1"}}});
  }
};

TEST_F(BlePresenceTest, TerminalSeenInAScanIsReachedOverBluetooth) {
  ScopedLogCapture log;
  bleProbe_->visible = {{std::nullopt, "UUID-X"}, {"tv2024000aaa", "UUID-A"}};
  refund({});
  // The request goes out once the Bluetooth LE connect completes.
  ASSERT_TRUE(main().runUntil([&] { return static_cast<bool>(ble_.pending); }));
  ble_.pending(true, std::nullopt, std::nullopt);
  ASSERT_TRUE(waitForTransports(1));
  // The address did not answer: the request must not be sent there.
  EXPECT_EQ(network_.last()->type, kCommunicateBle);
  EXPECT_EQ(network_.last()->address, kSnA);
  EXPECT_EQ(bleProbe_->scans, 1);
  EXPECT_EQ(bleProbe_->stops, 0);
  EXPECT_TRUE(log.contains("checkBleHost: found target device"));
}

TEST_F(BlePresenceTest, IdentifierStandsInForAMissingSerialNumber) {
  bleProbe_->visible = {{std::nullopt, kSnA}};
  refund({});
  ASSERT_TRUE(main().runUntil([&] { return static_cast<bool>(ble_.pending); }));
  ble_.pending(true, std::nullopt, std::nullopt);
  ASSERT_TRUE(waitForTransports(1));
  EXPECT_EQ(network_.last()->type, kCommunicateBle);
}

TEST_F(BlePresenceTest, ConnectedTerminalNeedsNoScan) {
  bleProbe_->connected = {kSnA};
  ble_.connected = {kSnA};
  refund({});
  ASSERT_TRUE(waitForTransports(1));
  EXPECT_EQ(network_.last()->type, kCommunicateBle);
  EXPECT_EQ(bleProbe_->scans, 0);
}

TEST_F(BlePresenceTest, TerminalNotSeenTimesOutAndStopsTheScan) {
  bleProbe_->visible = {{"TV2024000ZZZ", "UUID-Z"}};
  refund({});
  ASSERT_TRUE(runWithClockUntil([&] { return !presenter_->requests.empty(); }));
  EXPECT_TRUE(presenter_->requests[0].isOffline);
  EXPECT_EQ(bleProbe_->scans, 1);
  EXPECT_EQ(bleProbe_->stops, 1);

  // The scan's guard counts from when the main loop starts the scan, so a
  // wait that wakes late leaves the guard to end the search: it stops the
  // scan then, once.
  ProbeTimeouts guardFirst;
  guardFirst.bleGuard = guardFirst.bleWait / 4;
  auto checker = std::make_shared<ReachChecker>(pinger_, bleProbe_, guardFirst);
  auto found = std::make_shared<std::atomic<int>>(-1);
  platform::GlobalQueue::shared().post(
      [checker, found] { *found = checker->checkBleHost(std::string(kSnA)) ? 1 : 0; });
  ASSERT_TRUE(runWithClockUntil([&] { return *found != -1; }));
  EXPECT_EQ(*found, 0);
  EXPECT_EQ(bleProbe_->scans, 2);
  EXPECT_EQ(bleProbe_->stops, 2);
}

TEST_F(BlePresenceTest, RadioOffAnswersAtOnce) {
  bleProbe_->poweredOn = false;
  refund({});
  // No clock movement: the check must not wait.
  ASSERT_TRUE(main().runUntil([&] { return !presenter_->requests.empty(); }));
  EXPECT_EQ(bleProbe_->scans, 0);
}

TEST_F(BlePresenceTest, ScreenChoiceAfterFailedProbesGoesByTheLocalNetwork) {
  bleProbe_->poweredOn = false;
  refund({});
  ASSERT_TRUE(main().runUntil([&] { return !presenter_->requests.empty(); }));
  ASSERT_TRUE(presenter_->requests[0].isOffline);
  presenter_->delegates[0]->onScanTerminalSucc(
      {{"sn", kSnB}, {"address", kAddrB}, {"parameter", "http"}});
  ASSERT_EQ(network_.count(), 1u);
  EXPECT_EQ(network_.last()->type, kCommunicateHttp);
  EXPECT_EQ(network_.last()->url, std::string("http://") + kAddrB);
}

TEST_F(ChoiceTest, TwoRequestsInFlightKeepTheirOwnChoice) {
  pinger_->set(kChoiceHost, Answer::kSilent);
  pinger_->set(kAddrA, Answer::kYes);
  model::RefundParam first;
  first.transactionReference = "first";
  first.servicesParams = at(kChoiceHost);
  manager().refund(first, idBlock(), recorder<model::RefundResult>("first"));
  const std::string firstId = lastId_;
  ASSERT_TRUE(main().runUntil([&] { return pinger_->pings().size() == 1; }));

  model::RefundParam second;
  second.transactionReference = "second";
  second.servicesParams = at(kAddrA);
  manager().refund(second, idBlock(), recorder<model::RefundResult>("second"));
  const std::string secondId = lastId_;
  ASSERT_TRUE(waitForTransports(1));
  // A third request whose choice fails reports to itself only.
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("third"));
  model::RefundParam third;
  third.servicesParams = model::DestinationParams{std::nullopt, "S1", std::nullopt};
  manager().refund(third, idBlock(), recorder<model::RefundResult>("fourth"));

  pinger_->answerHeld(true);
  ASSERT_TRUE(waitForTransports(2));
  drain();
  std::shared_ptr<FakeTransport> a = network_.made[1].lock();
  std::shared_ptr<FakeTransport> b = network_.made[0].lock();
  EXPECT_EQ(a->exchangeId, firstId);
  EXPECT_EQ(a->url, std::string("http://") + kChoiceHost);
  EXPECT_NE(a->message->find("\"first\""), std::string::npos);
  EXPECT_EQ(b->exchangeId, secondId);
  EXPECT_EQ(b->url, std::string("http://") + kAddrA);
  EXPECT_NE(b->message->find("\"second\""), std::string::npos);
  ASSERT_EQ(deliveries().size(), 1u);
  EXPECT_EQ(deliveries()[0].tag, "fourth");
  EXPECT_EQ(deliveries()[0].code, -500);
  ASSERT_EQ(presenter_->requests.size(), 1u);  // the third one's screen
}

// A terminal asked to show itself from a screen over the scan screen: the
// display goes to that terminal's service or ends with the error, never to
// another terminal and never onto a second scan screen.
TEST_F(ChoiceTest, DisplayForOneUnreachableServiceEndsWithTheError) {
  build({.terminals = {{kSnA, kAddrA}, {kSnB, kAddrB}},
         .services = {{kSnA, "Display", "S1"}, {kSnB, "Display", "S1"}},
         .remembered = {{"Display", kSnB, "S1"}},
         .reachable = {kAddrB}});
  model::DisplayParam param;
  model::DestinationParams destination;
  destination.sn = kSnA;
  destination.serviceId = "S1";
  param.servicesParams = destination;
  manager().display(param, idBlock(), recorder<model::DisplayResult>("display"));
  ASSERT_TRUE(main().runUntil([&] { return settled(); }));
  drain();
  EXPECT_EQ(pinger_->pings(), std::vector<std::string>{kAddrA});
  ASSERT_EQ(deliveries().size(), 1u);
  EXPECT_EQ(deliveries()[0].code, -200);
  EXPECT_EQ(deliveries()[0].message, "fail to ping terminal");
  EXPECT_TRUE(presenter_->requests.empty());
  EXPECT_EQ(network_.count(), 0u);

  // Reached, it goes there.
  pinger_->set(kAddrA, Answer::kYes);
  manager().display(param, idBlock(), recorder<model::DisplayResult>("display"));
  ASSERT_TRUE(main().runUntil([&] { return network_.count() > 0; }));
  EXPECT_EQ(network_.last()->url, std::string("http://") + kAddrA);
}

}  // namespace
}  // namespace veltrix::facade::test
