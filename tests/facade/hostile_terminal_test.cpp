// A payment answered by a hostile terminal over loopback: text that would
// exhaust the stack or the main loop, a body that ends without a final
// answer, and the faults of the connection (the simulated terminal's
// scripts, or a hostile peer where the simulator cannot produce the fault).
// Each request must end exactly once, on its own block, leave the exchange
// log whole and let go of what it held; the next request then succeeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/http_simulator.h"
#include "support/hostile_http_peer.h"
#include "support/sim_terminal.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/sqlite.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::facade::test {
namespace {

using namespace std::chrono_literals;

class HostileTerminalTest : public testing::LoopTest {
 protected:
  HostileTerminalTest() {
    config_.sessionManager = &session_;
    config_.logFile = &logFile_;
    // Read at every send: a test may shorten the idle time or the cap.
    CommunicateFactory factory(
        [this](const std::string& url) { return transport::HttpsService::create(url, config_); },
        {});
    manager_ = std::make_shared<RetailerManager>(RetailerManager::Collaborators{
        db_, registry_, settings_, logFile_, transport::RadioOffBleTransport::shared(),
        std::move(factory)});
  }

  ~HostileTerminalTest() override {
    main().runUntil([&] { return session_.taskCount() == 0; });
    manager_.reset();
    if (sim_) sim_->stop();
  }

  struct Outcome {
    std::shared_ptr<const model::PaymentResult> result;
    std::int64_t code;
    std::optional<std::string> message;
  };

  // Pays at `peer` and runs the main loop until the host has heard
  // `outcomes` times and the transfer is over.
  void pay(const testing::HostileHttpPeer& peer, std::size_t outcomes = 1,
           std::chrono::milliseconds limit = 20000ms) {
    ASSERT_TRUE(peer.ok());
    pay(peer.address(), outcomes, limit);
  }
  void pay(const std::string& address, std::size_t outcomes = 1,
           std::chrono::milliseconds limit = 20000ms) {
    start(address);
    ASSERT_TRUE(main().runUntil(
        [&] { return outcomes_.size() >= outcomes && session_.taskCount() == 0; }, limit))
        << "results " << outcomes_.size() << ", transfers " << session_.taskCount();
    runPending();
  }
  // Sends a payment to `address` and returns at once.
  void start(const std::string& address, const std::string& reference = "POS-0001") {
    model::PaymentParam param;
    param.transactionReference = reference;
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    param.servicesParams = FacadeTest::at(address);
    manager_->payment(
        param, [this](const std::string& id) { exchangeId_ = id; },
        [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
               std::optional<std::string> message) {
          outcomes_.push_back({std::move(result), code, std::move(message)});
        });
  }

  // Nothing more reaches the host, even if the registry were asked again.
  void expectRegistrationReleased() {
    const std::size_t before = outcomes_.size();
    registry_.executeCallbackForId(exchangeId_, nullptr, -1, std::string("late"));
    main().runUntil([] { return false; }, 50ms);
    EXPECT_EQ(outcomes_.size(), before);
  }

  // The simulated terminal, answering with its defaults at once.
  sim::HttpSimulator& terminal() {
    if (!sim_) {
      sim_ = testing::startSimulatedTerminal(0ms);
    }
    return *sim_;
  }

  // The exchange log holds the exchange once, with its request and the
  // `responses` messages that reached the facade.
  void expectLogged(std::size_t responses) {
    platform::Db peek;
    ASSERT_TRUE(peek.open(db_.path()));
    const auto count = [&](const std::string& sql) {
      platform::Stmt stmt = peek.prepare(sql);
      stmt.bind(1, std::optional<std::string_view>(exchangeId_));
      return stmt.step() == platform::StepResult::Row ? stmt.int64(0) : -1;
    };
    EXPECT_EQ(count("SELECT COUNT(*) FROM casp_exchange WHERE exchangeId = ?"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM casp_exchange_msg WHERE requestId = ? AND type = '1'"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM casp_exchange_msg WHERE requestId = ? AND type = '2'"),
              static_cast<std::int64_t>(responses));
  }

