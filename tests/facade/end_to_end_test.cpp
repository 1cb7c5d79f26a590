// Requests end to end over loopback: the facade with its real probe, the
// HTTP transport and the simulated terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "facade/facade_fixture.h"
#include "sim/default_scenario.h"
#include "sim/http_simulator.h"
#include "support/sim_terminal.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::facade::test {
namespace {

using namespace std::chrono_literals;

class EndToEndTest : public testing::LoopTest {
 protected:
  EndToEndTest() {
    sim_ = testing::startSimulatedTerminal(5ms);
    makeManager(nullptr);
  }

  // A facade whose probes wait on `probeQueue` (null: the global queue).
  void makeManager(std::shared_ptr<platform::TaskQueue> probeQueue) {
    // The production transport, on a session and a log file of this test.
    CommunicateFactory factory = testing::httpFactory(session_, logFile_);
    RetailerManager::Collaborators collaborators{
        db_,     registry_, settings_, logFile_, transport::RadioOffBleTransport::shared(),
        factory, nullptr,   nullptr};
    collaborators.probeQueue = std::move(probeQueue);
    manager_ = std::make_shared<RetailerManager>(std::move(collaborators));
    manager_->setDelegate(delegate_);
  }

  ~EndToEndTest() override {
    main().runUntil([&] { return session_.taskCount() == 0; });
    manager_.reset();
    sim_->stop();
  }

  model::PaymentParam payment(std::optional<std::string> address) {
    model::PaymentParam param;
    param.transactionReference = "POS-0001";
    param.totalAmount = "12.50";
    param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    if (address) param.servicesParams = FacadeTest::at(*address);
    return param;
  }

  ResultBlock<model::PaymentResult> recorder() {
    return [this](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
                  std::optional<std::string> message) {
      results_.push_back({std::move(result), code, std::move(message)});
    };
  }
  ExchangeIdBlock idBlock() {
    return [this](const std::string& id) { exchangeId_ = id; };
  }

  struct Outcome {
    std::shared_ptr<const model::PaymentResult> result;
    std::int64_t code;
    std::optional<std::string> message;
  };

  std::unique_ptr<sim::HttpSimulator> sim_;
  transport::WSStreamingHTTPSessionManager session_;
  registry::DatabaseManager db_{docs() / "e2e.sqlite"};
  registry::FileLogger logFile_{docs() / "e2e-log.txt"};
  ResultBackManager registry_;
  RetailerSettingManager settings_{db_};
  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<RetailerManager> manager_;
  std::string exchangeId_;
  std::vector<Outcome> results_;
};

TEST_F(EndToEndTest, PaymentToAnExplicitAddress) {
  manager_->payment(payment(sim_->address()), idBlock(), recorder());
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));

  ASSERT_EQ(delegate_->notifications.size(), 2u);
  EXPECT_EQ(delegate_->notifications[0]->event, model::EventToNotifyCode::CRDI);
  EXPECT_EQ(delegate_->notifications[1]->event, model::EventToNotifyCode::ONPR);
  ASSERT_EQ(results_.size(), 1u);
  EXPECT_EQ(results_[0].code, 0);
  ASSERT_TRUE(results_[0].result);
  EXPECT_EQ(results_[0].result->exchangeIdentification, exchangeId_);
  EXPECT_EQ(results_[0].result->transactionReference, "POS-0001");
  EXPECT_EQ(results_[0].result->totalAmount, "12.50");

  const std::vector<sim::RecordedRequest> requests = sim_->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].jsonText("serviceType"), "Purchase");
  EXPECT_EQ(requests[0].jsonText("exchangeIdentification"), exchangeId_);
}

TEST_F(EndToEndTest, PaymentToTheDefaultTerminal) {
  ASSERT_TRUE(db_.upsertSetting(Defult_Terminsl_ByIp, sim_->address()));
  manager_->payment(payment(std::nullopt), idBlock(), recorder());
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));
  EXPECT_EQ(results_[0].code, 0);
  EXPECT_EQ(sim_->requestCount(), 1u);
}

