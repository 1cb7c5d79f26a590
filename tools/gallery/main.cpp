// veltrix-gallery --out DIR [--device phone|pad] [--orientation portrait|landscape]
//
// Writes a PNG of every gallery page's states into DIR and prints their
// paths. Time is the gallery's own manual clock, so animations are drawn
// at the moments the pages choose; the screens' files go to a temporary
// documents folder that is removed at the end.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

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
               "usage: veltrix-gallery --out DIR [--device phone|pad] "
               "[--orientation portrait|landscape]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace veltrix;
  gallery::Options options;
  bool landscape = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--out" && hasValue) {
      options.out = argv[++i];
    } else if (arg == "--device" && hasValue) {
      const std::string device = argv[++i];
      if (device == "phone") {
        options.device = ui::DeviceProfile::phone();
      } else if (device == "pad") {
        options.device = ui::DeviceProfile::pad();
      } else {
        return usage();
      }
    } else if (arg == "--orientation" && hasValue) {
      const std::string orientation = argv[++i];
      if (orientation != "portrait" && orientation != "landscape") return usage();
      landscape = orientation == "landscape";
    } else {
      return usage();
    }
  }
  if (options.out.empty()) return usage();
  options.device = options.device.inOrientation(landscape);

  std::error_code ec;
  std::filesystem::create_directories(options.out, ec);
  if (ec || !std::filesystem::is_directory(options.out)) {
    std::fprintf(stderr, "veltrix-gallery: cannot create %s\n", options.out.c_str());
    return 1;
  }
  // The screens keep their settings and terminals in a folder of our own.
  const auto documents =
      std::filesystem::temp_directory_path() / ("veltrix-gallery-" + platform::newUuid());
  std::filesystem::create_directories(documents, ec);
  platform::setDocumentsDir(documents);

  platform::MainLoop::shared().bindCurrentThread();
  platform::setClock(std::make_shared<platform::ManualClock>());
  const gallery::Result result = gallery::run(options);
  platform::MainLoop::shared().runPending();
  platform::setClock(nullptr);

  std::filesystem::remove_all(documents, ec);
  for (const auto& file : result.files) std::printf("%s\n", file.c_str());
  for (const auto& failure : result.failures) {
    std::fprintf(stderr, "veltrix-gallery: %s\n", failure.c_str());
  }
  return result.failures.empty() && !result.files.empty() ? 0 : 1;
}