  // A payment to the simulated terminal is approved, on its own block.
  void expectTheNextPaymentApproved() {
    outcomes_.clear();
    pay(terminal().address());
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].code, 0) << outcomes_[0].message.value_or("");
    ASSERT_TRUE(outcomes_[0].result);
    EXPECT_EQ(outcomes_[0].result->exchangeIdentification, exchangeId_);
    expectLogged(1);
  }

  transport::HttpsServiceConfig config_;
  std::unique_ptr<sim::HttpSimulator> sim_;
  transport::WSStreamingHTTPSessionManager session_;
  registry::DatabaseManager db_{docs() / "hostile.sqlite"};
  registry::FileLogger logFile_{docs() / "hostile-log.txt"};
  ResultBackManager registry_;
  RetailerSettingManager settings_{db_};
  std::shared_ptr<RetailerManager> manager_;
  std::string exchangeId_;
  std::vector<Outcome> outcomes_;
};

TEST_F(HostileTerminalTest, DeepNestingEndsThePaymentOnceWithoutExhaustingTheStack) {
  constexpr std::size_t kLevels = 600;  // past the 512-level limit
  const std::string arrays = std::string(kLevels, '[') + std::string(kLevels, ']');
  std::string objects = R"({"serviceType":"Purchase","endFlag":true,"response":)";
  for (std::size_t i = 0; i < kLevels; ++i) objects += R"({"a":)";
  objects += "1" + std::string(kLevels + 1, '}');
  for (const std::string& body : {arrays, objects}) {
    outcomes_.clear();
    testing::HostileHttpPeer peer(body);
    pay(peer);
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].result, nullptr);
    EXPECT_EQ(outcomes_[0].code, -200);
    EXPECT_EQ(outcomes_[0].message, transport::kJSONErrorDomain);
    expectRegistrationReleased();
  }
}

TEST_F(HostileTerminalTest, AMessageWithManyMembersIsDecodedInLinearTime) {
  // 300,000 members took the main loop minutes when every insert searched
  // the members before it and the message was parsed three times; 100,000
  // show the cost is linear.
  std::string body = R"({"exchangeIdentification":"X","serviceType":"Purchase","endFlag":true,)"
                     R"("response":{"response":"SUCC","totalAmount":"12.50")";
  for (int i = 0; i < 100000; ++i) body += ",\"m" + std::to_string(i) + "\":" + std::to_string(i);
  body += "}}";
  testing::HostileHttpPeer peer(body);
  const auto bound = 30s * testing::kSlowdown;
  const auto start = std::chrono::steady_clock::now();
  // The wait outlasts the bound, so the bound, not the wait, judges a slow
  // build on a loaded machine.
  pay(peer, 1, std::max<std::chrono::milliseconds>(120s, bound + 30s));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, bound) << "generous for a loaded machine";
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].code, 0);
  ASSERT_TRUE(outcomes_[0].result);
  EXPECT_EQ(outcomes_[0].result->totalAmount, "12.50");
  expectRegistrationReleased();
}

TEST_F(HostileTerminalTest, ABodyEndingWithoutAFinalAnswerEndsTheRequestOnce) {
  // A top level that is no object carries no end flag: the one callback is
  // the failure.
  {
    testing::HostileHttpPeer peer(R"([{"serviceType":"Purchase","endFlag":true}])");
    pay(peer);
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].code, -200);
    EXPECT_EQ(outcomes_[0].message, transport::kJSONErrorDomain);
    expectRegistrationReleased();
  }
  // An answer with "endFlag" false reaches the host as it is; the clean end
  // of the body then ends the request with the failure, once.
  outcomes_.clear();
  {
    testing::HostileHttpPeer peer(
        R"({"serviceType":"Purchase","endFlag":false,"response":{"response":"SUCC"}})"
        "\n");
    pay(peer, 2);
    ASSERT_EQ(outcomes_.size(), 2u);
    EXPECT_EQ(outcomes_[0].code, 0);
    EXPECT_EQ(outcomes_[1].code, -200);
    EXPECT_EQ(outcomes_[1].message, transport::kJSONErrorDomain);
    expectRegistrationReleased();
  }
}

