#include "sim/http_simulator.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/default_scenario.h"
#include "sim/scenario.h"

namespace veltrix::sim {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// A plain TCP client, so the simulator is checked byte for byte without the
// library's HTTP stack.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) : socket_(io_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
  }

  void send(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }

  // Reads until `done(received)` holds, the peer closes, or `timeout` passes.
  std::string readUntil(const std::function<bool(const std::string&)>& done,
                        std::chrono::milliseconds timeout = 3000ms) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done(out)) {
      bool finished = false;
      asio::error_code ec;
      std::size_t n = 0;
      socket_.async_read_some(asio::buffer(buffer_), [&](asio::error_code e, std::size_t m) {
        ec = e;
        n = m;
        finished = true;
      });
      io_.restart();
      io_.run_until(deadline);
      if (!finished) {
        socket_.cancel();
        io_.restart();
        io_.run();
        timedOut = true;
        break;
      }
      if (ec) {
        error = ec;
        break;
      }
      out.append(buffer_.data(), n);
    }
    return out;
  }

  std::string readToEnd(std::chrono::milliseconds timeout = 3000ms) {
    return readUntil([](const std::string&) { return false; }, timeout);
  }

  asio::error_code error;
  bool timedOut = false;

 private:
  asio::io_context io_;
  asio::ip::tcp::socket socket_;
  std::array<char, 4096> buffer_{};
};

std::string post(const std::string& body, const std::string& extra = "") {
  return "POST / HTTP/1.1\r\nHost: sim\r\nContent-Type: application/json\r\n" + extra +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

auto endsWith(const std::string& tail) {
  return [tail](const std::string& text) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  };
}

class HttpSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = HttpSimulator::start("127.0.0.1", 0);
    ASSERT_TRUE(sim_);
    Scenario scenario;
    scenario.setDefaultsEnabled(false);
    sim_->setScenario(std::move(scenario));
  }
  std::unique_ptr<HttpSimulator> sim_;
};

