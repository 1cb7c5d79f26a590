// A payment answered by a hostile terminal over loopback: text that would
// exhaust the stack or the main loop, and a body that ends without a final
// answer. Each request must end exactly once and let go of what it held.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "facade/facade_fixture.h"
#include "support/hostile_http_peer.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::facade::test {
namespace {

using namespace std::chrono_literals;

class HostileTerminalTest : public testing::LoopTest {
 protected:
  HostileTerminalTest() {
    transport::HttpsServiceConfig config;
    config.sessionManager = &session_;
    config.logFile = &logFile_;
    CommunicateFactory factory(
        [config](const std::string& url) { return transport::HttpsService::create(url, config); },
        {});
    manager_ = std::make_shared<RetailerManager>(RetailerManager::Collaborators{
        db_, registry_, settings_, logFile_, transport::RadioOffBleTransport::shared(),
        std::move(factory)});
  }

  ~HostileTerminalTest() override {
    main().runUntil([&] { return session_.taskCount() == 0; });
    manager_.reset();
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
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    param.servicesParams = FacadeTest::at(peer.address());
    manager_->payment(
        param, [this](const std::string& id) { exchangeId_ = id; },
        [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
               std::optional<std::string> message) {
          outcomes_.push_back({std::move(result), code, std::move(message)});
        });
    ASSERT_TRUE(main().runUntil(
        [&] { return outcomes_.size() >= outcomes && session_.taskCount() == 0; }, limit))
        << "results " << outcomes_.size() << ", transfers " << session_.taskCount();
    runPending();
  }

  // Nothing more reaches the host, even if the registry were asked again.
  void expectRegistrationReleased() {
    const std::size_t before = outcomes_.size();
    registry_.executeCallbackForId(exchangeId_, nullptr, -1, std::string("late"));
    main().runUntil([] { return false; }, 50ms);
    EXPECT_EQ(outcomes_.size(), before);
  }

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
  constexpr std::size_t kLevels = 100000;
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
  // the members before it and the message was parsed three times.
  std::string body = R"({"exchangeIdentification":"X","serviceType":"Purchase","endFlag":true,)"
                     R"("response":{"response":"SUCC","totalAmount":"12.50")";
  for (int i = 0; i < 300000; ++i) body += ",\"m" + std::to_string(i) + "\":" + std::to_string(i);
  body += "}}";
  testing::HostileHttpPeer peer(body);
  const auto start = std::chrono::steady_clock::now();
  pay(peer, 1, 120000ms);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, 60s) << "generous for a loaded machine under a sanitizer";
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

}  // namespace
}  // namespace veltrix::facade::test
