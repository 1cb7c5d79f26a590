#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "sim/http_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/notification_center.h"
#include "veltrix/platform/url_error.h"
#include "veltrix/transport/http_server_checker.h"
#include "veltrix/transport/port_checker.h"
#include "veltrix/transport/reachability.h"

namespace veltrix::transport {
namespace {

using namespace std::chrono_literals;
using sim::Reply;
using Status = HTTPServerStatus;

struct Probe {
  int calls = 0;
  Status status = Status::kUnknown;
  std::int64_t code = -1;
  std::optional<HttpError> error;
  double ms = -1;

  HTTPCheckCompletion completion() {
    return [this](Status s, std::int64_t c, std::optional<HttpError> e, double t) {
      ++calls;
      status = s;
      code = c;
      error = std::move(e);
      ms = t;
    };
  }
};

class HTTPServerCheckerTest : public testing::LoopTest {
 protected:
  void SetUp() override {
    sim_ = sim::HttpSimulator::start("127.0.0.1", 0);
    ASSERT_TRUE(sim_);
  }

  bool answered(const Probe& probe) {
    return main().runUntil([&] { return probe.calls > 0; }, 5000ms);
  }

  // A port on which nothing listens.
  std::string closedAddress() {
    auto gone = sim::HttpSimulator::start("127.0.0.1", 0);
    const std::string address = gone->address();
    gone.reset();
    return address;
  }

  std::unique_ptr<sim::HttpSimulator> sim_;
  HTTPServerChecker checker_;
};

TEST_F(HTTPServerCheckerTest, AQuickSuccessIsOnlineAndTheProbeIsAHeadWithItsOwnHeaders) {
  platform::ScopedLogCapture log;
  Probe probe;
  checker_.checkHTTPServer(sim_->address(), 8.0, probe.completion());  // no scheme given
  ASSERT_TRUE(answered(probe));
  EXPECT_EQ(probe.status, Status::kOnline);
  EXPECT_EQ(probe.code, 200);
  EXPECT_FALSE(probe.error);
  EXPECT_EQ(probe.ms, 0.0);  // the manual clock stood still

  const auto requests = sim_->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "HEAD");
  EXPECT_EQ(requests[0].header("User-Agent"), "HTTPServerChecker/1.0");
  EXPECT_EQ(requests[0].header("Accept"), "text/plain,text/html,application/json");
  EXPECT_TRUE(log.contains("🔍 开始检查HTTP服务器: " + sim_->address() + " (方法: HEAD)"));
  EXPECT_TRUE(
      log.contains("✅ HTTP服务器检查成功: " + sim_->address() + " - 状态码: 200 - 响应时间: 0ms"));

  Probe get;
  checker_.checkHTTPServer(sim_->url(), "GET", get.completion());
  ASSERT_TRUE(answered(get));
  EXPECT_EQ(get.status, Status::kOnline);
  EXPECT_EQ(sim_->requests().back().method, "GET");
}

TEST_F(HTTPServerCheckerTest, AnAnswerAfterMoreThanFiveSecondsIsSlow) {
  Reply late = Reply::plain(200, "OK", "", "text/plain");
  late.waitForRelease = true;
  sim_->add(late);
  Probe probe;
  checker_.checkHTTPServer(sim_->url(), 8.0, probe.completion());
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 1; }));
  advanceSeconds(6.0);
  sim_->release();
  ASSERT_TRUE(answered(probe));
  EXPECT_EQ(probe.status, Status::kSlow);
  EXPECT_EQ(probe.code, 200);
  EXPECT_DOUBLE_EQ(probe.ms, 6000.0);
}