TEST_F(HostileTerminalTest, UnicodeWhiteSpaceAroundTheAnswerIsBlank) {
  // Vertical tab, form feed and no-break space pass the completeness test
  // around a message, so the answer is delivered and decoded.
  testing::HostileHttpPeer peer(
      "\v\f\xC2\xA0"
      R"({"serviceType":"Purchase","endFlag":true,"response":{"totalAmount":"12.50"}})"
      "\xC2\xA0\r\n");
  pay(peer);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].code, 0);
  ASSERT_TRUE(outcomes_[0].result);
  EXPECT_EQ(outcomes_[0].result->totalAmount, "12.50");
}

// ---- the faults of the connection ----------------------------------------------------------
// A refused connection is EndToEndTest.RefusedPortFailsToPing: the probe
// finds no terminal and nothing is sent or logged.

const std::string kNote =
    R"({"exchangeIdentification":"${exchangeIdentification}","serviceType":"EventNotification",)"
    R"("response":{"event":"CRDI"}})"
    "\n";

TEST_F(HostileTerminalTest, ATerminalThatFailsMidExchangeEndsThePaymentOnce) {
  struct Case {
    const char* name;
    sim::Reply reply;
    std::size_t notifications;
    const char* message;
  };
  sim::Reply closed;
  closed.fault = sim::Fault::kCloseWithoutData;
  sim::Reply reset = sim::Reply::messages({kNote, R"({"serviceType":"Purchase","endFl)"});
  reset.fault = sim::Fault::kReset;
  // Bytes that are no JSON at all, some of them no UTF-8 either.
  sim::Reply garbage =
      sim::Reply::plain(200, "OK", "HTTP/1.1 200 OK\r\n\xff\xfe\x00<html>no</html>", std::nullopt);
  garbage.contentType = "application/json";
  sim::Reply notJson = sim::Reply::messages({kNote, "SUCC approved 12.50\n"});
  notJson.framing = sim::Framing::kContentLength;
  const Case cases[] = {
      {"closed before the head", closed, 0, transport::kURLErrorDomain},
      {"reset mid-stream", reset, 1, transport::kURLErrorDomain},
      {"bytes that are not JSON", garbage, 0, transport::kJSONErrorDomain},
      {"text after a notification", notJson, 1, transport::kJSONErrorDomain},
  };
  auto hooks = std::make_shared<RecordingDelegate>();
  manager_->setDelegate(hooks);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    outcomes_.clear();
    hooks->notifications.clear();
    terminal().add(c.reply, sim::ReplyMatch{std::nullopt, std::string("Purchase")});
    pay(terminal().address());
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].result, nullptr);
    EXPECT_EQ(outcomes_[0].code, -200);
    EXPECT_EQ(outcomes_[0].message, c.message);
    EXPECT_EQ(hooks->notifications.size(), c.notifications);
    expectLogged(0);
    expectRegistrationReleased();
    expectTheNextPaymentApproved();
  }
}

TEST_F(HostileTerminalTest, AResetBeforeTheHeadEndsThePaymentOnce) {
  testing::HostileHttpPeer peer("", testing::HostileHttpPeer::Behaviour::kResetBeforeHead);
  pay(peer);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].result, nullptr);
  EXPECT_EQ(outcomes_[0].code, -200);
  EXPECT_EQ(outcomes_[0].message, transport::kURLErrorDomain);
  expectLogged(0);
  expectRegistrationReleased();
  expectTheNextPaymentApproved();
}

TEST_F(HostileTerminalTest, ARequestRefusedAfterTheProbeEndsThePaymentOnce) {
  // The terminal answered the reach probe, then went away.
  testing::HostileHttpPeer peer("", testing::HostileHttpPeer::Behaviour::kRefuseAfterProbe);
  pay(peer);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].result, nullptr);
  EXPECT_EQ(outcomes_[0].code, -200);
  EXPECT_EQ(outcomes_[0].message, transport::kURLErrorDomain);
  expectLogged(0);
  expectRegistrationReleased();
  expectTheNextPaymentApproved();
}

