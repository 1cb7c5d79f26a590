// The database work of one exchange on a file on local disk: the exchange
// log alone (the exchange row, the request message and the response
// message, each its own commit), and everything a payment asks of the
// database, as the library did it before (every statement prepared afresh,
// the two inserts of the dispatch committed one by one) and does it now
// (statements prepared once, the two inserts in one commit).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "veltrix/registry/database_manager.h"

namespace {

using veltrix::registry::DatabaseManager;
using veltrix::registry::DbValue;
using veltrix::registry::Row;

const char* kRequest =
    R"({"exchangeIdentification":"0F1E2D3C4B5A69788796A5B4C3D2E1F0","creationDateTime":)"
    R"("2026-01-31T14:05:09.007+08:00","initiatingPartyType":"MERC","protocolVersion":"1.0.01",)"
    R"("contentType":"caspReq","serviceType":"Purchase","remoteAccessType":"LAN","request":)"
    R"({"transactionType":"PURC","amount":"100.00","currency":"CNY","pan":"6222021234567891234",)"
    R"("expiryDate":"2512","saleItems":[{"itemId":"1","name":"咖啡","amount":"100.00"}]}})";
const char* kResponse =
    R"({"exchangeIdentification":"0F1E2D3C4B5A69788796A5B4C3D2E1F0","creationDateTime":)"
    R"("2026-01-31T14:05:11.512+08:00","initiatingPartyType":"POI","protocolVersion":"1.0.01",)"
    R"("contentType":"caspResp","serviceType":"Purchase","endFlag":"true","response":)"
    R"({"responseCode":"SUCC","transactionType":"PURC","amount":"100.00","currency":"CNY",)"
    R"("maskedPan":"622202******1234","printReceipts":[{"documentQualifier":"CRCP","content":)"
    R"("商户存根 支付成功"}]}})";

// The exchange row of a purchase on the LAN terminal TV10001234.
Row exchangeRow(const std::string& id, const char* status) {
  return {{"exchangeId", DbValue(id)},
          {"status", DbValue(std::string(status))},
          {"initiatingPartyId", DbValue(std::string("TV10001234"))},
          {"channel", DbValue(std::string("LAN"))},
          {"channelSource", DbValue(std::string("192.168.1.20:8080"))},
          {"serviceType", DbValue(std::string("Purchase"))},
          {"packageName", DbValue(std::string("com.tavio.payment"))},
          {"serviceId", DbValue(std::string("3"))},
          {"isAborted", DbValue(std::string("0"))},
          {"initiatingCreateTime", DbValue(std::string("2026-01-31T14:05:09"))}};
}

class ExchangeLog : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    dir_ = std::filesystem::temp_directory_path() / "veltrix-database-bench";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    db_ = std::make_unique<DatabaseManager>(dir_ / "Lumetra.sqlite.tavio");
  }
  void TearDown(const benchmark::State&) override {
    db_.reset();
    std::filesystem::remove_all(dir_);
  }

 protected:
  std::filesystem::path dir_;
  std::unique_ptr<DatabaseManager> db_;
};

BENCHMARK_F(ExchangeLog, OneExchange)(benchmark::State& state) {
  std::int64_t n = 0;
  for (auto _ : state) {
    const std::string id = std::to_string(++n);
    const Row exchange = exchangeRow(id, "0");
    if (!db_->insertCaspExchange(exchange) || !db_->insertCaspExchangeMsg(id, "1", kRequest) ||
        !db_->insertCaspExchangeMsg(id, "2", kResponse)) {
      state.SkipWithError("insert failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// What a payment to a designated terminal asks of the database: the choice
// of its service (settings, remembered service, stale services, the
// terminal and its services), the request's exchange and message, and the
// response message. Arg 0: as before; arg 1: as now.
BENCHMARK_DEFINE_F(ExchangeLog, PerPayment)(benchmark::State& state) {
  const bool now = state.range(0) == 1;
  db_->setStatementCache(now);
  db_->upsertSetting("DESTINATION_SN", "TV10001234");
  db_->insertDiscoveredTerminal("TV10001234", "T2", "192.168.1.20:8080", "http", "", 1, 0, 0, "1",
                                "1", "");
  db_->insertTerminalServices("TV10001234", "Purchase", "Purchase", "com.tavio.payment", "3", "Pay",
                              1, "1", "1", "payment");
  std::int64_t n = 0;
  for (auto _ : state) {
    const std::string id = std::to_string(++n);
    benchmark::DoNotOptimize(db_->fetchSetting("DefultTerminslByIp"));
    benchmark::DoNotOptimize(db_->fetchSetting("CommunicateTypeByLan"));
    benchmark::DoNotOptimize(db_->fetchSetting("Purchase"));
    benchmark::DoNotOptimize(db_->fetchRememberServicesWithType("Purchase"));
    benchmark::DoNotOptimize(db_->fetchSetting("DESTINATION_SN"));
    benchmark::DoNotOptimize(db_->fetchDiscoveredTerminal("TV10001234"));
    benchmark::DoNotOptimize(db_->fetchTerminalServicesByLatestUpdate());
    benchmark::DoNotOptimize(db_->fetchTerminalServicesWithServiceTypeSn("Purchase", "TV10001234"));
    benchmark::DoNotOptimize(db_->fetchSetting("deviceAcessList"));
    const Row exchange = exchangeRow(id, "1");
    bool stored = false;
    if (now) {
      stored = db_->insertCaspExchangeWithRequest(exchange, kRequest);
    } else {
      stored = db_->insertCaspExchangeMsg(id, "1", kRequest) && db_->insertCaspExchange(exchange);
    }
    if (!stored || !db_->insertCaspExchangeMsg(id, "2", kResponse)) {
      state.SkipWithError("insert failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(now ? "now: prepared once, one commit for the request" : "before");
}
BENCHMARK_REGISTER_F(ExchangeLog, PerPayment)->Arg(0)->Arg(1);

}  // namespace
