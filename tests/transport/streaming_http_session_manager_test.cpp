#include "veltrix/transport/streaming_http_session_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/http_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/url_error.h"

namespace veltrix::transport {
namespace {

using namespace std::chrono_literals;
using sim::Framing;
using sim::Reply;

// What the blocks of one task saw.
struct Outcome {
  std::vector<std::string> pieces;
  std::vector<std::uint64_t> received;
  std::vector<std::int64_t> expected;
  int completions = 0;
  bool progressAfterCompletion = false;
  std::optional<std::string> text;
  std::optional<HttpError> error;
  HttpResponseInfo info;

  std::string joined() const {
    std::string out;
    for (const auto& piece : pieces) out += piece;
    return out;
  }
};

// The header fields the HTTP transport puts in its options.
HttpRequestOptions transportOptions() {
  HttpRequestOptions options;
  options.headers = {{"Content-Type", "application/json"},
                     {"Connection", "Keep-Alive"},
                     {"support-long-connection", "true"},
                     {"accept-encoding", "identity"}};
  options.acceptedContentTypes = {"application/json", "text/json", "text/javascript"};
  return options;
}

class StreamingSessionTest : public testing::LoopTest {
 protected:
  void SetUp() override {
    sim_ = sim::HttpSimulator::start("127.0.0.1", 0);
    ASSERT_TRUE(sim_);
    sim_->setScenario([] {
      sim::Scenario scenario;
      scenario.setDefaultsEnabled(false);
      return scenario;
    }());
  }

  HttpTaskId send(Outcome& out, const std::string& body = R"({"serviceType":"Purchase"})",
                  const HttpRequestOptions& options = transportOptions(),
                  const std::string& url = "") {
    return manager_->post(
        url.empty() ? sim_->url() : url, body, std::nullopt, options,
        [&out](const std::string& text, std::uint64_t received, std::int64_t expected) {
          if (out.completions > 0) out.progressAfterCompletion = true;
          out.pieces.push_back(text);
          out.received.push_back(received);
          out.expected.push_back(expected);
        },
        [&out](std::optional<std::string> text, std::optional<HttpError> error,
               const HttpResponseInfo& info) {
          ++out.completions;
          out.text = std::move(text);
          out.error = std::move(error);
          out.info = info;
        });
  }

  bool finished(const Outcome& out) {
    return main().runUntil([&] { return out.completions > 0; }, 5000ms);
  }

  // Waits (bounded) until the task queue has handed everything of every task
  // to the main queue, without running the main queue.
  void waitUntilHandedToMain() {
    for (int i = 0; i < 5000 && manager_->runningTaskCount() > 0; ++i) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(manager_->runningTaskCount(), 0u);
  }

  std::unique_ptr<sim::HttpSimulator> sim_;
  std::unique_ptr<WSStreamingHTTPSessionManager> manager_ =
      std::make_unique<WSStreamingHTTPSessionManager>();
};

TEST_F(StreamingSessionTest, SendsTheRequestAsGivenAndStreamsEachPieceBeforeOneCompletion) {
  const std::vector<std::string> messages = {R"({"n":1})", "\n", R"({"n":2,"endFlag":true})"};
  sim_->add(Reply::messages(messages, 40ms));
  const std::string body = R"({"exchangeIdentification":"E1","serviceType":"Purchase","x":")" +
                           std::string(2000, 'a') + "\"}";
  Outcome out;
  ASSERT_TRUE(send(out, body).isValid());
  ASSERT_TRUE(finished(out));
  runPending();

  EXPECT_EQ(out.pieces, messages);
  EXPECT_EQ(out.received, (std::vector<std::uint64_t>{7, 8, 30}));
  EXPECT_EQ(out.expected, (std::vector<std::int64_t>{-1, -1, -1}));
  EXPECT_EQ(out.completions, 1);
  EXPECT_FALSE(out.progressAfterCompletion);
  EXPECT_FALSE(out.error);
  EXPECT_EQ(out.text, out.joined());
  EXPECT_EQ(out.info.statusCode, 200);
  EXPECT_EQ(out.info.contentType, "application/json");
  EXPECT_EQ(manager_->taskCount(), 0u);

