// One payment exchange through RetailerManager against the simulated
// terminal on loopback (the choice of the terminal service with its probe,
// the exchange log, the log file, the HTTP transport, decoding and delivery
// to the host block), against a bare libcurl POST of the same message to
// the same terminal on a fresh connection, as the transport makes it.
//
// BM_PaymentVersusBareCurl runs both in every iteration and reports the
// mean of each and their ratio (goal: at most 2), the longest task the
// library ran on the main loop during the payments in real and in CPU time
// and the share of tasks over 2 ms (goal: none over 2 ms),
// and the context switches of the process per payment and per bare POST
// (the simulator's own threads included in both). Its argument logFile:1
// is production (the log file flushed to storage, by the facade and by the
// transport); logFile:0 leaves the log file out to show what the rest of
// the road costs. The bench pumps the main loop as a host's event loop
// does (setWakeUp plus runPending), one task at a time, to time each task.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "sim/http_simulator.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace {

using namespace std::chrono_literals;
using veltrix::platform::MainLoop;
namespace facade = veltrix::facade;
namespace model = veltrix::model;

class NoLogFile final : public veltrix::registry::LogFile {
 public:
  void logMessage(std::string_view) override {}
};

// The library as a host has it, over a data directory of its own.
class Bench {
 public:
  explicit Bench(bool logFile) {
    dir_ = std::filesystem::temp_directory_path() /
           ("veltrix-facade-bench-" + veltrix::platform::newUuid().substr(0, 8));
    std::filesystem::create_directories(dir_);
    veltrix::platform::setDocumentsDirForTesting(dir_);
    MainLoop::shared().bindCurrentThread();
    MainLoop::shared().setWakeUp([wake = wake_] {
      {
        std::lock_guard<std::mutex> lock(wake->mutex);
        wake->posted = true;
      }
      wake->cv.notify_one();
    });

    sim_ = veltrix::sim::HttpSimulator::start("127.0.0.1", 0);
    veltrix::sim::Scenario scenario;
    scenario.setDefaultDelay(0ms);  // two notifications and the response at once
    sim_->setScenario(std::move(scenario));

    veltrix::registry::LogFile& log = logFile ? static_cast<veltrix::registry::LogFile&>(
                                                    veltrix::registry::FileLogger::sharedLogger())
                                              : noLogFile_;
    // The transport factory of production, or the same transport without
    // the log file.
    facade::CommunicateFactory factory;
    if (!logFile) {
      veltrix::transport::HttpsServiceConfig config;
      config.logFile = &noLogFile_;
      factory = facade::CommunicateFactory(
          [config](const std::string& url) {
            return veltrix::transport::HttpsService::create(url, config);
          },
          {});
    }
    manager_ = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
        veltrix::registry::DatabaseManager::sharedManager(),
        facade::ResultBackManager::sharedManager(), facade::RetailerSettingManager::sharedManager(),
        log, veltrix::transport::RadioOffBleTransport::shared(), std::move(factory)});

    payment_.transactionReference = "BENCH-1";
    payment_.totalAmount = "12.50";
    payment_.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
    payment_.servicesParams = model::DestinationParams{std::nullopt, std::nullopt, sim_->address()};
  }

  ~Bench() {
    manager_.reset();
    sim_->stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // The longest main-loop task of the payments so far: in real time, and in
  // the main thread's CPU time (real time includes preemption by a busy
  // machine; CPU time leaves out waits, a flush to storage among them).
  struct LongestTask {
    std::chrono::nanoseconds real{};
    std::chrono::nanoseconds cpu{};
    std::int64_t tasks = 0;
    std::int64_t over2ms = 0;  // in real time
    void add(std::chrono::nanoseconds r, std::chrono::nanoseconds c) {
      real = std::max(real, r);
      cpu = std::max(cpu, c);
      ++tasks;
      if (r > 2ms) ++over2ms;
    }
  };

  // One payment to its final result. False when it failed. The main loop
  // runs one task at a time, each timed into `longest`; the call of the
  // service method counts as one.
  bool payment(LongestTask* longest = nullptr) {
    bool delivered = false;
    std::int64_t code = -1;
    const auto giveUp = std::chrono::steady_clock::now() + 5s;
    auto timed = [longest](auto&& task) {
      const auto realStart = std::chrono::steady_clock::now();
      const auto cpuStart = threadCpu();
      const bool ran = task();
      if (ran && longest != nullptr) {
        longest->add(std::chrono::steady_clock::now() - realStart, threadCpu() - cpuStart);
      }
      return ran;
    };
    timed([&] {
      manager_->payment(payment_, {},
                        [&](std::shared_ptr<const model::PaymentResult> result, std::int64_t c,
                            std::optional<std::string>) {
                          delivered = true;
                          code = result ? c : -1;
                        });
      return true;
    });
    while (!delivered && std::chrono::steady_clock::now() < giveUp) {
      if (timed([] { return MainLoop::shared().runPending(1) == 1; })) continue;
      std::unique_lock<std::mutex> lock(wake_->mutex);
      wake_->cv.wait_for(lock, 1ms, [&] { return wake_->posted; });
      wake_->posted = false;
    }
    return delivered && code == 0;
  }

  static std::chrono::nanoseconds threadCpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  }

  // The message the facade sent last, as the terminal received it.
  std::string lastMessage() const { return sim_->requests().back().body; }
  std::string url() const { return sim_->url(); }

 private:
  struct Wake {
    std::mutex mutex;
    std::condition_variable cv;
    bool posted = false;
  };
  // One for the process: the main loop has one wake-up.
  static std::shared_ptr<Wake> sharedWake() {
    static auto* wake = new std::shared_ptr<Wake>(std::make_shared<Wake>());
    return *wake;
  }
  std::shared_ptr<Wake> wake_ = sharedWake();
  std::filesystem::path dir_;
  NoLogFile noLogFile_;
  std::unique_ptr<veltrix::sim::HttpSimulator> sim_;
  std::shared_ptr<facade::RetailerManager> manager_;
  model::PaymentParam payment_;
};

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The same POST as the transport's, on a fresh connection each time.
class BareCurl {
 public:
  BareCurl(const std::string& url, std::string body) : url_(url), body_(std::move(body)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    curl_ = curl_easy_init();
    for (const char* line :
         {"Content-Type: application/json; charset=utf-8", "Accept: application/json, text/xml",
          "Connection: Keep-Alive", "support-long-connection: true", "accept-encoding: identity",
          "Expect:"}) {
      headers_ = curl_slist_append(headers_, line);
    }
    curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body_.c_str());
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(curl_, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl_, CURLOPT_FORBID_REUSE, 1L);
  }
  ~BareCurl() {
    curl_slist_free_all(headers_);
    curl_easy_cleanup(curl_);
  }
  bool post() { return curl_easy_perform(curl_) == CURLE_OK; }

 private:
  std::string url_;
  std::string body_;
  CURL* curl_ = nullptr;
  curl_slist* headers_ = nullptr;
};

