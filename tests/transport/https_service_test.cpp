#include "veltrix/transport/https_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/http_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/url_error.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::transport {
namespace {

using namespace std::chrono_literals;
using model::EventToNotifyCode;
using sim::Framing;
using sim::Reply;
namespace url_error = platform::url_error;

constexpr const char* kExchangeId = "0123456789ABCDEF0123456789ABCDEF";

const std::string kNote1 =
    R"({"exchangeIdentification":"OWN-1","serviceType":"EventNotification","endFlag":false,)"
    R"("response":{"response":"SUCC","event":"crdi","eventTime":"1700000000000"}})"
    "\n";
const std::string kNote2 =
    R"({"exchangeIdentification":"OWN-2","serviceType":"EventNotification",)"
    R"("response":{"event":"PINR","additionalResponseInformation":"输入密码"}})"
    "\r\n";
const std::string kResponse = std::string(R"({"exchangeIdentification":")") + kExchangeId +
                              R"(","serviceType":"Purchase","endFlag":true,)"
                              R"("response":{"response":"SUCC","totalAmount":"12.50"}})"
                              "\n";

std::string trimmed(const std::optional<std::string>& text) {
  const std::string s = text.value_or("");
  const std::size_t from = s.find_first_not_of(" \r\n");
  if (from == std::string::npos) return "";
  return s.substr(from, s.find_last_not_of(" \r\n") + 1 - from);
}

// Every call of the two blocks, in order.
struct Calls {
  struct Progress {
    std::optional<std::string> exchangeId;
    std::optional<std::string> serviceType;
    std::shared_ptr<const model::EventNotificationParam> record;
  };
  struct Result {
    std::optional<std::string> response;
    std::optional<std::string> exchangeId;
    bool endFlag = false;
    std::optional<std::string> serviceType;
    std::int64_t code = 0;
    std::optional<std::string> msg;
  };
  std::vector<Progress> progress;
  std::vector<Result> results;
  std::string order;  // 'P' or 'R' per call

  std::vector<std::string> responses() const {
    std::vector<std::string> out;
    for (const auto& r : results) out.push_back(r.response.value_or("<failure>"));
    return out;
  }
  std::vector<std::int64_t> codes() const {
    std::vector<std::int64_t> out;
    for (const auto& r : results) out.push_back(r.code);
    return out;
  }
};

class HttpsServiceTest : public testing::LoopTest {
 protected:
  void SetUp() override {
    sim_ = sim::HttpSimulator::start("127.0.0.1", 0);
    ASSERT_TRUE(sim_);
    sim::Scenario scenario;
    scenario.setDefaultsEnabled(false);
    sim_->setScenario(std::move(scenario));
  }

  HttpsServiceConfig config() {
    HttpsServiceConfig c;
    c.sessionManager = manager_.get();
    c.logFile = &logFile_;
    return c;
  }

  std::shared_ptr<HttpsService> service(HttpsServiceConfig c, std::string url = "") {
    return HttpsService::create(url.empty() ? sim_->url() : std::move(url), c);
  }

  void send(Calls& calls, std::shared_ptr<HttpsService> transport = nullptr,
            const std::string& body = R"({"serviceType":"Purchase"})") {
    if (!transport) transport = service(config());
    transport->sendRequest(
        body, kExchangeId, "Purchase", "SN-1",
        [&calls](std::optional<std::string> exchangeId, std::optional<std::string> serviceType,
                 std::shared_ptr<const model::EventNotificationParam> record) {
          calls.progress.push_back({std::move(exchangeId), std::move(serviceType), record});
          calls.order += 'P';
        },
        [&calls](std::optional<std::string> response, std::optional<std::string> exchangeId,
                 bool endFlag, std::optional<std::string> serviceType, std::int64_t code,
                 std::optional<std::string> msg) {
          calls.results.push_back({std::move(response), std::move(exchangeId), endFlag,
                                   std::move(serviceType), code, std::move(msg)});
          calls.order += 'R';
        });
  }

  // Runs the main loop until every task of the session has ended, then
  // everything still queued.
  void finish() {
    ASSERT_TRUE(main().runUntil([&] { return manager_->taskCount() == 0; }, 5000ms));
    runPending();
  }