  const auto requests = sim_->requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/");
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(request.header("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(request.header("Accept"), "application/json, text/xml");
  EXPECT_EQ(request.header("Connection"), "Keep-Alive");
  EXPECT_EQ(request.header("support-long-connection"), "true");
  EXPECT_EQ(request.header("accept-encoding"), "identity");
  EXPECT_EQ(request.header("Content-Length"), std::to_string(body.size()));
  EXPECT_FALSE(request.header("Expect"));
}

TEST_F(StreamingSessionTest, EveryFramingStreamsTheSameText) {
  const std::string body = R"({"a":1})"
                           "\n"
                           R"({"b":2})";
  for (Framing framing : {Framing::kChunked, Framing::kContentLength, Framing::kClose}) {
    Reply reply = Reply::cut(body, {4, 9}, 20ms);
    reply.framing = framing;
    sim_->add(reply);
    Outcome out;
    send(out);
    ASSERT_TRUE(finished(out));
    EXPECT_EQ(out.joined(), body);
    EXPECT_EQ(out.text, body);
    EXPECT_FALSE(out.error) << out.error->toString();
    EXPECT_EQ(out.received.back(), body.size());
    EXPECT_EQ(out.expected.back(), framing == Framing::kContentLength ? 15 : -1);
  }
}

TEST_F(StreamingSessionTest, CharactersSplitBetweenPiecesArriveWhole) {
  // Cut inside a three-byte and inside a four-byte character.
  const std::string body = "{\"note\":\"\xE6\x94\xAF\xE4\xBB\x98 \xF0\x9F\x98\x80\"}";
  sim_->add(Reply::cut(body, {10, 19, 21}, 20ms));
  Outcome out;
  send(out);
  ASSERT_TRUE(finished(out));
  EXPECT_EQ(out.joined(), body);
  EXPECT_EQ(out.text, body);
  EXPECT_EQ(out.received.back(), body.size());

  // Bytes that are not UTF-8 at all arrive as Latin-1, one character each.
  sim_->add(Reply::messages({"{\"n\":\"caf\xE9\"}"}));
  Outcome latin;
  send(latin);
  ASSERT_TRUE(finished(latin));
  EXPECT_EQ(latin.joined(), "{\"n\":\"caf\xC3\xA9\"}");
  EXPECT_EQ(latin.received.back(), 12u);
}

TEST_F(StreamingSessionTest, FailuresCarryTheirCodesAndDomains) {
  struct Case {
    const char* name;
    Reply reply;
    std::int64_t code;
    const char* domain;
    std::optional<std::string> text;
  };
  Reply serverError = Reply::plain(500, "Internal Server Error", "boom", "text/plain");
  Reply wrongType = Reply::messages({"<xml/>"});
  wrongType.contentType = "text/xml";
  Reply closeEarly;
  closeEarly.fault = sim::Fault::kCloseWithoutData;
  Reply reset = Reply::messages({R"({"n":)"});
  reset.fault = sim::Fault::kReset;
  const std::vector<Case> cases = {
      {"status 500", serverError, platform::url_error::kBadServerResponse, kHTTPResponseErrorDomain,
       "boom"},
      {"content type", wrongType, platform::url_error::kCannotDecodeContentData,
       kHTTPResponseErrorDomain, "<xml/>"},
      {"reset", reset, platform::url_error::kNetworkConnectionLost, kURLErrorDomain, R"({"n":)"},
      // Last and for good: curl sends a request once more, on a fresh
      // connection, when a reused one closes before any answer.
      {"closed without data", closeEarly, platform::url_error::kNetworkConnectionLost,
       kURLErrorDomain, std::nullopt},
  };
  for (const Case& c : cases) {
    sim_->add(c.reply, {}, c.reply.fault == sim::Fault::kCloseWithoutData);
    Outcome out;
    send(out);
    ASSERT_TRUE(finished(out)) << c.name;
    runPending();
    ASSERT_TRUE(out.error) << c.name;
    EXPECT_EQ(out.error->code, c.code) << c.name;
    EXPECT_EQ(out.error->domain, c.domain) << c.name;
    EXPECT_EQ(out.text, c.text) << c.name;
    EXPECT_EQ(out.completions, 1) << c.name;
  }

  // A refused connection.
  const std::string closedUrl = sim_->url();
  sim_.reset();
  Outcome refused;
  send(refused, "{}", transportOptions(), closedUrl);
  ASSERT_TRUE(finished(refused));
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, platform::url_error::kCannotConnectToHost);
  EXPECT_EQ(refused.error->domain, kURLErrorDomain);
  EXPECT_EQ(refused.text, std::nullopt);
}

TEST_F(StreamingSessionTest, AnUnusableUrlStartsNoTask) {
  Outcome out;
  EXPECT_FALSE(send(out, "{}", transportOptions(), "http://").isValid());
  EXPECT_EQ(out.completions, 0);  // never on the caller's stack
  ASSERT_TRUE(finished(out));
  EXPECT_EQ(out.error, HttpError::url(platform::url_error::kBadURL));
  EXPECT_EQ(out.text, std::nullopt);
  EXPECT_EQ(sim_->requestCount(), 0u);
}

TEST_F(StreamingSessionTest, IdleTimeOutRestartsOnEveryByteAndFailsOnce) {
  Reply reply = Reply::messages({R"({"n":1})"});
  reply.waitForRelease = true;  // nothing at all until released
  reply.fault = sim::Fault::kHoldOpen;
  sim_->add(reply);
  HttpRequestOptions options = transportOptions();
  options.idleTimeout = platform::millis(200);
  Outcome out;
  send(out, "{}", options);
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 1; }));

  // Silent for 150 ms, then the response starts.
  advance(platform::millis(150));
  sim_->release();
  ASSERT_TRUE(main().runUntil([&] { return out.pieces.size() == 1; }));

  // 250 ms after the start but only 100 ms after the last byte: no time-out.
  advance(platform::millis(100));
  ASSERT_TRUE(main().runUntil([&] { return clock().pendingCount() == 1; }));
  runPending();
  EXPECT_EQ(out.completions, 0);

  advance(platform::millis(100));
  ASSERT_TRUE(finished(out));
  EXPECT_EQ(out.error, HttpError::url(platform::url_error::kTimedOut));
  EXPECT_EQ(out.text, R"({"n":1})");
  advance(platform::seconds(1));
  runPending();
  EXPECT_EQ(out.completions, 1);
}