TEST_F(HTTPServerCheckerTest, RefusalsErrorAnswersAndTimeOutsTakeTheFailureRoad) {
  for (int status : {401, 403, 404, 500}) {
    sim_->add(Reply::plain(status, "No", "", "text/plain"));
    Probe probe;
    checker_.checkHTTPServer(sim_->url(), 8.0, probe.completion());
    ASSERT_TRUE(answered(probe)) << status;
    EXPECT_EQ(probe.status, Status::kOffline) << status;
    EXPECT_EQ(probe.code, status);
    ASSERT_TRUE(probe.error);
    EXPECT_EQ(probe.error->code, platform::url_error::kBadServerResponse);
  }

  Probe refused;
  checker_.checkHTTPServer(closedAddress(), 8.0, refused.completion());
  ASSERT_TRUE(answered(refused));
  EXPECT_EQ(refused.status, Status::kOffline);
  EXPECT_EQ(refused.code, 0);
  EXPECT_EQ(refused.error, HttpError::url(platform::url_error::kCannotConnectToHost));

  Reply silent = Reply::plain(200, "OK", "", "text/plain");
  silent.waitForRelease = true;
  sim_->add(silent);
  Probe timedOut;
  checker_.checkHTTPServer(sim_->url(), 1.5, timedOut.completion());
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 5; }));
  advanceSeconds(1.5);
  ASSERT_TRUE(answered(timedOut));
  EXPECT_EQ(timedOut.status, Status::kSlow);
  EXPECT_EQ(timedOut.error, HttpError::url(platform::url_error::kTimedOut));
}

TEST_F(HTTPServerCheckerTest, ArgumentErrorsAnswerAtOnceOnTheCallersThread) {
  struct Case {
    std::optional<std::string> url;
    std::string method;
    std::int64_t code;
    const char* text;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "HEAD", -1000, "URL不能为空"},
      {"", "GET", -1000, "URL不能为空"},
      {"http://bad host/x", "HEAD", -1001, "URL格式无效"},
      {sim_->url(), "POST", -1002, "不支持的请求方法"},
  };
  for (const Case& c : cases) {
    Probe probe;
    checker_.checkHTTPServer(c.url, c.method, 1.0, probe.completion());
    EXPECT_EQ(probe.calls, 1) << c.text;
    EXPECT_EQ(probe.status, Status::kUnknown);
    EXPECT_EQ(probe.code, 0);
    EXPECT_EQ(probe.error, (HttpError{"HTTPServerChecker", c.code, c.text}));
    EXPECT_EQ(probe.ms, 0.0);
  }
  runPending();
  EXPECT_EQ(sim_->requestCount(), 0u);
}

TEST_F(HTTPServerCheckerTest, SeveralServersPortsAndApiPaths) {
  std::optional<std::map<std::string, std::int64_t>> servers;
  const std::string down = "http://" + closedAddress();
  checker_.checkMultipleServers({sim_->url(), down}, [&](auto result) { servers = result; });
  ASSERT_TRUE(main().runUntil([&] { return servers.has_value(); }));
  EXPECT_EQ(*servers, (std::map<std::string, std::int64_t>{{sim_->url(), 1}, {down, 0}}));

  std::optional<std::map<std::string, std::int64_t>> none;
  checker_.checkMultipleServers({}, [&](auto result) { none = result; });
  EXPECT_EQ(none, (std::map<std::string, std::int64_t>{}));

  std::optional<bool> port;
  checker_.checkPort(sim_->host(), sim_->port(), [&](bool open) { port = open; });
  ASSERT_TRUE(main().runUntil([&] { return port.has_value(); }));
  EXPECT_TRUE(*port);

  Probe api;
  checker_.checkAPI(sim_->url(), "api/status", {{"b", "x y&z"}, {"a", "1"}}, api.completion());
  ASSERT_TRUE(answered(api));
  EXPECT_EQ(api.status, Status::kOnline);
  EXPECT_EQ(sim_->requests().back().method, "GET");
  EXPECT_EQ(sim_->requests().back().target, "/api/status?a=1&b=x%20y%26z");
}

