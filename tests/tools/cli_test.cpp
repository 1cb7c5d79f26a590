// veltrix-cli as a user runs it: separate processes against tavio-sim on
// loopback, JSON output read line by line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"
#include "veltrix/registry/database_manager.h"

namespace veltrix {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::ChildProcess;
using testing::runCommand;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(cli_) || !std::filesystem::exists(testing::builtProgram(kSim))) {
      GTEST_SKIP() << "veltrix-cli or tavio-sim is not built next to the tests";
    }
    ASSERT_NO_FATAL_FAILURE(startSim({}, sim_, address_));
  }

  // Starts tavio-sim on loopback with `extra` arguments; `address` receives
  // its HOST:PORT.
  static void startSim(const std::vector<std::string>& extra, std::unique_ptr<ChildProcess>& sim,
                       std::string& address) {
    std::vector<std::string> args = {testing::builtProgram(kSim).string(), "--http", "127.0.0.1:0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string error;
    sim = ChildProcess::spawn(args, {}, &error);
    ASSERT_TRUE(sim) << error;
    ASSERT_TRUE(sim->waitForOutput("listening on http://", 5000ms)) << sim->output();
    const std::string& out = sim->output();
    const std::size_t from = out.find("http://") + 7;
    address = out.substr(from, out.find('\n', from) - from);
  }

  // Runs veltrix-cli with the data directory of this test.
  testing::CommandResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), {cli_.string(), "--data-dir", data_.path().string()});
    return runCommand(args, 30000ms);
  }

  // Every line of `output` as JSON; a line that is not fails the test.
  static std::vector<json> jsonLines(const std::string& output) {
    std::vector<json> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
      json value = json::parse(line, nullptr, false);
      EXPECT_TRUE(value.is_object()) << "not a JSON object: " << line;
      lines.push_back(std::move(value));
    }
    return lines;
  }

  // The lines of one request that succeeded: exchange, notifications of
  // that exchange, one final result. Returns the result's text.
  static std::string expectExchange(const std::vector<json>& lines, std::string* exchangeId) {
    EXPECT_GE(lines.size(), 2u);
    if (lines.size() < 2) return "";
    EXPECT_EQ(lines.front()["type"], "exchange");
    const std::string id = lines.front().value("exchangeId", "");
    EXPECT_EQ(id.size(), 32u);
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
      EXPECT_EQ(lines[i]["type"], "notification");
      EXPECT_EQ(lines[i]["exchangeId"], id);
      EXPECT_TRUE(lines[i]["event"].is_string());
    }
    const json& result = lines.back();
    EXPECT_EQ(result["type"], "result");
    EXPECT_EQ(result["code"], 0);
    EXPECT_TRUE(result["message"].is_null());
    EXPECT_EQ(result["endFlag"], true);
    if (exchangeId) *exchangeId = id;
    return result.value("text", "");
  }

  static constexpr const char* kSim = "tools/sim/tavio-sim";
  const std::filesystem::path cli_ = testing::builtProgram("tools/cli/veltrix-cli");
  testing::TempDir data_;
  std::unique_ptr<ChildProcess> sim_;
  std::string address_;
};

TEST_F(CliTest, PaymentRefundAndReconciliationInJsonMode) {
  testing::CommandResult run = cli({"--json", "payment", "--address", address_, "--amount", "12.50",
                                    "--currency", "EUR", "--reference", "POS-1"});
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<json> lines = jsonLines(run.output);
  std::string paymentId;
  std::string text = expectExchange(lines, &paymentId);
  EXPECT_EQ(lines.size(), 4u) << run.output;  // two notifications
  EXPECT_NE(text.find("Total Amount: 12.50"), std::string::npos) << text;
  EXPECT_NE(text.find("Currency: EUR"), std::string::npos) << text;

  // No --currency: the refund is in the currency the usage text names.
  run = cli(
      {"refund", "--address", address_, "--org-reference", "POS-1", "--amount", "12.50", "--json"});
  ASSERT_EQ(run.status, 0) << run.output;
  std::string refundId;
  text = expectExchange(jsonLines(run.output), &refundId);
  EXPECT_NE(text.find("Original Transaction Reference: POS-1"), std::string::npos) << text;
  EXPECT_NE(text.find("Currency: USD"), std::string::npos) << text;

  run = cli({"--json", "reconciliation", "--address", address_});
  ASSERT_EQ(run.status, 0) << run.output;
  std::string reconciliationId;
  text = expectExchange(jsonLines(run.output), &reconciliationId);
  EXPECT_NE(text.find("reconciliationType: AREC"), std::string::npos) << text;

  // Each went to the terminal under its own exchange and is in the log.
  for (const std::string& id : {paymentId, refundId, reconciliationId}) {
    EXPECT_TRUE(sim_->waitForOutput("exchangeIdentification=" + id, 5000ms)) << id;
  }
  registry::DatabaseManager db(data_.path() / registry::kDatabaseFileName);
  EXPECT_EQ(registry::rowText(db.fetchCaspExchange(paymentId), "serviceType"), "Purchase");
  EXPECT_EQ(registry::rowText(db.fetchCaspExchange(refundId), "serviceType"), "Refund");
}

