// The scan screen while terminals announce themselves, end to end on
// loopback: tavio-sim's virtual terminals (127.0.0.2 and up) all send their
// discover packet at once; the library's real discovery answers, hands over
// its handshake, registers each terminal's handshake and reports the
// services to the real scan screen (a Purchase request, list presentation).
// Three seconds after the start the LAN tick handshakes every terminal
// again, now a known one; the screen's ageing pass runs once a second.
//
// The bench's thread is the host's main thread: it runs the library's main
// loop one task at a time, timing each, and lays the window out once per
// 60 Hz frame. A frame slot is late when the thread could not start the
// frame within its slot (a task ran through it).
//
// Reported per run (the worst of the iterations):
//   found_ms          announce until the screen lists every terminal
//   task_finding_ms   longest main-loop task until then
//   task_after_ms     longest task in the rest of the 4 s (the tick's second
//                     handshakes, ageing passes)
//   task_*_cpu_ms     the same in CPU time of the main thread: the tasks' own
//                     work, without the waits of a loaded machine
//   ageing_pass_ms    one ageing pass over the full screen, timed alone
//   late_pct          late frame slots over the whole 4 s, in percent
//   meets_goal        1 when found within 0.3 s with no task over 16 ms and
//                     at most 1 % late (200 terminals), or no task over 4 ms
//                     (50 terminals), 0 otherwise
// The baseline in the same run (BM_ScanScreenSilent) is the same screen,
// discovery and simulated terminals with none announcing: the floor of the
// machine and of the screen's own work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "sim/discovery_simulator.h"
#include "support/sim_discovery.h"
#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/platform/ui/window.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using veltrix::platform::MainLoop;

constexpr auto kFrame = std::chrono::microseconds(16667);
constexpr Clock::duration kWatch = 4000ms;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of the calling thread: a task's own work, whatever else the
// machine runs meanwhile.
std::chrono::nanoseconds threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// The host's main thread: library tasks one at a time, a frame every slot.
class HostThread {
 public:
  struct Stats {
    Clock::duration longestTask{};
    std::chrono::nanoseconds longestTaskCpu{};
    std::size_t slots = 0;
    std::size_t late = 0;
  };

  explicit HostThread(veltrix::ui::Window& window) : window_(window) {
    MainLoop::shared().bindCurrentThread();
    MainLoop::shared().setWakeUp([this] {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
      }
      cv_.notify_one();
    });
    nextFrame_ = Clock::now() + kFrame;
  }
  ~HostThread() { MainLoop::shared().setWakeUp(nullptr); }
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // Runs until `done()` holds or `limit` has passed; true when done.
  bool runUntil(const std::function<bool()>& done, Clock::duration limit, Stats& stats) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
      const Clock::time_point now = Clock::now();
      if (now >= nextFrame_) {
        frame(now, stats);
        continue;
      }
      if (done()) return true;
      if (now >= deadline) return false;
      const std::chrono::nanoseconds cpu = threadCpu();
      if (MainLoop::shared().runPending(1) == 1) {
        stats.longestTask = std::max(stats.longestTask, Clock::now() - now);
        stats.longestTaskCpu = std::max(stats.longestTaskCpu, threadCpu() - cpu);
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait_until(lock, std::min(nextFrame_, deadline), [this] { return woken_; });
      woken_ = false;
    }
  }

 private:
  void frame(Clock::time_point now, Stats& stats) {
    // Slots that passed while a task ran were missed; the current one is
    // drawn now.
    const auto missed = static_cast<std::size_t>((now - nextFrame_) / kFrame);
    stats.late += missed;
    stats.slots += missed + 1;
    nextFrame_ += kFrame * static_cast<long>(missed + 1);
    window_.layoutIfNeeded();
  }

  veltrix::ui::Window& window_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool woken_ = false;
  Clock::time_point nextFrame_;
};

class Answers final : public veltrix::facade::ScanViewControllerDelegate {
 public:
  void onScanTerminalSucc(const veltrix::facade::ServiceDictionary&) override {}
  void onError(std::int64_t, const std::optional<std::string>&) override {}
};