TEST(HTTPServerStatusTest, VerdictsAndTheirTexts) {
  EXPECT_EQ(HTTPServerChecker::analyzeServerStatus(200, 5000.0), Status::kOnline);
  EXPECT_EQ(HTTPServerChecker::analyzeServerStatus(204, 5000.1), Status::kSlow);
  EXPECT_EQ(HTTPServerChecker::analyzeServerStatus(401, 1), Status::kAuthRequired);
  EXPECT_EQ(HTTPServerChecker::analyzeServerStatus(404, 1), Status::kOffline);
  EXPECT_EQ(HTTPServerChecker::analyzeServerStatus(99, 1), Status::kUnknown);

  using platform::url_error::kTimedOut;
  EXPECT_EQ(HTTPServerChecker::analyzeError(std::nullopt), Status::kOnline);
  EXPECT_EQ(HTTPServerChecker::analyzeError(HttpError::url(-1013)), Status::kAuthRequired);
  EXPECT_EQ(HTTPServerChecker::analyzeError(HttpError::url(-1012)), Status::kAuthRequired);
  EXPECT_EQ(HTTPServerChecker::analyzeError(HttpError::url(kTimedOut)), Status::kSlow);
  EXPECT_EQ(HTTPServerChecker::analyzeError(HttpError::url(-1004)), Status::kOffline);
  EXPECT_EQ(HTTPServerChecker::analyzeError(HttpError{"other", kTimedOut, ""}), Status::kOffline);

  EXPECT_EQ(HTTPServerChecker::statusDescription(Status::kOnline), "在线");
  EXPECT_EQ(HTTPServerChecker::statusDescription(Status::kOffline), "离线");
  EXPECT_EQ(HTTPServerChecker::statusDescription(Status::kSlow), "响应缓慢");
  EXPECT_EQ(HTTPServerChecker::statusDescription(Status::kAuthRequired), "需要认证");
  EXPECT_EQ(HTTPServerChecker::statusDescription(Status::kUnknown), "未知");
  EXPECT_EQ(HTTPServerChecker::statusDescription(static_cast<Status>(9)), "未知");
}

class PortCheckerTest : public testing::LoopTest {};

TEST_F(PortCheckerTest, OpenClosedAndImpossiblePorts) {
  auto sim = sim::HttpSimulator::start("127.0.0.1", 0);
  ASSERT_TRUE(sim);
  EXPECT_TRUE(PortChecker::isPortReachable("127.0.0.1", sim->port(), 1.0));
  EXPECT_TRUE(PortChecker::isPortReachable("localhost", sim->port(), 1.0));
  const std::uint16_t port = sim->port();
  sim.reset();
  EXPECT_FALSE(PortChecker::isPortReachable("127.0.0.1", port, 1.0));
  for (std::int64_t impossible : {0, 65536, -1}) {
    EXPECT_FALSE(PortChecker::isPortReachable("127.0.0.1", impossible, 1.0));
  }
  EXPECT_FALSE(PortChecker::isPortReachable(std::nullopt, 80, 1.0));
  EXPECT_FALSE(PortChecker::isPortReachable("", 80, 1.0));
}

TEST_F(PortCheckerTest, CompletionFormsAnswerOnTheMainQueue) {
  auto sim = sim::HttpSimulator::start("127.0.0.1", 0);
  ASSERT_TRUE(sim);
  std::optional<bool> one;
  bool onMain = false;
  PortChecker::checkPortReachable("127.0.0.1", sim->port(), 1.0, [&](bool open) {
    one = open;
    onMain = main().isCurrent();
  });
  ASSERT_TRUE(main().runUntil([&] { return one.has_value(); }));
  EXPECT_TRUE(*one);
  EXPECT_TRUE(onMain);

  std::optional<std::map<std::int64_t, bool>> many;
  PortChecker::checkMultiplePorts("127.0.0.1", {sim->port(), 0}, 1.0,
                                  [&](auto result) { many = result; });
  ASSERT_TRUE(main().runUntil([&] { return many.has_value(); }));
  EXPECT_EQ(*many, (std::map<std::int64_t, bool>{{sim->port(), true}, {0, false}}));

  std::optional<std::map<std::int64_t, bool>> none;
  PortChecker::checkMultiplePorts("127.0.0.1", {}, 1.0, [&](auto result) { none = result; });
  EXPECT_EQ(none, (std::map<std::int64_t, bool>{}));
}