  void expectFailure(const Calls& calls, std::int64_t code, const char* domain) {
    ASSERT_FALSE(calls.results.empty());
    const Calls::Result& r = calls.results.back();
    EXPECT_EQ(r.response, std::nullopt);
    EXPECT_EQ(r.exchangeId, kExchangeId);
    EXPECT_TRUE(r.endFlag);
    EXPECT_EQ(r.serviceType, "Purchase");
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.msg, domain);
  }

  std::unique_ptr<sim::HttpSimulator> sim_;
  std::unique_ptr<WSStreamingHTTPSessionManager> manager_ =
      std::make_unique<WSStreamingHTTPSessionManager>();
  registry::FileLogger logFile_{docs() / "transport-log.txt"};
};

TEST_F(HttpsServiceTest, NotificationsGoToProgressAndTheResponseToResultWithNothingAfter) {
  sim_->add(Reply::messages({kNote1, kNote2, kResponse}, 20ms));
  Calls calls;
  send(calls);
  finish();

  EXPECT_EQ(calls.order, "PPR");
  ASSERT_EQ(calls.progress.size(), 2u);
  // A notification carries its own exchange identifier.
  EXPECT_EQ(calls.progress[0].exchangeId, "OWN-1");
  EXPECT_EQ(calls.progress[0].serviceType, "EventNotification");
  ASSERT_TRUE(calls.progress[0].record);
  EXPECT_EQ(calls.progress[0].record->event, EventToNotifyCode::CRDI);
  EXPECT_EQ(calls.progress[0].record->eventTime, "1700000000000");
  EXPECT_EQ(calls.progress[1].exchangeId, "OWN-2");
  ASSERT_TRUE(calls.progress[1].record);
  EXPECT_EQ(calls.progress[1].record->additionalResponseInformation, "输入密码");

  ASSERT_EQ(calls.results.size(), 1u);
  const Calls::Result& r = calls.results[0];
  EXPECT_EQ(r.response, kResponse);  // as received, line end included
  EXPECT_EQ(r.exchangeId, kExchangeId);
  EXPECT_TRUE(r.endFlag);
  EXPECT_EQ(r.serviceType, "Purchase");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.msg, std::nullopt);
}

TEST_F(HttpsServiceTest, TheSimulatedTerminalsDefaultAnswer) {
  sim::Scenario scenario;
  scenario.setDefaultDelay(sim::Millis(0));
  sim_->setScenario(std::move(scenario));
  Calls calls;
  send(calls, nullptr,
       std::string(R"({"exchangeIdentification":")") + kExchangeId +
           R"(","serviceType":"Purchase","request":{"totalAmount":"9.99","currency":"EUR"}})");
  finish();

  EXPECT_EQ(calls.order, "PPR");
  ASSERT_EQ(calls.results.size(), 1u);
  EXPECT_EQ(calls.results[0].code, 0);
  EXPECT_TRUE(calls.results[0].endFlag);
  const auto response = platform::parseJson(calls.results[0].response.value_or(""));
  ASSERT_TRUE(response);
  EXPECT_EQ(platform::readText(*response, "exchangeIdentification"), kExchangeId);
}

TEST_F(HttpsServiceTest, MessagesArriveWholeWhateverThePieces) {
  const std::string body = kNote1 + kNote2 + kResponse;
  const std::size_t glue = kNote1.size() + 10;  // end of one message, start of the next
  const std::size_t second = kNote1.size() + kNote2.size();
  const std::vector<std::vector<std::size_t>> cuts = {
      {5, glue, second - 1, second + 3, body.size() - 2},  // split and glued
      {second + 1},                                        // two whole messages, then the rest
  };
  for (Framing framing : {Framing::kChunked, Framing::kContentLength, Framing::kClose}) {
    for (const auto& offsets : cuts) {
      Reply reply = Reply::cut(body, offsets, 10ms);
      reply.framing = framing;
      sim_->add(reply);
      Calls calls;
      send(calls);
      finish();
      EXPECT_EQ(calls.order, "PPR") << static_cast<int>(framing);
      // Blanks between two messages go with the piece they arrived in.
      ASSERT_EQ(calls.results.size(), 1u);
      EXPECT_EQ(trimmed(calls.results[0].response), trimmed(kResponse));
    }
  }

  // A body of one message, with blanks around it, kept as sent.
  const std::string single = " \r\n" + kResponse + "  ";
  sim_->add(Reply::plain(200, "OK", single, "application/json; charset=UTF-8"));
  Calls calls;
  send(calls);
  finish();
  EXPECT_EQ(calls.responses(), std::vector<std::string>{" \r\n" + kResponse + "  "});
  EXPECT_EQ(calls.codes(), std::vector<std::int64_t>{0});
}

