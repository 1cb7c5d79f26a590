// Gallery page of a bare screen, which no library screen opens: a titled
// page with one centred line.
#include <memory>

#include "gallery/gallery.h"
#include "veltrix/ui/scan/screen_factory.h"

namespace veltrix::gallery {
namespace {

VELTRIX_GALLERY_PAGE("scan_placeholder", [](Stage& stage) {
  auto root = std::make_shared<ui::ViewController>();
  root->setTitle("Scan");
  auto nav = std::make_shared<ui::NavigationController>(root);
  stage.show(nav);
  nav->pushViewController(
      std::make_shared<ui::scan::PlaceholderViewController>("T1 Pro", "TAVIO-SIM-0001"), false);
  stage.advance(0.5);
  stage.snapshot("scan_placeholder");
});

}  // namespace
}  // namespace veltrix::gallery
