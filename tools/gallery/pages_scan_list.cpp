// Gallery pages of the scan screen's list presentation: the list with 1, 4
// and 10 terminals (run with --device pad for two columns), the remember
// sheet open, the remember button's title for each remember option, and
// the add-device chooser over the list. Each page runs the real screen over
// a database of its own and feeds it discovery reports.
#include <filesystem>
#include <memory>
#include <string>

#include "gallery/gallery.h"
#include "veltrix/platform/clock.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/remember_option_view.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::gallery {
namespace {

class QuietDiscovery final : public registry::DiscoveryControl {
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

std::string serial(int i) { return "TAVIO-SIM-" + std::to_string(1001 + i * 7); }

// A scan screen in the list presentation on a navigation controller, over
// a database prepared by `prepare`; the database file goes afterwards.
class ListSetup {
 public:
  ListSetup(Stage& stage, const std::function<void(registry::DatabaseManager&)>& prepare = {},
            std::string showString = "")
      : stage_(stage),
        dir_(std::filesystem::temp_directory_path() /
             ("veltrix-gallery-list-" + std::to_string(platform::nowMillis()))),
        db_(made(dir_) / "scan.sqlite") {
    db_.insertSetting("preferencesMode", "2");
    if (prepare) prepare(db_);
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    if (!showString.empty()) request.showString = std::move(showString);
    screen_ = ui::scan::ScanViewController::create(request, nullptr, {db_, &discovery_});
    stage.show(std::make_shared<ui::NavigationController>(screen_));
    stage.advance(0.5);
  }
  ~ListSetup() {
    stage_.window().setRootViewController(nullptr);
    platform::mainLoop().runPending();
    screen_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Terminal i with one Purchase service, last heard of `ageMillis` ago.
  void report(int i, std::int64_t ageMillis = 0) {
    static const char* const kModels[] = {"T420", "T310", "TMIX Z3"};
    static const char* const kServices[] = {"Card Payment", "Wallet Payment", "Card Payment"};
    const std::string t = std::to_string(platform::nowMillis() - ageMillis);
    db_.insertTerminalServices(serial(i), "Purchase", "Payment", std::nullopt, "1",
                               kServices[i % 3], 1, t, t, "payment");
    registry::ServiceInfo info;
    info.serviceSn = serial(i);
    info.model = kModels[i % 3];
    info.address = "192.168.1." + std::to_string(20 + i) + ":8080";
    info.parameter = "http";
    info.serviceType = "Purchase";
    info.serviceTypeName = "Payment";
    info.serviceId = "1";
    info.serviceName = kServices[i % 3];
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
  QuietDiscovery discovery_;
  std::shared_ptr<ui::scan::ScanViewController> screen_;
};

std::string suffix(Stage& stage) {
  std::string s = stage.device().isPad() ? "_pad" : "";
  if (stage.device().landscape) s += "_landscape";
  return s;
}

void list(Stage& stage, int terminals, const std::string& name) {
  ListSetup setup(stage);
  // The second terminal went quiet 20 s ago: its row shows the grey icon.
  for (int i = 0; i < terminals; ++i) setup.report(i, i == 1 ? 20000 : 0);
  stage.advance(1.5);
  stage.snapshot(name + suffix(stage));
}

VELTRIX_GALLERY_PAGE("scan_list_1", [](Stage& stage) { list(stage, 1, "scan_list_1"); });
VELTRIX_GALLERY_PAGE("scan_list_4", [](Stage& stage) { list(stage, 4, "scan_list_4"); });
VELTRIX_GALLERY_PAGE("scan_list_10", [](Stage& stage) { list(stage, 10, "scan_list_10"); });

VELTRIX_GALLERY_PAGE("scan_list_remember_sheet", [](Stage& stage) {
  ListSetup setup(stage);
  for (int i = 0; i < 3; ++i) setup.report(i);
  stage.advance(0.5);
  setup.screen().selectRemember();
  stage.advance(0.5);
  stage.snapshot("scan_list_remember_sheet" + suffix(stage));
});

// The remember button's title for option types 0 to 3.
VELTRIX_GALLERY_PAGE("scan_list_titles", [](Stage& stage) {
  for (const char* mode : {"0", "1"}) {
    ListSetup setup(stage,
                    [&](registry::DatabaseManager& db) { db.insertSetting("Purchase", mode); });
    setup.report(0);
    stage.advance(0.5);
    stage.snapshot(std::string("scan_list_title_") + mode + suffix(stage));
  }
  {
    // A remembered terminal that answered lately, remember mode "2".
    ListSetup setup(stage, [](registry::DatabaseManager& db) {
      const std::string now = std::to_string(platform::nowMillis());
      db.insertSetting("Purchase", "2");
      db.insertDiscoveredTerminal(serial(0), "T420", "192.168.1.20:8080", "http", "", 1, 1, 0, now,
                                  now, "");
      db.insertTerminalServices(serial(0), "Purchase", "Payment", std::nullopt, "1", "Card Payment",
                                1, now, now, "payment");
      db.insertRememberServices(serial(0), "ALL", "", "", std::nullopt, now);
    });
    setup.report(0);
    stage.advance(0.5);
    stage.snapshot("scan_list_title_2" + suffix(stage));
  }
  {
    ListSetup setup(stage, {}, "No Purchase in TAVIO-SIM-0042,  Showing all supported devices.");
    setup.report(0);
    setup.report(1);
    stage.advance(0.5);
    stage.snapshot("scan_list_title_3" + suffix(stage));
  }
});

VELTRIX_GALLERY_PAGE("scan_list_chooser", [](Stage& stage) {
  ListSetup setup(stage);
  for (int i = 0; i < 3; ++i) setup.report(i);
  stage.advance(0.5);
  setup.screen().plusQRCode();
  stage.advance(0.5);
  stage.snapshot("scan_list_chooser" + suffix(stage));
});

}  // namespace
}  // namespace veltrix::gallery