TEST_F(HttpsServiceTest, CharactersSplitBetweenPiecesArriveUnchanged) {
  // "支付成功" and an emoji, each cut inside its bytes.
  const std::string response = R"({"serviceType":"Purchase","endFlag":"true","response":{"note":")"
                               "\xE6\x94\xAF\xE4\xBB\x98\xE6\x88\x90\xE5\x8A\x9F \xF0\x9F\x98\x80"
                               R"("}})";
  const std::size_t at = response.find('\xE6');
  sim_->add(Reply::cut(response, {at + 1, at + 5, at + 11, at + 14}, 10ms));
  Calls calls;
  send(calls);
  finish();
  EXPECT_EQ(calls.responses(), std::vector<std::string>{response});
  ASSERT_EQ(calls.results.size(), 1u);
  EXPECT_TRUE(calls.results[0].endFlag);  // "true" as text
}

TEST_F(HttpsServiceTest, AtTheEndOfTheBodyOnlyAMissingFinalResponseOrLeftoverTextFails) {
  const std::string open = R"({"serviceType":"Purchase","response":{}})";
  const std::string closing = R"({"serviceType":"Purchase","endFlag":1})";
  const std::string noBody = R"({"exchangeIdentification":"N","serviceType":"EventNotification"})";
  struct Case {
    const char* name;
    Reply reply;
    std::string order;
    std::vector<bool> endFlags;
    std::int64_t failure;  // 0: none
  };
  Reply typedAsText = Reply::messages({closing});
  typedAsText.contentType = "text/plain";
  const std::vector<Case> cases = {
      // Without a final answer the request would never end: it fails once.
      {"no endFlag", Reply::messages({open}), "RR", {false, true}, kJSONReadErrorCode},
      {"endFlag false",
       Reply::messages({kNote1, R"({"endFlag":false})", "\n"}),
       "PRR",
       {false, true},
       kJSONReadErrorCode},
      {"after the final response",
       Reply::messages({closing, kNote1, open}),
       "RPR",
       {true, false},
       0},
      {"trailing blanks", Reply::messages({closing, " \n\n "}), "R", {true}, 0},
      {"array",
       Reply::messages({R"([{"endFlag":true}])"}),
       "RR",
       {false, true},
       kJSONReadErrorCode},
      {"response typed as text", typedAsText, "R", {true}, 0},
      {"notifications only", Reply::messages({kNote1, noBody}), "PPR", {true}, kJSONReadErrorCode},
      {"leftover text", Reply::messages({closing, "oops"}), "RR", {true, true}, kJSONReadErrorCode},
      {"unfinished message",
       Reply::messages({closing, R"({"a":)"}),
       "RR",
       {true, true},
       kJSONReadErrorCode},
      {"empty body",
       Reply::plain(200, "OK", "", "application/json"),
       "R",
       {true},
       kJSONReadErrorCode},
  };
  for (const Case& c : cases) {
    sim_->add(c.reply);
    Calls calls;
    send(calls);
    finish();
    EXPECT_EQ(calls.order, c.order) << c.name;
    std::vector<bool> endFlags;
    for (const auto& r : calls.results) endFlags.push_back(r.endFlag);
    EXPECT_EQ(endFlags, c.endFlags) << c.name;
    if (c.failure != 0) {
      expectFailure(calls, c.failure, kJSONErrorDomain);
    } else {
      EXPECT_EQ(calls.results.back().code, 0) << c.name;
    }
    if (std::string_view(c.name) == "notifications only") {
      ASSERT_EQ(calls.progress.size(), 2u);
      EXPECT_EQ(calls.progress[1].exchangeId, "N");
      EXPECT_EQ(calls.progress[1].record, nullptr);  // no "response" to parse
    }
  }
}

