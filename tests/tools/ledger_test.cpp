#include "sim/ledger.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/default_scenario.h"

namespace veltrix::sim {
namespace {

using nlohmann::json;

RecordedRequest casp(const std::string& serviceType, const std::string& request) {
  RecordedRequest r;
  r.method = "POST";
  r.body = R"({"exchangeIdentification":"EX","serviceType":")" + serviceType + R"(","request":)" +
           request + "}";
  return r;
}

json responseOf(const Reply& reply) { return json::parse(reply.pieces.back().bytes); }

TEST(LedgerTest, SumsExactlyPerCurrencyAndKind) {
  Ledger ledger;
  ledger.record("EUR", "DEBT", "12.50");
  ledger.record("EUR", "CRDT", "12.50");
  ledger.record("EUR", "DEBT", "0.125");
  ledger.record("JPY", "DEBT", "500");
  ledger.record("JPY", "DEBT", "1200");
  ledger.record("EUR", "DEBT", "0.1");
  // Counted, but adds nothing.
  for (const char* junk : {"", "-3.00", "1e3", "1.", ".5", "12.345678", "9999999999999"}) {
    ledger.record("USD", "DEBT", junk);
  }
  const std::vector<LedgerTotal> totals = ledger.totals();
  ASSERT_EQ(totals.size(), 4u);
  EXPECT_EQ(totals[0].currency, "EUR");
  EXPECT_EQ(totals[0].type, "DEBT");
  EXPECT_EQ(totals[0].count, 3u);
  EXPECT_EQ(totals[0].amount, "12.725");
  EXPECT_EQ(totals[1].type, "CRDT");
  EXPECT_EQ(totals[1].count, 1u);
  EXPECT_EQ(totals[1].amount, "12.50");
  EXPECT_EQ(totals[2].currency, "JPY");
  EXPECT_EQ(totals[2].amount, "1700");
  EXPECT_EQ(totals[3].count, 7u);
  EXPECT_EQ(totals[3].amount, "0");
}

TEST(LedgerTest, OnlySettledCardServicesCount) {
  EXPECT_EQ(Ledger::totalsTypeOf("Purchase"), "DEBT");
  EXPECT_EQ(Ledger::totalsTypeOf("PreAuth Completion"), "DEBT");
  EXPECT_EQ(Ledger::totalsTypeOf("Refund"), "CRDT");
  for (const char* other : {"PreAuth", "BalanceInquiry", "Reconciliation", "Reversal", "Abort"}) {
    EXPECT_EQ(Ledger::totalsTypeOf(other), std::nullopt) << other;
  }
}

// The demo's run: a payment, its refund, then the reconciliation, which
// reports both in their currency, from the terminal that took them.
TEST(LedgerTest, ReconciliationReportsWhatTheTerminalApproved) {
  Ledger ledger;
  const std::string serial = "TAVIO-SIM-0042";
  const Millis gap{0};
  const json paid = responseOf(defaultReply(
      casp("Purchase", R"({"totalAmount":"12.50","currency":"EUR"})"), gap, serial, &ledger));
  EXPECT_EQ(paid["initiatingPartyId"], serial);
  EXPECT_EQ(paid["response"]["poiIdentificationId"], serial);
  defaultReply(casp("Refund", R"({"totalAmount":"12.50","currency":"EUR"})"), gap, serial, &ledger);
  defaultReply(casp("Purchase", R"({"totalAmount":"3.00","currency":"USD"})"), gap, serial,
               &ledger);
  defaultReply(casp("PreAuth", R"({"totalAmount":"99.00","currency":"EUR"})"), gap, serial,
               &ledger);

  const Reply reply = defaultReply(casp("Reconciliation", R"({"reconciliationType":"AREC"})"), gap,
                                   serial, &ledger);
  const json notification = json::parse(reply.pieces.front().bytes);
  EXPECT_EQ(notification["initiatingPartyId"], serial);
  const json body = responseOf(reply)["response"];
  EXPECT_EQ(body["poiIdentificationId"], serial);
  ASSERT_EQ(body["transTotalsSets"].size(), 1u);
  const json& set = body["transTotalsSets"][0];
  EXPECT_EQ(set["poiIdentification"], serial);
  EXPECT_EQ(set["paymentInstrumentTypeCode"], "CARD");
  const json expected = json::parse(R"([
    {"transactionTotalsType":"DEBT","totalNum":"1","totalAmount":"12.50","activeCurrency":"EUR"},
    {"transactionTotalsType":"CRDT","totalNum":"1","totalAmount":"12.50","activeCurrency":"EUR"},
    {"transactionTotalsType":"DEBT","totalNum":"1","totalAmount":"3.00","activeCurrency":"USD"}])");
  EXPECT_EQ(set["transactionTotals"], expected);

  // A terminal that approved nothing has no totals lines.
  const json empty = responseOf(defaultReply(casp("Reconciliation", "{}"), gap));
  EXPECT_EQ(empty["response"]["transTotalsSets"][0]["transactionTotals"], json::array());
  EXPECT_EQ(empty["response"]["poiIdentificationId"], kTerminalSerial);
}

}  // namespace
}  // namespace veltrix::sim