TEST_F(StreamingSessionTest, TwoExchangesAtOnceShareTheSessionAndConnectionsAreReused) {
  // The payment streams its first message, then waits; the abort is answered
  // in the meantime.
  Reply payment = Reply::messages({R"({"payment":1})", R"({"payment":2})"});
  payment.pieces[1].waitForRelease = true;
  sim_->add(payment, sim::ReplyMatch{std::nullopt, "Purchase"});
  sim_->add(Reply::messages({R"({"abort":1})"}), sim::ReplyMatch{std::nullopt, "Abort"});

  Outcome first;
  send(first, R"({"serviceType":"Purchase"})");
  ASSERT_TRUE(main().runUntil([&] { return first.pieces.size() == 1; }));
  Outcome second;
  send(second, R"({"serviceType":"Abort"})");
  ASSERT_TRUE(finished(second));
  EXPECT_EQ(second.text, R"({"abort":1})");
  EXPECT_EQ(first.completions, 0);

  sim_->release();
  ASSERT_TRUE(finished(first));
  EXPECT_EQ(first.text, R"({"payment":1}{"payment":2})");
  EXPECT_EQ(sim_->connectionCount(), 2u);

  // Later requests reuse the open connections.
  for (int i = 0; i < 3; ++i) {
    sim_->add(Reply::messages({R"({"again":1})"}));
    Outcome again;
    send(again);
    ASSERT_TRUE(finished(again));
    EXPECT_FALSE(again.error);
  }
  EXPECT_EQ(sim_->connectionCount(), 2u);
}

