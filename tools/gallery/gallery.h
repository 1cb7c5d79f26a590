// The screen gallery: pages that build sample screens from the UI layer and
// write pictures of them, for people to look at.
//
// A page is a function that builds a screen on a Stage (a fresh key window of
// the chosen device, with the manual clock and a finger) and takes one
// snapshot per state it shows. Pages register themselves from any file of
// this folder:
//
//   VELTRIX_GALLERY_PAGE("scan_orbit", [](gallery::Stage& stage) {
//     stage.show(makeScanScreen());
//     stage.advance(1.0);
//     stage.snapshot("scan_orbit");
//   });
//
// Files in this folder are picked up by the build, so a screen adds its
// states by adding a file.
//
// Thread: the main loop (bound to the calling thread), with a
// platform::ManualClock installed as the process clock.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/driver.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::gallery {

struct Options {
  // The device, in the orientation to draw.
  ui::DeviceProfile device = ui::DeviceProfile::phone();
  std::filesystem::path out;
  // Pixels per point; 0: the device's.
  double scale = 0;
};

class Stage {
 public:
  explicit Stage(const Options& options);
  ~Stage();
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  ui::Window& window() { return *window_; }
  ui::Driver& driver() { return *driver_; }
  const ui::DeviceProfile& device() const { return window_->device(); }
  // The screen's size in points.
  ui::Size size() const { return window_->bounds().size; }

  // Makes `root` the window's root controller and lets it settle.
  void show(std::shared_ptr<ui::ViewController> root);
  // Moves the clock (animations, timers, transitions), then lays out. Only
  // the end is pictured: display links skip the frames in between.
  void advance(double seconds);
  // Runs what is queued and lays out.
  void settle();
  // Writes the screen as it looks now to <out>/<name>.png, and, where a
  // settings page scrolls, to <name>_end.png scrolled to its end.
  void snapshot(const std::string& name);

  const std::vector<std::filesystem::path>& written() const { return written_; }
  const std::vector<std::string>& failures() const { return failures_; }
  // The typeName() of every controller on screen at a snapshot: the root,
  // its children and what is presented, all the way down.
  const std::set<std::string>& screens() const { return screens_; }

 private:
  void write(const std::string& name);

  Options options_;
  std::shared_ptr<ui::Window> window_;
  std::unique_ptr<ui::Driver> driver_;
  std::vector<std::filesystem::path> written_;
  std::vector<std::string> failures_;
  std::set<std::string> screens_;
};

struct Page {
  std::string name;
  std::function<void(Stage&)> build;
};

// Registers a page; returns true so it can initialise a static.
bool addPage(Page page);
// Every registered page, by name.
std::vector<Page> pages();

// What one page drew.
struct PageResult {
  std::string name;
  std::vector<std::filesystem::path> files;
  std::set<std::string> screens;
};

struct Result {
  std::vector<PageResult> pages;
  std::vector<std::filesystem::path> files;
  // "page: what went wrong", for pages that failed or wrote nothing.
  std::vector<std::string> failures;
};

// Runs every page (or the pages given) on a fresh stage each.
Result run(const Options& options);
Result run(const Options& options, const std::vector<Page>& pages);

// The devices the gallery draws, each upright and turned: phone, small
// phone and pad, portrait before landscape.
std::vector<ui::DeviceProfile> allDevices();
// The index's heading and folder of a device in its orientation ("Small
// phone, landscape", "small-landscape").
std::string deviceTitle(const ui::DeviceProfile& device);
std::filesystem::path deviceDir(const ui::DeviceProfile& device);

// One device's pictures as the index shows them.
struct IndexSection {
  std::string title;
  // Where the pictures are, relative to the index.
  std::filesystem::path dir;
  Result result;
};

// Writes <dir>/index.html: per section, each page's name over thumbnails of
// its pictures, each linking to the full picture. Relative links only and
// nothing from elsewhere, so the folder opens in any browser as it is.
bool writeIndex(const std::filesystem::path& dir, const std::vector<IndexSection>& sections);

}  // namespace veltrix::gallery

// Numbered by __COUNTER__: pages of two files compiled in one unity batch
// may stand on the same line.
#define VELTRIX_GALLERY_CONCAT2(a, b) a##b
#define VELTRIX_GALLERY_CONCAT(a, b) VELTRIX_GALLERY_CONCAT2(a, b)
#define VELTRIX_GALLERY_PAGE(name, ...)                                                 \
  [[maybe_unused]] static const bool VELTRIX_GALLERY_CONCAT(galleryPage, __COUNTER__) = \
      ::veltrix::gallery::addPage({name, __VA_ARGS__})
