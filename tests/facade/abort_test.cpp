// Abort: the three ways it finds the terminal of the exchange to abort, its
// own result block, and what happens to the aborted exchange's block.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "facade/facade_fixture.h"

namespace veltrix::facade::test {
namespace {

constexpr const char* kSn = "TV2024000AAA";
constexpr const char* kHost = "127.0.0.1:8080";
constexpr const char* kOther = "127.0.0.1:8081";

class AbortTest : public FacadeTest {
 protected:
  AbortTest() {
    presenter_ = std::make_shared<FakePresenter>();
    manager().initWithNavigationController(presenter_);
  }

  // A refund in flight at `address`; returns its exchange identifier.
  std::string refundAt(const std::string& address) {
    model::RefundParam param;
    param.servicesParams = at(address);
    const std::size_t made = network_.count();
    manager().refund(param, idBlock(), recorder<model::RefundResult>("target"));
    EXPECT_TRUE(waitForTransports(made + 1));
    return lastId_;
  }

  // Aborts `target`, optionally at `address`; the answers are recorded.
  void abort(std::optional<std::string> target, std::optional<std::string> address = {}) {
    model::AbortParam param;
    param.orgExchangeIdentification = std::move(target);
    if (address) param.servicesParams = at(*address);
    manager().abort(param, idBlock(), [this](std::int64_t code, std::optional<std::string> msg) {
      answers_.emplace_back(code, std::move(msg));
    });
  }

  using Answer = std::pair<std::int64_t, std::optional<std::string>>;
  std::vector<Answer> answers_;
  std::shared_ptr<FakePresenter> presenter_;
};

TEST_F(AbortTest, ExplicitAddressLeavesTheTargetRegistered) {
  const std::string target = refundAt(kHost);
  abort(target, kOther);
  EXPECT_EQ(answers_, (std::vector<Answer>{{0, std::nullopt}}));
  ASSERT_EQ(network_.count(), 2u);
  EXPECT_EQ(network_.last()->url, std::string("http://") + kOther);
  EXPECT_EQ(network_.last()->type, kCommunicateHttp);
  EXPECT_EQ(network_.last()->serviceType, "Abort");

  network_.made[0].lock()->respond(response(target, "Refund", true), true);
  ASSERT_TRUE(waitForDeliveries(1));
  EXPECT_EQ(deliveries()[0].tag, "target");
}

TEST_F(AbortTest, DefaultTerminalWhenNoAddressIsGiven) {
  ASSERT_TRUE(db().upsertSetting(Defult_Terminsl_ByIp, kOther));
  abort("0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(answers_, (std::vector<Answer>{{0, std::nullopt}}));
  ASSERT_EQ(network_.count(), 1u);
  EXPECT_EQ(network_.last()->url, std::string("http://") + kOther);
}

TEST_F(AbortTest, ExchangeLogGivesTheTargetsAddressAndEndsItsRegistration) {
  const std::string target = refundAt(kHost);
  abort(target);
  EXPECT_EQ(answers_, (std::vector<Answer>{{0, std::nullopt}}));
  ASSERT_EQ(network_.count(), 2u);
  std::shared_ptr<FakeTransport> aborting = network_.last();
  EXPECT_EQ(aborting->url, std::string("http://") + kHost);
  EXPECT_EQ(aborting->type, kCommunicateHttp);

  // Whatever the terminal still sends for the aborted exchange, and
  // whatever becomes of the abort, the host hears nothing more.
  network_.made[0].lock()->respond(response(target, "Refund", true), true);
  aborting->fail(-1001, "veltrix.url");
  drain();
  EXPECT_TRUE(deliveries().empty());
  EXPECT_EQ(answers_.size(), 1u);
}

TEST_F(AbortTest, TargetSentWithoutAnAddressIsFoundThroughItsTerminal) {
  ASSERT_TRUE(db().insertDiscoveredTerminal(kSn, "T2", kOther, "http", std::nullopt, 1, 1, 0, "1",
                                            "1", "UUID-A"));
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("target"));
  const std::string target = lastId_;
  ASSERT_EQ(presenter_->delegates.size(), 1u);
  presenter_->delegates[0]->onScanTerminalSucc(
      {{"sn", kSn}, {"parameter", "http"}, {"serviceId", "S1"}});
  ASSERT_EQ(network_.count(), 1u);

  abort(target);
  ASSERT_EQ(network_.count(), 2u);
  EXPECT_EQ(network_.last()->url, std::string("http://") + kOther);
  EXPECT_EQ(network_.last()->address, kSn);
  EXPECT_EQ(rows("SELECT serviceType, initiatingPartyId, channelSource, serviceId FROM "
                 "casp_exchange WHERE exchangeId = '" +
                 lastId_ + "'"),
            (std::vector<std::string>{std::string("Abort|") + kSn + "|" + kOther + "|S1"}));
}

TEST_F(AbortTest, UnknownTargetIsRefusedAtOnce) {
  // A request still on the scan screen: its exchange is not logged yet.
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("pending"));
  const std::string pending = lastId_;
  // Rows exist, but none for these identifiers (the look-up is bound, so
  // quotes cannot widen it).
  refundAt(kHost);
  for (const std::optional<std::string>& target :
       {std::optional<std::string>(pending), std::optional<std::string>("' OR '1'='1"),
        std::optional<std::string>()}) {
    answers_.clear();
    abort(target);
    EXPECT_EQ(answers_, (std::vector<Answer>{{-403, "check resule failed"}}));
  }
  EXPECT_EQ(network_.count(), 1u);

  // The pending request is still registered, and no abort block hears again.
  presenter_->delegates[0]->onError(-101, "Service not found");
  ASSERT_TRUE(waitForDeliveries(1));
  drain();
  EXPECT_EQ(deliveries()[0].tag, "pending");
  EXPECT_EQ(answers_.size(), 1u);
}

TEST_F(AbortTest, GoesByTheLocalNetworkWhateverTheRequestBeforeFound) {
  // The request before found no terminal: its screen opens offline.
  pinger_->setFallback(FakePinger::Answer::kNo);
  bleProbe_->poweredOn = false;
  ASSERT_TRUE(db().upsertSetting(destination_sn, kSn));
  ASSERT_TRUE(db().insertDiscoveredTerminal(kSn, "T2", kHost, "http", std::nullopt, 1, 1, 0, "1",
                                            "1", std::nullopt));
  ASSERT_TRUE(db().insertTerminalServices(kSn, "Refund", "Refund", "p", "S1", "Pay", 1, "1", "1",
                                          "payment"));
  manager().refund(model::RefundParam{}, idBlock(), recorder<model::RefundResult>("r"));
  ASSERT_TRUE(main().runUntil([&] { return !presenter_->requests.empty(); }));
  ASSERT_TRUE(presenter_->requests[0].isOffline);

  abort("0123456789ABCDEF0123456789ABCDEF", kOther);
  ASSERT_EQ(network_.count(), 1u);
  EXPECT_EQ(network_.last()->type, kCommunicateHttp);
  EXPECT_TRUE(ble_.connects.empty());
}

}  // namespace
}  // namespace veltrix::facade::test
