// One casp exchange over loopback with the simulated terminal (two event
// notifications and the response, one chunked body): through HttpsService
// (log lines, session thread, task queue, main loop, message splitting and
// parsing) against a bare libcurl POST of the same request to the same
// terminal. HttpsService opens a connection per send (a payment is never
// re-sent by curl), so the like-for-like baseline does the same; the bare
// POST on a kept connection shows what that choice costs.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "sim/http_simulator.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace {

using namespace std::chrono_literals;
using veltrix::platform::MainLoop;

const std::string kRequest =
    R"({"exchangeIdentification":"0123456789ABCDEF0123456789ABCDEF","serviceType":"Purchase",)"
    R"("request":{"totalAmount":"12.50","currency":"EUR","transactionReference":"R-1"}})";

std::string notification(const char* event) {
  return std::string(
             R"({"exchangeIdentification":"0123456789ABCDEF0123456789ABCDEF","serviceType":)"
             R"("EventNotification","endFlag":false,"response":{"response":"SUCC","event":")") +
         event + "\"}}\n";
}

std::string response() {
  return R"({"exchangeIdentification":"0123456789ABCDEF0123456789ABCDEF","serviceType":"Purchase",)"
         R"("endFlag":true,"response":{"response":"SUCC","totalAmount":"12.50","note":")" +
         std::string(300, 'x') + "\"}}\n";
}

std::unique_ptr<veltrix::sim::HttpSimulator> startSimulator() {
  auto sim = veltrix::sim::HttpSimulator::start("127.0.0.1", 0);
  sim->add(veltrix::sim::Reply::messages({notification("CRDI"), notification("PINR"), response()}),
           {}, true);
  return sim;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

void bareCurlPost(benchmark::State& state, bool fresh) {
  auto sim = startSimulator();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  for (const char* line :
       {"Content-Type: application/json; charset=utf-8", "Accept: application/json, text/xml",
        "Connection: Keep-Alive", "support-long-connection: true", "accept-encoding: identity",
        "Expect:"}) {
    headers = curl_slist_append(headers, line);
  }
  const std::string url = sim->url();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kRequest.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
  if (fresh) {
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  }
  for (auto _ : state) {
    if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("transfer failed");
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}

void BM_BareCurlPostFreshConnection(benchmark::State& state) { bareCurlPost(state, true); }
BENCHMARK(BM_BareCurlPostFreshConnection)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareCurlPostKeptConnection(benchmark::State& state) { bareCurlPost(state, false); }
BENCHMARK(BM_BareCurlPostKeptConnection)->Unit(benchmark::kMicrosecond)->UseRealTime();

class NoLogFile final : public veltrix::registry::LogFile {
 public:
  void logMessage(std::string_view) override {}
};

// range(0): 1 with the library's log file (two lines per send, each flushed
// to storage), 0 without.
void BM_HttpsServiceExchange(benchmark::State& state) {
  auto sim = startSimulator();
  MainLoop& loop = MainLoop::shared();
  loop.bindCurrentThread();
  veltrix::transport::WSStreamingHTTPSessionManager manager;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "veltrix-https-service-bench";
  std::filesystem::create_directories(dir);
  veltrix::registry::FileLogger fileLogger(dir / "log.txt");
  NoLogFile noLogFile;

  veltrix::transport::HttpsServiceConfig config;
  config.sessionManager = &manager;
  config.logFile =
      state.range(0) != 0 ? static_cast<veltrix::registry::LogFile*>(&fileLogger) : &noLogFile;
  const std::string url = sim->url();
  for (auto _ : state) {
    int notifications = 0;
    bool ended = false;
    bool failed = false;
    veltrix::transport::HttpsService::create(url, config)
        ->sendRequest(
            kRequest, "0123456789ABCDEF0123456789ABCDEF", "Purchase", std::nullopt,
            [&](auto, auto, auto) { ++notifications; },
            [&](std::optional<std::string> text, auto, bool endFlag, auto, std::int64_t code,
                auto) {
              failed = failed || code != 0 || !text;
              ended = ended || endFlag;
            });
    // The exchange is over when the transfer has ended, as for curl.
    if (!loop.runUntil([&] { return manager.taskCount() == 0; }, 5000ms) || failed || !ended ||
        notifications != 2) {
      state.SkipWithError("exchange failed");
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_HttpsServiceExchange)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("logFile")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