TEST_F(HttpsServiceTest, FailuresReachTheResultBlockOnceWithTheirCodeAndDomain) {
  struct Case {
    const char* name;
    Reply reply;
    std::int64_t code;
    const char* domain;
  };
  Reply wrongType = Reply::messages({"<result>OK</result>"});
  wrongType.contentType = "text/xml";
  Reply reset = Reply::messages({kNote1, R"({"serviceType":)"});
  reset.fault = sim::Fault::kReset;
  const std::vector<Case> cases = {
      {"status 500", Reply::plain(500, "Internal Server Error", "boom", "text/plain"),
       url_error::kBadServerResponse, kHTTPResponseErrorDomain},
      {"content type", wrongType, url_error::kCannotDecodeContentData, kHTTPResponseErrorDomain},
      {"reset", reset, url_error::kNetworkConnectionLost, kURLErrorDomain},
  };
  for (const Case& c : cases) {
    sim_->add(c.reply);
    Calls calls;
    send(calls);
    finish();
    EXPECT_EQ(calls.order, c.reply.fault == sim::Fault::kReset ? "PR" : "R") << c.name;
    expectFailure(calls, c.code, c.domain);
  }

  // An address that does not form a URL starts nothing.
  Calls badUrl;
  send(badUrl, service(config(), "http://"));
  ASSERT_TRUE(main().runUntil([&] { return !badUrl.results.empty(); }, 5000ms));
  runPending();
  EXPECT_EQ(badUrl.order, "R");
  expectFailure(badUrl, url_error::kBadURL, kURLErrorDomain);

  // Nobody listens any more.
  const std::string closedUrl = sim_->url();
  const std::size_t requests = sim_->requestCount();
  sim_.reset();
  Calls refused;
  send(refused, service(config(), closedUrl));
  finish();
  EXPECT_EQ(refused.order, "R");
  expectFailure(refused, url_error::kCannotConnectToHost, kURLErrorDomain);
  EXPECT_EQ(requests, 3u);
}

TEST_F(HttpsServiceTest, ASilentTerminalTimesOutOnceAfterTheIdleTime) {
  Reply reply = Reply::messages({kNote1});
  reply.pieces[0].waitForRelease = true;
  reply.fault = sim::Fault::kHoldOpen;
  sim_->add(reply);
  HttpsServiceConfig c = config();
  c.idleTimeout = platform::millis(200);
  Calls calls;
  send(calls, service(c));
  ASSERT_TRUE(sim_->waitForRequests(1, 5000ms));

  // A notification 150 ms in restarts the idle time.
  advance(platform::millis(150));
  sim_->release();
  ASSERT_TRUE(main().runUntil([&] { return calls.progress.size() == 1; }));
  // 300 ms after the start, 150 ms after the last byte: the check re-arms.
  advance(platform::millis(150));
  ASSERT_TRUE(main().runUntil([&] { return clock().pendingCount() == 1; }));
  runPending();
  EXPECT_TRUE(calls.results.empty());

  advance(platform::millis(50));
  finish();
  EXPECT_EQ(calls.order, "PR");
  expectFailure(calls, url_error::kTimedOut, kURLErrorDomain);
  advance(platform::seconds(400));
  runPending();
  EXPECT_EQ(calls.results.size(), 1u);

  // Without an injected value a terminal may stay silent for 180 s.
  Reply silent;
  silent.waitForRelease = true;
  silent.fault = sim::Fault::kHoldOpen;
  sim_->add(silent);
  Calls patient;
  send(patient);
  ASSERT_TRUE(sim_->waitForRequests(2, 5000ms));
  advance(platform::seconds(179.9));
  runPending();
  EXPECT_TRUE(patient.results.empty());
  advance(platform::seconds(0.1));
  finish();
  expectFailure(patient, url_error::kTimedOut, kURLErrorDomain);
}

TEST_F(HttpsServiceTest, SendsTheFiveHeadersAndTheBodyExactlyAndLogsBoth) {
  platform::ScopedLogCapture log;
  sim_->add(Reply::messages({kResponse}));
  const std::string body = std::string(R"({"exchangeIdentification":")") + kExchangeId +
                           R"(","serviceType":"Purchase","request":{"pan":"4111111111111111",)"
                           R"("note":"收银台 )" +
                           std::string(1500, 'x') + "\"}}";
  Calls calls;
  send(calls, nullptr, body);
  finish();
  EXPECT_EQ(calls.codes(), std::vector<std::int64_t>{0});

  const auto requests = sim_->requests();
  ASSERT_EQ(requests.size(), 1u);
  const sim::RecordedRequest& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/");
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(request.header("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(request.header("Accept"), "application/json, text/xml");
  EXPECT_EQ(request.header("Connection"), "Keep-Alive");
  EXPECT_EQ(request.header("support-long-connection"), "true");
  EXPECT_EQ(request.header("accept-encoding"), "identity");
  std::set<std::string> names;
  for (const auto& [name, value] : request.headers) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    names.insert(lower);
  }
  EXPECT_EQ(names, (std::set<std::string>{"host", "content-type", "accept", "connection",
                                          "support-long-connection", "accept-encoding",
                                          "content-length"}));

  // Both lines in the log file and the platform log, the card number masked.
  const std::string file = logFile_.getLogFileData().value_or("");
  EXPECT_NE(file.find("] repuestData = {\"exchangeIdentification\""), std::string::npos);
  EXPECT_NE(file.find("收银台"), std::string::npos);
  EXPECT_NE(file.find("] url = " + sim_->url() + "\n"), std::string::npos);
  EXPECT_EQ(file.find("4111111111111111"), std::string::npos);
  EXPECT_TRUE(log.contains("repuestData = {\"exchangeIdentification\""));
  EXPECT_TRUE(log.contains("url = " + sim_->url()));
  EXPECT_FALSE(log.contains("4111111111111111"));
}