// One run of the demo, act by act: its reconciliation adds up what the
// terminal approved, the Bluetooth LE terminal answers as itself, and the
// last payment is picked on the scan screen, whose pictures are written.
TEST_F(CliTest, DemoAddsUpAndEndsOnTheScanScreen) {
  testing::CommandResult run = cli({"demo"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string& out = run.output;
  const std::size_t reconciliation = out.find("== Reconciliation");
  const std::size_t ble = out.find("== Payment of 8.00 EUR over Bluetooth LE");
  const std::size_t scan = out.find("== Payment of 12.50 EUR on a till that knows no terminal");
  ASSERT_NE(reconciliation, std::string::npos) << out;
  ASSERT_NE(ble, std::string::npos) << out;
  ASSERT_NE(scan, std::string::npos) << out;

  const std::string totals = out.substr(reconciliation, ble - reconciliation);
  EXPECT_NE(totals.find("activeCurrency=EUR, transactionTotalsType=DEBT, totalNum='1', "
                        "totalAmount='12.50'"),
            std::string::npos)
      << totals;
  EXPECT_NE(totals.find("activeCurrency=EUR, transactionTotalsType=CRDT, totalNum='1', "
                        "totalAmount='12.50'"),
            std::string::npos)
      << totals;
  EXPECT_EQ(totals.find("USD"), std::string::npos) << totals;

  const std::string bleAct = out.substr(ble, scan - ble);
  EXPECT_NE(bleAct.find("result 0"), std::string::npos) << bleAct;
  EXPECT_NE(bleAct.find("Transaction Reference: DEMO-0004"), std::string::npos) << bleAct;
  EXPECT_NE(bleAct.find("POI ID: TAVIO-SIM-0002"), std::string::npos) << bleAct;
  // It went to the Bluetooth LE terminal, which has no network address.
  const std::size_t from = bleAct.find("exchange ") + 9;
  const std::string id = bleAct.substr(from, bleAct.find('\n', from) - from);
  registry::DatabaseManager db(data_.path() / registry::kDatabaseFileName);
  const registry::Row exchange = db.fetchCaspExchange(id);
  EXPECT_EQ(registry::rowText(exchange, "sn"), "TAVIO-SIM-0002");
  EXPECT_FALSE(registry::rowText(exchange, "channelSource").has_value());

  const std::string scanAct = out.substr(scan);
  EXPECT_NE(scanAct.find("result 0"), std::string::npos) << scanAct;
  EXPECT_NE(scanAct.find("POI ID: TAVIO-SIM-0003"), std::string::npos) << scanAct;
  for (const char* picture : {"scan-1-searching.png", "scan-2-found.png", "scan-3-result.png"}) {
    const std::filesystem::path path = data_.path() / picture;
    EXPECT_NE(scanAct.find(": " + path.string() + "\n"), std::string::npos) << picture;
    std::ifstream in(path, std::ios::binary);
    std::string magic(8, '\0');
    in.read(magic.data(), 8);
    EXPECT_EQ(magic, "\x89PNG\r\n\x1a\n") << picture;
  }
}

TEST_F(CliTest, AbortOfALoggedExchangeGoesToItsTerminal) {
  testing::CommandResult run =
      cli({"--json", "payment", "--address", address_, "--amount", "1.00"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string paymentId = jsonLines(run.output).front().value("exchangeId", "");

  run = cli({"--json", "abort", "--org-exchange-id", paymentId});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<json> lines = jsonLines(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[1]["code"], 0);
  EXPECT_TRUE(lines[1]["text"].is_null());
  // The program waited for its message to reach the terminal.
  EXPECT_TRUE(sim_->waitForOutput("serviceType=Abort", 5000ms)) << sim_->output();
}

TEST_F(CliTest, TwoFinalAnswersInOnePiecePrintTheOneDeliveredAsFinal) {
  // This terminal writes two final answers in one piece; the facade hands
  // the host the first and ends the exchange there.
  const std::filesystem::path script = data_.path() / "two-finals.json";
  const std::string answer =
      R"({\"exchangeIdentification\":\"${exchangeIdentification}\",\"serviceType\":)"
      R"(\"Purchase\",\"contentType\":\"caspResp\",\"endFlag\":true,)"
      R"(\"response\":{\"response\":\"SUCC\",\"transactionReference\":\"REF\"}})";
  std::ofstream(script) << R"({"replies":[{"match":{"serviceType":"Purchase"},"messages":[")"
                        << answer << answer << R"("]}]})";
  std::unique_ptr<ChildProcess> sim;
  std::string address;
  ASSERT_NO_FATAL_FAILURE(startSim({"--script", script.string()}, sim, address));

  testing::CommandResult run = cli({"--json", "payment", "--address", address, "--amount", "1.00"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<json> lines = jsonLines(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  expectExchange(lines, nullptr);
}

// The example script of tavio-sim declines every payment: the answer comes
// as an approval does, and the exit status tells them apart.
TEST_F(CliTest, ADeclinedPaymentExitsWithThree) {
  const std::filesystem::path script = testing::sourceTree() / "tools/sim/declined-payment.json";
  std::unique_ptr<ChildProcess> sim;
  std::string address;
  ASSERT_NO_FATAL_FAILURE(startSim({"--script", script.string()}, sim, address));

  testing::CommandResult run =
      cli({"--json", "payment", "--address", address, "--amount", "12.50", "--currency", "EUR"});
  EXPECT_EQ(run.status, 3) << run.output;
  const std::string text = expectExchange(jsonLines(run.output), nullptr);
  EXPECT_NE(text.find("Response: FAIL"), std::string::npos) << text;
}

// What a user reads before the first run: the currency used when none is
// given, the exit statuses, and where tavio-sim's script format and example
// live (both files must exist).
TEST_F(CliTest, HelpNamesTheDefaultsTheExitStatusesAndTheScriptFormat) {
  const testing::CommandResult help = runCommand({cli_.string(), "--help"}, 10000ms);
  EXPECT_EQ(help.status, 0) << help.output;
  EXPECT_NE(help.output.find("without --currency the amount is in USD"), std::string::npos)
      << help.output;
  for (const char* status : {"  0  ", "  1  ", "  2  ", "  3  "}) {
    EXPECT_NE(help.output.find(status), std::string::npos) << status << help.output;
  }

  const std::string simHelp =
      runCommand({testing::builtProgram(kSim).string(), "--help"}, 10000ms).output;
  const std::size_t script = simHelp.find("  --script FILE  ");
  ASSERT_NE(script, std::string::npos) << simHelp;
  const std::string described = simHelp.substr(script, simHelp.find("discovery options") - script);
  for (const char* file : {"tools/sim/scenario.h", "tools/sim/declined-payment.json"}) {
    EXPECT_NE(described.find(file), std::string::npos) << file << simHelp;
    EXPECT_TRUE(std::filesystem::exists(testing::sourceTree() / file)) << file;
  }
}

TEST_F(CliTest, CodedErrorsExitWithTwo) {
  // Nothing listens there any more.
  sim_->stop();
  testing::CommandResult run =
      cli({"--json", "payment", "--address", address_, "--amount", "1.00"});
  EXPECT_EQ(run.status, 2) << run.output;
  std::vector<json> lines = jsonLines(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[1]["code"], -200);
  EXPECT_EQ(lines[1]["message"], "fail to ping terminal");

  // No destination and no screen to choose one on.
  run = cli({"--json", "balance"});
  EXPECT_EQ(run.status, 2) << run.output;
  lines = jsonLines(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[1]["code"], -101);
  EXPECT_EQ(lines[1]["message"], "Service not found");

  run = cli({"--json", "abort", "--org-exchange-id", "0123456789ABCDEF0123456789ABCDEF"});
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(jsonLines(run.output).back()["code"], -403);
}

TEST_F(CliTest, UsageErrorsExitWithOneAndOneLine) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"payment", "--text", "x"},
                                             {"payment", "--amount", "12,50"},
                                             {"payment", "--currency", "EURO"},
                                             {"payment", "--transaction-type", "NOPE"},
                                             {"print", "--address"},
                                             {"pay"},
                                             {"--json"},
                                             {"discover", "--seconds", "0"},
                                             {"refund", "--reference", "a", "--reference", "b"},
                                             // Every command that takes an amount needs it.
                                             {"payment", "--address", address_},
                                             {"refund", "--address", address_},
                                             {"reversal", "--address", address_},
                                             {"preauth", "--address", address_},
                                             {"completion", "--address", address_},
                                             {"adjustment", "--address", address_}}) {
    testing::CommandResult run = cli(args);
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.output.rfind("veltrix-cli: ", 0), 0u) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  }
  // None of them reached the terminal: the first request it logs is this one.
  ASSERT_EQ(cli({"balance", "--address", address_}).status, 0);
  ASSERT_TRUE(sim_->waitForOutput("serviceType=BalanceInquiry", 5000ms)) << sim_->output();
  const std::string& logged = sim_->output();
  EXPECT_EQ(logged.find("serviceType="), logged.find("serviceType=BalanceInquiry")) << logged;
}

}  // namespace
}  // namespace veltrix