TEST_F(StreamingSessionTest, CancelledTasksRunNoBlockEvenWhenAlreadyQueuedOnMain) {
  sim_->add(Reply::messages({R"({"a":1})", R"({"b":2})"}));
  sim_->add(Reply::messages({R"({"c":3})"}));
  Outcome cancelled;
  send(cancelled);
  ASSERT_TRUE(sim_->waitForRequests(1, 5000ms));
  Outcome kept;
  const HttpTaskId keptId = send(kept);
  waitUntilHandedToMain();
  // Everything of both tasks now waits on the main queue.
  manager_->cancelAllRequests();
  runPending();
  EXPECT_TRUE(cancelled.pieces.empty());
  EXPECT_EQ(cancelled.completions, 0);
  EXPECT_TRUE(kept.pieces.empty());
  EXPECT_EQ(kept.completions, 0);
  manager_->cancel(keptId);  // already gone: nothing happens

  // One task cancelled, the other goes on.
  Reply slow = Reply::messages({R"({"slow":1})", R"({"slow":2})"});
  slow.pieces[1].waitForRelease = true;
  sim_->add(slow, sim::ReplyMatch{std::nullopt, "Purchase"});
  sim_->add(Reply::messages({R"({"fast":1})"}), sim::ReplyMatch{std::nullopt, "Abort"});
  Outcome stopped;
  const HttpTaskId stoppedId = send(stopped, R"({"serviceType":"Purchase"})");
  ASSERT_TRUE(main().runUntil([&] { return stopped.pieces.size() == 1; }));
  Outcome running;
  send(running, R"({"serviceType":"Abort"})");
  manager_->cancel(stoppedId);
  sim_->release();
  ASSERT_TRUE(finished(running));
  EXPECT_EQ(running.text, R"({"fast":1})");
  runPending();
  EXPECT_EQ(stopped.pieces.size(), 1u);
  EXPECT_EQ(stopped.completions, 0);
}

TEST_F(StreamingSessionTest, LogsTheRequestAndTheResponseShortenedFromAThousandCharacters) {
  platform::ScopedLogCapture log;
  const std::string longBody = "[\"" + std::string(1496, 'x') + "\"]";
  const std::string shortBody = "[\"" + std::string(995, 'y') + "\"]";
  for (const std::string& body : {longBody, shortBody}) {
    sim_->add(Reply::messages({body}));
    Outcome out;
    send(out);
    ASSERT_TRUE(finished(out));
  }
  EXPECT_TRUE(log.contains("Sending json request to: " + sim_->url()));
  EXPECT_TRUE(log.contains("Request completed successfully. Response length: 1500 characters"));
  EXPECT_TRUE(log.contains("Response XML (truncated): " + longBody.substr(0, 100) + "..."));
  EXPECT_FALSE(log.contains(longBody));
  EXPECT_TRUE(log.contains("Request completed successfully. Response length: 999 characters"));
  EXPECT_TRUE(log.contains("Full response XML: " + shortBody));
}

TEST(ContentTypeTest, ComparesMimeTypesWithoutParametersOrCase) {
  const std::vector<std::string> accepted = {"application/json", "text/json"};
  EXPECT_TRUE(isAcceptedContentType("application/json", accepted));
  EXPECT_TRUE(isAcceptedContentType("Application/JSON; charset=utf-8", accepted));
  EXPECT_TRUE(isAcceptedContentType(" text/json ;charset=gbk", accepted));
  EXPECT_FALSE(isAcceptedContentType("text/xml", accepted));
  EXPECT_FALSE(isAcceptedContentType("application/json5", accepted));
  EXPECT_FALSE(isAcceptedContentType(std::nullopt, accepted));
}

}  // namespace
}  // namespace veltrix::transport