TEST_F(HttpSimulatorTest, WritesEachFramingExactlyAndKeepsTheConnectionAlive) {
  Reply chunked = Reply::messages({R"({"a":1})", "", R"({"bb":22})"});
  sim_->add(chunked);
  Reply sized = Reply::messages({"abc", "de"});
  sized.framing = Framing::kContentLength;
  sized.contentType = "text/json";
  sized.headers = {{"X-Sim", "1"}};
  sim_->add(sized);

  RawClient client(sim_->port());
  client.send(post(R"({"serviceType":"Purchase"})", "X-Trace: t1\r\n"));
  EXPECT_EQ(client.readUntil(endsWith("0\r\n\r\n")),
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
            "Transfer-Encoding: chunked\r\n\r\n"
            "7\r\n{\"a\":1}\r\n9\r\n{\"bb\":22}\r\n0\r\n\r\n");
  client.send(post("{}"));
  EXPECT_EQ(client.readUntil(endsWith("abcde")),
            "HTTP/1.1 200 OK\r\nContent-Type: text/json\r\nContent-Length: 5\r\n"
            "X-Sim: 1\r\n\r\nabcde");

  const auto requests = sim_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].connection, 1u);
  EXPECT_EQ(requests[1].connection, 1u);
  EXPECT_EQ(sim_->connectionCount(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/");
  EXPECT_EQ(requests[0].body, R"({"serviceType":"Purchase"})");
  EXPECT_EQ(requests[0].header("x-trace"), "t1");
  EXPECT_EQ(requests[0].headers.front(), (std::pair<std::string, std::string>{"Host", "sim"}));
  EXPECT_EQ(requests[0].jsonText("serviceType"), "Purchase");
}

TEST_F(HttpSimulatorTest, CloseDelimitedBodiesAndFaultsEndTheConnection) {
  Reply closing = Reply::messages({"{}", "[]"});
  closing.framing = Framing::kClose;
  closing.status = 500;
  closing.reason = "Internal Server Error";
  closing.contentType = std::nullopt;
  sim_->add(closing);
  RawClient first(sim_->port());
  first.send(post("{}"));
  EXPECT_EQ(first.readToEnd(),
            "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\n{}[]");
  EXPECT_EQ(first.error, asio::error::eof);

  Reply silent;
  silent.fault = Fault::kCloseWithoutData;
  sim_->add(silent);
  RawClient second(sim_->port());
  second.send(post("{}"));
  EXPECT_EQ(second.readToEnd(), "");
  EXPECT_EQ(second.error, asio::error::eof);

  Reply reset = Reply::messages({"{\"a\""});
  reset.fault = Fault::kReset;
  sim_->add(reset);
  RawClient third(sim_->port());
  third.send(post("{}"));
  const std::string partial = third.readToEnd();
  EXPECT_EQ(third.error, asio::error::connection_reset) << partial;

  Reply held = Reply::messages({"{"});
  held.fault = Fault::kHoldOpen;
  held.holdLimit = 50ms;
  sim_->add(held);
  RawClient fourth(sim_->port());
  fourth.send(post("{}"));
  EXPECT_TRUE(endsWith("1\r\n{\r\n")(fourth.readToEnd()));
  EXPECT_EQ(fourth.error, asio::error::eof);  // closed by the hold limit
  EXPECT_FALSE(fourth.timedOut);
}

TEST_F(HttpSimulatorTest, RepliesWaitingForReleaseGoOnOneReleaseAtATime) {
  Reply gated = Reply::messages({"one", "two"});
  gated.framing = Framing::kContentLength;
  gated.waitForRelease = true;
  gated.pieces[1].waitForRelease = true;
  sim_->add(gated);
  RawClient client(sim_->port());
  client.send(post("{}"));
  EXPECT_EQ(client.readUntil(endsWith("x"), 100ms), "");
  EXPECT_TRUE(client.timedOut);
  sim_->release();
  EXPECT_TRUE(endsWith("\r\n\r\none")(client.readUntil(endsWith("one"))));
  sim_->release();
  EXPECT_EQ(client.readUntil(endsWith("two")), "two");

  // A release made before anything waits is kept for the next one.
  Reply later = Reply::plain(204, "No Content", "", std::nullopt);
  later.waitForRelease = true;
  sim_->add(later);
  sim_->release();
  client.send(post("{}"));
  EXPECT_EQ(client.readUntil(endsWith("\r\n\r\n")),
            "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n");
}

TEST_F(HttpSimulatorTest, MalformedRequestsGet400AndUnscriptedOnes404) {
  RawClient client(sim_->port());
  client.send(post("{}"));
  EXPECT_TRUE(client.readUntil(endsWith("\n")).rfind("HTTP/1.1 404 Not Found\r\n", 0) == 0);
  RawClient bad(sim_->port());
  bad.send("NONSENSE\r\n\r\n");
  EXPECT_TRUE(bad.readToEnd().rfind("HTTP/1.1 400 Bad Request\r\n", 0) == 0);
  EXPECT_TRUE(sim_->waitForRequests(1, 1000ms));
  sim_->stop();
  EXPECT_EQ(sim_->openConnectionCount(), 0u);
}

RecordedRequest casp(const std::string& body) {
  RecordedRequest request;
  // Moved in from whole strings: GCC 12 at -O3 misjudges the bound of a
  // literal's copy here (stringop-overflow).
  request.method = std::string("POST");
  request.target = std::string("/");
  request.body = body;
  return request;
}

std::vector<json> messagesOf(const Reply& reply) {
  std::vector<json> out;
  for (const Piece& piece : reply.pieces) out.push_back(json::parse(piece.bytes));
  return out;
}

// Two terminals keep apart what each approved and answer as themselves.
TEST(DefaultScenarioTest, EachServerAnswersAsItsOwnTerminal) {
  auto first = HttpSimulator::start("127.0.0.1", 0);
  auto second = HttpSimulator::start("127.0.0.1", 0);
  ASSERT_TRUE(first && second);
  second->setSerial("TAVIO-SIM-0002");
  for (auto* sim : {first.get(), second.get()}) {
    Scenario scenario;
    scenario.setDefaultDelay(Millis(0));
    sim->setScenario(std::move(scenario));
  }
  RawClient client(second->port());
  client.send(post(R"({"exchangeIdentification":"E1","serviceType":"Purchase",)"
                   R"("request":{"totalAmount":"2.50","currency":"EUR"}})"));
  const std::string answer = client.readUntil(endsWith("0\r\n\r\n"));
  EXPECT_NE(answer.find(R"("poiIdentificationId": "TAVIO-SIM-0002")"), std::string::npos);
  EXPECT_EQ(answer.find(kTerminalSerial), std::string::npos);
  ASSERT_EQ(second->ledger().totals().size(), 1u);
  EXPECT_EQ(second->ledger().totals()[0].amount, "2.50");
  EXPECT_TRUE(first->ledger().totals().empty());
}

TEST(DefaultScenarioTest, TwoNotificationsThenAResponseEchoingTheRequest) {
  const Reply reply = defaultReply(casp(R"({
    "exchangeIdentification": "0123456789ABCDEF0123456789ABCDEF",
    "serviceType": "Purchase",
    "initiatingPartyId": "POS-1",
    "request": {"totalAmount": "12.50", "currency": "EUR", "transactionReference": "R-77",
                "cashBack": "2.00"}})"),
                                   Millis(5));
  ASSERT_EQ(reply.status, 200);
  ASSERT_EQ(reply.pieces.size(), 3u);
  for (const Piece& piece : reply.pieces) EXPECT_EQ(piece.delay, Millis(5));
  const std::vector<json> m = messagesOf(reply);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m[i]["serviceType"], "EventNotification");
    EXPECT_EQ(m[i]["exchangeIdentification"], "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(m[i]["endFlag"], false);
    EXPECT_TRUE(m[i]["response"]["event"].is_string());
  }
  const json& response = m[2];
  EXPECT_EQ(response["serviceType"], "Purchase");
  EXPECT_EQ(response["exchangeIdentification"], "0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(response["recipientPartyId"], "POS-1");
  EXPECT_EQ(response["contentType"], "caspResp");
  EXPECT_EQ(response["endFlag"], true);
  EXPECT_EQ(response["response"]["response"], "SUCC");
  EXPECT_EQ(response["response"]["totalAmount"], "12.50");
  EXPECT_EQ(response["response"]["currency"], "EUR");
  EXPECT_EQ(response["response"]["transactionReference"], "R-77");
  EXPECT_EQ(response["response"]["cashback"], "2.00");
}

