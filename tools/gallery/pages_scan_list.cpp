// Gallery pages of the scan screen's list presentation: the list with 1, 4
// and 10 terminals (run with --device pad for two columns), the remember
// sheet open, the remember button's title for each remember option, and
// the add-device chooser over the list. Each page runs the real screen over
// a database of its own and feeds it discovery reports.
#include <cstdint>
#include <string>

#include "gallery/scan_stage.h"
#include "veltrix/ui/scan/remember_option_view.h"

namespace veltrix::gallery {
namespace {

std::string serial(int i) { return "TAVIO-SIM-" + std::to_string(1001 + i * 7); }

// Terminal i with one Purchase service, last heard of `ageMillis` ago.
void reportTerminal(ScanStage& setup, int i, std::int64_t ageMillis = 0) {
  static const char* const kModels[] = {"T420", "T310", "TMIX Z3"};
  static const char* const kServices[] = {"Card Payment", "Wallet Payment", "Card Payment"};
  setup.report(serial(i), kModels[i % 3], kServices[i % 3], i, ageMillis);
}

void list(Stage& stage, int terminals, const std::string& name) {
  ScanStage setup(stage, ScanStage::kList);
  // The second terminal went quiet 20 s ago: its row shows the grey icon.
  for (int i = 0; i < terminals; ++i) reportTerminal(setup, i, i == 1 ? 20000 : 0);
  stage.advance(1.5);
  stage.snapshot(name + deviceSuffix(stage));
}

VELTRIX_GALLERY_PAGE("scan_list_1", [](Stage& stage) { list(stage, 1, "scan_list_1"); });
VELTRIX_GALLERY_PAGE("scan_list_4", [](Stage& stage) { list(stage, 4, "scan_list_4"); });
VELTRIX_GALLERY_PAGE("scan_list_10", [](Stage& stage) { list(stage, 10, "scan_list_10"); });

VELTRIX_GALLERY_PAGE("scan_list_remember_sheet", [](Stage& stage) {
  ScanStage setup(stage, ScanStage::kList);
  for (int i = 0; i < 3; ++i) reportTerminal(setup, i);
  stage.advance(0.5);
  setup.screen().selectRemember();
  stage.advance(0.5);
  stage.snapshot("scan_list_remember_sheet" + deviceSuffix(stage));
});

// The remember button's title for option types 0 to 3.
VELTRIX_GALLERY_PAGE("scan_list_titles", [](Stage& stage) {
  for (const char* mode : {"0", "1"}) {
    ScanStage setup(stage, ScanStage::kList,
                    [&](registry::DatabaseManager& db) { db.insertSetting("Purchase", mode); });
    reportTerminal(setup, 0);
    stage.advance(0.5);
    stage.snapshot(std::string("scan_list_title_") + mode + deviceSuffix(stage));
  }
  {
    // A remembered terminal that answered lately, remember mode "2".
    ScanStage setup(stage, ScanStage::kList, [](registry::DatabaseManager& db) {
      const std::string now = std::to_string(platform::nowMillis());
      db.insertSetting("Purchase", "2");
      db.insertDiscoveredTerminal(serial(0), "T420", "192.168.1.20:8080", "http", "", 1, 1, 0, now,
                                  now, "");
      db.insertTerminalServices(serial(0), "Purchase", "Payment", std::nullopt, "1", "Card Payment",
                                1, now, now, "payment");
      db.insertRememberServices(serial(0), "ALL", "", "", std::nullopt, now);
    });
    reportTerminal(setup, 0);
    stage.advance(0.5);
    stage.snapshot("scan_list_title_2" + deviceSuffix(stage));
  }
  {
    ScanStage setup(stage, ScanStage::kList, {},
                    "No Purchase in TAVIO-SIM-0042,  Showing all supported devices.");
    reportTerminal(setup, 0);
    reportTerminal(setup, 1);
    stage.advance(0.5);
    stage.snapshot("scan_list_title_3" + deviceSuffix(stage));
  }
});

VELTRIX_GALLERY_PAGE("scan_list_chooser", [](Stage& stage) {
  ScanStage setup(stage, ScanStage::kList);
  for (int i = 0; i < 3; ++i) reportTerminal(setup, i);
  stage.advance(0.5);
  setup.screen().plusQRCode();
  stage.advance(0.5);
  stage.snapshot("scan_list_chooser" + deviceSuffix(stage));
});

}  // namespace
}  // namespace veltrix::gallery