// One per setting, living for the program: their threads do too.
Bench& bench(bool logFile = true) {
  static Bench* withLog = nullptr;
  static Bench* withoutLog = nullptr;
  Bench*& instance = logFile ? withLog : withoutLog;
  if (instance == nullptr) instance = new Bench(logFile);
  return *instance;
}

void BM_PaymentThroughRetailerManager(benchmark::State& state) {
  for (auto _ : state) {
    if (!bench().payment()) state.SkipWithError("payment failed");
  }
}
BENCHMARK(BM_PaymentThroughRetailerManager)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareCurlPost(benchmark::State& state) {
  if (!bench().payment()) state.SkipWithError("payment failed");
  BareCurl curl(bench().url(), bench().lastMessage());
  for (auto _ : state) {
    if (!curl.post()) state.SkipWithError("transfer failed");
  }
}
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Voluntary and involuntary context switches of the whole process so far.
long contextSwitches() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw + usage.ru_nivcsw;
}

// Both in one run, alternating, so that they see the same machine.
void BM_PaymentVersusBareCurl(benchmark::State& state) {
  Bench& road = bench(state.range(0) != 0);
  if (!road.payment()) state.SkipWithError("payment failed");
  BareCurl curl(road.url(), road.lastMessage());
  using Clock = std::chrono::steady_clock;
  Clock::duration facadeTime{};
  Clock::duration curlTime{};
  Bench::LongestTask longest;
  long facadeSwitches = 0;
  long curlSwitches = 0;
  for (auto _ : state) {
    const long switchesBefore = contextSwitches();
    const Clock::time_point start = Clock::now();
    if (!road.payment(&longest)) state.SkipWithError("payment failed");
    const Clock::time_point middle = Clock::now();
    const long switchesMiddle = contextSwitches();
    if (!curl.post()) state.SkipWithError("transfer failed");
    curlTime += Clock::now() - middle;
    curlSwitches += contextSwitches() - switchesMiddle;
    facadeSwitches += switchesMiddle - switchesBefore;
    facadeTime += middle - start;
  }
  const double n = static_cast<double>(state.iterations());
  const double facadeUs = std::chrono::duration<double, std::micro>(facadeTime).count() / n;
  const double curlUs = std::chrono::duration<double, std::micro>(curlTime).count() / n;
  state.counters["facade_us"] = facadeUs;
  state.counters["curl_us"] = curlUs;
  state.counters["ratio"] = curlUs > 0 ? facadeUs / curlUs : 0;
  state.counters["main_task_max_us"] =
      std::chrono::duration<double, std::micro>(longest.real).count();
  state.counters["main_task_cpu_max_us"] =
      std::chrono::duration<double, std::micro>(longest.cpu).count();
  state.counters["main_tasks_over_2ms_pct"] =
      longest.tasks > 0 ? 100.0 * static_cast<double>(longest.over2ms) / longest.tasks : 0;
  state.counters["facade_csw"] = static_cast<double>(facadeSwitches) / n;
  state.counters["curl_csw"] = static_cast<double>(curlSwitches) / n;
}
BENCHMARK(BM_PaymentVersusBareCurl)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("logFile")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
