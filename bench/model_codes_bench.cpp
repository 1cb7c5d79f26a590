// The code tables sit on every encode and decode: the encoders turn values
// into codes, the decoders turn codes back into values.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"

namespace {

using namespace veltrix::model;

void BM_ResponseCodeToString(benchmark::State& state) {
  std::int64_t v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ResponseCodeHelper::stringFromCode(static_cast<ResponseCode>(v)));
    v = (v + 1) & 3;
  }
}
BENCHMARK(BM_ResponseCodeToString);

void BM_RefusalReasonToString(benchmark::State& state) {
  // The longest codes, past the small-string buffer.
  std::int64_t v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        RefusalReasonCodeHelper::stringFromCode(static_cast<RefusalReasonCode>(v)));
    v = (v + 1) % 24;
  }
}
BENCHMARK(BM_RefusalReasonToString);

void BM_ResponseCodeFromString(benchmark::State& state) {
  const std::array<std::string, 4> texts{"SUCC", "fail", "WARN", " PART"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ResponseCodeHelper::codeFromString(texts[i]));
    i = (i + 1) & 3;
  }
}
BENCHMARK(BM_ResponseCodeFromString);

void BM_EventCodeFromString(benchmark::State& state) {
  // The largest table; "PINE" is its last code and "NONE" no code at all.
  const std::array<std::string, 4> texts{"ABRT", "PINE", "pine", "NONE"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(EventToNotifyCodeHelper::codeFromString(texts[i]));
    i = (i + 1) & 3;
  }
}
BENCHMARK(BM_EventCodeFromString);

void BM_TransactionTypeFromString(benchmark::State& state) {
  const std::array<std::string, 4> texts{"SCDP", "CASH_RFND", "RESA", "scdp"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TransactionTypeHelper::transactionTypeFromString(texts[i]));
    i = (i + 1) & 3;
  }
}
BENCHMARK(BM_TransactionTypeFromString);

void BM_CurrencyToAlphaCode(benchmark::State& state) {
  std::int64_t v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(static_cast<ISO4217ActiveCurrency>(v)));
    v = (v + 37) % 180;
  }
}
BENCHMARK(BM_CurrencyToAlphaCode);

void BM_CurrencyFromAlphaCode(benchmark::State& state) {
  const std::array<std::string, 4> texts{"CNY", "usd", "EUR", "ZZZ"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(texts[i]));
    i = (i + 1) & 3;
  }
}
BENCHMARK(BM_CurrencyFromAlphaCode);

void BM_CurrencyFromNumericCode(benchmark::State& state) {
  const std::array<std::string, 4> texts{"156", "840", "008", "000"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ISO4217ActiveCurrencyHelper::currencyFromNumericCode(texts[i]));
    i = (i + 1) & 3;
  }
}
BENCHMARK(BM_CurrencyFromNumericCode);

void BM_CurrencyDisplayName(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ISO4217ActiveCurrencyHelper::displayNameForCurrency(ISO4217ActiveCurrency::EUR));
  }
}
BENCHMARK(BM_CurrencyDisplayName);

}  // namespace
