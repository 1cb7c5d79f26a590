// What the scan screen's gallery pages share: the real screen on a
// navigation controller over a database of the page's own, fed discovery
// reports by the page.
//
// Thread: the main loop. A ScanStage owns its database, its discovery and
// the screen; the Stage it shows on outlives it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::gallery {

// Discovery that finds only what the page reports.
class StillDiscovery final : public registry::DiscoveryControl {
 public:
  void startScan() override {}
  void stopScan() override {}
  void setScanType(std::int32_t) override {}
  std::shared_ptr<registry::DiscoverManagerDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<registry::DiscoverManagerDelegate> d) override { delegate_ = d; }

 private:
  std::weak_ptr<registry::DiscoverManagerDelegate> delegate_;
};

// A Purchase scan screen in the presentation `preferencesMode` names, over a database in a folder
// of its own below the documents folder, prepared by `prepare`; the folder goes afterwards.
class ScanStage {
 public:
  static constexpr const char* kOrbit = "1";
  static constexpr const char* kList = "2";

  // `showString`: the hint of a request whose terminal is missing; empty:
  // none.
  explicit ScanStage(Stage& stage, std::string preferencesMode = kOrbit,
                     const std::function<void(registry::DatabaseManager&)>& prepare = {},
                     std::string showString = "")
      : stage_(stage),
        dir_(platform::documentsDir() / ("gallery-scan-" + platform::newUuid())),
        db_(made(dir_) / "scan.sqlite") {
    db_.insertSetting("preferencesMode", preferencesMode);
    if (prepare) prepare(db_);
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    if (!showString.empty()) request.showString = std::move(showString);
    screen_ = ui::scan::ScanViewController::create(request, nullptr, {db_, &discovery_});
    stage.show(std::make_shared<ui::NavigationController>(screen_));
    stage.advance(0.5);
  }
  ~ScanStage() {
    stage_.window().setRootViewController(nullptr);
    platform::mainLoop().runPending();
    screen_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ScanStage(const ScanStage&) = delete;
  ScanStage& operator=(const ScanStage&) = delete;

  // Terminal `sn` at address 192.168.1.(20 + i) with one Purchase service
  // `serviceName`, stored and reported as last heard of `ageMillis` ago.
  void report(const std::string& sn, const std::string& model, const std::string& serviceName,
              int i, std::int64_t ageMillis = 0) {
    const std::string t = std::to_string(platform::nowMillis() - ageMillis);
    db_.insertTerminalServices(sn, "Purchase", "Payment", std::nullopt, "1", serviceName, 1, t, t,
                               "payment");
    registry::ServiceInfo info;
    info.serviceSn = sn;
    info.model = model;
    info.address = "192.168.1." + std::to_string(20 + i) + ":8080";
    info.parameter = "http";
    info.serviceType = "Purchase";
    info.serviceTypeName = "Payment";
    info.serviceId = "1";
    info.serviceName = serviceName;
    screen_->onScanTerminal(info);
  }

  ui::scan::ScanViewController& screen() { return *screen_; }

 private:
  static const std::filesystem::path& made(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    return dir;
  }

  Stage& stage_;
  std::filesystem::path dir_;
  registry::DatabaseManager db_;
  StillDiscovery discovery_;
  std::shared_ptr<ui::scan::ScanViewController> screen_;
};

// The snapshot name's ending for the device drawn on: "_pad", "_landscape".
inline std::string deviceSuffix(Stage& stage) {
  std::string s = stage.device().isPad() ? "_pad" : "";
  if (stage.device().landscape) s += "_landscape";
  return s;
}

}  // namespace veltrix::gallery
