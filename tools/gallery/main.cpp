// veltrix-gallery --out DIR [--profile phone|small|pad]
//                 [--orientation portrait|landscape]
//
// Writes a PNG of every gallery page's states on the phone, the small phone
// and the pad, each upright and turned (or the profile and orientation asked
// for), into DIR/<profile>[-landscape], prints their paths, and writes
// DIR/index.html, a page of thumbnails of them all grouped by profile and
// orientation. Time is the gallery's own manual clock, so animations are
// drawn at the moments the pages choose; the screens' files go to a
// temporary documents folder that is removed at the end.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "gallery/gallery.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"

// Fontconfig and Pango keep their caches for the life of the process; a
// sanitizer build would report them as leaks.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n";
}

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: veltrix-gallery --out DIR [--profile phone|small|pad] "
               "[--orientation portrait|landscape]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace veltrix;
  std::filesystem::path out;
  std::optional<std::string> profile;
  std::optional<bool> landscape;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--out" && hasValue) {
      out = argv[++i];
    } else if ((arg == "--profile" || arg == "--device") && hasValue) {
      profile = argv[++i];
      if (*profile != "phone" && *profile != "small" && *profile != "pad") return usage();
    } else if (arg == "--orientation" && hasValue) {
      const std::string orientation = argv[++i];
      if (orientation != "portrait" && orientation != "landscape") return usage();
      landscape = orientation == "landscape";
    } else {
      return usage();
    }
  }
  if (out.empty()) return usage();
  std::vector<ui::DeviceProfile> devices;
  for (const ui::DeviceProfile& device : gallery::allDevices()) {
    if (profile && device.name != *profile) continue;
    if (landscape && device.landscape != *landscape) continue;
    devices.push_back(device);
  }

  std::vector<gallery::IndexSection> sections;
  std::error_code ec;
  for (const ui::DeviceProfile& device : devices) {
    gallery::IndexSection section;
    section.title = gallery::deviceTitle(device);
    section.dir = gallery::deviceDir(device);
    std::filesystem::create_directories(out / section.dir, ec);
    if (ec || !std::filesystem::is_directory(out / section.dir)) {
      std::fprintf(stderr, "veltrix-gallery: cannot create %s\n", (out / section.dir).c_str());
      return 1;
    }
    sections.push_back(std::move(section));
  }
  // The screens keep their settings and terminals in a folder of our own.
  const auto documents =
      std::filesystem::temp_directory_path() / ("veltrix-gallery-" + platform::newUuid());
  std::filesystem::create_directories(documents, ec);
  platform::setDocumentsDir(documents);

  platform::MainLoop::shared().bindCurrentThread();
  platform::setClock(std::make_shared<platform::ManualClock>());
  bool ok = true;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    gallery::Options options;
    options.device = devices[i];
    options.out = out / sections[i].dir;
    sections[i].result = gallery::run(options);
    platform::MainLoop::shared().runPending();
    const gallery::Result& result = sections[i].result;
    for (const auto& file : result.files) std::printf("%s\n", file.c_str());
    for (const auto& failure : result.failures) {
      std::fprintf(stderr, "veltrix-gallery: %s\n", failure.c_str());
    }
    ok = ok && result.failures.empty() && !result.files.empty();
  }
  platform::setClock(nullptr);
  std::filesystem::remove_all(documents, ec);

  if (!gallery::writeIndex(out, sections)) {
    std::fprintf(stderr, "veltrix-gallery: cannot write %s\n", (out / "index.html").c_str());
    return 1;
  }
  std::printf("%s\n", (out / "index.html").c_str());
  return ok ? 0 : 1;
}
