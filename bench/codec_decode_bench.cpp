// Decoding of a fully filled payment response, the message every payment
// ends with: parse, header, body, lists, callback.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/codec/financial_rspn_builders.h"

namespace {

using namespace veltrix::codec;

std::string paymentResponse() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "tests" /
                    "codec" / "fixtures" / "payment_full.json";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CountingDelegate : PaymentRspnParserDelegate {
  std::size_t calls = 0;
  void onPaymentResponse(std::shared_ptr<const veltrix::model::PaymentResult>, const std::string&,
                         bool) override {
    ++calls;
  }
};

void BM_DecodePaymentResponse(benchmark::State& state) {
  const std::string text = paymentResponse();
  auto delegate = std::make_shared<CountingDelegate>();
  for (auto _ : state) {
    PaymentRspnParser parser;
    parser.setDelegate(delegate);
    parser.startParser(text);
    benchmark::DoNotOptimize(parser.result());
  }
  if (delegate->calls != static_cast<std::size_t>(state.iterations())) {
    state.SkipWithError("the fixture did not decode");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_DecodePaymentResponse);

void BM_ParseEventNotificationBody(benchmark::State& state) {
  const veltrix::platform::Json body = veltrix::platform::Json::parse(R"({
    "recipientPartyIdentification": "TV2024000123", "response": "SUCC",
    "responseReason": "WIPG", "additionalResponseInformation": "insert card",
    "event": "crdi", "eventTime": "1769868312345"})");
  for (auto _ : state) {
    benchmark::DoNotOptimize(EventNotificationParamBuilder::parseBodyFromDictionary(&body));
  }
}
BENCHMARK(BM_ParseEventNotificationBody);

}  // namespace