// Flags set by the test; changes reported when the test says so.
class FakeSource : public platform::ReachabilitySource {
 public:
  struct Shared {
    std::optional<std::uint32_t> flags;
    std::function<void()> onChange;
    bool monitoring = false;
  };
  explicit FakeSource(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  std::optional<std::uint32_t> flags(const std::string&) override { return shared_->flags; }
  bool startMonitoring(std::function<void()> onChange) override {
    shared_->onChange = std::move(onChange);
    shared_->monitoring = true;
    return true;
  }
  void stopMonitoring() override {
    shared_->onChange = nullptr;
    shared_->monitoring = false;
  }

 private:
  std::shared_ptr<Shared> shared_;
};

class ReachabilityTest : public testing::LoopTest {};

TEST_F(ReachabilityTest, StatusFollowsTheFlags) {
  namespace f = platform::reachability_flag;
  using NS = Reachability::NetworkStatus;
  auto shared = std::make_shared<FakeSource::Shared>();
  auto reachability = std::make_shared<Reachability>("host", std::make_unique<FakeSource>(shared));
  EXPECT_EQ(reachability->currentReachabilityStatus(), NS::kNotReachable);  // unreadable
  EXPECT_FALSE(reachability->connectionRequired());
  shared->flags = f::kReachable | f::kConnectionRequired;
  EXPECT_TRUE(reachability->connectionRequired());

  EXPECT_EQ(reachability->networkStatusForFlags(0), NS::kNotReachable);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kReachable), NS::kReachableViaWiFi);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kReachable | f::kConnectionRequired),
            NS::kNotReachable);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kReachable | f::kConnectionRequired |
                                                f::kConnectionOnTraffic),
            NS::kReachableViaWiFi);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kReachable | f::kConnectionRequired |
                                                f::kConnectionOnDemand | f::kInterventionRequired),
            NS::kNotReachable);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kReachable | f::kIsWWAN), NS::kReachableViaWWAN);
  EXPECT_EQ(reachability->networkStatusForFlags(f::kIsWWAN), NS::kNotReachable);

  platform::ScopedLogCapture log;
  reachability->networkStatusForFlags(f::kIsWWAN | f::kReachable | f::kIsLocalAddress |
                                      f::kIsDirect | f::kTransientConnection);
  EXPECT_TRUE(log.contains("Reachability Flag Status: WR t----ld networkStatusForFlags\n"));
}

TEST_F(ReachabilityTest, TheNotifierPostsEachChangeOnTheMainQueue) {
  namespace f = platform::reachability_flag;
  auto shared = std::make_shared<FakeSource::Shared>();
  shared->flags = f::kReachable;
  auto reachability = std::make_shared<Reachability>("host", std::make_unique<FakeSource>(shared));
  std::vector<const void*> seen;
  auto& center = platform::NotificationCenter::defaultCenter();
  const auto token =
      center.addObserver(kReachabilityChangedNotification, [&](const platform::Notification& n) {
        EXPECT_TRUE(main().isCurrent());
        seen.push_back(n.object.get());
      });
  ASSERT_TRUE(reachability->startNotifier());
  shared->onChange();  // nothing changed
  runPending();
  EXPECT_TRUE(seen.empty());
  shared->flags = 0;
  shared->onChange();
  runPending();
  EXPECT_EQ(seen, std::vector<const void*>{reachability.get()});
  reachability->stopNotifier();
  EXPECT_FALSE(shared->monitoring);
  center.removeObserver(token);
}

TEST_F(ReachabilityTest, LoopbackIsReachableAndBadTargetsAreRefused) {
  auto loopback = Reachability::reachabilityWithAddress("127.0.0.1");
  ASSERT_TRUE(loopback);
  EXPECT_EQ(loopback->currentReachabilityStatus(), Reachability::NetworkStatus::kReachableViaWiFi);
  EXPECT_FALSE(loopback->connectionRequired());
  // Watching changes needs a netlink socket, which every Linux offers.
  EXPECT_TRUE(loopback->startNotifier());
  loopback->stopNotifier();
  auto named = Reachability::reachabilityWithHostName("localhost");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->currentReachabilityStatus(), Reachability::NetworkStatus::kReachableViaWiFi);

  EXPECT_FALSE(Reachability::reachabilityWithAddress("localhost"));
  EXPECT_FALSE(Reachability::reachabilityWithHostName(""));
  ASSERT_TRUE(Reachability::reachabilityForInternetConnection());
}

}  // namespace
}  // namespace veltrix::transport