TEST_F(HttpsServiceTest, TwoExchangesAtOnceOnOneSessionEachOnItsOwnConnection) {
  Reply payment = Reply::messages({kNote1, kResponse});
  payment.pieces[1].waitForRelease = true;
  sim_->add(payment, sim::ReplyMatch{std::nullopt, "Purchase"});
  const std::string abortResponse = R"({"serviceType":"Abort","endFlag":true})";
  sim_->add(Reply::messages({abortResponse}), sim::ReplyMatch{std::nullopt, "Abort"});

  Calls paying;
  send(paying);
  ASSERT_TRUE(main().runUntil([&] { return paying.progress.size() == 1; }));
  Calls aborting;
  service(config())->sendRequest(
      R"({"serviceType":"Abort"})", "ABORT-1", "Abort", std::nullopt, nullptr,
      [&aborting](std::optional<std::string> response, std::optional<std::string> exchangeId,
                  bool endFlag, std::optional<std::string> serviceType, std::int64_t code,
                  std::optional<std::string> msg) {
        aborting.results.push_back({response, exchangeId, endFlag, serviceType, code, msg});
      });
  ASSERT_TRUE(main().runUntil([&] { return aborting.results.size() == 1; }));
  EXPECT_EQ(aborting.results[0].response, abortResponse);
  EXPECT_EQ(aborting.results[0].exchangeId, "ABORT-1");
  EXPECT_TRUE(paying.results.empty());

  sim_->release();
  finish();
  EXPECT_EQ(paying.order, "PR");
  EXPECT_EQ(paying.responses(), std::vector<std::string>{kResponse});
  EXPECT_EQ(aborting.results.size(), 1u);
  EXPECT_EQ(sim_->connectionCount(), 2u);
  // Neither connection is kept for reuse.
  EXPECT_TRUE(main().runUntil([&] { return sim_->openConnectionCount() == 0; }, 5000ms));
}

TEST_F(HttpsServiceTest, AConnectionDroppedBeforeAnyAnswerFailsAndIsNeverSentAgain) {
  // A plain request leaves a keep-alive connection that curl could reuse.
  sim_->add(Reply::messages({R"({"warm":1})"}), sim::ReplyMatch{std::nullopt, "Warm"}, true);
  const auto plainPost = [&] {
    bool done = false;
    manager_->post(sim_->url(), R"({"serviceType":"Warm"})", std::nullopt, {}, nullptr,
                   [&done](auto, auto, const auto&) { done = true; });
    ASSERT_TRUE(main().runUntil([&] { return done; }, 5000ms));
  };
  plainPost();
  ASSERT_EQ(sim_->openConnectionCount(), 1u);

  // The terminal takes the payment and drops the connection, every time.
  Reply drop;
  drop.fault = sim::Fault::kCloseWithoutData;
  sim_->add(drop, sim::ReplyMatch{std::nullopt, "Purchase"}, true);
  Calls calls;
  send(calls);
  finish();
  EXPECT_EQ(calls.order, "R");
  expectFailure(calls, url_error::kNetworkConnectionLost, kURLErrorDomain);

  // The warm connection was there to be reused all along.
  plainPost();
  EXPECT_EQ(sim_->connectionCount(), 2u);
  const auto requests = sim_->requests();
  const auto payments = std::count_if(requests.begin(), requests.end(), [](const auto& r) {
    return r.jsonText("serviceType") == "Purchase";
  });
  EXPECT_EQ(payments, 1);
  EXPECT_EQ(requests.size(), 3u);
}

