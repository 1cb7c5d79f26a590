// Throughput of the main loop and of the JSON helpers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/json.h"

namespace {

using veltrix::platform::MainLoop;

void BM_MainLoopPostAndRun(benchmark::State& state) {
  MainLoop& loop = MainLoop::shared();
  loop.bindCurrentThread();
  const auto batch = static_cast<int>(state.range(0));
  std::int64_t sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < batch; ++i) loop.post([&sum, i] { sum += i; });
    loop.runPending();
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_MainLoopPostAndRun)->Arg(1)->Arg(64)->Arg(1024);

void BM_MainLoopPostFromOtherThread(benchmark::State& state) {
  MainLoop& loop = MainLoop::shared();
  loop.bindCurrentThread();
  auto queue = veltrix::platform::SerialQueue::create("bench.poster");
  std::atomic<std::int64_t> done{0};
  for (auto _ : state) {
    queue->post([&] {
      for (int i = 0; i < 256; ++i) loop.post([&] { done.fetch_add(1); });
    });
    loop.runUntil([&] { return done.load() % 256 == 0 && done.load() > 0; });
    done = 0;
  }
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_MainLoopPostFromOtherThread);

const char* kMessage =
    R"({"exchangeIdentification":"0F1E2D3C4B5A69788796A5B4C3D2E1F0","creationDateTime":"2026-01-31T14:05:09.007+08:00","initiatingPartyType":"MERC","protocolVersion":"1.0.01","contentType":"caspResp","serviceType":"Payment","endFlag":"true","response":{"responseCode":"SUCC","transactionType":"PURC","amount":"100.00","currency":"CNY","maskedPan":"622202******1234","printReceipts":[{"documentQualifier":"CRCP","content":"商户存根 支付成功"}]}})";

void BM_JsonParse(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(veltrix::platform::parseJson(kMessage));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::strlen(kMessage)));
}
BENCHMARK(BM_JsonParse);

void BM_JsonDump(benchmark::State& state) {
  auto value = *veltrix::platform::parseJson(kMessage);
  for (auto _ : state) benchmark::DoNotOptimize(veltrix::platform::dumpJson(value));
}
BENCHMARK(BM_JsonDump);

void BM_JsonReadText(benchmark::State& state) {
  auto value = *veltrix::platform::parseJson(kMessage);
  const auto& response = value["response"];
  for (auto _ : state) {
    benchmark::DoNotOptimize(veltrix::platform::readText(response, "amount"));
    benchmark::DoNotOptimize(veltrix::platform::readText(value, "endFlag"));
  }
}
BENCHMARK(BM_JsonReadText);

}  // namespace
