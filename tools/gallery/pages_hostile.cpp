// Gallery pages of terminals that name themselves with hostile text
// (hostile_names.h) on the scan screen's orbit, its list and its overflow
// grid: no name may pose as another, break its line or leave its space.
#include <string>

#include "gallery/hostile_names.h"
#include "gallery/scan_stage.h"

namespace veltrix::gallery {
namespace {

// `fillers` honest terminals first (they take the bubbles, so what comes
// after them goes to the grid), then the hostile ones.
void reportAll(ScanStage& setup, int fillers = 0) {
  int i = 0;
  for (; i < fillers; ++i) {
    setup.report("TAVIO-SIM-" + std::to_string(3001 + i), "T310", "Card Payment", i);
  }
  for (const HostileTerminal& t : hostileTerminals()) {
    setup.report(t.sn, t.model, t.serviceName, i++);
  }
}

void page(Stage& stage, const char* mode, int fillers, bool grid, const std::string& name) {
  ScanStage setup(stage, mode);
  reportAll(setup, fillers);
  stage.advance(1.5);
  if (grid) {
    setup.screen().showGridPopup();
    stage.advance(1.0);
  }
  stage.snapshot(name + deviceSuffix(stage));
}

VELTRIX_GALLERY_PAGE("scan_orbit_hostile", [](Stage& stage) {
  page(stage, ScanStage::kOrbit, 0, false, "scan_orbit_hostile");
});
VELTRIX_GALLERY_PAGE("scan_list_hostile", [](Stage& stage) {
  page(stage, ScanStage::kList, 0, false, "scan_list_hostile");
});
VELTRIX_GALLERY_PAGE("scan_grid_hostile", [](Stage& stage) {
  page(stage, ScanStage::kOrbit, 8, true, "scan_grid_hostile");
});

}  // namespace
}  // namespace veltrix::gallery