TEST(DefaultScenarioTest, EveryServiceTypeGetsWellFormedMessages) {
  for (const char* type :
       {"Refund", "Reversal", "BalanceInquiry", "Reconciliation", "Abort", "Display", "Printer",
        "Reprint", "NFCTag", "Transmit Message", "Card Auth", "Message Status", "Unheard Of"}) {
    const Reply reply =
        defaultReply(casp(fmt::format(R"({{"exchangeIdentification":"A\"B","serviceType":"{}",)"
                                      R"("request":{{"orgTransactionReference":"O-1"}}}})",
                                      type)),
                     Millis(0));
    ASSERT_EQ(reply.pieces.size(), 3u) << type;
    const std::vector<json> m = messagesOf(reply);
    EXPECT_EQ(m[2]["serviceType"], type);
    EXPECT_EQ(m[2]["exchangeIdentification"], "A\"B");
    EXPECT_TRUE(m[2]["response"].is_object()) << type;
    if (std::string(type) == "Refund") {
      EXPECT_EQ(m[2]["response"]["orgTransactionReference"], "O-1");
    }
    if (std::string(type) == "BalanceInquiry") {
      EXPECT_EQ(m[2]["response"]["currentBalance"], "1000.00");
    }
  }
  EXPECT_EQ(defaultReply(casp("not json"), Millis(0)).status, 400);
  RecordedRequest head;
  head.method = "HEAD";
  EXPECT_EQ(defaultReply(head, Millis(0)).body(), "");
}

TEST(ScenarioTest, ScriptsMatchSubstituteAndCut) {
  std::string error;
  auto scenario = Scenario::fromJson(R"({
    "defaults": false,
    "replies": [
      {"match": {"serviceType": "Abort"}, "messages": ["{\"ex\":\"${exchangeIdentification}\"}"]},
      {"match": {"method": "GET"}, "status": 503, "reason": "Busy",
       "messages": ["abc", "def"], "cuts": [1, 5], "cutDelayMs": 2, "fault": "hold-open",
       "holdMs": 20},
      {"repeat": true, "framing": "content-length", "contentType": null,
       "messages": [{"text": "abcdef", "delayMs": 7, "splitAt": [2, 4], "pieceDelayMs": 3},
                    "gh"]}
    ]})",
                                     &error);
  ASSERT_TRUE(scenario) << error;

  const Reply repeated = scenario->replyFor(casp(R"({"serviceType":"Purchase"})"));
  EXPECT_EQ(repeated.framing, Framing::kContentLength);
  EXPECT_EQ(repeated.contentType, std::nullopt);
  ASSERT_EQ(repeated.pieces.size(), 4u);
  EXPECT_EQ(repeated.pieces[0].bytes, "ab");
  EXPECT_EQ(repeated.pieces[0].delay, Millis(7));
  EXPECT_EQ(repeated.pieces[1].bytes, "cd");
  EXPECT_EQ(repeated.pieces[1].delay, Millis(3));
  EXPECT_EQ(repeated.pieces[3].bytes, "gh");
  EXPECT_EQ(scenario->replyFor(casp("{}")).body(), "abcdefgh");  // still there

  const Reply abort = scenario->replyFor(casp(R"({"serviceType":"Abort",
                                                  "exchangeIdentification":"E\"9"})"));
  EXPECT_EQ(abort.body(), R"({"ex":"E\"9"})");
  EXPECT_EQ(scenario->replyFor(casp(R"({"serviceType":"Abort"})")).body(), "abcdefgh");

  RecordedRequest get;
  get.method = "GET";
  const Reply cut = scenario->replyFor(get);
  EXPECT_EQ(cut.status, 503);
  EXPECT_EQ(cut.fault, Fault::kHoldOpen);
  EXPECT_EQ(cut.holdLimit, Millis(20));
  ASSERT_EQ(cut.pieces.size(), 3u);
  EXPECT_EQ(cut.pieces[0].bytes, "a");
  EXPECT_EQ(cut.pieces[1].bytes, "bcde");
  EXPECT_EQ(cut.pieces[2].bytes, "f");
  EXPECT_EQ(cut.pieces[2].delay, Millis(2));
}

TEST(ScenarioTest, BadScriptsAreRefusedWithAReason) {
  for (const char* text :
       {"[]", "{", R"({"replies":[{"framing":"pigeon"}]})", R"({"replies":[{"fault":"flood"}]})",
        R"({"replies":[{"headerDelayMs":"soon"}]})"}) {
    std::string error;
    EXPECT_FALSE(Scenario::fromJson(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  std::string error;
  EXPECT_FALSE(Scenario::fromFile("/nonexistent/scenario.json", &error));
  EXPECT_NE(error.find("/nonexistent/scenario.json"), std::string::npos);
}

}  // namespace
}  // namespace veltrix::sim
