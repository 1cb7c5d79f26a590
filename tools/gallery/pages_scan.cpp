// Gallery pages of the terminal scan screen: the orbit with 1, 5 and 9
// terminals (run with --orientation landscape for the landscape pictures), an aged (grey) bubble,
// and the hint of a request whose terminal is missing. Each page runs the real screen over a
// database of its own and feeds it discovery reports.
#include <filesystem>
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/clock.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::gallery {
namespace {

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

// A scan screen on a navigation controller, with its database and
// discovery; the database file is removed afterwards.
class ScanSetup {
 public:
  explicit ScanSetup(Stage& stage, std::string showString = "")
      : stage_(stage),
        dir_(std::filesystem::temp_directory_path() /
             ("veltrix-gallery-scan-" + std::to_string(platform::nowMillis()))),
        db_(prepare(dir_) / "scan.sqlite") {
    db_.insertSetting("preferencesMode", "1");
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    if (!showString.empty()) request.showString = std::move(showString);
    screen_ = ui::scan::ScanViewController::create(request, nullptr, {db_, &discovery_});
    auto nav = std::make_shared<ui::NavigationController>(screen_);
    stage.show(nav);
    stage.advance(0.5);
  }
  ~ScanSetup() {
    stage_.window().setRootViewController(nullptr);
    platform::mainLoop().runPending();
    screen_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Terminal i with one Purchase service, last heard of `ageMillis` ago.
  void report(int i, std::int64_t ageMillis = 0) {
    static const char* const kModels[] = {"T420", "T310", "TMIX Z3"};
    const std::string sn = "TAVIO-SIM-" + std::to_string(1001 + i * 7);
    const std::string t = std::to_string(platform::nowMillis() - ageMillis);
    db_.insertTerminalServices(sn, "Purchase", "Payment", std::nullopt, "1", "Card Payment", 1, t,
                               t, "payment");
    registry::ServiceInfo info;
    info.serviceSn = sn;
    info.model = kModels[i % 3];
    info.address = "192.168.1." + std::to_string(20 + i) + ":8080";
    info.parameter = "http";
    info.serviceType = "Purchase";
    info.serviceTypeName = "Payment";
    info.serviceId = "1";
    info.serviceName = "Card Payment";
    screen_->onScanTerminal(info);
  }

  ui::scan::ScanViewController& screen() { return *screen_; }

 private:
  static const std::filesystem::path& prepare(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    return dir;
  }

  Stage& stage_;
  std::filesystem::path dir_;
  registry::DatabaseManager db_;
  StillDiscovery discovery_;
  std::shared_ptr<ui::scan::ScanViewController> screen_;
};

std::string suffix(Stage& stage) {
  std::string s = stage.device().isPad() ? "_pad" : "";
  if (stage.device().landscape) s += "_landscape";
  return s;
}

void orbit(Stage& stage, int terminals, const std::string& name) {
  ScanSetup setup(stage);
  for (int i = 0; i < terminals; ++i) setup.report(i);
  stage.advance(1.5);
  stage.snapshot(name + suffix(stage));
}

VELTRIX_GALLERY_PAGE("scan_orbit_1", [](Stage& stage) { orbit(stage, 1, "scan_orbit_1"); });
VELTRIX_GALLERY_PAGE("scan_orbit_5", [](Stage& stage) { orbit(stage, 5, "scan_orbit_5"); });
VELTRIX_GALLERY_PAGE("scan_orbit_9", [](Stage& stage) { orbit(stage, 9, "scan_orbit_9"); });

VELTRIX_GALLERY_PAGE("scan_orbit_aged", [](Stage& stage) {
  ScanSetup setup(stage);
  setup.report(0);
  setup.report(1, 20000);  // last heard of 20 s ago: grey
  setup.report(2);
  stage.advance(1.5);
  stage.snapshot("scan_orbit_aged" + suffix(stage));
});

VELTRIX_GALLERY_PAGE("scan_hint", [](Stage& stage) {
  ScanSetup setup(stage, "No Purchase in TAVIO-SIM-0042,  Showing all supported devices.");
  setup.report(0);
  setup.report(1);
  stage.advance(1.5);
  stage.snapshot("scan_hint" + suffix(stage));
});

}  // namespace
}  // namespace veltrix::gallery