TEST_F(EndToEndTest, RefusedPortFailsToPing) {
  auto closed = sim::HttpSimulator::start("127.0.0.1", 0);
  const std::string address = closed->address();
  closed->stop();
  manager_->payment(payment(address), idBlock(), recorder());
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));
  EXPECT_EQ(results_[0].result, nullptr);
  EXPECT_EQ(results_[0].code, -200);
  EXPECT_EQ(results_[0].message, "fail to ping terminal");
}

// The host's main loop busy (a slow screen) for longer than the probe
// waits, just as the terminal answers the probe: the payment still goes.
TEST_F(EndToEndTest, MainLoopBusyDuringTheProbeStillPays) {
  platform::ScopedLogCapture log;
  auto until = [&log](std::initializer_list<const char*> lines) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    auto seen = [&] {
      return std::any_of(lines.begin(), lines.end(),
                         [&](const char* l) { return log.contains(l); });
    };
    while (!seen() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  };
  manager_->payment(payment(sim_->address()), idBlock(), recorder());
  main().post([&] {
    until({"等待 ping 结果"});
    // Two seconds pass while this task holds the loop, which it lets go
    // only once the probe has made up its mind.
    std::thread([this] { advance(platform::seconds(2)); }).join();
    until({"ping 完成", "Ping 超时"});
  });
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));
  EXPECT_EQ(results_[0].code, 0) << results_[0].message.value_or("");
  EXPECT_EQ(sim_->requestCount(), 1u);
}

TEST_F(EndToEndTest, AbortDuringAHeldPayment) {
  // The payment's terminal notifies once, then holds its response.
  sim_->add(
      [](const sim::RecordedRequest& request) {
        const std::string ex = request.jsonText("exchangeIdentification").value_or("");
        sim::Reply reply;
        reply.pieces.push_back(
            {R"({"exchangeIdentification":")" + ex +
                 R"(","serviceType":"EventNotification","response":{"event":"CRDI"}})" + "\n",
             0ms, false});
        reply.pieces.push_back({R"({"exchangeIdentification":")" + ex +
                                    R"(","serviceType":"Purchase","endFlag":true,)"
                                    R"("response":{"response":"SUCC"}})" +
                                    "\n",
                                0ms, true});
        return reply;
      },
      {std::nullopt, std::string("Purchase")});
  manager_->payment(payment(sim_->address()), idBlock(), recorder());
  const std::string paymentId = exchangeId_;
  ASSERT_TRUE(main().runUntil([&] { return delegate_->notifications.size() == 1; }));

  std::vector<std::pair<std::int64_t, std::optional<std::string>>> answers;
  model::AbortParam abort;
  abort.orgExchangeIdentification = paymentId;
  manager_->abort(abort, {}, [&](std::int64_t code, std::optional<std::string> msg) {
    answers.emplace_back(code, std::move(msg));
  });
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].first, 0);
  ASSERT_TRUE(sim_->waitForRequests(2, 5000ms));
  const sim::RecordedRequest aborting = sim_->requests()[1];
  EXPECT_EQ(aborting.jsonText("serviceType"), "Abort");
  EXPECT_NE(aborting.body.find(paymentId), std::string::npos);

  // The terminal's final answer to the payment reaches no one.
  sim_->release();
  ASSERT_TRUE(main().runUntil([&] { return session_.taskCount() == 0; }));
  runPending();
  EXPECT_TRUE(results_.empty());
  EXPECT_EQ(answers.size(), 1u);
}

TEST_F(EndToEndTest, NotificationWithoutABodyReachesTheHostAsAnAbsentRecord) {
  sim_->add(
      [](const sim::RecordedRequest& request) {
        const std::string ex = request.jsonText("exchangeIdentification").value_or("");
        sim::Reply reply;
        reply.pieces.push_back(
            {R"({"exchangeIdentification":")" + ex + R"(","serviceType":"EventNotification"})", 0ms,
             false});
        reply.pieces.push_back({R"({"exchangeIdentification":")" + ex +
                                    R"(","serviceType":"Purchase","endFlag":true,)"
                                    R"("response":{"response":"SUCC"}})",
                                0ms, false});
        return reply;
      },
      {std::nullopt, std::string("Purchase")});
  manager_->payment(payment(sim_->address()), idBlock(), recorder());
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));
  ASSERT_EQ(delegate_->notifications.size(), 1u);
  EXPECT_EQ(delegate_->notifications[0], nullptr);
  EXPECT_EQ(results_[0].code, 0);
}

