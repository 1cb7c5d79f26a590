// One ageing pass of the scan screen over thousands of accepted services
// (one terminal's handshake may carry that many), in the list presentation
// on a phone: the pass reads the bubbles and the rows in view, so its cost
// must not grow with the number of services.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/text_metrics.h"
#include "veltrix/platform/ui/window.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace {

using namespace veltrix;

class ScanAgeing : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State& state) override {
    dir_ = std::filesystem::temp_directory_path() / "veltrix-scan-ageing-bench";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    platform::MainLoop::shared().bindCurrentThread();
    clock_ = std::make_shared<platform::ManualClock>();
    platform::setClock(clock_);
    metrics_ = std::make_unique<ui::ScopedTextMetrics>(std::make_shared<ui::FixedMetrics>());
    ui::resetForTesting();
    db_ = std::make_unique<registry::DatabaseManager>(dir_ / "scan.sqlite");
    db_->insertSetting("preferencesMode", "2");  // the list

    window_ = std::make_shared<ui::Window>(ui::DeviceProfile::phone());
    window_->makeKeyAndVisible();
    nav_ = std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
    window_->setRootViewController(nav_);
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    screen_ = ui::scan::ScanViewController::create(request, nullptr, {*db_, nullptr});
    nav_->pushViewController(screen_, false);
    settle();

    // Every service stored and heard of just now, then reported.
    const std::string now = std::to_string(platform::nowMillis());
    registry::Rows rows;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      rows.push_back({{"sn", registry::DbValue("TAVIO-BENCH-0001")},
                      {"serviceType", registry::DbValue(std::string("Purchase"))},
                      {"serviceTypeName", registry::DbValue(std::string("Payment"))},
                      {"serviceId", registry::DbValue("pay-" + std::to_string(i))},
                      {"serviceName", registry::DbValue("Cashier " + std::to_string(i))},
                      {"isEnabled", registry::DbValue(std::int64_t{1})},
                      {"createTime", registry::DbValue(now)},
                      {"updateTime", registry::DbValue(now)},
                      {"serviceCategory", registry::DbValue(std::string("payment"))}});
    }
    db_->insertTerminalServicesBatch(rows);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      registry::ServiceInfo info;
      info.serviceSn = info.deviceSn = "TAVIO-BENCH-0001";
      info.model = "T420";
      info.address = "127.0.0.9:8080";
      info.parameter = "http";
      info.serviceType = "Purchase";
      info.serviceTypeName = "Payment";
      info.serviceId = "pay-" + std::to_string(i);
      info.serviceName = "Cashier " + std::to_string(i);
      screen_->onScanTerminal(info);
    }
    settle();
  }

  void TearDown(const benchmark::State&) override {
    screen_.reset();
    nav_.reset();
    window_->setRootViewController(nullptr);
    settle();
    window_.reset();
    db_.reset();
    ui::resetForTesting();
    metrics_.reset();
    platform::setClock(nullptr);
    clock_.reset();
    std::filesystem::remove_all(dir_);
  }

 protected:
  void settle() {
    platform::MainLoop::shared().runPending();
    window_->layoutIfNeeded();
  }

  std::filesystem::path dir_;
  // Made in SetUp: the fixture itself is made before main.
  std::shared_ptr<platform::ManualClock> clock_;
  std::unique_ptr<ui::ScopedTextMetrics> metrics_;
  std::unique_ptr<registry::DatabaseManager> db_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ui::NavigationController> nav_;
  std::shared_ptr<ui::scan::ScanViewController> screen_;
};

BENCHMARK_DEFINE_F(ScanAgeing, OnePass)(benchmark::State& state) {
  for (auto _ : state) screen_->timerScanService();
  state.counters["services"] = static_cast<double>(screen_->terminalItems().size());
}
BENCHMARK_REGISTER_F(ScanAgeing, OnePass)
    ->Arg(300)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(0.1);

}  // namespace
