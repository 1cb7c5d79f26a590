// Pairing: the code, the request text and when auth() reports a send.
#include "veltrix/registry/auth_manager.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "registry/discovery_fakes.h"
#include "support/fake_network.h"
#include "support/test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"

namespace veltrix::registry {
namespace {

using platform::Json;
using ::testing::ElementsAre;

class AuthManagerTest : public testing::LoopTest {
 protected:
  AuthManagerTest() {
    discover = std::make_unique<DiscoverManager>(DiscoverManager::Collaborators{
        db, client, server, sender, receiver, ble, settings, logFile});
    auth = std::make_unique<AuthManager>(*discover, [this]() -> std::optional<std::uint32_t> {
      if (draws.empty()) return std::nullopt;
      const auto value = draws.front();
      draws.pop_front();
      return value;
    });
  }

  testing::ScopedNetworkEnvironment network{
      std::vector{testing::interfaceEntry("en0", "192.168.1.37")}};
  platform::ScopedLogCapture log;
  fakes::Events events;
  fakes::Sender sender{events};
  fakes::Receiver receiver{events};
  fakes::Client client{events};
  fakes::Server server{events};
  fakes::Ble ble;
  fakes::Settings settings;
  fakes::LogFileLines logFile;
  DatabaseManager db{docs() / "db.sqlite"};
  std::unique_ptr<DiscoverManager> discover;
  std::deque<std::optional<std::uint32_t>> draws;
  std::unique_ptr<AuthManager> auth;
};

TEST_F(AuthManagerTest, CodesAreEightDigitsAndEvenlySpread) {
  draws = {5u, 123456789u};
  EXPECT_EQ(auth->createRandom(), "00000005");
  EXPECT_EQ(auth->createRandom(), "23456789");
  EXPECT_EQ(auth->random1(), "23456789");
  // Draws at or above 4200000000 would favour the low codes: drawn again.
  draws = {4200000000u, 4294967295u, 4199999999u};
  EXPECT_EQ(auth->createRandom(), "99999999");
  // A failing source still gives a code.
  draws = {std::nullopt};
  const std::string fallback = auth->createRandom();
  EXPECT_EQ(fallback.size(), 8u);
  EXPECT_EQ(fallback.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(AuthManagerTest, RequestTextHoldsOnlyTheFirstHalfOfTheCode) {
  AuthBean bean = AuthBean::initAuthRequestBean("01234567");
  EXPECT_EQ(bean.random, "01234567");
  bean.model = "Two Words";
  bean.sn = "SN";
  EXPECT_EQ(bean.requestToJSONString(),
            R"({"authType":"DCA","initiation":"auto","model":"TwoWords","msgType":"request_auth",)"
            R"("random":"0123","sn":"SN"})");
  EXPECT_TRUE(log.contains("authBean newString：{"));

  AuthBean approve = AuthBean::initAuthApproveBean("PUB", "R", "S");
  approve.sn = "SN";
  approve.model = "M";
  EXPECT_EQ(approve.approveToJSONString(),
            R"({"authType":"DCA","eccPub":"PUB","model":"M","msgType":"approve_auth",)"
            R"("random":"R","sign":"S","sn":"SN"})");

  const AuthBean reply =
      AuthBean::initAuthResponseBean(R"({"code":"00","msgType":"request_auth","dataKcv":"K"})");
  EXPECT_EQ(reply.code, "00");
  EXPECT_EQ(reply.dataKcv, std::nullopt);
  EXPECT_EQ(AuthBean::initAuthApproveResponseBean(R"({"dataKcv":"K"})").dataKcv, "K");
  EXPECT_EQ(AuthBean::initAuthResponseBean("nope").code, std::nullopt);
}

TEST_F(AuthManagerTest, AuthSaysYesOnlyWhenTheRequestIsOnItsWay) {
  const Json terminal{{"sn", "T1"}, {"address", "10.0.0.5:9999"}};
  EXPECT_FALSE(auth->auth(terminal));  // no code yet
  EXPECT_TRUE(logFile.lines.empty());
  draws = {12345678u};
  auth->createRandom();
  EXPECT_FALSE(auth->auth(Json{{"sn", "T1"}}));
  EXPECT_FALSE(auth->auth(Json{{"address", ""}}));
  EXPECT_FALSE(auth->auth(terminal));  // no scan running
  ASSERT_EQ(logFile.lines.size(), 1u);

  // The pairing delegate is dropped by the stop that starts every scan.
  EXPECT_FALSE(discover->authDelegate().expired());
  discover->startScan();
  EXPECT_TRUE(discover->authDelegate().expired());
  events.clear();
  EXPECT_FALSE(auth->auth(Json{{"address", "192.168.1.37"}}));
  EXPECT_TRUE(auth->auth(terminal));
  EXPECT_TRUE(log.contains("auth ip = 10.0.0.5"));
  EXPECT_THAT(events, ElementsAre("tcp.connect 10.0.0.5:8422"));
  discover->didConnectToHost("10.0.0.5", 1);
  const auto sent = platform::parseJson(client.sent[1]);
  ASSERT_TRUE(sent);
  EXPECT_EQ((*sent)["random"], "1234");
  EXPECT_EQ((*sent)["msgType"], "request_auth");
}

}  // namespace
}  // namespace veltrix::registry