TEST_F(HttpsServiceTest, AMessageOverTheCapFailsTheExchangeAndStopsTheTransfer) {
  HttpsServiceConfig c = config();
  c.maxMessageBytes = 1024;
  const std::string huge = R"({"serviceType":"Purchase","note":")" + std::string(4000, 'x') + "\"}";
  Reply reply = Reply::cut(kNote1 + huge, {kNote1.size() + 10, kNote1.size() + 600,
                                           kNote1.size() + 1200, kNote1.size() + 1800});
  reply.pieces.back().waitForRelease = true;  // the rest would come much later
  reply.fault = sim::Fault::kHoldOpen;
  sim_->add(reply);
  Calls calls;
  send(calls, service(c));
  finish();
  EXPECT_EQ(calls.order, "PR");
  expectFailure(calls, url_error::kDataLengthExceedsMaximum, kURLErrorDomain);
  // The client has hung up: the terminal notices when it writes the rest.
  sim_->release();
  EXPECT_TRUE(main().runUntil([&] { return sim_->openConnectionCount() == 0; }, 5000ms));
  advance(platform::seconds(400));
  runPending();
  EXPECT_EQ(calls.order, "PR");
}

TEST_F(HttpsServiceTest, TheSendKeepsTheTransportAliveUntilItEnds) {
  Reply reply = Reply::messages({kResponse});
  reply.pieces[0].waitForRelease = true;
  sim_->add(reply);
  std::shared_ptr<HttpsService> transport = service(config());
  std::weak_ptr<HttpsService> weak = transport;
  Calls calls;
  send(calls, std::move(transport));
  ASSERT_TRUE(sim_->waitForRequests(1, 5000ms));
  runPending();
  EXPECT_FALSE(weak.expired());
  sim_->release();
  finish();
  EXPECT_EQ(calls.codes(), std::vector<std::int64_t>{0});
  EXPECT_TRUE(main().runUntil([&] { return weak.expired(); }, 5000ms));
}

TEST(HttpsServiceHelpersTest, EndFlagFollowsThePlatformsBooleanReading) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {R"({"endFlag":true})", true},   {R"({"endFlag":false})", false},
      {R"({"endFlag":1})", true},      {R"({"endFlag":0})", false},
      {R"({"endFlag":"true"})", true}, {R"({"endFlag":" +007"})", true},
      {R"({"endFlag":"0"})", false},   {R"({"endFlag":"no"})", false},
      {R"({"endFlag":null})", false},  {R"({"endFlag":{}})", false},
      {R"({"other":true})", false},    {R"([{"endFlag":true}])", false},
      {R"( {"endFlag":"Y"} )", true},
  };
  for (const auto& [json, expected] : cases) {
    EXPECT_EQ(HttpsService::isEndFlagTrue(json), expected) << json;
    EXPECT_EQ(HttpsService::getEndFlagValueForJson(json), expected) << json;
  }

  platform::ScopedLogCapture log;
  EXPECT_FALSE(HttpsService::getEndFlagValueForJson(R"({"endFlag":true)"));
  EXPECT_EQ(log.count("JSON 解析失败: "), 1u);
  EXPECT_EQ(HttpsService::extractMsgFctnForJson("not json"), std::nullopt);
  EXPECT_EQ(log.count("JSON 解析失败: "), 2u);
  EXPECT_EQ(HttpsService::extractMsgFctnForJson("[1]"), std::nullopt);
  const auto object = HttpsService::extractMsgFctnForJson(R"({"serviceType":"Abort"})");
  ASSERT_TRUE(object);
  EXPECT_EQ(platform::readText(*object, "serviceType"), "Abort");
}

TEST(HttpsServiceHelpersTest, XmlCompletenessCheck) {
  auto transport = HttpsService::create("http://127.0.0.1:9");
  EXPECT_FALSE(transport->isCompleteXMLWithRegex("<a>1</a>"));  // not readied yet
  transport->setupXMLPatternRegex();
  const std::vector<std::pair<std::string, bool>> cases = {
      {"<a>1</a>", true},
      {"  \n<root attr=\"1\">\n<b>x</b>\n</root>\r\n", true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><a>1</a></root>", true},
      {"<?xml version=\"1.0\"?><a/>", true},
      {"<a/>", true},
      {"<a b=\"c\" />", true},
      {"<a></a>", true},
      {"<?xml version=\"1.0\"?>", false},
      {"<a>", false},
      {"<a>1</b>", false},
      {"<a>1</a>tail", false},
      {"<a/>x</a>", false},
      {"<ab>1</a>", false},
      {"<a:b>1</a:b>", false},
      {"<a/ >", false},
      {"<>1</>", false},
      {"", false},
      {"   ", false},
      {"text", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(transport->isCompleteXMLWithRegex(text), expected) << text;
  }
}

}  // namespace
}  // namespace veltrix::transport