// A host whose every hook throws.
class ThrowingDelegate final : public RetailerManagerDelegate {
 public:
  void onStartOptions() override { fail("onStartOptions"); }
  void onStartPrint() override { fail("onStartPrint"); }
  void onStartDisplay(const std::string& /*exchangeId*/,
                      const std::optional<std::string>& /*sn*/) override {
    calls.push_back("onStartDisplay");
    throw 42;  // not even an exception class
  }
  void onNotification(std::shared_ptr<const model::EventNotificationParam> /*param*/) override {
    fail("onNotification");
  }
  std::vector<std::string> calls;

 private:
  void fail(const std::string& hook) {
    calls.push_back(hook);
    throw std::runtime_error(hook + " failed");
  }
};

TEST_F(EndToEndTest, HooksThatThrowLeaveTheirRequestsToFinish) {
  auto host = std::make_shared<ThrowingDelegate>();
  manager_->setDelegate(host);

  // A payment: its options hook and both notifications throw; it is sent
  // and approved all the same.
  manager_->payment(payment(sim_->address()), idBlock(), recorder());
  ASSERT_TRUE(main().runUntil([&] { return !results_.empty(); }));
  EXPECT_EQ(results_[0].code, 0) << results_[0].message.value_or("");
  ASSERT_TRUE(results_[0].result);
  EXPECT_EQ(results_[0].result->exchangeIdentification, exchangeId_);
  EXPECT_EQ(host->calls,
            (std::vector<std::string>{"onStartOptions", "onNotification", "onNotification"}));

  // A print: its hook throws before the message is built.
  std::vector<std::int64_t> codes;
  auto record = [&codes](auto result, std::int64_t code, std::optional<std::string>) {
    if (result || code != 0) codes.push_back(code);
  };
  model::PrintParam print;
  print.servicesParams = FacadeTest::at(sim_->address());
  manager_->print(print, {}, record);
  ASSERT_TRUE(main().runUntil([&] { return codes.size() == 1; }));
  EXPECT_EQ(codes[0], 0);

  // A display on a preset service runs its hook inside display() itself,
  // which must still return normally.
  manager_->initWithServiceBean({{"address", sim_->address()}, {"parameter", "http"}});
  EXPECT_NO_THROW(manager_->display(model::DisplayParam{}, {}, record));
  ASSERT_TRUE(main().runUntil([&] { return codes.size() == 2; }));
  EXPECT_EQ(codes[1], 0);

  EXPECT_EQ(sim_->requestCount(), 3u);
  EXPECT_EQ(std::count(host->calls.begin(), host->calls.end(), "onStartPrint"), 1);
  EXPECT_EQ(std::count(host->calls.begin(), host->calls.end(), "onStartDisplay"), 1);
  // Nothing of the three stays in flight.
  EXPECT_TRUE(main().runUntil([&] { return session_.taskCount() == 0; }));
}

TEST_F(EndToEndTest, ManyRequestsAtOnceOnASmallPoolAreAllApproved) {
  // Two workers for a dozen probes, each of which waits on the pool for the
  // connect it queued on that same pool.
  auto pool = std::make_shared<platform::GlobalQueue>(2);
  makeManager(pool);
  constexpr std::size_t kRequests = 12;
  for (std::size_t i = 0; i < kRequests; ++i) {
    manager_->payment(payment(sim_->address()), {}, recorder());
  }
  ASSERT_TRUE(main().runUntil([&] { return results_.size() == kRequests; }, 20000ms))
      << results_.size() << " of " << kRequests << " answered";
  for (const Outcome& outcome : results_) {
    EXPECT_EQ(outcome.code, 0) << outcome.message.value_or("");
    EXPECT_TRUE(outcome.result);
  }
  EXPECT_EQ(sim_->requestCount(), kRequests);
}

TEST(TransportHooksTest, LocalNetworkTransportIsTheHttpTransport) {
  CommunicateServicePtr made = CommunicateFactory().createService(kCommunicateHttp, "http://x:1");
  auto* http = dynamic_cast<transport::HttpsService*>(made.get());
  ASSERT_NE(http, nullptr);
  EXPECT_EQ(http->baseUrl(), "http://x:1");
}

}  // namespace
}  // namespace veltrix::facade::test