TEST_F(HostileTerminalTest, AnAnswerOverTheCapEndsThePaymentOnce) {
  config_.maxMessageBytes = 4096;
  sim::Reply huge = sim::Reply::messages(
      {kNote, R"({"serviceType":"Purchase","endFlag":true,"response":{"receipt":")" +
                  std::string(64 * 1024, 'r') + "\"}}\n"});
  terminal().add(huge, sim::ReplyMatch{std::nullopt, std::string("Purchase")});
  pay(terminal().address());
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].result, nullptr);
  EXPECT_EQ(outcomes_[0].code, -200);
  EXPECT_EQ(outcomes_[0].message, transport::kURLErrorDomain);
  expectLogged(0);
  expectRegistrationReleased();
  expectTheNextPaymentApproved();
}

TEST_F(HostileTerminalTest, AStallPastTheIdleTimeEndsThePaymentOnce) {
  config_.idleTimeout = platform::seconds(5);
  // Not a byte before the idle time has passed, not even the status line:
  // every byte read restarts the idle time, and the transfer's thread may
  // read one only after the clock has moved.
  sim::Reply stall = sim::Reply::messages({kNote});
  stall.waitForRelease = true;
  stall.fault = sim::Fault::kHoldOpen;
  terminal().add(stall, sim::ReplyMatch{std::nullopt, std::string("Purchase")});
  start(terminal().address());
  ASSERT_TRUE(main().runUntil(
      [&] { return terminal().requests().size() == 1 && session_.taskCount() == 1; }));
  advanceSeconds(4.9);
  runPending();
  EXPECT_TRUE(outcomes_.empty());
  advanceSeconds(0.2);
  ASSERT_TRUE(main().runUntil([&] { return !outcomes_.empty() && session_.taskCount() == 0; }));
  // The notification the terminal held back comes too late for anyone.
  terminal().release();
  advanceSeconds(400);
  main().runUntil([] { return false; }, 50ms);
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_[0].result, nullptr);
  EXPECT_EQ(outcomes_[0].code, -200);
  EXPECT_EQ(outcomes_[0].message, transport::kURLErrorDomain);
  expectLogged(0);
  expectRegistrationReleased();
  expectTheNextPaymentApproved();
}

TEST_F(HostileTerminalTest, AnAnswerNamingAnotherExchangeReachesTheExchangeItCameFor) {
  // Each answer echoes its request's reference under another exchange's
  // identifier: the connection, not the text, says whose answer it is.
  terminal().add(
      [](const sim::RecordedRequest& request) {
        const bool first = request.body.find("POS-A") != std::string::npos;
        return sim::Reply::messages(
            {std::string(R"({"exchangeIdentification":")") + (first ? "OTHER-B" : "OTHER-A") +
             R"(","serviceType":"Purchase","endFlag":true,"response":{"response":"SUCC",)"
             R"("transactionReference":")" +
             (first ? "POS-A" : "POS-B") + "\"}}\n"});
      },
      sim::ReplyMatch{std::nullopt, std::string("Purchase")}, true);
  platform::ScopedLogCapture log;
  std::map<std::string, std::vector<Outcome>> byId;
  for (const char* reference : {"POS-A", "POS-B"}) {
    model::PaymentParam param;
    param.transactionReference = reference;
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    param.servicesParams = FacadeTest::at(terminal().address());
    manager_->payment(param, {},
                      [&byId, reference](std::shared_ptr<const model::PaymentResult> result,
                                         std::int64_t code, std::optional<std::string> message) {
                        byId[reference].push_back({std::move(result), code, std::move(message)});
                      });
  }
  ASSERT_TRUE(main().runUntil([&] {
    return byId["POS-A"].size() + byId["POS-B"].size() >= 2 && session_.taskCount() == 0;
  }));
  runPending();
  for (const char* reference : {"POS-A", "POS-B"}) {
    ASSERT_EQ(byId[reference].size(), 1u) << reference;
    EXPECT_EQ(byId[reference][0].code, 0);
    ASSERT_TRUE(byId[reference][0].result);
    EXPECT_EQ(byId[reference][0].result->transactionReference, reference);
  }
  EXPECT_EQ(log.count("response exchange id mismatch"), 2u);
}

}  // namespace
}  // namespace veltrix::facade::test
