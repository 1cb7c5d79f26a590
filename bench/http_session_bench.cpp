// One request-response exchange over loopback with the simulated terminal:
// through the streaming session manager (session thread, task queue, main
// queue) against a bare libcurl POST on the same connection; and the cost of
// cutting a stream into JSON documents.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>

#include "sim/http_simulator.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/transport/json_document_splitter.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace {

using namespace std::chrono_literals;
using veltrix::platform::MainLoop;

const std::string kRequest =
    R"({"exchangeIdentification":"0123456789ABCDEF0123456789ABCDEF","serviceType":"Purchase",)"
    R"("request":{"totalAmount":"12.50","currency":"EUR","transactionReference":"R-1"}})";

std::string response() {
  return R"({"exchangeIdentification":"0123456789ABCDEF0123456789ABCDEF","serviceType":"Purchase",)"
         R"("endFlag":true,"response":{"response":"SUCC","totalAmount":"12.50","note":")" +
         std::string(300, 'x') + "\"}}";
}

std::unique_ptr<veltrix::sim::HttpSimulator> startSimulator() {
  auto sim = veltrix::sim::HttpSimulator::start("127.0.0.1", 0);
  sim->add(veltrix::sim::Reply::messages({response()}), {}, true);
  return sim;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

void BM_BareCurlPost(benchmark::State& state) {
  auto sim = startSimulator();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type: application/json; charset=utf-8");
  headers = curl_slist_append(headers, "Expect:");
  const std::string url = sim->url();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kRequest.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
  for (auto _ : state) {
    if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("transfer failed");
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMicrosecond);

void BM_SessionManagerPost(benchmark::State& state) {
  auto sim = startSimulator();
  MainLoop& loop = MainLoop::shared();
  loop.bindCurrentThread();
  veltrix::transport::WSStreamingHTTPSessionManager manager;
  const std::string url = sim->url();
  for (auto _ : state) {
    bool done = false;
    bool failed = false;
    manager.post(url, kRequest, std::nullopt, {}, nullptr,
                 [&](std::optional<std::string>, std::optional<veltrix::transport::HttpError> e,
                     const veltrix::transport::HttpResponseInfo&) {
                   done = true;
                   failed = e.has_value();
                 });
    if (!loop.runUntil([&] { return done; }, 5000ms) || failed) {
      state.SkipWithError("exchange failed");
    }
  }
}
BENCHMARK(BM_SessionManagerPost)->Unit(benchmark::kMicrosecond);

void BM_SplitStream(benchmark::State& state) {
  // Eight messages of 128 KiB, fed in pieces of the given size.
  std::string stream;
  for (int i = 0; i < 8; ++i) {
    stream +=
        R"({"n":)" + std::to_string(i) + R"(,"text":")" + std::string(128 * 1024, 'x') + "\"}\n";
  }
  const auto piece = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    veltrix::transport::JsonDocumentSplitter splitter;
    std::size_t documents = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      documents += splitter.append(std::string_view(stream).substr(at, piece)).size();
    }
    if (documents != 8) state.SkipWithError("lost a document");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_SplitStream)->Arg(64)->Arg(1024)->Arg(16384);

}  // namespace