// One scan screen over a fresh database, with `count` simulated terminals.
struct Scene {
  explicit Scene(int count)
      : dir(std::filesystem::temp_directory_path() /
            ("veltrix-scan-bench-" + veltrix::platform::newUuid().substr(0, 8))) {
    std::filesystem::create_directories(dir);
    veltrix::platform::setDocumentsDir(dir);
    std::string error;
    sim = veltrix::sim::DiscoverySimulator::start(
        veltrix::testing::loopbackSimOptions(veltrix::sim::virtualTerminals(count)), &error);
    if (!sim) return;
    library = std::make_unique<veltrix::testing::LoopbackDiscovery>(dir, *sim);
    window = std::make_shared<veltrix::ui::Window>();
    window->makeKeyAndVisible();
    host = std::make_unique<HostThread>(*window);
    nav = std::make_shared<veltrix::ui::NavigationController>(
        std::make_shared<veltrix::ui::ViewController>());
    window->setRootViewController(nav);
    veltrix::facade::ScanRequest request;
    request.serviceType = "Purchase";
    screen = veltrix::ui::scan::ScanViewController::create(request, answers,
                                                           {library->db, library->manager.get()});
    nav->pushViewController(screen, true);
    HostThread::Stats ignored;
    // The screen starts discovery as it appears.
    ready = host->runUntil([&] { return library->manager->udpListeningPort() != 0; }, 5s, ignored);
    if (ready) {
      sim->setLibraryPorts(library->manager->udpListeningPort(),
                           library->manager->tcpListeningPort());
      host->runUntil([] { return false; }, 400ms, ignored);  // the push ends
    }
  }
  ~Scene() {
    if (screen) screen->cleanAllResources();
    screen.reset();
    nav.reset();
    if (window) window->setRootViewController(nullptr);
    MainLoop::shared().runPending();
    host.reset();
    window.reset();
    library.reset();
    if (sim) sim->stop();
    MainLoop::shared().runPending();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::filesystem::path dir;
  std::unique_ptr<veltrix::sim::DiscoverySimulator> sim;
  std::unique_ptr<veltrix::testing::LoopbackDiscovery> library;
  std::shared_ptr<veltrix::ui::Window> window;
  std::unique_ptr<HostThread> host;
  std::shared_ptr<veltrix::ui::NavigationController> nav;
  std::shared_ptr<Answers> answers = std::make_shared<Answers>();
  std::shared_ptr<veltrix::ui::scan::ScanViewController> screen;
  bool ready = false;
};

void runScan(benchmark::State& state, bool announce) {
  const int count = static_cast<int>(state.range(0));
  double found = 0, finding = 0, after = 0, findingCpu = 0, afterCpu = 0, ageing = 0;
  std::size_t slots = 0, late = 0;
  bool allFound = true;
  for (auto _ : state) {
    Scene scene(count);
    if (!scene.ready) {
      state.SkipWithError("the simulator or discovery did not start");
      return;
    }
    const auto listed = [&] {
      return scene.screen->terminalItems().size() >= static_cast<std::size_t>(count);
    };
    HostThread::Stats first, rest;
    const Clock::time_point start = Clock::now();
    if (announce) scene.sim->announce();
    const bool done = announce && scene.host->runUntil(listed, kWatch, first);
    allFound = allFound && (!announce || done);
    const Clock::duration took = Clock::now() - start;
    scene.host->runUntil([] { return false; }, kWatch - std::min(took, kWatch), rest);
    const Clock::time_point pass = Clock::now();
    scene.screen->timerScanService();
    ageing = std::max(ageing, ms(Clock::now() - pass));
    found = std::max(found, announce ? ms(took) : 0.0);
    finding = std::max(finding, ms(first.longestTask));
    after = std::max(after, ms(rest.longestTask));
    findingCpu = std::max(findingCpu, ms(first.longestTaskCpu));
    afterCpu = std::max(afterCpu, ms(rest.longestTaskCpu));
    slots += first.slots + rest.slots;
    late += first.late + rest.late;
  }
  const double latePct = slots == 0 ? 0.0 : 100.0 * static_cast<double>(late) / slots;
  const double longest = std::max(finding, after);
  const bool goal = count >= 200 ? allFound && found <= 300 && longest <= 16 && latePct <= 1.0
                                 : allFound && longest <= 4;
  if (announce && !allFound) state.SkipWithError("not every terminal was listed");
  state.counters["found_ms"] = found;
  state.counters["task_finding_ms"] = finding;
  state.counters["task_after_ms"] = after;
  state.counters["task_finding_cpu_ms"] = findingCpu;
  state.counters["task_after_cpu_ms"] = afterCpu;
  state.counters["ageing_pass_ms"] = ageing;
  state.counters["late_pct"] = latePct;
  state.counters["meets_goal"] = goal ? 1 : 0;
}

void BM_ScanScreenAnnounce(benchmark::State& state) { runScan(state, true); }
BENCHMARK(BM_ScanScreenAnnounce)
    ->Arg(50)
    ->Arg(200)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ScanScreenSilent(benchmark::State& state) { runScan(state, false); }
BENCHMARK(BM_ScanScreenSilent)
    ->Arg(200)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
