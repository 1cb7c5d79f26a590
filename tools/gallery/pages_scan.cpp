// Gallery pages of the terminal scan screen: the orbit with 1, 5 and 9
// terminals (run with --orientation landscape for the landscape pictures), an aged (grey) bubble,
// and the hint of a request whose terminal is missing. Each page runs the real screen over a
// database of its own and feeds it discovery reports.
#include <cstdint>
#include <string>

#include "gallery/scan_stage.h"

namespace veltrix::gallery {
namespace {

// Terminal i with one Purchase service, last heard of `ageMillis` ago.
void report(ScanStage& setup, int i, std::int64_t ageMillis = 0) {
  static const char* const kModels[] = {"T420", "T310", "TMIX Z3"};
  setup.report("TAVIO-SIM-" + std::to_string(1001 + i * 7), kModels[i % 3], "Card Payment", i,
               ageMillis);
}

void orbit(Stage& stage, int terminals, const std::string& name) {
  ScanStage setup(stage);
  for (int i = 0; i < terminals; ++i) report(setup, i);
  stage.advance(1.5);
  stage.snapshot(name + deviceSuffix(stage));
}

VELTRIX_GALLERY_PAGE("scan_orbit_1", [](Stage& stage) { orbit(stage, 1, "scan_orbit_1"); });
VELTRIX_GALLERY_PAGE("scan_orbit_5", [](Stage& stage) { orbit(stage, 5, "scan_orbit_5"); });
VELTRIX_GALLERY_PAGE("scan_orbit_9", [](Stage& stage) { orbit(stage, 9, "scan_orbit_9"); });

VELTRIX_GALLERY_PAGE("scan_orbit_aged", [](Stage& stage) {
  ScanStage setup(stage);
  report(setup, 0);
  report(setup, 1, 20000);  // last heard of 20 s ago: grey
  report(setup, 2);
  stage.advance(1.5);
  stage.snapshot("scan_orbit_aged" + deviceSuffix(stage));
});

VELTRIX_GALLERY_PAGE("scan_hint", [](Stage& stage) {
  ScanStage setup(stage, ScanStage::kOrbit, {},
                  "No Purchase in TAVIO-SIM-0042,  Showing all supported devices.");
  report(setup, 0);
  report(setup, 1);
  stage.advance(1.5);
  stage.snapshot("scan_hint" + deviceSuffix(stage));
});

}  // namespace
}  // namespace veltrix::gallery
