// The load run at full counts, through RetailerManager against the simulated
// terminal on loopback: 1,000 payments one after another, and 50 in flight
// at once on separate exchanges (20 rounds, 1,000 payments). Each run checks
// that every result reached its own block once and that the exchange log
// holds one row per exchange, and reports the growth of open files and of
// resident memory over the run, measured after a first round that sets up
// what lives for the process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "support/payment_load.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"

namespace {

using namespace std::chrono_literals;
using veltrix::testing::PaymentLoad;

constexpr auto kLimit = 600000ms;

// One load over a data directory of its own, living for the program.
PaymentLoad& load() {
  static PaymentLoad* instance = [] {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("veltrix-load-bench-" + veltrix::platform::newUuid().substr(0, 8));
    std::filesystem::create_directories(dir);
    veltrix::platform::setDocumentsDir(dir);
    veltrix::platform::MainLoop::shared().bindCurrentThread();
    auto* made = new PaymentLoad(dir);
    made->oneAfterAnother(20, kLimit);
    made->inFlight(20, kLimit);
    made->settle(10s);
    return made;
  }();
  return *instance;
}

void record(benchmark::State& state, const PaymentLoad::Report& report, std::size_t files,
            std::size_t memory) {
  if (!report.clean()) {
    state.SkipWithError("a result was lost, repeated, misdelivered or logged wrongly");
  }
  if (!load().settle(10s)) state.SkipWithError("transfers still open");
  state.counters["payments"] = static_cast<double>(report.payments);
  state.counters["approved_once"] = static_cast<double>(report.approved);
  state.counters["logged_once"] = static_cast<double>(report.loggedOnce);
  state.counters["per_second"] =
      static_cast<double>(report.payments) / std::max(report.elapsed.count(), 1e-9);
  state.counters["fd_growth"] =
      static_cast<double>(veltrix::testing::openFileCount()) - static_cast<double>(files);
  state.counters["rss_growth_kib"] =
      (static_cast<double>(veltrix::testing::residentBytes()) - static_cast<double>(memory)) /
      1024.0;
}

void BM_PaymentsOneAfterAnother(benchmark::State& state) {
  PaymentLoad& run = load();
  const std::size_t files = veltrix::testing::openFileCount();
  const std::size_t memory = veltrix::testing::residentBytes();
  PaymentLoad::Report report;
  for (auto _ : state)
    report = run.oneAfterAnother(static_cast<std::size_t>(state.range(0)), kLimit);
  record(state, report, files, memory);
}
BENCHMARK(BM_PaymentsOneAfterAnother)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PaymentsInFlight(benchmark::State& state) {
  PaymentLoad& run = load();
  const std::size_t files = veltrix::testing::openFileCount();
  const std::size_t memory = veltrix::testing::residentBytes();
  PaymentLoad::Report total;
  for (auto _ : state) {
    for (int round = 0; round < 20; ++round) {
      const PaymentLoad::Report report =
          run.inFlight(static_cast<std::size_t>(state.range(0)), kLimit);
      total.payments += report.payments;
      total.approved += report.approved;
      total.wrong += report.wrong;
      total.unanswered += report.unanswered;
      total.loggedOnce += report.loggedOnce;
      total.elapsed += report.elapsed;
    }
  }
  record(state, total, files, memory);
}
BENCHMARK(BM_PaymentsInFlight)
    ->Arg(50)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
